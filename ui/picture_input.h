// Puzzles read from pictures in the window: a picture pasted from the clipboard, a picture
// file dropped on the window, or one chosen with 打开图片…. The reading runs off the window's
// thread; what it found is handed to the dialog, which writes it as one grid step.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <bitset>
#include <functional>

#include "grid.h"

class CBackgroundTask;
class QAction;
class QFileDialog;
class QImage;
class QLineEdit;
class QMenu;
class QMimeData;
class QWidget;
struct CScanResult;

class CPictureInput : public QObject {
    Q_OBJECT

  public:
    // Writes a reading into the fields: its givens (0 empty), and the cells a person should
    // check, the ones the reader was unsure of or the solver changed.
    using Fill =
        std::function<void(const PuzzleGrid& givens, const std::bitset<kCellCount>& check)>;

    // `cells` are the dialog's 81 fields; drops on them and on `dialog` are watched.
    CPictureInput(QWidget* dialog, const std::array<QLineEdit*, kCellCount>& cells, Fill fill);

    // Whether the clipboard holds a picture.
    static bool ClipboardHasPicture();
    // Starts reading the clipboard's picture and returns true when it holds one.
    bool PasteFromClipboard();
    // 打开图片…: a file dialog that does not block the window; the file chosen is read.
    void OnOpenPicture();
    // Reads the picture file at `path`.
    void ReadFile(const QString& path);
    // Adds 打开图片… to a cell's context menu.
    void AddCellActions(QMenu* menu);
    bool IsReading() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Whether a drag carries what a drop would read: a local file or a picture.
    static bool IsPictureDrag(const QMimeData* data);
    void ReadDropped(const QMimeData* data);
    void ReadImage(const QImage& image);
    void OnRead(const CScanResult& result);
    // Says `text` as the window says its messages, with a beep and a box, without waiting.
    void Say(const QString& text);

    QWidget* m_dialog;
    Fill m_fill;
    CBackgroundTask* m_task;
    QAction* m_openAction;
    QPointer<QFileDialog> m_fileDialog;  // while open
};
