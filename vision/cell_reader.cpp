// A cell's digit is the dark shape near its middle once the grid's lines are taken away: it
// must be tall enough not to be a pencil mark or a speck, and dark enough against the paper
// around it. Its grey levels, scaled from paper to ink and fitted into a fixed square, are
// what the classifier sees, so that size, position and contrast do not matter to it.
#include "cell_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "model_data.h"
#include "stable_sort.h"

namespace {

// A small digit's height against the grid's digits' (a pencil mark is shorter).
constexpr float kSmallDigitLow = 0.85f;
constexpr float kSmallDigitHigh = 1.25f;
// The shortest glyph, against the grid's digits, that counts as a digit or a pencil mark.
constexpr float kSmallGlyphLow = 0.5f;
// A small digit's darkness against the grid's digits' (a pencil mark is lighter).
constexpr float kSmallDigitDarkness = 0.75f;

// Cell `cell` (row by row) of a straightened grid whose cells are `cellSide` square.
cv::Rect CellArea(int cell, int cellSide) {
    return {(cell % 9) * cellSide, (cell / 9) * cellSide, cellSide, cellSide};
}

float Ramp(float x, float low, float high) {
    return std::clamp((x - low) / (high - low), 0.0f, 1.0f);
}

// The value below which `share` of the pixels of `grey` lie (where `mask` is set, if given).
float Percentile(const cv::Mat& grey, const cv::Mat& mask, float share) {
    int histogram[256] = {};
    int total = 0;
    for (int y = 0; y < grey.rows; ++y) {
        const uint8_t* g = grey.ptr<uint8_t>(y);
        const uint8_t* m = mask.empty() ? nullptr : mask.ptr<uint8_t>(y);
        for (int x = 0; x < grey.cols; ++x) {
            if (m && !m[x]) continue;
            ++histogram[g[x]];
            ++total;
        }
    }
    int below = 0;
    for (int v = 0; v < 256; ++v) {
        below += histogram[v];
        if (below > share * total) return float(v);
    }
    return 255;
}

cv::Mat MakeGlyph(const cv::Mat& cellGrey, const cv::Mat& shape, const cv::Rect& box, float paper) {
    cv::Mat widened;
    cv::dilate(shape, widened, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    const float ink = std::min(Percentile(cellGrey, shape, 0.1f), paper - 1);
    cv::Mat level(cellGrey.size(), CV_32F);
    for (int y = 0; y < cellGrey.rows; ++y) {
        const uint8_t* g = cellGrey.ptr<uint8_t>(y);
        const uint8_t* m = widened.ptr<uint8_t>(y);
        float* out = level.ptr<float>(y);
        for (int x = 0; x < cellGrey.cols; ++x) {
            out[x] = m[x] ? std::clamp((paper - g[x]) / (paper - ink), 0.0f, 1.0f) : 0.0f;
        }
    }
    const cv::Rect padded =
        (box + cv::Size(2, 2) - cv::Point(1, 1)) & cv::Rect(0, 0, level.cols, level.rows);
    const float scale = float(kGlyphFit) / std::max(padded.width, padded.height);
    const int w = std::max(1, int(std::lround(padded.width * scale)));
    const int h = std::max(1, int(std::lround(padded.height * scale)));
    cv::Mat fitted;
    cv::resize(level(padded), fitted, cv::Size(w, h), 0, 0,
               scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::Mat glyph = cv::Mat::zeros(kGlyphSide, kGlyphSide, CV_32F);
    fitted.copyTo(glyph(cv::Rect((kGlyphSide - w) / 2, (kGlyphSide - h) / 2, w, h)));
    return glyph;
}

// The dark strokes of the straightened grid with its lines taken away, and the grid's
// contrast (paper to ink). `digitContrast`: when the digits are known to be much lighter than
// the lines, their own, which the threshold is then set for.
cv::Mat InkWithoutLines(const cv::Mat& straight, int cellSide, float& contrast,
                        float digitContrast = 0) {
    const float paperLevel = Percentile(straight, {}, 0.5f);
    const float inkLevel = Percentile(straight, {}, 0.02f);
    contrast = std::max(paperLevel - inkLevel, 1.0f);
    const double offset =
        std::clamp(0.12 * (digitContrast > 0 ? digitContrast : contrast), 3.0, 15.0);
    cv::Mat ink;
    const auto threshold = [&](const cv::Mat& grey) {
        cv::adaptiveThreshold(grey, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV,
                              (cellSide * 3 / 4) | 1, offset);
    };
    threshold(straight);
    // The grid's lines: long straight runs near where the straightened lines lie. Only near
    // them: the stem of a tall 1 or 4 in the middle of a cell is as long and straight.
    cv::Mat lines = cv::Mat::zeros(ink.size(), CV_8U);
    const int reach = cellSide / 4;
    for (const bool vertical : {false, true}) {
        const int length = cellSide * 7 / 10;
        cv::Mat along;
        cv::morphologyEx(ink, along, cv::MORPH_OPEN,
                         cv::getStructuringElement(
                             cv::MORPH_RECT, vertical ? cv::Size(1, length) : cv::Size(length, 1)));
        cv::Mat nearLines = cv::Mat::zeros(ink.size(), CV_8U);
        const int extent = vertical ? ink.cols : ink.rows;
        for (int k = 0; k <= kGridSize; ++k) {
            const int from = std::max(0, k * cellSide - reach);
            const int to = std::min(extent, k * cellSide + reach);
            if (from >= to) continue;
            (vertical ? nearLines.colRange(from, to) : nearLines.rowRange(from, to)).setTo(255);
        }
        lines |= along & nearLines;
    }
    cv::dilate(lines, lines, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    if (digitContrast <= 0) {
        ink &= ~lines;
        return ink;
    }
    // Black lines darken the mean that a stroke beside them is weighed against: a grey
    // digit's stroke near a line would be lost. The threshold is taken again with the lines
    // painted over in the paper's shade around them.
    cv::Mat paper;
    cv::dilate(straight, paper,
               cv::getStructuringElement(cv::MORPH_RECT, cv::Size(cellSide / 4, cellSide / 4)));
    cv::Mat clean = straight.clone();
    paper.copyTo(clean, lines);
    threshold(clean);
    ink &= ~lines;
    return ink;
}

// A cell's shape that may be a digit, before it is weighed.
struct CShape {
    int cell;
    cv::Mat pixels;  // the shape's, in the cell
    cv::Rect box;    // in the cell
    float paper, darkness;
};

// Each cell's largest shape near its middle in `ink` (the straightened grid's strokes), with
// the pieces a broken stroke left beside it.
std::vector<CShape> CellShapes(const cv::Mat& straight, const cv::Mat& ink, int cellSide) {
    const int border = std::max(1, cellSide / 10);
    std::vector<CShape> shapes;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const cv::Rect area = CellArea(cell, cellSide);
        cv::Mat cellInk = ink(area).clone();
        cellInk.rowRange(0, border).setTo(0);
        cellInk.rowRange(cellSide - border, cellSide).setTo(0);
        cellInk.colRange(0, border).setTo(0);
        cellInk.colRange(cellSide - border, cellSide).setTo(0);
        cv::Mat labels, stats, centroids;
        const int count =
            cv::connectedComponentsWithStats(cellInk, labels, stats, centroids, 8, CV_32S);
        // The largest shape whose middle is near the cell's.
        int main = 0, mainArea = 0;
        for (int label = 1; label < count; ++label) {
            const double cx = centroids.at<double>(label, 0), cy = centroids.at<double>(label, 1);
            const int area = stats.at<int>(label, cv::CC_STAT_AREA);
            const int h = stats.at<int>(label, cv::CC_STAT_HEIGHT);
            if (cx < 0.25 * cellSide || cx > 0.75 * cellSide || cy < 0.25 * cellSide ||
                cy > 0.75 * cellSide || h < 0.15 * cellSide) {
                continue;
            }
            if (area > mainArea) main = label, mainArea = area;
        }
        if (main == 0) continue;
        const cv::Rect mainBox(
            stats.at<int>(main, cv::CC_STAT_LEFT), stats.at<int>(main, cv::CC_STAT_TOP),
            stats.at<int>(main, cv::CC_STAT_WIDTH), stats.at<int>(main, cv::CC_STAT_HEIGHT));
        const int grow = cellSide / 7;
        const cv::Rect near(mainBox.x - grow, mainBox.y - grow, mainBox.width + 2 * grow,
                            mainBox.height + 2 * grow);
        cv::Mat shape = cv::Mat::zeros(cellInk.size(), CV_8U);
        cv::Rect box = mainBox;
        for (int label = 1; label < count; ++label) {
            const cv::Rect b(
                stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
                stats.at<int>(label, cv::CC_STAT_WIDTH), stats.at<int>(label, cv::CC_STAT_HEIGHT));
            if (label != main && ((b & near) != b || stats.at<int>(label, cv::CC_STAT_AREA) < 2))
                continue;
            // A flat piece along the cell's edge is what is left of a grid line.
            const bool edge = b.y < 0.2 * cellSide || b.y + b.height > 0.8 * cellSide ||
                              b.x < 0.2 * cellSide || b.x + b.width > 0.8 * cellSide;
            if (label != main && edge &&
                std::min(b.width, b.height) * 4 < std::max(b.width, b.height)) {
                continue;
            }
            shape.setTo(255, labels == label);
            box |= b;
        }
        const cv::Mat cellGrey = straight(area);
        cv::Mat background;
        cv::bitwise_not(shape, background);
        const cv::Rect inner(border, border, cellSide - 2 * border, cellSide - 2 * border);
        cv::Mat innerBackground = cv::Mat::zeros(shape.size(), CV_8U);
        background(inner).copyTo(innerBackground(inner));
        const float paper = Percentile(cellGrey, innerBackground, 0.5f);
        shapes.push_back({cell, shape, box, paper, paper - Percentile(cellGrey, shape, 0.1f)});
    }
    return shapes;
}

// The darkness of the shapes as tall or wide as a digit.
std::vector<float> DigitDarkness(const std::vector<CShape>& shapes, int cellSide) {
    std::vector<float> darkness;
    for (const CShape& shape : shapes) {
        if (shape.box.height >= 0.32 * cellSide || shape.box.width >= 0.32 * cellSide)
            darkness.push_back(shape.darkness);
    }
    return darkness;
}

}  // namespace

std::array<CCellInk, kCellCount> FindCellInk(const cv::Mat& straight, int cellSide) {
    float contrast = 1;
    std::vector<CShape> shapes =
        CellShapes(straight, InkWithoutLines(straight, cellSide, contrast), cellSide);
    // A shape's darkness is weighed against the grid's: its lines' where the digits are as
    // dark, the digits' own where they are much lighter (grey or coloured digits in a black
    // grid), so that a light digit is not taken for a smudge beside black lines. The digits'
    // darkness is their upper quartile's: print showing through from the back of the page
    // may make more shapes than the givens do, all of them faint.
    std::vector<float> digitDarkness = DigitDarkness(shapes, cellSide);
    float reference = contrast;
    if (int(digitDarkness.size()) >= kFewestGivens / 2) {
        const auto upper = digitDarkness.begin() + digitDarkness.size() * 3 / 4;
        std::nth_element(digitDarkness.begin(), upper, digitDarkness.end());
        reference = std::clamp(2 * *upper, 1.0f, contrast);
    }
    if (reference < contrast) {
        shapes = CellShapes(straight, InkWithoutLines(straight, cellSide, contrast, reference),
                            cellSide);
    }
    std::array<CCellInk, kCellCount> cells;
    for (const CShape& shape : shapes) {
        const float dark = Ramp(shape.darkness / reference, 0.15f, 0.3f);
        const float weight = Ramp(float(shape.box.height) / cellSide, 0.22f, 0.32f) * dark;
        const float sideWeight = Ramp(float(shape.box.width) / cellSide, 0.22f, 0.32f) * dark;
        if (weight <= 0 && sideWeight <= 0) continue;
        const int cell = shape.cell;
        const cv::Rect area = CellArea(cell, cellSide);
        cells[cell].weight = weight;
        cells[cell].sideWeight = sideWeight;
        cells[cell].glyph = MakeGlyph(straight(area), shape.pixels, shape.box, shape.paper);
    }
    return cells;
}

std::array<CCellInk, kCellCount> FindSmallCellInk(const cv::Mat& straight, int cellSide) {
    std::array<CCellInk, kCellCount> cells;
    float contrast = 1;
    cv::Mat ink = InkWithoutLines(straight, cellSide, contrast);
    // Upright strokes taller than a small digit, such as a text cursor beside one, are no
    // part of it.
    cv::Mat bars;
    cv::morphologyEx(ink, bars, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, cellSide * 7 / 20)));
    cv::dilate(bars, bars, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 1)));
    ink &= ~bars;
    // The shapes of the whole grid, each in the cell that holds its middle: a small digit
    // may sit anywhere in its cell, even across a line fitted a little off its place.
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    const int side = 9 * cellSide;
    std::array<std::vector<std::pair<cv::Rect, int>>, kCellCount> shapes;
    for (int label = 1; label < count; ++label) {
        const cv::Rect b(
            stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
            stats.at<int>(label, cv::CC_STAT_WIDTH), stats.at<int>(label, cv::CC_STAT_HEIGHT));
        // What reaches half across a cell is a line or a field's frame, not a small digit.
        if (stats.at<int>(label, cv::CC_STAT_AREA) < 2 ||
            2 * std::max(b.width, b.height) > cellSide)
            continue;
        const int x = std::clamp(int(centroids.at<double>(label, 0)) / cellSide, 0, 8);
        const int y = std::clamp(int(centroids.at<double>(label, 1)) / cellSide, 0, 8);
        shapes[9 * y + x].emplace_back(b, label);
    }
    // Each cell's glyphs, tallest first, with the pieces of one glyph (a stroke the threshold
    // broke) joined.
    struct CGlyph {
        cv::Rect box;
        std::vector<int> labels;
        int height = 0;      // of its core
        float darkness = 0;  // from the paper around it to its darkest
    };
    std::array<std::vector<CGlyph>, kCellCount> glyphs;
    // A glyph's height is that of its core, the pixels darker than halfway from the paper to
    // its darkest: the threshold's blur around small strokes would make a pencil mark nearly
    // as tall as a digit.
    auto measure = [&](CGlyph& glyph, int cell) {
        const cv::Rect area = CellArea(cell, cellSide);
        const float paper = Percentile(straight(area), {}, 0.5f);
        const cv::Mat grey = straight(glyph.box), label = labels(glyph.box);
        int darkest = 255;
        for (int y = 0; y < grey.rows; ++y) {
            for (int x = 0; x < grey.cols; ++x) {
                if (std::find(glyph.labels.begin(), glyph.labels.end(), label.at<int>(y, x)) !=
                    glyph.labels.end())
                    darkest = std::min<int>(darkest, grey.at<uint8_t>(y, x));
            }
        }
        const float middle = (paper + darkest) / 2;
        int top = -1, bottom = -1;
        for (int y = 0; y < grey.rows; ++y) {
            for (int x = 0; x < grey.cols; ++x) {
                if (grey.at<uint8_t>(y, x) < middle &&
                    std::find(glyph.labels.begin(), glyph.labels.end(), label.at<int>(y, x)) !=
                        glyph.labels.end()) {
                    if (top < 0) top = y;
                    bottom = y;
                    break;
                }
            }
        }
        glyph.height = top < 0 ? 0 : bottom - top + 1;
        glyph.darkness = paper - float(darkest);
    };
    for (int cell = 0; cell < kCellCount; ++cell) {
        StableSort(shapes[cell],
                   [](const auto& a, const auto& b) { return a.first.height > b.first.height; });
        for (const auto& [b, label] : shapes[cell]) {
            bool joined = false;
            for (CGlyph& glyph : glyphs[cell]) {
                // Within a pixel of a taller piece's box; a wider reach would join a pencil
                // mark to the next one or to a frame's leftover.
                const cv::Rect near(glyph.box.x - 1, glyph.box.y - 1, glyph.box.width + 2,
                                    glyph.box.height + 2);
                if ((b & near) == b) {
                    glyph.box |= b;
                    glyph.labels.push_back(label);
                    joined = true;
                    break;
                }
            }
            if (!joined) glyphs[cell].push_back({b, {label}});
        }
        for (CGlyph& glyph : glyphs[cell]) measure(glyph, cell);
        StableSort(glyphs[cell],
                   [](const CGlyph& a, const CGlyph& b) { return a.height > b.height; });
    }
    // The grid's digits: the glyphs of the cells holding one glyph and nothing near its size
    // beside it (pencil marks come several to a cell); those of a pencil mark alone in its
    // cell are among them, but they are the shorter and lighter.
    std::vector<int> heights;
    std::vector<float> darknesses;
    for (const std::vector<CGlyph>& cellGlyphs : glyphs) {
        if (cellGlyphs.empty()) continue;
        const int tallest = cellGlyphs.front().height;
        const auto alike = std::count_if(cellGlyphs.begin(), cellGlyphs.end(),
                                         [&](const CGlyph& g) { return 2 * g.height >= tallest; });
        if (alike != 1) continue;
        heights.push_back(tallest);
        darknesses.push_back(cellGlyphs.front().darkness);
    }
    if (int(heights.size()) < kFewestGivens) return cells;
    const size_t upper = heights.size() * 3 / 4;
    std::nth_element(heights.begin(), heights.begin() + upper, heights.end());
    std::nth_element(darknesses.begin(), darknesses.begin() + upper, darknesses.end());
    const float digitHeight = float(heights[upper]), digitDarkness = darknesses[upper];

    for (int cell = 0; cell < kCellCount; ++cell) {
        // A digit is the one glyph of its cell of about a digit's size, as tall and dark as
        // the grid's digits; pencil marks are shorter or lighter, or several share the cell.
        const CGlyph* digit = nullptr;
        int marks = 0;
        for (const CGlyph& glyph : glyphs[cell]) {
            const float ratio = glyph.height / digitHeight;
            if (ratio < kSmallGlyphLow || ratio > kSmallDigitHigh) continue;
            ++marks;
            if (ratio >= kSmallDigitLow && glyph.darkness >= kSmallDigitDarkness * digitDarkness)
                digit = &glyph;
        }
        if (marks != 1 || !digit) continue;
        const cv::Rect area = (CellArea(cell, cellSide) | digit->box) & cv::Rect(0, 0, side, side);
        cv::Mat shape = cv::Mat::zeros(area.size(), CV_8U);
        for (int label : digit->labels) shape.setTo(255, labels(area) == label);
        const cv::Mat cellGrey = straight(area);
        cv::Mat background;
        cv::bitwise_not(shape, background);
        const float paper = Percentile(cellGrey, background, 0.5f);
        const float darkness = paper - Percentile(cellGrey, shape, 0.1f);
        const float weight = Ramp(darkness / contrast, 0.15f, 0.3f);
        if (weight <= 0) continue;
        cells[cell].weight = weight;
        cells[cell].glyph = MakeGlyph(cellGrey, shape, digit->box - area.tl(), paper);
    }
    return cells;
}

CDigitClassifier::CDigitClassifier()
    : m_net(cv::dnn::readNetFromONNX(reinterpret_cast<const char*>(kDigitModel), kDigitModelSize)) {
    m_net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    m_net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
}

std::vector<GlyphProbabilities> CDigitClassifier::Classify(const std::vector<cv::Mat>& glyphs) {
    std::vector<GlyphProbabilities> answers(glyphs.size());
    if (glyphs.empty()) return answers;
    const int sizes[] = {int(glyphs.size()), 1, kGlyphSide, kGlyphSide};
    cv::Mat blob(4, sizes, CV_32F);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        std::memcpy(blob.ptr<float>(int(i)), glyphs[i].ptr<float>(),
                    sizeof(float) * kGlyphSide * kGlyphSide);
    }
    m_net.setInput(blob);
    const cv::Mat logits = m_net.forward().reshape(1, int(glyphs.size()));
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const float* row = logits.ptr<float>(int(i));
        const float top = *std::max_element(row, row + kGlyphClasses);
        float sum = 0;
        for (int k = 0; k < kGlyphClasses; ++k) sum += answers[i][k] = std::exp(row[k] - top);
        for (float& p : answers[i]) p /= sum;
    }
    return answers;
}
