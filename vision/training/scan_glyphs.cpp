// For training: reads lines "PICTURE [x0 y0 x1 y1 x2 y2 x3 y3]" on standard input and writes,
// for each picture, what the classifier would be shown: int32 n (-1: no grid found), then n
// records of int32 cell, float32 weight, float32 glyph[28 * 28]. The corners, when given (top
// left, then clockwise), place the grid instead of the finder.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "cell_reader.h"
#include "grid_finder.h"
#include "picture_decode.h"

namespace {

void Write(const void* data, size_t size) {
    std::fwrite(data, 1, size, stdout);
}

std::optional<CGridLattice> LatticeFromCorners(const std::vector<float>& c) {
    const std::vector<cv::Point2f> frame{{0, 0}, {9, 0}, {9, 9}, {0, 9}};
    const std::vector<cv::Point2f> corners{{c[0], c[1]}, {c[2], c[3]}, {c[4], c[5]}, {c[6], c[7]}};
    const cv::Mat h = cv::getPerspectiveTransform(frame, corners);
    std::vector<cv::Point2f> ideal, points;
    for (int k = 0; k < 10; ++k) {
        for (int l = 0; l < 10; ++l) ideal.emplace_back(float(l), float(k));
    }
    cv::perspectiveTransform(ideal, points, h);
    CGridLattice lattice;
    std::copy(points.begin(), points.end(), lattice.points.begin());
    lattice.score = 1;
    return lattice;
}

}  // namespace

int main() {
    constexpr int kCellSide = 40;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string path;
        words >> path;
        std::vector<float> corners{std::istream_iterator<float>(words), {}};
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        const CDecodedPicture picture = DecodePicture(bytes);
        std::optional<CGridLattice> lattice;
        if (!picture.grey.empty()) {
            if (corners.size() == 8) {
                for (float& c : corners) c *= float(picture.scale);
                lattice = LatticeFromCorners(corners);
            } else {
                lattice = FindGrid(picture.grey);
            }
        }
        if (!lattice) {
            const int32_t none = -1;
            Write(&none, sizeof none);
            continue;
        }
        const cv::Mat straight = StraightenGrid(picture.grey, *lattice, kCellSide);
        const std::array<CCellInk, kCellCount> ink = FindCellInk(straight, kCellSide);
        int32_t count = 0;
        for (const CCellInk& cell : ink) count += cell.weight > 0;
        Write(&count, sizeof count);
        for (int32_t cell = 0; cell < kCellCount; ++cell) {
            if (ink[cell].weight <= 0) continue;
            Write(&cell, sizeof cell);
            Write(&ink[cell].weight, sizeof(float));
            Write(ink[cell].glyph.ptr<float>(), sizeof(float) * kGlyphSide * kGlyphSide);
        }
    }
    return 0;
}
