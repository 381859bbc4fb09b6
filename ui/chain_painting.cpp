// Each link is a slight curve, bent to its left, so that a link and one back along the same
// line stay apart, and ends short of the candidates so that their digits stay readable.
//
// Short names: d is a digit 1-9, r the radius of a small digit's place.
#include "chain_painting.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

namespace {

// Orange reads against the white of a field, the highlight's blue and a dark theme alike.
const QColor kChainColour(214, 96, 0);

bool Contains(const std::vector<CLinkEnd>& ends, const CLinkEnd& end) {
    return std::find(ends.begin(), ends.end(), end) != ends.end();
}

void AddOnce(std::vector<CLinkEnd>& ends, const CLinkEnd& end) {
    if (!Contains(ends, end)) ends.push_back(end);
}

QPointF EndCentre(const CLinkEnd& end, const std::function<QRectF(int)>& cellRect) {
    QPointF sum;
    for (int n = 0; n < end.size; ++n) sum += CandidateCentre(cellRect(end.cells[n]), end.digit);
    return end.size > 0 ? sum / end.size : sum;
}

// A group's candidates inside one rounded frame, read as one end.
QRectF GroupFrame(const CLinkEnd& end, const std::function<QRectF(int)>& cellRect, qreal r) {
    QRectF frame;
    for (int n = 0; n < end.size; ++n) {
        const QPointF centre = CandidateCentre(cellRect(end.cells[n]), end.digit);
        frame |= QRectF(centre - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    return frame;
}

QPointF Unit(QPointF v) {
    const qreal length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF();
}

void PaintLink(QPainter& painter, QPointF from, QPointF to, bool strong, qreal r) {
    const QPointF along = to - from;
    const qreal length = std::hypot(along.x(), along.y());
    if (length < 1) return;
    const QPointF unit = along / length;
    const QPointF left(unit.y(), -unit.x());
    const qreal inset = std::min(r * 1.2, length * 0.3);
    const QPointF start = from + unit * inset;
    const QPointF end = to - unit * inset;
    const QPointF bend = (start + end) / 2 + left * std::min(length * 0.15, 3 * r);

    QPen pen(kChainColour, std::max<qreal>(1.5, r / 4));
    pen.setCapStyle(Qt::FlatCap);
    if (!strong) pen.setDashPattern({3, 2});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPainterPath path(start);
    path.quadTo(bend, end);
    painter.drawPath(path);

    const QPointF tip = Unit(end - bend);
    const QPointF side(tip.y(), -tip.x());
    const qreal head = std::max<qreal>(6, r * 1.4);
    const QPointF base = end - tip * head;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kChainColour);
    painter.drawPolygon(QPolygonF{end, base + side * head * 0.5, base - side * head * 0.5});
}

void PaintEnd(QPainter& painter, const CLinkEnd& end, const std::function<QRectF(int)>& cellRect,
              qreal r, qreal width) {
    painter.setPen(QPen(kChainColour, width));
    painter.setBrush(Qt::NoBrush);
    if (end.size > 1) {
        painter.drawRoundedRect(GroupFrame(end, cellRect, r * 1.1), r, r);
        return;
    }
    painter.drawEllipse(EndCentre(end, cellRect), r * 1.1, r * 1.1);
}

}  // namespace

CChainPicture ChainPictureOf(const CStep& step) {
    CChainPicture chain;
    chain.links = step.links;
    std::vector<CLinkEnd> froms, tos;
    for (const CChainLink& link : step.links) {
        AddOnce(froms, link.from);
        AddOnce(tos, link.to);
    }
    for (const CLinkEnd& from : froms) {
        if (!Contains(tos, from)) chain.starts.push_back(from);
    }
    for (const CLinkEnd& to : tos) {
        if (!Contains(froms, to)) chain.ends.push_back(to);
    }
    // A loop has no end that nothing leads to: it starts where it is first followed.
    if (chain.starts.empty() && !chain.links.empty()) {
        chain.starts.push_back(chain.links.front().from);
    }
    return chain;
}

QPointF CandidateCentre(const QRectF& cell, int digit) {
    const qreal w = cell.width() / 3, h = cell.height() / 3;
    return {cell.left() + w * ((digit - 1) % 3 + 0.5), cell.top() + h * ((digit - 1) / 3 + 0.5)};
}

void PaintChain(QPainter& painter, const CChainPicture& chain,
                const std::function<QRectF(int cell)>& cellRect) {
    if (chain.IsEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cell = cellRect(0);
    const qreal r = std::min(cell.width(), cell.height()) / 6;
    for (const CChainLink& link : chain.links) {
        for (const CLinkEnd* end : {&link.from, &link.to}) {
            if (end->size > 1) PaintEnd(painter, *end, cellRect, r, 1);
        }
    }
    for (const CChainLink& link : chain.links) {
        PaintLink(painter, EndCentre(link.from, cellRect), EndCentre(link.to, cellRect),
                  link.strong, r);
    }
    for (const CLinkEnd& end : chain.starts) PaintEnd(painter, end, cellRect, r, 2.5);
    for (const CLinkEnd& end : chain.ends) PaintEnd(painter, end, cellRect, r, 1.5);
    painter.restore();
}

CChainOverlay::CChainOverlay(QWidget* dialog, std::array<QLineEdit*, kCellCount> cells)
    : QWidget(dialog), m_cells(cells) {
    setObjectName(QStringLiteral("chainOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    dialog->installEventFilter(this);
    FitToGrid();
    hide();
}

void CChainOverlay::SetPicture(const CChainPicture& chain) {
    if (chain == m_chain) return;
    m_chain = chain;
    FitToGrid();
    setVisible(!m_chain.IsEmpty());
    raise();
    update();
}

void CChainOverlay::FitToGrid() {
    QRect grid;
    for (const QLineEdit* field : m_cells) grid |= field->geometry();
    setGeometry(grid);
}

bool CChainOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        FitToGrid();
    }
    return QWidget::eventFilter(watched, event);
}

void CChainOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The rectangle each field's own overlay paints its small digits in.
    PaintChain(painter, m_chain, [this](int i) {
        return QRectF(m_cells[i]->geometry().translated(-pos())).adjusted(2, 1, -2, -1);
    });
}
