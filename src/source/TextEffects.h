#pragma once
// Turning a laid-out line of text into a picture: an effect strokes the
// glyph outlines and fills the glyphs; `CTextRender` draws a main effect
// over an optional shadow effect and sizes the picture to hold both.

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>

// What the effects need of a laid-out line of text (the text page).
class CTextPageBase {
public:
    virtual ~CTextPageBase() = default;
    virtual bool HasRows() const = 0;
    // Lays the page out with every word box grown by `allowance` pixels.
    // False when a word cannot be measured.
    virtual bool Measure(QPainter& graphics, int allowance) = 0;
    // The size of the last successful `Measure`.
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    // Adds the glyph outlines of every word, with the page's top-left
    // corner at (x, y), as placed by the last `Measure`.
    virtual bool AddToPath(QPainterPath& path, float x, float y) const = 0;
};

// The anti-aliased coverage of a page's glyphs over a part of a picture.
struct SGlyphCoverage {
    QRect area;    // in picture pixels; may reach beyond the picture
    QImage alpha;  // Format_Alpha8 of the area's size
};

class CTextEffect {
public:
    CTextEffect() = default;
    virtual ~CTextEffect() = default;

    virtual std::unique_ptr<CTextEffect> Clone() const = 0;
    // Strokes and fills the page with its top-left corner at (x, y). False
    // when the page cannot be measured or laid out, or the fill has no
    // paint (no brush, or one that cannot paint).
    virtual bool Draw(QPainter& graphics, CTextPageBase& page, float x, float y);
    // The picture size the page needs with this effect's outline.
    virtual bool Measure(QPainter& graphics, CTextPageBase& page, int& width, int& height);
    // The outline through a painter, for painters whose drawing is not
    // composed directly on their picture.
    virtual void DrawOutline(QPainter& /*graphics*/, const QPainterPath& /*path*/) {}
    // The outline composed on a premultiplied picture from the glyphs'
    // coverage, which reaches `OutlineReach` pixels beyond the glyphs.
    virtual void ComposeOutline(QImage& /*target*/, const SGlyphCoverage& /*coverage*/) {}
    virtual int OutlineReach() const { return 0; }
    virtual int GetThickness() const { return 0; }

    // Fills with this colour (straight ARGB) from now on.
    void SetFillColor(std::uint32_t argb);
    // Fills with `brush` from now on; the effect does not own it.
    void SetBrush(const QBrush* brush);
    std::uint32_t FillColor() const { return fillColor_; }
    const QBrush* Brush() const { return brush_; }
    bool IsSolid() const { return solid_; }

protected:
    CTextEffect(const CTextEffect&) = default;
    CTextEffect& operator=(const CTextEffect&) = default;

private:
    std::uint32_t fillColor_ = 0xFF000000;
    const QBrush* brush_ = nullptr;
    bool solid_ = true;
};

// Glyphs with an outline of round joins around them. The fill is painted
// over the stroke, so only the outer half of the pen shows.
class COutline : public CTextEffect {
public:
    // The thickness is kept within 0 to `MaxThickness` pixels; 0 draws no
    // outline at all.
    static constexpr int MaxThickness = 255;

    COutline() = default;
    COutline(std::uint32_t outlineColor, int thickness);

    std::unique_ptr<CTextEffect> Clone() const override;
    void DrawOutline(QPainter& graphics, const QPainterPath& path) override;
    void ComposeOutline(QImage& target, const SGlyphCoverage& coverage) override;
    int OutlineReach() const override;
    int GetThickness() const override { return thickness_; }

    std::uint32_t OutlineColor() const { return outlineColor_; }

private:
    std::uint32_t outlineColor_ = 0xFF000000;
    int thickness_ = 2;
};

class CTextRender {
public:
    // Line pictures larger than this on a side are refused; no frame
    // holds one, and the allocation alone could exhaust memory.
    static constexpr int MaxPictureSide = 8192;

    CTextRender() = default;
    virtual ~CTextRender() = default;
    CTextRender(const CTextRender&) = delete;
    CTextRender& operator=(const CTextRender&) = delete;

    void SetMainEffect(std::unique_ptr<CTextEffect> effect) { main_ = std::move(effect); }
    CTextEffect* MainEffect() const { return main_.get(); }
    CTextEffect* ShadowEffect() const { return shadow_.get(); }

    // The shadow: black glyphs with an outline of `color`, drawn under the
    // text displaced by (dx, dy).
    void SetShadow(std::uint32_t color, int thickness, int dx, int dy);
    bool HasShadow() const { return shadowOn_; }

    // The larger of the text's and the displaced shadow's sizes: the text
    // size when it is wider or taller than the shadow, else the shadow's.
    bool Measure(QPainter& graphics, CTextPageBase& page, QSize& size);
    // The shadow at its offset, then the text at the origin.
    void Draw(QPainter& graphics, CTextPageBase& page);
    // The page in a straight ARGB picture of exactly the measured size,
    // on `background`. Null when the page has no row, cannot be measured,
    // or measures empty or larger than `MaxPictureSide`.
    QImage Render(CTextPageBase& page, std::uint32_t background);

private:
    std::unique_ptr<CTextEffect> main_;
    std::unique_ptr<CTextEffect> shadow_;
    std::unique_ptr<CTextEffect> shadowCopy_;  // kept with the shadow, never drawn
    bool shadowOn_ = false;
    int shadowDx_ = 0;
    int shadowDy_ = 0;
    std::uint32_t shadowColor_ = 0;
    int shadowThickness_ = 2;
};
