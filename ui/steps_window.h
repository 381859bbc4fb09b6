// 解题步骤: a window of its own beside the dialog, not modal, listing every step of the
// puzzle's path; choosing a step shows the grid as it stood before that step, the step's
// pattern highlighted. The dialog stays as it is and usable while it is open.
#pragma once

#include <QWidget>
#include <vector>

#include "candidate_painting.h"
#include "chain_painting.h"
#include "logic.h"

class QLabel;
class QListWidget;
class QPushButton;

// The whole grid drawn as the fields show it, with candidates and a step's marks.
class CStepGridView : public QWidget {
    Q_OBJECT

  public:
    explicit CStepGridView(QWidget* parent = nullptr);
    void SetPicture(const CGridPicture& picture, const CChainPicture& chain = {});
    const CGridPicture& Picture() const { return m_picture; }
    const CChainPicture& Chain() const { return m_chain; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CGridPicture m_picture{};
    CChainPicture m_chain;
};

class CStepsWindow : public QWidget {
    Q_OBJECT

  public:
    explicit CStepsWindow(QWidget* parent);

    // While the path of `start` is being found: shows its grid, says so and offers to cancel.
    void ShowWorking(const CCandidateGrid& start);
    // The path of `rating` (found from `start`), or why there is none.
    void ShowPath(const CCandidateGrid& start, const CRating& rating);
    void ShowStep(int index);

  signals:
    void CancelRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Widens the list to its longest line, as far as the screen allows; a line wider than
    // that is broken where a reader pauses, never inside a term.
    void FitList();

    QLabel* m_status = nullptr;
    QListWidget* m_list = nullptr;
    CStepGridView* m_grid = nullptr;
    QPushButton* m_cancel = nullptr;
    std::vector<CStep> m_path;
    std::vector<CCandidateGrid> m_grids;  // the grid before each step
};
