// What the help says, in the window's language: cells and units named as solvers name them
// (r4c7, 第4行), the hint's two texts, a step in the list, the rating and a cell's candidates.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <span>

#include "hint.h"

class QLineEdit;

class CExplainText {
    Q_DECLARE_TR_FUNCTIONS(CExplainText)

  public:
    static QString TechniqueText(CTechnique technique);  // 宫内排除, X翼
    static QString CellName(int cell);                   // r4c7
    static QString UnitName(int unit);  // 第4行, 第7列, 第5宫 (grid.h's unit numbering)
    // The hint's first press: the technique, and where to look.
    static QString HintTechnique(const CStep& step);
    // The hint's second press: what the pattern is and what it changes, in one sentence.
    static QString HintExplanation(const CStep& step);
    // Why there is no step to hint at (any outcome but kStep).
    static QString HintAnswer(const CHint& hint);
    // One line of the steps list: the technique, its value and what it changes.
    static QString StepLine(int number, const CStep& step);
    static QString Rating(const CRating& rating);
    // A cell's candidates for the screen reader, e.g. 候选数 1 2 5.
    static QString Candidates(uint16_t mask);
    static QString Working();
    // A field holds a number above 9, so the grid is no puzzle.
    static QString NotAPuzzle();
    // Names the fields whose text is neither empty nor one digit ("12", "7x", "abc"), which
    // the help will not guess at; an empty string when there are none.
    static QString NotDigits(std::span<QLineEdit* const> fields);
    // Nothing is typed yet: an empty grid has every solution, but it is no puzzle to help with.
    static QString EmptyGrid();
    static QString Stopped();
    // What the step places and removes: r4c7填5，删去r1c2的7.
    static QString Changes(const CStep& step);
    static QString Applied(const CStep& step);

  private:
    static QString RatingValue(int tenths);
};
