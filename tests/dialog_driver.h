// Drives the main dialog in the window's Qt tests as a person does: typing into the cells,
// pressing the shortcuts there, right-clicking for the cell's menu, answering message boxes.
#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "main_dialog.h"

// Whether this is a Wayland session, where a client cannot activate its own window.
inline bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Right-clicks `cell` through its window, as the window system delivers the click; the
// context menu that opens, or nullptr.
inline QMenu* OpenCellMenu(QLineEdit* cell) {
    const QPoint point = cell->mapTo(cell->window(), QPoint(4, cell->height() / 2));
    QTest::mouseClick(cell->window()->windowHandle(), Qt::RightButton, {}, point);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

inline QAction* MenuEntry(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
    }
    return nullptr;
}

inline void ClickMenuEntry(QMenu* menu, const QString& text) {
    QAction* action = MenuEntry(menu, text);
    QVERIFY2(action != nullptr, qPrintable(text));
    QVERIFY(action->isEnabled());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

// A message box as the user saw it.
struct CSeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// Answers each message box that opens with the next scripted button (OK once the script is
// used up, so `{}` answers them all with OK) and records it: no test blocks on a modal box.
class CBoxAnswerer : public QObject {
  public:
    explicit CBoxAnswerer(QList<QMessageBox::StandardButton> script) : m_script(std::move(script)) {
        connect(&m_timer, &QTimer::timeout, this, &CBoxAnswerer::Poll);
        m_timer.start(5);
    }
    QList<CSeenBox> seen;

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box == m_last) return;
        m_last = box;
        seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        const QMessageBox::StandardButton answer =
            m_script.isEmpty() ? QMessageBox::Ok : m_script.takeFirst();
        QTest::mouseClick(box->button(answer), Qt::LeftButton);
    }
    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_script;
    QPointer<QMessageBox> m_last;
};

// The test classes' base: the dialog under test and the ways a person reaches its cells.
class CDialogDriver : public QObject {
  protected:
    std::unique_ptr<CvelmoDlg> m_dlg;

    // Shows `dialog` as the one under test and waits until it is on screen and, unless the
    // session is Wayland's, active: the keys are the window's shortcuts, which need it active.
    void ShowDialog(std::unique_ptr<CvelmoDlg> dialog = std::make_unique<CvelmoDlg>()) {
        m_dlg = std::move(dialog);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        if (OnWayland()) return;
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    }

    QLineEdit* Cell(int index) const {
        return qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(CvelmoDlg::IDC_CELL_FIRST + index));
    }
    // Types a grid of 81 characters into the cells, leaving those that are `blank` empty.
    void TypeGrid(const QString& grid, QChar blank = u'.') {
        for (int i = 0; i < kCellCount; ++i) {
            if (grid[i] != blank) QTest::keyClicks(Cell(i), QString(grid[i]));
        }
    }
    // The cells' texts, '.' for an empty one.
    QString GridText() const {
        QString text;
        for (int i = 0; i < kCellCount; ++i) {
            text += Cell(i)->text().isEmpty() ? QStringLiteral(".") : Cell(i)->text();
        }
        return text;
    }
    // `key` with `modifiers` in `cell`, as the person presses it there.
    void Press(int cell, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        Cell(cell)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Cell(cell), key, modifiers);
    }
    // The candidates a screen reader hears in `cell`, found through the cell's accessible
    // children; empty when none are painted.
    QString HeardCandidates(int cell) const {
        QAccessibleInterface* field = QAccessible::queryAccessibleInterface(Cell(cell));
        for (int n = 0; n < field->childCount(); ++n) {
            const QString name = field->child(n)->text(QAccessible::Name);
            if (!name.isEmpty()) return name;
        }
        return {};
    }
};
