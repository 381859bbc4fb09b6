// Painting what the help adds to a cell: its candidates as small digits in a 3 x 3 block,
// and a hint's marks. Shared by the overlay inside each field of the dialog and by the
// steps window's grid, so both look the same.
#pragma once

#include <QPalette>
#include <QRectF>
#include <QWidget>
#include <array>
#include <cstdint>

#include "logic.h"

class QPainter;

// What a cell shows besides its own text. Digit masks: bit d for digit d.
struct CCellPicture {
    uint8_t value = 0;           // a digit to draw large: the steps window only (a field
                                 // draws its own text)
    bool placedByStep = false;   // the value was placed by a step, not given
    uint16_t candidates = 0;     // drawn small, for an empty cell
    uint16_t patternDigits = 0;  // candidates that prove the step
    uint16_t placedDigits = 0;   // what the step places
    uint16_t removedDigits = 0;  // what the step removes, drawn struck through
    bool patternCell = false;    // a cell of the step's pattern
    bool unitCell = false;       // a cell of the unit to look at
    bool reasonCell = false;     // holds a digit that rules out the other places of a single
    bool sameDigitCell = false;  // holds the digit of the focused cell (高亮相同数字)
    uint16_t sameDigit = 0;      // that digit, among the candidates

    bool IsBlank() const {
        return value == 0 && candidates == 0 && patternDigits == 0 && placedDigits == 0 &&
               removedDigits == 0 && !patternCell && !unitCell && !reasonCell && !sameDigitCell &&
               sameDigit == 0;
    }
    friend bool operator==(const CCellPicture&, const CCellPicture&) = default;
};

using CGridPicture = std::array<CCellPicture, kCellCount>;

// How far a step is shown: its unit only (the hint's first press), or its pattern and what it
// changes as well (the second press, and the steps window).
enum class CStepMarks : uint8_t { kUnit, kPattern };

// Adds the marks of `step` to `picture`.
void MarkStep(CGridPicture& picture, const CStep& step, CStepMarks marks);

// For a single, marks the digits of `cells` (the digits placed, 0 for an empty cell) that
// rule out its other places: in a hidden single the placed digit's copies that see the
// unit's other empty cells, in a naked single the peers holding the other digits. Other
// techniques show their proof in their pattern.
void MarkReasons(CGridPicture& picture, const CStep& step, const PuzzleGrid& cells);

// The colour of the small digits: between the text's and the background's, so that they
// stand back from the digits placed, yet always at a contrast of 4.5:1 or more.
QColor CandidateInk(const QPalette& palette);

// The contrast of two colours as WCAG 2 defines it, from 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);

// Marks every cell of `cells` holding `digit`, and `digit` among the candidates already in
// `picture`. A digit outside 1-9 marks nothing.
void MarkSameDigit(CGridPicture& picture, const PuzzleGrid& cells, int digit);

void PaintCell(QPainter& painter, const QRectF& rect, const CCellPicture& picture,
               const QPalette& palette);

// Painted over a field of the dialog, inside it, never touching its text (which 计算 reads);
// mouse clicks and the focus go to the field beneath. A screen reader finds the candidates
// as its accessible name.
class CCellOverlay : public QWidget {
    Q_OBJECT

  public:
    explicit CCellOverlay(QWidget* field);

    void SetPicture(const CCellPicture& picture, const QString& spoken);
    const CCellPicture& Picture() const { return m_picture; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    CCellPicture m_picture;
};
