// Puzzles read from pictures in the window, driven as a user drives it: Ctrl+V with a picture
// on the clipboard, a file dropped on the window, 打开图片… in a cell's menu. The reading runs
// off the window's thread, so each check waits for the grid or the message box to change.
#include <QClipboard>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include "app.h"
#include "dialog_driver.h"
#include "main_dialog.h"
#include "picture_input.h"

namespace {

const QString kScans = QStringLiteral(VELMO_SOURCE_DIR "/tests/data/scan/");
// The puzzle drawn in screenshot.png, as a web page shows one, and its solution.
const QString kScreenshotPuzzle =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
const QString kScreenshotSolution =
    "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
// The puzzle in dataset-image13.jpg, a phone photo of a newspaper page.
const QString kPhotoPuzzle =
    "9.3.....2.6.49.1.3...1...........9..3.1..4....8.7.243.1785.93........759...367...";
// How long a reading may take on a loaded machine before a check gives up; far more than
// it needs.
constexpr int kReadingTimeoutMs = 20000;

QImage Picture(const QString& name) {
    QImage image(kScans + name);
    if (image.isNull()) qFatal("cannot load %s", qPrintable(name));
    return image;
}

// `picture` with its light background made transparent, as a drawing on a web page may be:
// the pixels there are transparent black.
QImage Transparent(const QImage& picture) {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int ink = 255 - qGray(line[x]);
            line[x] = qRgba(0, 0, 0, ink);
        }
    }
    return image;
}

}  // namespace

class PictureInputTest : public CDialogDriver {
    Q_OBJECT

  private:
    void FocusCell(int index) {
        Cell(index)->setFocus(Qt::OtherFocusReason);
        QCOMPARE(m_dlg->focusWidget(), Cell(index));
    }
    CPictureInput* Reader() const { return m_dlg->findChild<CPictureInput*>(); }
    // Waits until no reading is under way and the events it sent have arrived.
    void WaitForReading() {
        QTRY_VERIFY_WITH_TIMEOUT(!Reader()->IsReading(), kReadingTimeoutMs);
        QCoreApplication::processEvents();
    }
    QStringList Marked(const QString& mark) const {
        QStringList cells;
        for (int i = 0; i < 81; ++i) {
            if (Cell(i)->accessibleDescription().split(QStringLiteral("，")).contains(mark))
                cells << QString::number(i);
        }
        return cells;
    }

    static bool HasClipboard() {
        QApplication::clipboard()->setText(QStringLiteral("velmo"));
        return QApplication::clipboard()->text() == QLatin1String("velmo");
    }

    // Drags `data` onto `target` and drops it there, as a file manager does; whether the
    // drop was taken.
    static bool Drop(QWidget* target, QMimeData* data) {
        const QPoint point(target->width() / 2, target->height() / 2);
        QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(point), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    // What a file manager puts into a drag of the file `path`: its URL, and its path as text.
    static std::unique_ptr<QMimeData> FileDrag(const QString& path) {
        auto data = std::make_unique<QMimeData>();
        data->setUrls({QUrl::fromLocalFile(path)});
        data->setText(path);
        return data;
    }

  private slots:
    void initTestCase() { QApplication::setApplicationName(QStringLiteral("velmo")); }

    void init() { ShowDialog(); }
    void cleanup() {
        m_dlg.reset();
        QApplication::clipboard()->clear();
    }

    // A picture on the clipboard fills the grid with its givens as one grid step, read off
    // the window's thread; the help and 计算 take it as a new puzzle.
    void pastingAPictureFillsTheGivens_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QString>("puzzle");
        QTest::addColumn<int>("how");  // 0 Ctrl+V, 1 Shift+Insert, 2 the cell's menu
        const QImage screenshot = Picture("screenshot.png");
        QTest::newRow("a screenshot, Ctrl+V") << screenshot << kScreenshotPuzzle << 0;
        QTest::newRow("a screenshot, Shift+Insert") << screenshot << kScreenshotPuzzle << 1;
        QTest::newRow("a photo, the menu") << Picture("dataset-image13.jpg") << kPhotoPuzzle << 2;
        QTest::newRow("a drawing on a transparent background")
            << Transparent(screenshot) << kScreenshotPuzzle << 0;
    }
    void pastingAPictureFillsTheGivens() {
        QFETCH(QImage, picture);
        QFETCH(QString, puzzle);
        QFETCH(int, how);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        QTest::keyClicks(Cell(40), QStringLiteral("7x"));
        QTest::keyClicks(Cell(2), QStringLiteral("9"));
        const QString before = GridText();
        QApplication::clipboard()->setImage(picture);
        FocusCell(40);
        if (how == 0) QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        if (how == 1) QTest::keyClick(Cell(40), Qt::Key_Insert, Qt::ShiftModifier);
        if (how == 2) {
            QMenu* menu = OpenCellMenu(Cell(40));
            QVERIFY(menu != nullptr);
            ClickMenuEntry(menu, QStringLiteral("粘贴谜题"));
        }
        // Nothing is read on the window's thread: the grid waits for the reading's result.
        QVERIFY(Reader()->IsReading());
        QCOMPARE(GridText(), before);
        QTRY_COMPARE_WITH_TIMEOUT(GridText(), puzzle, kReadingTimeoutMs);
        QCOMPARE(m_dlg->focusWidget(), Cell(40));
        for (int i = 0; i < 81; ++i) {
            const QString description = Cell(i)->accessibleDescription();
            QCOMPARE(description.contains(QStringLiteral("给定")), puzzle[i] != u'.');
        }
        QCOMPARE(Marked(QStringLiteral("请核对")), QStringList());

        // One step: 撤销 brings back what was typed, 重做 the reading.
        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), before);
        QCOMPARE(Cell(40)->text(), QStringLiteral("7x"));
        QTest::keyClick(Cell(40), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(GridText(), puzzle);
        if (puzzle == kScreenshotPuzzle) {
            QTest::mouseClick(m_dlg->GetDlgItem(CvelmoDlg::IDOK), Qt::LeftButton);
            QCOMPARE(GridText(), kScreenshotSolution);
        }
    }

    // Puzzle text on the clipboard wins over a picture beside it; other text does not.
    void textOnTheClipboardWinsOverAPicture() {
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        auto* data = new QMimeData;
        data->setText(kPhotoPuzzle);
        data->setImageData(Picture("screenshot.png"));
        QApplication::clipboard()->setMimeData(data);
        FocusCell(0);
        QTest::keyClick(Cell(0), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(GridText(), kPhotoPuzzle);
        QVERIFY(!Reader()->IsReading());
        QTest::qWait(50);
        QCOMPARE(GridText(), kPhotoPuzzle);

        data = new QMimeData;
        data->setText(QStringLiteral("Daily puzzle no. 412"));
        data->setImageData(Picture("screenshot.png"));
        QApplication::clipboard()->setMimeData(data);
        QTest::keyClick(Cell(0), Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(GridText(), kScreenshotPuzzle, kReadingTimeoutMs);
    }

    // A picture without a puzzle says 未找到题目, as the window says 无解！, and changes
    // nothing; bytes that are no picture say so too.
    void aPictureWithoutAPuzzleChangesNothing_data() {
        QTest::addColumn<QString>("picture");  // a file of tests/data/scan, or "" for a blank
        QTest::addColumn<int>("how");          // 0 the clipboard, 1 a dropped file
        QTest::addColumn<QString>("message");
        QTest::newRow("a blank screen on the clipboard") << "" << 0 << "未找到题目";
        QTest::newRow("a picture without a grid on the clipboard")
            << "no-grid.png" << 0 << "未找到题目";
        QTest::newRow("a picture without a grid dropped") << "no-grid.png" << 1 << "未找到题目";
        QTest::newRow("a text file dropped") << "text.png" << 1 << "无法读取图片";
        // A device, read without end, would keep the window from closing.
        QTest::newRow("a device dropped") << "/dev/zero" << 1 << "无法读取图片";
    }
    void aPictureWithoutAPuzzleChangesNothing() {
        QFETCH(QString, picture);
        QFETCH(int, how);
        QFETCH(QString, message);
        if (how == 0 && !HasClipboard()) QSKIP("no clipboard on this platform");
        TypeGrid(kScreenshotPuzzle);
        CBoxAnswerer answerer({});
        FocusCell(1);
        if (how == 0) {
            QImage blank(1920, 1080, QImage::Format_RGB32);
            blank.fill(Qt::darkCyan);
            QApplication::clipboard()->setImage(picture.isEmpty() ? blank : Picture(picture));
            QTest::keyClick(Cell(1), Qt::Key_V, Qt::ControlModifier);
        } else {
            const QString path = picture.startsWith(u'/') ? picture : kScans + picture;
            QVERIFY(Drop(Cell(1), FileDrag(path).get()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 1, kReadingTimeoutMs);
        QCOMPARE(answerer.seen[0].text, message);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("velmo"));
        QCOMPARE(GridText(), kScreenshotPuzzle);
        QCOMPARE(m_dlg->focusWidget(), Cell(1));
    }

    // A picture dropped anywhere on the window fills the grid; the path the drag carries
    // as text never lands in a field.
    void droppingAPictureFillsTheGrid_data() {
        QTest::addColumn<int>("where");  // a cell index, or -1 for Calculate
        QTest::addColumn<bool>("asFile");
        QTest::newRow("a file on an empty cell") << 40 << true;
        QTest::newRow("a file on a cell holding text") << 2 << true;
        QTest::newRow("a file on Calculate") << -1 << true;
        QTest::newRow("a picture from a browser on a cell") << 10 << false;
    }
    void droppingAPictureFillsTheGrid() {
        QFETCH(int, where);
        QFETCH(bool, asFile);
        QTest::keyClicks(Cell(2), QStringLiteral("5"));
        const QString path = kScans + "screenshot.png";
        std::unique_ptr<QMimeData> data = FileDrag(path);
        if (!asFile) {
            data = std::make_unique<QMimeData>();
            data->setImageData(Picture("screenshot.png"));
            data->setText(QStringLiteral("https://example.invalid/puzzle.png"));
        }
        QWidget* target = where < 0 ? m_dlg->GetDlgItem(CvelmoDlg::IDOK) : Cell(where);
        QVERIFY(Drop(target, data.get()));
        QTRY_COMPARE_WITH_TIMEOUT(GridText(), kScreenshotPuzzle, kReadingTimeoutMs);
        for (int i = 0; i < 81; ++i) QVERIFY(Cell(i)->text().size() <= 1);
        QTest::keyClick(Cell(0), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), QString(2, u'.') + "5" + QString(78, u'.'));
    }

    // Text dragged onto a cell still drops into it, as into any field.
    void droppingTextStillDropsIntoTheCell() {
        QMimeData data;
        data.setText(QStringLiteral("7"));
        QVERIFY(Drop(Cell(5), &data));
        QCOMPARE(Cell(5)->text(), QStringLiteral("7"));
        QVERIFY(!Reader()->IsReading());
    }

    // 打开图片… (in each cell's menu, and Ctrl+O) opens a file dialog that waits for the
    // person without blocking the window; the file chosen is read.
    void openingAPictureFromTheMenu_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("the cell's menu") << false;
        QTest::newRow("Ctrl+O") << true;
    }
    void openingAPictureFromTheMenu() {
        QFETCH(bool, byKey);
        FocusCell(30);
        if (byKey) {
            QTest::keyClick(Cell(30), Qt::Key_O, Qt::ControlModifier);
        } else {
            QMenu* menu = OpenCellMenu(Cell(30));
            QVERIFY(menu != nullptr);
            ClickMenuEntry(menu, QStringLiteral("打开图片…"));
        }
        QFileDialog* files = nullptr;
        QTRY_VERIFY((files = m_dlg->findChild<QFileDialog*>()) != nullptr && files->isVisible());
        files->selectFile(kScans + "dataset-image13.jpg");
        QMetaObject::invokeMethod(files, "accept");
        QTRY_COMPARE_WITH_TIMEOUT(GridText(), kPhotoPuzzle, kReadingTimeoutMs);
        QTRY_VERIFY(m_dlg->findChild<QFileDialog*>() == nullptr);
    }

    // A cell the reader was unsure of, or the solver's check changed, is marked (its colour
    // and its description) until the person types into it; 撤销 and 重做 take the mark with
    // the grid.
    void cellsToCheckAreMarkedUntilTypedInto_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("cell");
        QTest::addColumn<QString>("digit");
        // r1c1's 4 half rubbed out: read, but not surely.
        QTest::newRow("read unsurely") << "screenshot-half-erased.png" << 0 << "4";
        // r1c7's 8 rubbed out below: read as empty, put back by the solver.
        QTest::newRow("changed by the solver") << "screenshot-8-rubbed-out.png" << 6 << "8";
    }
    void cellsToCheckAreMarkedUntilTypedInto() {
        QFETCH(QString, picture);
        QFETCH(int, cell);
        QFETCH(QString, digit);
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        const QStringList marked{QString::number(cell)};
        QApplication::clipboard()->setImage(Picture(picture));
        FocusCell(40);
        QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(GridText(), kScreenshotPuzzle, kReadingTimeoutMs);
        QCOMPARE(Marked(QStringLiteral("请核对")), marked);
        QCOMPARE(Cell(cell)->accessibleDescription(),
                 QStringLiteral("Cell %1，给定，请核对").arg(1000 + cell));
        const QColor colour = m_dlg->palette().color(QPalette::ToolTipBase);
        QCOMPARE(Cell(cell)->palette().color(QPalette::Base), colour);
        QVERIFY(Cell(cell == 0 ? 6 : 0)->palette().color(QPalette::Base) != colour);

        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Marked(QStringLiteral("请核对")), QStringList());
        QTest::keyClick(Cell(40), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Marked(QStringLiteral("请核对")), marked);

        // Typing the digit the person sees there ends the mark, even the same digit.
        FocusCell(cell);
        Cell(cell)->selectAll();
        QTest::keyClicks(Cell(cell), digit);
        QCOMPARE(Marked(QStringLiteral("请核对")), QStringList());
        QCOMPARE(Cell(cell)->accessibleDescription(),
                 QStringLiteral("Cell %1，给定").arg(1000 + cell));
        QVERIFY(Cell(cell)->palette().color(QPalette::Base) != colour);
    }

    // Closing the window while a picture is being read neither waits long nor crashes, and
    // the reading's result goes nowhere.
    void closingWhileReading() {
        if (!HasClipboard()) QSKIP("no clipboard on this platform");
        QApplication::clipboard()->setImage(Picture("dataset-image13.jpg"));
        FocusCell(0);
        QTest::keyClick(Cell(0), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(Reader()->IsReading());
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        m_dlg.reset();
        QTest::qWait(200);
    }
};

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    PictureInputTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "picture_input_test.moc"
