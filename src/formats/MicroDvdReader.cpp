#include "LineScan.h"
#include "MicroDvdText.h"
#include "ReaderText.h"
#include "Readers.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>
#include <utility>

// MicroDVD: one entry per line, timed in video frames, "{start}{end}text",
// with braced formatting codes in the text and "{NAME}codes" lines that
// define styles.

namespace {

// Codes are compared in ASCII only: in byte-valued text a unit above 0x7F
// is a byte of a code page, not a letter.
bool StartsWithIgnoringCase(QStringView text, std::string_view prefix)
{
    if (text.size() < static_cast<qsizetype>(prefix.size()))
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t u = text[static_cast<qsizetype>(i)].unicode();
        if (u >= 'A' && u <= 'Z')
            u = static_cast<char16_t>(u + ('a' - 'A'));
        if (u != static_cast<unsigned char>(prefix[i]))
            return false;
    }
    return true;
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           EqualsIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

QStringView AsView(const std::string& text, QString& storage)
{
    storage = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return storage;
}

bool IsAsciiUpper(QChar c)
{
    return c >= u'A' && c <= u'Z';
}

// A frame number too large for 32 bits fails the scan; it must not pass
// for the name of a style.
bool IsNumber(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        ++at;
    return at < text.size() && std::all_of(text.begin() + at, text.end(),
                                           [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The codes a line can switch off again at its end, in the order their
// closing tags are written.
enum ERestore { Colour, FontName, FontSize, FontEncoding, Bold, Italic, Underline, StrikeOut };
constexpr std::array<const char*, 8> RestoreTags = {"{\\c}", "{\\fn}", "{\\fs}", "{\\fe}",
                                                    "{\\b}", "{\\i}",  "{\\u}",  "{\\s}"};

// Appends the override tags of one braced code (without its "}").
void TranslateCode(QStringView code, QString& out, std::array<bool, 8>& restore)
{
    // Lower case applies to this line only.
    const bool lineOnly = code.size() > 1 && !IsAsciiUpper(code[1]);
    if (StartsWithIgnoringCase(code, "{c:$")) {
        restore[Colour] = lineOnly;
        std::uint32_t colour = 0;
        if (CLineScan(AsciiLowered(code)).Match("{c:$").Hex(colour).Count() == 1)
            out += QLatin1String("{\\c&H") + QString::number(colour, 16) + QLatin1String("&}");
    } else if (StartsWithIgnoringCase(code, "{f:")) {
        restore[FontName] = lineOnly;
        out += QLatin1String("{\\fn");
        out += code.mid(3);
        out += u'}';
    } else if (StartsWithIgnoringCase(code, "{s:")) {
        restore[FontSize] = lineOnly;
        float size = 0;
        if (CLineScan(AsciiLowered(code)).Match("{s:").Float(size).Count() == 1)
            out += QLatin1String("{\\fs") + QString::number(double(size), 'f', 6) + u'}';
    } else if (StartsWithIgnoringCase(code, "{h:")) {
        restore[FontEncoding] = lineOnly;
        std::int32_t charSet = 0;
        if (CLineScan(AsciiLowered(code)).Match("{h:").Int(charSet).Count() == 1)
            out += QLatin1String("{\\fe") + QString::number(charSet) + u'}';
    } else if (StartsWithIgnoringCase(code, "{y:")) {
        const QString lowered = AsciiLowered(code);
        out += u'{';
        if (lowered.contains(u'b')) {
            out += QLatin1String("\\b1");
            restore[Bold] = lineOnly;
        }
        if (lowered.contains(u'i')) {
            out += QLatin1String("\\i1");
            restore[Italic] = lineOnly;
        }
        if (lowered.contains(u'u')) {
            out += QLatin1String("\\u1");
            restore[Underline] = lineOnly;
        }
        if (lowered.contains(u's')) {
            out += QLatin1String("\\s1");
            restore[StrikeOut] = lineOnly;
        }
        out += u'}';
    } else if (StartsWithIgnoringCase(code, "{o:")) {
        std::int32_t x = 0, y = 0;
        QChar any;
        if (CLineScan(AsciiLowered(code)).Match("{o:").Int(x).Char(any).Int(y).Count() == 3)
            out += QString::asprintf("{\\move(%d,%d,0,0,0,0)}", x, y);
    } else {
        // Unknown codes stay, without their closing brace.
        out += code;
    }
}

// One "|"-separated line of an entry: text, and codes from "{" to "}".
void TranslateLine(QStringView line, bool unicodeText, int charSet, int defaultCodePage,
                   QString& out, std::array<bool, 8>& restore)
{
    const CScriptCharMap chars(line, unicodeText, charSet, defaultCodePage);
    qsizetype i = 0;
    while (i < line.size()) {
        qsizetype j = chars.Find(u'{', i);
        if (j < 0)
            j = line.size();
        out += line.mid(i, j - i);
        if (j >= line.size())
            break;
        qsizetype k = chars.Find(u'}', j);
        if (k < 0)
            k = line.size();
        TranslateCode(line.mid(j, k - j), out, restore);
        i = k + 1;
    }
}

}  // namespace

std::unique_ptr<STSStyle> ParseMicroDvdStyle(const std::string& text)
{
    auto style = std::make_unique<STSStyle>();
    QString storage;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t j = text.find('{', pos);
        if (j == std::string::npos)
            break;
        std::size_t k = text.find('}', j);
        if (k == std::string::npos)
            k = text.size();
        std::string code = text.substr(j, k - j);
        if (code.size() > 2 && code[1] >= 'A' && code[1] <= 'Z')
            code[1] = static_cast<char>(code[1] + ('a' - 'A'));
        if (StartsWithIgnoringCase(code, "{c:$")) {
            std::uint32_t colour = 0;
            if (CLineScan(AsView(code, storage)).Match("{c:$").Hex(colour).Count() == 1)
                style->colours[0] = colour;
        } else if (StartsWithIgnoringCase(code, "{f:")) {
            style->fontName = code.substr(3);
        } else if (StartsWithIgnoringCase(code, "{s:")) {
            float size = 0;
            if (CLineScan(AsView(code, storage)).Match("{s:").Float(size).Count() == 1)
                style->fontSize = size;
        } else if (StartsWithIgnoringCase(code, "{h:")) {
            std::int32_t charSet = 0;
            if (CLineScan(AsView(code, storage)).Match("{h:").Int(charSet).Count() == 1)
                style->charSet = charSet;
        } else if (StartsWithIgnoringCase(code, "{y:")) {
            AsciiLower(code);
            if (code.find('b') != std::string::npos)
                style->weight = 700;
            style->italic = style->italic || code.find('i') != std::string::npos;
            style->underline = style->underline || code.find('u') != std::string::npos;
            style->strikeOut = style->strikeOut || code.find('s') != std::string::npos;
        } else if (StartsWithIgnoringCase(code, "{p:")) {
            std::int32_t position = 0;
            if (CLineScan(AsView(code, storage)).Match("{p:").Int(position).Count() == 1)
                style->alignment = position == 0 ? 8 : 2;
        }
        pos = k + 1;
    }
    return style;
}

QString MicroDvdToScriptText(const QString& text, bool unicodeText, int charSet,
                             int defaultCodePage)
{
    QString out;
    out.reserve(text.size() + 16);
    std::array<bool, 8> restore{};
    const CScriptCharMap lines(text, unicodeText, charSet, defaultCodePage);
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype eol = lines.Find(u'|', pos);
        if (eol < 0)
            eol = text.size();
        TranslateLine(QStringView(text).mid(pos, eol - pos), unicodeText, charSet, defaultCodePage,
                      out, restore);
        // The last line needs neither closing tags nor a line break.
        if (eol >= text.size())
            break;
        for (std::size_t flag = 0; flag < restore.size(); ++flag) {
            if (restore[flag])
                out += QLatin1String(RestoreTags[flag]);
        }
        restore.fill(false);
        out += QLatin1String("\\N");
        pos = eol + 1;
    }
    return out;
}

namespace {

// "{1}{1}23.976": a first line whose text is a plain number gives the frame
// rate of the file rather than a subtitle.
bool ReadFrameRateLine(QStringView text, std::int32_t start, std::int32_t end, double& rate)
{
    if (start < 0 || start > 1 || end < 0 || end > 1)
        return false;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !(value > 0 && value <= 1000))
        return false;
    rate = value;
    return true;
}

}  // namespace

bool ReadMicroDvd(CTextFile& file, CSimpleTextSubtitle& script, int charSet)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    std::string currentStyle = "Default";
    bool openEnd = false;
    bool clipPrevious = false;
    bool firstTimedLine = true;
    int number = 0;
    QString raw;
    while (file.ReadLine(raw)) {
        ++number;
        const QStringView line = TrimmedLine(raw, unicodeText);
        if (line.isEmpty())
            continue;
        std::int32_t start = 0;
        std::int32_t end = 0;
        if (CLineScan(line).Match("{").Int(start).Match("}{").Int(end).Count() != 2) {
            // "{start}{}": the entry lasts 60 frames, but never past the
            // start of the next one.
            const int count = CLineScan(line).Match("{").Int(start).Count();
            end = ClampedTime(std::int64_t(start) + 60);
            const bool wasOpenEnd = openEnd;
            openEnd = true;
            if (count != 1) {
                const qsizetype close = line.indexOf(u'}');
                if (!line.startsWith(u'{') || close <= 1 || IsNumber(line.mid(1, close - 1))) {
                    if (script.entries.empty())
                        return false;
                    // A damaged line among good ones is left out.
                    script.WarnAtLine(number, "skipped, no valid time");
                    openEnd = wasOpenEnd;
                    continue;
                }
                // "{NAME}codes" defines the style of the lines after it;
                // "{DEFAULT}" and "{default}" both name "Default".
                std::unique_ptr<STSStyle> style;
                try {
                    style = ParseMicroDvdStyle(Narrowed(line.mid(close + 1)));
                } catch (const std::bad_alloc&) {
                    return false;
                }
                std::string name = Narrowed(line.mid(1, close - 1));
                AsciiLower(name);
                if (name[0] >= 'a' && name[0] <= 'z')
                    name[0] = static_cast<char>(name[0] - ('a' - 'A'));
                charSet = style->charSet;
                currentStyle = name;
                script.RegisterStyle(name, std::move(style));
                continue;
            }
        }
        const qsizetype first = line.indexOf(u'}');
        const qsizetype second = line.indexOf(u'}', first + 1);
        const QStringView rest = second < 0 ? QStringView() : line.mid(second + 1);
        if (std::exchange(firstTimedLine, false) &&
            ReadFrameRateLine(rest, start, end, script.framesPerSecond)) {
            openEnd = false;
            continue;
        }
        // Frames before the first one start at it.
        start = *script.ClampedReadTime(start, number);
        end = *script.ClampedReadTime(end, number);
        if (clipPrevious && !script.entries.empty()) {
            STSEntry& last = script.entries.back();
            last.end = std::min(last.end, start);
            clipPrevious = false;
        }
        const QString text = second < 0
                                 ? QString()
                                 : MicroDvdToScriptText(rest.toString(), unicodeText, charSet,
                                                        file.encodingReport.codePage);
        script.AddEntry(text, unicodeText, start, end, currentStyle, std::string(), std::string(),
                        0, SMargins{}, -1);
        if (openEnd) {
            openEnd = false;
            clipPrevious = true;
        }
    }
    return !script.entries.empty();
}
