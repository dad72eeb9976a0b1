#include "LineScan.h"
#include "ReaderText.h"
#include "Readers.h"
#include "SubRipText.h"

#include <cstdlib>
#include <limits>
#include <optional>

// Four line-oriented formats: SubRip blocks, lines with two braced times,
// SubViewer and lines that begin with a time. Each gives up at a first
// line its format cannot hold, so that the opener can try the next one;
// once the format has shown itself, a line or block that cannot be read is
// left out with a warning naming its line.

namespace {

const std::string DefaultStyle = "Default";

void AddTimedEntry(CSimpleTextSubtitle& script, const QString& text, bool unicodeText,
                   std::int32_t start, std::int32_t end)
{
    script.AddEntry(text, unicodeText, start, end, DefaultStyle, std::string(), std::string(), 0,
                    SMargins{}, -1);
}

// The next line that is not empty after trimming; false at the end.
// `number` counts the lines read, from 1.
bool NextLine(CTextFile& file, QString& line, QStringView& trimmed, int& number)
{
    while (file.ReadLine(line)) {
        ++number;
        trimmed = TrimmedLine(line, file.HasUnicodeEncoding());
        if (!trimmed.isEmpty())
            return true;
    }
    return false;
}

// A line that is a number and nothing else counts the next block.
bool IsBlockCounter(QStringView line)
{
    std::int32_t number = 0;
    QChar rest;
    return CLineScan(line).Int(number).Char(rest).Count() == 1;
}

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Decimal digits at `at`, moving past them; false when there are none or
// they do not fit 32 bits.
bool TakeDigits(QStringView text, qsizetype& at, std::int64_t& value)
{
    const qsizetype from = at;
    value = 0;
    while (at < text.size() && IsDigit(text[at])) {
        value = value * 10 + (text[at].unicode() - u'0');
        if (value > std::numeric_limits<std::int32_t>::max())
            return false;
        ++at;
    }
    return at > from;
}

void SkipSpaces(QStringView text, qsizetype& at)
{
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
}

// "[-]h:m:s" with an optional fraction after any one separator (",500",
// ".5", ":500"), or "m:s,fff" without hours; the fraction counts as the
// number written, so ",5" is 5 ms. A minus sign makes the whole time
// negative.
bool TakeSubRipTime(QStringView text, qsizetype& at, std::int64_t& milliseconds)
{
    SkipSpaces(text, at);
    const bool negative = at < text.size() && text[at] == u'-';
    if (negative)
        ++at;
    std::int64_t parts[4] = {};
    QChar secondSeparator;
    for (int i = 0; i < 3; ++i) {
        if (!TakeDigits(text, at, parts[i]))
            return false;
        // Hours and minutes are followed by any one separator.
        if (i < 2) {
            if (at >= text.size() || IsDigit(text[at]))
                return false;
            if (i == 1)
                secondSeparator = text[at];
            ++at;
        }
    }
    if (at + 1 < text.size() && !IsCSpace(text[at]) && text[at] != u'-' && IsDigit(text[at + 1])) {
        ++at;
        TakeDigits(text, at, parts[3]);
    } else if (secondSeparator == u',' || secondSeparator == u'.') {
        // "01:02,345" leaves out the hours: minutes, seconds, milliseconds.
        parts[3] = parts[2];
        parts[2] = parts[1];
        parts[1] = parts[0];
        parts[0] = 0;
    }
    const std::int64_t total = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + parts[3];
    milliseconds = negative ? -total : total;
    return true;
}

struct STimeLine {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// "start --> end", the arrow written with any number of dashes and spaces
// before its ">" ("->", "- >"); whatever follows the end time (a position)
// is left alone.
bool ParseTimeLine(QStringView line, STimeLine& times)
{
    qsizetype at = 0;
    if (!TakeSubRipTime(line, at, times.start))
        return false;
    SkipSpaces(line, at);
    if (at >= line.size() || line[at] != u'-')
        return false;
    while (at < line.size() && (line[at] == u'-' || IsCSpace(line[at])))
        ++at;
    if (at >= line.size() || line[at] != u'>')
        return false;
    ++at;
    return TakeSubRipTime(line, at, times.end);
}

// The lines of a SubRip file, numbered from 1, with one line that can be
// handed back: the time line that ended a block without a counter.
class CNumberedLines {
public:
    explicit CNumberedLines(CTextFile& file) : File(file) {}

    bool Read(QString& line)
    {
        if (HasPending) {
            HasPending = false;
            line = Pending;
            return true;
        }
        if (!File.ReadLine(line))
            return false;
        ++Number;
        return true;
    }
    void HandBack(const QString& line)
    {
        Pending = line;
        HasPending = true;
    }
    // The number of the line read last.
    int Current() const { return Number; }

private:
    CTextFile& File;
    int Number = 0;
    QString Pending;
    bool HasPending = false;
};

// The text lines of one block, each followed by a line feed. The block
// ends at the end of the file, at the next block's counter (consumed) or
// at a time line, which starts a block of its own even without a counter
// and is handed back.
QString ReadSubRipBlock(CNumberedLines& lines, bool unicodeText, int charSet, int codePage)
{
    QString text;
    QString line;
    bool emptyLineSeen = false;
    STimeLine times;
    while (lines.Read(line)) {
        const QStringView trimmed = TrimmedLine(line, unicodeText);
        if (trimmed.isEmpty())
            emptyLineSeen = true;
        // A number directly under the time line is text ("2010"); after an
        // empty line it is the next block's counter.
        if (emptyLineSeen && IsBlockCounter(trimmed))
            break;
        if (ParseTimeLine(trimmed, times)) {
            lines.HandBack(line);
            break;
        }
        text += ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText, charSet, codePage);
        text += u'\n';
    }
    return text;
}

}  // namespace

QString HtmlTagsToOverrides(QString text)
{
    // No replacement holds a "<", so each pass leaves the others' tags alone.
    text = ReplacedAll(text, QLatin1StringView("<i>"), QLatin1StringView("{\\i1}"));
    text = ReplacedAll(text, QLatin1StringView("</i>"), QLatin1StringView("{\\i}"));
    text = ReplacedAll(text, QLatin1StringView("<b>"), QLatin1StringView("{\\b1}"));
    text = ReplacedAll(text, QLatin1StringView("</b>"), QLatin1StringView("{\\b}"));
    text = ReplacedAll(text, QLatin1StringView("<u>"), QLatin1StringView("{\\u1}"));
    text = ReplacedAll(text, QLatin1StringView("</u>"), QLatin1StringView("{\\u}"));
    return FontTagsToOverrides(text);
}

bool ReadSubRip(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    CNumberedLines lines(file);
    // Until a counter or a time line shows that this is SubRip, any other
    // line means another format.
    bool isSubRip = false;
    QString line;
    STimeLine times;
    while (lines.Read(line)) {
        const QStringView trimmed = TrimmedLine(line, unicodeText);
        if (trimmed.isEmpty())
            continue;
        if (IsBlockCounter(trimmed)) {
            isSubRip = true;
            continue;
        }
        const int lineNumber = lines.Current();
        if (!ParseTimeLine(trimmed, times)) {
            if (!isSubRip)
                return false;
            // A block whose time cannot be read is left out, text and all.
            script.WarnAtLine(lineNumber, "skipped, no valid time");
            ReadSubRipBlock(lines, unicodeText, charSet, file.encodingReport.codePage);
            continue;
        }
        isSubRip = true;
        const QString text =
            ReadSubRipBlock(lines, unicodeText, charSet, file.encodingReport.codePage);
        const std::optional<std::int32_t> start = script.ClampedReadTime(times.start, lineNumber);
        const std::optional<std::int32_t> end = script.ClampedReadTime(times.end, lineNumber);
        if (!start || !end) {
            script.WarnAtLine(lineNumber, "skipped, no valid time");
            continue;
        }
        AddTimedEntry(script, HtmlTagsToOverrides(text), unicodeText, *start, *end);
    }
    return !script.entries.empty();
}

namespace {

// A minus sign before the first number makes a time negative ("-0:00:01"
// reads its hours as 0, so the sign is looked at here).
std::int64_t Signed(QStringView field, std::int64_t magnitude)
{
    const QStringView trimmed = field.trimmed();
    return trimmed.startsWith(u'-') ? -std::abs(magnitude) : magnitude;
}

// The fraction of a SubViewer time: hundredths as written (".61" is
// 610 ms), milliseconds when it has three digits or more (".599").
std::int64_t FractionMs(QStringView time, std::int32_t fraction)
{
    qsizetype digits = 0;
    while (digits < time.size() && IsDigit(time[time.size() - 1 - digits]))
        ++digits;
    return digits >= 3 ? fraction : std::int64_t(fraction) * 10;
}

std::int64_t PartsTime(std::int64_t hours, std::int64_t minutes, std::int64_t seconds,
                       std::int64_t milliseconds)
{
    return ((std::abs(hours) * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
}

}  // namespace

bool ReadBracedTimeLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString raw;
    QStringView trimmed;
    int number = 0;
    while (NextLine(file, raw, trimmed, number)) {
        const QString line = ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText,
                                               charSet, file.encodingReport.codePage);
        std::int32_t h1 = 0, m1 = 0, s1 = 0, h2 = 0, m2 = 0, s2 = 0;
        const int count = CLineScan(line)
                              .Match("{")
                              .Int(h1)
                              .Match(":")
                              .Int(m1)
                              .Match(":")
                              .Int(s1)
                              .Match("}{")
                              .Int(h2)
                              .Match(":")
                              .Int(m2)
                              .Match(":")
                              .Int(s2)
                              .Count();
        // The text follows the second closing brace; a line without one
        // has no text.
        const qsizetype first = line.indexOf(u'}');
        const qsizetype second = line.indexOf(u'}', first + 1);
        std::optional<std::int32_t> start, end;
        if (count == 6) {
            start = script.ClampedReadTime(
                Signed(QStringView(line).mid(1), PartsTime(h1, m1, s1, 0)), number);
            end = script.ClampedReadTime(
                Signed(QStringView(line).mid(first + 2), PartsTime(h2, m2, s2, 0)), number);
        }
        if (!start || !end) {
            if (script.entries.empty())
                return false;
            script.WarnAtLine(number, "skipped, no valid time");
            continue;
        }
        const QString text = second < 0 ? QString() : line.mid(second + 1);
        AddTimedEntry(script, text, unicodeText, *start, *end);
    }
    return !script.entries.empty();
}

namespace {

// The settings that SubViewer lines give to the entries after them, kept
// only where they differ from the default style.
struct SSubViewerSettings {
    QString font;
    QString colour;
    QString size;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    bool underline = false;
};

bool IsParameterEdge(QChar c)
{
    return c == u' ' || c == u'\t' || c == u',';
}

QStringView TrimmedParameter(QStringView parameter)
{
    qsizetype from = 0;
    qsizetype to = parameter.size();
    while (from < to && IsParameterEdge(parameter[from]))
        ++from;
    while (to > from && IsParameterEdge(parameter[to - 1]))
        --to;
    return parameter.mid(from, to - from);
}

void ApplySubViewerTag(QStringView tag, QStringView parameter, const STSStyle& base,
                       SSubViewerSettings& settings)
{
    if (tag == u"font") {
        const bool same = EqualsIgnoringAsciiCase(Narrowed(parameter), base.fontName);
        settings.font = same ? QString() : parameter.toString();
    } else if (tag == u"colf") {
        std::uint32_t colour = 0;
        if (parameter.size() > 2)
            CLineScan(parameter.mid(2)).Hex(colour);
        settings.colour = colour == base.colours[0] ? QString() : parameter.toString();
    } else if (tag == u"size") {
        double size = 0;
        CLineScan(parameter).Double(size);
        settings.size = size == base.fontSize ? QString() : parameter.toString();
    } else if (tag == u"style") {
        if (parameter.contains(u"no")) {
            settings.bold = settings.italic = settings.strike = settings.underline = false;
        } else {
            settings.bold = base.weight < 700 && parameter.contains(u"bd");
            settings.italic = !base.italic && parameter.contains(u"it");
            settings.strike = !base.strikeOut && parameter.contains(u"st");
            settings.underline = !base.underline && parameter.contains(u"ud");
        }
    }
}

// A line of bracketed tags, each followed by its parameter:
// "[COLF]&H00FF00,[SIZE]30".
void ReadSubViewerTags(QStringView line, bool unicodeText, const STSStyle& base,
                       SSubViewerSettings& settings)
{
    qsizetype i = 0;
    while (i < line.size() && line[i] == u'[') {
        const qsizetype close = line.indexOf(u']', i + 1);
        if (close < 0)
            break;
        const QString tag = AsciiLowered(TrimmedLine(line.mid(i + 1, close - i - 1), unicodeText));
        qsizetype next = line.indexOf(u'[', close + 1);
        if (next < 0)
            next = line.size();
        ApplySubViewerTag(tag, TrimmedParameter(line.mid(close + 1, next - close - 1)), base,
                          settings);
        i = next;
    }
}

QString SubViewerPrefix(const SSubViewerSettings& settings)
{
    QString prefix;
    if (!settings.font.isEmpty())
        prefix += QLatin1String("\\fn") + settings.font;
    if (!settings.colour.isEmpty())
        prefix += QLatin1String("\\c") + settings.colour;
    if (!settings.size.isEmpty())
        prefix += QLatin1String("\\fs") + settings.size;
    if (settings.bold)
        prefix += QLatin1String("\\b1");
    if (settings.italic)
        prefix += QLatin1String("\\i1");
    if (settings.strike)
        prefix += QLatin1String("\\s1");
    if (settings.underline)
        prefix += QLatin1String("\\u1");
    return prefix;
}

}  // namespace

bool ReadSubViewer(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    const STSStyle base;
    SSubViewerSettings settings;
    QString line;
    QStringView trimmed;
    int number = 0;
    // The line of the last text read, and whether it made an entry.
    int lastLine = 0;
    bool entryAtLastLine = false;
    while (NextLine(file, line, trimmed, number)) {
        if (trimmed.front() == u'[') {
            ReadSubViewerTags(trimmed, unicodeText, base, settings);
            continue;
        }
        std::int32_t h1 = 0, m1 = 0, s1 = 0, c1 = 0, h2 = 0, m2 = 0, s2 = 0, c2 = 0;
        QChar any;
        const int count = CLineScan(trimmed)
                              .Int(h1)
                              .Match(":")
                              .Int(m1)
                              .Match(":")
                              .Int(s1)
                              .Char(any)
                              .Int(c1)
                              .Match(",")
                              .Int(h2)
                              .Match(":")
                              .Int(m2)
                              .Match(":")
                              .Int(s2)
                              .Char(any)
                              .Int(c2)
                              .Count();
        std::optional<std::int32_t> start, end;
        if (count == 10) {
            const qsizetype comma = trimmed.indexOf(u',');
            const QStringView second = trimmed.mid(comma + 1);
            start = script.ClampedReadTime(
                Signed(trimmed, PartsTime(h1, m1, s1, FractionMs(trimmed.first(comma), c1))),
                number);
            end = script.ClampedReadTime(
                Signed(second, PartsTime(h2, m2, s2, FractionMs(second, c2))), number);
        }
        if (!start || !end) {
            if (script.entries.empty())
                return false;
            // Text that runs on under its time pair for more than one line
            // belongs to that entry.
            if (entryAtLastLine && lastLine == number - 1) {
                script.entries.back().text += QLatin1String("\\N") + trimmed.toString();
                lastLine = number;
                continue;
            }
            script.WarnAtLine(number, "skipped, no valid time");
            continue;
        }
        QString text;
        if (!file.ReadLine(text))
            break;
        ++number;
        lastLine = number;
        text = ReplacedAll(text, QLatin1StringView("[br]"), QLatin1StringView("\\N"));
        const QString prefix = SubViewerPrefix(settings);
        if (!prefix.isEmpty())
            text = u'{' + prefix + u'}' + text;
        const std::size_t before = script.entries.size();
        AddTimedEntry(script, text, unicodeText, *start, *end);
        entryAtLastLine = script.entries.size() > before;
    }
    return !script.entries.empty();
}

bool ReadTimePrefixedLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString raw;
    QStringView trimmed;
    int number = 0;
    while (NextLine(file, raw, trimmed, number)) {
        const QString line = ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText,
                                               charSet, file.encodingReport.codePage);
        std::int32_t h = 0, m = 0, s = 0;
        const int count =
            CLineScan(line).Int(h).Match(":").Int(m).Match(":").Int(s).Match(":").Count();
        std::optional<std::int32_t> start;
        if (count == 3)
            start = script.ClampedReadTime(Signed(line, PartsTime(h, m, s, 0)), number);
        if (!start) {
            if (script.entries.empty())
                return false;
            script.WarnAtLine(number, "skipped, no valid time");
            continue;
        }
        // The text follows the third colon; without one there is none.
        qsizetype colon = -1;
        for (int n = 0; n < 3; ++n) {
            colon = line.indexOf(u':', colon + 1);
            if (colon < 0)
                break;
        }
        const QString text = colon < 0 ? QString() : line.mid(colon + 1);
        // The line shows for a second plus 50 ms per character.
        const std::int32_t end = ClampedTime(std::int64_t(*start) + 1000 + 50 * text.size());
        AddTimedEntry(script, text, unicodeText, *start, end);
    }
    return !script.entries.empty();
}
