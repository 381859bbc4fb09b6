// The window's help driven as a person drives it: Ctrl+H three times, the candidates view
// with strike-outs by key, the steps window, the rating, and what the help says about a
// puzzle without one solution or a wrong entry. Runs headless; nothing waits on a modal box.
#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QtTest>

#include "app.h"
#include "candidate_painting.h"
#include "dialog_driver.h"
#include "explain_text.h"
#include "grid_solver.h"
#include "logic.h"
#include "main_dialog.h"
#include "puzzle_text.h"
#include "steps_window.h"

namespace {

// An easy puzzle: its path needs nothing beyond singles and simple eliminations.
const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";
// Two cells swap between its two solutions.
const QString kTwoSolutions =
    "4.7.698256.2.58947958724316825437169791586432346912758289643571573291684164875293";
// Consistent, but cell 0 has no candidate left: 1-8 in its row, 9 in its column.
const QString kNoSolution =
    ".12345678"
    "9........"
    "........."
    "........."
    "........."
    "........."
    "........."
    "........."
    ".........";

PuzzleGrid Grid(const QString& text) {
    PuzzleGrid grid{};
    for (int i = 0; i < kCellCount; ++i)
        grid[i] = text[i] == u'.' ? 0 : uint8_t(text[i].digitValue());
    return grid;
}

PuzzleGrid Solution(const QString& text) {
    const CSolutionCount count = CountSolutions(Grid(text).data());
    return count.solutions[0];
}

// The digits no cell of `cell`'s units holds in `grid`, as the screen reader hears them.
QString SpokenCandidates(const PuzzleGrid& grid, int cell) {
    QStringList digits;
    for (int d = 1; d <= 9; ++d) {
        bool seen = false;
        for (uint8_t peer : kCellPeers[cell]) seen = seen || grid[peer] == d;
        if (!seen) digits << QString::number(d);
    }
    return QStringLiteral("候选数 ") + digits.join(u' ');
}

}  // namespace

class ExplainTest : public CDialogDriver {
    Q_OBJECT

  private:
    QLabel* Popup() const { return m_dlg->findChild<QLabel*>(QStringLiteral("explainPopup")); }
    // What a screen reader hears from the popup, once it is up.
    QString Said() const {
        QLabel* popup = Popup();
        if (popup == nullptr || !popup->isVisible()) return {};
        return QAccessible::queryAccessibleInterface(popup)->text(QAccessible::Name);
    }
    CCellOverlay* Overlay(int cell) const { return Cell(cell)->findChild<CCellOverlay*>(); }

  private slots:
    void init() {
        // The keys are the window's shortcuts, which need it active; a Wayland client cannot
        // activate its own window.
        if (OnWayland()) QSKIP("the window cannot be activated here");
        ShowDialog();
    }
    void cleanup() { m_dlg.reset(); }

    void hintInThreePresses() {
        // Three cells left, each the last of its row, column and box: full houses.
        const PuzzleGrid solution = Solution(kEasy);
        QString grid;
        for (int i = 0; i < kCellCount; ++i) grid += QString::number(solution[i]);
        for (int i : {0, 40, 80}) grid[i] = u'.';
        TypeGrid(grid);

        Press(40, Qt::Key_H);
        // Under load the "working" text may come first; the hint replaces it.
        const QString fullHouse = CExplainText::TechniqueText(CTechnique::kFullHouse);
        QTRY_VERIFY2(Said().contains(fullHouse) && Said().contains(QStringLiteral("看第")),
                     qPrintable(Said()));
        QCOMPARE(GridText(), grid);

        QTest::keyClick(Cell(40), Qt::Key_H, Qt::ControlModifier);
        QVERIFY2(Said().contains(QStringLiteral("只能填")), qPrintable(Said()));
        // The cell it fills carries the digit, painted inside it and not in its text.
        int target = -1;
        for (int i : {0, 40, 80}) {
            if (Said().contains(QStringLiteral("r%1c%2").arg(i / 9 + 1).arg(i % 9 + 1))) target = i;
        }
        QVERIFY(target >= 0);
        QCOMPARE(Overlay(target)->Picture().placedDigits, uint16_t(1u << solution[target]));
        QVERIFY(Cell(target)->text().isEmpty());

        QTest::keyClick(Cell(40), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(Cell(target)->text(), QString::number(solution[target]));
        QVERIFY(Said().startsWith(QStringLiteral("已应用")));
        QVERIFY(Cell(target)->accessibleDescription().endsWith(QStringLiteral("填入")));
        QCOMPARE(Overlay(target)->Picture().placedDigits, uint16_t(0));
        // One step, which 撤销 takes back.
        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), grid);
        QTest::keyClick(Cell(40), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Cell(target)->text(), QString::number(solution[target]));
        // A strike-out after it is a step of its own, which 撤销 takes back alone.
        const int other = target == 0 ? 80 : 0;
        const QString digit = QString::number(solution[other]);
        Press(other, Qt::Key(Qt::Key_0 + solution[other]));
        QVERIFY2(!HeardCandidates(other).contains(digit), qPrintable(HeardCandidates(other)));
        QTest::keyClick(Cell(other), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY2(HeardCandidates(other).contains(digit), qPrintable(HeardCandidates(other)));
        QCOMPARE(Cell(target)->text(), QString::number(solution[target]));
        QTest::keyClick(Cell(other), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), grid);

        // Typing dismisses what the help shows; Escape still closes the window.
        Press(40, Qt::Key_H);
        QTRY_VERIFY(!Said().isEmpty());
        QTest::keyClicks(Cell(0), QStringLiteral("1"));
        QVERIFY(Said().isEmpty());
        QTest::keyClick(Cell(0), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
    }

    void candidatesFollowTypingAndStrikeOuts() {
        TypeGrid(kEasy);
        QVERIFY(HeardCandidates(0).isEmpty());
        const QImage plain = Cell(0)->grab().toImage();
        Press(0, Qt::Key_M);
        const PuzzleGrid grid = Grid(kEasy);
        for (int i = 0; i < kCellCount; ++i) {
            QCOMPARE(HeardCandidates(i), grid[i] ? QString() : SpokenCandidates(grid, i));
        }
        QVERIFY(Cell(0)->text().isEmpty());
        QVERIFY(Cell(0)->grab().toImage() != plain);

        // A digit typed is an entry, drawn apart from the givens; its peers lose it.
        const int d = Solution(kEasy)[1];
        QTest::keyClicks(Cell(1), QString::number(d));
        QVERIFY(Cell(1)->accessibleDescription().endsWith(QStringLiteral("填入")));
        QVERIFY(Cell(2)->accessibleDescription().endsWith(QStringLiteral("给定")));
        PuzzleGrid typed = grid;
        typed[1] = uint8_t(d);
        QCOMPARE(HeardCandidates(0), SpokenCandidates(typed, 0));
        QCOMPARE(HeardCandidates(1), QString());
        // Erasing a given changes the puzzle; the entry stays an entry.
        Cell(2)->setFocus(Qt::OtherFocusReason);
        Cell(2)->selectAll();
        QTest::keyClick(Cell(2), Qt::Key_Delete);
        typed[2] = 0;
        QCOMPARE(HeardCandidates(2), SpokenCandidates(typed, 2));
        QCOMPARE(HeardCandidates(0), SpokenCandidates(typed, 0));
        QVERIFY(Cell(1)->accessibleDescription().endsWith(QStringLiteral("填入")));

        // Ctrl+digit strikes a candidate out and puts it back.
        const QString before = HeardCandidates(0);
        const int first = before.split(u' ').at(1).toInt();
        Press(0, Qt::Key(Qt::Key_0 + first));
        QVERIFY(!HeardCandidates(0).split(u' ').contains(QString::number(first)));
        Press(0, Qt::Key(Qt::Key_0 + first));
        QCOMPARE(HeardCandidates(0), before);

        // Ctrl+M again hides them.
        Press(0, Qt::Key_M);
        QCOMPARE(HeardCandidates(0), QString());
    }

    void pastedPencilMarksFillTheFieldsAndTheCandidates() {
        // kEasy's candidates, one of cell 0's struck out beforehand.
        const PuzzleGrid grid = Grid(kEasy);
        CCandidateGrid marked = *CCandidateGrid::FromGivens(grid);
        const int solved = Solution(kEasy)[0];
        const int struck = std::countr_zero(unsigned(marked.masks[0] & ~(1u << solved)));
        marked.masks[0] &= uint16_t(~(1u << struck));
        CandidateMasks masks = marked.masks;
        for (int i = 0; i < kCellCount; ++i) {
            if (grid[i] != 0) masks[i] = uint16_t(1u << grid[i]);
        }
        QApplication::clipboard()->setText(QString::fromStdString(PencilMarksToLine(masks)));
        if (QApplication::clipboard()->text().size() != 729) QSKIP("no clipboard here");
        Cell(40)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(GridText(), kEasy);
        QVERIFY(Cell(2)->accessibleDescription().endsWith(QStringLiteral("给定")));
        QStringList heard = SpokenCandidates(grid, 0).split(u' ');
        heard.removeAll(QString::number(struck));
        QCOMPARE(HeardCandidates(0), heard.join(u' '));
        QCOMPARE(HeardCandidates(1), SpokenCandidates(grid, 1));
        // The help works from those candidates.
        Press(40, Qt::Key_H);
        QTRY_VERIFY(Said().startsWith(QStringLiteral("提示")));
        // 撤销 takes the paste back whole, the puzzle of the candidates view with it.
        QTest::keyClick(Cell(40), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(GridText(), QString(kCellCount, u'.'));
        QCOMPARE(HeardCandidates(0), QStringLiteral("候选数 1 2 3 4 5 6 7 8 9"));
    }

    void stepsWindowListsThePath() {
        TypeGrid(kEasy);
        Press(0, Qt::Key_J);
        CStepsWindow* window = m_dlg->findChild<CStepsWindow*>();
        QVERIFY(window != nullptr && window->isVisible());
        QVERIFY(!window->isModal());

        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(Grid(kEasy)), true);
        QCOMPARE(rating.outcome, CRating::kRated);
        auto* list = window->findChild<QListWidget*>();
        QTRY_COMPARE(list->count(), int(rating.path.size()));
        for (int n = 0; n < list->count(); ++n) {
            QVERIFY(list->item(n)->text().contains(
                CExplainText::TechniqueText(rating.path[n].technique)));
        }
        // Choosing a step shows its grid with the step's pattern marked.
        const int last = list->count() - 1;
        list->setCurrentRow(last);
        const CGridPicture& picture = window->findChild<CStepGridView*>()->Picture();
        for (const CCandidate& placed : rating.path[last].placements) {
            QCOMPARE(picture[placed.cell].placedDigits, uint16_t(1u << placed.digit));
        }
        int filled = 0, expected = kCellCount - int(std::count(kEasy.begin(), kEasy.end(), u'.'));
        for (const CCellPicture& cell : picture) filled += cell.value != 0;
        for (int n = 0; n < last; ++n) expected += int(rating.path[n].placements.size());
        QCOMPARE(filled, expected);
        // The window is the person's to close; the dialog goes on.
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QVERIFY(m_dlg->isVisible());
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));

        Press(0, Qt::Key_R);
        QTRY_VERIFY(Said().contains(QStringLiteral("难度")));
        QVERIFY(Said().contains(
            QStringLiteral("%1.%2").arg(rating.rating / 10).arg(rating.rating % 10)));
        QVERIFY(Said().contains(CExplainText::TechniqueText(rating.hardest)));
    }

    void afterCalculateTheHelpDescribesThePuzzle() {
        TypeGrid(kEasy);
        QTest::keyClick(Cell(40), Qt::Key_Return);
        QVERIFY(!GridText().contains(u'.'));
        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(Grid(kEasy)));
        QVERIFY(rating.rating > 10);
        Press(0, Qt::Key_R);
        QTRY_VERIFY(Said().contains(QStringLiteral("难度")));
        QVERIFY2(Said().contains(
                     QStringLiteral("%1.%2").arg(rating.rating / 10).arg(rating.rating % 10)),
                 qPrintable(Said()));
        QVERIFY(Said().contains(CExplainText::TechniqueText(rating.hardest)));
        Press(0, Qt::Key_H);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("已经全部填好")), qPrintable(Said()));
    }

    void saysWhenThereIsNoStep_data() {
        QTest::addColumn<QString>("puzzle");
        QTest::addColumn<QString>("said");
        QTest::newRow("no solution") << kNoSolution << QStringLiteral("无解");
        QTest::newRow("several") << kTwoSolutions << QStringLiteral("多解");
    }
    void saysWhenThereIsNoStep() {
        QFETCH(QString, puzzle);
        QFETCH(QString, said);
        TypeGrid(puzzle);
        Press(1, Qt::Key_H);
        QTRY_VERIFY(Said().startsWith(said));
        Press(1, Qt::Key_R);
        QTRY_VERIFY(Said().startsWith(said));
        QCOMPARE(GridText(), puzzle);
    }

    // An empty grid has many solutions, but what the person needs to hear is to type one in.
    void anEmptyGridAsksForAPuzzle() {
        Press(40, Qt::Key_H);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("请先输入题目")), qPrintable(Said()));
        Press(40, Qt::Key_R);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("请先输入题目")), qPrintable(Said()));
        QCOMPARE(GridText(), QString(81, QLatin1Char('.')));
    }

    void wrongEntryIsReported() {
        TypeGrid(kEasy);
        Press(0, Qt::Key_M);
        const int right = Solution(kEasy)[0];
        const int wrong = right == 9 ? 1 : right + 1;
        QTest::keyClicks(Cell(0), QString::number(wrong));
        Press(10, Qt::Key_H);
        QTRY_VERIFY2(
            Said().startsWith(QStringLiteral("r1c1")) && Said().contains(QStringLiteral("不同")),
            qPrintable(Said()));
        QVERIFY(Overlay(0)->Picture().patternCell);
    }
};

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    ExplainTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "explain_test.moc"
