#include "EngineWords.h"

#include "FontMeasure.h"
#include "formats/Numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A font metric in font pixels to eighths of a frame pixel, rounded.
std::int64_t FontToEighths(std::int32_t value)
{
    return (static_cast<std::int64_t>(value) + 4) >> 3;
}

bool IsDrawingCommand(QChar c)
{
    switch (c.unicode()) {
    case 'm':
    case 'n':
    case 'l':
    case 'b':
    case 's':
    case 'p':
    case 'c': return true;
    default: return false;
    }
}

bool IsNumberChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'+';
}

struct SExtent {
    bool any = false;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    void Add(double x, double y)
    {
        if (!any) {
            minX = maxX = x;
            minY = maxY = y;
            any = true;
            return;
        }
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

// The box of the points of drawing commands: numbers after a command are
// taken in x, y pairs; anything that is neither is skipped.
SExtent DrawingExtent(const QString& commands)
{
    SExtent extent;
    bool inCommand = false;
    bool haveX = false;
    double x = 0;
    qsizetype i = 0;
    const qsizetype length = commands.size();
    while (i < length) {
        const QChar c = commands[i];
        if (IsDrawingCommand(c)) {
            inCommand = true;
            haveX = false;
            ++i;
            continue;
        }
        if (!IsNumberChar(c)) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < length && IsNumberChar(commands[i]))
            ++i;
        bool ok = false;
        const double value = QStringView(commands).mid(start, i - start).toDouble(&ok);
        if (!ok || !inCommand || !std::isfinite(value))
            continue;
        if (!haveX) {
            x = value;
            haveX = true;
        } else {
            extent.Add(x, value);
            haveX = false;
        }
    }
    return extent;
}

}  // namespace

bool CWord::MergeWord(const CWord&)
{
    return false;
}

std::int32_t CWord::BorderX() const
{
    return SaturatedInt(std::round(style.outlineX));
}

std::int32_t CWord::BorderY() const
{
    return SaturatedInt(std::round(style.outlineY));
}

bool CText::MergeWord(const CWord& next)
{
    if (kind != EWordKind::Text || next.kind != EWordKind::Text)
        return false;
    if (lineBreak || next.lineBreak || !SameStyle(style, next.style))
        return false;
    // A word with its own karaoke time stays a word of its own.
    if (next.karaokeStart != next.karaokeEnd || next.karaokeType != karaokeType)
        return false;
    text += next.text;
    width = SaturatedInt(static_cast<double>(width) + next.width);
    ascent = std::max(ascent, next.ascent);
    descent = std::max(descent, next.descent);
    whitespace = whitespace && next.whitespace;
    return true;
}

void CText::Measure(CFontMeasure& measure)
{
    whitespace = text.isEmpty() || text == QStringLiteral(" ");
    lineBreak = text.isEmpty();

    SFontDescription description;
    ToFontDescription(style, description);
    const CMeasureFont& font = measure.Font(description);
    ascent = SaturatedInt(style.scaleY / 100 * static_cast<double>(FontToEighths(font.Ascent())));
    descent = SaturatedInt(style.scaleY / 100 * static_cast<double>(FontToEighths(font.Descent())));

    double sum = 0;
    if (style.spacing != 0) {
        const std::int32_t spacing = SaturatedInt(style.spacing);
        qsizetype i = 0;
        while (i < text.size()) {
            // A surrogate pair is one character.
            const qsizetype units =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                    ? 2
                    : 1;
            sum += static_cast<double>(font.TextExtent(text.mid(i, units))) + spacing;
            i += units;
        }
    } else {
        sum = font.TextExtent(text);
    }
    width = SaturatedInt(style.scaleX / 100 * sum + 4) >> 3;
}

void CPolygon::Measure()
{
    const SExtent extent = DrawingExtent(text);
    if (!extent.any) {
        width = ascent = descent = 0;
        return;
    }
    width = SaturatedInt((extent.maxX - extent.minX) * 8 * scaleX * style.scaleX / 100);
    ascent = SaturatedInt((extent.maxY - extent.minY) * 8 * scaleY * style.scaleY / 100);
    descent = 0;
}

QString CLine::Text() const
{
    QString out;
    for (const auto& word : words)
        out += word->text;
    return out;
}
