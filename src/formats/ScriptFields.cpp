#include "ScriptFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace {

// Only the ASCII white space counts: in a text that holds the bytes of a
// code page, a unit such as 0xA0 is part of a character.
bool IsBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
        ++pos;
    return pos;
}

// The unit at `pos` as a lower-case ASCII character, 0 past the end or for
// anything else.
char LowerAt(const QString& text, qsizetype pos)
{
    if (pos >= text.size())
        return 0;
    const char16_t u = text[pos].unicode();
    if (u >= 'A' && u <= 'Z')
        return static_cast<char>(u - 'A' + 'a');
    return u < 0x80 ? static_cast<char>(u) : 0;
}

int DigitValue(char c, int base)
{
    int value = base;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

// Reads like the C library's integer conversion: blanks, a sign, digits
// (after an optional "0x" in base 16). Values too large for 64 bits
// saturate; the low 32 bits are the result, so a decimal colour above
// 0x7FFFFFFF keeps its bits.
bool ReadInteger(const QString& text, qsizetype pos, int base, int& value)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (LowerAt(text, pos) == '+' || LowerAt(text, pos) == '-') {
        negative = LowerAt(text, pos) == '-';
        ++pos;
    }
    if (base == 16 && LowerAt(text, pos) == '0' && LowerAt(text, pos + 1) == 'x' &&
        DigitValue(LowerAt(text, pos + 2), 16) >= 0)
        pos += 2;
    std::uint64_t magnitude = 0;
    bool saturated = false;
    bool anyDigit = false;
    for (;; ++pos) {
        const int digit = DigitValue(LowerAt(text, pos), base);
        if (digit < 0)
            break;
        anyDigit = true;
        const auto limit = std::numeric_limits<std::uint64_t>::max();
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / static_cast<unsigned>(base)) {
            // More digits cannot change a saturated value.
            saturated = true;
            break;
        }
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (!anyDigit)
        return false;
    std::uint64_t bits = 0;
    if (base == 16) {
        bits = saturated ? std::numeric_limits<std::uint64_t>::max() : magnitude;
        if (negative)
            bits = ~bits + 1;
    } else {
        const std::uint64_t maxMagnitude =
            static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) +
            (negative ? 1 : 0);
        if (saturated || magnitude > maxMagnitude)
            magnitude = maxMagnitude;
        bits = negative ? ~magnitude + 1 : magnitude;
    }
    value = static_cast<int>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    return true;
}

// A number too large or too small for a float gives infinity or zero (or a
// denormal), as the C library's conversion does.
float OutOfRangeFloat(const char* first, const char* last, std::chars_format format)
{
    double wide = 0;
    const auto [end, error] = std::from_chars(first, last, wide, format);
    if (error == std::errc()) {
        if (std::fabs(wide) > std::numeric_limits<float>::max())
            return wide < 0 ? -std::numeric_limits<float>::infinity()
                            : std::numeric_limits<float>::infinity();
        return static_cast<float>(wide);
    }
    // Too far out even for a double: the sign of the exponent decides.
    const std::string_view text(first, static_cast<std::size_t>(end - first));
    const char marker = format == std::chars_format::hex ? 'p' : 'e';
    const std::size_t mark = std::min(text.find(marker), text.find(static_cast<char>(marker - 32)));
    const bool tiny =
        mark != std::string_view::npos && mark + 1 < text.size() && text[mark + 1] == '-';
    return tiny ? 0.0f : std::numeric_limits<float>::infinity();
}

// `text` may be in any case: the conversion takes "INF" and "1E5" as well.
bool ReadFloat(std::string_view text, float& value)
{
    std::size_t pos = SkipBlanks(text, 0);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        return false;
    auto format = std::chars_format::general;
    if (pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] | 0x20) == 'x' &&
        (DigitValue(static_cast<char>(text[pos + 2] | 0x20), 16) >= 0 || text[pos + 2] == '.')) {
        format = std::chars_format::hex;
        pos += 2;
    }
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    float parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, format);
    if (error == std::errc::invalid_argument)
        return false;
    if (error == std::errc::result_out_of_range)
        parsed = OutOfRangeFloat(first, end, format);
    value = negative ? -parsed : parsed;
    return true;
}

}  // namespace

bool TakeField(QString& buffer, QChar separator, QString& field)
{
    qsizetype start = 0;
    while (start < buffer.size() && IsBlank(buffer[start]))
        ++start;
    buffer.remove(0, start);
    if (buffer.isEmpty())
        return false;
    const qsizetype at = buffer.indexOf(separator);
    if (at < 0) {
        field = buffer;
        return true;
    }
    field = buffer.left(at);
    buffer.remove(0, at + 1);
    return true;
}

bool TakeInt(QString& buffer, QChar separator, int& value)
{
    QString field;
    if (!TakeField(buffer, separator, field))
        return false;
    const char first = LowerAt(field, 0), second = LowerAt(field, 1);
    const bool hex =
        field.size() > 2 && ((first == '&' && second == 'h') || (first == '0' && second == 'x'));
    return ReadInteger(field, hex ? 2 : 0, hex ? 16 : 10, value);
}

bool TakeFloat(QString& buffer, QChar separator, double& value)
{
    QString field;
    if (!TakeField(buffer, separator, field))
        return false;
    // Units outside Latin-1 become "?", which no number contains.
    const QByteArray text = field.toLatin1();
    float single = 0;
    if (!ReadFloat(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                   single))
        return false;
    value = single;
    return true;
}
