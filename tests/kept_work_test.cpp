// The puzzle in progress kept between runs, driven as a person drives the window: work, close,
// start again, 继续上次的题目; and a kept file that is damaged, of another version or
// unreadable. Runs headless; the kept file lives in the test's own state folder.
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "dialog_driver.h"
#include "grid_solver.h"
#include "kept_work.h"
#include "main_dialog.h"

namespace {

const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";

PuzzleGrid GridOf(const QString& text) {
    PuzzleGrid grid{};
    for (int i = 0; i < kCellCount; ++i) {
        grid[i] = text[i] == u'.' ? 0 : uint8_t(text[i].digitValue());
    }
    return grid;
}

}  // namespace

class KeptWorkTest : public CDialogDriver {
    Q_OBJECT

  private:
    QTemporaryDir m_state;

    // Closes the window by Escape, as a person ends it, and opens a new one.
    void CloseAndStartAgain() {
        QTest::keyClick(Cell(40), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        ShowDialog();
        QCOMPARE(GridText(), QString(kCellCount, u'.'));
    }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

  private slots:
    void init() {
        if (OnWayland()) QSKIP("the window cannot be activated here");
        QVERIFY(m_state.isValid());
        qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
        QDir(m_state.path()).removeRecursively();
        ShowDialog();
    }
    void cleanup() { m_dlg.reset(); }

    void closeAndContinueBringsTheWorkBackAsOneStep() {
        TypeGrid(kEasy);
        // The candidates view fixes the puzzle; then a strike-out and, last, an entry.
        Press(0, Qt::Key_M);
        const QString before = HeardCandidates(0);
        const QString struck = before.split(u' ').at(1);
        Press(0, Qt::Key(Qt::Key_0 + struck.toInt()));
        QVERIFY(!HeardCandidates(0).split(u' ').contains(struck));
        const int entry = CountSolutions(GridOf(kEasy).data()).solutions[0][1];
        QTest::keyClicks(Cell(1), QString::number(entry));
        const QString after = HeardCandidates(0);
        QVERIFY(!after.split(u' ').contains(struck));
        const QString worked = GridText();
        QVERIFY(QFile::exists(KeptWorkPath()));

        CloseAndStartAgain();
        QVERIFY(HeardCandidates(0).isEmpty());
        Press(40, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(GridText(), worked);
        QVERIFY(Cell(1)->accessibleDescription().endsWith(QStringLiteral("填入")));
        QVERIFY(Cell(2)->accessibleDescription().endsWith(QStringLiteral("给定")));
        QCOMPARE(HeardCandidates(0), after);

        // One undo takes it all back; one redo brings it again.
        Press(40, Qt::Key_Z);
        QCOMPARE(GridText(), QString(kCellCount, u'.'));
        Press(40, Qt::Key_Y);
        QCOMPARE(GridText(), worked);
        QCOMPARE(HeardCandidates(0), after);

        // The menu entry does the same in a new window; an empty grid hides no kept work.
        QTest::mouseClick(qobject_cast<QWidget*>(m_dlg->GetDlgItem(CvelmoDlg::IDC_CLEAR)),
                          Qt::LeftButton);
        CloseAndStartAgain();
        QAction* menuEntry = nullptr;
        for (QAction* action : m_dlg->actions()) {
            if (action->text() == QStringLiteral("继续上次的题目")) menuEntry = action;
        }
        QVERIFY(menuEntry != nullptr);
        menuEntry->trigger();
        QCOMPARE(GridText(), worked);
    }

    void badKeptFilesAreSetAside_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("folder");
        const QByteArray good = KeptWorkText(CKeptWork{});
        QTest::newRow("damaged") << good.left(good.size() / 2) << false;
        QTest::newRow("other version")
            << QByteArray("velmo kept puzzle 2\n") + good.mid(20) << false;
        QTest::newRow("foreign") << QByteArray("\x89PNG\r\n\x1a\n") << false;
        QTest::newRow("unreadable") << QByteArray() << true;
    }
    void badKeptFilesAreSetAside() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, folder);
        const QString path = KeptWorkPath();
        if (folder) {
            QVERIFY(QDir().mkpath(path));
        } else {
            WriteFile(path, bytes);
        }
        Press(40, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(GridText(), QString(kCellCount, u'.'));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".bad")));
        // Nothing to undo, and the work of this run is kept again.
        QTest::keyClicks(Cell(3), QStringLiteral("5"));
        QVERIFY(QFileInfo(path).isFile());
    }

    void keptTextIsReadStrictly() {
        CKeptWork work;
        work.givens[0] = 5;
        work.entries[1] = 3;
        work.struck[2] = uint16_t(1u << 9 | 1u << 1);
        QString why;
        QVERIFY(ReadKeptWorkText(KeptWorkText(work), why) == work);
        auto broken = [&](CKeptWork bad) {
            return !ReadKeptWorkText(KeptWorkText(bad), why).has_value();
        };
        CKeptWork entryOnGiven = work;
        entryOnGiven.entries[0] = 4;
        QVERIFY(broken(entryOnGiven));
        CKeptWork struckGiven = work;
        struckGiven.struck[0] = 2;
        QVERIFY(broken(struckGiven));
        CKeptWork struckZero = work;
        struckZero.struck[2] = 1;
        QVERIFY(broken(struckZero));
        QByteArray text = KeptWorkText(work);
        text[30] = 'x';
        QVERIFY(!ReadKeptWorkText(text, why).has_value());
        QVERIFY(!ReadKeptWorkText(KeptWorkText(work) + "more\n", why).has_value());
    }
};

QTEST_MAIN(KeptWorkTest)
#include "kept_work_test.moc"
