#include "LineScan.h"
#include "ReaderText.h"
#include "Readers.h"
#include "SubRipText.h"

#include <optional>

// Four line-oriented formats: SubRip blocks, lines with two braced times,
// SubViewer and lines that begin with a time. Each gives up at the first
// line its format cannot hold, so that the opener can try the next one.

namespace {

const std::string DefaultStyle = "Default";

void AddTimedEntry(CSimpleTextSubtitle& script, const QString& text, bool unicodeText,
                   std::int32_t start, std::int32_t end)
{
    script.AddEntry(text, unicodeText, start, end, DefaultStyle, std::string(), std::string(), 0,
                    SMargins{}, -1);
}

// The next line that is not empty after trimming; false at the end.
bool NextLine(CTextFile& file, QString& line, QStringView& trimmed)
{
    while (file.ReadLine(line)) {
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

// The text lines of one block, each followed by a line feed. The block
// ends at the end of the file or at the next block's counter, which is
// consumed.
QString ReadSubRipBlock(CTextFile& file, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString text;
    QString line;
    bool emptyLineSeen = false;
    while (file.ReadLine(line)) {
        const QStringView trimmed = TrimmedLine(line, unicodeText);
        if (trimmed.isEmpty())
            emptyLineSeen = true;
        // A number directly under the time line is text ("2010"); after an
        // empty line it is the next block's counter.
        if (emptyLineSeen && IsBlockCounter(trimmed))
            break;
        text += ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText, charSet);
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
    QString line;
    QStringView trimmed;
    while (NextLine(file, line, trimmed)) {
        std::int32_t h1 = 0, m1 = 0, s1 = 0, f1 = 0, h2 = 0, m2 = 0, s2 = 0, f2 = 0;
        QChar any;
        const int count = CLineScan(trimmed)
                              .Int(h1)
                              .Char(any)
                              .Int(m1)
                              .Char(any)
                              .Int(s1)
                              .Char(any)
                              .Int(f1)
                              .Match(" --> ")
                              .Int(h2)
                              .Char(any)
                              .Int(m2)
                              .Char(any)
                              .Int(s2)
                              .Char(any)
                              .Int(f2)
                              .Count();
        if (count == 1)
            continue;
        if (count != 14)
            return false;
        // The fraction counts as the number written: ",5" is 5 ms.
        const std::optional<std::int32_t> start = TimeFromParts(h1, m1, s1, f1);
        const std::optional<std::int32_t> end = TimeFromParts(h2, m2, s2, f2);
        if (!start || !end)
            return false;
        const QString text = ReadSubRipBlock(file, charSet);
        AddTimedEntry(script, HtmlTagsToOverrides(text), file.HasUnicodeEncoding(), *start, *end);
    }
    return !script.entries.empty();
}

bool ReadBracedTimeLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString raw;
    QStringView trimmed;
    while (NextLine(file, raw, trimmed)) {
        const QString line =
            ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText, charSet);
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
        if (count != 6)
            return false;
        const std::optional<std::int32_t> start = TimeFromParts(h1, m1, s1, 0);
        const std::optional<std::int32_t> end = TimeFromParts(h2, m2, s2, 0);
        if (!start || !end)
            return false;
        // The text follows the second closing brace; a line without one
        // has no text.
        const qsizetype first = line.indexOf(u'}');
        const qsizetype second = line.indexOf(u'}', first + 1);
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
    while (NextLine(file, line, trimmed)) {
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
        if (count != 10)
            return false;
        // Hundredths of a second.
        const std::optional<std::int32_t> start = TimeFromParts(h1, m1, s1, std::int64_t(c1) * 10);
        const std::optional<std::int32_t> end = TimeFromParts(h2, m2, s2, std::int64_t(c2) * 10);
        if (!start || !end)
            return false;
        QString text;
        if (!file.ReadLine(text))
            break;
        text = ReplacedAll(text, QLatin1StringView("[br]"), QLatin1StringView("\\N"));
        const QString prefix = SubViewerPrefix(settings);
        if (!prefix.isEmpty())
            text = u'{' + prefix + u'}' + text;
        AddTimedEntry(script, text, unicodeText, *start, *end);
    }
    return !script.entries.empty();
}

bool ReadTimePrefixedLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString raw;
    QStringView trimmed;
    while (NextLine(file, raw, trimmed)) {
        const QString line =
            ReplaceScriptChar(trimmed.toString(), u'|', u'\n', unicodeText, charSet);
        std::int32_t h = 0, m = 0, s = 0;
        const int count =
            CLineScan(line).Int(h).Match(":").Int(m).Match(":").Int(s).Match(":").Count();
        if (count != 3)
            return false;
        const std::optional<std::int32_t> start = TimeFromParts(h, m, s, 0);
        if (!start)
            return false;
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
