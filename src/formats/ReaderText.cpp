#include "ReaderText.h"

#include "CharSets.h"

#include <algorithm>
#include <limits>

bool IsLineSpace(QChar c, bool unicodeText)
{
    const char16_t u = c.unicode();
    if (u == ' ' || (u >= 0x09 && u <= 0x0D))
        return true;
    return unicodeText && u > 0x7F && c.isSpace();
}

QStringView TrimmedLine(QStringView line, bool unicodeText)
{
    qsizetype from = 0;
    qsizetype to = line.size();
    while (from < to && IsLineSpace(line[from], unicodeText))
        ++from;
    while (to > from && IsLineSpace(line[to - 1], unicodeText))
        --to;
    return line.mid(from, to - from);
}

std::string Narrowed(QStringView text)
{
    std::string narrow;
    narrow.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        narrow.push_back(static_cast<char>(c.unicode() & 0xFF));
    return narrow;
}

QString AsciiLowered(QStringView text)
{
    QString lowered = text.toString();
    for (QChar& c : lowered) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(char16_t(c.unicode() + ('a' - 'A')));
    }
    return lowered;
}

void AsciiLower(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

std::optional<std::int32_t> TimeFromParts(std::int64_t hours, std::int64_t minutes,
                                          std::int64_t seconds, std::int64_t milliseconds)
{
    // The parts are 32-bit numbers, so none of this overflows 64 bits.
    const std::int64_t total = ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
    if (total < std::numeric_limits<std::int32_t>::min() ||
        total > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(total);
}

std::int32_t ClampedTime(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

CScriptCharMap::CScriptCharMap(QStringView text, bool unicodeText, int charSet, int defaultCodePage)
    : Text(text)
{
    if (unicodeText)
        return;
    // Lead bytes are never ASCII, so a text of ASCII alone hides nothing.
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    if (std::none_of(units, units + size, [](char16_t u) { return u >= 0x80 && u <= 0xFF; }))
        return;
    Hidden = DoubleByteUnits(text, charSet, defaultCodePage);
}

qsizetype CScriptCharMap::Find(QChar ch, qsizetype from) const
{
    const char16_t* units = Text.utf16();
    const char16_t wanted = ch.unicode();
    for (qsizetype i = from < 0 ? 0 : from; i < Text.size(); ++i) {
        if (units[i] == wanted && (Hidden.empty() || !Hidden[static_cast<std::size_t>(i)]))
            return i;
    }
    return -1;
}

QString ReplacedAll(const QString& text, QLatin1StringView what, QLatin1StringView by)
{
    qsizetype at = text.indexOf(what);
    if (at < 0 || what.isEmpty())
        return text;
    QString replaced;
    replaced.reserve(text.size() + (by.size() > what.size() ? text.size() / 4 : 0));
    qsizetype done = 0;
    for (; at >= 0; at = text.indexOf(what, done)) {
        replaced += QStringView(text).mid(done, at - done);
        replaced += by;
        done = at + what.size();
    }
    replaced += QStringView(text).mid(done);
    return replaced;
}

QString ReplaceScriptChar(QString text, QChar ch, QChar by, bool unicodeText, int charSet,
                          int defaultCodePage)
{
    if (!text.contains(ch))
        return text;
    if (unicodeText) {
        text.replace(ch, by);
        return text;
    }
    const CScriptCharMap map(text, false, charSet, defaultCodePage);
    QString replaced = text;
    for (qsizetype at = map.Find(ch, 0); at >= 0; at = map.Find(ch, at + 1))
        replaced[at] = by;
    return replaced;
}
