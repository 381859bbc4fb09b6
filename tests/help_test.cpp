// How a person finds and reads the help: F1's window, the menu's tooltips, the hint's texts,
// the same key again cancelling long work, and what the fields show, measured on the fields
// as drawn. Driven by keys and the cell menu as a person drives them; runs headless.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <bit>

#include "app.h"
#include "candidate_painting.h"
#include "dialog_driver.h"
#include "help_window.h"
#include "main_dialog.h"
#include "steps_window.h"

namespace {

// Its first step is a nested forcing chain: the rating and the steps take over a second, the
// hint well over the moment between two key presses.
const QString kSlow =
    "........6..5..18...9...8.7....8.2.....3.1.2..4..5.3....6.....9...83..1..7.......4";
// Its first step is a hidden single in box 1.
const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";
constexpr int kGiven = 2;  // a given of kEasy, where the focus (and its caret) waits

QString Translated(const char* text) {
    return QCoreApplication::translate("CHelpWindow", text);
}

// The rows where `after` differs from `before`, as runs of first and last row.
QList<QPair<int, int>> InkRows(const QImage& before, const QImage& after) {
    QList<QPair<int, int>> runs;
    for (int y = 0; y < after.height(); ++y) {
        bool inked = false;
        for (int x = 0; x < after.width(); ++x)
            inked = inked || before.pixel(x, y) != after.pixel(x, y);
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

class HelpTest : public CDialogDriver {
    Q_OBJECT

  private:
    CHelpWindow* Help() const { return m_dlg->findChild<CHelpWindow*>(); }
    // Where a key pressed in the help goes: its focused widget.
    QWidget* InHelp() const { return Help()->focusWidget() ? Help()->focusWidget() : Help(); }
    QString Said() const {
        auto* popup = m_dlg->findChild<QLabel*>(QStringLiteral("explainPopup"));
        return popup != nullptr && popup->isVisible() ? popup->text() : QString();
    }
    CCellPicture Picture(int cell) const {
        const auto* overlay = Cell(cell)->findChild<CCellOverlay*>();
        return overlay != nullptr ? overlay->Picture() : CCellPicture{};
    }
    QImage Drawn(int cell) const { return Cell(cell)->grab().toImage(); }

  private slots:
    void init() {
        if (OnWayland()) QSKIP("the window cannot be activated here");
        ShowDialog();
    }
    void cleanup() {
        if (QApplication::activePopupWidget() != nullptr)
            QApplication::activePopupWidget()->close();
        m_dlg.reset();
    }

    void f1OpensAndClosesTheHelpBesideTheDialog() {
        const QRect screen = m_dlg->screen()->availableGeometry();
        m_dlg->move(screen.topLeft());
        QTest::keyClicks(Cell(40), QStringLiteral("5"));
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(Help() != nullptr && Help()->isVisible() && !Help()->isModal());
        QVERIFY(QTest::qWaitForWindowActive(Help()));
        QVERIFY2(!Help()->frameGeometry().intersects(m_dlg->frameGeometry()) &&
                     screen.contains(Help()->frameGeometry()),
                 qPrintable(QStringLiteral("help at %1,%2")
                                .arg(Help()->frameGeometry().x())
                                .arg(Help()->frameGeometry().y())));
        const QString text = Help()->findChild<QLabel*>()->accessibleName();
        for (const CHelpRow& row : HelpRows()) {
            QVERIFY2(text.contains(Translated(row.keys)) && text.contains(Translated(row.name)),
                     row.name);
        }
        // F1 in the help or in the dialog, or Escape in the help, closes only the help.
        QTest::keyClick(InHelp(), Qt::Key_F1);
        QVERIFY(!Help()->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(40, Qt::Key_F1, Qt::NoModifier);
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(!Help()->isVisible());
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(QTest::qWaitForWindowActive(Help()));
        QTest::keyClick(InHelp(), Qt::Key_Escape);
        QVERIFY(!Help()->isVisible() && m_dlg->isVisible());
        QCOMPARE(Cell(40)->text(), QStringLiteral("5"));
        // Escape in the dialog still ends it.
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(40, Qt::Key_Escape, Qt::NoModifier);
        QVERIFY(!m_dlg->isVisible());
    }

    // A key added to the window without its row in the help, or a menu entry without its
    // tooltip, fails here.
    void everyKeyAndMenuEntryIsInTheHelp() {
        QStringList keys;
        for (const CHelpRow& row : HelpRows()) keys << Translated(row.keys);
        for (const QAction* action : m_dlg->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                QString text = key.toString(QKeySequence::PortableText);
                if (text.size() == 6 && text.startsWith(QLatin1String("Ctrl+")) &&
                    text.back().isDigit())
                    text = QStringLiteral("Ctrl+1 … Ctrl+9");
                QVERIFY2(keys.join(u'\n').contains(text), qPrintable(text));
            }
        }
        QMenu* menu = OpenCellMenu(Cell(40));
        QVERIFY(menu != nullptr && menu->toolTipsVisible());
        int tipped = 0;
        for (QAction* action : menu->actions()) {
            const QString line = HelpLine(action->text().section(u'\t', 0, 0));
            QVERIFY2(line.isEmpty() || action->toolTip() == line, qPrintable(action->text()));
            tipped += !line.isEmpty();
        }
        // 撤销 重做 提示 候选数 删去或放回候选数 解题步骤 难度 取消计算 高亮相同数字 粘贴谜题
        // 打开图片… 复制谜题 继续上次的题目 新题
        QCOMPARE(tipped, 14);
    }

    // The first hint says that pressing again shows more. A field that is not one digit is
    // named, with what it holds: "12" is none, nor is "7x", which 计算 reads as 7.
    void theHintsTextsGuide() {
        TypeGrid(kEasy);
        Press(40, Qt::Key_H);
        QTRY_VERIFY2(
            Said().startsWith(QStringLiteral("提示")) && Said().contains(QStringLiteral("再按")),
            qPrintable(Said()));
        QTest::keyClicks(Cell(0), QStringLiteral("12"));
        QTest::keyClicks(Cell(3), QStringLiteral("7x"));
        Cell(kGiven)->selectAll();
        QTest::keyClicks(Cell(kGiven), QStringLiteral(" 3 "));
        for (Qt::Key key : {Qt::Key_H, Qt::Key_R}) {
            Press(40, key);
            QTRY_VERIFY2(Said().contains(QStringLiteral("r1c1的「12」")) &&
                             Said().contains(QStringLiteral("r1c4的「7x」")) &&
                             !Said().contains(QStringLiteral("r1c3")),
                         qPrintable(Said()));
        }
    }

    // An input method may take Ctrl+., so the key that started the work stops it too.
    void theSameKeyAgainCancels() {
        TypeGrid(kSlow);
        for (Qt::Key key : {Qt::Key_H, Qt::Key_R}) {
            Press(0, key);
            Press(0, key);
            QCOMPARE(Said(), QStringLiteral("已取消。"));
            QTest::qWait(300);
            QCOMPARE(Said(), QStringLiteral("已取消。"));
            Press(0, key);
            Press(0, Qt::Key_Period);
            QCOMPARE(Said(), QStringLiteral("已取消。"));
        }
        Press(0, Qt::Key_R);
        QVERIFY2(Said().startsWith(QStringLiteral("正在计算")) &&
                     Said().contains(QStringLiteral("再按")),
                 qPrintable(Said()));
        Press(0, Qt::Key_Period);
        Press(0, Qt::Key_J);
        auto* status = m_dlg->findChild<CStepsWindow*>()->findChild<QLabel*>();
        QVERIFY(status->text().startsWith(QStringLiteral("正在计算")));
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(0, Qt::Key_J);
        QTRY_COMPARE(status->text(), QStringLiteral("已取消。"));
    }

    // The candidates' font is over a third of the field's height, so that their digits, about
    // 0.73 of it, stand at least a quarter of the field tall; their darkest pixel stands out
    // from the field's background at 4.5:1 or more (WCAG's relative luminance).
    void candidatesAreLargeAndDarkEnough() {
        TypeGrid(kEasy);
        Cell(kGiven)->setFocus(Qt::OtherFocusReason);
        const QImage plain = Drawn(0);
        Press(kGiven, Qt::Key_M);
        const QImage marked = Drawn(0);
        const QList<QPair<int, int>> rows = InkRows(plain, marked);
        QVERIFY(!rows.isEmpty());
        for (const auto& [top, bottom] : rows) {
            QVERIFY2((bottom - top + 1) * 4 >= marked.height(),
                     qPrintable(
                         QStringLiteral("%1 of %2 px").arg(bottom - top + 1).arg(marked.height())));
        }
        QColor darkest = Qt::white, background;
        for (int y = 0; y < marked.height(); ++y) {
            for (int x = 0; x < marked.width(); ++x) {
                if (plain.pixel(x, y) == marked.pixel(x, y)) continue;
                if (ContrastRatio(marked.pixelColor(x, y), Qt::black) <
                    ContrastRatio(darkest, Qt::black)) {
                    darkest = marked.pixelColor(x, y);
                    background = plain.pixelColor(x, y);
                }
            }
        }
        QCOMPARE(background, m_dlg->palette().color(QPalette::Base));
        QVERIFY2(ContrastRatio(darkest, background) >= 4.5,
                 qPrintable(darkest.name() + QStringLiteral(" on ") + background.name()));
    }

    // The second press draws the digit it places large, without the candidates shown, and
    // rings the digits that rule out the box's other empty cells, and only those.
    void secondHintPressShowsTheDigitLargeAndWhy() {
        TypeGrid(kEasy);
        Cell(kGiven)->setFocus(Qt::OtherFocusReason);
        std::array<QImage, kCellCount> plain;
        for (int i = 0; i < kCellCount; ++i) plain[i] = Drawn(i);
        Press(kGiven, Qt::Key_H);
        QTRY_VERIFY(Picture(0).unitCell);
        QTest::keyClick(Cell(kGiven), Qt::Key_H, Qt::ControlModifier);
        int target = 0;
        while (target < kCellCount && Picture(target).placedDigits == 0) ++target;
        QVERIFY(target < 27 && target % 9 < 3);
        const int digit = std::countr_zero(Picture(target).placedDigits);
        // Its rows: pixels of the link colour in a band down the middle, which the ring
        // around it crosses only near the top and the bottom.
        const QImage drawn = Drawn(target);
        const QColor link = m_dlg->palette().color(QPalette::Link);
        int digitRows = 0;
        for (int y = drawn.height() / 8; y < drawn.height() - drawn.height() / 8; ++y) {
            bool inked = false;
            for (int x = drawn.width() / 3; x <= drawn.width() - drawn.width() / 3; ++x) {
                const QColor pixel = drawn.pixelColor(x, y);
                inked = inked || std::abs(pixel.red() - link.red()) +
                                         std::abs(pixel.green() - link.green()) +
                                         std::abs(pixel.blue() - link.blue()) <
                                     96;
            }
            digitRows += inked;
        }
        QVERIFY2(digitRows * 5 >= drawn.height() * 2, qPrintable(QString::number(digitRows)));
        for (uint8_t cell : kUnitCells[18]) {
            if (cell == target || !Cell(cell)->text().isEmpty()) continue;
            bool ruledOut = false;
            for (uint8_t peer : kCellPeers[cell])
                ruledOut = ruledOut || (Cell(peer)->text() == QString::number(digit) &&
                                        Picture(peer).reasonCell);
            QVERIFY2(ruledOut, qPrintable(QString::number(cell)));
        }
        for (int i = 0; i < kCellCount; ++i) {
            if (!Picture(i).reasonCell) continue;
            QCOMPARE(Cell(i)->text(), QString::number(digit));
            QVERIFY(Drawn(i) != plain[i]);
        }
    }

    // 高亮相同数字: off at first; on, the focused cell's digit lights up in every cell holding
    // it and among the candidates, and follows the focus and typing.
    void sameDigitHighlightFollowsTheFocus() {
        TypeGrid(kEasy);
        Press(kGiven, Qt::Key_M);
        auto marked = [this](int digit) {
            for (int i = 0; i < kCellCount; ++i) {
                const bool holds = Cell(i)->text() == QString::number(digit);
                if (Picture(i).sameDigitCell != holds ||
                    Picture(i).sameDigit != (digit ? Picture(i).candidates & (1u << digit) : 0))
                    return false;
            }
            return true;
        };
        QVERIFY(marked(0));
        QMenu* menu = OpenCellMenu(Cell(kGiven));
        QVERIFY(menu != nullptr);
        const QList<QAction*> entries = menu->actions();
        const auto entry = std::find_if(entries.begin(), entries.end(), [](QAction* action) {
            return action->text() == QStringLiteral("高亮相同数字");
        });
        QVERIFY(entry != entries.end());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(*entry).center());
        QVERIFY(marked(3));
        QTest::keyClick(Cell(kGiven), Qt::Key_Right);
        QTest::keyClick(Cell(3), Qt::Key_Right);
        QVERIFY(marked(2));
        QTest::keyClick(Cell(4), Qt::Key_Right);
        QVERIFY(marked(0));
        QTest::keyClicks(Cell(5), QStringLiteral("3"));
        QVERIFY(marked(3));
    }
};

int main(int argc, char** argv) {
    // The headless screen is made wide enough for the help beside the dialog, as on a desktop.
    QTemporaryDir dir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && dir.isValid()) {
        QFile config(dir.filePath(QStringLiteral("screen.json")));
        if (config.open(QIODevice::WriteOnly)) {
            config.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920,
                             "height": 1080, "logicalDpi": 96, "dpr": 1}]})");
            config.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
        }
    }
    CvelmoApp app(argc, argv);
    HelpTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "help_test.moc"
