// The window at scale factors 1, 1.5 and 2 (QT_SCALE_FACTOR): the layout is the same at
// each, nothing is cut or overlaps, and it is drawn at the screen's full resolution. Qt reads
// the factor once at start-up, so the test runs itself once per factor, and each run writes
// its layout for the first to compare.
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QtTest>

#include "app.h"
#include "main_dialog.h"

namespace {

constexpr const char* kFactors[] = {"1", "1.5", "2"};

// Where the run at `factor` that process `parent` started writes the window's layout.
QString LayoutFile(qint64 parent, const QString& factor) {
    return QDir::temp().filePath(QStringLiteral("velmo-layout-%1-%2.txt").arg(parent).arg(factor));
}

// One line a control, its ID (or "line" for a separator) and its rectangle in the window's
// coordinates, after the window's size.
// The dialog's controls, in creation order: its direct children that are not windows of
// their own (such as a popup beside a cell).
QList<QWidget*> Controls(const CvelmoDlg& dlg) {
    QList<QWidget*> controls = dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    controls.removeIf([](const QWidget* child) { return child->isWindow(); });
    return controls;
}

QStringList Layout(const CvelmoDlg& dlg) {
    auto rect = [](const QRect& r) {
        return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QStringList lines{QStringLiteral("window 0 0 %1 %2").arg(dlg.width()).arg(dlg.height())};
    for (QWidget* child : Controls(dlg)) {
        const int id = dlg.GetDlgCtrlID(child);
        lines << (id != 0 ? QString::number(id) : QStringLiteral("line")) + u' ' +
                     rect(child->geometry());
    }
    return lines;
}

// Whether two layouts agree, each number to a pixel of rounding; `why` says where not.
bool SameLayout(const QStringList& a, const QStringList& b, QString& why) {
    if (a.size() != b.size()) {
        why = QStringLiteral("%1 controls against %2").arg(b.size()).arg(a.size());
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QStringList x = a[i].split(u' '), y = b[i].split(u' ');
        bool same = x.size() == 5 && y.size() == 5 && x[0] == y[0];
        for (int k = 1; same && k < 5; ++k) same = std::abs(x[k].toInt() - y[k].toInt()) <= 1;
        if (!same) {
            why = a[i] + QStringLiteral(" against ") + b[i];
            return false;
        }
    }
    return true;
}

}  // namespace

class DialogScaleTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CvelmoDlg> m_dlg;
    qreal m_factor = 1;

  private slots:
    void init() {
        m_factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble();
        m_dlg = std::make_unique<CvelmoDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    void cleanup() { m_dlg.reset(); }

    void drawsAtTheScreensResolution() {
        QCOMPARE(m_dlg->devicePixelRatioF(), m_factor);
        const QImage image = m_dlg->grab().toImage();
        QCOMPARE(image.size(), (QSizeF(m_dlg->size()) * m_factor).toSize());
    }

    // Every control lies inside the window, and none covers another: a separator runs
    // between the cells, never across one.
    void nothingIsCutOrOverlaps() {
        const QList<QWidget*> controls = Controls(*m_dlg);
        QCOMPARE(controls.size(), 88);
        for (QWidget* control : controls) {
            const QString where = Layout(*m_dlg).at(controls.indexOf(control) + 1);
            QVERIFY2(m_dlg->rect().contains(control->geometry()), qPrintable(where));
            for (QWidget* other : controls) {
                const bool lines = qobject_cast<CEtchedLine*>(control) != nullptr &&
                                   qobject_cast<CEtchedLine*>(other) != nullptr;
                if (other == control || lines) continue;  // the lines cross each other
                QVERIFY2(!control->geometry().intersects(other->geometry()), qPrintable(where));
            }
        }
    }

    // The half of the comparison across factors that this run does (see main).
    void writesItsLayout() {
        if (!qEnvironmentVariableIsSet("VELMO_LAYOUT_PARENT")) QSKIP("run by hand");
        QFile file(LayoutFile(qEnvironmentVariableIntValue("VELMO_LAYOUT_PARENT"),
                              qEnvironmentVariable("QT_SCALE_FACTOR")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Layout(*m_dlg).join(u'\n').toUtf8());
    }

    // Each button's caption fits inside the button's contents.
    void buttonCaptionsAreWhole() {
        for (int id : {CvelmoDlg::IDOK, CvelmoDlg::IDCANCEL, CvelmoDlg::IDC_CLEAR}) {
            auto* button = static_cast<QPushButton*>(m_dlg->GetDlgItem(id));
            QStyleOptionButton option;
            option.initFrom(button);
            const QRect contents =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QRect text = button->fontMetrics().boundingRect(button->text());
            QVERIFY2(text.width() <= contents.width() && text.height() <= contents.height(),
                     qPrintable(button->text()));
        }
    }

    // A digit in a cell is drawn whole, clear of the cell's frame.
    void cellDigitsAreWhole() {
        auto* cell = static_cast<QLineEdit*>(m_dlg->GetDlgItem(CvelmoDlg::IDC_CELL_FIRST + 40));
        QStyleOptionFrame option;
        option.initFrom(cell);
        const QRect contents =
            cell->style()->subElementRect(QStyle::SE_LineEditContents, &option, cell);
        QVERIFY(contents.height() >= cell->fontMetrics().height());

        const QImage empty = cell->grab().toImage();
        QTest::keyClicks(cell, QStringLiteral("8"));
        cell->deselect();
        cell->clearFocus();
        const QImage drawn = cell->grab().toImage();
        // The ink of the digit: what the text added to the empty field.
        QRect box;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                if (drawn.pixel(x, y) != empty.pixel(x, y)) box |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY(!box.isEmpty());
        // Clear of the frame, which is at least one pixel of the window wide.
        const int frame = qCeil(m_factor);
        const QRect inner = drawn.rect().adjusted(frame, frame, -frame, -frame);
        QVERIFY2(inner.contains(box), qPrintable(QStringLiteral("digit at %1,%2 %3x%4 in %5x%6")
                                                     .arg(box.x())
                                                     .arg(box.y())
                                                     .arg(box.width())
                                                     .arg(box.height())
                                                     .arg(drawn.width())
                                                     .arg(drawn.height())));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        CvelmoApp app(argc, argv);
        DialogScaleTest test;
        QTEST_SET_MAIN_SOURCE_PATH
        return QTest::qExec(&test, argc, argv);
    }
    // Once per factor, each in a process of its own.
    QCoreApplication app(argc, argv);
    int failed = 0;
    for (const char* factor : kFactors) {
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(factor));
        environment.insert(QStringLiteral("VELMO_LAYOUT_PARENT"),
                           QString::number(QCoreApplication::applicationPid()));
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        std::printf("== QT_SCALE_FACTOR=%s\n", factor);
        std::fflush(stdout);
        run.start(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
        run.waitForFinished(-1);
        if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) ++failed;
    }
    // The layout is in the window's own coordinates, which the factor does not change.
    QStringList first;
    for (const char* factor : kFactors) {
        QFile file(LayoutFile(QCoreApplication::applicationPid(), QString::fromLatin1(factor)));
        if (!file.open(QIODevice::ReadOnly)) {
            std::printf("FAIL: no layout written at factor %s\n", factor);
            ++failed;
            continue;
        }
        const QStringList layout = QString::fromUtf8(file.readAll()).split(u'\n');
        file.remove();
        QString why;
        if (first.isEmpty()) {
            first = layout;
        } else if (!SameLayout(first, layout, why)) {
            std::printf("FAIL: the layout at factor %s differs: %s\n", factor, qPrintable(why));
            ++failed;
        }
    }
    return failed;
}

#include "dialog_scale_test.moc"
