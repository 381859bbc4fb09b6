// The small digits sit where solvers write them: 1 top left, 5 in the middle, 9 bottom right.
//
// Short names: d is a digit 1-9.
#include "candidate_painting.h"

#include <QAccessible>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <bit>
#include <cmath>

namespace {

// Struck-through eliminations stand out in red on a light and a dark theme alike.
const QColor kRemovedColour(220, 40, 40);

QColor Translucent(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

// `share` of `a` and the rest of `b`, channel by channel.
QColor Mix(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() * share + b.redF() * (1 - share)),
                            float(a.greenF() * share + b.greenF() * (1 - share)),
                            float(a.blueF() * share + b.blueF() * (1 - share)));
}

double RelativeLuminance(const QColor& colour) {
    auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// Above the 4.5:1 asked of small text, since antialiasing lightens a thin stroke's pixels.
constexpr double kCandidateContrast = 6.0;

// Where a field's text starts inside its contents, as QLineEdit lays it out.
constexpr int kTextMargin = 2;

// The small digits' size, as a share of the field's height: a little over a third, so that
// their rows fill the field.
constexpr double kCandidateSize = 0.36;

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

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor CandidateInk(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Text), base = palette.color(QPalette::Base);
    for (double share = 0.6; share < 1; share += 0.05) {
        const QColor ink = Mix(text, base, share);
        if (ContrastRatio(ink, base) >= kCandidateContrast) return ink;
    }
    return text;
}

void MarkReasons(CGridPicture& picture, const CStep& step, const PuzzleGrid& cells) {
    if (step.placements.size() != 1) return;
    const CCandidate placed = step.placements.front();
    auto mark = [&](int cell, int digit) {
        for (uint8_t peer : kCellPeers[cell]) {
            if (cells[peer] == digit) picture[peer].reasonCell = true;
        }
    };
    switch (step.technique) {
        case CTechnique::kHiddenSingleBox:
        case CTechnique::kHiddenSingleLine:
            if (step.unit < 0 || step.unit >= kUnitCount) return;
            for (uint8_t cell : kUnitCells[step.unit]) {
                if (cell != placed.cell && cells[cell] == 0) mark(cell, placed.digit);
            }
            break;
        case CTechnique::kNakedSingle:
            for (int d = 1; d <= 9; ++d) {
                if (d != placed.digit) mark(placed.cell, d);
            }
            break;
        default:
            break;
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
    if (picture.reasonCell) {
        // A ring around the field's own digit, as a solver circles it on paper.
        const qreal radius = std::min(rect.width(), rect.height()) / 2 - 1;
        painter.setPen(QPen(highlight, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(rect.center(), radius, radius);
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
    // The digit a step places, large and circled, so that it reads without the candidates.
    if (std::has_single_bit(picture.placedDigits) && picture.removedDigits == 0) {
        const int digit = std::countr_zero(picture.placedDigits);
        const QColor link = palette.color(QPalette::Link);
        QFont font = painter.font();
        font.setPixelSize(std::max(6, int(rect.height() * 0.6)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QPen(link, 1.5));
        painter.setBrush(Qt::NoBrush);
        const qreal radius = std::min(rect.width(), rect.height()) / 2 - 1;
        painter.drawEllipse(rect.center(), radius, radius);
        painter.drawText(rect, Qt::AlignCenter, QString::number(digit));
        painter.restore();
        return;
    }

    const uint16_t shown =
        picture.candidates | picture.patternDigits | picture.placedDigits | picture.removedDigits;
    QFont font = painter.font();
    font.setPixelSize(std::max(5, int(std::ceil(rect.height() * kCandidateSize))));
    painter.setFont(font);
    const QColor candidateInk = CandidateInk(palette);
    const qreal w = rect.width() / 3, h = rect.height() / 3;
    for (int d = 1; d <= 9; ++d) {
        const uint16_t bit = uint16_t(1u << d);
        if (!(shown & bit)) continue;
        const QRectF box(rect.left() + w * ((d - 1) % 3), rect.top() + h * ((d - 1) / 3), w, h);
        QColor ink = candidateInk;
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
    // Inside the field's frame at the sides; the small digits' rows take its whole height.
    const QRectF inside = QRectF(rect()).adjusted(2, 0, -2, 0);
    const auto* field = qobject_cast<const QLineEdit*>(parentWidget());
    if (!m_picture.reasonCell || field == nullptr || field->text().isEmpty()) {
        PaintCell(painter, inside, m_picture, palette());
        return;
    }
    // The field draws its digit at the left, so the ring goes there rather than mid-field.
    CCellPicture picture = m_picture;
    picture.reasonCell = false;
    PaintCell(painter, inside, picture, palette());
    QStyleOptionFrame option;
    option.initFrom(field);
    const QRect contents =
        field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
    const qreal radius = height() / 3.0;
    const qreal centre =
        std::max(radius + 1, contents.left() + kTextMargin +
                                 field->fontMetrics().horizontalAdvance(field->text()) / 2.0);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawEllipse(QPointF(centre, height() / 2.0), radius, radius);
}
