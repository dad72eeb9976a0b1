#pragma once
// The layout of one entry: words, measured in eighths of a pixel, broken
// into rows, with the entry-wide state its override tags and effect set.

#include "formats/SimpleTextSubtitle.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CFontMeasure;

enum class EWordKind { Text, Polygon, Clipper };

// One word of a row. Text words are measured with a font made from their
// style; drawing words take the extent of their drawing points.
class CWord {
public:
    virtual ~CWord() = default;
    virtual std::unique_ptr<CWord> CloneWord() const = 0;
    // Appends `next` to this word when both can be merged; false otherwise.
    virtual bool MergeWord(const CWord& next);
    // The outline widths of the word's style, rounded (eighths of a pixel).
    std::int32_t BorderX() const;
    std::int32_t BorderY() const;

    EWordKind kind = EWordKind::Text;
    QString text;
    bool whitespace = false;
    bool lineBreak = false;
    bool breakBefore = false;  // a row may end before this word though no space comes first
    STSStyle style;            // the current style, scaled
    std::int32_t karaokeType = 0;
    std::int32_t karaokeStart = 0;
    std::int32_t karaokeEnd = 0;
    std::int32_t width = 0;  // eighths of a pixel
    std::int32_t ascent = 0;
    std::int32_t descent = 0;
};

class CText : public CWord {
public:
    CText() { kind = EWordKind::Text; }
    std::unique_ptr<CWord> CloneWord() const override { return std::make_unique<CText>(*this); }
    bool MergeWord(const CWord& next) override;
    // Sets the flags, ascent, descent and width from the text and style.
    void Measure(CFontMeasure& measure);
};

// A drawing-mode word: its text is its drawing commands.
class CPolygon : public CWord {
public:
    CPolygon() { kind = EWordKind::Polygon; }
    std::unique_ptr<CWord> CloneWord() const override { return std::make_unique<CPolygon>(*this); }
    // Sets width and ascent from the extent of the drawing points.
    void Measure();
    // Script pixels to frame pixels, for the drawing level.
    double scaleX = 1.0;
    double scaleY = 1.0;
    std::int32_t baseline = 0;
};

// A clip drawing; the engine keeps it but nothing draws with it.
class CClipper : public CPolygon {
public:
    CClipper() { kind = EWordKind::Clipper; }
    std::unique_ptr<CWord> CloneWord() const override { return std::make_unique<CClipper>(*this); }
    bool inverse = false;
};

// One row of words.
class CLine {
public:
    std::vector<std::unique_ptr<CWord>> words;
    std::int32_t width = 0;  // eighths of a pixel
    std::int32_t ascent = 0;
    std::int32_t descent = 0;
    std::int32_t borderX = 0;
    std::int32_t borderY = 0;
    // The concatenated texts of the words.
    QString Text() const;
};

enum EEffectSlot {
    EffectMove = 0,
    EffectOrigin,
    EffectFade,
    EffectBanner,
    EffectScroll,
    EffectSlots
};

// The parameters of an effect as its tag or effect field gave them.
struct SEffect {
    std::vector<std::int32_t> values;
};

struct SEngineRect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const SEngineRect&) const = default;
};

// The layout of one entry.
class CSubtitle {
public:
    std::vector<std::unique_ptr<CLine>> rows;
    std::vector<std::unique_ptr<CWord>> words;  // before row breaking
    std::int32_t screenAlignment = 0;           // negative until a tag sets it
    std::int32_t wrapStyle = 0;
    bool animated = false;
    std::int32_t positionBase = 0;
    std::array<std::optional<SEffect>, EffectSlots> effects;
    std::unique_ptr<CClipper> clipMask;
    bool inverseClip = false;
    SEngineRect rect;      // the entry's rectangle on the frame
    SEngineRect clipRect;  // eighths of a pixel
    std::int32_t topBorder = 0;
    std::int32_t bottomBorder = 0;
    double scaleX = 1.0;
    double scaleY = 1.0;
};
