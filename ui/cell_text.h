// Converting between a cell's text and its byte in the puzzle grid.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>

// Reads `text` as the C library's wide strtol does in base 10: leading white space, an
// optional sign, then decimal digits up to the first other character (the rest is
// ignored), 0 when there are none, clamped to the 32-bit range. Full-width digits
// (U+FF10-U+FF19), which Chinese input methods type, count as digits.
int32_t ParseLong(QStringView text);

// The cell's byte: the low 8 bits of ParseLong. So "", "  ", "abc" and "0" are empty,
// " 7" and "7abc" are 7, "256" is 0 and "-1" is 255 (which the solver refuses).
uint8_t CellValueFromText(QStringView text);

// Whether `text` is blank or one digit (ASCII or full-width) with blanks around it: what a
// person means as a cell's digit, where "12" or "7x" is a typing slip the help names.
bool IsDigitOrBlank(QStringView text);

// The decimal text of a cell's byte, as written back after a solve.
QString CellTextFromValue(uint8_t value);
