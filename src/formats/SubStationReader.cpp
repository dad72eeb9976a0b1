// SubStation Alpha (script type 4.00), Advanced SubStation (4.00+) and the
// 4.00++ extension. Lines are key: value pairs; style and event lines are
// read by position, so their Format lines are not needed.

#include "EmbeddedFonts.h"

#include "Numbers.h"
#include "ReaderText.h"
#include "Readers.h"
#include "ScriptFields.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

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

// Layout of a style line by version: which fields exist, in order.
bool ReadStyle(QString value, int v, CSimpleTextSubtitle& script)
{
    auto style = std::make_unique<STSStyle>();
    QString name, fontName;
    double fontSize = 0, outline = 0, shadow = 0;
    int colours[4] = {};
    int bold = 0, italic = 0, alignment = 0, alphaLevel = 0;
    if (!TakeField(value, ',', name) || !TakeField(value, ',', fontName) ||
        !TakeFloat(value, ',', fontSize))
        return false;
    for (int& colour : colours) {
        if (!TakeInt(value, ',', colour))
            return false;
    }
    if (!TakeInt(value, ',', bold) || !TakeInt(value, ',', italic))
        return false;
    if (v >= 5) {
        int underline = 0, strikeOut = 0;
        if (!TakeInt(value, ',', underline) || !TakeInt(value, ',', strikeOut) ||
            !TakeFloat(value, ',', style->scaleX) || !TakeFloat(value, ',', style->scaleY) ||
            !TakeFloat(value, ',', style->spacing) || !TakeFloat(value, ',', style->angleZ))
            return false;
        style->underline = underline != 0;
        style->strikeOut = strikeOut != 0;
    }
    if (v >= 4 && !TakeInt(value, ',', style->borderStyle))
        return false;
    if (!TakeFloat(value, ',', outline) || !TakeFloat(value, ',', shadow) ||
        !TakeInt(value, ',', alignment) || !TakeInt(value, ',', style->margins.left) ||
        !TakeInt(value, ',', style->margins.right) || !TakeInt(value, ',', style->margins.top))
        return false;
    style->margins.bottom = style->margins.top;
    if (v >= 6 && !TakeInt(value, ',', style->margins.bottom))
        return false;
    if (v <= 4 && !TakeInt(value, ',', alphaLevel))
        return false;
    if (!TakeInt(value, ',', style->charSet))
        return false;
    if (v >= 6 && !TakeInt(value, ',', style->positionBase))
        return false;

    style->fontName = Narrowed(fontName);
    style->fontSize = fontSize;
    for (int i = 0; i < 4; ++i)
        style->colours[i] = static_cast<std::uint32_t>(colours[i]);
    style->weight = bold != 0 ? 700 : 400;
    style->italic = italic != 0;
    style->outlineX = style->outlineY = outline;
    style->shadowX = style->shadowY = shadow;
    style->alignment = alignment;

    if (v <= 4) {
        // SSA has no outline colour of its own: its back colour draws both.
        style->colours[2] = style->colours[3];
        const auto alpha = static_cast<std::uint8_t>(std::clamp(alphaLevel, 0, 255));
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
    script.RegisterStyle(WithoutLeadingAsterisks(Narrowed(name)), std::move(style));
    return true;
}

bool ReadTime(QString& value, std::int32_t& milliseconds)
{
    int hours = 0, minutes = 0, seconds = 0, hundredths = 0;
    if (!TakeInt(value, ':', hours) || !TakeInt(value, ':', minutes) ||
        !TakeInt(value, '.', seconds) || !TakeInt(value, ',', hundredths))
        return false;
    // Wide arithmetic: absurd fields must not overflow.
    const std::int64_t total =
        (((std::int64_t{hours} * 60 + minutes) * 60 + seconds) * 100 + hundredths) * 10;
    milliseconds = SaturatedInt(total);
    return true;
}

bool ReadDialogue(QString value, int e, bool unicodeText, CSimpleTextSubtitle& script)
{
    QString field;
    int layer = 0, discarded = 0;
    if (e <= 4 && (!TakeField(value, '=', field) || !TakeInt(value, ',', discarded)))
        return false;
    if (e >= 5 && !TakeInt(value, ',', layer))
        return false;
    std::int32_t start = 0, end = 0;
    if (!ReadTime(value, start) || !ReadTime(value, end))
        return false;
    QString style, actor, effect;
    SMargins margins;
    if (!TakeField(value, ',', style) || !TakeField(value, ',', actor) ||
        !TakeInt(value, ',', margins.left) || !TakeInt(value, ',', margins.right) ||
        !TakeInt(value, ',', margins.top))
        return false;
    margins.bottom = margins.top;
    if (e >= 6 && !TakeInt(value, ',', margins.bottom))
        return false;
    // Without a comma left there is no effect field: what TakeField returns
    // is the text, which it leaves in place.
    const bool hasEffect = value.contains(',');
    if (!TakeField(value, ',', effect))
        return false;
    if (!hasEffect)
        effect.clear();

    std::string styleName = WithoutLeadingAsterisks(Narrowed(style));
    if (EqualsIgnoringAsciiCase(styleName, "default"))
        styleName = "Default";
    script.AddEntry(value, unicodeText, start, end, styleName, Narrowed(actor), Narrowed(effect),
                    layer, margins, -1);
    return true;
}

}  // namespace

bool ReadSubStationScript(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    SVersions versions;
    bool accepted = false;
    bool firstLine = true;
    const bool unicodeText = file.HasUnicodeEncoding();

    QString line;
    while (file.ReadLine(line)) {
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
            versions.styles = 4;
        } else if (key == QLatin1String("[v4+ styles]")) {
            accepted = true;
            versions.styles = 5;
        } else if (key == QLatin1String("[v4++ styles]")) {
            accepted = true;
            versions.styles = 6;
        } else if (key == QLatin1String("style")) {
            if (!ReadStyle(value, versions.styles, script))
                return false;
        } else if (key == QLatin1String("[events]")) {
            accepted = true;
        } else if (key == QLatin1String("dialogue")) {
            if (!ReadDialogue(value, versions.events, unicodeText, script))
                return false;
        } else if (key == QLatin1String("fontname")) {
            InstallEmbeddedFonts(file);
        }
        firstLine = false;
    }
    return accepted;
}
