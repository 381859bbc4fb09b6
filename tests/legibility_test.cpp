// What the help paints in the fields, measured on the fields as drawn: the candidates' size
// and contrast, the hint's placed digit, the digits that rule out a single's other places,
// and 高亮相同数字. Driven by keys and the cell menu; runs headless.
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

#include "app.h"
#include "candidate_painting.h"
#include "grid_solver.h"
#include "main_dialog.h"

namespace {

const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";

PuzzleGrid Grid(const QString& text) {
    PuzzleGrid grid{};
    for (int i = 0; i < kCellCount; ++i)
        grid[i] = text[i] == u'.' ? 0 : uint8_t(text[i].digitValue());
    return grid;
}

// The rows of `after` where it differs from `before`, as runs: each run's first and last row.
QList<QPair<int, int>> InkRows(const QImage& before, const QImage& after) {
    QList<QPair<int, int>> runs;
    for (int y = 0; y < after.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < after.width() && !inked; ++x)
            inked = before.pixel(x, y) != after.pixel(x, y);
        if (!inked) continue;
        if (!runs.isEmpty() && runs.back().second == y - 1) {
            runs.back().second = y;
        } else {
            runs.append({y, y});
        }
    }
    return runs;
}

}  // namespace

class LegibilityTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CvelmoDlg> m_dlg;

    QLineEdit* Cell(int index) const {
        return qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(CvelmoDlg::IDC_CELL_FIRST + index));
    }
    void TypeGrid(const QString& grid) {
        for (int i = 0; i < kCellCount; ++i) {
            if (grid[i] != u'.') QTest::keyClicks(Cell(i), QString(grid[i]));
        }
    }
    void Press(int cell, Qt::Key key) {
        Cell(cell)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Cell(cell), key, Qt::ControlModifier);
    }
    // The cells are grabbed while the focus, and its caret, is on a given (kEasy's cell 2).
    static constexpr int kGiven = 2;
    CCellPicture Picture(int cell) const {
        const CCellOverlay* overlay = Cell(cell)->findChild<CCellOverlay*>();
        return overlay != nullptr ? overlay->Picture() : CCellPicture{};
    }
    QImage Drawn(int cell) const { return Cell(cell)->grab().toImage(); }
    void ToggleSameDigit(int cell) {
        const QPoint point = Cell(cell)->mapTo(m_dlg.get(), QPoint(4, Cell(cell)->height() / 2));
        QTest::mouseClick(m_dlg->windowHandle(), Qt::RightButton, {}, point);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == QStringLiteral("高亮相同数字")) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        QFAIL("no 高亮相同数字 in the menu");
    }

  private slots:
    void init() {
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
            QSKIP("the window cannot be activated here");
        }
        m_dlg = std::make_unique<CvelmoDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
    }
    void cleanup() {
        if (QApplication::activePopupWidget() != nullptr)
            QApplication::activePopupWidget()->close();
        m_dlg.reset();
    }

    // The candidates' font is over a third of the field's height, so that their digits, about
    // 0.73 of it, stand at least a quarter of the field tall. Their darkest pixel stands out
    // from the field's background at 4.5:1 or more (WCAG's relative luminance).
    void candidatesAreLargeAndDarkEnough() {
        TypeGrid(kEasy);
        Cell(kGiven)->setFocus(Qt::OtherFocusReason);
        const QImage plain = Drawn(0);
        Press(kGiven, Qt::Key_M);
        const QImage marked = Drawn(0);
        const QList<QPair<int, int>> rows = InkRows(plain, marked);
        QVERIFY(!rows.isEmpty());
        const int height = marked.height();  // in the device pixels of the picture
        for (const auto& [top, bottom] : rows) {
            QVERIFY2((bottom - top + 1) * 4 >= height,
                     qPrintable(QStringLiteral("a digit %1 px tall in a field of %2 px")
                                    .arg(bottom - top + 1)
                                    .arg(height)));
        }
        QColor darkest = Qt::white, background;
        double darkestFromBlack = 21;
        for (int y = 0; y < marked.height(); ++y) {
            for (int x = 0; x < marked.width(); ++x) {
                if (plain.pixel(x, y) == marked.pixel(x, y)) continue;
                const QColor ink = marked.pixelColor(x, y);
                const double fromBlack = ContrastRatio(ink, Qt::black);
                if (fromBlack < darkestFromBlack) {
                    darkestFromBlack = fromBlack;
                    darkest = ink;
                    background = plain.pixelColor(x, y);
                }
            }
        }
        QCOMPARE(background, m_dlg->palette().color(QPalette::Base));
        QVERIFY2(ContrastRatio(darkest, background) >= 4.5,
                 qPrintable(QStringLiteral("%1 on %2: %3:1")
                                .arg(darkest.name(), background.name())
                                .arg(ContrastRatio(darkest, background))));
    }

    // The hint's second press draws the digit it places large in its cell, without the
    // candidates shown, and rings the digits that rule out the unit's other cells.
    void secondHintPressShowsTheDigitLargeAndWhyItGoesThere() {
        TypeGrid(kEasy);
        const PuzzleGrid grid = Grid(kEasy);
        Cell(kGiven)->setFocus(Qt::OtherFocusReason);
        std::array<QImage, kCellCount> plain;
        for (int i = 0; i < kCellCount; ++i) plain[i] = Drawn(i);
        Press(kGiven, Qt::Key_H);
        QTRY_VERIFY(std::any_of(kUnitCells.begin(), kUnitCells.end(), [this](const auto& unit) {
            return std::all_of(unit.begin(), unit.end(),
                               [this](uint8_t cell) { return Picture(cell).unitCell; });
        }));
        QTest::keyClick(Cell(kGiven), Qt::Key_H, Qt::ControlModifier);
        int target = -1, digit = 0;
        for (int i = 0; i < kCellCount; ++i) {
            if (Picture(i).placedDigits != 0) {
                target = i;
                digit = std::countr_zero(Picture(i).placedDigits);
            }
        }
        QVERIFY(target >= 0);
        // The digit's rows: pixels of the link colour in a band down the middle, where the
        // ring around it crosses only at the top and the bottom.
        const QImage drawn = Drawn(target);
        const QColor link = m_dlg->palette().color(QPalette::Link);
        auto isLink = [&](int x, int y) {
            const QColor pixel = drawn.pixelColor(x, y);
            return std::abs(pixel.red() - link.red()) + std::abs(pixel.green() - link.green()) +
                       std::abs(pixel.blue() - link.blue()) <
                   96;
        };
        const int height = drawn.height(), width = drawn.width();
        int digitRows = 0;
        for (int y = height / 8; y < height - height / 8; ++y) {
            bool inked = false;
            for (int x = width / 3; x <= width - width / 3; ++x) inked = inked || isLink(x, y);
            digitRows += inked;
        }
        QVERIFY2(digitRows * 5 >= height * 2,
                 qPrintable(QStringLiteral("%1 px of %2").arg(digitRows).arg(height)));

        // kEasy's first step is a hidden single in a box: each other empty cell of the box
        // sees a ringed copy of the digit, and only such copies are ringed.
        int unit = -1;
        for (int u = 18; u < kUnitCount; ++u) {
            if (std::find(kUnitCells[u].begin(), kUnitCells[u].end(), target) !=
                kUnitCells[u].end())
                unit = u;
        }
        for (uint8_t cell : kUnitCells[unit]) {
            if (cell == target || grid[cell] != 0) continue;
            bool ruledOut = false;
            for (uint8_t peer : kCellPeers[cell]) {
                ruledOut = ruledOut || (grid[peer] == digit && Picture(peer).reasonCell);
            }
            QVERIFY2(ruledOut, qPrintable(QString::number(cell)));
        }
        int ringed = 0;
        for (int i = 0; i < kCellCount; ++i) {
            if (!Picture(i).reasonCell) continue;
            QCOMPARE(int(grid[i]), digit);
            QVERIFY(Drawn(i) != plain[i]);
            ++ringed;
        }
        QVERIFY(ringed > 0);
    }

    // Off at first; on, the focused cell's digit lights up in every cell and candidate.
    void sameDigitHighlightFollowsTheFocus() {
        TypeGrid(kEasy);
        const PuzzleGrid grid = Grid(kEasy);
        Press(0, Qt::Key_M);
        Cell(2)->setFocus(Qt::OtherFocusReason);
        for (int i = 0; i < kCellCount; ++i) {
            QVERIFY(!Picture(i).sameDigitCell && Picture(i).sameDigit == 0);
        }
        ToggleSameDigit(2);
        const int digit = grid[2];
        for (int i = 0; i < kCellCount; ++i) {
            QCOMPARE(Picture(i).sameDigitCell, grid[i] == digit);
            QCOMPARE(Picture(i).sameDigit, uint16_t(Picture(i).candidates & (1u << digit)));
        }
        // Another digit where the focus moves; none in an empty cell.
        QTest::keyClick(Cell(2), Qt::Key_Right);
        QTest::keyClick(Cell(3), Qt::Key_Right);
        QCOMPARE(m_dlg->focusWidget(), Cell(4));
        for (int i = 0; i < kCellCount; ++i) QCOMPARE(Picture(i).sameDigitCell, grid[i] == grid[4]);
        QTest::keyClick(Cell(4), Qt::Key_Right);
        for (int i = 0; i < kCellCount; ++i) QVERIFY(!Picture(i).sameDigitCell);
        // A digit typed into the focused cell lights up its like.
        QTest::keyClicks(Cell(5), QString::number(grid[2]));
        QVERIFY(Picture(2).sameDigitCell);
        // Off again, nothing is marked.
        ToggleSameDigit(5);
        for (int i = 0; i < kCellCount; ++i) {
            QVERIFY(!Picture(i).sameDigitCell && Picture(i).sameDigit == 0);
        }
    }
};

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    LegibilityTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "legibility_test.moc"
