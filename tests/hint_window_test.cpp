// The hint beside the grid and the chains drawn over it, driven by keys as a person drives
// them: the hint's window covers no field and keeps its terms whole, Escape still ends the
// dialog, a chain hint draws the links its step holds, and the steps window fits its lines
// and draws the chain of the step chosen. Runs headless; nothing waits on a modal box.
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

#include "app.h"
#include "candidate_painting.h"
#include "chain_painting.h"
#include "dialog_driver.h"
#include "explain_text.h"
#include "hint.h"
#include "hint_window.h"
#include "logic.h"
#include "main_dialog.h"
#include "puzzle_text.h"
#include "steps_window.h"

namespace {

// An easy puzzle: its path needs nothing beyond singles and simple eliminations.
const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";
// Puzzles whose paths need a chain technique.
const QString kThreeLinkXChain =
    "400003009050607080000590000120000890003000100097000024000068000030905070900400005";
const QString kNested =
    "000000008003000400090020060000079000000061200060502070008000500010000020405000003";

PuzzleGrid Grid(const QString& text) {
    PuzzleGrid grid{};
    for (int i = 0; i < kCellCount; ++i) {
        grid[i] = text[i] == u'.' ? 0 : uint8_t(text[i].digitValue());
    }
    return grid;
}

// The grid before the first step of `technique` on the path of `puzzle`, as pencil marks.
std::optional<CandidateMasks> BeforeFirst(const QString& puzzle, CTechnique technique) {
    const CCandidateGrid start = *CCandidateGrid::FromGivens(Grid(puzzle));
    const CRating rating = RatePuzzle(start, true);
    const std::vector<CCandidateGrid> grids = GridsAlongPath(start, rating.path);
    for (size_t n = 0; n < rating.path.size(); ++n) {
        if (rating.path[n].technique != technique) continue;
        CandidateMasks masks = grids[n].masks;
        for (int i = 0; i < kCellCount; ++i) {
            if (grids[n].values[i] != 0) masks[i] = uint16_t(1u << grids[n].values[i]);
        }
        return masks;
    }
    return std::nullopt;
}

// Why `lines`, the text `text` broken into lines, split a term, or empty when none is split.
QString SplitTerm(const QString& text, const QStringList& lines) {
    if (lines.join(QString()) != text) return QStringLiteral("the lines are not the text");
    std::vector<qsizetype> breaks;
    qsizetype at = 0;
    for (const QString& line : lines.sliced(0, lines.size() - 1))
        breaks.push_back(at += line.size());
    // Cells, what a step does to them, and the names of techniques and links.
    QStringList terms{QStringLiteral("强链"), QStringLiteral("弱链")};
    for (CTechnique technique : kTechniques) terms << CExplainText::TechniqueText(technique);
    static const QRegularExpression kCellTerm(QStringLiteral("r\\dc\\d(填\\d|的\\d)?"));
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    for (auto match = kCellTerm.globalMatch(text); match.hasNext();) {
        const auto found = match.next();
        spans.push_back({found.capturedStart(), found.capturedEnd()});
    }
    for (const QString& term : terms) {
        for (qsizetype from = text.indexOf(term); from >= 0; from = text.indexOf(term, from + 1)) {
            spans.push_back({from, from + term.size()});
        }
    }
    for (const auto& [begin, end] : spans) {
        for (qsizetype split : breaks) {
            if (split > begin && split < end) {
                return QStringLiteral("broken inside %1").arg(text.mid(begin, end - begin));
            }
        }
    }
    return {};
}

QRect GlobalRect(const QWidget* widget) {
    return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
}

}  // namespace

class HintWindowTest : public CDialogDriver {
    Q_OBJECT

  private:
    CHintWindow* HintWindow() const { return m_dlg->findChild<CHintWindow*>(); }
    QString Said() const {
        const CHintWindow* window = HintWindow();
        return window != nullptr && window->isVisible() ? window->Text() : QString();
    }
    // The cells the hint's window covers, as `r1c1 r1c2`; empty when it covers none.
    QString CoveredCells() const {
        QStringList covered;
        const QRect window = HintWindow()->frameGeometry();
        for (int i = 0; i < kCellCount; ++i) {
            if (window.intersects(GlobalRect(Cell(i)))) covered << CExplainText::CellName(i);
        }
        return covered.join(u' ');
    }
    CCellOverlay* Overlay(int cell) const { return Cell(cell)->findChild<CCellOverlay*>(); }
    CChainPicture DrawnChain() const {
        const CChainOverlay* overlay = m_dlg->findChild<CChainOverlay*>();
        return overlay != nullptr && overlay->isVisible() ? overlay->Picture() : CChainPicture{};
    }
    // Pastes `masks` as a pencil-mark puzzle; false when this platform has no clipboard.
    bool PastePencilMarks(const CandidateMasks& masks) {
        const QString line = QString::fromStdString(PencilMarksToLine(masks));
        QApplication::clipboard()->setText(line);
        if (QApplication::clipboard()->text() != line) return false;
        Cell(40)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Cell(40), Qt::Key_V, Qt::ControlModifier);
        return true;
    }

  private slots:
    void init() {
        // The keys are the window's shortcuts, which need it active; a Wayland client cannot
        // activate its own window, nor place the hint's.
        if (OnWayland()) QSKIP("the window cannot be activated or placed here");
        ShowDialog();
    }
    void cleanup() { m_dlg.reset(); }

    void hintStaysBesideTheGrid_data() {
        QTest::addColumn<int>("side");  // where the dialog is: -1 left, 0 centred, 1 right
        QTest::newRow("room on the right") << -1;
        QTest::newRow("room on neither side") << 0;
        QTest::newRow("no room on the right") << 1;
    }
    void hintStaysBesideTheGrid() {
        QFETCH(int, side);
        const QRect screen = m_dlg->screen()->availableGeometry();
        const int width = m_dlg->frameGeometry().width();
        const int x = side < 0    ? screen.left() + 4
                      : side == 0 ? screen.center().x() - width / 2
                                  : screen.right() + 1 - width - 4;
        m_dlg->move(x, m_dlg->y());
        TypeGrid(kEasy);
        for (int press = 1; press <= 3; ++press) {
            Press(40, Qt::Key_H);
            QTRY_VERIFY2(!Said().isEmpty() && Said() != CExplainText::Working(),
                         qPrintable(Said()));
            QVERIFY2(CoveredCells().isEmpty(), qPrintable(CoveredCells()));
            QVERIFY(!HintWindow()->frameGeometry().intersects(m_dlg->frameGeometry()));
            QVERIFY(screen.contains(HintWindow()->frameGeometry()));
            if (side != 0) {
                QVERIFY(side > 0 ? HintWindow()->x() < m_dlg->frameGeometry().left()
                                 : HintWindow()->x() > m_dlg->frameGeometry().right());
            }
        }
        // It follows the dialog when that moves.
        const QPoint offset = HintWindow()->pos() - m_dlg->pos();
        m_dlg->move(m_dlg->pos() + QPoint(0, 20));
        QTRY_COMPARE(HintWindow()->pos() - m_dlg->pos(), offset);
        QVERIFY2(CoveredCells().isEmpty(), qPrintable(CoveredCells()));
        // The hint took no focus: typing goes to the cell, and dismisses it.
        QCOMPARE(QApplication::focusWidget(), Cell(40));
        Press(40, Qt::Key_H);
        QTRY_VERIFY(!Said().isEmpty());
        QVERIFY(!HintWindow()->isActiveWindow());
        QTest::keyClick(Cell(40), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        QVERIFY(!HintWindow()->isVisible());
    }

    // A rating that comes back after the dialog was closed shows no window of its own.
    void noHintWithoutTheDialog() {
        TypeGrid(kNested, u'0');
        Press(40, Qt::Key_R);
        m_dlg->hide();
        QTest::qWait(1000);
        QVERIFY(!HintWindow()->isVisible());
    }

    void linesBreakOnlyWherePunctuationAllows() {
        const QString text = QStringLiteral(
            "在第3宫中，r3c1(4)、r3c2(4)构成「隐性数对」（见图），所以r3c3填9，"
            "删去r1c2的7、r2c2的7。嵌套强制链");
        const QFontMetrics metrics(QApplication::font());
        for (int width : {1, 60, 200, 2000}) {
            const QStringList lines = CHintWindow::BreakLines(text, metrics, width);
            QVERIFY2(SplitTerm(text, lines).isEmpty(), qPrintable(lines.join(u'|')));
            for (const QString& line : lines) {
                QVERIFY2(!QStringLiteral("，。、）」").contains(line.front()), qPrintable(line));
            }
        }
        QCOMPARE(CHintWindow::BreakLines(text, metrics, 2000).size(), 1);
        QVERIFY(CHintWindow::BreakLines(text, metrics, 1).size() > 5);
    }

    void chainHintDrawsItsLinks_data() {
        QTest::addColumn<QString>("puzzle");
        QTest::addColumn<int>("technique");
        auto row = [](const char* name, const char* puzzle, CTechnique technique) {
            QTest::newRow(name) << QString::fromLatin1(puzzle) << int(technique);
        };
        row("turbot fish",
            "800010007020000040000503000030107080009602300600050001005030800001405900000000000",
            CTechnique::kTurbotFish);
        row("grouped turbot fish",
            "089020040006097001040100000001000050470000016050000200000008060900650300060070120",
            CTechnique::kGroupedTurbotFish);
        row("x-chain", kThreeLinkXChain.toLatin1().constData(), CTechnique::kThreeLinkXChain);
        row("y-cycle",
            "000000000560000032230040079000060000070501090000708000053000920009806500700000004",
            CTechnique::kYCycle);
        row("forcing chain",
            "200060908007400000801023540002000080608050104070000600086310409000009800109040003",
            CTechnique::kForcingChain);
        row("nishio",
            "040062000900000020026300480000004870007000600052800000085001360030000008000530010",
            CTechnique::kNishio);
        row("cell forcing chain",
            "700000810040008200000206003000320900200804007003067000800602000009500080051000002",
            CTechnique::kCellForcingChain);
        row("region forcing chain",
            "200000040009000510000203090300400100000386000004002005060507000013000200070000003",
            CTechnique::kRegionForcingChain);
        row("dynamic forcing chain",
            "006401500300509001000030000205000703030040020670000058060907080000050000002304900",
            CTechnique::kDynamicForcingChain);
        row("nested forcing chain", kNested.toLatin1().constData(),
            CTechnique::kNestedForcingChain);
    }
    void chainHintDrawsItsLinks() {
        QFETCH(QString, puzzle);
        QFETCH(int, technique);
        const std::optional<CandidateMasks> masks = BeforeFirst(puzzle, CTechnique(technique));
        QVERIFY(masks.has_value());
        const std::optional<CStep> step = FindEasiestStep(PencilMarkPuzzle(*masks));
        QVERIFY(step.has_value() && int(step->technique) == technique && !step->links.empty());
        if (!PastePencilMarks(*masks)) QSKIP("no clipboard here");
        // The candidates view off: the chain's candidates must be drawn all the same.
        Press(40, Qt::Key_M);
        for (int i = 0; i < kCellCount; ++i)
            QVERIFY(!Overlay(i) || !Overlay(i)->Picture().candidates);

        // The first press names where the chain starts, and frames it.
        Press(40, Qt::Key_H);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("提示")), qPrintable(Said()));
        const int start = step->links.front().from.cells[0];
        bool named = Said().contains(CExplainText::CellName(start));
        for (int u = 0; u < kUnitCount; ++u) {
            const auto& cells = kUnitCells[u];
            named = named || (std::find(cells.begin(), cells.end(), start) != cells.end() &&
                              Said().contains(CExplainText::UnitName(u)));
        }
        QVERIFY2(named, qPrintable(Said()));
        QVERIFY(Overlay(start)->Picture().unitCell);
        QVERIFY(DrawnChain().IsEmpty());

        // The second draws every link of the step, strong and weak told apart, and marks
        // where the chain starts.
        Press(40, Qt::Key_H);
        QTRY_VERIFY(!DrawnChain().IsEmpty());
        const CChainPicture drawn = DrawnChain();
        QVERIFY(drawn.links == step->links);
        QVERIFY(std::find(drawn.starts.begin(), drawn.starts.end(), step->links.front().from) !=
                drawn.starts.end());
        // The candidates linked are drawn, whether or not the candidates view is on.
        for (const CChainLink& link : drawn.links) {
            QVERIFY(Overlay(link.to.cells[0])->Picture().candidates & (1u << link.to.digit));
        }
        // The sentence says what it proves, its terms whole, beside the grid.
        QVERIFY2(Said().contains(CExplainText::Changes(*step)), qPrintable(Said()));
        QVERIFY2(SplitTerm(Said(), HintWindow()->Lines()).isEmpty(),
                 qPrintable(HintWindow()->Lines().join(u'|')));
        QVERIFY2(CoveredCells().isEmpty(), qPrintable(CoveredCells()));

        // Applied, the chain goes.
        Press(40, Qt::Key_H);
        QTRY_VERIFY(Said().startsWith(QStringLiteral("已应用")));
        QVERIFY(DrawnChain().IsEmpty());
    }

    // A person solves a hard puzzle (9.7, nested and dynamic chains) from start to end by
    // hints alone: at every press nothing covers a field, every chain step draws its links,
    // the grid ends solved, and 撤销 takes back exactly the last hint.
    void aHardPuzzleIsSolvedByHintsFromStartToEnd() {
        const CRating rating = RatePuzzle(*CCandidateGrid::FromGivens(Grid(kNested)), true);
        QCOMPARE(rating.outcome, CRating::kRated);
        TypeGrid(kNested, u'0');
        int chains = 0;
        for (const CStep& step : rating.path) {
            Press(40, Qt::Key_H);
            QTRY_VERIFY2(Said().startsWith(QStringLiteral("提示")), qPrintable(Said()));
            QVERIFY2(CoveredCells().isEmpty(), qPrintable(CoveredCells()));
            const QString first = Said();
            Press(40, Qt::Key_H);
            QTRY_VERIFY(Said() != first && Said() != CExplainText::Working());
            QVERIFY2(CoveredCells().isEmpty(), qPrintable(CoveredCells()));
            QVERIFY(DrawnChain().links == step.links);
            chains += !step.links.empty();
            Press(40, Qt::Key_H);
            QTRY_VERIFY2(Said().startsWith(QStringLiteral("已应用")), qPrintable(Said()));
        }
        QVERIFY(chains > 20);
        for (int i = 0; i < kCellCount; ++i)
            QCOMPARE(Cell(i)->text(), QString::number(rating.solution[i]));
        // The last step is a single (a full house): one Ctrl+Z empties its one cell.
        Press(40, Qt::Key_Z);
        int emptied = 0;
        for (int i = 0; i < kCellCount; ++i) emptied += Cell(i)->text().isEmpty();
        QCOMPARE(emptied, 1);
    }

    void noChainIsDrawnForOtherSteps() {
        TypeGrid(kEasy);
        Press(40, Qt::Key_H);
        QTRY_VERIFY(Said().startsWith(QStringLiteral("提示")));
        Press(40, Qt::Key_H);
        QVERIFY(!Said().startsWith(QStringLiteral("提示")));
        QVERIFY(DrawnChain().IsEmpty());
    }

    void stepsWindowFitsItsLinesAndDrawsChains() {
        TypeGrid(kThreeLinkXChain, u'0');
        Press(0, Qt::Key_J);
        auto* window = m_dlg->findChild<CStepsWindow*>();
        QVERIFY(window != nullptr);
        const CRating rating =
            RatePuzzle(*CCandidateGrid::FromGivens(Grid(kThreeLinkXChain)), true);
        auto* list = window->findChild<QListWidget*>();
        QTRY_COMPARE(list->count(), int(rating.path.size()));
        QTRY_VERIFY(window->isVisible());

        // No line is cut off, and none is broken inside a term.
        QTRY_VERIFY(list->viewport()->width() > 0);
        const QFontMetrics metrics(list->font());
        for (int n = 0; n < list->count(); ++n) {
            const QString text = list->item(n)->text();
            const QStringList lines = text.split(u'\n');
            for (const QString& line : lines) {
                QVERIFY2(metrics.horizontalAdvance(line) <= list->viewport()->width(),
                         qPrintable(line));
            }
            QVERIFY2(SplitTerm(lines.join(QString()), lines).isEmpty(), qPrintable(text));
        }

        // A chain step chosen draws its chain; another step draws none.
        auto* grid = window->findChild<CStepGridView*>();
        bool sawChain = false;
        for (size_t n = 0; n < rating.path.size(); ++n) {
            list->setCurrentRow(int(n));
            QVERIFY(grid->Chain().links == rating.path[n].links);
            sawChain = sawChain || !rating.path[n].links.empty();
        }
        QVERIFY(sawChain);
    }

    void stepsWindowShowsThePuzzleWhileItWorks() {
        TypeGrid(kNested, u'0');
        Press(0, Qt::Key_J);
        auto* window = m_dlg->findChild<CStepsWindow*>();
        QVERIFY(window != nullptr);
        auto* status = window->findChild<QLabel*>();
        // The path comes back through the event loop, so right after the key it is not here.
        QCOMPARE(status->text(), CExplainText::Working());
        const CGridPicture& picture = window->findChild<CStepGridView*>()->Picture();
        const PuzzleGrid givens = Grid(kNested);
        for (int i = 0; i < kCellCount; ++i) QCOMPARE(picture[i].value, givens[i]);
        window->close();
    }
};

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    HintWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "hint_window_test.moc"
