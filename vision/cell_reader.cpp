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

namespace {

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

}  // namespace

std::array<CCellInk, kCellCount> FindCellInk(const cv::Mat& straight, int cellSide) {
    std::array<CCellInk, kCellCount> cells;
    const float paperLevel = Percentile(straight, {}, 0.5f);
    const float inkLevel = Percentile(straight, {}, 0.02f);
    const float contrast = std::max(paperLevel - inkLevel, 1.0f);
    const double offset = std::clamp(0.12 * contrast, 3.0, 15.0);
    cv::Mat ink;
    cv::adaptiveThreshold(straight, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV,
                          (cellSide * 3 / 4) | 1, offset);
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
    ink &= ~lines;

    const int border = std::max(1, cellSide / 10);
    for (int cell = 0; cell < kCellCount; ++cell) {
        const cv::Rect area((cell % 9) * cellSide, (cell / 9) * cellSide, cellSide, cellSide);
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
        // With the pieces a broken stroke left beside it.
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
        const float darkness = paper - Percentile(cellGrey, shape, 0.1f);
        const float dark = Ramp(darkness / contrast, 0.15f, 0.3f);
        const float weight = Ramp(float(box.height) / cellSide, 0.22f, 0.32f) * dark;
        const float sideWeight = Ramp(float(box.width) / cellSide, 0.22f, 0.32f) * dark;
        if (weight <= 0 && sideWeight <= 0) continue;
        cells[cell].weight = weight;
        cells[cell].sideWeight = sideWeight;
        cells[cell].glyph = MakeGlyph(cellGrey, shape, box, paper);
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
