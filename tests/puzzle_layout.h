// Puzzles laid out the way puzzle sites print them, for the tests that paste them.
#pragma once

#include <QStringList>

// `grid` (81 characters) as nine lines of nine joined by `eol`: a space between cells, a '|'
// between boxes, and a rule of '-' and '+' between the bands of three rows.
inline QString NineLines(const QString& grid, const QString& eol) {
    QStringList lines;
    for (int r = 0; r < 9; ++r) {
        if (r == 3 || r == 6) lines << QStringLiteral("------+-------+------");
        QString row;
        for (int c = 0; c < 9; ++c) {
            if (c == 3 || c == 6) row += QStringLiteral("| ");
            row += grid[9 * r + c] + QStringLiteral(" ");
        }
        lines << row.trimmed();
    }
    return lines.join(eol);
}
