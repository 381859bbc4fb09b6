// Cell text conversions.
#include "cell_text.h"

#include <limits>

namespace {

// The value of a decimal digit, ASCII or full-width, or -1.
int DigitValue(QChar ch) {
    const char16_t code = ch.unicode();
    if (code >= u'0' && code <= u'9') return code - u'0';
    if (code >= u'\uFF10' && code <= u'\uFF19') return code - u'\uFF10';
    return -1;
}

}  // namespace

int32_t ParseLong(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate in 64 bits and stop growing just past the 32-bit range, so that any
    // number of digits clamps instead of overflowing.
    constexpr int64_t kCap = int64_t{std::numeric_limits<int32_t>::max()} + 2;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit < 0) break;
        magnitude = std::min(kCap, magnitude * 10 + digit);
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

uint8_t CellValueFromText(QStringView text) {
    return static_cast<uint8_t>(static_cast<uint32_t>(ParseLong(text)) & 0xFF);
}

bool IsDigitOrBlank(QStringView text) {
    const QStringView trimmed = text.trimmed();
    return trimmed.isEmpty() || (trimmed.size() == 1 && DigitValue(trimmed[0]) >= 0);
}

QString CellTextFromValue(uint8_t value) {
    return QString::number(value);
}
