#include "EmbeddedFonts.h"
#include "ReaderText.h"
#include "Readers.h"
#include "ScriptFields.h"

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

// Scripts of "key=value" lines: a screen size, styles named by two fields,
// event lines of kind "D" and embedded fonts.

namespace {

// Style names combine two fields, the second first: "Main,Top" is "Top_Main".
bool TakeStyleName(QString& value, std::string& name)
{
    QString first;
    QString second;
    if (!TakeField(value, u',', first) || !TakeField(value, u',', second))
        return false;
    name = Narrowed(second) + '_' + Narrowed(first);
    return true;
}

// Negative and not-a-number sizes mean none.
double NotBelowZero(double value)
{
    return std::isnan(value) || value < 0 ? 0.0 : value;
}

bool ReadStyle(QString value, CSimpleTextSubtitle& script)
{
    auto style = std::make_unique<STSStyle>();
    std::string name;
    QString fontName;
    if (!TakeStyleName(value, name) || !TakeField(value, u',', fontName) ||
        !TakeFloat(value, u',', style->fontSize))
        return false;
    style->fontName = Narrowed(fontName);
    for (std::uint32_t& colour : style->colours) {
        int read = 0;
        if (!TakeInt(value, u',', read))
            return false;
        colour = static_cast<std::uint32_t>(read);
    }
    for (std::uint8_t& alpha : style->alphas) {
        int read = 0;
        if (!TakeInt(value, u',', read))
            return false;
        alpha = static_cast<std::uint8_t>(read & 0xFF);
    }
    int bold = 0, italic = 0, underline = 0, strikeOut = 0, blur = 0;
    if (!TakeInt(value, u',', bold) || !TakeInt(value, u',', italic) ||
        !TakeInt(value, u',', underline) || !TakeInt(value, u',', strikeOut) ||
        !TakeInt(value, u',', blur))
        return false;
    style->weight = bold != 0 ? 700 : 400;
    style->italic = italic != 0;
    style->underline = underline != 0;
    style->strikeOut = strikeOut != 0;
    style->edgeBlur = blur != 0 ? 1 : 0;
    double outline = 0, shadow = 0;
    int borderStyle = 0, left = 0, right = 0, vertical = 0, charSet = 0;
    if (!TakeFloat(value, u',', style->scaleX) || !TakeFloat(value, u',', style->scaleY) ||
        !TakeFloat(value, u',', style->spacing) || !TakeFloat(value, u',', style->angleX) ||
        !TakeFloat(value, u',', style->angleY) || !TakeFloat(value, u',', style->angleZ) ||
        !TakeInt(value, u',', borderStyle) || !TakeFloat(value, u',', outline) ||
        !TakeFloat(value, u',', shadow) || !TakeInt(value, u',', style->alignment) ||
        !TakeInt(value, u',', left) || !TakeInt(value, u',', right) ||
        !TakeInt(value, u',', vertical) || !TakeInt(value, u',', charSet))
        return false;
    style->margins = {left, vertical, right, vertical};
    style->charSet = charSet;
    style->scaleX = NotBelowZero(style->scaleX);
    style->scaleY = NotBelowZero(style->scaleY);
    style->spacing = NotBelowZero(style->spacing);
    // 3 is the opaque box; everything else draws outline and shadow.
    style->borderStyle = borderStyle == 3 ? 1 : 0;
    style->outlineX = style->outlineY = NotBelowZero(outline);
    style->shadowX = style->shadowY = NotBelowZero(shadow);
    script.RegisterStyle(name, std::move(style));
    return true;
}

// "h:mm:ss.ttt," in milliseconds.
std::optional<std::int32_t> TakeTime(QString& value)
{
    int hours = 0, minutes = 0, seconds = 0, thousandths = 0;
    if (!TakeInt(value, u':', hours) || !TakeInt(value, u':', minutes) ||
        !TakeInt(value, u'.', seconds) || !TakeInt(value, u',', thousandths))
        return std::nullopt;
    return TimeFromParts(hours, minutes, seconds, thousandths);
}

bool ReadEvent(QString value, bool unicodeText, CSimpleTextSubtitle& script)
{
    QString kind;
    if (!TakeField(value, u',', kind))
        return false;
    if (kind != u"D")
        return true;
    QString identifier;
    int layer = 0;
    if (!TakeField(value, u',', identifier) || !TakeInt(value, u',', layer))
        return false;
    const std::optional<std::int32_t> start = TakeTime(value);
    if (!start)
        return false;
    const std::optional<std::int32_t> end = TakeTime(value);
    if (!end)
        return false;
    std::string style;
    QString actor;
    int left = 0, right = 0, vertical = 0;
    if (!TakeStyleName(value, style) || !TakeField(value, u',', actor) ||
        !TakeInt(value, u',', left) || !TakeInt(value, u',', right) ||
        !TakeInt(value, u',', vertical))
        return false;
    style.erase(0, style.find_first_not_of('*'));
    if (EqualsIgnoringAsciiCase(style, "Default"))
        style = "Default";
    script.AddEntry(value, unicodeText, *start, *end, style, Narrowed(actor), std::string(), layer,
                    SMargins{left, vertical, right, vertical}, -1);
    return true;
}

// The size keys give the other side from the usual 4:3 shape when it is
// missing; 1280 x 1024 is the exception.
bool ReadScreenSize(QString value, bool horizontal, CSimpleTextSubtitle& script)
{
    int size = 0;
    if (!TakeInt(value, u',', size)) {
        script.scriptSize = {0, 0};
        return false;
    }
    SSize& screen = script.scriptSize;
    if (horizontal) {
        screen.width = size;
        if (screen.height <= 0)
            screen.height = size == 1280 ? 1024 : static_cast<int>(std::int64_t(size) * 3 / 4);
        return true;
    }
    screen.height = size;
    if (screen.width <= 0) {
        const std::int64_t width = size == 1024 ? 1280 : std::int64_t(size) * 4 / 3;
        // A height this large leaves no width that fits.
        if (width > std::numeric_limits<std::int32_t>::max() ||
            width < std::numeric_limits<std::int32_t>::min()) {
            script.scriptSize = {0, 0};
            return false;
        }
        screen.width = static_cast<int>(width);
    }
    return true;
}

}  // namespace

bool ReadKeyValueScript(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString raw;
    while (file.ReadLine(raw)) {
        QString value = TrimmedLine(raw, unicodeText).toString();
        if (value.isEmpty() || value.front() == u';')
            continue;
        QString field;
        if (!TakeField(value, u'=', field))
            continue;
        const QString key = AsciiLowered(field);
        if (key == u"version") {
            // The number is not used, and a version that does not read
            // changes nothing.
            double version = 0;
            TakeFloat(value, u',', version);
        } else if (key == u"screenhorizontal" || key == u"screenvertical") {
            if (!ReadScreenSize(value, key == u"screenhorizontal", script))
                return false;
        } else if (key == u"style") {
            if (!ReadStyle(value, script))
                return false;
        } else if (key == u"line") {
            if (!ReadEvent(value, unicodeText, script))
                return false;
        } else if (key == u"fontname") {
            InstallEmbeddedFonts(file);
        }
    }
    return !script.entries.empty();
}
