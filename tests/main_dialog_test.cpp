// The main dialog driven as a user drives it: typing, clicking, Enter, Tab, Escape, the
// arrow keys, the clipboard and the cells' context menu. Message boxes are answered from a
// timer, never waited on. Runs under the program's own application object, and on any
// platform: where the window is never activated (a compositor without a seat), the few
// checks that need a focused window or a clipboard say so and are skipped.
#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include "app.h"
#include "dialog_driver.h"
#include "main_dialog.h"
#include "puzzle_layout.h"

namespace {

const QString kPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const QString kSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
const QString kEmptyGridSolution =
    "123456789456789123789123456231674895875912364694538217317265948542897631968341572";
// kSolution with cells 1, 3, 10 and 12 left empty: they hold 1 3 / 3 1 in two boxes, so
// swapping them gives the one other solution, kOtherSolution. Calculate shows kSolution,
// the first in the search's order (cell 1 tries its 1 before its 3).
const QString kTwoSolutionPuzzle =
    "4.7.698256.2.58947958724316825437169791586432346912758289643571573291684164875293";
const QString kOtherSolution =
    "437169825612358947958724316825437169791586432346912758289643571573291684164875293";
const QList<int> kSwappedCells{1, 3, 10, 12};
// kSolution with two such rectangles left empty, {1, 3, 10, 12} and {51, 52, 60, 61}, each of
// which can swap on its own, and two cells that only one digit fits (40 and 80): four
// solutions. Any two of them leave cells of one rectangle alike, so only a test of every
// solved cell finds all eight that are not forced.
const QString kFourSolutionPuzzle =
    "4.7.698256.2.589479587243168254371697915.6432346912..8289643..157329168416487529.";
const QList<int> kUnforcedCells{1, 3, 10, 12, 51, 52, 60, 61};
// Its first solution in the search's order: each rectangle with its lower digit first, so
// the second one swapped from kSolution.
const QString kFourSolutionFirst =
    "417369825632158947958724316825437169791586432346912578289643751573291684164875293";

}  // namespace

class MainDialogTest : public CDialogDriver {
    Q_OBJECT

  private:
    // The solver's clock: stands still unless a test scripts it.
    std::function<uint32_t()> m_clock;

    QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(m_dlg->GetDlgItem(id)); }
    // The dialog's focus control, which is the application's while the window is active.
    QWidget* Focus() const { return m_dlg->focusWidget(); }
    int FocusId() const { return m_dlg->GetDlgCtrlID(Focus()); }
    QString Description(int index) const { return Cell(index)->accessibleDescription(); }

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

    void FocusCell(int index) {
        Cell(index)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + index);
    }

    // Whether the platform gives the program a clipboard: a compositor without a seat
    // gives none.
    static bool HasClipboard() {
        QApplication::clipboard()->setText(QStringLiteral("velmo"));
        return QApplication::clipboard()->text() == QLatin1String("velmo");
    }
    static void SetClipboard(const QString& text) { QApplication::clipboard()->setText(text); }
    static QString ClipboardText() { return QApplication::clipboard()->text(); }
    // What a plain field holding `text`, the cursor at its end, makes of a paste.
    static QString PlainPaste(const QString& text) {
        QLineEdit plain(text);
        plain.paste();
        return plain.text();
    }

    // The description a cell should have: its ID, then its marks.
    static QString Described(int index, const QString& marks = QString()) {
        const QString id = QStringLiteral("Cell %1").arg(CvelmoDlg::IDC_CELL_FIRST + index);
        return marks.isEmpty() ? id : id + QStringLiteral("，") + marks;
    }
    QColor CellColour(int index, QPalette::ColorRole role) const {
        return Cell(index)->palette().color(role);
    }
    QColor ThemeColour(QPalette::ColorRole role) const { return m_dlg->palette().color(role); }

    // A cell as drawn: the colour of its digit (the pixel farthest from its background)
    // and of its background (beside the text, right of centre).
    static QColor DrawnInk(QLineEdit* cell) {
        const QImage image = cell->grab().toImage();
        const QColor background = DrawnBackground(cell);
        QColor ink = background;
        int farthest = -1;
        for (int y = image.height() / 4; y < image.height() * 3 / 4; ++y) {
            for (int x = image.width() / 8; x < image.width() / 2; ++x) {
                const QColor pixel = image.pixelColor(x, y);
                const int distance = ColourDistance(pixel, background);
                if (distance > farthest) {
                    farthest = distance;
                    ink = pixel;
                }
            }
        }
        return ink;
    }
    static QColor DrawnBackground(QLineEdit* cell) {
        const QImage image = cell->grab().toImage();
        return image.pixelColor(image.width() * 3 / 4, image.height() / 2);
    }
    static int ColourDistance(const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    }
    // Whether `drawn` is nearer to `expected` than to `other`.
    static bool NearerTo(const QColor& drawn, const QColor& expected, const QColor& other) {
        return ColourDistance(drawn, expected) < ColourDistance(drawn, other);
    }

  private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("velmo")); }

    void namesItsDesktopEntry() {
        // Wayland compositors match the window to its desktop entry, and so to its icon, by
        // the name the program gives: the entry must be installed under it and name its icon
        // by it, and the metainfo must launch that entry.
        const QString name = QGuiApplication::desktopFileName();
        QVERIFY(!name.isEmpty());
        QFile entry(QStringLiteral(VELMO_SOURCE_DIR "/data/") + name + ".desktop");
        QVERIFY2(entry.open(QIODevice::ReadOnly), qPrintable(entry.fileName()));
        QVERIFY(QString::fromUtf8(entry.readAll()).split(u'\n').contains("Icon=" + name));
        QFile metainfo(QStringLiteral(VELMO_SOURCE_DIR "/data/") + name + ".metainfo.xml");
        QVERIFY2(metainfo.open(QIODevice::ReadOnly), qPrintable(metainfo.fileName()));
        QVERIFY(QString::fromUtf8(metainfo.readAll())
                    .contains("<launchable type=\"desktop-id\">" + name + ".desktop<"));
    }

    void init() {
        m_clock = [] { return 0u; };
        ShowDialog(std::make_unique<CvelmoDlg>(nullptr, [this] { return m_clock(); }));
    }
    void cleanup() {
        m_dlg.reset();
        QApplication::clipboard()->clear();
    }

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
            QTest::keyClick(Focus(), Qt::Key_Tab);
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

    // Texts in cell 1 of the two-solution puzzle. Read as empty, the cell leaves Calculate
    // its first solution (1 there); read as 3, the other one. So a text misread either way
    // gives a grid that differs from the expected one.
    void cellTextsAsUserTypesThem_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("solution");  // empty: "无解！"
        QTest::newRow("spaces") << "   " << kSolution;
        QTest::newRow("zero") << "0" << kSolution;
        QTest::newRow("letters") << "abc" << kSolution;
        QTest::newRow("256") << "256" << kSolution;
        QTest::newRow("the other solution's digit after spaces") << " 3" << kOtherSolution;
        QTest::newRow("the other solution's digit before letters") << "3abc" << kOtherSolution;
        QTest::newRow("the other solution's digit, full-width")
            << QStringLiteral("\uFF13") << kOtherSolution;
        QTest::newRow("the first solution's digit before letters") << "1x" << kSolution;
        QTest::newRow("263, whose low byte is 7") << "263" << QString();
        QTest::newRow("10") << "10" << QString();
        QTest::newRow("-1") << "-1" << QString();
        QTest::newRow("99999999999") << "99999999999" << QString();
        QTest::newRow("a conflicting digit") << "4" << QString();
    }
    void cellTextsAsUserTypesThem() {
        QFETCH(QString, text);
        QFETCH(QString, solution);
        TypeGrid(kTwoSolutionPuzzle);
        Type(Cell(1), text);
        CBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        if (!solution.isEmpty()) {
            QCOMPARE(GridText(), solution);
            QVERIFY(answerer.seen.isEmpty());
        } else {
            QCOMPARE(answerer.seen.size(), 1);
            QCOMPARE(answerer.seen[0].text, QStringLiteral("无解！"));
            QCOMPARE(Cell(1)->text(), text);
            QCOMPARE(Cell(0)->text(), QStringLiteral("4"));
            QVERIFY(Cell(3)->text().isEmpty());
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
        QTest::keyClick(Focus(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(FocusId(), to);
    }

    void arrowMoveLeavesTheTargetTextUnselected() {
        QTest::keyClicks(Cell(41), QStringLiteral("5"));
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_Right);
        QCOMPARE(FocusId(), 1041);
        QVERIFY(!Cell(41)->hasSelectedText());
        // Typing goes to the new cell, after its text.
        QTest::keyClicks(Focus(), QStringLiteral("3"));
        QCOMPARE(Cell(41)->text().size(), 2);
        QVERIFY(Cell(40)->text().isEmpty());
        // Tab, by contrast, selects; a field selects its text when its window gives it the
        // focus, which needs an active window.
        if (!m_dlg->isActiveWindow()) QSKIP("the window is not active: no focus-in events");
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

    // Paste and copy of a whole puzzle.

    void pastingAPuzzleFillsEveryCell_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<int>("how");  // 0 Ctrl+V, 1 Shift+Insert, 2 the cell's menu
        QTest::newRow("one line, Ctrl+V") << kPuzzle << 0;
        QTest::newRow("zeros for empty, Shift+Insert") << QString(kPuzzle).replace(u'.', u'0') << 1;
        QTest::newRow("nine lines, CRLF, Ctrl+V") << NineLines(kPuzzle, "\r\n") << 0;
        QTest::newRow("nine lines, the menu") << NineLines(kPuzzle, "\n") << 2;
        QTest::newRow("a puzzle:count:solution line, as velmo-solve reads it")
            << kPuzzle + ":1:" + kSolution << 0;
    }
    void pastingAPuzzleFillsEveryCell() {
        QFETCH(QString, clipboard);
        QFETCH(int, how);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        // What was typed before goes, in the cell pasted into and elsewhere.
        QTest::keyClicks(Cell(40), QStringLiteral("7x"));
        QTest::keyClicks(Cell(2), QStringLiteral("9"));
        SetClipboard(clipboard);
        FocusCell(40);
        if (how == 0) QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        if (how == 1) QTest::keyClick(Cell(40), Qt::Key_Insert, Qt::ShiftModifier);
        if (how == 2) {
            QMenu* menu = OpenCellMenu(Cell(40));
            QVERIFY(menu != nullptr);
            ClickMenuEntry(menu, QStringLiteral("粘贴谜题"));
        }
        QCOMPARE(GridText(), kPuzzle);
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + 40);
        for (int i = 0; i < 81; ++i) {
            QCOMPARE(Description(i), kPuzzle[i] == u'.' ? Described(i) : Described(i, "给定"));
        }
        CBoxAnswerer answerer({});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
    }

    // Any other text pastes into the cell as into any field, and the other cells keep
    // theirs; the menu's puzzle entry is off.
    void otherTextPastesIntoTheCell_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("a digit") << "5";
        QTest::newRow("80 cells") << kPuzzle.left(80);
        QTest::newRow("82 cells") << kPuzzle + "1";
        QTest::newRow("two puzzles") << kPuzzle + "\n" + kTwoSolutionPuzzle;
        QTest::newRow("nine lines, one short") << NineLines(kPuzzle, "\n").chopped(1);
        QString bytes;
        for (int i = 0; i < 4096; ++i) bytes += QChar((i * 7919) % 256);
        QTest::newRow("binary bytes read as text") << bytes;
        QTest::newRow("huge text, 32 M characters") << QString(32 * 1024 * 1024, u'7');
        QTest::newRow("100000 puzzle lines") << (kPuzzle + "\n").repeated(100000);
    }
    void otherTextPastesIntoTheCell() {
        QFETCH(QString, clipboard);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        QTest::keyClicks(Cell(0), QStringLiteral("4"));
        QTest::keyClicks(Cell(40), QStringLiteral("1"));
        SetClipboard(clipboard);
        const QString expected = PlainPaste(QStringLiteral("1"));
        QVERIFY(expected != QLatin1String("1"));
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Cell(40)->text(), expected);
        QCOMPARE(Cell(0)->text(), QStringLiteral("4"));
        for (int i = 1; i < 81; ++i) {
            if (i != 40) QVERIFY(Cell(i)->text().isEmpty());
        }
        QMenu* menu = OpenCellMenu(Cell(40));
        QVERIFY(menu != nullptr);
        QVERIFY(!MenuEntry(menu, QStringLiteral("粘贴谜题"))->isEnabled());
        menu->close();
    }

    // A clipboard with neither text nor a picture (binary data, nothing) leaves every cell
    // as it was; a picture is read (picture_input_test.cpp).
    void clipboardWithoutTextChangesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("binary data") << "binary";
        QTest::newRow("nothing") << "empty";
    }
    void clipboardWithoutTextChangesNothing() {
        QFETCH(QString, kind);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        if (kind == QLatin1String("binary")) {
            auto* data = new QMimeData;
            QByteArray bytes(8 * 1024 * 1024, '\0');
            for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 31 % 251);
            data->setData(QStringLiteral("application/octet-stream"), bytes);
            QApplication::clipboard()->setMimeData(data);
        } else {
            QApplication::clipboard()->clear();
        }
        TypeGrid(kPuzzle);
        FocusCell(1);
        QTest::keyClick(Cell(1), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(Cell(1), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(GridText(), kPuzzle);
        QMenu* menu = OpenCellMenu(Cell(1));
        QVERIFY(menu != nullptr);
        QVERIFY(!MenuEntry(menu, QStringLiteral("粘贴谜题"))->isEnabled());
        menu->close();
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
    }

    // Ctrl+Shift+C anywhere in the window, and the cell's menu, copy the grid as one line,
    // each cell read as Calculate reads it.
    void copyingTheGridGivesOneLine_data() {
        QTest::addColumn<int>("how");  // 0 Ctrl+Shift+C in a cell, 1 on Calculate, 2 the menu
        QTest::newRow("Ctrl+Shift+C in a cell") << 0;
        QTest::newRow("Ctrl+Shift+C on Calculate") << 1;
        QTest::newRow("the cell's menu") << 2;
    }
    void copyingTheGridGivesOneLine() {
        QFETCH(int, how);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        TypeGrid(kPuzzle);
        // Texts that read as empty, and digits with spaces, letters or in full width.
        Type(Cell(1), QStringLiteral("abc"));
        Type(Cell(2), QStringLiteral("0"));
        Type(Cell(3), QStringLiteral("   "));
        Type(Cell(4), QStringLiteral("256"));
        QTest::keyClick(Cell(0), Qt::Key_Home);
        Type(Cell(0), QStringLiteral("  "));  // "  4"
        Type(Cell(6), QStringLiteral("x"));   // "8x"
        Cell(8)->selectAll();
        Type(Cell(8), QStringLiteral("\uFF15"));  // a full-width 5
        SetClipboard(QStringLiteral("before"));

        if (how == 0) {
            FocusCell(40);
            QTest::keyClick(Cell(40), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        } else if (how == 1) {
            Button(CvelmoDlg::IDOK)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(Button(CvelmoDlg::IDOK), Qt::Key_C,
                            Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            QMenu* menu = OpenCellMenu(Cell(40));
            QVERIFY(menu != nullptr);
            ClickMenuEntry(menu, QStringLiteral("复制谜题"));
        }
        QCOMPARE(ClipboardText(), kPuzzle);
        // The texts stay as typed, and the line pastes back into a cleared grid.
        QCOMPARE(Cell(0)->text(), QStringLiteral("  4"));
        QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        QCOMPARE(GridText(), QString(81, u'.'));
        QTest::keyClick(Cell(80), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);
    }

    // No line can hold a 10: the copy beeps and leaves the clipboard alone.
    void copyingANumberAboveNineLeavesTheClipboard() {
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        TypeGrid(kPuzzle);
        QTest::keyClicks(Cell(1), QStringLiteral("10"));
        SetClipboard(QStringLiteral("before"));
        QTest::keyClick(Cell(1), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(ClipboardText(), QStringLiteral("before"));
    }

    // The cell's menu: one 撤销 and one 重做, the field's own entries in Chinese as the rest
    // of the window is, then the puzzle entries.
    void cellMenuReadsInChineseWithOneUndo() {
        QMenu* menu = OpenCellMenu(Cell(10));
        QVERIFY(menu != nullptr);
        QStringList entries;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) entries << action->text().section(u'\t', 0, 0);
        }
        QCOMPARE(entries, QStringList({"撤销", "重做", "剪切(&T)", "复制(&C)", "粘贴(&P)", "删除",
                                       "全选", "提示", "候选数", "删去或放回候选数", "解题步骤",
                                       "难度", "取消计算", "高亮相同数字", "粘贴谜题", "打开图片…",
                                       "复制谜题", "继续上次的题目", "新题"}));
        QCOMPARE(MenuEntry(menu, QStringLiteral("复制谜题"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
        QCOMPARE(MenuEntry(menu, QStringLiteral("继续上次的题目"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
        QCOMPARE(MenuEntry(menu, QStringLiteral("撤销"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(MenuEntry(menu, QStringLiteral("打开图片…"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_O));
        // Nothing to undo or redo yet.
        QVERIFY(!MenuEntry(menu, QStringLiteral("撤销"))->isEnabled());
        QVERIFY(!MenuEntry(menu, QStringLiteral("重做"))->isEnabled());
        menu->close();

        // The standard entries still work on the cell itself.
        if (HasClipboard()) {
            SetClipboard(QStringLiteral("7"));
            menu = OpenCellMenu(Cell(10));
            QVERIFY(MenuEntry(menu, QStringLiteral("粘贴谜题"))->isEnabled() == false);
            ClickMenuEntry(menu, menu->actions().at(5)->text());
            QCOMPARE(Cell(10)->text(), QStringLiteral("7"));
        }
        if (QApplication::activePopupWidget() != nullptr)
            QApplication::activePopupWidget()->close();
    }

    // 撤销 and 重做 of grid steps, by key, on a button and in the cell's menu.

    void undoAndRedoGridSteps() {
        // A given typed with spaces and letters comes back as typed.
        TypeGrid(kPuzzle);
        Type(Cell(1), QStringLiteral(" 1x"));
        const QString typed = GridText();
        QList<QString> typedMarks;
        for (int i = 0; i < 81; ++i) typedMarks << Description(i);
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_Return);
        QCOMPARE(GridText(), kSolution);

        auto undo = [this] { QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier); };
        auto redo = [this] { QTest::keyClick(Focus(), Qt::Key_Y, Qt::ControlModifier); };
        auto shiftRedo = [this] {
            QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        };
        auto solvedAgain = [&] {
            QCOMPARE(GridText(), kSolution);
            QCOMPARE(Description(2), Described(2, "已解"));
            QCOMPARE(CellColour(2, QPalette::Text), ThemeColour(QPalette::Link));
        };
        undo();
        QCOMPARE(GridText(), typed);
        QCOMPARE(Cell(1)->text(), QStringLiteral(" 1x"));
        for (int i = 0; i < 81; ++i) QCOMPARE(Description(i), typedMarks[i]);
        undo();  // nothing before the first step
        QCOMPARE(GridText(), typed);
        redo();
        solvedAgain();
        redo();  // nothing after the last
        solvedAgain();

        // Clear is a step too.
        QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        QCOMPARE(GridText(), QString(81, u'.'));
        FocusCell(20);
        undo();
        solvedAgain();
        undo();
        QCOMPARE(GridText(), typed);
        shiftRedo();
        solvedAgain();
        shiftRedo();
        QCOMPARE(GridText(), QString(81, u'.'));

        // And through the cell's menu.
        QMenu* menu = OpenCellMenu(Cell(20));
        QVERIFY(menu != nullptr);
        QVERIFY(!MenuEntry(menu, QStringLiteral("重做"))->isEnabled());
        ClickMenuEntry(menu, QStringLiteral("撤销"));
        solvedAgain();
        menu = OpenCellMenu(Cell(20));
        ClickMenuEntry(menu, QStringLiteral("重做"));
        QCOMPARE(GridText(), QString(81, u'.'));

        // A new step ends what could be redone.
        undo();
        undo();
        QCOMPARE(GridText(), typed);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        FocusCell(20);
        redo();
        solvedAgain();
        undo();
        QCOMPARE(GridText(), typed);
    }

    // With the focus on a button the keys are the window's shortcuts, which need it active.
    void undoKeysWorkOnAButton() {
        if (!m_dlg->isActiveWindow()) QSKIP("the window is not active: no shortcuts");
        TypeGrid(kPuzzle);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        Button(CvelmoDlg::IDC_CLEAR)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);
        QTest::keyClick(Focus(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(GridText(), kSolution);
        QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(GridText(), kSolution);
    }

    // Ctrl+Z undoes the typing in the focused cell while it has any since it got the focus,
    // the last grid step after that; Ctrl+Y likewise. Nothing typed is lost either way.
    void undoTakesTheCellsTypingFirst() {
        TypeGrid(kPuzzle);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        FocusCell(2);
        QTest::keyClick(Cell(2), Qt::Key_End);
        QTest::keyClicks(Cell(2), QStringLiteral("5"));
        QCOMPARE(Cell(2)->text(), QStringLiteral("75"));
        QTest::keyClick(Cell(2), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cell(2)->text(), QStringLiteral("7"));
        QCOMPARE(GridText(), kSolution);
        QTest::keyClick(Cell(2), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Cell(2)->text(), QStringLiteral("75"));
        QTest::keyClick(Cell(2), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(Cell(2), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);

        // Typing in a cell the focus has left and come back to is no longer its own undo.
        // The cell learns that it got the focus from its window, which must be active.
        if (!m_dlg->isActiveWindow()) QSKIP("the window is not active: no focus-in events");
        QTest::keyClick(Cell(2), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(GridText(), kSolution);
        QTest::keyClick(Cell(2), Qt::Key_End);
        QTest::keyClicks(Cell(2), QStringLiteral("6"));
        QTest::keyClick(Cell(2), Qt::Key_Right);
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + 3);
        QTest::keyClick(Cell(3), Qt::Key_Left);
        QCOMPARE(FocusId(), CvelmoDlg::IDC_CELL_FIRST + 2);
        QMenu* menu = OpenCellMenu(Cell(2));
        QVERIFY(menu != nullptr);
        QVERIFY(MenuEntry(menu, QStringLiteral("撤销"))->isEnabled());
        menu->close();
        QTest::keyClick(Cell(2), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);
        QTest::keyClick(Cell(2), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Cell(2)->text(), QStringLiteral("76"));
    }

    void undoGoesBackAThousandSteps() {
        // Step k (1-1005) clears the grid with digit k % 9 + 1 typed in cell k % 81.
        auto digit = [](int k) { return QString::number(k % 9 + 1); };
        for (int k = 1; k <= 1005; ++k) {
            QTest::keyClicks(Cell(k % 81), digit(k));
            QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        }
        FocusCell(0);
        for (int k = 1005; k >= 6; --k) {
            QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(Cell(k % 81)->text(), digit(k));
            QCOMPARE(GridText().count(u'.'), 80);
        }
        QTest::keyClick(Focus(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cell(6)->text(), digit(6));
        for (int k = 6; k <= 1005; ++k) QTest::keyClick(Focus(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(GridText(), QString(81, u'.'));
    }

    void pasteIsAGridStep() {
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        QTest::keyClicks(Cell(40), QStringLiteral("7x"));
        SetClipboard(kPuzzle);
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);
        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cell(40)->text(), QStringLiteral("7x"));
        QCOMPARE(GridText().count(u'.'), 80);
        QTest::keyClick(Cell(40), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(GridText(), kPuzzle);
    }

    // Other code's grid steps, an applied hint, through the dialog's entry point.
    void applyGridStepIsUndoneWhole() {
        TypeGrid(kPuzzle);
        Type(Cell(0), QStringLiteral("x"));  // "4x", read as 4
        PuzzleGrid values{};
        for (int i = 0; i < 81; ++i) values[i] = kPuzzle[i] == u'.' ? 0 : kPuzzle[i].digitValue();
        values[1] = 1;
        values[2] = 7;
        m_dlg->ApplyGridStep(values, true);
        QCOMPARE(Cell(0)->text(), QStringLiteral("4x"));
        QCOMPARE(Cell(1)->text(), QStringLiteral("1"));
        QCOMPARE(Description(1), Described(1, "已解"));
        QCOMPARE(Description(0), Described(0, "给定"));
        FocusCell(50);
        QTest::keyClick(Cell(50), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(Cell(1)->text().isEmpty());
        QVERIFY(Cell(2)->text().isEmpty());
        QCOMPARE(Cell(0)->text(), QStringLiteral("4x"));
        // The same grid again is no step.
        m_dlg->ApplyGridStep(values, true);
        m_dlg->ApplyGridStep(values, true);
        QTest::keyClick(Cell(50), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(Cell(1)->text().isEmpty());
        QTest::keyClick(Cell(50), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(Cell(1)->text().isEmpty());
    }

    // What the solver filled in, and what is wrong.

    void solvedDigitsAreDrawnApartFromGivens() {
        TypeGrid(kPuzzle);
        for (int i = 0; i < 81; ++i) {
            QCOMPARE(Description(i), kPuzzle[i] == u'.' ? Described(i) : Described(i, "给定"));
        }
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
        QVERIFY(ThemeColour(QPalette::Link) != ThemeColour(QPalette::Text));
        for (int i = 0; i < 81; ++i) {
            const bool given = kPuzzle[i] != u'.';
            QCOMPARE(Description(i), Described(i, given ? "给定" : "已解"));
            QCOMPARE(CellColour(i, QPalette::Text),
                     ThemeColour(given ? QPalette::Text : QPalette::Link));
        }
        // As drawn: cell 0 is a given, cell 1 was solved.
        QVERIFY(
            NearerTo(DrawnInk(Cell(0)), ThemeColour(QPalette::Text), ThemeColour(QPalette::Link)));
        QVERIFY(
            NearerTo(DrawnInk(Cell(1)), ThemeColour(QPalette::Link), ThemeColour(QPalette::Text)));

        // Calculating the full grid again keeps the solved digits apart.
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(Description(1), Described(1, "已解"));

        // Editing a solved cell makes it a given; the other solved cells stay solved.
        Cell(1)->selectAll();
        QTest::keyClicks(Cell(1), QStringLiteral("1"));
        QCOMPARE(Description(1), Described(1, "给定"));
        QCOMPARE(CellColour(1, QPalette::Text), ThemeColour(QPalette::Text));
        QCOMPARE(Description(2), Described(2, "已解"));
        QTest::keyClick(Cell(2), Qt::Key_Backspace);
        QCOMPARE(Description(2), Described(2));
        QTest::keyClicks(Cell(2), QStringLiteral("7"));
        QCOMPARE(Description(2), Described(2, "给定"));

        // Clear resets all.
        QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        for (int i = 0; i < 81; ++i) {
            QCOMPARE(Description(i), Described(i));
            QCOMPARE(CellColour(i, QPalette::Text), ThemeColour(QPalette::Text));
        }
        QTest::keyClicks(Cell(1), QStringLiteral("5"));
        QCOMPARE(Description(1), Described(1, "给定"));
    }

    void repeatedDigitsAreMarkedWhileTyping() {
        auto conflicted = [this](int i) {
            const bool described = Description(i).endsWith(QStringLiteral("冲突"));
            const bool coloured =
                CellColour(i, QPalette::Base) == ThemeColour(QPalette::Highlight) &&
                CellColour(i, QPalette::Text) == ThemeColour(QPalette::HighlightedText);
            return described && coloured;
        };
        auto plain = [this](int i) {
            return !Description(i).contains(QStringLiteral("冲突")) &&
                   CellColour(i, QPalette::Base) == ThemeColour(QPalette::Base);
        };
        QTest::keyClicks(Cell(0), QStringLiteral("5"));
        QVERIFY(plain(0));
        QTest::keyClicks(Cell(8), QStringLiteral(" 5x"));  // same row, read as 5
        QVERIFY(conflicted(0));
        QVERIFY(conflicted(8));
        QCOMPARE(Description(0), Described(0, "给定，冲突"));
        QTest::keyClicks(Cell(72), QStringLiteral("5"));  // same column as cell 0
        QTest::keyClicks(Cell(20), QStringLiteral("5"));  // same box as cell 0
        QTest::keyClicks(Cell(40), QStringLiteral("5"));  // in no unit with the others
        QVERIFY(conflicted(72));
        QVERIFY(conflicted(20));
        QVERIFY(plain(40));
        QVERIFY(NearerTo(DrawnBackground(Cell(20)), ThemeColour(QPalette::Highlight),
                         ThemeColour(QPalette::Base)));
        // The digit stands out from the mark as drawn.
        QVERIFY(ThemeColour(QPalette::HighlightedText) != ThemeColour(QPalette::Text));
        QVERIFY(NearerTo(DrawnInk(Cell(20)), ThemeColour(QPalette::HighlightedText),
                         ThemeColour(QPalette::Text)));
        QVERIFY(NearerTo(DrawnBackground(Cell(40)), ThemeColour(QPalette::Base),
                         ThemeColour(QPalette::Highlight)));

        // Calculate still refuses the grid, and the marks stay.
        CBoxAnswerer answerer({QMessageBox::Ok});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text, QStringLiteral("无解！"));
        QVERIFY(conflicted(0));

        // Each mark goes when its repeat goes.
        Cell(8)->selectAll();
        QTest::keyClick(Cell(8), Qt::Key_Delete);
        QVERIFY(plain(8));
        QVERIFY(conflicted(0));
        Cell(72)->selectAll();
        QTest::keyClicks(Cell(72), QStringLiteral("6"));
        QVERIFY(plain(72));
        QVERIFY(conflicted(0));
        QTest::keyClick(Cell(20), Qt::Key_Backspace);
        QVERIFY(plain(0));
        QVERIFY(plain(20));
        QCOMPARE(Description(0), Described(0, "给定"));

        // Numbers above 9 are no digits and repeat nothing, though Calculate refuses them.
        QTest::keyClicks(Cell(1), QStringLiteral("10"));
        QTest::keyClicks(Cell(2), QStringLiteral("10"));
        QVERIFY(plain(1));
        QVERIFY(plain(2));
    }

    // A theme's palette, light or dark, gives the marks their colours.
    void marksFollowThePalette() {
        TypeGrid(kPuzzle);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        Cell(2)->selectAll();
        QTest::keyClicks(Cell(2), QStringLiteral("4"));  // a given that repeats cell 0

        const QPalette before = m_dlg->palette();
        QPalette dark = before;
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::Link, QColor(120, 180, 255));
        dark.setColor(QPalette::Highlight, QColor(200, 60, 60));
        m_dlg->setPalette(dark);
        QCOMPARE(CellColour(0, QPalette::Base), QColor(200, 60, 60));
        QCOMPARE(CellColour(1, QPalette::Text), QColor(120, 180, 255));
        QCOMPARE(CellColour(1, QPalette::Base), QColor(30, 30, 30));
        QCOMPARE(CellColour(6, QPalette::Text), QColor(230, 230, 230));
        QVERIFY(NearerTo(DrawnInk(Cell(1)), QColor(120, 180, 255), QColor(230, 230, 230)));
        m_dlg->setPalette(before);
        QCOMPARE(CellColour(1, QPalette::Text), before.color(QPalette::Link));
        QCOMPARE(CellColour(0, QPalette::Base), before.color(QPalette::Highlight));
    }

    // With two solutions the window shows the first and says nothing, but marks the cells
    // where the other differs.
    void severalSolutionsMarkWhereTheyDiffer() {
        TypeGrid(kTwoSolutionPuzzle);
        CBoxAnswerer answerer({});
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(GridText(), kSolution);
        QVERIFY(answerer.seen.isEmpty());
        QVERIFY(ThemeColour(QPalette::Midlight) != ThemeColour(QPalette::Base));
        for (int i = 0; i < 81; ++i) {
            const bool swapped = kSwappedCells.contains(i);
            QCOMPARE(Description(i), Described(i, swapped ? "已解，多解" : "给定"));
            QCOMPARE(CellColour(i, QPalette::Base),
                     ThemeColour(swapped ? QPalette::Midlight : QPalette::Base));
        }
        QVERIFY(NearerTo(DrawnBackground(Cell(1)), ThemeColour(QPalette::Midlight),
                         ThemeColour(QPalette::Base)));

        // Any edit leaves the solutions found for the old grid behind.
        Cell(40)->selectAll();
        QTest::keyClicks(Cell(40), kSolution.mid(40, 1));
        QCOMPARE(Description(1), Described(1, "已解"));
        QCOMPARE(CellColour(1, QPalette::Base), ThemeColour(QPalette::Base));
        // Calculating again finds them again: the solved cells are not givens.
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        QCOMPARE(Description(1), Described(1, "已解，多解"));
        QTest::mouseClick(Button(CvelmoDlg::IDC_CLEAR), Qt::LeftButton);
        for (int i = 0; i < 81; ++i) QCOMPARE(Description(i), Described(i));
    }

    void aUniqueSolutionMarksNothing() {
        TypeGrid(kPuzzle);
        QTest::mouseClick(Button(CvelmoDlg::IDOK), Qt::LeftButton);
        for (int i = 0; i < 81; ++i) {
            QVERIFY(!Description(i).contains(QStringLiteral("多解")));
            QCOMPARE(CellColour(i, QPalette::Base), ThemeColour(QPalette::Base));
        }
    }

    // Every solved cell that some solution fills otherwise is marked, though no two
    // solutions show them all; a solved cell only one digit fits is not. Typed and
    // calculated with the keys.
    void severalSolutionsMarkEveryCellNotForced() {
        TypeGrid(kFourSolutionPuzzle);
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_Return);
        QCOMPARE(GridText(), kFourSolutionFirst);
        for (int i = 0; i < 81; ++i) {
            const bool given = kFourSolutionPuzzle[i] != u'.';
            const bool unforced = kUnforcedCells.contains(i);
            QCOMPARE(Description(i), Described(i, given      ? "给定"
                                                  : unforced ? "已解，多解"
                                                             : "已解"));
        }
        // Undone and redone with the rest of the grid.
        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Description(51), Described(51));
        QTest::keyClick(Cell(40), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Description(51), Described(51, "已解，多解"));
    }

    void anEmptyGridMarksEverySolvedCell() {
        QTest::keyClick(Button(CvelmoDlg::IDOK), Qt::Key_Enter);
        QCOMPARE(GridText(), kEmptyGridSolution);
        for (int i = 0; i < 81; ++i) QCOMPARE(Description(i), Described(i, "已解，多解"));
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

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    MainDialogTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "main_dialog_test.moc"
