// The window at scale factors 1, 1.5 and 2 (QT_SCALE_FACTOR): the layout keeps the
// template's proportions, nothing is cut, and it is drawn at the screen's full resolution.
// Qt reads the factor once at start-up, so the test runs itself once per factor.
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

// A control of the dialog template: its ID and its rectangle in dialog units, in a dialog
// of 253 x 198 units.
struct CExpected {
    int id, x, y, width, height;
};
constexpr CExpected kExpected[] = {
    {CvelmoDlg::IDOK, 9, 177, 50, 14},
    {CvelmoDlg::IDCANCEL, 193, 177, 50, 14},
    {CvelmoDlg::IDC_CLEAR, 101, 177, 50, 14},
    {CvelmoDlg::IDC_CELL_FIRST, 7, 7, 19, 14},
    {CvelmoDlg::IDC_CELL_FIRST + 8, 223, 7, 19, 14},
    {CvelmoDlg::IDC_CELL_FIRST + 40, 115, 79, 19, 14},
    {CvelmoDlg::IDC_CELL_FIRST + 80, 223, 151, 19, 14},
};

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

    void keepsTheTemplatesProportions() {
        const double unitX = m_dlg->width() / 253.0, unitY = m_dlg->height() / 198.0;
        for (const CExpected& expected : kExpected) {
            const QRect actual = m_dlg->GetDlgItem(expected.id)->geometry();
            const QRectF wanted(expected.x * unitX, expected.y * unitY, expected.width * unitX,
                                expected.height * unitY);
            const QString where = QStringLiteral("control %1: %2,%3 %4x%5")
                                      .arg(expected.id)
                                      .arg(actual.x())
                                      .arg(actual.y())
                                      .arg(actual.width())
                                      .arg(actual.height());
            QVERIFY2(std::abs(actual.x() - wanted.x()) <= 1.5, qPrintable(where));
            QVERIFY2(std::abs(actual.y() - wanted.y()) <= 1.5, qPrintable(where));
            QVERIFY2(std::abs(actual.width() - wanted.width()) <= 1.5, qPrintable(where));
            QVERIFY2(std::abs(actual.height() - wanted.height()) <= 1.5, qPrintable(where));
            QVERIFY(m_dlg->rect().contains(actual));
        }
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
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        std::printf("== QT_SCALE_FACTOR=%s\n", factor);
        std::fflush(stdout);
        run.start(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
        run.waitForFinished(-1);
        if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) ++failed;
    }
    return failed;
}

#include "dialog_scale_test.moc"
