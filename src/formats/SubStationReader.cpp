// SubStation Alpha (script type 4.00), Advanced SubStation (4.00+) and the
// 4.00++ extension. Lines are key: value pairs; style and event lines are
// read by position, and by their section's Format line when they leave out
// fields of their version. A line that cannot be read either way is left
// out with a warning.

#include "EmbeddedFonts.h"

#include "Numbers.h"
#include "ReaderText.h"
#include "Readers.h"
#include "ScriptFields.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Field layouts: 3 before any ScriptType or styles header, 4 SSA, 5 ASS,
// 6 the 4.00++ extension.
struct SVersions {
    int events = 3;
    int styles = 3;
};

std::string WithoutLeadingAsterisks(const std::string& name)
{
    const std::size_t first = name.find_first_not_of('*');
    return first == std::string::npos ? std::string() : name.substr(first);
}

bool EqualsIgnoringAsciiCase(const std::string& text, const std::string& lower)
{
    return std::equal(text.begin(), text.end(), lower.begin(), lower.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

bool EndsWithIgnoringCase(const QString& text, const char* tail)
{
    return text.endsWith(QLatin1String(tail), Qt::CaseInsensitive);
}

// The other side of a play resolution given only one side: 4:3, except
// that 1280 goes with 1024.
std::int32_t HeightForWidth(std::int32_t width)
{
    return width == 1280 ? 1024 : SaturatedInt(std::int64_t{width} * 3 / 4);
}

std::int32_t WidthForHeight(std::int32_t height)
{
    return height == 1024 ? 1280 : SaturatedInt(std::int64_t{height} * 4 / 3);
}

// Negative or not-a-number sizes become 0.
double NotNegative(double value)
{
    return value >= 0 ? value : 0.0;
}

// name:rate:frames:width:height:... gives the frame rate and video size. A
// value that is a plain path does not have that form; what was read before
// the first part that is not a number is kept. Only an empty frame count or
// width rejects the script.
bool ReadVideoFile(QString value, CSimpleTextSubtitle& script)
{
    QString field;
    if (!TakeField(value, ',', field) || !TakeField(value, ':', field))
        return true;
    double rate = 0;
    if (!TakeFloat(value, ':', rate))
        return true;
    script.frameRate = static_cast<float>(rate);
    if (!TakeField(value, ':', field) || field.isEmpty())
        return false;
    int width = 0;
    if (!TakeInt(value, ',', width))
        return true;
    script.videoSize.width = width;
    // The width was read without taking it away; take it now.
    if (!TakeField(value, ':', field) || field.isEmpty())
        return false;
    int height = 0;
    if (!TakeInt(value, ',', height))
        return true;
    script.videoSize.height = height;
    return true;
}

// The fields of one style line as read, before they become a style.
struct SStyleFields {
    QString name, fontName;
    double fontSize = 0, outline = 0, shadow = 0;
    int colours[4] = {};
    int bold = 0, italic = 0, underline = 0, strikeOut = 0, alignment = 0, alphaLevel = 0;
};

// Turns the fields into a style as version `v` means them and registers it.
void FinishStyle(SStyleFields& fields, std::unique_ptr<STSStyle> style, int v,
                 CSimpleTextSubtitle& script)
{
    style->underline = fields.underline != 0;
    style->strikeOut = fields.strikeOut != 0;
    style->fontName = Narrowed(fields.fontName);
    style->fontSize = fields.fontSize;
    for (int i = 0; i < 4; ++i)
        style->colours[i] = static_cast<std::uint32_t>(fields.colours[i]);
    style->weight = fields.bold != 0 ? 700 : 400;
    style->italic = fields.italic != 0;
    style->outlineX = style->outlineY = fields.outline;
    style->shadowX = style->shadowY = fields.shadow;
    style->alignment = fields.alignment;

    if (v <= 4) {
        // SSA has no outline colour of its own: its back colour draws both.
        style->colours[2] = style->colours[3];
        const auto alpha = static_cast<std::uint8_t>(std::clamp(fields.alphaLevel, 0, 255));
        style->alphas = {alpha, alpha, alpha, 0x80};
    } else {
        for (int i = 0; i < 4; ++i)
            style->alphas[i] = static_cast<std::uint8_t>(style->colours[i] >> 24);
        style->scaleX = NotNegative(style->scaleX);
        style->scaleY = NotNegative(style->scaleY);
        style->spacing = NotNegative(style->spacing);
    }
    // Transparency lives in `alphas`; a top byte in an SSA colour means nothing.
    for (std::uint32_t& colour : style->colours)
        colour &= 0xFFFFFFu;
    style->angleX = style->angleY = 0;
    // The script's 1 is outline and shadow, 3 an opaque box.
    style->borderStyle = style->borderStyle == 3 ? 1 : 0;
    style->outlineX = NotNegative(style->outlineX);
    style->outlineY = NotNegative(style->outlineY);
    style->shadowX = NotNegative(style->shadowX);
    style->shadowY = NotNegative(style->shadowY);
    if (v <= 4) {
        // SSA numbers 1..3 along the bottom, +4 for the top, +8 for the middle.
        const int a = style->alignment;
        if (a & 4)
            style->alignment = (a & 3) + 6;
        else if (a & 8)
            style->alignment = (a & 3) + 3;
        else
            style->alignment = a & 3;
    }
    script.RegisterStyle(WithoutLeadingAsterisks(Narrowed(fields.name)), std::move(style));
}

// Layout of a style line by version: which fields exist, in order.
bool ReadStyle(QString value, int v, CSimpleTextSubtitle& script)
{
    auto style = std::make_unique<STSStyle>();
    SStyleFields f;
    if (!TakeField(value, ',', f.name) || !TakeField(value, ',', f.fontName) ||
        !TakeFloat(value, ',', f.fontSize))
        return false;
    for (int& colour : f.colours) {
        if (!TakeInt(value, ',', colour))
            return false;
    }
    if (!TakeInt(value, ',', f.bold) || !TakeInt(value, ',', f.italic))
        return false;
    if (v >= 5) {
        if (!TakeInt(value, ',', f.underline) || !TakeInt(value, ',', f.strikeOut) ||
            !TakeFloat(value, ',', style->scaleX) || !TakeFloat(value, ',', style->scaleY) ||
            !TakeFloat(value, ',', style->spacing) || !TakeFloat(value, ',', style->angleZ))
            return false;
    }
    if (v >= 4 && !TakeInt(value, ',', style->borderStyle))
        return false;
    if (!TakeFloat(value, ',', f.outline) || !TakeFloat(value, ',', f.shadow) ||
        !TakeInt(value, ',', f.alignment) || !TakeInt(value, ',', style->margins.left) ||
        !TakeInt(value, ',', style->margins.right) || !TakeInt(value, ',', style->margins.top))
        return false;
    style->margins.bottom = style->margins.top;
    if (v >= 6 && !TakeInt(value, ',', style->margins.bottom))
        return false;
    if (v <= 4 && !TakeInt(value, ',', f.alphaLevel))
        return false;
    if (!TakeInt(value, ',', style->charSet))
        return false;
    if (v >= 6 && !TakeInt(value, ',', style->positionBase))
        return false;
    FinishStyle(f, std::move(style), v, script);
    return true;
}

// The field names of a Format line, lower-cased, in order.
std::vector<QString> ReadFormat(const QString& value)
{
    std::vector<QString> names;
    for (const QString& name : value.split(','))
        names.push_back(name.trimmed().toLower());
    return names;
}

// The number of fields of a style or Dialogue line in the layout of a
// version (the marked field of SSA events counts as one).
std::size_t StyleFieldCount(int v)
{
    return v >= 6 ? 25 : v == 5 ? 23 : v == 4 ? 18 : 17;
}

std::size_t DialogueFieldCount(int e)
{
    return e >= 6 ? 11 : 10;
}

bool IsShort(const std::vector<QString>& format, std::size_t layout)
{
    return !format.empty() && format.size() < layout;
}

// The fields of a line laid out as its section's Format line says: one per
// name, the last one taking the rest of the line (the text may hold
// commas). False when the line has fewer fields than the format.
bool SplitByFormat(const QString& value, std::size_t count, std::vector<QString>& fields)
{
    fields.clear();
    qsizetype from = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        const qsizetype comma = value.indexOf(',', from);
        if (comma < 0)
            return false;
        fields.push_back(value.mid(from, comma - from));
        from = comma + 1;
    }
    fields.push_back(value.mid(from));
    return true;
}

// A style line read by its Format line, for scripts whose styles leave out
// fields of their version. Fields the format does not name keep their
// defaults.
bool ReadStyleByFormat(const QString& value, const std::vector<QString>& format, int v,
                       CSimpleTextSubtitle& script)
{
    std::vector<QString> fields;
    if (format.empty() || !SplitByFormat(value, format.size(), fields))
        return false;
    auto style = std::make_unique<STSStyle>();
    SStyleFields f;
    f.fontName = QString::fromStdString(style->fontName);
    f.fontSize = style->fontSize;
    f.outline = style->outlineX;
    f.shadow = style->shadowX;
    f.alignment = style->alignment;
    f.bold = style->weight >= 700;
    for (int i = 0; i < 4; ++i)
        f.colours[i] = static_cast<int>(style->colours[i]);
    bool named = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const QString& key = format[i];
        QString field = fields[i];
        bool ok = true;
        if (key == u"name") {
            ok = TakeField(field, ',', f.name);
            named = ok;
        } else if (key == u"fontname") {
            ok = TakeField(field, ',', f.fontName);
        } else if (key == u"fontsize") {
            ok = TakeFloat(field, ',', f.fontSize);
        } else if (key == u"primarycolour") {
            ok = TakeInt(field, ',', f.colours[0]);
        } else if (key == u"secondarycolour") {
            ok = TakeInt(field, ',', f.colours[1]);
        } else if (key == u"outlinecolour" || key == u"tertiarycolour") {
            ok = TakeInt(field, ',', f.colours[2]);
        } else if (key == u"backcolour") {
            ok = TakeInt(field, ',', f.colours[3]);
        } else if (key == u"bold") {
            ok = TakeInt(field, ',', f.bold);
        } else if (key == u"italic") {
            ok = TakeInt(field, ',', f.italic);
        } else if (key == u"underline") {
            ok = TakeInt(field, ',', f.underline);
        } else if (key == u"strikeout") {
            ok = TakeInt(field, ',', f.strikeOut);
        } else if (key == u"scalex") {
            ok = TakeFloat(field, ',', style->scaleX);
        } else if (key == u"scaley") {
            ok = TakeFloat(field, ',', style->scaleY);
        } else if (key == u"spacing") {
            ok = TakeFloat(field, ',', style->spacing);
        } else if (key == u"angle") {
            ok = TakeFloat(field, ',', style->angleZ);
        } else if (key == u"borderstyle") {
            ok = TakeInt(field, ',', style->borderStyle);
        } else if (key == u"outline") {
            ok = TakeFloat(field, ',', f.outline);
        } else if (key == u"shadow") {
            ok = TakeFloat(field, ',', f.shadow);
        } else if (key == u"alignment") {
            ok = TakeInt(field, ',', f.alignment);
        } else if (key == u"marginl") {
            ok = TakeInt(field, ',', style->margins.left);
        } else if (key == u"marginr") {
            ok = TakeInt(field, ',', style->margins.right);
        } else if (key == u"marginv") {
            ok = TakeInt(field, ',', style->margins.top);
            style->margins.bottom = style->margins.top;
        } else if (key == u"marginb") {
            ok = TakeInt(field, ',', style->margins.bottom);
        } else if (key == u"alphalevel") {
            ok = TakeInt(field, ',', f.alphaLevel);
        } else if (key == u"encoding") {
            ok = TakeInt(field, ',', style->charSet);
        } else if (key == u"relativeto") {
            ok = TakeInt(field, ',', style->positionBase);
        }
        if (!ok)
            return false;
    }
    if (!named)
        return false;
    FinishStyle(f, std::move(style), v, script);
    return true;
}

// "h:mm:ss.cc", and also "h:mm:ss:cc" and "h:mm:ss" as some tools write
// them. The hundredths count as the number written (".5" is five
// hundredths). A minus sign makes the time negative. The field ends at the
// next comma.
bool ReadTime(QString& value, std::int64_t& milliseconds)
{
    QString field;
    if (!TakeField(value, ',', field))
        return false;
    const QString time = field.trimmed();
    qsizetype at = 0;
    const bool negative = time.startsWith('-');
    if (negative)
        ++at;
    std::int64_t parts[4] = {};
    for (int i = 0; i < 4; ++i) {
        while (at < time.size() && IsLineSpace(time[at], false))
            ++at;
        const qsizetype from = at;
        while (at < time.size() && time[at] >= '0' && time[at] <= '9' && at - from < 9) {
            parts[i] = parts[i] * 10 + (time[at].unicode() - '0');
            ++at;
        }
        if (at == from) {
            // Hours, minutes and seconds must be there; hundredths may not.
            if (i < 3)
                return false;
            break;
        }
        const bool more = at < time.size() && (time[at] == ':' || (i == 2 && time[at] == '.'));
        if (i < 2 && (at >= time.size() || time[at] != ':'))
            return false;
        if (i >= 2 && !more)
            break;
        ++at;
    }
    const std::int64_t total = (((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 100 + parts[3]) * 10;
    milliseconds = negative ? -total : total;
    return true;
}

struct SDialogue {
    int layer = 0;
    std::int64_t start = 0, end = 0;
    bool badTime = false;  // the line failed at one of its times
    QString style, actor, effect, text;
    SMargins margins;
};

void AddDialogue(SDialogue& d, bool unicodeText, int line, CSimpleTextSubtitle& script)
{
    std::string styleName = WithoutLeadingAsterisks(Narrowed(d.style));
    if (EqualsIgnoringAsciiCase(styleName, "default"))
        styleName = "Default";
    // Times past 32 bits are kept at the largest one.
    const std::int64_t latest = std::numeric_limits<std::int32_t>::max();
    const std::int32_t start = *script.ClampedReadTime(std::min(d.start, latest), line);
    const std::int32_t end = *script.ClampedReadTime(std::min(d.end, latest), line);
    script.AddEntry(d.text, unicodeText, start, end, styleName, Narrowed(d.actor),
                    Narrowed(d.effect), d.layer, d.margins, -1);
}

bool ReadDialogue(QString value, int e, SDialogue& d)
{
    QString field;
    int discarded = 0;
    if (e <= 4 && (!TakeField(value, '=', field) || !TakeInt(value, ',', discarded)))
        return false;
    if (e >= 5 && !TakeInt(value, ',', d.layer))
        return false;
    if (!ReadTime(value, d.start) || !ReadTime(value, d.end)) {
        d.badTime = true;
        return false;
    }
    if (!TakeField(value, ',', d.style) || !TakeField(value, ',', d.actor) ||
        !TakeInt(value, ',', d.margins.left) || !TakeInt(value, ',', d.margins.right) ||
        !TakeInt(value, ',', d.margins.top))
        return false;
    d.margins.bottom = d.margins.top;
    if (e >= 6 && !TakeInt(value, ',', d.margins.bottom))
        return false;
    // Without a comma left there is no effect field: what TakeField returns
    // is the text, which it leaves in place.
    const bool hasEffect = value.contains(',');
    if (!TakeField(value, ',', d.effect))
        return false;
    if (!hasEffect)
        d.effect.clear();
    d.text = value;
    return true;
}

// A Dialogue line read by its section's Format line, for scripts whose
// events leave out fields ("Format: Start, End, Text").
bool ReadDialogueByFormat(const QString& value, const std::vector<QString>& format, SDialogue& d)
{
    std::vector<QString> fields;
    if (format.empty() || !SplitByFormat(value, format.size(), fields))
        return false;
    bool hasStart = false, hasEnd = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const QString& key = format[i];
        QString field = fields[i];
        bool ok = true;
        if (key == u"text") {
            d.text = field;
        } else if (key == u"start") {
            ok = hasStart = ReadTime(field, d.start);
            d.badTime = d.badTime || !ok;
        } else if (key == u"end") {
            ok = hasEnd = ReadTime(field, d.end);
            d.badTime = d.badTime || !ok;
        } else if (key == u"layer") {
            ok = TakeInt(field, ',', d.layer);
        } else if (key == u"style") {
            d.style = field.trimmed();
        } else if (key == u"name" || key == u"actor") {
            d.actor = field.trimmed();
        } else if (key == u"effect") {
            d.effect = field.trimmed();
        } else if (key == u"marginl") {
            ok = field.trimmed().isEmpty() || TakeInt(field, ',', d.margins.left);
        } else if (key == u"marginr") {
            ok = field.trimmed().isEmpty() || TakeInt(field, ',', d.margins.right);
        } else if (key == u"marginv") {
            ok = field.trimmed().isEmpty() || TakeInt(field, ',', d.margins.top);
            d.margins.bottom = d.margins.top;
        } else if (key == u"marginb") {
            ok = field.trimmed().isEmpty() || TakeInt(field, ',', d.margins.bottom);
        }
        if (!ok)
            return false;
    }
    return hasStart && hasEnd;
}

}  // namespace

bool ReadSubStationScript(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    SVersions versions;
    bool accepted = false;
    bool firstLine = true;
    const bool unicodeText = file.HasUnicodeEncoding();
    // Format lines, kept for the lines that their version's layout cannot
    // read; the section says which one a Format line describes.
    std::vector<QString> styleFormat, eventFormat;
    bool inEvents = false;
    int number = 0;

    QString line;
    while (file.ReadLine(line)) {
        ++number;
        QString value = TrimmedLine(line, unicodeText).toString();
        if (value.isEmpty() || value.startsWith(';'))
            continue;
        QString key;
        TakeField(value, ':', key);
        key = key.toLower();

        if (key == QLatin1String("[script info]")) {
            // Only as the first line that says anything.
            if (!firstLine)
                return false;
            accepted = true;
        } else if (key == QLatin1String("playresx")) {
            if (!TakeInt(value, ',', script.scriptSize.width)) {
                script.scriptSize = {};
                return false;
            }
            if (script.scriptSize.height <= 0)
                script.scriptSize.height = HeightForWidth(script.scriptSize.width);
        } else if (key == QLatin1String("playresy")) {
            if (!TakeInt(value, ',', script.scriptSize.height)) {
                script.scriptSize = {};
                return false;
            }
            if (script.scriptSize.width <= 0)
                script.scriptSize.width = WidthForHeight(script.scriptSize.height);
        } else if (key == QLatin1String("video file")) {
            if (!ReadVideoFile(value, script))
                return false;
        } else if (key == QLatin1String("wrapstyle")) {
            if (!TakeInt(value, ',', script.wrapStyle)) {
                script.wrapStyle = 1;
                return false;
            }
        } else if (key == QLatin1String("scripttype")) {
            if (EndsWithIgnoringCase(value, "4.00"))
                versions.events = versions.styles = 4;
            else if (EndsWithIgnoringCase(value, "4.00+"))
                versions.events = versions.styles = 5;
            else if (EndsWithIgnoringCase(value, "4.00++"))
                versions.events = versions.styles = 6;
        } else if (key == QLatin1String("collisions")) {
            QString field;
            if (TakeField(value, ',', field))
                script.collisions = field.toLower().contains(QLatin1String("reverse")) ? 1 : 0;
        } else if (key == QLatin1String("scaledborderandshadow")) {
            QString field;
            if (TakeField(value, ',', field))
                script.scaledBorderAndShadow = field.toLower().contains(QLatin1String("yes"));
        } else if (key == QLatin1String("[v4 styles]")) {
            accepted = true;
            inEvents = false;
            versions.styles = 4;
        } else if (key == QLatin1String("[v4+ styles]")) {
            accepted = true;
            inEvents = false;
            versions.styles = 5;
        } else if (key == QLatin1String("[v4++ styles]")) {
            accepted = true;
            inEvents = false;
            versions.styles = 6;
        } else if (key == QLatin1String("style")) {
            // A Format line shorter than the version's layout says how the
            // lines are written; otherwise it only helps where the layout
            // fails. A style line that can be read neither way is left out.
            const bool read =
                IsShort(styleFormat, StyleFieldCount(versions.styles))
                    ? ReadStyleByFormat(value, styleFormat, versions.styles, script)
                    : ReadStyle(value, versions.styles, script) ||
                          ReadStyleByFormat(value, styleFormat, versions.styles, script);
            if (!read)
                script.WarnAtLine(number, "skipped, style not readable");
        } else if (key == QLatin1String("[events]")) {
            accepted = true;
            inEvents = true;
        } else if (key == QLatin1String("format")) {
            (inEvents ? eventFormat : styleFormat) = ReadFormat(value);
        } else if (key == QLatin1String("dialogue")) {
            SDialogue dialogue;
            bool read = false;
            if (IsShort(eventFormat, DialogueFieldCount(versions.events))) {
                read = ReadDialogueByFormat(value, eventFormat, dialogue);
            } else {
                read = ReadDialogue(value, versions.events, dialogue);
                if (!read && !eventFormat.empty()) {
                    dialogue = SDialogue{};
                    read = ReadDialogueByFormat(value, eventFormat, dialogue);
                }
            }
            if (read)
                AddDialogue(dialogue, unicodeText, number, script);
            else
                script.WarnAtLine(number, dialogue.badTime ? "skipped, no valid time"
                                                           : "skipped, dialogue not readable");
        } else if (key == QLatin1String("fontname")) {
            InstallEmbeddedFonts(file);
        }
        firstLine = false;
    }
    return accepted;
}
