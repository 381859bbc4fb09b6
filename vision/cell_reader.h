// Reading the cells of a straightened grid: the shape in each cell that may be a digit, made
// into the classifier's input, and the classifier itself (a small network run by OpenCV).
#pragma once

#include <array>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>

#include "scan.h"

inline constexpr int kGlyphSide = 28;  // the classifier's input, kGlyphSide square
inline constexpr int kGlyphFit = 20;   // the shape's longer side within it

// A cell's shape that may be a digit.
struct CCellInk {
    float weight = 0;  // 0: the cell is empty; 1: the shape is as large and dark as a digit
    // As `weight`, for a grid on its side, where a digit's height is the shape's width.
    float sideWeight = 0;
    cv::Mat glyph;  // kGlyphSide square, CV_32F, 0 paper to 1 ink; empty when both are 0
};

// Each cell's shape, in the grid straightened by StraightenGrid (cells `cellSide` square).
std::array<CCellInk, kCellCount> FindCellInk(const cv::Mat& straight, int cellSide);

// A puzzle has at least this many givens.
inline constexpr int kFewestGivens = 17;

// Each cell's digit where the grid's digits are smaller than FindCellInk takes for digits, or
// away from the cell's middle (a window's fields, a digit at a field's left, pencil marks in
// the same field): a digit is a cell's one glyph as tall as the grid's own digits. Its shapes
// have no `sideWeight`: by their heights only an upright or upside-down grid is read.
std::array<CCellInk, kCellCount> FindSmallCellInk(const cv::Mat& straight, int cellSide);

// The classifier's classes: 0 "not a digit" (a smudge, a stroke, a digit on its side), 1-9.
inline constexpr int kGlyphClasses = 10;
using GlyphProbabilities = std::array<float, kGlyphClasses>;

class CDigitClassifier {
  public:
    CDigitClassifier();  // loads the model built into the library
    std::vector<GlyphProbabilities> Classify(const std::vector<cv::Mat>& glyphs);

  private:
    cv::dnn::Net m_net;
};
