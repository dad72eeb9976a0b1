#pragma once
// Takes the numbers and separators of one script line apart the way the C
// library's formatted input does ("%d", "%x", "%f", "%c", literal text and
// white space), over 16-bit units, counting the items stored. The scan stops
// at the first item that does not match; later calls then do nothing.
//
// One difference from the C library: a number too large for its type is
// not stored (the scan stops there), so a huge number in a damaged file
// never wraps around into a plausible time or colour.

#include <QStringView>

#include <cstdint>

class CLineScan {
public:
    explicit CLineScan(QStringView text) : Text(text) {}

    // "%d": white space, an optional sign, decimal digits.
    CLineScan& Int(std::int32_t& value);
    // "%x": white space, an optional sign and "0x", hexadecimal digits.
    CLineScan& Hex(std::uint32_t& value);
    // "%f" and "%lf": a finite decimal number; infinities and NaN do not match.
    CLineScan& Float(float& value);
    CLineScan& Double(double& value);
    // "%c": any one unit, white space included.
    CLineScan& Char(QChar& value);
    // Literal format text; a space in it matches any run of white space,
    // none included.
    CLineScan& Match(const char* literal);

    // The number of items stored so far.
    int Count() const { return Stored; }

private:
    void SkipSpace();
    // The extent of a decimal floating-point number at the position, or 0.
    qsizetype FloatLength() const;
    // Reads a decimal number in the precision of T.
    template <typename T> CLineScan& Real(T& value);
    bool Digit(qsizetype at) const;

    QStringView Text;
    qsizetype Pos = 0;
    int Stored = 0;
    bool Stopped = false;
};

// The white space of the C library's "C" locale.
inline bool IsCSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || (u >= 0x09 && u <= 0x0D);
}
