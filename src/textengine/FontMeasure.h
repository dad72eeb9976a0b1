#pragma once
// Font measuring for the text engine. A font is described by face name,
// height, weight, flags and character set; a positive height is the cell
// height (ascent + descent) of the font, in device pixels. A face that no
// installed font matches is measured with "Arial".

#include "formats/SimpleTextSubtitle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <tuple>

// One font made from a description, with its integer cell metrics.
class CMeasureFont {
public:
    explicit CMeasureFont(const SFontDescription& description, const QString& family);

    // Ascent and descent in device pixels; for a positive height they add
    // up to exactly that height.
    std::int32_t Ascent() const { return FontAscent; }
    std::int32_t Descent() const { return FontDescent; }
    // The horizontal advance of a text in device pixels, rounded.
    std::int32_t TextExtent(const QString& text) const;
    // The font measured with, and the factor its extents are multiplied by
    // (1 except for heights too large to make a font of).
    const QFont& Font() const { return MadeFont; }
    double ExtentScale() const { return Scale; }

private:
    QFont MadeFont;
    QFontMetricsF Metrics;
    double Scale = 1.0;
    // Texts repeat a lot (spaces, common words); shaping is the slow part.
    mutable QHash<QString, std::int32_t> Extents;
    std::int32_t FontAscent = 0;
    std::int32_t FontDescent = 0;
};

// The measuring device of the engine objects: the fonts made so far, by
// description. Every engine object shares the one that exists.
class CFontMeasure {
public:
    // The device, made when no engine object holds one.
    static std::shared_ptr<CFontMeasure> Shared();

    // The font of a description. The reference stays valid until the next
    // call (the cache is bounded).
    const CMeasureFont& Font(const SFontDescription& description);
    // The installed family a face name is measured with.
    QString ResolveFamily(const std::string& faceName);

private:
    using SKey = std::tuple<std::int32_t, std::int32_t, std::uint8_t, std::uint8_t, std::uint8_t,
                            std::uint8_t, std::string>;
    std::map<SKey, std::unique_ptr<CMeasureFont>> Fonts;
    std::map<std::string, QString> Families;
};
