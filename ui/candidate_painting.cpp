// The small digits sit where solvers write them: 1 top left, 5 in the middle, 9 bottom right.
//
// Short names: d is a digit 1-9.
#include "candidate_painting.h"

#include <QAccessible>
#include <QEvent>
#include <QPainter>

namespace {

// Struck-through eliminations stand out in red on a light and a dark theme alike.
const QColor kRemovedColour(220, 40, 40);

QColor Translucent(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

}  // namespace

void MarkStep(CGridPicture& picture, const CStep& step, CStepMarks marks) {
    if (step.unit >= 0 && step.unit < kUnitCount) {
        for (uint8_t cell : kUnitCells[step.unit]) picture[cell].unitCell = true;
    }
    if (marks == CStepMarks::kUnit) return;
    for (uint8_t cell : step.cells) picture[cell].patternCell = true;
    for (const CCandidate& c : step.pattern) {
        picture[c.cell].patternCell = true;
        picture[c.cell].patternDigits |= uint16_t(1u << c.digit);
    }
    for (const CCandidate& c : step.placements)
        picture[c.cell].placedDigits |= uint16_t(1u << c.digit);
    for (const CCandidate& c : step.eliminations) {
        picture[c.cell].removedDigits |= uint16_t(1u << c.digit);
    }
}

void MarkSameDigit(CGridPicture& picture, const PuzzleGrid& cells, int digit) {
    if (digit < 1 || digit > 9) return;
    const uint16_t bit = uint16_t(1u << digit);
    for (int i = 0; i < kCellCount; ++i) {
        picture[i].sameDigitCell = cells[i] == digit;
        picture[i].sameDigit = picture[i].candidates & bit;
    }
}

void PaintCell(QPainter& painter, const QRectF& rect, const CCellPicture& picture,
               const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor highlight = palette.color(QPalette::Highlight);
    if (picture.patternCell) painter.fillRect(rect, Translucent(highlight, 70));
    if (picture.sameDigitCell) painter.fillRect(rect, Translucent(highlight, 45));
    if (picture.unitCell) {
        painter.setPen(QPen(highlight, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(1, 1, -1, -1));
    }

    if (picture.value != 0) {
        QFont font = painter.font();
        font.setPixelSize(std::max(6, int(rect.height() * 0.6)));
        painter.setFont(font);
        painter.setPen(palette.color(picture.placedByStep ? QPalette::Link : QPalette::Text));
        painter.drawText(rect, Qt::AlignCenter, QString::number(picture.value));
        painter.restore();
        return;
    }

    const uint16_t shown =
        picture.candidates | picture.patternDigits | picture.placedDigits | picture.removedDigits;
    QFont font = painter.font();
    font.setPixelSize(std::max(5, int(rect.height() / 3.2)));
    painter.setFont(font);
    const qreal w = rect.width() / 3, h = rect.height() / 3;
    for (int d = 1; d <= 9; ++d) {
        const uint16_t bit = uint16_t(1u << d);
        if (!(shown & bit)) continue;
        const QRectF box(rect.left() + w * ((d - 1) % 3), rect.top() + h * ((d - 1) / 3), w, h);
        QColor ink = palette.color(QPalette::PlaceholderText);
        if (picture.sameDigit & bit) painter.fillRect(box, Translucent(highlight, 60));
        if (picture.patternDigits & bit) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Translucent(highlight, 120));
            painter.drawEllipse(box.center(), std::min(w, h) / 2, std::min(w, h) / 2);
            ink = palette.color(QPalette::Text);
        }
        if (picture.placedDigits & bit) {
            painter.setPen(QPen(palette.color(QPalette::Link), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(box.center(), std::min(w, h) / 2, std::min(w, h) / 2);
            ink = palette.color(QPalette::Link);
        }
        if (picture.removedDigits & bit) ink = kRemovedColour;
        painter.setPen(ink);
        painter.drawText(box, Qt::AlignCenter, QString::number(d));
        if (picture.removedDigits & bit) {
            painter.setPen(QPen(kRemovedColour, 1.2));
            painter.drawLine(box.bottomLeft(), box.topRight());
        }
    }
    painter.restore();
}

CCellOverlay::CCellOverlay(QWidget* field) : QWidget(field) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(field->rect());
    field->installEventFilter(this);
    show();
}

void CCellOverlay::SetPicture(const CCellPicture& picture, const QString& spoken) {
    if (picture != m_picture) {
        m_picture = picture;
        update();
    }
    if (spoken != accessibleName()) {
        setAccessibleName(spoken);
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

bool CCellOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

void CCellOverlay::paintEvent(QPaintEvent*) {
    if (m_picture.IsBlank()) return;
    QPainter painter(this);
    // Inside the field's frame, so the small digits never cover its border.
    PaintCell(painter, QRectF(rect()).adjusted(2, 1, -2, -1), m_picture, palette());
}
