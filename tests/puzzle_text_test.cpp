// Reading a whole puzzle from clipboard text, and writing the grid as one line.
#include <QtTest>

#include "puzzle_layout.h"
#include "puzzle_text.h"

namespace {

const QString kLine =
    "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";

// The puzzle of kLine as nine lines of nine with box rules, joined by `eol`.
QString BoxedLayout(const QString& eol, QChar empty = u'.') {
    return NineLines(QString(kLine).replace(u'.', empty), eol);
}

QString Digits(const PuzzleGrid& grid) {
    QString text;
    for (uint8_t cell : grid) text += cell == 0 ? QChar(u'.') : QChar(u'0' + cell);
    return text;
}

}  // namespace

class PuzzleTextTest : public QObject {
    Q_OBJECT

  private slots:
    void readsOnePuzzle_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("one line") << kLine;
        QTest::newRow("zeros for empty") << QString(kLine).replace(u'.', u'0');
        QTest::newRow("line end and spaces around") << "  " + kLine + "\r\n";
        QTest::newRow("nine lines, LF") << BoxedLayout("\n");
        QTest::newRow("nine lines, CRLF") << BoxedLayout("\r\n") + "\r\n";
        QTest::newRow("nine lines, CR") << BoxedLayout("\r");
        QTest::newRow("nine lines with zeros") << BoxedLayout("\n", u'0');
        QTest::newRow("nine lines with a frame and blank lines")
            << "+-------+-------+-------+\n\n" +
                   BoxedLayout("\n").replace("\n", " |\n| ").prepend("| ") +
                   " |\n+-------+-------+-------+\n\n";
        QTest::newRow("a comment first") << "# from 17-clue.txt\n" + kLine;
        QTest::newRow("tabs between cells")
            << QString(kLine).split(QString(), Qt::SkipEmptyParts).join(u'\t');
    }
    void readsOnePuzzle() {
        QFETCH(QString, text);
        const std::optional<PuzzleGrid> grid = PuzzleFromText(text);
        QVERIFY2(grid.has_value(), qPrintable(text));
        QCOMPARE(Digits(*grid), kLine);
    }

    void turnsAwayAnythingElse_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("one digit") << "5";
        QTest::newRow("80 cells") << kLine.left(80);
        QTest::newRow("82 cells") << kLine + ".";
        QTest::newRow("two puzzles") << kLine + "\n" + kLine;
        QTest::newRow("two puzzles on one line") << kLine + kLine;
        QTest::newRow("a letter among the cells") << QString(kLine).replace(5, 1, u'x');
        QTest::newRow("a word after it") << kLine + " easy";
        QTest::newRow("a count after it, as some files have") << kLine + ":1";
        QTest::newRow("a NUL inside") << QString(kLine).replace(5, 1, QChar(0));
        QTest::newRow("a full-width digit") << QString(kLine).replace(0, 1, QChar(0xFF14));
        QTest::newRow("nine lines, one of ten")
            << BoxedLayout("\n").replace(QStringLiteral("4 . . |"), QStringLiteral("4 . . . |"));
        QTest::newRow("nine lines, one of eight")
            << BoxedLayout("\n").replace(QStringLiteral("4 . . |"), QStringLiteral("4 . |"));
        QTest::newRow("nine lines, 81 cells, but one of ten and one of eight")
            << BoxedLayout("\n")
                   .replace(QStringLiteral("4 . . |"), QStringLiteral("4 . . . |"))
                   .replace(QStringLiteral("1 . 4"), QStringLiteral("1 4"));
        QTest::newRow("81 cells over three lines")
            << kLine.left(27) + "\n" + kLine.mid(27, 27) + "\n" + kLine.mid(54);
        QTest::newRow("nine lines and a tenth") << BoxedLayout("\n") + "\n1 2 3 4 5 6 7 8 9";
        QTest::newRow("too long, though one puzzle") << kLine + QString(kMaxPuzzleTextLength, u' ');
    }
    void turnsAwayAnythingElse() {
        QFETCH(QString, text);
        QVERIFY(!PuzzleFromText(text).has_value());
    }

    // Hostile clipboards come back at once: the length is checked before anything is read.
    void hugeTextIsNotScanned() {
        const QString huge(64 * 1024 * 1024, u'1');
        QVERIFY(!PuzzleFromText(huge).has_value());
        QVERIFY(PuzzleFromText(kLine + QString(kMaxPuzzleTextLength - 81, u'\n')).has_value());
    }

    void writesOneLine() {
        PuzzleGrid grid{};
        grid[0] = 4;
        grid[80] = 9;
        const std::optional<QString> line = PuzzleLine(grid);
        QVERIFY(line.has_value());
        QCOMPARE(*line, "4" + QString(79, u'.') + "9");
        QCOMPARE(PuzzleFromText(*line), grid);
    }

    void noLineForANumberAboveNine() {
        PuzzleGrid grid{};
        grid[40] = 10;
        QVERIFY(!PuzzleLine(grid).has_value());
        grid[40] = 255;
        QVERIFY(!PuzzleLine(grid).has_value());
    }
};

QTEST_APPLESS_MAIN(PuzzleTextTest)
#include "puzzle_text_test.moc"
