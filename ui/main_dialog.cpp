// The main dialog. Positions are kept in dialog units, converted through the dialog font
// as a dialog manager would, so the proportions hold at any font size or scaling.
//
// Short names: i is a cell index (9 * r + c), r and c its row and column.
#include "main_dialog.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

#include "cell_text.h"
#include "explain_helper.h"
#include "help_window.h"
#include "new_puzzle_dialog.h"
#include "qt_puzzle_text.h"

enum class CControlKind {
    kDefaultButton,  // the push button that Enter presses
    kButton,
    kCellGrid,    // the 81 cells, row by row; the row gives the first, the pitches the rest
    kEtchedHorz,  // a box separator
    kEtchedVert,
};

struct CControlTemplate {
    CControlKind kind;
    int id;
    const char* text;         // untranslated, for tr()
    int x, y, width, height;  // dialog units
};

namespace {

constexpr int kDialogWidthDu = 253;
constexpr int kDialogHeightDu = 198;
// From one cell to the next one to the right, and to the one below.
constexpr int kCellPitchXDu = 27;
constexpr int kCellPitchYDu = 18;

// The dialog template. Its order is the creation order and so the tab order: Calculate,
// Cancel, the cells, and Clear last although it sits between the other two buttons.
// clang-format off
constexpr CControlTemplate kControls[] = {
    // kind                         ID                         text                                        x    y    w    h
    {CControlKind::kDefaultButton, CvelmoDlg::IDOK,           QT_TRANSLATE_NOOP("CvelmoDlg", "计算"),   9, 177,  50,  14},
    {CControlKind::kButton,        CvelmoDlg::IDCANCEL,       QT_TRANSLATE_NOOP("CvelmoDlg", "Cancel"), 193, 177,  50,  14},
    {CControlKind::kCellGrid,      CvelmoDlg::IDC_CELL_FIRST, "",                                          7,   7,  19,  14},
    {CControlKind::kEtchedHorz,    CvelmoDlg::IDC_STATIC,     "",                                          5,  59, 247,   1},
    {CControlKind::kEtchedHorz,    CvelmoDlg::IDC_STATIC,     "",                                          5, 113, 247,   1},
    {CControlKind::kEtchedVert,    CvelmoDlg::IDC_STATIC,     "",                                         84,   5,   1, 164},
    {CControlKind::kEtchedVert,    CvelmoDlg::IDC_STATIC,     "",                                        165,   5,   1, 164},
    {CControlKind::kButton,        CvelmoDlg::IDC_CLEAR,      QT_TRANSLATE_NOOP("CvelmoDlg", "清除"), 101, 177,  50,  14},
};
// clang-format on

// The keys of 撤销 and 重做, the first of each shown in the menus.
const QList<QKeySequence> kUndoKeys{QKeySequence(Qt::CTRL | Qt::Key_Z)};
const QList<QKeySequence> kRedoKeys{QKeySequence(Qt::CTRL | Qt::Key_Y),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};

bool IsKeyOf(const QKeyEvent* key, const QList<QKeySequence>& keys,
             QKeySequence::StandardKey standard) {
    return key->matches(standard) || keys.contains(QKeySequence(key->keyCombination()));
}

// The guesses each count that the marks make may take. A count within this bound takes at
// most 2 * 1024 + 64 propagations (see CountSolutionsWithin), each removing some of the 729
// candidates or stopping, and the marks of one Calculate make at most 649 counts: one for
// the grid, then one for each solved cell and each other digit it could hold. So they end
// after at most 649 * 2112 propagations whatever the grid: about 1.6 s at the 2.5 us a
// guess measured on a loaded 2-core machine. In practice they take far less: on the
// hardest published puzzles, whole and with two givens removed, no count came near the
// bound (256 was too few for 4 of 1,498 counts) and the marks took 0.3 ms a grid on
// average, 21 ms at worst.
constexpr int64_t kMarkGuesses = 1024;

// Dialog units to pixels, rounded as the Windows MulDiv does.
int MulDiv(int value, int numerator, int denominator) {
    return (value * numerator * 2 + denominator) / (denominator * 2);
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/velmo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// The cells whose digit 1-9 repeats in their row, column or box.
std::bitset<kCellCount> RepeatedDigits(const PuzzleGrid& grid) {
    std::bitset<kCellCount> repeated;
    for (int i = 0; i < kCellCount; ++i) {
        if (grid[i] < 1 || grid[i] > 9) continue;
        for (const uint8_t peer : kCellPeers[i]) {
            if (grid[peer] == grid[i]) repeated.set(i);
        }
    }
    return repeated;
}

// `palette` with `role` taking the colours of `source` in every colour group.
void Recolour(QPalette& palette, QPalette::ColorRole role, const QPalette& from,
              QPalette::ColorRole source) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setBrush(group, role, from.brush(group, source));
    }
}

}  // namespace

QAccessibleInterface* DialogAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CEtchedLine") && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    }
    return nullptr;
}

CvelmoDlg::CvelmoDlg(QWidget* parent, CQtSolverPlatform::TickCounter tickCounter)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_hIcon(LoadAppIcon()),
      m_platform(this, std::move(tickCounter)),
      m_solver(m_platform),
      m_keptPath(KeptWorkPath()) {
    setWindowTitle(tr("velmo计算器"));
    setWindowIcon(m_hIcon);

    const QFontMetrics metrics(font());
    const int alphabetWidth = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseUnitX = (alphabetWidth / 26 + 1) / 2;
    m_baseUnitY = metrics.height();
    resize(MulDiv(kDialogWidthDu, m_baseUnitX, 4), MulDiv(kDialogHeightDu, m_baseUnitY, 8));

    for (const CControlTemplate& control : kControls) CreateControl(control);
    CreateCommands();
    std::array<QLineEdit*, kCellCount> cells;
    for (int i = 0; i < kCellCount; ++i) cells[i] = Cell(i);
    m_explain = new CExplainHelper(this, cells,
                                   [this](const PuzzleGrid& values, const CandidateMasks& struck) {
                                       ApplyGridStep(values, false, struck);
                                   });
    m_picture = new CPictureInput(
        this, cells, [this](const PuzzleGrid& givens, const std::bitset<kCellCount>& toCheck) {
            PasteGrid(givens, std::nullopt, toCheck);
        });
    UpdateMarks(true);
    GetDlgItem(IDOK)->setFocus();
}

void CvelmoDlg::CreateControl(const CControlTemplate& control) {
    switch (control.kind) {
        case CControlKind::kDefaultButton:
        case CControlKind::kButton:
            CreateButton(control);
            break;
        case CControlKind::kCellGrid:
            CreateCells(control);
            break;
        case CControlKind::kEtchedHorz:
        case CControlKind::kEtchedVert:
            CreateSeparator(control);
            break;
    }
}

void CvelmoDlg::CreateButton(const CControlTemplate& control) {
    auto* button = new QPushButton(tr(control.text), this);
    button->setDefault(control.kind == CControlKind::kDefaultButton);
    Place(button, control.id, control.x, control.y, control.width, control.height);
}

void CvelmoDlg::CreateCells(const CControlTemplate& first) {
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            const int i = kGridSize * r + c;
            const int id = first.id + i;
            auto* cell = new QLineEdit(this);
            cell->setObjectName(QStringLiteral("cell%1").arg(id));
            cell->setAccessibleName(tr("Row %1, column %2").arg(r + 1).arg(c + 1));
            Place(cell, id, first.x + kCellPitchXDu * c, first.y + kCellPitchYDu * r, first.width,
                  first.height);
            connect(cell, &QLineEdit::textChanged, this, &CvelmoDlg::OnCellChanged);
            connect(cell, &QLineEdit::textEdited, this, [this, i] { OnCellEdited(i); });
        }
    }
}

void CvelmoDlg::CreateSeparator(const CControlTemplate& control) {
    const auto shape = control.kind == CControlKind::kEtchedHorz ? QFrame::HLine : QFrame::VLine;
    Place(new CEtchedLine(shape, this), control.id, control.x, control.y, control.width,
          control.height);
}

// The commands: what each button does, and the puzzle's copy and paste.
void CvelmoDlg::CreateCommands() {
    auto button = [this](int id) { return static_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDOK), &QPushButton::clicked, this, &CvelmoDlg::OnCalculate);
    connect(button(IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
    connect(button(IDC_CLEAR), &QPushButton::clicked, this, &CvelmoDlg::OnClear);

    // Ctrl+V in a cell is the cell's own shortcut; the dialog looks at it first (see
    // eventFilter), so the menu entry has none of its own.
    m_pastePuzzleAction = new QAction(tr("粘贴谜题"), this);
    connect(m_pastePuzzleAction, &QAction::triggered, this, &CvelmoDlg::OnPastePuzzle);
    m_copyPuzzleAction = new QAction(tr("复制谜题"), this);
    m_copyPuzzleAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(m_copyPuzzleAction, &QAction::triggered, this, &CvelmoDlg::OnCopyPuzzle);
    addAction(m_copyPuzzleAction);
    // Ctrl+Shift+T, as browsers reopen what was closed.
    m_continueAction = new QAction(tr("继续上次的题目"), this);
    m_continueAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    connect(m_continueAction, &QAction::triggered, this, &CvelmoDlg::OnContinueLast);
    addAction(m_continueAction);
    m_newPuzzleAction = new QAction(tr("新题"), this);
    m_newPuzzleAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(m_newPuzzleAction, &QAction::triggered, this, &CvelmoDlg::OnNewPuzzle);
    addAction(m_newPuzzleAction);

    // Off at first: while a puzzle is typed in, every digit would light up its like.
    m_sameDigitAction = new QAction(tr("高亮相同数字"), this);
    m_sameDigitAction->setCheckable(true);
    connect(m_sameDigitAction, &QAction::toggled, this, &CvelmoDlg::UpdateSameDigit);

    auto* help = new QAction(tr("帮助"), this);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help, &QAction::triggered, this, &CvelmoDlg::OnHelp);
    addAction(help);

    // Where the focus is on a button; a cell hands its keys to eventFilter.
    auto* undo = new QAction(this);
    undo->setShortcuts(kUndoKeys);
    connect(undo, &QAction::triggered, this, &CvelmoDlg::OnUndo);
    addAction(undo);
    auto* redo = new QAction(this);
    redo->setShortcuts(kRedoKeys);
    connect(redo, &QAction::triggered, this, &CvelmoDlg::OnRedo);
    addAction(redo);
}

void CvelmoDlg::Place(QWidget* control, int id, int x, int y, int width, int height) {
    // An etched line is two pixels wide whatever its size in dialog units.
    control->setGeometry(MulDiv(x, m_baseUnitX, 4), MulDiv(y, m_baseUnitY, 8),
                         std::max(MulDiv(width, m_baseUnitX, 4), 2),
                         std::max(MulDiv(height, m_baseUnitY, 8), 2));
    if (id != IDC_STATIC) m_controls.insert(id, control);
    if (control->focusPolicy() != Qt::NoFocus) control->installEventFilter(this);
}

QWidget* CvelmoDlg::GetDlgItem(int id) const {
    return m_controls.value(id, nullptr);
}

int CvelmoDlg::GetDlgCtrlID(const QWidget* control) const {
    if (control == nullptr) return 0;
    return m_controls.key(const_cast<QWidget*>(control), 0);
}

QLineEdit* CvelmoDlg::Cell(int index) const {
    return static_cast<QLineEdit*>(GetDlgItem(IDC_CELL_FIRST + index));
}

int CvelmoDlg::CellIndex(const QObject* object) const {
    if (object == nullptr || !object->isWidgetType()) return -1;
    const int index = GetDlgCtrlID(static_cast<const QWidget*>(object)) - IDC_CELL_FIRST;
    return index >= 0 && index < kCellCount ? index : -1;
}

PuzzleGrid CvelmoDlg::ReadGrid() const {
    PuzzleGrid grid;
    for (int i = 0; i < kCellCount; ++i) grid[i] = CellValueFromText(Cell(i)->text());
    return grid;
}

void CvelmoDlg::WriteGrid(const PuzzleGrid& grid) {
    m_writingGrid = true;
    for (int i = 0; i < kCellCount; ++i) {
        Cell(i)->setText(grid[i] == 0 ? QString() : CellTextFromValue(grid[i]));
    }
    m_writingGrid = false;
    UpdateMarks();
}

CvelmoDlg::CGridState CvelmoDlg::GridState() const {
    CGridState state;
    for (int i = 0; i < kCellCount; ++i) state.texts[i] = Cell(i)->text();
    state.solved = m_solved;
    state.ambiguous = m_ambiguous;
    state.toCheck = m_toCheck;
    state.help = m_explain->State();
    return state;
}

void CvelmoDlg::RestoreGrid(const CGridState& state) {
    m_solved = state.solved;
    m_ambiguous = state.ambiguous;
    m_toCheck = state.toCheck;
    m_writingGrid = true;
    for (int i = 0; i < kCellCount; ++i) Cell(i)->setText(state.texts[i]);
    m_writingGrid = false;
    m_explain->SetState(state.help);
    UpdateMarks();
    KeepWork();
}

void CvelmoDlg::EndGridStep(CGridState before) {
    if (before == GridState()) return;
    m_undoSteps.push_back(std::move(before));
    if (m_undoSteps.size() > kUndoDepth) m_undoSteps.pop_front();
    m_redoSteps.clear();
    KeepWork();
}

void CvelmoDlg::KeepWork() {
    const PuzzleGrid grid = ReadGrid();
    const CExplainState help = m_explain->State();
    CKeptWork work;
    bool empty = true;
    for (int i = 0; i < kCellCount; ++i) {
        // A number above 9 is no digit a puzzle can keep.
        const uint8_t value = grid[i] > 9 ? 0 : grid[i];
        (m_explain->IsEntry(i) ? work.entries : work.givens)[i] = value;
        if (work.givens[i] == 0) work.struck[i] = help.struck[i];
        empty = empty && value == 0 && work.struck[i] == 0;
    }
    if (empty || work == m_lastKept) return;
    QString why;
    if (WriteKeptWork(m_keptPath, work, why)) {
        m_lastKept = work;
        m_keepFailed = false;
    } else if (!m_keepFailed) {
        m_keepFailed = true;
        std::fprintf(stderr, "velmo: cannot keep the puzzle in %s: %s\n", qPrintable(m_keptPath),
                     qPrintable(why));
    }
}

void CvelmoDlg::OnContinueLast() {
    const CKeptRead read = ReadKeptWork(m_keptPath);
    if (read.outcome != CKeptRead::kRead) {
        QApplication::beep();
        return;
    }
    const CKeptWork& work = read.work;
    PuzzleGrid values = work.givens;
    for (int i = 0; i < kCellCount; ++i) values[i] |= work.entries[i];
    // The kept digits are 0-9, so they always make a puzzle to fix.
    const std::optional<CCandidateGrid> puzzle = CCandidateGrid::FromGivens(work.givens);
    const bool struck = std::ranges::any_of(work.struck, [](uint16_t m) { return m != 0; });
    const CGridState before = GridState();
    m_explain->OnGridReset();
    m_solved.reset();
    m_ambiguous.reset();
    m_toCheck.reset();
    WriteGrid(values);
    if (puzzle) {
        m_explain->SetState({puzzle, work.struck});
        if (struck && !m_explain->CandidatesShown()) m_explain->OnToggleCandidates();
    }
    UpdateMarks();
    m_lastKept = work;
    EndGridStep(before);
}

void CvelmoDlg::ApplyGridStep(const PuzzleGrid& values, bool solved) {
    ApplyGridStep(values, solved, m_explain->Struck());
}

void CvelmoDlg::ApplyGridStep(const PuzzleGrid& values, bool solved, const CandidateMasks& struck) {
    const PuzzleGrid current = ReadGrid();
    const CGridState before = GridState();
    if (values == current && struck == before.help.struck) return;
    m_explain->SetStruck(struck);
    if (values == current) {
        EndGridStep(before);
        return;
    }
    m_ambiguous.reset();
    m_writingGrid = true;
    for (int i = 0; i < kCellCount; ++i) {
        if (values[i] == current[i]) continue;
        Cell(i)->setText(values[i] == 0 ? QString() : CellTextFromValue(values[i]));
        m_solved[i] = solved && values[i] != 0;
        m_toCheck.reset(i);
    }
    m_writingGrid = false;
    UpdateMarks();
    EndGridStep(before);
}

QLineEdit* CvelmoDlg::CellWithTyping(bool redo) const {
    const int index = CellIndex(focusWidget());
    if (index < 0) return nullptr;
    QLineEdit* cell = Cell(index);
    return (redo ? cell->isRedoAvailable() : cell->isUndoAvailable()) ? cell : nullptr;
}

void CvelmoDlg::OnUndo() {
    if (QLineEdit* cell = CellWithTyping(false)) {
        cell->undo();
        return;
    }
    if (m_undoSteps.empty()) return;
    m_redoSteps.push_back(GridState());
    RestoreGrid(m_undoSteps.back());
    m_undoSteps.pop_back();
}

void CvelmoDlg::OnRedo() {
    if (QLineEdit* cell = CellWithTyping(true)) {
        cell->redo();
        return;
    }
    if (m_redoSteps.empty()) return;
    m_undoSteps.push_back(GridState());
    if (m_undoSteps.size() > kUndoDepth) m_undoSteps.pop_front();
    RestoreGrid(m_redoSteps.back());
    m_redoSteps.pop_back();
}

void CvelmoDlg::OnHelp() {
    if (m_help != nullptr && m_help->isVisible()) {
        m_help->close();
        return;
    }
    if (m_help == nullptr) m_help = new CHelpWindow(this);
    m_help->ShowBesideDialog();
}

void CvelmoDlg::OnCalculate() {
    PuzzleGrid grid = ReadGrid();
    const PuzzleGrid typed = grid;

    if (m_solver.Solve(grid.data(), kCellCount)) {
        const CGridState before = GridState();
        // A digit Calculate filled in earlier stays a solved one when it is calculated again.
        for (int i = 0; i < kCellCount; ++i) {
            if (typed[i] == 0) m_solved.set(i);
        }
        m_ambiguous = AmbiguousCells(grid);
        // The help describes the puzzle the help had fixed, or else the digits Calculate did
        // not fill, never the solved grid.
        PuzzleGrid givens = typed;
        if (const std::optional<CCandidateGrid> puzzle = m_explain->State().puzzle) {
            givens = puzzle->values;
        } else {
            for (int i = 0; i < kCellCount; ++i) {
                if (m_solved[i]) givens[i] = 0;
            }
        }
        m_explain->OnGridReset();
        WriteGrid(grid);
        m_explain->SetCalculatedGivens(givens);
        EndGridStep(before);
        return;
    }
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), tr("无解！"),
                    QMessageBox::Ok, this);
    box.exec();
}

// Exact: a solved cell is marked when a solution with another digit there has been found.
// Each solution a count finds marks every cell where it differs from `shown`, so most cells
// are settled by the solutions found for others; the rest take one count per digit that no
// given in their units rules out, and stay unmarked once every such count has found none.
// A count that passes kMarkGuesses proves nothing either way, and its cell is left unmarked
// unless another count's solution marks it: a mark is always proved, its absence is not
// when a count gave up (which no grid tried so far has made one do).
std::bitset<kCellCount> CvelmoDlg::AmbiguousCells(const PuzzleGrid& shown) const {
    PuzzleGrid givens = shown;
    for (int i = 0; i < kCellCount; ++i) {
        if (m_solved[i]) givens[i] = 0;
    }
    std::bitset<kCellCount> ambiguous;
    auto learn = [&](const CSolutionCount& count) {
        for (int k = 0; k < count.count; ++k) {
            for (int i = 0; i < kCellCount; ++i) {
                if (m_solved[i] && count.solutions[k][i] != shown[i]) ambiguous.set(i);
            }
        }
    };
    const std::optional<CSolutionCount> all = CountSolutionsWithin(givens.data(), kMarkGuesses);
    if (all && all->count < 2) return {};
    if (all) learn(*all);

    for (int i = 0; i < kCellCount; ++i) {
        if (!m_solved[i] || ambiguous[i]) continue;
        unsigned ruledOut = 1u << shown[i];
        for (const uint8_t peer : kCellPeers[i]) ruledOut |= 1u << givens[peer];
        for (int d = 1; d <= 9 && !ambiguous[i]; ++d) {
            if (ruledOut & (1u << d)) continue;
            givens[i] = uint8_t(d);
            const std::optional<CSolutionCount> count =
                CountSolutionsWithin(givens.data(), kMarkGuesses);
            givens[i] = 0;
            if (count) learn(*count);
        }
    }
    return ambiguous;
}

void CvelmoDlg::OnClear() {
    const CGridState before = GridState();
    m_explain->OnGridReset();
    m_solved.reset();
    m_ambiguous.reset();
    m_toCheck.reset();
    m_writingGrid = true;
    for (int i = 0; i < kCellCount; ++i) Cell(i)->setText(QString());
    m_writingGrid = false;
    UpdateMarks();
    EndGridStep(before);
}

std::optional<CPuzzleText> CvelmoDlg::ClipboardPuzzle() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) return std::nullopt;
    return ReadPuzzleText(data->text());
}

bool CvelmoDlg::PastePuzzle() {
    const std::optional<CPuzzleText> puzzle = ClipboardPuzzle();
    if (!puzzle) return false;
    // A pencil-mark puzzle: the digits it places go into the fields, its candidates into
    // the help's candidates view.
    std::optional<CCandidateGrid> marks;
    if (puzzle->pencilMarks) marks = PencilMarkPuzzle(puzzle->masks);
    PasteGrid(marks ? marks->values : puzzle->values, marks, {});
    return true;
}

void CvelmoDlg::PasteGrid(const PuzzleGrid& givens, const std::optional<CCandidateGrid>& marks,
                          const std::bitset<kCellCount>& toCheck) {
    const CGridState before = GridState();
    m_explain->OnGridReset();
    m_solved.reset();
    m_ambiguous.reset();
    m_toCheck = toCheck;
    WriteGrid(givens);
    if (marks) m_explain->SetPuzzle(*marks);
    EndGridStep(before);
}

void CvelmoDlg::OnPastePuzzle() {
    // Puzzle text wins over a picture on the clipboard.
    if (!PastePuzzle()) m_picture->PasteFromClipboard();
}

void CvelmoDlg::LoadPuzzle(const PuzzleGrid& givens) {
    const CGridState before = GridState();
    m_explain->OnGridReset();
    m_solved.reset();
    m_ambiguous.reset();
    WriteGrid(givens);
    EndGridStep(before);
}

void CvelmoDlg::OnNewPuzzle() {
    if (m_newPuzzle == nullptr) {
        m_newPuzzle =
            new CNewPuzzleDialog(this, [this](const PuzzleGrid& givens) { LoadPuzzle(givens); });
    }
    m_newPuzzle->Open();
}

void CvelmoDlg::OnCopyPuzzle() {
    const std::optional<QString> line = PuzzleLine(ReadGrid());
    if (!line) {
        QApplication::beep();
        return;
    }
    QGuiApplication::clipboard()->setText(*line);
}

void CvelmoDlg::OnCellEdited(int index) {
    // The user's digit replaces the solver's, and the solutions found for the old givens
    // no longer describe the grid.
    m_solved.reset(index);
    m_ambiguous.reset();
    m_toCheck.reset(index);
    UpdateMarks();
}

void CvelmoDlg::OnCellChanged() {
    if (m_writingGrid) return;
    UpdateMarks();
    KeepWork();
}

void CvelmoDlg::UpdateMarks(bool repaint) {
    const PuzzleGrid grid = ReadGrid();
    const std::bitset<kCellCount> conflicts = RepeatedDigits(grid);
    for (int i = 0; i < kCellCount; ++i) {
        uint8_t marks = 0;
        if (grid[i] != 0) {
            marks |= m_solved[i] ? kSolved : m_explain->IsEntry(i) ? kEntry : kGiven;
        }
        if (conflicts[i]) marks |= kConflict;
        if (m_ambiguous[i]) marks |= kAmbiguous;
        if (m_toCheck[i]) marks |= kToCheck;
        if (repaint || marks != m_shownMarks[i]) ShowMarks(i, marks);
    }
    UpdateSameDigit();
}

void CvelmoDlg::UpdateSameDigit() {
    const int index = CellIndex(focusWidget());
    int digit = 0;
    if (m_sameDigitAction->isChecked() && index >= 0)
        digit = CellValueFromText(Cell(index)->text());
    m_explain->SetSameDigit(digit);
}

void CvelmoDlg::ShowMarks(int index, uint8_t marks) {
    m_shownMarks[index] = marks;
    QLineEdit* cell = Cell(index);

    // Only the roles set here override what the cell inherits from the dialog, so a mark
    // follows the palette of a light or a dark theme.
    QPalette colours;
    const QPalette& theme = palette();
    if (marks & kSolved) Recolour(colours, QPalette::Text, theme, QPalette::Link);
    if (marks & kEntry) Recolour(colours, QPalette::Text, theme, QPalette::LinkVisited);
    if (marks & kToCheck) Recolour(colours, QPalette::Base, theme, QPalette::ToolTipBase);
    if (marks & kAmbiguous) Recolour(colours, QPalette::Base, theme, QPalette::Midlight);
    if (marks & kConflict) {
        Recolour(colours, QPalette::Base, theme, QPalette::Highlight);
        Recolour(colours, QPalette::Text, theme, QPalette::HighlightedText);
    }
    cell->setPalette(colours);

    QStringList description{tr("Cell %1").arg(IDC_CELL_FIRST + index)};
    if (marks & kGiven) description << tr("给定");
    if (marks & kSolved) description << tr("已解");
    if (marks & kEntry) description << tr("填入");
    if (marks & kConflict) description << tr("冲突");
    if (marks & kAmbiguous) description << tr("多解");
    if (marks & kToCheck) description << tr("请核对");
    cell->setAccessibleDescription(description.join(QStringLiteral("，")));
}

void CvelmoDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) UpdateMarks(true);
    QDialog::changeEvent(event);
}

void CvelmoDlg::ShowCellMenu(QLineEdit* cell, const QPoint& globalPos) {
    QMenu* menu = cell->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // One 撤销 and one 重做, with the keys' scope, in place of the field's own, which reach
    // only its typing.
    auto addStep = [this, menu](QAction* before, const QString& text,
                                const QList<QKeySequence>& keys, bool enabled,
                                void (CvelmoDlg::*slot)()) {
        auto* action = new QAction(text, menu);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
        menu->insertAction(before, action);
    };
    QAction* first = menu->actions().value(0);
    addStep(first, tr("撤销"), kUndoKeys, CellWithTyping(false) || !m_undoSteps.empty(),
            &CvelmoDlg::OnUndo);
    addStep(first, tr("重做"), kRedoKeys, CellWithTyping(true) || !m_redoSteps.empty(),
            &CvelmoDlg::OnRedo);
    // The field's entries carry its own texts, translated as the menu shows them, and
    // shortcuts after a tab.
    for (QAction* action : menu->actions()) {
        const QString text = action->text().section(u'\t', 0, 0);
        if (text == QLineEdit::tr("&Undo") || text == QLineEdit::tr("&Redo")) {
            menu->removeAction(action);
        }
    }
    menu->addSeparator();
    m_explain->AddCellActions(menu, CellIndex(cell));
    menu->addAction(m_sameDigitAction);
    menu->addSeparator();
    m_pastePuzzleAction->setEnabled(ClipboardPuzzle().has_value() ||
                                    CPictureInput::ClipboardHasPicture());
    menu->addAction(m_pastePuzzleAction);
    m_picture->AddCellActions(menu);
    menu->addAction(m_copyPuzzleAction);
    menu->addAction(m_continueAction);
    menu->addAction(m_newPuzzleAction);
    // Each entry says what it does, in the help's words.
    menu->setToolTipsVisible(true);
    for (QAction* action : menu->actions()) {
        const QString line = HelpLine(action->text().section(u'\t', 0, 0).remove(u'&'));
        if (!line.isEmpty()) action->setToolTip(line);
    }
    menu->popup(globalPos);
}

// Watches the dialog's own focusable controls: the buttons and the cells.
bool CvelmoDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool isCell = CellIndex(watched) >= 0;
    if (event->type() == QEvent::ShortcutOverride && isCell) {
        // The cell takes its undo and redo keys from the dialog's shortcuts, so that they
        // come to the KeyPress below whatever the platform binds.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (IsKeyOf(key, kUndoKeys, QKeySequence::Undo) ||
            IsKeyOf(key, kRedoKeys, QKeySequence::Redo)) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        PreTranslateMessage(key);
        // Puzzle text wins over a picture on the clipboard; other text pastes into the cell.
        if (isCell && key->matches(QKeySequence::Paste) &&
            (PastePuzzle() || m_picture->PasteFromClipboard())) {
            return true;
        }
        if (isCell && IsKeyOf(key, kUndoKeys, QKeySequence::Undo)) {
            OnUndo();
            return true;
        }
        if (isCell && IsKeyOf(key, kRedoKeys, QKeySequence::Redo)) {
            OnRedo();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn && isCell) {
        UpdateSameDigit();
        // A cell's own undo reaches back only to when it got the focus; from there on
        // 撤销 is the grid's. Its menu or another window taking the focus a while does not
        // end its typing. setText is the one way to drop a field's history.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            auto* cell = static_cast<QLineEdit*>(watched);
            const int cursor = cell->cursorPosition();
            cell->setText(cell->text());
            cell->setCursorPosition(cursor);
        }
    } else if (event->type() == QEvent::ContextMenu && isCell) {
        ShowCellMenu(static_cast<QLineEdit*>(watched),
                     static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CvelmoDlg::PreTranslateMessage(const QKeyEvent* key) {
    // Alt+arrow is a system key, not a move; other modifiers do not matter.
    if (key->modifiers() & Qt::AltModifier) return;
    int step = 0;
    switch (key->key()) {
        case Qt::Key_Left:
            step = -1;
            break;
        case Qt::Key_Right:
            step = +1;
            break;
        case Qt::Key_Up:
            step = -kGridSize;
            break;
        case Qt::Key_Down:
            step = +kGridSize;
            break;
        default:
            return;
    }
    // The control that has the keyboard focus in this dialog.
    const int focusId = GetDlgCtrlID(focusWidget());
    if (focusId == 0) return;
    // A plain focus change: unlike Tab, it leaves the target's text unselected.
    if (QWidget* target = GetDlgItem(focusId + step)) target->setFocus(Qt::OtherFocusReason);
}
