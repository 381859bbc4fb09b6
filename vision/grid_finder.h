// Finding the puzzle's grid in a grey picture: the largest set of 10 x 10 lines that cross as
// a 9 x 9 grid does, followed cell by cell so that a curved or tilted page still fits.
#pragma once

#include <array>
#include <optional>

#include <opencv2/core.hpp>

// The crossings of the grid's lines in the picture: point 10 * k + l is where horizontal line
// k (0 the top) meets vertical line l (0 the left), in the picture's pixels.
struct CGridLattice {
    std::array<cv::Point2f, 100> points;
    float score = 0;  // the share of the lines' pieces that were seen where expected
};

std::optional<CGridLattice> FindGrid(const cv::Mat& grey);

// The grid straightened: (9 * cellSide) pixels square, cell (r, c) at (c, r) * cellSide.
// Pictures much larger than that are shrunk first, so that thin strokes are averaged, not
// skipped.
cv::Mat StraightenGrid(const cv::Mat& grey, const CGridLattice& lattice, int cellSide);
