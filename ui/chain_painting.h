// A chain step's links drawn between candidates, as solvers draw them: strong links solid,
// weak links dashed, each an arrow from one candidate to the next, the chain's ends ringed.
// Shared by the overlay over the dialog's grid and by the steps window's grid.
#pragma once

#include <QRectF>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "logic.h"

class QLineEdit;
class QPainter;

// What is drawn of a chain.
struct CChainPicture {
    std::vector<CChainLink> links;  // in the order followed
    std::vector<CLinkEnd> starts;   // where the chain starts: ends no link leads to
    std::vector<CLinkEnd> ends;     // where it ends: ends no link leads on from

    bool IsEmpty() const { return links.empty(); }
    friend bool operator==(const CChainPicture&, const CChainPicture&) = default;
};

// The chain of `step`; empty for a step that is no chain.
CChainPicture ChainPictureOf(const CStep& step);

// Where the small digit `digit` sits in a cell drawn in `cell` (as PaintCell places it).
QPointF CandidateCentre(const QRectF& cell, int digit);

// Draws `chain` over a grid whose cell i is drawn in `cellRect(i)`.
void PaintChain(QPainter& painter, const CChainPicture& chain,
                const std::function<QRectF(int cell)>& cellRect);

// Over the dialog's fields, above them: takes no click and no focus, so the fields beneath
// work as before.
class CChainOverlay : public QWidget {
    Q_OBJECT

  public:
    CChainOverlay(QWidget* dialog, std::array<QLineEdit*, kCellCount> cells);

    void SetPicture(const CChainPicture& chain);
    const CChainPicture& Picture() const { return m_chain; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void FitToGrid();

    std::array<QLineEdit*, kCellCount> m_cells;
    CChainPicture m_chain;
};
