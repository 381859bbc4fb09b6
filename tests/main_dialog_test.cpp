// The main dialog driven as a user drives it: typing, clicking, Enter, Tab, Escape and the
// arrow keys. Message boxes are answered from a timer, never waited on.
#include <QAccessible>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "main_dialog.h"

namespace {

const QString kPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const QString kSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
const QString kEmptyGridSolution =
    "123456789456789123789123456231674895875912364694538217317265948542897631968341572";

// A message box as the user saw it.
struct CSeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// Answers each message box that opens with the next scripted button and records it.
class CBoxAnswerer : public QObject {
  public:
    explicit CBoxAnswerer(QList<QMessageBox::StandardButton> script) : m_script(std::move(script)) {
        connect(&m_timer, &QTimer::timeout, this, &CBoxAnswerer::Poll);
        m_timer.start(5);
    }
    QList<CSeenBox> seen;

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || box == m_last) return;
        m_last = box;
        seen.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
        const QMessageBox::StandardButton answer =
            m_script.isEmpty() ? QMessageBox::Ok : m_script.takeFirst();
        QTest::mouseClick(box->button(answer), Qt::LeftButton);
    }
    QTimer m_timer;
    QList<QMessageBox::StandardButton> m_script;
    QPointer<QMessageBox> m_last;
};

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CvelmoDlg> m_dlg;
    // The solver's clock: stands still unless a test scripts it.
    std::function<uint32_t()> m_clock;

    QLineEdit* Cell(int index) const {
        return qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(CvelmoDlg::IDC_CELL_FIRST + index));
    }
    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(m_dlg->GetDlgItem(id)); }
    int FocusId() const { return m_dlg->GetDlgCtrlID(QApplication::focusWidget()); }

    // Types `text` into `cell`: key by key, or for characters beyond Latin-1 as the input
    // method commits them.
    static void Type(QLineEdit* cell, const QString& text) {
        const bool latin1 =
            std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() < 0x100; });
        if (latin1) {
            QTest::keyClicks(cell, text);
            return;
        }
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(cell, &commit);
    }

    // Types a grid of 81 characters ('.' left empty) into the cells.
    void TypeGrid(const QString& grid) {
        for (int i = 0; i < 81; ++i) {
            if (grid[i] != u'.') QTest::keyClicks(Cell(i), QString(grid[i]));
        }
    }
    QString GridText() const {
        QString text;
        for (int i = 0; i < 81; ++i)
            text += Cell(i)->text().isEmpty() ? QStringLiteral(".") : Cell(i)->text();
        return text;
    }
    void FocusCell(int index) {
        Cell(index)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + index);
    }

  private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("velmo")); }

    void init() {
        m_clock = [] { return 0u; };
        m_dlg = std::make_unique<CvelmoDlg>(nullptr, [this] { return m_clock(); });
        m_dlg->show();
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    }
    void cleanup() { m_dlg.reset(); }

    void showsCaptionCellsAndButtonsInPlace() {
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("velmo计算器"));
        QVERIFY(!(m_dlg->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(m_dlg->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(m_dlg->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!m_dlg->windowIcon().isNull());

        QCOMPARE(Button(CvelmoDlg::IDOK)->text(), QStringLiteral("计算"));
        QCOMPARE(Button(CvelmoDlg::IDCANCEL)->text(), QStringLiteral("Cancel"));
        QCOMPARE(Button(CvelmoDlg::IDC_CLEAR)->text(), QStringLiteral("清除"));
        QVERIFY(Button(CvelmoDlg::IDOK)->isDefault());
        // Left to right: Calculate, Clear, Cancel, on one line below the grid.
        QVERIFY(Button(CvelmoDlg::IDOK)->x() < Button(CvelmoDlg::IDC_CLEAR)->x());
        QVERIFY(Button(CvelmoDlg::IDC_CLEAR)->x() < Button(CvelmoDlg::IDCANCEL)->x());
        QCOMPARE(Button(CvelmoDlg::IDOK)->y(), Button(CvelmoDlg::IDCANCEL)->y());
        QVERIFY(Button(CvelmoDlg::IDOK)->y() > Cell(80)->geometry().bottom());

        // Cells in a regular 9 x 9 grid (to a pixel of rounding), all the same size, all
        // inside the dialog.
        const QRect first = Cell(0)->geometry();
        const int pitchX = Cell(1)->x() - first.x();
        const int pitchY = Cell(9)->y() - first.y();
        QVERIFY(pitchX > first.width());
        QVERIFY(pitchY > first.height());
        for (int i = 0; i < 81; ++i) {
            const QRect cell = Cell(i)->geometry();
            QCOMPARE(cell.size(), first.size());
            if (i % 9 != 0) QVERIFY(std::abs(cell.x() - Cell(i - 1)->x() - pitchX) <= 1);
            if (i % 9 == 0) QCOMPARE(cell.x(), first.x());
            if (i >= 9) QVERIFY(std::abs(cell.y() - Cell(i - 9)->y() - pitchY) <= 1);
            if (i < 9) QCOMPARE(cell.y(), first.y());
            QVERIFY(m_dlg->rect().contains(cell));
            QCOMPARE(Cell(i)->accessibleName(),
                     QStringLiteral("Row %1, column %2").arg(i / 9 + 1).arg(i % 9 + 1));
        }

        // Two horizontal and two vertical separators, in the gaps between the boxes.
        int horizontal = 0, vertical = 0;
        for (QFrame* frame : m_dlg->findChildren<QFrame*>()) {
            if (frame->frameShape() == QFrame::HLine) {
                ++horizontal;
                const int y = frame->geometry().center().y();
                QVERIFY((y > Cell(18)->geometry().bottom() && y < Cell(27)->y()) ||
                        (y > Cell(45)->geometry().bottom() && y < Cell(54)->y()));
            } else if (frame->frameShape() == QFrame::VLine) {
                ++vertical;
                const int x = frame->geometry().center().x();
                QVERIFY((x > Cell(2)->geometry().right() && x < Cell(3)->x()) ||
                        (x > Cell(5)->geometry().right() && x < Cell(6)->x()));
            }
        }
        QCOMPARE(horizontal, 2);
        QCOMPARE(vertical, 2);
        for (CEtchedLine* line : m_dlg->findChildren<CEtchedLine*>()) {
            QCOMPARE(QAccessible::queryAccessibleInterface(line)->role(), QAccessible::Separator);
        }
    }

    void tabFollowsTheTemplateOrder() {
        QCOMPARE(FocusId(), int(CvelmoDlg::IDOK));
        QList<int> expected{CvelmoDlg::IDCANCEL};
        for (int i = 0; i < 81; ++i) expected.append(CvelmoDlg::IDC_CELL_FIRST + i);
        expected << CvelmoDlg::IDC_CLEAR << CvelmoDlg::IDOK;
        for (int id : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(FocusId(), id);
        }
    }

    void calculateSolvesATypedPuzzle() {
        TypeGrid(kPuzzle);
        QCOMPARE(GridText(), kPuzzle);
        CBoxAnswerer answerer({});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
        QVERIFY(answerer.seen.isEmpty());
    }

    void enterInACellSolvesAndKeepsTheDialogOpen() {
        TypeGrid(kPuzzle);
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_Return);
        QCOMPARE(GridText(), kSolution);
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + 40);
    }

    void enterOnCalculateSolves() {
        QCOMPARE(FocusId(), int(CvelmoDlg::IDOK));
        QTest::keyClick(Button(CvelmoDlg::IDOK), Qt::Key_Enter);
        QCOMPARE(GridText(), kEmptyGridSolution);
        QVERIFY(m_dlg->isVisible());
    }

    void conflictingGivensShowTheNoSolutionBox() {
        QTest::keyClicks(Cell(0), QStringLiteral("5"));
        QTest::keyClicks(Cell(8), QStringLiteral(" 5x"));
        CBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text, QStringLiteral("无解！"));
        QCOMPARE(answerer.seen[0].title, QStringLiteral("velmo"));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::NoIcon);
        QCOMPARE(answerer.seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(Cell(8)->text(), QStringLiteral(" 5x"));
        QCOMPARE(Cell(0)->text(), QStringLiteral("5"));
        QVERIFY(m_dlg->isVisible());
    }

    // Texts in an empty cell of the puzzle: some read as empty, some as a value the solver
    // refuses.
    void cellTextsAsUserTypesThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("solvable");
        QTest::newRow("spaces") << "   " << true;
        QTest::newRow("zero") << "0" << true;
        QTest::newRow("letters") << "abc" << true;
        QTest::newRow("256") << "256" << true;
        QTest::newRow("the right digit after spaces") << " 1" << true;
        QTest::newRow("the right digit before letters") << "1abc" << true;
        QTest::newRow("full-width right digit") << QStringLiteral("\uFF11") << true;
        QTest::newRow("10") << "10" << false;
        QTest::newRow("-1") << "-1" << false;
        QTest::newRow("99999999999") << "99999999999" << false;
        QTest::newRow("a conflicting digit") << "4" << false;
    }
    void cellTextsAsUserTypesThem() {
        QFETCH(QString, text);
        QFETCH(bool, solvable);
        TypeGrid(kPuzzle);
        Type(Cell(1), text);  // cell 1 is empty in the puzzle; its digit is 1
        CBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        if (solvable) {
            QCOMPARE(GridText(), kSolution);
            QVERIFY(answerer.seen.isEmpty());
        } else {
            QCOMPARE(answerer.seen.size(), 1);
            QCOMPARE(answerer.seen[0].text, QStringLiteral("无解！"));
            QCOMPARE(Cell(1)->text(), text);
            QCOMPARE(Cell(0)->text(), QStringLiteral("4"));
            QVERIFY(Cell(2)->text().isEmpty());
        }
    }

    void clearEmptiesEveryCell() {
        TypeGrid(kPuzzle);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
        QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        QCOMPARE(GridText(), QString(81, u'.'));
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kEmptyGridSolution);
    }

    void enterOnClearPressesClear() {
        TypeGrid(kPuzzle);
        Button(CvelmoDlg::IDC_CLEAR)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Button(CvelmoDlg::IDC_CLEAR), Qt::Key_Return);
        QCOMPARE(GridText(), QString(81, u'.'));
        QVERIFY(m_dlg->isVisible());
    }

    void enterOnCancelPressesCancel() {
        Button(CvelmoDlg::IDCANCEL)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Button(CvelmoDlg::IDCANCEL), Qt::Key_Return);
        QVERIFY(!m_dlg->isVisible());
        QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
    }

    void arrowKeysMoveByControlId_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("to");
        QTest::newRow("1040 left") << 1040 << int(Qt::Key_Left) << 0 << 1039;
        QTest::newRow("1040 right") << 1040 << int(Qt::Key_Right) << 0 << 1041;
        QTest::newRow("1040 up") << 1040 << int(Qt::Key_Up) << 0 << 1031;
        QTest::newRow("1040 down") << 1040 << int(Qt::Key_Down) << 0 << 1049;
        QTest::newRow("end of row wraps to the next") << 1008 << int(Qt::Key_Right) << 0 << 1009;
        QTest::newRow("start of row wraps to the one above")
            << 1009 << int(Qt::Key_Left) << 0 << 1008;
        QTest::newRow("bottom row down stays") << 1075 << int(Qt::Key_Down) << 0 << 1075;
        QTest::newRow("top row up stays") << 1004 << int(Qt::Key_Up) << 0 << 1004;
        QTest::newRow("first cell left stays") << 1000 << int(Qt::Key_Left) << 0 << 1000;
        QTest::newRow("last cell right stays") << 1080 << int(Qt::Key_Right) << 0 << 1080;
        QTest::newRow("shift moves too")
            << 1040 << int(Qt::Key_Right) << int(Qt::ShiftModifier) << 1041;
        QTest::newRow("control moves too")
            << 1040 << int(Qt::Key_Down) << int(Qt::ControlModifier) << 1049;
        QTest::newRow("alt does not move")
            << 1040 << int(Qt::Key_Right) << int(Qt::AltModifier) << 1040;
        QTest::newRow("home is not an arrow") << 1040 << int(Qt::Key_Home) << 0 << 1040;
        QTest::newRow("tab is unaffected") << 1040 << int(Qt::Key_Tab) << 0 << 1041;
        QTest::newRow("backtab is unaffected")
            << 1040 << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 1039;
    }
    void arrowKeysMoveByControlId() {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, to);
        FocusCell(from - CvelmoDlg::IDC_CELL_FIRST);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        QCOMPARE(FocusId(), to);
    }

    void arrowMoveLeavesTheTargetTextUnselected() {
        QTest::keyClicks(Cell(41), QStringLiteral("5"));
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_Right);
        QCOMPARE(FocusId(), 1041);
        QVERIFY(!Cell(41)->hasSelectedText());
        // Typing goes to the new cell, after its text.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3"));
        QCOMPARE(Cell(41)->text().size(), 2);
        QVERIFY(Cell(40)->text().isEmpty());
        // Tab, by contrast, selects.
        QTest::keyClick(Cell(41), Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(Cell(40), Qt::Key_Tab);
        QVERIFY(Cell(41)->hasSelectedText());
    }

    void escapeClosesTheDialog() {
        FocusCell(10);
        QTest::keyClick(Cell(10), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
    }

    void cancelClosesTheDialog() {
        QTest::mouseClick(Button(CvelmoDlg::IDCANCEL), Qt::LeftButton);
        QVERIFY(!m_dlg->isVisible());
    }

    void closeBoxClosesTheDialog() {
        QVERIFY(m_dlg->close());
        QVERIFY(!m_dlg->isVisible());
        QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
    }

    void timeLimitAnsweredNoReportsNoSolution() {
        int readings = 0;
        m_clock = [&readings] { return readings++ == 0 ? 0u : 60001u; };
        TypeGrid(kPuzzle);
        CBoxAnswerer answerer({QMessageBox::No, QMessageBox::Ok});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(answerer.seen[0].text,
                 QStringLiteral("在一分钟内未找到任何解，可能无解！ 是否继续搜索？"));
        QCOMPARE(answerer.seen[0].title, QStringLiteral("velmo"));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Question);
        QCOMPARE(answerer.seen[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(answerer.seen[1].text, QStringLiteral("无解！"));
        QCOMPARE(GridText(), kPuzzle);
    }

    void timeLimitAnsweredYesSolves() {
        int readings = 0;
        m_clock = [&readings] { return readings++ == 0 ? 0u : 60001u; };
        TypeGrid(kPuzzle);
        CBoxAnswerer answerer({QMessageBox::Yes});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Question);
        QCOMPARE(GridText(), kSolution);
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
