// The main dialog. Positions are kept in dialog units, converted through the dialog font
// as a dialog manager would, so the proportions hold at any font size or scaling.
#include "main_dialog.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "cell_text.h"

namespace {

constexpr int kGridSize = 9;
constexpr int kDialogWidthDu = 253;
constexpr int kDialogHeightDu = 198;
constexpr int kCellXDu = 7, kCellYDu = 7, kCellPitchXDu = 27, kCellPitchYDu = 18;
constexpr int kCellWidthDu = 19, kCellHeightDu = 14;
constexpr int kButtonYDu = 177, kButtonWidthDu = 50, kButtonHeightDu = 14;
const char* const kControlIdProperty = "controlId";

// Dialog units to pixels, rounded as the Windows MulDiv does.
int MulDiv(int value, int numerator, int denominator) {
    return (value * numerator * 2 + denominator) / (denominator * 2);
}

// The etched lines between the boxes, announced to assistive technology as separators
// rather than as empty frames.
QAccessibleInterface* SeparatorAccessibility(const QString& className, QObject* object) {
    if (className == QLatin1String("CEtchedLine") && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Separator);
    }
    return nullptr;
}

QIcon LoadAppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/velmo-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

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

    // Creation order is the tab order: Calculate, Cancel, the cells row by row, Clear.
    CreateButtons();
    CreateCells();
    CreateSeparators();
    auto* clear = new QPushButton(tr("清除"), this);
    Place(clear, 101, kButtonYDu, kButtonWidthDu, kButtonHeightDu, IDC_CLEAR);
    clear->setObjectName(QStringLiteral("clear"));
    connect(clear, &QPushButton::clicked, this, &CvelmoDlg::OnClear);

    GetDlgItem(IDOK)->setFocus();
    qApp->installEventFilter(this);
}

void CvelmoDlg::CreateButtons() {
    auto* calculate = new QPushButton(tr("计算"), this);
    calculate->setObjectName(QStringLiteral("calculate"));
    calculate->setDefault(true);
    Place(calculate, 9, kButtonYDu, kButtonWidthDu, kButtonHeightDu, IDOK);
    connect(calculate, &QPushButton::clicked, this, &CvelmoDlg::OnCalculate);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    Place(cancel, 193, kButtonYDu, kButtonWidthDu, kButtonHeightDu, IDCANCEL);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CvelmoDlg::CreateCells() {
    for (int r = 0; r < kGridSize; ++r) {
        for (int c = 0; c < kGridSize; ++c) {
            const int id = IDC_CELL_FIRST + kGridSize * r + c;
            auto* cell = new QLineEdit(this);
            cell->setObjectName(QStringLiteral("cell%1").arg(id));
            cell->setAccessibleName(tr("Row %1, column %2").arg(r + 1).arg(c + 1));
            cell->setAccessibleDescription(tr("Cell %1").arg(id));
            Place(cell, kCellXDu + kCellPitchXDu * c, kCellYDu + kCellPitchYDu * r, kCellWidthDu,
                  kCellHeightDu, id);
        }
    }
}

void CvelmoDlg::CreateSeparators() {
    // Etched lines in the gaps after the third and sixth row and column.
    static const bool factoryInstalled =
        (QAccessible::installFactory(SeparatorAccessibility), true);
    Q_UNUSED(factoryInstalled);
    for (int y : {59, 113}) Place(new CEtchedLine(QFrame::HLine, this), 5, y, 247, 1);
    for (int x : {84, 165}) Place(new CEtchedLine(QFrame::VLine, this), x, 5, 1, 164);
}

void CvelmoDlg::Place(QWidget* control, int x, int y, int width, int height, int id) {
    // An etched line is two pixels wide whatever its size in dialog units.
    control->setGeometry(MulDiv(x, m_baseUnitX, 4), MulDiv(y, m_baseUnitY, 8),
                         std::max(MulDiv(width, m_baseUnitX, 4), 2),
                         std::max(MulDiv(height, m_baseUnitY, 8), 2));
    if (id != 0) {
        control->setProperty(kControlIdProperty, id);
        m_controls.insert(id, control);
    }
}

QWidget* CvelmoDlg::GetDlgItem(int id) const {
    return m_controls.value(id, nullptr);
}

int CvelmoDlg::GetDlgCtrlID(const QWidget* control) const {
    if (control == nullptr || !isAncestorOf(control)) return 0;
    return control->property(kControlIdProperty).toInt();
}

QLineEdit* CvelmoDlg::Cell(int index) const {
    return static_cast<QLineEdit*>(GetDlgItem(IDC_CELL_FIRST + index));
}

void CvelmoDlg::OnCalculate() {
    PuzzleGrid grid;
    for (int i = 0; i < kCellCount; ++i) grid[i] = CellValueFromText(Cell(i)->text());

    if (m_solver.Solve(grid.data(), kCellCount)) {
        for (int i = 0; i < kCellCount; ++i) Cell(i)->setText(CellTextFromValue(grid[i]));
        return;
    }
    QApplication::beep();
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), tr("无解！"),
                    QMessageBox::Ok, this);
    box.exec();
}

void CvelmoDlg::OnClear() {
    for (int i = 0; i < kCellCount; ++i) Cell(i)->setText(QString());
}

bool CvelmoDlg::eventFilter(QObject* watched, QEvent* event) {
    PreTranslateMessage(watched, event);
    return QDialog::eventFilter(watched, event);
}

void CvelmoDlg::PreTranslateMessage(QObject* receiver, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return;
    // A key goes first to the focused control; the copies that an unhandled key then
    // passes up to the parents must not move the focus again.
    QWidget* const focus = QApplication::focusWidget();
    if (receiver != focus || !isAncestorOf(focus)) return;

    const auto* key = static_cast<QKeyEvent*>(event);
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
    const int focusId = GetDlgCtrlID(focus);
    if (focusId == 0) return;
    // A plain focus change: unlike Tab, it leaves the target's text unselected.
    if (QWidget* target = GetDlgItem(focusId + step)) target->setFocus(Qt::OtherFocusReason);
}
