#include "LineScan.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool IsAsciiLetter(QChar c, char lower)
{
    return c.unicode() == char16_t(lower) || c.unicode() == char16_t(lower - 'a' + 'A');
}

template <typename T> bool ParseFinite(QStringView digits, T& value)
{
    std::string narrow;
    narrow.reserve(static_cast<std::size_t>(digits.size()));
    for (QChar c : digits)
        narrow.push_back(static_cast<char>(c.unicode()));
    const char* first = narrow.data();
    const char* last = first + narrow.size();
    if (first != last && *first == '+')
        ++first;
    T parsed{};
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

}  // namespace

void CLineScan::SkipSpace()
{
    while (Pos < Text.size() && IsCSpace(Text[Pos]))
        ++Pos;
}

bool CLineScan::Digit(qsizetype at) const
{
    return at < Text.size() && Text.utf16()[at] >= u'0' && Text.utf16()[at] <= u'9';
}

CLineScan& CLineScan::Int(std::int32_t& value)
{
    if (Stopped)
        return *this;
    SkipSpace();
    qsizetype at = Pos;
    bool negative = false;
    if (at < Text.size() && (Text[at] == u'+' || Text[at] == u'-'))
        negative = Text[at++] == u'-';
    if (!Digit(at)) {
        Stopped = true;
        return *this;
    }
    // Every digit is consumed; the magnitude stops growing once it is out
    // of range so that a long run cannot overflow the accumulator.
    constexpr std::int64_t Limit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; Digit(at); ++at) {
        if (magnitude <= Limit)
            magnitude = magnitude * 10 + (Text.utf16()[at] - '0');
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < std::numeric_limits<std::int32_t>::min() ||
        signedValue > std::numeric_limits<std::int32_t>::max()) {
        Stopped = true;
        return *this;
    }
    value = static_cast<std::int32_t>(signedValue);
    Pos = at;
    ++Stored;
    return *this;
}

CLineScan& CLineScan::Hex(std::uint32_t& value)
{
    if (Stopped)
        return *this;
    SkipSpace();
    qsizetype at = Pos;
    bool negative = false;
    if (at < Text.size() && (Text[at] == u'+' || Text[at] == u'-'))
        negative = Text[at++] == u'-';
    if (at + 2 < Text.size() && Text[at] == u'0' && IsAsciiLetter(Text[at + 1], 'x') &&
        HexDigit(Text[at + 2]) >= 0)
        at += 2;
    if (at >= Text.size() || HexDigit(Text[at]) < 0) {
        Stopped = true;
        return *this;
    }
    constexpr std::uint64_t Limit = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t magnitude = 0;
    for (; at < Text.size() && HexDigit(Text[at]) >= 0; ++at) {
        if (magnitude <= Limit)
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(HexDigit(Text[at]));
    }
    if (magnitude > Limit) {
        Stopped = true;
        return *this;
    }
    // Like the C library, a minus sign negates in unsigned arithmetic.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    value = negative ? static_cast<std::uint32_t>(0u - bits) : bits;
    Pos = at;
    ++Stored;
    return *this;
}

qsizetype CLineScan::FloatLength() const
{
    qsizetype at = Pos;
    if (at < Text.size() && (Text[at] == u'+' || Text[at] == u'-'))
        ++at;
    const qsizetype mantissa = at;
    while (Digit(at))
        ++at;
    bool anyDigit = at > mantissa;
    if (at < Text.size() && Text[at] == u'.') {
        ++at;
        const qsizetype fraction = at;
        while (Digit(at))
            ++at;
        anyDigit = anyDigit || at > fraction;
    }
    if (!anyDigit)
        return 0;
    if (at < Text.size() && IsAsciiLetter(Text[at], 'e')) {
        qsizetype exponent = at + 1;
        if (exponent < Text.size() && (Text[exponent] == u'+' || Text[exponent] == u'-'))
            ++exponent;
        if (Digit(exponent)) {
            at = exponent;
            while (Digit(at))
                ++at;
        }
    }
    return at - Pos;
}

template <typename T> CLineScan& CLineScan::Real(T& value)
{
    if (Stopped)
        return *this;
    SkipSpace();
    const qsizetype length = FloatLength();
    if (length == 0 || !ParseFinite(Text.mid(Pos, length), value)) {
        Stopped = true;
        return *this;
    }
    Pos += length;
    ++Stored;
    return *this;
}

CLineScan& CLineScan::Float(float& value)
{
    return Real(value);
}

CLineScan& CLineScan::Double(double& value)
{
    return Real(value);
}

CLineScan& CLineScan::Char(QChar& value)
{
    if (Stopped)
        return *this;
    if (Pos >= Text.size()) {
        Stopped = true;
        return *this;
    }
    value = Text[Pos++];
    ++Stored;
    return *this;
}

CLineScan& CLineScan::Match(const char* literal)
{
    for (; !Stopped && *literal; ++literal) {
        if (*literal == ' ') {
            SkipSpace();
        } else if (Pos < Text.size() && Text[Pos] == QChar(char16_t(*literal))) {
            ++Pos;
        } else {
            Stopped = true;
        }
    }
    return *this;
}
