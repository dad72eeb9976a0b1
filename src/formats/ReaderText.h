#pragma once
// Small text operations that the line-oriented script readers share.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// White space at the ends of a script line. In byte-valued text a unit
// above 0x7F may be the second byte of a double-byte character, so only
// ASCII white space counts there.
bool IsLineSpace(QChar c, bool unicodeText);
QStringView TrimmedLine(QStringView line, bool unicodeText);

// Every unit becomes the byte of its low 8 bits.
std::string Narrowed(QStringView text);
// Only A..Z change, so byte values of a code-page text stay as they are.
QString AsciiLowered(QStringView text);
void AsciiLower(std::string& text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// ((hours x 60 + minutes) x 60 + seconds) x 1000 + milliseconds, or nothing
// when the time does not fit a 32-bit millisecond count.
std::optional<std::int32_t> TimeFromParts(std::int64_t hours, std::int64_t minutes,
                                          std::int64_t seconds, std::int64_t milliseconds);
// A time that the reader derives rather than reads is kept in range.
std::int32_t ClampedTime(std::int64_t value);

// Finds characters of a script text as FindScriptChar does (never inside a
// double-byte character of byte-valued text) for any number of searches,
// walking the text only once.
class CScriptCharMap {
public:
    // The map refers to `text`, which must outlive it. `defaultCodePage` as
    // for FindScriptChar.
    CScriptCharMap(QStringView text, bool unicodeText, int charSet, int defaultCodePage = 0);

    // The first `ch` at or after `from`, or -1.
    qsizetype Find(QChar ch, qsizetype from) const;

private:
    QStringView Text;
    std::vector<char> Hidden;  // units of double-byte characters; empty: none
};

// Every `what` becomes `by`, in one pass that stays linear however many
// there are.
QString ReplacedAll(const QString& text, QLatin1StringView what, QLatin1StringView by);

// Every `ch` that FindScriptChar would find becomes `by`.
QString ReplaceScriptChar(QString text, QChar ch, QChar by, bool unicodeText, int charSet,
                          int defaultCodePage = 0);
