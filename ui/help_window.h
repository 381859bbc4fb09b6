// 帮助 (F1): a small window of its own beside the dialog, not modal, listing every feature of
// the window and its keys. The list is one table, kHelpRows in help_window.cpp; the context
// menu's tooltips come from the same rows.
#pragma once

#include <QString>
#include <QWidget>
#include <span>

class QLabel;

// One feature: how it is reached, what it is called, what it does.
struct CHelpRow {
    const char* keys;  // as pressed ("Ctrl+H"), or where to find it when it has no key
    const char* name;  // the button's or menu entry's text, which the tooltip is found by
    const char* what;  // one short line
};

// The rows, untranslated (tr() context "CHelpWindow"), in the order the window lists them.
std::span<const CHelpRow> HelpRows();

// The translated line of the feature whose name is `name` (a menu entry's text, without its
// mnemonic or shortcut), or an empty string when no row has that name.
QString HelpLine(const QString& name);

class CHelpWindow : public QWidget {
    Q_OBJECT

  public:
    // `dialog` is the window the help describes; it is the help's parent and gets the
    // activation back when the help closes.
    explicit CHelpWindow(QWidget* dialog);

    // Shows the help beside the dialog, on the side where the screen has room for it, and
    // gives it the keyboard; F1 or Escape in it closes it.
    void ShowBesideDialog();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The top-left corner of the help's frame: right of the dialog, else left of it, else
    // below or above it, else at the screen's edge on the side with more room.
    QPoint Placement() const;

    QWidget* m_dialog;
    QLabel* m_text;
};
