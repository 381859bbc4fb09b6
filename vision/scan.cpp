// The reading of a picture from end to end: decode, find the grid, straighten it, read each
// cell in the four ways the picture may have been turned, keep the way that reads most like
// digits, and let the solver check the result.
#include "scan.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "cell_reader.h"
#include "grid_finder.h"
#include "picture_decode.h"
#include "reading_check.h"

namespace {

constexpr int kCellSide = 40;  // a cell's side in the straightened grid
constexpr int kMaxPixelSide = 32767;
constexpr int64_t kMaxPixels = 100'000'000;

// The network is loaded once a thread: a cv::dnn::Net runs one input at a time.
CDigitClassifier& Classifier() {
    thread_local CDigitClassifier classifier;
    return classifier;
}

// Which cell of the straightened grid each cell of the upright puzzle is, when the picture
// was turned `quarterTurns` times clockwise.
std::array<int, kCellCount> UprightCells(int quarterTurns) {
    cv::Mat index(9, 9, CV_32S);
    for (int cell = 0; cell < kCellCount; ++cell) index.at<int>(cell / 9, cell % 9) = cell;
    for (int turn = 0; turn < quarterTurns; ++turn)
        cv::rotate(index, index, cv::ROTATE_90_COUNTERCLOCKWISE);
    std::array<int, kCellCount> cells;
    for (int cell = 0; cell < kCellCount; ++cell) cells[cell] = index.at<int>(cell / 9, cell % 9);
    return cells;
}

// The lattice's mean cell side, in the picture's pixels.
double CellSpacing(const CGridLattice& lattice) {
    const auto& p = lattice.points;
    double spacing = 0;
    for (int k = 0; k < 10; ++k) {
        spacing += cv::norm(p[10 * k + 9] - p[10 * k]) / 9;
        spacing += cv::norm(p[90 + k] - p[k]) / 9;
    }
    return spacing / 20;
}

struct CCellReading {
    std::array<CellProbabilities, kCellCount> probabilities;
    int turns = 0;   // clockwise quarter turns of the picture
    int digits = 0;  // the cells read as more likely a digit than empty
};

// Classifies each cell's shape in each of the four turns, in one batch, and keeps the turn
// that reads most like digits.
CCellReading ReadCells(const std::array<CCellInk, kCellCount>& ink) {
    std::vector<int> shapes;
    std::vector<cv::Mat> glyphs;
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (ink[cell].weight > 0 || ink[cell].sideWeight > 0) shapes.push_back(cell);
    }
    for (int turn = 0; turn < 4; ++turn) {
        for (int cell : shapes) {
            cv::Mat glyph = ink[cell].glyph.clone();
            for (int t = 0; t < turn; ++t) cv::rotate(glyph, glyph, cv::ROTATE_90_COUNTERCLOCKWISE);
            glyphs.push_back(glyph);
        }
    }
    const std::vector<GlyphProbabilities> classes = Classifier().Classify(glyphs);
    // A 1 on its side is short: a turn weighs each shape by its height as that turn stands
    // it, and is scored by how like a digit its shapes read on average, so that a turn is
    // not favoured for seeing less ink.
    auto weightIn = [&](int turn, int cell) {
        return turn % 2 ? ink[cell].sideWeight : ink[cell].weight;
    };
    CCellReading reading;
    double bestScore = -1e300;
    for (int turn = 0; turn < 4; ++turn) {
        double score = 0, total = 0;
        for (size_t i = 0; i < shapes.size(); ++i) {
            const GlyphProbabilities& p = classes[turn * shapes.size() + i];
            const float weight = weightIn(turn, shapes[i]);
            score += weight * std::log(1e-6 + *std::max_element(p.begin() + 1, p.end()));
            total += weight;
        }
        if (total <= 0) continue;
        score /= total;
        if (score > bestScore + 1e-9) bestScore = score, reading.turns = turn;
    }

    const std::array<int, kCellCount> source = UprightCells(reading.turns);
    std::array<int, kCellCount> shapeOf;
    shapeOf.fill(-1);
    for (size_t i = 0; i < shapes.size(); ++i) shapeOf[shapes[i]] = int(i);
    for (int cell = 0; cell < kCellCount; ++cell) {
        CellProbabilities& p = reading.probabilities[cell];
        p.fill(0);
        p[0] = 1;
        const int i = shapeOf[source[cell]];
        if (i < 0) continue;
        const float weight = weightIn(reading.turns, source[cell]);
        const GlyphProbabilities& c = classes[reading.turns * shapes.size() + i];
        for (int v = 0; v < kCellValues; ++v) p[v] = weight * c[v] + (v == 0 ? 1 - weight : 0);
        if (std::max_element(p.begin(), p.end()) != p.begin()) ++reading.digits;
    }
    return reading;
}

void DrawReading(const cv::Mat& grey, const CGridLattice* lattice, const CScanResult& result,
                 const std::array<int, kCellCount>& source, std::vector<uint8_t>& png) {
    cv::Mat picture;
    cv::cvtColor(grey, picture, cv::COLOR_GRAY2BGR);
    if (lattice) {
        const auto& p = lattice->points;
        const double cell = cv::norm(p[99] - p[0]) / (9 * std::sqrt(2.0));
        const int thickness = std::max(1, int(cell / 20));
        for (int k = 0; k < 10; ++k) {
            for (int l = 0; l < 9; ++l) {
                cv::line(picture, p[10 * k + l], p[10 * k + l + 1], {0, 200, 0}, thickness,
                         cv::LINE_AA);
                cv::line(picture, p[10 * l + k], p[10 * (l + 1) + k], {0, 200, 0}, thickness,
                         cv::LINE_AA);
            }
        }
        for (int cell = 0; cell < kCellCount; ++cell) {
            const int s = source[cell], r = s / 9, c = s % 9;
            const cv::Point2f centre = (p[10 * r + c] + p[10 * r + c + 1] + p[10 * (r + 1) + c] +
                                        p[10 * (r + 1) + c + 1]) *
                                       0.25f;
            const bool changed = std::any_of(result.changes.begin(), result.changes.end(),
                                             [&](const CCellChange& x) { return x.cell == cell; });
            const int value = result.puzzle[cell];
            if (value == 0 && !changed && result.certainty[cell] >= kUnsureBelow) continue;
            // Blue: read; orange: unsure; magenta: changed by the solver. BGR.
            const cv::Scalar colour = changed ? cv::Scalar(200, 0, 200)
                                      : result.certainty[cell] < kUnsureBelow
                                          ? cv::Scalar(0, 140, 255)
                                          : cv::Scalar(220, 60, 0);
            const std::string text = value ? std::to_string(value) : "_";
            const double scale = cell / 50;
            int baseline = 0;
            const cv::Size size =
                cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale, thickness + 1, &baseline);
            const cv::Point at(int(centre.x) + int(cell / 6), int(centre.y) + int(cell / 6));
            cv::putText(picture, text, at - cv::Point(size.width / 2, -size.height / 2),
                        cv::FONT_HERSHEY_SIMPLEX, scale, colour, thickness + 1, cv::LINE_AA);
        }
    }
    cv::imencode(".png", picture, png);
}

CScanResult ScanGrey(const cv::Mat& grey, double scale, const CScanOptions& options) {
    CScanResult result;
    const std::optional<CGridLattice> lattice = FindGrid(grey);
    std::array<int, kCellCount> source = UprightCells(0);
    if (!lattice) {
        result.status = CScanStatus::kNoPuzzle;
        result.message = "no puzzle found";
        if (options.debugPicture) DrawReading(grey, nullptr, result, source, *options.debugPicture);
        return result;
    }
    const cv::Mat straight = StraightenGrid(grey, *lattice, kCellSide);
    CCellReading reading = ReadCells(FindCellInk(straight, kCellSide));
    // Fewer digits than any puzzle has givens: they may be small in their cells, as in a
    // window's fields; they are looked for again in the grid straightened at twice the
    // picture's resolution, so that a small digit keeps every pixel it has and its height is
    // measured finely.
    if (reading.digits < kFewestGivens) {
        const int side =
            std::clamp(int(std::lround(2 * CellSpacing(*lattice))), kCellSide, 3 * kCellSide);
        CCellReading small =
            ReadCells(FindSmallCellInk(StraightenGrid(grey, *lattice, side), side));
        if (small.digits > reading.digits) reading = small;
    }
    const int turns = reading.turns;
    source = UprightCells(turns);
    result.probabilities = reading.probabilities;

    CReadingCheck check = CheckReading(result.probabilities);
    result.status = check.status;
    result.puzzle = check.puzzle;
    result.changes = std::move(check.changes);
    result.message = std::move(check.message);
    for (int cell = 0; cell < kCellCount; ++cell) {
        result.certainty[cell] = result.probabilities[cell][result.puzzle[cell]];
    }
    const auto& p = lattice->points;
    const cv::Point2f straightCorners[4] = {p[0], p[9], p[99], p[90]};
    for (int q = 0; q < 4; ++q) {
        const cv::Point2f corner = straightCorners[(q + turns) % 4] * float(1 / scale);
        result.corners[q] = {corner.x, corner.y};
    }
    result.quarterTurns = turns;
    if (options.debugPicture) DrawReading(grey, &*lattice, result, source, *options.debugPicture);
    return result;
}

CScanResult Guarded(const auto& scan) {
    try {
        return scan();
    } catch (const cv::Exception& error) {
        CScanResult result;
        result.status = CScanStatus::kBadPicture;
        result.message = std::string("the picture could not be read: ") + error.what();
        return result;
    }
}

}  // namespace

CScanResult ScanPicture(std::span<const uint8_t> encoded, const CScanOptions& options) {
    return Guarded([&] {
        CDecodedPicture picture = DecodePicture(encoded);
        if (picture.grey.empty()) {
            CScanResult result;
            result.status = CScanStatus::kBadPicture;
            result.message = std::move(picture.message);
            if (options.debugPicture) options.debugPicture->clear();
            return result;
        }
        return ScanGrey(picture.grey, picture.scale, options);
    });
}

CScanResult ScanPixels(const uint8_t* pixels, int width, int height, int channels, size_t stride,
                       const CScanOptions& options) {
    return Guarded([&] {
        if (!pixels || width <= 0 || height <= 0 || width > kMaxPixelSide ||
            height > kMaxPixelSide || int64_t(width) * height > kMaxPixels ||
            (channels != 1 && channels != 3) || stride < size_t(width) * channels) {
            CScanResult result;
            result.status = CScanStatus::kBadPicture;
            result.message = "pixels of a size or kind this reader does not take";
            return result;
        }
        const cv::Mat given(height, width, channels == 1 ? CV_8UC1 : CV_8UC3,
                            const_cast<uint8_t*>(pixels), stride);
        cv::Mat grey;
        if (channels == 1) {
            grey = given;
        } else {
            cv::cvtColor(given, grey, cv::COLOR_RGB2GRAY);
        }
        return ScanGrey(grey, 1, options);
    });
}

const char* ScanStatusWord(CScanStatus status) {
    switch (status) {
        case CScanStatus::kRead:
            return "read";
        case CScanStatus::kCorrected:
            return "corrected";
        case CScanStatus::kConflict:
            return "conflict";
        case CScanStatus::kNoSolution:
            return "no solution";
        case CScanStatus::kSeveralSolutions:
            return "several solutions";
        case CScanStatus::kNoPuzzle:
            return "no puzzle";
        case CScanStatus::kBadPicture:
            return "bad picture";
    }
    return "?";
}
