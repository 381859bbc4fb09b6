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

#include "cell_text.h"
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
      m_solver(m_platform) {
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

void CvelmoDlg::OnCalculate() {
    PuzzleGrid grid = ReadGrid();
    const PuzzleGrid typed = grid;

    if (m_solver.Solve(grid.data(), kCellCount)) {
        // A digit Calculate filled in earlier stays a solved one when it is calculated again.
        for (int i = 0; i < kCellCount; ++i) {
            if (typed[i] == 0) m_solved.set(i);
        }
        m_ambiguous = AmbiguousCells(grid);
        WriteGrid(grid);
        return;
    }
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), tr("无解！"),
                    QMessageBox::Ok, this);
    box.exec();
}

std::bitset<kCellCount> CvelmoDlg::AmbiguousCells(const PuzzleGrid& shown) const {
    PuzzleGrid givens = shown;
    for (int i = 0; i < kCellCount; ++i) {
        if (m_solved[i]) givens[i] = 0;
    }
    const CSolutionCount count = CountSolutions(givens.data());
    if (count.count < 2) return {};
    const PuzzleGrid& other = count.solutions[0] == shown ? count.solutions[1] : count.solutions[0];
    std::bitset<kCellCount> ambiguous;
    for (int i = 0; i < kCellCount; ++i) ambiguous[i] = m_solved[i] && other[i] != shown[i];
    return ambiguous;
}

void CvelmoDlg::OnClear() {
    m_solved.reset();
    m_ambiguous.reset();
    m_writingGrid = true;
    for (int i = 0; i < kCellCount; ++i) Cell(i)->setText(QString());
    m_writingGrid = false;
    UpdateMarks();
}

std::optional<PuzzleGrid> CvelmoDlg::ClipboardPuzzle() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) return std::nullopt;
    return PuzzleFromText(data->text());
}

bool CvelmoDlg::PastePuzzle() {
    const std::optional<PuzzleGrid> puzzle = ClipboardPuzzle();
    if (!puzzle) return false;
    m_solved.reset();
    m_ambiguous.reset();
    WriteGrid(*puzzle);
    return true;
}

void CvelmoDlg::OnPastePuzzle() {
    PastePuzzle();
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
    UpdateMarks();
}

void CvelmoDlg::OnCellChanged() {
    if (!m_writingGrid) UpdateMarks();
}

void CvelmoDlg::UpdateMarks(bool repaint) {
    const PuzzleGrid grid = ReadGrid();
    const std::bitset<kCellCount> conflicts = RepeatedDigits(grid);
    for (int i = 0; i < kCellCount; ++i) {
        uint8_t marks = 0;
        if (grid[i] != 0) marks |= m_solved[i] ? kSolved : kGiven;
        if (conflicts[i]) marks |= kConflict;
        if (m_ambiguous[i]) marks |= kAmbiguous;
        if (repaint || marks != m_shownMarks[i]) ShowMarks(i, marks);
    }
}

void CvelmoDlg::ShowMarks(int index, uint8_t marks) {
    m_shownMarks[index] = marks;
    QLineEdit* cell = Cell(index);

    // Only the roles set here override what the cell inherits from the dialog, so a mark
    // follows the palette of a light or a dark theme.
    QPalette colours;
    const QPalette& theme = palette();
    if (marks & kSolved) Recolour(colours, QPalette::Text, theme, QPalette::Link);
    if (marks & kAmbiguous) Recolour(colours, QPalette::Base, theme, QPalette::Midlight);
    if (marks & kConflict) {
        Recolour(colours, QPalette::Base, theme, QPalette::Highlight);
        Recolour(colours, QPalette::Text, theme, QPalette::HighlightedText);
    }
    cell->setPalette(colours);

    QStringList description{tr("Cell %1").arg(IDC_CELL_FIRST + index)};
    if (marks & kGiven) description << tr("给定");
    if (marks & kSolved) description << tr("已解");
    if (marks & kConflict) description << tr("冲突");
    if (marks & kAmbiguous) description << tr("多解");
    cell->setAccessibleDescription(description.join(QStringLiteral("，")));
}

void CvelmoDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) UpdateMarks(true);
    QDialog::changeEvent(event);
}

void CvelmoDlg::ShowCellMenu(QLineEdit* cell, const QPoint& globalPos) {
    QMenu* menu = cell->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    m_pastePuzzleAction->setEnabled(ClipboardPuzzle().has_value());
    menu->addAction(m_pastePuzzleAction);
    menu->addAction(m_copyPuzzleAction);
    menu->popup(globalPos);
}

// Watches the dialog's own focusable controls: the buttons and the cells.
bool CvelmoDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool isCell = CellIndex(watched) >= 0;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        PreTranslateMessage(key);
        if (isCell && key->matches(QKeySequence::Paste) && PastePuzzle()) return true;
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
