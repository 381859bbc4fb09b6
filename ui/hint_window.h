// The hint's text in a small window of its own beside the dialog, so that no field is ever
// covered: right of the dialog, left of it when the screen has no room there, else below or
// above it. On Wayland the compositor places it, as a window that belongs to the dialog.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;

class CHintWindow : public QWidget {
    Q_OBJECT

  public:
    // Beside `dialog`, whose move it follows and whose hiding hides it too.
    explicit CHintWindow(QWidget* dialog);

    // Shows `text` beside the dialog, level with `anchor` (a widget of the dialog) when given.
    // The window never takes the focus, so typing and Escape keep going to the dialog.
    void ShowText(const QString& text, const QWidget* anchor = nullptr);
    QString Text() const { return m_text; }
    // The lines as shown: broken only after punctuation or a space.
    QStringList Lines() const { return m_lines; }

    // `text` in lines of at most `maxWidth` pixels as `metrics` measures them, each broken
    // only after punctuation or a space; a piece without such a break wider than that has
    // a line of its own, as wide as it needs.
    static QStringList BreakLines(const QString& text, const QFontMetrics& metrics, int maxWidth);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Place();

    QWidget* m_dialog;
    QLabel* m_label;
    QString m_text;
    QStringList m_lines;
    QPointer<const QWidget> m_anchor;  // the widget to stand level with, if any
};
