// XML timed text: TTML and DFXP (<tt> with <p begin= end=|dur=> and <br/>
// line breaks), and YouTube's timed text (<transcript> with <text start=
// dur=> in seconds, or <timedtext> with <p t= d=> in milliseconds). Styling
// is left to the source style; only the times and the words are taken.

#include "ReaderText.h"
#include "Readers.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>

namespace {

enum class EDialect { None, Ttml, Transcript, TimedText };

struct STimeBase {
    double frameRate = 30;
    double subFrameRate = 1;
    double tickRate = 1;
};

std::optional<std::int64_t> Milliseconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 2147483.0)
        return std::nullopt;
    return std::llround(seconds * 1000.0);
}

// "01:02:03.5", "01:02:03:12" (frames), or an offset: "12.5s", "500ms",
// "1.5h", "2m", "30f", "10000t".
std::optional<std::int64_t> TtmlTime(QStringView text, const STimeBase& base)
{
    static const QRegularExpression clock(
        R"(^(\d+):(\d{2}):(\d{2}(?:\.\d+)?)(?::(\d+(?:\.\d+)?))?$)");
    static const QRegularExpression offset(R"(^(\d+(?:\.\d+)?)(h|ms|m|s|f|t)$)");
    const QString trimmed = text.trimmed().toString();
    if (const QRegularExpressionMatch m = clock.match(trimmed); m.hasMatch()) {
        double seconds = m.captured(1).toDouble() * 3600 + m.captured(2).toDouble() * 60 +
                         m.captured(3).toDouble();
        if (m.hasCaptured(4) && base.frameRate > 0)
            seconds += m.captured(4).toDouble() / base.frameRate;
        return Milliseconds(seconds);
    }
    if (const QRegularExpressionMatch m = offset.match(trimmed); m.hasMatch()) {
        const double value = m.captured(1).toDouble();
        const QString unit = m.captured(2);
        if (unit == "h")
            return Milliseconds(value * 3600);
        if (unit == "m")
            return Milliseconds(value * 60);
        if (unit == "s")
            return Milliseconds(value);
        if (unit == "ms")
            return Milliseconds(value / 1000);
        if (unit == "f")
            return base.frameRate > 0 ? Milliseconds(value / base.frameRate) : std::nullopt;
        return base.tickRate > 0 ? Milliseconds(value / base.tickRate) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Seconds(QStringView text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? Milliseconds(value) : std::nullopt;
}

std::optional<std::int64_t> WholeMilliseconds(QStringView text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? Milliseconds(value / 1000) : std::nullopt;
}

// The whole file as the XML reader should see it. Without a byte order
// mark the units are the file's bytes, and the XML declaration names their
// encoding (UTF-8 when it names none).
bool LoadDocument(CTextFile& file, QXmlStreamReader& xml, QString& unicode, QByteArray& bytes)
{
    QString line;
    QString all;
    // Any other text is turned away at its first line.
    while (file.ReadLine(line)) {
        const QStringView trimmed = TrimmedLine(line, file.HasUnicodeEncoding());
        if (trimmed.isEmpty())
            continue;
        if (trimmed.front() != u'<')
            return false;
        all = line + u'\n';
        break;
    }
    while (file.ReadLine(line)) {
        all += line;
        all += u'\n';
    }
    if (file.HasUnicodeEncoding()) {
        unicode = all;
        xml.addData(unicode);
        return true;
    }
    const std::string narrow = Narrowed(all);
    bytes = QByteArray(narrow.data(), static_cast<qsizetype>(narrow.size()));
    xml.addData(bytes);
    return true;
}

double Rate(const QXmlStreamAttributes& attributes, const char* name, double fallback)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() != QLatin1String(name))
            continue;
        bool ok = false;
        const double value = attribute.value().toDouble(&ok);
        return ok && value > 0 ? value : fallback;
    }
    return fallback;
}

// Where <br/> breaks the line, until the white space is collapsed.
constexpr char16_t LineBreak = 0x2028;

// The text of the current element up to its end. Line ends in the text are
// white space like any other; only <br/> breaks the line.
QString ElementText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (xml.name() == QLatin1String("br"))
                text += QChar(LineBreak);
            break;
        case QXmlStreamReader::EndElement: --depth; break;
        case QXmlStreamReader::Characters:
            text += xml.text().toString().replace(u'\n', u' ');
            break;
        default: break;
        }
    }
    return text;
}

// Runs of white space inside a paragraph are one blank, as XML text shows
// them; the line breaks of <br/> stay.
QString CollapsedLines(const QString& text)
{
    QStringList lines = text.split(QChar(LineBreak));
    QStringList kept;
    for (QString& line : lines) {
        line = line.simplified();
        kept << line;
    }
    return kept.join(u'\n').trimmed();
}

}  // namespace

bool ReadTimedText(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    QXmlStreamReader xml;
    QString unicode;
    QByteArray bytes;
    if (!LoadDocument(file, xml, unicode, bytes))
        return false;

    EDialect dialect = EDialect::None;
    STimeBase base;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes attributes = xml.attributes();
        if (dialect == EDialect::None) {
            if (name == QLatin1String("tt")) {
                dialect = EDialect::Ttml;
                base.frameRate = Rate(attributes, "frameRate", 30);
                base.tickRate = Rate(attributes, "tickRate", base.frameRate);
            } else if (name == QLatin1String("transcript")) {
                dialect = EDialect::Transcript;
            } else if (name == QLatin1String("timedtext")) {
                dialect = EDialect::TimedText;
            } else {
                return false;
            }
            continue;
        }
        std::optional<std::int64_t> start;
        std::optional<std::int64_t> end;
        std::optional<std::int64_t> duration;
        if (dialect == EDialect::Ttml && name == QLatin1String("p")) {
            if (attributes.hasAttribute("begin"))
                start = TtmlTime(attributes.value("begin"), base);
            if (attributes.hasAttribute("end"))
                end = TtmlTime(attributes.value("end"), base);
            if (attributes.hasAttribute("dur"))
                duration = TtmlTime(attributes.value("dur"), base);
        } else if (dialect == EDialect::Transcript && name == QLatin1String("text")) {
            start = Seconds(attributes.value("start"));
            duration = Seconds(attributes.value("dur"));
        } else if (dialect == EDialect::TimedText && name == QLatin1String("p")) {
            start = WholeMilliseconds(attributes.value("t"));
            duration = WholeMilliseconds(attributes.value("d"));
        } else {
            continue;
        }
        const QString text = CollapsedLines(ElementText(xml));
        if (!start)
            continue;
        if (!end)
            end = *start + duration.value_or(0);
        script.AddEntry(text, true, ClampedTime(*start), ClampedTime(*end), "Default", "", "", 0,
                        {});
    }
    // A document that breaks off is taken up to where it broke, if it gave
    // anything at all.
    return dialect != EDialect::None && !script.entries.empty();
}
