// The main window: 81 cell fields, the box separators, and Calculate, Cancel and Clear.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QHash>
#include <QIcon>
#include <array>
#include <bitset>
#include <deque>
#include <optional>

#include "explain_helper.h"
#include "grid_solver.h"
#include "kept_work.h"
#include "picture_input.h"
#include "puzzle_text.h"
#include "qt_solver_platform.h"

class CHelpWindow;
class QAccessibleInterface;
class QAction;
class QLineEdit;
class CNewPuzzleDialog;

// An etched line between the 3 x 3 boxes: a sunken horizontal or vertical frame line.
class CEtchedLine : public QFrame {
    Q_OBJECT

  public:
    CEtchedLine(QFrame::Shape shape, QWidget* parent) : QFrame(parent) {
        setFrameShape(shape);
        setFrameShadow(QFrame::Sunken);
    }
};

// What assistive technology is told about the window's own widget classes (the etched
// lines are separators, not empty frames); nullptr for every other class. CvelmoApp installs
// it once at start-up with QAccessible::installFactory.
QAccessibleInterface* DialogAccessibleFactory(const QString& className, QObject* object);

// One row of the dialog template; defined beside the template in main_dialog.cpp.
struct CControlTemplate;

class CvelmoDlg : public QDialog {
    Q_OBJECT

  public:
    // Control IDs. Cell index i (= 9 * r + c) has ID IDC_CELL_FIRST + i, so one step right
    // is +1 and one step down is +9, which the arrow keys rely on. IDC_STATIC marks a
    // control without an ID.
    enum ControlId {
        IDC_STATIC = -1,
        IDOK = 1,
        IDCANCEL = 2,
        IDC_CLEAR = 3,
        IDC_CELL_FIRST = 1000,
    };

    // `tickCounter` is the clock of the solver's time limit; tests pass a scripted one.
    explicit CvelmoDlg(QWidget* parent = nullptr,
                       CQtSolverPlatform::TickCounter tickCounter = SystemTickCount);

    // The dialog's control with `id`, or nullptr.
    QWidget* GetDlgItem(int id) const;
    // The control ID of `control` when it is one of this dialog's, else 0.
    int GetDlgCtrlID(const QWidget* control) const;

    void OnCalculate();
    void OnClear();
    // Fills all 81 cells from the clipboard when it holds exactly one puzzle; they all
    // count as givens then. Otherwise nothing changes.
    void OnPastePuzzle();
    // Puts the grid on the clipboard as one line of 81 characters, the cells read as
    // Calculate reads them. A cell holding a number above 9, which no such line can hold,
    // makes it beep and leave the clipboard as it was.
    void OnCopyPuzzle();
    // 继续上次的题目: brings back the puzzle in progress kept by the last change (its givens,
    // entries and struck candidates) as one grid step. A kept file that cannot be read is
    // set aside with a line on standard error, and the grid stays as it is.
    void OnContinueLast();
    // 新题: shows the chooser of a new puzzle's level, which calls LoadPuzzle with it.
    void OnNewPuzzle();
    // Fills all 81 cells with `givens` as one grid step, as a puzzle paste does: they all
    // count as givens, and the help takes them as a new puzzle.
    void LoadPuzzle(const PuzzleGrid& givens);
    // 撤销 and 重做: the typing in the focused cell while it has any since the cell got the
    // focus, else the last grid step (nothing when there is none left).
    void OnUndo();
    void OnRedo();
    // 帮助 (F1): opens the help beside the dialog, or closes it when it is open.
    void OnHelp();

    // Makes one grid step, which 撤销 takes back whole: records the grid as it stands (every
    // cell's text and marks), drops what 重做 could redo, then writes `values` into the cells
    // whose value differs (0 empties a cell); the other cells keep their text. A written
    // digit counts as solved (drawn as Calculate's) when `solved`, else as a given. The
    // several-solution marks go. A call that changes nothing records nothing. Clear,
    // Calculate and a puzzle paste are grid steps of their own; other code that changes
    // the grid (an applied hint) calls this.
    void ApplyGridStep(const PuzzleGrid& values, bool solved);
    // The same, `struck` becoming in the same step the candidates the help shows struck out
    // (an applied hint's eliminations); recorded when either changes.
    void ApplyGridStep(const PuzzleGrid& values, bool solved, const CandidateMasks& struck);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // What a cell shows besides its text: bits of CellMark.
    enum CellMark : uint8_t {
        kGiven = 1,      // a digit the user typed or pasted
        kSolved = 2,     // a digit Calculate filled in
        kConflict = 4,   // a digit that repeats one in its row, column or box
        kAmbiguous = 8,  // a solved digit that some solution of the givens does not share
        kEntry = 16,     // a digit typed after the help fixed the puzzle
        kToCheck = 32,   // read from a picture unsure or changed by the solver; not typed since
    };

    // Everything a grid step changes and 撤销 restores.
    struct CGridState {
        std::array<QString, kCellCount> texts;  // exactly as they stood, " 7x" too
        std::bitset<kCellCount> solved;
        std::bitset<kCellCount> ambiguous;
        std::bitset<kCellCount> toCheck;
        CExplainState help;  // the help's puzzle and the candidates struck out
        bool operator==(const CGridState&) const = default;
    };
    // How many grid steps 撤销 goes back.
    static constexpr std::size_t kUndoDepth = 1000;

    void CreateControl(const CControlTemplate& control);
    void CreateButton(const CControlTemplate& control);
    void CreateCells(const CControlTemplate& first);
    void CreateSeparator(const CControlTemplate& control);
    void CreateCommands();
    // Places `control` at a rectangle given in dialog units, registers its ID and, when it
    // takes the focus, watches its keys.
    void Place(QWidget* control, int id, int x, int y, int width, int height);
    QLineEdit* Cell(int index) const;
    // The cell index of `object`, or -1 when it is not one of the cells.
    int CellIndex(const QObject* object) const;

    CGridState GridState() const;
    void RestoreGrid(const CGridState& state);
    // Ends a grid step that began at `before`: keeps it for 撤销 unless nothing changed.
    void EndGridStep(CGridState before);
    // The focused cell when it has typing of its own to undo (`redo`: to redo), or nullptr.
    QLineEdit* CellWithTyping(bool redo) const;

    PuzzleGrid ReadGrid() const;
    // Writes every cell, 0 as an empty one, and then shows the marks once.
    void WriteGrid(const PuzzleGrid& grid);
    // The grid on the clipboard, when it holds exactly one puzzle.
    std::optional<CPuzzleText> ClipboardPuzzle() const;
    bool PastePuzzle();
    // A puzzle paste of `givens` (0 empty) as one grid step; `marks`: a pencil-mark puzzle's.
    void PasteGrid(const PuzzleGrid& givens, const std::optional<CCandidateGrid>& marks,
                   const std::bitset<kCellCount>& toCheck);
    // Keeps the grid as it now stands for 继续上次的题目, unless it is what was kept last or
    // holds nothing, which would hide the last puzzle.
    void KeepWork();
    // The solved cells whose digit is not forced: some solution of the givens has another
    // digit there, `shown` being the solution in the cells. A cell whose test passed its
    // bound (see the definition) is not among them.
    std::bitset<kCellCount> AmbiguousCells(const PuzzleGrid& shown) const;

    void OnCellEdited(int index);
    void OnCellChanged();
    // Brings every cell's colours and accessible description in line with the grid;
    // `repaint` also redoes the cells whose marks have not changed (a new palette).
    void UpdateMarks(bool repaint = false);
    void ShowMarks(int index, uint8_t marks);
    void ShowCellMenu(QLineEdit* cell, const QPoint& globalPos);
    // 高亮相同数字: has the help highlight the focused cell's digit, while the entry is on.
    void UpdateSameDigit();
    // Moves the focus for an arrow key; never consumes the key.
    void PreTranslateMessage(const QKeyEvent* key);

    QIcon m_hIcon;
    CQtSolverPlatform m_platform;
    CGridSolver m_solver;
    QHash<int, QWidget*> m_controls;  // control ID -> control
    int m_baseUnitX = 0;              // average character width of the dialog font, pixels
    int m_baseUnitY = 0;              // character height of the dialog font, pixels
    QAction* m_pastePuzzleAction = nullptr;
    QAction* m_copyPuzzleAction = nullptr;
    QAction* m_continueAction = nullptr;
    QAction* m_sameDigitAction = nullptr;
    CExplainHelper* m_explain = nullptr;  // hints, candidates, steps, rating
    CHelpWindow* m_help = nullptr;        // made at the first F1
    CPictureInput* m_picture = nullptr;   // puzzles read from pictures
    std::deque<CGridState> m_undoSteps;   // the grid before each grid step, the last one last
    std::deque<CGridState> m_redoSteps;   // the grid before each undo, the last one last

    std::bitset<kCellCount> m_solved;     // filled in by Calculate and not edited since
    std::bitset<kCellCount> m_ambiguous;  // of those, the ones some solution fills otherwise
    std::bitset<kCellCount> m_toCheck;    // read from a picture for the person to check
    std::array<uint8_t, kCellCount> m_shownMarks{};  // the CellMark bits each cell shows
    bool m_writingGrid = false;           // WriteGrid is at work: the marks wait until it is done
    const QString m_keptPath;             // where the puzzle in progress is kept
    std::optional<CKeptWork> m_lastKept;  // what was written there last by this window
    bool m_keepFailed = false;            // the failure to keep was said once

    QAction* m_newPuzzleAction = nullptr;
    CNewPuzzleDialog* m_newPuzzle = nullptr;  // made at the first 新题
};
