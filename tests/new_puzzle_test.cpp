// 新题 driven as a person drives it: Ctrl+N, a level and symmetry chosen with keys, 生成, and
// the puzzle in the grid as one undo step; cancelling, and closing while a puzzle is made.
// Runs headless; nothing waits on a modal box.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QtTest>

#include "app.h"
#include "dialog_driver.h"
#include "grid_solver.h"
#include "levels.h"
#include "logic.h"
#include "main_dialog.h"
#include "new_puzzle_dialog.h"

namespace {

// An easy puzzle, typed in before a new one is made.
const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";
const QString kEmpty(kCellCount, QLatin1Char('.'));
constexpr int kHardest = int(kLevels.size()) - 1;
// A puzzle of the hardest level takes a second or two on two threads, the others far less; a
// build with sanitizers takes longer.
int MakeTimeoutMs(int level) {
    return level + 1 == int(kLevels.size()) ? 180'000 : 30'000;
}

}  // namespace

class NewPuzzleTest : public CDialogDriver {
    Q_OBJECT

  private:
    PuzzleGrid Grid() const {
        PuzzleGrid grid{};
        const QString text = GridText();
        for (int i = 0; i < kCellCount; ++i) {
            grid[i] = text[i] == u'.' ? 0 : uint8_t(text[i].digitValue());
        }
        return grid;
    }
    // Ctrl+`key` in `cell`, the window made active again first: the chooser may have had it.
    void Press(int cell, Qt::Key key) {
        m_dlg->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), m_dlg.get());
        CDialogDriver::Press(cell, key);
    }
    CNewPuzzleDialog* Chooser() const { return m_dlg->findChild<CNewPuzzleDialog*>(); }
    // Ctrl+N in a cell, then the level and the symmetry chosen with the chooser's keys.
    void Choose(int level, bool symmetric) {
        Press(40, Qt::Key_N);
        CNewPuzzleDialog* chooser = Chooser();
        QVERIFY(chooser != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(chooser));
        chooser->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), chooser);
        QTest::keyClick(chooser, Qt::Key_L, Qt::AltModifier);
        auto* levels = qobject_cast<QComboBox*>(chooser->focusWidget());
        QVERIFY2(levels != nullptr, chooser->focusWidget()
                                        ? chooser->focusWidget()->metaObject()->className()
                                        : "none");
        QTest::keyClick(levels, Qt::Key_Home);
        for (int k = 0; k < level; ++k) QTest::keyClick(levels, Qt::Key_Down);
        QCOMPARE(levels->currentIndex(), level);
        QTest::keyClick(levels, Qt::Key_Tab);
        auto* symmetry = qobject_cast<QCheckBox*>(chooser->focusWidget());
        QVERIFY(symmetry != nullptr);
        if (symmetry->isChecked() != symmetric) QTest::keyClick(symmetry, Qt::Key_Space);
        QCOMPARE(symmetry->isChecked(), symmetric);
    }
    // 生成, by Enter in the chooser.
    void Generate() { QTest::keyClick(Chooser()->focusWidget(), Qt::Key_Return); }
    QString Description(int cell) const {
        return QAccessible::queryAccessibleInterface(Cell(cell))->text(QAccessible::Description);
    }
    // Waits for a new puzzle other than `before`, and checks it: one solution, rated within
    // `level`'s band, every digit a given, symmetric under a half turn when asked.
    void CheckNewPuzzle(const QString& before, int level, bool symmetric) {
        QTRY_VERIFY_WITH_TIMEOUT(GridText() != before && !Chooser()->IsGenerating(),
                                 MakeTimeoutMs(level));
        const PuzzleGrid grid = Grid();
        const QByteArray shown = GridText().toLatin1();
        QCOMPARE(CountSolutions(grid.data()).count, 1);
        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(grid));
        QVERIFY2(
            rating.rating >= kLevels[level].minRating && rating.rating <= kLevels[level].maxRating,
            qPrintable(QStringLiteral("%1 rated %2").arg(shown).arg(rating.rating)));
        for (int i = 0; i < kCellCount; ++i) {
            if (grid[i] != 0) QVERIFY2(Description(i).contains(QStringLiteral("给定")), shown);
            if (symmetric) QVERIFY2((grid[i] == 0) == (grid[80 - i] == 0), shown);
        }
        QVERIFY2(Chooser()->StatusText().contains(QString::number(rating.rating / 10.0, 'f', 1)),
                 qPrintable(Chooser()->StatusText()));
    }

  private slots:
    void init() {
        if (OnWayland()) QSKIP("the window cannot be activated here");
        ShowDialog();
    }
    void cleanup() { m_dlg.reset(); }

    void eachLevelAsOneUndoStep_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("symmetric");
        for (int level = 0; level < int(kLevels.size()); ++level) {
            QTest::addRow("level %d", level) << level << false;
        }
        QTest::newRow("level 2 symmetric") << 2 << true;
        QTest::newRow("level 4 symmetric") << 4 << true;
    }
    void eachLevelAsOneUndoStep() {
        QFETCH(int, level);
        QFETCH(bool, symmetric);
        Choose(level, symmetric);
        Generate();
        CheckNewPuzzle(kEmpty, level, symmetric);
        Press(0, Qt::Key_Z);
        QCOMPARE(GridText(), kEmpty);
    }

    // Each press makes another puzzle, each one grid step; the help takes the new puzzle
    // for the puzzle, not the digits for entries into the one it had before.
    void eachPressAnotherPuzzleForTheHelp() {
        TypeGrid(kEasy);
        Press(0, Qt::Key_R);  // the help fixes kEasy as its puzzle
        Choose(0, false);
        Generate();
        CheckNewPuzzle(kEasy, 0, false);
        const QString first = GridText();
        Generate();
        CheckNewPuzzle(first, 0, false);
        Press(0, Qt::Key_Z);
        QCOMPARE(GridText(), first);
        Press(0, Qt::Key_Z);
        QCOMPARE(GridText(), kEasy);
    }

    void cancelLeavesTheGrid() {
        Choose(kHardest, false);
        Generate();
        QVERIFY(Chooser()->IsGenerating());
        auto* busy = Chooser()->findChild<QProgressBar*>();
        QVERIFY(busy->isVisible());
        QTest::keyClick(Chooser(), Qt::Key_Period, Qt::ControlModifier);
        QVERIFY(!busy->isVisible());
        QVERIFY(!Chooser()->IsGenerating());
        QCOMPARE(Chooser()->StatusText(), QStringLiteral("已取消。"));
        QTest::qWait(500);
        QCOMPARE(GridText(), kEmpty);
        QVERIFY(Chooser()->isVisible());
    }

    // Escape in the chooser closes it and drops the work; Escape in the window closes both;
    // the window going away while a puzzle is being made neither hangs nor crashes.
    void escapeWhileGenerating() {
        Choose(kHardest, false);
        Generate();
        QTest::keyClick(Chooser()->focusWidget(), Qt::Key_Escape);
        QVERIFY(!Chooser()->isVisible());
        QVERIFY(!Chooser()->IsGenerating());
        QTest::qWait(500);
        QCOMPARE(GridText(), kEmpty);

        Choose(kHardest, false);
        Generate();
        Cell(40)->setFocus(Qt::OtherFocusReason);
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        QTest::keyClick(Cell(40), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        QVERIFY(!Chooser()->isVisible());
        QVERIFY(!Chooser()->IsGenerating());

        m_dlg->show();
        Choose(kHardest, true);
        Generate();
        QVERIFY(Chooser()->IsGenerating());
        m_dlg.reset();
    }
};

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    NewPuzzleTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "new_puzzle_test.moc"
