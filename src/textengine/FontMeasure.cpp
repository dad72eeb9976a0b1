#include "FontMeasure.h"

#include "formats/Numbers.h"
#include <QFontInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The size the cell proportions of a face are read at.
constexpr int ReferencePixelSize = 256;
// Qt's metrics overflow for pixel sizes near 16384; larger fonts are
// measured at this size and their extents scaled.
constexpr int MaxPixelSize = 8192;
// Scripts use a handful of fonts; a script that animates sizes would
// otherwise make one per size.
constexpr std::size_t MaxCachedFonts = 256;
constexpr qsizetype MaxCachedExtents = 4096;

const QString FallbackFamily = QStringLiteral("Arial");

QFont MakeFont(const QString& family, const SFontDescription& description, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    // 0 is "any weight"; Qt takes 1 to 1000.
    const int weight = description.weight == 0 ? 400 : std::clamp(description.weight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(description.italic != 0);
    font.setUnderline(description.underline != 0);
    font.setStrikeOut(description.strikeOut != 0);
    // Merged words add their widths, so a text must measure as the sum of
    // its characters: no kerning, and no hinting that bends the advances.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

CMeasureFont::CMeasureFont(const SFontDescription& description, const QString& family)
    : MadeFont(MakeFont(family, description, ReferencePixelSize)), Metrics(MadeFont)
{
    const double referenceCell = Metrics.ascent() + Metrics.descent();
    if (description.height == 0 || referenceCell <= 0) {
        // Nothing of a zero-height font shows.
        Scale = 0;
        return;
    }
    // A positive height is the cell height; a negative one the em size.
    const double height = std::abs(static_cast<double>(description.height));
    const double exactPixels =
        description.height > 0 ? height * ReferencePixelSize / referenceCell : height;
    const int pixels = static_cast<int>(
        std::clamp(std::round(exactPixels), 1.0, static_cast<double>(MaxPixelSize)));
    MadeFont.setPixelSize(pixels);
    Metrics = QFontMetricsF(MadeFont);
    Scale = exactPixels > MaxPixelSize ? exactPixels / pixels : 1.0;

    const double ascent = Metrics.ascent() * Scale;
    const double descent = Metrics.descent() * Scale;
    if (description.height > 0) {
        const double cell = ascent + descent;
        FontAscent = cell > 0 ? SaturatedInt(std::round(height * ascent / cell)) : 0;
        FontDescent = description.height - FontAscent;
    } else {
        FontAscent = SaturatedInt(std::round(ascent));
        FontDescent = SaturatedInt(std::round(descent));
    }
}

std::int32_t CMeasureFont::TextExtent(const QString& text) const
{
    if (Scale == 0 || text.isEmpty())
        return 0;
    const auto found = Extents.constFind(text);
    if (found != Extents.constEnd())
        return *found;
    if (Extents.size() >= MaxCachedExtents)
        Extents.clear();
    const std::int32_t extent = SaturatedInt(std::round(Metrics.horizontalAdvance(text) * Scale));
    Extents.insert(text, extent);
    return extent;
}

std::shared_ptr<CFontMeasure> CFontMeasure::Shared()
{
    // One thread uses the engine; the device lives while an engine object
    // holds it.
    static std::weak_ptr<CFontMeasure> current;
    std::shared_ptr<CFontMeasure> device = current.lock();
    if (!device) {
        device = std::make_shared<CFontMeasure>();
        current = device;
    }
    return device;
}

QString CFontMeasure::ResolveFamily(const std::string& faceName)
{
    const auto found = Families.find(faceName);
    if (found != Families.end())
        return found->second;
    QString family = QString::fromStdString(faceName);
    if (family.isEmpty() ||
        QFontInfo(QFont(family)).family().compare(family, Qt::CaseInsensitive) != 0)
        family = FallbackFamily;
    if (Families.size() >= MaxCachedFonts)
        Families.clear();
    Families.emplace(faceName, family);
    return family;
}

const CMeasureFont& CFontMeasure::Font(const SFontDescription& description)
{
    SKey key{description.height,    description.weight,  description.italic,  description.underline,
             description.strikeOut, description.charSet, description.faceName};
    const auto found = Fonts.find(key);
    if (found != Fonts.end())
        return *found->second;
    if (Fonts.size() >= MaxCachedFonts)
        Fonts.clear();
    auto font = std::make_unique<CMeasureFont>(description, ResolveFamily(description.faceName));
    return *Fonts.emplace(std::move(key), std::move(font)).first->second;
}
