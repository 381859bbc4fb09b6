// Reading a cell's text into its byte, the way the window reads the grid.
#include <QtTest>

#include "cell_text.h"

class CellTextTest : public QObject {
    Q_OBJECT

  private slots:
    void value_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("spaces") << "   " << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("digit") << "7" << 7;
        QTest::newRow("leading spaces") << " \t 7" << 7;
        QTest::newRow("ideographic space") << QStringLiteral("\u30007") << 7;
        QTest::newRow("trailing letters") << "7abc" << 7;
        QTest::newRow("trailing digits after a space") << "7 8" << 7;
        QTest::newRow("plus sign") << "+7" << 7;
        QTest::newRow("sign without digits") << "-" << 0;
        QTest::newRow("space after sign") << "- 7" << 0;
        QTest::newRow("ten") << "10" << 10;
        QTest::newRow("minus one") << "-1" << 255;
        QTest::newRow("256 wraps to empty") << "256" << 0;
        QTest::newRow("263") << "263" << 7;
        QTest::newRow("beyond 32 bits clamps to the maximum") << "99999999999" << 255;
        QTest::newRow("far beyond") << QString(40, u'9') << 255;
        QTest::newRow("below 32 bits clamps to the minimum") << "-99999999999" << 0;
        QTest::newRow("full-width digit") << QStringLiteral("\uFF17") << 7;
        QTest::newRow("full-width number") << QStringLiteral("\uFF11\uFF10") << 10;
        QTest::newRow("mixed widths") << QStringLiteral("1\uFF12") << 12;
        QTest::newRow("other script digit") << QStringLiteral("\u0667") << 0;
    }
    void value() {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(int(CellValueFromText(text)), value);
    }

    void clampsToThe32BitRange() {
        QCOMPARE(ParseLong(u"2147483647"), 2147483647);
        QCOMPARE(ParseLong(u"2147483648"), 2147483647);
        QCOMPARE(ParseLong(u"-2147483648"), -2147483647 - 1);
        QCOMPARE(ParseLong(u"-2147483649"), -2147483647 - 1);
    }

    void writesBareDecimal() {
        QCOMPARE(CellTextFromValue(7), QStringLiteral("7"));
        QCOMPARE(CellTextFromValue(9), QStringLiteral("9"));
    }
};

QTEST_APPLESS_MAIN(CellTextTest)
#include "cell_text_test.moc"
