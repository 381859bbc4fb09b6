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

    // What Calculate writes reads back as the same byte, and as the bare decimal a person
    // would type: ASCII digits, no sign, no padding, no leading zero.
    void writtenTextReadsBack() {
        for (int value = 0; value < 256; ++value) {
            const QString text = CellTextFromValue(uint8_t(value));
            QCOMPARE(int(CellValueFromText(text)), value);
            QVERIFY2(!text.isEmpty() && text.size() <= 3, qPrintable(text));
            QVERIFY2(text == u"0" || text[0] != u'0', qPrintable(text));
            for (QChar ch : text) QVERIFY2(ch >= u'0' && ch <= u'9', qPrintable(text));
        }
    }
};

QTEST_APPLESS_MAIN(CellTextTest)
#include "cell_text_test.moc"
