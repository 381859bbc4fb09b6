// How a person finds the window's features without the README: F1's help window, the
// context menu's tooltips, the hint's first text, and the same key again cancelling work
// that takes long. Driven by keys as a person drives them; runs headless.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QtTest>

#include "app.h"
#include "help_window.h"
#include "main_dialog.h"
#include "steps_window.h"

namespace {

// Among the slowest to rate: its first step is a nested forcing chain, so a hint, the rating
// and the steps each take well over a tenth of a second.
const QString kSlow =
    "........6..5..18...9...8.7....8.2.....3.1.2..4..5.3....6.....9...83..1..7.......4";
// An easy puzzle: its first hint is found at once.
const QString kEasy =
    "..3.2.6..9..3.5..1..18.64....81.29..7.......8..67.82....26.95..8..2.3..9..5.1.3..";

QString Translated(const char* text) {
    return QCoreApplication::translate("CHelpWindow", text);
}

}  // namespace

class HelpTest : public QObject {
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
    void Press(int cell, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        Cell(cell)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(Cell(cell), key, modifiers);
    }
    CHelpWindow* Help() const { return m_dlg->findChild<CHelpWindow*>(); }
    // What the help window says, as a screen reader reads it.
    QString HelpText() const { return Help()->findChild<QLabel*>()->accessibleName(); }
    QString Said() const {
        auto* popup = m_dlg->findChild<QLabel*>(QStringLiteral("explainPopup"));
        return popup != nullptr && popup->isVisible() ? popup->text() : QString();
    }
    static QMenu* OpenCellMenu(QLineEdit* cell) {
        const QPoint point = cell->mapTo(cell->window(), QPoint(4, cell->height() / 2));
        QTest::mouseClick(cell->window()->windowHandle(), Qt::RightButton, {}, point);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
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

    void f1OpensAndClosesTheHelpBesideTheDialog() {
        // At the screen's left edge, so that there is room on its right.
        const QRect screen = m_dlg->screen()->availableGeometry();
        m_dlg->move(screen.topLeft());
        QTest::keyClicks(Cell(40), QStringLiteral("5"));
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(Help() != nullptr);
        QVERIFY(Help()->isVisible());
        QVERIFY(!Help()->isModal());
        QVERIFY(QTest::qWaitForWindowActive(Help()));
        QVERIFY(Help()->frameGeometry().width() + m_dlg->frameGeometry().width() < screen.width());
        QVERIFY2(!Help()->frameGeometry().intersects(m_dlg->frameGeometry()),
                 qPrintable(QStringLiteral("help at %1,%2")
                                .arg(Help()->frameGeometry().x())
                                .arg(Help()->frameGeometry().y())));
        QVERIFY(screen.contains(Help()->frameGeometry()));
        // Every feature is listed with its keys.
        for (const CHelpRow& row : HelpRows()) {
            QVERIFY2(HelpText().contains(Translated(row.keys)), row.keys);
            QVERIFY2(HelpText().contains(Translated(row.name)), row.name);
        }

        // F1 again, in the help, closes it and gives the dialog back the keyboard.
        QTest::keyClick(Help(), Qt::Key_F1);
        QVERIFY(!Help()->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        // F1 in the dialog while it is open closes it too.
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(Help()->isVisible());
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(!Help()->isVisible());
        // Escape in the help closes only the help.
        Press(40, Qt::Key_F1, Qt::NoModifier);
        QVERIFY(QTest::qWaitForWindowActive(Help()));
        QTest::keyClick(Help(), Qt::Key_Escape);
        QVERIFY(!Help()->isVisible());
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(Cell(40)->text(), QStringLiteral("5"));
        // Escape in the dialog still ends it.
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(40, Qt::Key_Escape, Qt::NoModifier);
        QVERIFY(!m_dlg->isVisible());
    }

    // A key added to the window without a row in the help fails here.
    void everyShortcutIsInTheHelp() {
        QStringList keys;
        for (const CHelpRow& row : HelpRows()) keys << Translated(row.keys);
        const QString listed = keys.join(u'\n');
        for (const QAction* action : m_dlg->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                QString text = key.toString(QKeySequence::PortableText);
                // Ctrl+1 to Ctrl+9 are one row.
                if (text.size() == 6 && text.startsWith(QLatin1String("Ctrl+")) &&
                    text.back().isDigit()) {
                    text = QStringLiteral("Ctrl+1 … Ctrl+9");
                }
                QVERIFY2(listed.contains(text), qPrintable(text));
            }
        }
    }

    void menuEntriesCarryTheHelpsLineAsTooltip() {
        QMenu* menu = OpenCellMenu(Cell(40));
        QVERIFY(menu != nullptr);
        QVERIFY(menu->toolTipsVisible());
        int tipped = 0;
        for (const CHelpRow& row : HelpRows()) {
            const QString name = Translated(row.name);
            for (QAction* action : menu->actions()) {
                if (action->text().section(u'\t', 0, 0) != name) continue;
                QVERIFY2(action->toolTip() == Translated(row.what), row.name);
                ++tipped;
            }
        }
        // 撤销, 重做, 提示, 候选数, 删去或放回候选数, 解题步骤, 难度, 取消计算, 粘贴谜题, 复制谜题,
        // 继续上次的题目, 高亮相同数字.
        QCOMPARE(tipped, 12);
    }

    void firstHintSaysThatPressingAgainShowsMore() {
        TypeGrid(kEasy);
        Press(0, Qt::Key_H);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("提示")), qPrintable(Said()));
        QVERIFY2(Said().contains(QStringLiteral("再按")), qPrintable(Said()));
    }

    // A field the help cannot read as one digit is named, with what it holds, before any
    // hint or rating: "12" is no digit, and neither is "7x", which 计算 reads as 7.
    void aFieldThatIsNotOneDigitIsNamed() {
        TypeGrid(kEasy);
        QTest::keyClicks(Cell(0), QStringLiteral("12"));
        QTest::keyClicks(Cell(3), QStringLiteral("7x"));
        // A digit with blanks around it is one digit.
        Cell(2)->selectAll();
        QTest::keyClicks(Cell(2), QStringLiteral(" 3 "));
        Press(40, Qt::Key_H);
        QTRY_VERIFY2(Said().contains(QStringLiteral("r1c1的「12」")) &&
                         Said().contains(QStringLiteral("r1c4的「7x」")) &&
                         !Said().contains(QStringLiteral("r1c3")),
                     qPrintable(Said()));
        Press(40, Qt::Key_R);
        QTRY_VERIFY2(Said().contains(QStringLiteral("r1c1的「12」")), qPrintable(Said()));
        // Mended, the help goes on.
        Cell(0)->clear();
        Cell(3)->clear();
        Press(40, Qt::Key_H);
        QTRY_VERIFY2(Said().startsWith(QStringLiteral("提示")), qPrintable(Said()));
    }

    // An input method may take Ctrl+., so the key that started the work stops it too.
    void theSameKeyAgainCancels_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("hint") << int(Qt::Key_H);
        QTest::newRow("rating") << int(Qt::Key_R);
    }
    void theSameKeyAgainCancels() {
        QFETCH(int, key);
        TypeGrid(kSlow);
        Press(0, Qt::Key(key));
        Press(0, Qt::Key(key));
        QCOMPARE(Said(), QStringLiteral("已取消。"));
        // Nothing comes after it.
        QTest::qWait(300);
        QCOMPARE(Said(), QStringLiteral("已取消。"));
        // Ctrl+. stays.
        Press(0, Qt::Key(key));
        Press(0, Qt::Key_Period);
        QCOMPARE(Said(), QStringLiteral("已取消。"));
        // The rating says at once that it is working, and how to stop it.
        if (key == Qt::Key_R) {
            Press(0, Qt::Key(key));
            QVERIFY2(Said().startsWith(QStringLiteral("正在计算")) &&
                         Said().contains(QStringLiteral("再按")),
                     qPrintable(Said()));
        }
    }

    void theStepsKeyAgainCancels() {
        TypeGrid(kSlow);
        Press(0, Qt::Key_J);
        auto* window = m_dlg->findChild<CStepsWindow*>();
        QVERIFY(window != nullptr && window->isVisible());
        auto* status = window->findChild<QLabel*>();
        QVERIFY2(status->text().startsWith(QStringLiteral("正在计算")), qPrintable(status->text()));
        m_dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dlg.get()));
        Press(0, Qt::Key_J);
        QTRY_COMPARE(status->text(), QStringLiteral("已取消。"));
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
