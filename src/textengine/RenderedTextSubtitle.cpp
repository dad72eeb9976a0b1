#include "RenderedTextSubtitle.h"

#include "formats/Numbers.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

// The position of the next "{" or "<" from `from`, or the length.
qsizetype NextChunkEnd(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == u'{' || text[i] == u'<')
            return i;
    }
    return text.size();
}

}  // namespace

CRenderedTextSubtitle::CRenderedTextSubtitle() : Measure(CFontMeasure::Shared()) {}

CRenderedTextSubtitle::~CRenderedTextSubtitle()
{
    // The layouts go before the measuring device is let go.
    Layouts.clear();
}

void CRenderedTextSubtitle::NotifyChanged()
{
    Layouts.clear();
}

void CRenderedTextSubtitle::Clear()
{
    Layouts.clear();
    CSimpleTextSubtitle::Clear();
}

void CRenderedTextSubtitle::SetEngineFrame(int width, int height, const SEngineRect& videoRect)
{
    Layouts.clear();
    frameWidth8 = SaturatedInt(width * 8.0);
    frameHeight8 = SaturatedInt(height * 8.0);
    videoRect8 = {SaturatedInt(videoRect.left * 8.0), SaturatedInt(videoRect.top * 8.0),
                  SaturatedInt(videoRect.right * 8.0), SaturatedInt(videoRect.bottom * 8.0)};
}

STSStyle CRenderedTextSubtitle::ScaledStyle(const CSubtitle& subtitle, const STSStyle& style) const
{
    STSStyle scaled = style;
    scaled.fontSize = style.fontSize * subtitle.scaleY * 64;
    scaled.spacing = style.spacing * subtitle.scaleX * 64;
    const double borderX = scaledBorderAndShadow ? subtitle.scaleX * 8 : 8;
    const double borderY = scaledBorderAndShadow ? subtitle.scaleY * 8 : 8;
    scaled.outlineX = style.outlineX * borderX;
    scaled.outlineY = style.outlineY * borderY;
    scaled.shadowX = style.shadowX * borderX;
    scaled.shadowY = style.shadowY * borderY;
    if (!drawnFont.family.empty() && drawnFont.size > 0) {
        // Drawn words take neither the script's sizes, scales nor letter
        // spacing; a negative size is an em size, as the drawing uses.
        scaled.fontName = drawnFont.family;
        scaled.fontSize = -(drawnFont.size * 64.0) - 0.5;
        scaled.scaleX = scaled.scaleY = 100;
        scaled.spacing = 0;
    }
    return scaled;
}

SEngineRect CRenderedTextSubtitle::EntryMargins(const CSubtitle& subtitle, int entryIndex,
                                                const STSStyle& base) const
{
    const SMargins& own = entries[static_cast<std::size_t>(entryIndex)].margins;
    const auto pick = [](std::int32_t entry, std::int32_t style) {
        return static_cast<double>(entry != 0 ? entry : style);
    };
    SEngineRect margins{SaturatedInt(pick(own.left, base.margins.left) * subtitle.scaleX * 8),
                        SaturatedInt(pick(own.top, base.margins.top) * subtitle.scaleY * 8),
                        SaturatedInt(pick(own.right, base.margins.right) * subtitle.scaleX * 8),
                        SaturatedInt(pick(own.bottom, base.margins.bottom) * subtitle.scaleY * 8)};
    if (subtitle.positionBase == 1) {
        margins.left = SaturatedInt(static_cast<double>(margins.left) + videoRect8.left);
        margins.top = SaturatedInt(static_cast<double>(margins.top) + videoRect8.top);
        margins.right =
            SaturatedInt(static_cast<double>(margins.right) + frameWidth8 - videoRect8.right);
        margins.bottom =
            SaturatedInt(static_cast<double>(margins.bottom) + frameHeight8 - videoRect8.bottom);
    }
    return margins;
}

CSubtitle* CRenderedTextSubtitle::LayoutEntry(int entryIndex)
{
    if (entryIndex < 0 || static_cast<std::size_t>(entryIndex) >= entries.size())
        throw std::out_of_range("entry index outside the entries");
    const auto cached = Layouts.find(entryIndex);
    if (cached != Layouts.end()) {
        if (!cached->second->animated)
            return cached->second.get();
        Layouts.erase(cached);
    }

    auto subtitle = std::make_unique<CSubtitle>();
    QString text = EntryText(entryIndex);
    STSStyle style;
    if (!ResolveStyle(entryIndex, style))
        style.ResetToDefaults();
    const STSStyle base = style;
    // Negated, it stays an int however odd the style's value.
    subtitle->screenAlignment =
        -std::max(style.alignment, -std::numeric_limits<std::int32_t>::max());
    subtitle->wrapStyle = wrapStyle;
    subtitle->positionBase = style.positionBase;
    subtitle->clipRect = {0, 0, frameWidth8, frameHeight8};
    subtitle->scaleX =
        scriptSize.width >= 1 ? static_cast<double>(frameWidth8) / (scriptSize.width * 8.0) : 1.0;
    subtitle->scaleY = scriptSize.height >= 1
                           ? static_cast<double>(frameHeight8) / (scriptSize.height * 8.0)
                           : 1.0;

    animation = {};
    karaokeType = karaokeStart = karaokeEnd = 0;
    drawingLevel = baselineOffset = 0;

    ApplyEntryEffect(*subtitle, entries[static_cast<std::size_t>(entryIndex)].effect);

    while (!text.isEmpty()) {
        qsizetype chunkEnd = 0;
        const qsizetype close = text.startsWith(u'{') ? text.indexOf(u'}', 1) : -1;
        if (close > 0) {
            ApplyOverrideBlock(subtitle.get(), text.mid(1, close - 1), style, base, false);
            text.remove(0, close + 1);
            chunkEnd = NextChunkEnd(text, 0);
            if (chunkEnd == 0)
                continue;
        } else {
            // The first character is text even when it is a brace.
            chunkEnd = NextChunkEnd(text, 1);
        }
        const QString chunk = text.left(chunkEnd);
        text.remove(0, chunkEnd);
        const STSStyle scaled = ScaledStyle(*subtitle, style);
        if (drawingLevel > 0)
            MakeDrawingWord(*subtitle, chunk, scaled);
        else
            SplitTextWords(*subtitle, chunk, scaled);
    }

    const auto& effects = subtitle->effects;
    if (effects[EffectOrigin] &&
        (effects[EffectMove] || effects[EffectBanner] || effects[EffectScroll]))
        subtitle->animated = true;
    if (subtitle->screenAlignment < 0)
        subtitle->screenAlignment =
            -std::max(subtitle->screenAlignment, -std::numeric_limits<std::int32_t>::max());

    // Clip masks are not built: nothing that draws line pictures reads them.
    BreakIntoRows(*subtitle, rowSpacing, EntryMargins(*subtitle, entryIndex, base));

    CSubtitle* result = subtitle.get();
    Layouts[entryIndex] = std::move(subtitle);
    return result;
}

void CRenderedTextSubtitle::SplitTextWords(CSubtitle& subtitle, const QString& chunk,
                                           const STSStyle& style)
{
    QString text = chunk;
    text.replace(QStringLiteral("\\N"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\\n"),
                 subtitle.wrapStyle == 2 ? QStringLiteral("\n") : QStringLiteral(" "));
    text.replace(QStringLiteral("\\h"), QString(QChar(0x00A0)));

    const auto addWord = [&](const QString& wordText) {
        auto word = std::make_unique<CText>();
        word->text = wordText;
        word->style = style;
        word->karaokeType = karaokeType;
        word->karaokeStart = karaokeStart;
        word->karaokeEnd = karaokeEnd;
        word->Measure(*Measure);
        subtitle.words.push_back(std::move(word));
        karaokeStart = karaokeEnd;
    };
    qsizetype cut = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != u' ' && text[i] != u'\n')
            continue;
        if (i > cut)
            addWord(text.mid(cut, i - cut));
        if (!end)
            addWord(text[i] == u'\n' ? QString() : QStringLiteral(" "));
        cut = i + 1;
    }
}

void CRenderedTextSubtitle::MakeDrawingWord(CSubtitle& subtitle, const QString& chunk,
                                            const STSStyle& style)
{
    if (chunk.isEmpty() || drawingLevel <= 0)
        return;
    auto word = std::make_unique<CPolygon>();
    word->text = chunk;
    word->style = style;
    word->karaokeType = karaokeType;
    word->karaokeStart = karaokeStart;
    word->karaokeEnd = karaokeEnd;
    // Each drawing level halves the coordinates.
    word->scaleX = std::ldexp(subtitle.scaleX, -(drawingLevel - 1));
    word->scaleY = std::ldexp(subtitle.scaleY, -(drawingLevel - 1));
    word->baseline = baselineOffset;
    word->Measure();
    subtitle.words.push_back(std::move(word));
    karaokeStart = karaokeEnd;
}
