// 新题: a small chooser beside the dialog, not modal: a level of difficulty, symmetric or
// not, and 生成, which makes a new puzzle off the window's thread and hands its givens to the
// dialog. The hardest level may take seconds, so the work shows how far it has got and can
// be cancelled; closing the chooser cancels it too.
#pragma once

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "generator.h"

class CBackgroundTask;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

class CNewPuzzleDialog : public QDialog {
    Q_OBJECT

  public:
    // Writes a new puzzle's givens into the grid.
    using Deliver = std::function<void(const PuzzleGrid& givens)>;

    // `parent` is the main dialog: the chooser closes when it does.
    CNewPuzzleDialog(QWidget* parent, Deliver deliver);

    // Shows the chooser and gives it the focus; the first time beside the main dialog, so
    // that the grid stays in view.
    void Open();
    void OnGenerate();
    // Stops the puzzle being made; the grid stays as it is.
    void OnCancel();
    bool IsGenerating() const;
    // What the chooser says: working, how far, the last puzzle's rating, or cancelled.
    QString StatusText() const;

  protected:
    // Closing (Escape, the close box, the dialog ending) cancels the work.
    void done(int result) override;

  private:
    // Written by the work, read by the window's timer.
    struct CProgress {
        std::atomic<uint64_t> tried{0};
        std::atomic<int64_t> milliseconds{0};
    };

    void OnMade(const std::optional<CGeneratedPuzzle>& made);
    void ShowProgress();
    void ShowWorking(bool working);

    Deliver m_deliver;
    QComboBox* m_level = nullptr;
    QCheckBox* m_symmetric = nullptr;
    QPushButton* m_generate = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_busy = nullptr;
    QTimer* m_progressTimer = nullptr;
    CBackgroundTask* m_task = nullptr;
    std::shared_ptr<CProgress> m_progress;
    bool m_placed = false;  // moved beside the main dialog once; the user's place after that
};
