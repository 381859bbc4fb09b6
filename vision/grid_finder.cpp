// The grid is looked for among the picture's largest dark shapes: each is taken as a
// quadrilateral, straightened, and kept only if ten lines each way are found in it, piece by
// piece, where a 9 x 9 grid has them. The pieces found then place every crossing, so that
// the cells follow a page that curves.
#include "grid_finder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <tuple>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "stable_sort.h"

namespace {

constexpr int kFindSide = 1000;       // the picture is searched at most this large
constexpr int kMinSearchedSide = 45;  // nine cells of five pixels
constexpr int kCell = 32;             // a cell's side while a candidate is checked
constexpr int kMargin = kCell;        // room around a candidate for lines it missed
constexpr int kCandidates = 6;        // the largest shapes tried
constexpr float kMinScore = 0.6f;     // share of the line pieces that must be seen

using Quad = std::array<cv::Point2f, 4>;  // top-left, top-right, bottom-right, bottom-left

// Positions of the ten lines of one direction, each in nine pieces (one a cell), in the
// straightened candidate.
struct CLineSet {
    float position[10][9];
    bool seen[10][9];
};

Quad OrderCorners(std::vector<cv::Point2f> points) {
    cv::Point2f centre(0, 0);
    for (const cv::Point2f& p : points) centre += p * 0.25f;
    std::sort(points.begin(), points.end(), [&](const cv::Point2f& a, const cv::Point2f& b) {
        return std::atan2(a.y - centre.y, a.x - centre.x) <
               std::atan2(b.y - centre.y, b.x - centre.x);
    });
    // Clockwise on screen; start at the corner nearest the picture's top-left.
    size_t first = 0;
    for (size_t i = 1; i < 4; ++i) {
        if (points[i].x + points[i].y < points[first].x + points[first].y) first = i;
    }
    Quad quad;
    for (size_t i = 0; i < 4; ++i) quad[i] = points[(first + i) % 4];
    return quad;
}

Quad QuadOfHull(const std::vector<cv::Point>& hull) {
    const double perimeter = cv::arcLength(hull, true);
    std::vector<cv::Point> approx;
    for (double share = 0.01; share <= 0.1; share += 0.01) {
        cv::approxPolyDP(hull, approx, share * perimeter, true);
        if (approx.size() == 4) {
            return OrderCorners({approx.begin(), approx.end()});
        }
        if (approx.size() < 4) break;
    }
    // The points furthest along the four diagonals.
    std::array<cv::Point2f, 4> extreme;
    std::array<float, 4> best{-1e9f, -1e9f, -1e9f, -1e9f};
    for (const cv::Point& p : hull) {
        const float along[4] = {-float(p.x + p.y), float(p.x - p.y), float(p.x + p.y),
                                float(p.y - p.x)};
        for (int i = 0; i < 4; ++i) {
            if (along[i] > best[i]) best[i] = along[i], extreme[i] = cv::Point2f(p);
        }
    }
    return OrderCorners({extreme.begin(), extreme.end()});
}

// The strokes of one direction: runs of at least half a cell, a little slant allowed.
cv::Mat LineMask(const cv::Mat& ink, bool horizontal) {
    cv::Mat widened, mask;
    const cv::Size across = horizontal ? cv::Size(1, 3) : cv::Size(3, 1);
    const cv::Size along = horizontal ? cv::Size(kCell / 2, 1) : cv::Size(1, kCell / 2);
    cv::dilate(ink, widened, cv::getStructuringElement(cv::MORPH_RECT, across));
    cv::morphologyEx(widened, mask, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, along));
    return mask;
}

// Sums of `mask` (0 or 255) across each piece: profile[j][t] for piece j at position t along
// the direction the lines are spaced in.
std::vector<std::vector<float>> PieceProfiles(const cv::Mat& mask, bool horizontal) {
    const cv::Mat m = horizontal ? mask : mask.t();
    std::vector<std::vector<float>> profiles(9, std::vector<float>(m.rows, 0));
    for (int t = 0; t < m.rows; ++t) {
        const uint8_t* row = m.ptr<uint8_t>(t);
        for (int j = 0; j < 9; ++j) {
            int sum = 0;
            for (int x = kMargin + j * kCell; x < kMargin + (j + 1) * kCell; ++x) sum += row[x];
            profiles[j][t] = sum / (255.0f * kCell);
        }
    }
    return profiles;
}

// Ten equally spaced lines that best match the whole profile: where the grid's lines are,
// even when the candidate was a little larger or smaller than the grid.
void FitEvenLines(const std::vector<std::vector<float>>& profiles, float expected[10]) {
    const int length = int(profiles[0].size());
    std::vector<float> whole(length, 0);
    for (const auto& profile : profiles) {
        for (int t = 0; t < length; ++t) whole[t] += profile[t];
    }
    std::vector<float> near(length, 0);  // the best within a pixel either side
    for (int t = 0; t < length; ++t) {
        near[t] =
            std::max({whole[t], whole[std::max(t - 1, 0)], whole[std::min(t + 1, length - 1)]});
    }
    float bestScore = -1, bestStart = kMargin, bestSpacing = kCell;
    // The candidate may hold more than the grid (a title touching it): the lines may start
    // well inside it and be closer than it suggests.
    for (float spacing = 0.55f * kCell; spacing <= 1.2f * kCell; spacing += 0.25f) {
        for (int start = kMargin - kCell; start <= kMargin + 4 * kCell; ++start) {
            if (start + 9 * spacing >= length - 1) break;
            float score = 0;
            for (int k = 0; k < 10; ++k) score += near[int(std::lround(start + k * spacing))];
            if (score > bestScore)
                bestScore = score, bestStart = float(start), bestSpacing = spacing;
        }
    }
    for (int k = 0; k < 10; ++k) expected[k] = bestStart + k * bestSpacing;
}

CLineSet FindLines(const cv::Mat& mask, bool horizontal, bool fitEven) {
    const std::vector<std::vector<float>> profiles = PieceProfiles(mask, horizontal);
    float expected[10];
    for (int k = 0; k < 10; ++k) expected[k] = float(kMargin + k * kCell);
    if (fitEven) FitEvenLines(profiles, expected);
    const int length = int(profiles[0].size());
    const int reach = int(0.3f * kCell);
    CLineSet lines;
    for (int k = 0; k < 10; ++k) {
        for (int j = 0; j < 9; ++j) {
            const std::vector<float>& profile = profiles[j];
            const int centre = int(std::lround(expected[k]));
            int best = centre;
            for (int t = std::max(centre - reach, 1); t <= std::min(centre + reach, length - 2);
                 ++t) {
                if (profile[t] > profile[best]) best = t;
            }
            float weight = 0, sum = 0;
            for (int t = std::max(best - 2, 0); t <= std::min(best + 2, length - 1); ++t) {
                weight += profile[t];
                sum += profile[t] * t;
            }
            lines.seen[k][j] = profile[best] >= 0.45f;
            lines.position[k][j] = lines.seen[k][j] ? sum / weight : expected[k];
        }
        // The pieces seen should lie on a gentle curve (a page bends, it does not kink): one
        // far off it caught a digit or a letter instead. The farthest is dropped, one at a
        // time, since one far piece tilts the whole curve towards it; the pieces not seen,
        // and those, follow the curve through the rest.
        for (int round = 0;; ++round) {
            std::vector<int> pieces;
            for (int j = 0; j < 9; ++j) {
                if (lines.seen[k][j]) pieces.push_back(j);
            }
            if (pieces.empty()) break;
            // A piece or two far from where the whole grid puts the line may be a digit's
            // stroke as well as the line's: too few to move the line by.
            if (pieces.size() < 3 && std::any_of(pieces.begin(), pieces.end(), [&](int j) {
                    return std::abs(lines.position[k][j] - expected[k]) > 0.12 * kCell;
                })) {
                for (int j = 0; j < 9; ++j) lines.position[k][j] = expected[k];
                break;
            }
            // A bend is fitted only between pieces seen at both ends: carried past the last
            // piece seen, a curve runs away from the line.
            const bool bothEnds = pieces.front() <= 1 && pieces.back() >= 7;
            const int terms = pieces.size() >= 7 && bothEnds ? 3 : pieces.size() >= 2 ? 2 : 1;
            cv::Mat a(int(pieces.size()), terms, CV_64F), b(int(pieces.size()), 1, CV_64F), fit;
            for (size_t i = 0; i < pieces.size(); ++i) {
                const double x = pieces[i] - 4.0;
                for (int t = 0; t < terms; ++t) a.at<double>(int(i), t) = std::pow(x, t);
                b.at<double>(int(i)) = lines.position[k][pieces[i]];
            }
            cv::solve(a, b, fit, cv::DECOMP_SVD);
            // How far each piece lies from the curve through the others: its distance from
            // this curve, grown by how much it alone pulls the curve (its leverage).
            const cv::Mat spread = (a.t() * a).inv(cv::DECOMP_SVD);
            std::array<double, 9> curve{};
            int farthest = -1;
            double farthestOff = 0.12 * kCell;
            for (int j = 0; j < 9; ++j) {
                for (int t = 0; t < terms; ++t)
                    curve[j] += fit.at<double>(t) * std::pow(j - 4.0, t);
            }
            for (size_t i = 0; i < pieces.size(); ++i) {
                const cv::Mat row = a.row(int(i));
                const double leverage = cv::Mat(row * spread * row.t()).at<double>(0);
                const int j = pieces[i];
                const double off =
                    std::abs(lines.position[k][j] - curve[j]) / std::max(1 - leverage, 0.05);
                if (off > farthestOff) farthest = j, farthestOff = off;
            }
            if (farthest >= 0 && round < 3) {
                lines.seen[k][farthest] = false;
                continue;
            }
            for (int j = 0; j < 9; ++j) {
                if (!lines.seen[k][j]) lines.position[k][j] = float(curve[j]);
            }
            break;
        }
    }
    return lines;
}

// Where line k of `lines` is at cross position l (0-9, the other direction's line), from its
// nine pieces, whose centres are at l = j + 0.5.
float LineAt(const CLineSet& lines, int k, int l) {
    const float t = std::clamp(l - 0.5f, 0.0f, 8.0f);
    const int j = std::min(int(t), 7);
    const float f = (l - 0.5f) - j;
    return lines.position[k][j] * (1 - f) + lines.position[k][j + 1] * f;
}

// The homography that maps `from` onto `to` best in the least-squares sense (direct linear
// transform, both sides scaled to unit size first so that the system is well conditioned).
cv::Mat FitHomography(const std::vector<cv::Point2f>& from, const std::vector<cv::Point2f>& to) {
    auto normaliser = [](const std::vector<cv::Point2f>& points) {
        cv::Point2f mean(0, 0);
        for (const cv::Point2f& p : points) mean += p;
        mean *= 1.0f / points.size();
        double spread = 0;
        for (const cv::Point2f& p : points) spread += cv::norm(p - mean);
        const double s = std::sqrt(2.0) * points.size() / std::max(spread, 1e-9);
        return cv::Matx33d(s, 0, -s * mean.x, 0, s, -s * mean.y, 0, 0, 1);
    };
    const cv::Matx33d nf = normaliser(from), nt = normaliser(to);
    cv::Mat a(int(2 * from.size()), 9, CV_64F);
    for (size_t i = 0; i < from.size(); ++i) {
        const cv::Vec3d p = nf * cv::Vec3d(from[i].x, from[i].y, 1);
        const cv::Vec3d q = nt * cv::Vec3d(to[i].x, to[i].y, 1);
        const double rows[2][9] = {{p[0], p[1], 1, 0, 0, 0, -q[0] * p[0], -q[0] * p[1], -q[0]},
                                   {0, 0, 0, p[0], p[1], 1, -q[1] * p[0], -q[1] * p[1], -q[1]}};
        for (int r = 0; r < 2; ++r) {
            std::copy(rows[r], rows[r] + 9, a.ptr<double>(int(2 * i + r)));
        }
    }
    cv::Mat h;
    cv::SVD::solveZ(a, h);
    const cv::Matx33d normalised(h.ptr<double>());
    const cv::Matx33d result = nt.inv() * normalised * nf;
    if (std::abs(result(2, 2)) < 1e-12) return {};
    return cv::Mat(result * (1 / result(2, 2)));
}

// Checks a candidate (the homography from the straightened frame to the picture) and, when it
// is a grid, places the crossings in the picture. Returns the share of line pieces seen.
float FitLattice(const cv::Mat& ink, cv::Mat& homography, bool fitEven,
                 std::array<cv::Point2f, 100>& points) {
    const int side = 9 * kCell + 2 * kMargin;
    cv::Mat straight;
    cv::warpPerspective(ink, straight, homography, cv::Size(side, side),
                        cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, 0);
    cv::threshold(straight, straight, 127, 255, cv::THRESH_BINARY);
    const CLineSet rows = FindLines(LineMask(straight, true), true, fitEven);
    const CLineSet columns = FindLines(LineMask(straight, false), false, fitEven);
    int seen = 0;
    for (int k = 0; k < 10; ++k) {
        for (int j = 0; j < 9; ++j) seen += rows.seen[k][j] + columns.seen[k][j];
    }
    std::vector<cv::Point2f> straightPoints(100), picturePoints;
    std::vector<cv::Point2f> ideal(100);
    for (int k = 0; k < 10; ++k) {
        for (int l = 0; l < 10; ++l) {
            straightPoints[10 * k + l] = cv::Point2f(LineAt(columns, l, k), LineAt(rows, k, l));
            ideal[10 * k + l] = cv::Point2f(float(kMargin + l * kCell), float(kMargin + k * kCell));
        }
    }
    cv::perspectiveTransform(straightPoints, picturePoints, homography);
    std::copy(picturePoints.begin(), picturePoints.end(), points.begin());
    // The next pass starts from the grid these crossings make.
    const cv::Mat refined = FitHomography(ideal, picturePoints);
    if (!refined.empty()) homography = refined;
    return seen / 180.0f;
}

// A lattice whose cells are all of a size (within a factor of five, as a tilted photo
// makes them) and turn the same way: not the crossings of a few strokes that happened to
// fit.
bool Plausible(const std::array<cv::Point2f, 100>& points) {
    std::vector<double> areas;
    for (int k = 0; k < 9; ++k) {
        for (int l = 0; l < 9; ++l) {
            const cv::Point2f a = points[10 * k + l], b = points[10 * k + l + 1];
            const cv::Point2f c = points[10 * (k + 1) + l + 1], d = points[10 * (k + 1) + l];
            areas.push_back(0.5 * ((c - a).cross(d - b)));
        }
    }
    const auto [low, high] = std::minmax_element(areas.begin(), areas.end());
    return *low >= 64 && *high <= 5 * *low;
}

double QuadArea(const std::array<cv::Point2f, 100>& points) {
    const std::vector<cv::Point2f> corners{points[0], points[9], points[99], points[90]};
    return std::abs(cv::contourArea(corners));
}

// A grid of separate boxes, one a cell, as a window of input fields draws it: at least
// kMinBoxes hollow shapes of one size that sit on a 9 x 9 lattice. The lattice is fitted to
// the boxes' centres, so each cell is the box with half the gap around it.
constexpr int kMinBoxes = 60;
constexpr size_t kBoxSizesTried = 4;  // a page of many sizes of boxes is no window

// How far a side of a box of about `side` pixels may be from it: 15 % and a pixel.
double SideTolerance(int side) {
    return 0.15 * side + 1;
}

// Two boxes of about one size: `b` within the tolerance of `a`'s width and height.
bool Alike(cv::Size a, cv::Size b) {
    return std::abs(a.width - b.width) <= SideTolerance(a.width) &&
           std::abs(a.height - b.height) <= SideTolerance(a.height);
}

// The lattice of 9 x 9 boxes of one size, if they make one.
std::optional<CGridLattice> LatticeOfBoxes(const std::vector<cv::Rect>& fields) {
    std::vector<cv::Point> corners;
    std::vector<cv::Point2f> centres;
    for (const cv::Rect& b : fields) {
        corners.push_back(b.tl());
        corners.push_back(b.br());
        corners.emplace_back(b.x + b.width, b.y);
        corners.emplace_back(b.x, b.y + b.height);
        centres.emplace_back(b.x + 0.5f * b.width, b.y + 0.5f * b.height);
    }
    std::vector<cv::Point> hull;
    cv::convexHull(corners, hull);
    const Quad quad = QuadOfHull(hull);
    const std::vector<cv::Point2f> frame{{0, 0}, {9, 0}, {9, 9}, {0, 9}};
    const cv::Mat toFrame =
        cv::getPerspectiveTransform(std::vector(quad.begin(), quad.end()), frame);
    std::vector<cv::Point2f> placed;
    cv::perspectiveTransform(centres, placed, toFrame);
    // Each box to its cell; a cell claimed twice, or a box far from a cell's middle, is not
    // a lattice.
    std::array<int, 81> owner;
    owner.fill(-1);
    std::vector<cv::Point2f> ideal, seen;
    for (size_t i = 0; i < placed.size(); ++i) {
        const int c = int(std::floor(placed[i].x)), r = int(std::floor(placed[i].y));
        if (r < 0 || r > 8 || c < 0 || c > 8) continue;
        if (std::abs(placed[i].x - (c + 0.5f)) > 0.3f || std::abs(placed[i].y - (r + 0.5f)) > 0.3f)
            continue;
        if (owner[9 * r + c] >= 0) return std::nullopt;
        owner[9 * r + c] = int(i);
        ideal.emplace_back(c + 0.5f, r + 0.5f);
        seen.push_back(centres[i]);
    }
    if (int(seen.size()) < kMinBoxes) return std::nullopt;
    const cv::Mat homography = FitHomography(ideal, seen);
    if (homography.empty()) return std::nullopt;
    std::vector<cv::Point2f> crossings, points;
    for (int k = 0; k < 10; ++k) {
        for (int l = 0; l < 10; ++l) crossings.emplace_back(float(l), float(k));
    }
    cv::perspectiveTransform(crossings, points, homography);
    CGridLattice lattice;
    std::copy(points.begin(), points.end(), lattice.points.begin());
    lattice.score = seen.size() / 81.0f;
    return lattice;
}

std::optional<CGridLattice> FindBoxGrid(const cv::Mat& stats, int count, int minSide) {
    std::vector<cv::Rect> boxes;
    for (int label = 1; label < count; ++label) {
        const cv::Rect b(
            stats.at<int>(label, cv::CC_STAT_LEFT), stats.at<int>(label, cv::CC_STAT_TOP),
            stats.at<int>(label, cv::CC_STAT_WIDTH), stats.at<int>(label, cv::CC_STAT_HEIGHT));
        const int area = stats.at<int>(label, cv::CC_STAT_AREA);
        if (b.width >= 8 && b.height >= 8 && b.width <= minSide / 4 && b.height <= minSide / 4 &&
            b.width < 3 * b.height && b.height < 3 * b.width && area < 0.5 * b.area()) {
            boxes.push_back(b);
        }
    }
    if (int(boxes.size()) < kMinBoxes) return std::nullopt;
    // How many boxes are alike to each size: the boxes counted by width and height, summed
    // over the sizes alike (a rectangle of that table, read from its running sums), so that
    // a page of many thousand small shapes costs no more than a few.
    const int side = minSide / 4 + 2;
    cv::Mat sums = cv::Mat::zeros(side + 1, side + 1, CV_32S);
    for (const cv::Rect& b : boxes) ++sums.at<int>(b.height + 1, b.width + 1);
    for (int h = 1; h <= side; ++h) {
        for (int w = 1; w <= side; ++w) {
            sums.at<int>(h, w) +=
                sums.at<int>(h - 1, w) + sums.at<int>(h, w - 1) - sums.at<int>(h - 1, w - 1);
        }
    }
    auto sharing = [&](cv::Size a) {
        const double tw = SideTolerance(a.width), th = SideTolerance(a.height);
        const int w0 = std::max(0, int(std::ceil(a.width - tw)));
        const int w1 = std::min(side - 1, int(std::floor(a.width + tw)));
        const int h0 = std::max(0, int(std::ceil(a.height - th)));
        const int h1 = std::min(side - 1, int(std::floor(a.height + th)));
        return sums.at<int>(h1 + 1, w1 + 1) - sums.at<int>(h0, w1 + 1) - sums.at<int>(h1 + 1, w0) +
               sums.at<int>(h0, w0);
    };
    // The sizes that enough boxes share, the largest first: pencil marks in the fields are
    // boxes too, and may outnumber the fields; buttons or a panel beside the grid may be
    // larger. Each is tried as the size most boxes near it share, until one makes a lattice.
    std::vector<cv::Size> sizes;
    for (const cv::Rect& b : boxes) {
        if (sharing(b.size()) >= kMinBoxes) sizes.push_back(b.size());
    }
    std::sort(sizes.begin(), sizes.end(),
              [](cv::Size a, cv::Size b) { return a.area() > b.area(); });
    std::vector<cv::Size> tried;
    for (const cv::Size& size : sizes) {
        if (std::any_of(tried.begin(), tried.end(), [&](cv::Size t) { return Alike(t, size); }))
            continue;
        if (tried.size() == kBoxSizesTried) break;
        tried.push_back(size);
        cv::Size mode = size;
        int modeSharing = sharing(mode);
        for (const cv::Rect& b : boxes) {
            if (!Alike(size, b.size())) continue;
            if (const int n = sharing(b.size()); n > modeSharing) mode = b.size(), modeSharing = n;
        }
        std::vector<cv::Rect> fields;
        for (const cv::Rect& b : boxes) {
            if (Alike(mode, b.size())) fields.push_back(b);
        }
        if (std::optional<CGridLattice> lattice = LatticeOfBoxes(fields)) return lattice;
    }
    return std::nullopt;
}

}  // namespace

std::optional<CGridLattice> FindGrid(const cv::Mat& grey) {
    const double factor = std::min(1.0, double(kFindSide) / std::max(grey.cols, grey.rows));
    // Too narrow, as searched, for nine cells of a few pixels each (a strip of a picture).
    if (std::min(grey.cols, grey.rows) * factor < kMinSearchedSide) return std::nullopt;
    cv::Mat small;
    if (factor < 1) {
        cv::resize(grey, small, cv::Size(), factor, factor, cv::INTER_AREA);
    } else {
        small = grey;
    }
    // Ink: darker than its surroundings, which keeps lines in shade and in glare alike.
    const int block = std::max(15, std::min(small.cols, small.rows) / 25) | 1;
    cv::Mat ink;
    cv::adaptiveThreshold(small, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, block,
                          6);

    // Candidates: the largest shapes of the ink, and of its long straight strokes alone, which
    // part a grid from the text and titles that touch it.
    cv::Mat strokes, along;
    const int length = std::max(10, std::min(small.cols, small.rows) / 50);
    cv::morphologyEx(ink, strokes, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(length, 1)));
    cv::morphologyEx(ink, along, cv::MORPH_OPEN,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, length)));
    strokes |= along;
    const int minSide = std::max(40, std::min(small.cols, small.rows) / 8);
    struct CCandidate {
        cv::Mat shape;  // the candidate's pixels within `box`
        cv::Rect box;
    };
    std::vector<CCandidate> candidates;
    cv::Mat labels, stats, centroids, strokeLabels, strokeStats;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    const int strokeCount =
        cv::connectedComponentsWithStats(strokes, strokeLabels, strokeStats, centroids, 8, CV_32S);
    for (const auto& [componentLabels, componentStats, n] :
         {std::tuple(labels, stats, count), std::tuple(strokeLabels, strokeStats, strokeCount)}) {
        auto boxOf = [&](int label) {
            return cv::Rect(componentStats.at<int>(label, cv::CC_STAT_LEFT),
                            componentStats.at<int>(label, cv::CC_STAT_TOP),
                            componentStats.at<int>(label, cv::CC_STAT_WIDTH),
                            componentStats.at<int>(label, cv::CC_STAT_HEIGHT));
        };
        std::vector<int> order;
        for (int label = 1; label < n; ++label) {
            if (boxOf(label).width >= minSide && boxOf(label).height >= minSide) {
                order.push_back(label);
            }
        }
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return boxOf(a).area() > boxOf(b).area(); });
        if (order.size() > size_t(kCandidates)) order.resize(kCandidates);
        for (int label : order) {
            candidates.push_back({componentLabels(boxOf(label)) == label, boxOf(label)});
        }
    }
    StableSort(candidates, [](const CCandidate& a, const CCandidate& b) {
        return a.box.area() > b.box.area();
    });

    std::optional<CGridLattice> found;
    double foundArea = 0;
    for (const CCandidate& candidate : candidates) {
        const cv::Rect& box = candidate.box;
        if (found && double(box.area()) < foundArea) break;
        const cv::Mat& shape = candidate.shape;
        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(shape, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE, box.tl());
        if (contours.empty()) continue;
        std::vector<cv::Point> all, hull;
        for (const auto& contour : contours) all.insert(all.end(), contour.begin(), contour.end());
        cv::convexHull(all, hull);
        const Quad quad = QuadOfHull(hull);
        const std::vector<cv::Point2f> frame{
            {float(kMargin), float(kMargin)},
            {float(kMargin + 9 * kCell), float(kMargin)},
            {float(kMargin + 9 * kCell), float(kMargin + 9 * kCell)},
            {float(kMargin), float(kMargin + 9 * kCell)}};
        cv::Mat homography =
            cv::getPerspectiveTransform(frame, std::vector(quad.begin(), quad.end()));
        CGridLattice lattice;
        float score = 0;
        for (int pass = 0; pass < 3; ++pass) {
            score = FitLattice(ink, homography, pass == 0, lattice.points);
            if (pass == 0 && score < 0.3f) break;
        }
        if (score < kMinScore || !Plausible(lattice.points)) continue;
        const double area = QuadArea(lattice.points);
        if (!found || area > foundArea) {
            for (cv::Point2f& p : lattice.points) p *= float(1 / factor);
            lattice.score = score;
            found = lattice;
            foundArea = area;
        }
    }
    if (std::optional<CGridLattice> boxes =
            FindBoxGrid(stats, count, std::min(small.cols, small.rows))) {
        const double area = QuadArea(boxes->points);
        if (Plausible(boxes->points) && (!found || area > foundArea)) {
            for (cv::Point2f& p : boxes->points) p *= float(1 / factor);
            found = boxes;
        }
    }
    return found;
}

cv::Mat StraightenGrid(const cv::Mat& grey, const CGridLattice& lattice, int cellSide) {
    std::array<cv::Point2f, 100> points = lattice.points;
    double spacing = 0;
    for (int k = 0; k < 10; ++k) {
        spacing += cv::norm(points[10 * k + 9] - points[10 * k]) / 9;
        spacing += cv::norm(points[90 + k] - points[k]) / 9;
    }
    spacing /= 20;
    // Shrink what is more than twice too fine, so that remap's samples see every stroke.
    cv::Mat source = grey;
    if (spacing > 2.0 * cellSide) {
        const double f = 1.5 * cellSide / spacing;
        cv::resize(grey, source, cv::Size(), f, f, cv::INTER_AREA);
        for (cv::Point2f& p : points) p *= float(f);
    }
    const int side = 9 * cellSide;
    cv::Mat mapX(side, side, CV_32F), mapY(side, side, CV_32F);
    for (int k = 0; k < 9; ++k) {
        for (int l = 0; l < 9; ++l) {
            const cv::Point2f p00 = points[10 * k + l], p01 = points[10 * k + l + 1];
            const cv::Point2f p10 = points[10 * (k + 1) + l], p11 = points[10 * (k + 1) + l + 1];
            for (int v = 0; v < cellSide; ++v) {
                const float fv = (v + 0.5f) / cellSide;
                float* rowX = mapX.ptr<float>(k * cellSide + v) + l * cellSide;
                float* rowY = mapY.ptr<float>(k * cellSide + v) + l * cellSide;
                for (int u = 0; u < cellSide; ++u) {
                    const float fu = (u + 0.5f) / cellSide;
                    const cv::Point2f p =
                        (p00 * (1 - fu) + p01 * fu) * (1 - fv) + (p10 * (1 - fu) + p11 * fu) * fv;
                    rowX[u] = p.x;
                    rowY[u] = p.y;
                }
            }
        }
    }
    cv::Mat straight;
    cv::remap(source, straight, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return straight;
}
