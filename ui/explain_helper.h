// The dialog's help for a person solving a puzzle: 提示 (a hint in three presses), 候选数
// (each empty field's candidates painted inside it, struck out and put back by hand),
// 解题步骤 (the steps window) and 难度 (the rating). Reached from each cell's context menu and
// by shortcuts; the dialog's fields, buttons and texts stay as they are.
//
// The puzzle is the grid as it stood at the first request for help after the last 清除,
// puzzle paste or 计算; digits typed after that into empty fields are the person's entries.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

#include "candidate_painting.h"
#include "hint.h"
#include "steps_window.h"

class CBackgroundTask;
class CChainOverlay;
class CCellOverlay;
class CHintWindow;
class QAction;
class QLineEdit;
class QMenu;

// What the help keeps of a grid, which a grid step records and 撤销 restores with it.
struct CExplainState {
    std::optional<CCandidateGrid> puzzle;  // while fixed
    CandidateMasks struck{};               // candidates struck out by hand or by applied hints
    bool operator==(const CExplainState& other) const;
};

class CExplainHelper : public QObject {
    Q_OBJECT

  public:
    // Writes an applied hint into the fields as one step that 撤销 takes back: the digits of
    // `values` that differ from the fields', and `struck` as the candidates struck out.
    using GridStep = std::function<void(const PuzzleGrid& values, const CandidateMasks& struck)>;

    // `cells` are the dialog's 81 fields, cell index order; `dialog` holds them.
    CExplainHelper(QWidget* dialog, std::array<QLineEdit*, kCellCount> cells, GridStep gridStep);
    ~CExplainHelper() override;

    // The grid was cleared, pasted or calculated: the next request for help starts a new
    // puzzle. Call before the fields are rewritten.
    void OnGridReset();
    // A pasted pencil-mark puzzle, after its placed digits were written into the fields: it
    // is the puzzle now, its candidates shown in the candidates view.
    void SetPuzzle(const CCandidateGrid& puzzle);
    // After 计算 has written its solution: until a field is edited, the next request for
    // help takes `givens` as the puzzle, not the solved grid, so that the rating and the
    // steps describe the puzzle and a hint says it is solved.
    void SetCalculatedGivens(const PuzzleGrid& givens);
    // Whether cell `index` holds a digit the person typed after the puzzle was fixed.
    bool IsEntry(int index) const;
    CExplainState State() const { return {m_puzzle, m_struck}; }
    // Restores a recorded state, after the fields have been restored.
    void SetState(const CExplainState& state);
    const CandidateMasks& Struck() const { return m_struck; }
    void SetStruck(const CandidateMasks& struck);
    // Highlights every cell holding `digit` and `digit` among the candidates; 0 for none.
    void SetSameDigit(int digit);
    // Adds the help's entries for `cell` to its context menu.
    void AddCellActions(QMenu* menu, int cell);

    // The commands, as the menu entries and shortcuts run them. `cell` is the one whose menu
    // was used, or -1 for the focused one.
    void OnHint(int cell = -1);
    void OnToggleCandidates();
    void OnToggleCandidate(int cell, int digit);
    void OnSteps();
    void OnDifficulty(int cell = -1);
    void OnCancel();

    // The hint's text as shown beside the cell, empty while none is shown.
    QString ShownText() const;
    bool CandidatesShown() const { return m_showCandidates; }
    CStepsWindow* StepsWindow() const { return m_stepsWindow; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateActions();
    int AnchorCell(int cell) const;
    PuzzleGrid ReadCells() const;
    // Fixes the puzzle when none is; false when the grid cannot be one (a cell above 9).
    bool EnsurePuzzle();
    bool GridIsEmpty() const;
    CCandidateGrid Working() const;
    // The candidates a cell has before any strike-out: what can be put back.
    uint16_t BaseCandidates(int cell) const;

    void StartRating();
    void OnRatingFound(const CRating& rating);
    // The popup no longer waits for the rating; nor does the rating go on for it alone.
    void ReleaseRatingPopup();

    void OnCellTextChanged();
    // A given edited in its field changes the puzzle; the entries stay entries.
    void FollowGivenEdits();
    void OnHintFound(const CHint& hint);
    void ShowHintStage();
    void ApplyHint();
    void DismissHint();
    void ShowPopup(const QString& text, int cell);
    void HidePopup();
    // Brings every overlay in line with the candidates view and the hint's marks.
    void Repaint();

    QWidget* m_dialog;
    std::array<QLineEdit*, kCellCount> m_cells;
    GridStep m_gridStep;
    std::array<CCellOverlay*, kCellCount> m_overlays{};  // made at the first use
    CChainOverlay* m_chainOverlay = nullptr;             // made at the first chain

    std::optional<CCandidateGrid> m_puzzle;        // while fixed
    std::optional<PuzzleGrid> m_calculatedGivens;  // the puzzle 计算 solved, until an edit
    CandidateMasks m_struck{};  // candidates struck out by hand or by applied hints
    bool m_showCandidates = false;
    int m_sameDigit = 0;  // highlighted across the grid, 0 for none

    std::optional<CHint> m_hint;      // found for the grid as it is now
    int m_hintStage = 0;              // presses shown: 0 none, 1 technique and unit, 2 pattern
    int m_hintPresses = 0;            // presses made while the hint was being found
    int m_hintCell = -1;              // the popup's cell
    bool m_changingCells = false;     // the help itself is writing into the fields
    std::optional<CRating> m_rating;  // of the fixed puzzle, with its path
    int m_ratingCell = -1;            // where the rating was asked for, -1 from the window

    CBackgroundTask* m_hintTask;
    CBackgroundTask* m_ratingTask;
    CHintWindow* m_hintWindow;
    QPointer<CStepsWindow> m_stepsWindow;
    QAction* m_hintAction = nullptr;
    QAction* m_candidatesAction = nullptr;
    QAction* m_stepsAction = nullptr;
    QAction* m_difficultyAction = nullptr;
    QAction* m_cancelAction = nullptr;
};
