// The hint's window. Chinese text has no spaces, and Qt's own wrapping breaks it between any
// two characters, which splits terms such as 隐性数对 or r3c3填9; so the lines are made here,
// broken only where a reader pauses.
#include "hint_window.h"

#include <algorithm>

#include <QAccessible>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {

// Room between the dialog's frame and the hint's window.
constexpr int kGap = 6;
// A line holds about this many Chinese characters before it is broken.
constexpr int kLineCharacters = 22;

bool EndsPiece(QChar ch) {
    static const QString kBreakAfter = QStringLiteral("，。、；：！？）」』,;:!?) ");
    return kBreakAfter.contains(ch) || ch.isSpace();
}

// A Wayland client cannot place its windows: the compositor puts the transient window.
bool CanPlaceWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

CHintWindow::CHintWindow(QWidget* dialog)
    : QWidget(dialog, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_dialog(dialog),
      m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("hintWindow"));
    setWindowTitle(tr("提示"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    m_label->setObjectName(QStringLiteral("explainPopup"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(false);
    m_label->setMargin(6);
    m_label->setFrameShape(QFrame::Box);
    m_label->setForegroundRole(QPalette::ToolTipText);
    m_label->setBackgroundRole(QPalette::ToolTipBase);
    m_label->setAutoFillBackground(true);
    dialog->installEventFilter(this);
}

QStringList CHintWindow::BreakLines(const QString& text, const QFontMetrics& metrics,
                                    int maxWidth) {
    QStringList pieces;
    QString piece;
    for (qsizetype n = 0; n < text.size(); ++n) {
        piece += text[n];
        // A run of punctuation stays together, so that no line starts with a comma.
        if (EndsPiece(text[n]) && (n + 1 == text.size() || !EndsPiece(text[n + 1]))) {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty()) pieces << piece;

    QStringList lines;
    QString line;
    for (const QString& next : pieces) {
        if (!line.isEmpty() && metrics.horizontalAdvance(line + next) > maxWidth) {
            lines << line;
            line.clear();
        }
        line += next;
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

void CHintWindow::ShowText(const QString& text, const QWidget* anchor) {
    m_text = text;
    m_anchor = anchor;
    const QFontMetrics metrics(m_label->font());
    m_lines = BreakLines(text, metrics,
                         metrics.horizontalAdvance(QString(kLineCharacters, QChar(0x4E2D))));
    m_label->setText(m_lines.join(u'\n'));
    m_label->setAccessibleName(text);
    m_label->adjustSize();
    resize(m_label->size());
    // An answer that arrives after the dialog closed has nothing to stand beside.
    if (!m_dialog->isVisible()) return;
    Place();
    show();
    // A screen reader says the text at once, as it would a message box's.
    QAccessibleEvent alert(m_label, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void CHintWindow::Place() {
    if (!CanPlaceWindows()) return;
    const QRect dialog = m_dialog->frameGeometry();
    const QScreen* screen = m_dialog->screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : dialog;
    const QSize size = frameSize();

    int y = dialog.top();
    if (m_anchor) y = m_anchor->mapToGlobal(QPoint(0, 0)).y();
    y = std::clamp(y, room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    int x = dialog.right() + 1 + kGap;
    if (x + size.width() - 1 > room.right() && dialog.left() - kGap - size.width() >= room.left()) {
        x = dialog.left() - kGap - size.width();
    } else if (x + size.width() - 1 > room.right()) {
        // Neither side has room: below the dialog, or above it, never over it.
        x = std::clamp(dialog.left(), room.left(),
                       std::max(room.left(), room.right() + 1 - size.width()));
        y = dialog.bottom() + 1 + kGap;
        if (y + size.height() - 1 > room.bottom() &&
            dialog.top() - kGap - size.height() >= room.top()) {
            y = dialog.top() - kGap - size.height();
        }
    }
    move(x, y);
}

bool CHintWindow::event(QEvent* event) {
    // Should a platform activate it anyway, the keyboard goes back to the dialog at once.
    if (event->type() == QEvent::WindowActivate && m_dialog->isVisible()) {
        m_dialog->activateWindow();
    }
    return QWidget::event(event);
}

bool CHintWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_dialog) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
                if (isVisible()) Place();
                break;
            case QEvent::Hide:
            case QEvent::Close:
                hide();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
