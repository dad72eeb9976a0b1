#include "source/Brushes.h"
#include "source/TextEffects.h"

#include <QFont>
#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t Red = 0xFFFF0000;
constexpr std::uint32_t Green = 0xFF00FF00;
constexpr std::uint32_t Black = 0xFF000000;
constexpr std::uint32_t White = 0xFFFFFFFF;

// A page whose one "glyph" is a w x h rectangle: no font, so pictures can
// be checked pixel for pixel. Like a word, its box grows by the allowance,
// and the glyph sits half an allowance in from the box's corner.
class CBoxPage : public CTextPageBase {
public:
    CBoxPage(float w, float h) : w_(w), h_(h) {}
    bool HasRows() const override { return rows_; }
    bool Measure(QPainter&, int allowance) override
    {
        allowances.push_back(allowance);
        allowance_ = allowance;
        return measurable_;
    }
    float Width() const override { return w_ + allowance_; }
    float Height() const override { return h_ + allowance_; }
    bool AddToPath(QPainterPath& path, float x, float y) const override
    {
        path.addRect(x + allowance_ / 2.0f, y + allowance_ / 2.0f, w_, h_);
        return true;
    }

    bool rows_ = true;
    bool measurable_ = true;
    std::vector<int> allowances;

private:
    float w_, h_;
    int allowance_ = 0;
};

std::unique_ptr<COutline> Outline(std::uint32_t fill, std::uint32_t outline, int thickness)
{
    auto effect = std::make_unique<COutline>(outline, thickness);
    effect->SetFillColor(fill);
    return effect;
}

// Measure with and without a shadow. The box is 20 x 10; the text's
// outline is 4 (24 x 14).
struct SSizeCase {
    const char* what;
    bool shadow;
    int thickness, dx, dy;
    QSize want;
};

const SSizeCase SizeCases[] = {
    {"no shadow", false, 0, 0, 0, {24, 14}},
    {"shadow larger in both: the shadow's size", true, 3, 2, 2, {25, 15}},
    {"text wider, shadow taller: the text's size", true, 0, -3, 5, {24, 14}},
    {"negative offset shrinks the shadow", true, 3, -2, -3, {24, 14}},
    {"shadow only as tall: the shadow's size", true, 4, 1, 0, {25, 14}},
};

TEST(TextRenderMeasure, PictureHoldsTheLargerOfTextAndDisplacedShadow)
{
    for (const SSizeCase& c : SizeCases) {
        SCOPED_TRACE(c.what);
        CBoxPage page(20, 10);
        CTextRender render;
        render.SetMainEffect(Outline(White, Black, 4));
        if (c.shadow)
            render.SetShadow(Red, c.thickness, c.dx, c.dy);
        const QImage image = render.Render(page, 0);
        EXPECT_EQ(image.size(), c.want);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        // Each effect lays the page out with its own allowance.
        std::vector<int> want = {4};
        if (c.shadow)
            want.push_back(c.thickness);
        EXPECT_EQ(std::vector<int>(page.allowances.begin(), page.allowances.begin() + want.size()),
                  want);
    }
}

TEST(TextRenderMeasure, ShadowOnlyAndFailures)
{
    CBoxPage page(20, 10);
    CTextRender shadowOnly;
    shadowOnly.SetShadow(Red, 2, 3, 1);
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter graphics(&scratch);
    QSize size;
    ASSERT_TRUE(shadowOnly.Measure(graphics, page, size));
    EXPECT_EQ(size, QSize(25, 13));

    CTextRender render;
    render.SetMainEffect(Outline(White, Black, 2));
    page.measurable_ = false;
    EXPECT_FALSE(render.Measure(graphics, page, size));
    EXPECT_TRUE(render.Render(page, 0).isNull());
    page.measurable_ = true;
    page.rows_ = false;
    EXPECT_TRUE(render.Render(page, 0).isNull());
}

TEST(TextRenderMeasure, RefusesAnEmptyOrEnormousPicture)
{
    CTextRender render;
    render.SetMainEffect(Outline(White, Black, 0));
    CBoxPage empty(0, 0);
    EXPECT_TRUE(render.Render(empty, 0).isNull());
    CBoxPage huge(1e6f, 20);
    EXPECT_TRUE(render.Render(huge, 0).isNull());
    CBoxPage tall(20, 1e9f);
    EXPECT_TRUE(render.Render(tall, 0).isNull());
}

// The outline is stroked first and the fill painted over it: inside the
// glyph, right up to its edge, the fill colour; outside, the outer half of
// the pen; the round join leaves the far corner bare.
TEST(OutlineDraw, FillCoversTheInnerHalfOfTheOutline)
{
    CBoxPage page(20, 10);  // glyph at (2, 2) to (22, 12) in a 24 x 14 picture
    CTextRender render;
    render.SetMainEffect(Outline(Green, Red, 4));
    const QImage image = render.Render(page, 0);
    ASSERT_EQ(image.size(), QSize(24, 14));
    EXPECT_EQ(image.pixel(12, 7), Green);
    EXPECT_EQ(image.pixel(2, 7), Green);    // inner half of the pen, filled over
    EXPECT_EQ(image.pixel(21, 11), Green);  // inner half of the pen, filled over
    EXPECT_EQ(image.pixel(0, 7), Red);
    EXPECT_EQ(image.pixel(1, 7), Red);
    EXPECT_EQ(image.pixel(23, 7), Red);
    EXPECT_EQ(image.pixel(12, 0), Red);
    EXPECT_EQ(image.pixel(12, 13), Red);
    EXPECT_LT(qAlpha(image.pixel(0, 0)), 128);  // round, not mitred, corner
}

TEST(OutlineDraw, BackgroundFillsTheRestOfThePicture)
{
    CBoxPage page(20, 10);
    CTextRender render;
    render.SetMainEffect(Outline(Green, Black, 0));
    render.SetShadow(Red, 2, 2, 2);
    const QImage image = render.Render(page, 0xFF123456);
    EXPECT_EQ(image.pixel(1, 12), 0xFF123456u);
    EXPECT_EQ(image.pixel(22, 1), 0xFF123456u);
}

// With the default (2, 2) style of offset the shadow shows right of and
// below the text, black inside, in its colour around.
TEST(ShadowDraw, LiesUnderTheTextAtItsOffset)
{
    CBoxPage page(20, 10);
    CTextRender render;
    render.SetMainEffect(Outline(Green, Black, 0));
    render.SetShadow(Red, 2, 2, 2);  // glyph at (3, 3) to (23, 13), rim 1
    const QImage image = render.Render(page, 0);
    ASSERT_EQ(image.size(), QSize(24, 14));
    EXPECT_EQ(image.pixel(5, 5), Green);  // text over shadow
    EXPECT_EQ(image.pixel(21, 11), Black);
    EXPECT_EQ(image.pixel(10, 12), Black);
    EXPECT_EQ(image.pixel(23, 8), Red);
    EXPECT_EQ(image.pixel(10, 13), Red);
    EXPECT_EQ(image.pixel(1, 12), 0u);
    EXPECT_EQ(image.pixel(22, 1), 0u);
}

TEST(ShadowDraw, NegativeOffsetDrawsPartlyOutsideThePicture)
{
    CBoxPage page(20, 10);
    CTextRender render;
    render.SetShadow(Red, 2, -2, -3);  // glyph at (-1, -2) to (19, 8), rim 1
    const QImage image = render.Render(page, 0);
    ASSERT_EQ(image.size(), QSize(20, 9));
    EXPECT_EQ(image.pixel(0, 0), Black);
    EXPECT_EQ(image.pixel(10, 4), Black);
    EXPECT_EQ(image.pixel(19, 4), Red);
    EXPECT_EQ(image.pixel(10, 8), Red);
}

// A brush that cannot paint (a texture that no longer opens) leaves the
// outline without a fill; a thickness of 0 draws no outline at all.
TEST(OutlineDraw, UnpaintableBrushKeepsOnlyTheOutline)
{
    const auto brush = CreateTextureBrush(QImage());
    struct {
        int thickness;
        std::uint32_t edge;
    } cases[] = {{4, Red}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.thickness);
        CBoxPage page(20, 10);
        COutline effect(Red, c.thickness);
        effect.SetBrush(brush.get());
        const int inset = c.thickness / 2;
        QImage image(24, 14, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter graphics(&image);
        graphics.setRenderHint(QPainter::Antialiasing);
        EXPECT_FALSE(effect.Draw(graphics, page, 0, 0));
        graphics.end();
        EXPECT_EQ(image.pixel(12, 7), 0u);
        EXPECT_EQ(image.pixel(inset, 7), c.edge);
        EXPECT_EQ(image.pixel(inset + 19, 7), c.edge);
    }
}

TEST(OutlineDraw, FillsWithTheBrushWhenNotSolid)
{
    CBoxPage page(16, 8);
    CTextTmp style;
    style.BrushType = BrushHatch;
    style.HatchStyle = 4;  // Cross
    style.TextColor = White;
    style.TextColor2 = Black;
    const auto brush = CreateBrush(style);
    auto effect = std::make_unique<COutline>(Red, 0);
    effect->SetBrush(brush.get());
    CTextRender render;
    render.SetMainEffect(std::move(effect));
    const QImage image = render.Render(page, 0);
    ASSERT_EQ(image.size(), QSize(16, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(image.pixel(x, y), (x % 8 == 0 || y == 0) ? White : Black) << x << "," << y;
}

TEST(OutlineEffect, CloneKeepsPaintAndOutlineAndThicknessIsBounded)
{
    QBrush brush(Qt::red);
    COutline withBrush(Red, 7);
    withBrush.SetBrush(&brush);
    const auto a = withBrush.Clone();
    EXPECT_FALSE(a->IsSolid());
    EXPECT_EQ(a->Brush(), &brush);
    EXPECT_EQ(a->GetThickness(), 7);
    EXPECT_EQ(static_cast<COutline&>(*a).OutlineColor(), Red);

    COutline solid(Green, 1);
    solid.SetFillColor(0xFF123456);
    const auto b = solid.Clone();
    EXPECT_TRUE(b->IsSolid());
    EXPECT_EQ(b->FillColor(), 0xFF123456u);

    EXPECT_EQ(COutline(Red, -5).GetThickness(), 0);
    EXPECT_EQ(COutline(Red, 100000).GetThickness(), COutline::MaxThickness);
    EXPECT_EQ(COutline().GetThickness(), 2);
}

TEST(TextRenderShadow, SetShadowMakesABlackOutlinedShadow)
{
    CTextRender render;
    EXPECT_FALSE(render.HasShadow());
    render.SetShadow(Red, 3, 2, 2);
    ASSERT_TRUE(render.HasShadow());
    auto* shadow = dynamic_cast<COutline*>(render.ShadowEffect());
    ASSERT_NE(shadow, nullptr);
    EXPECT_TRUE(shadow->IsSolid());
    EXPECT_EQ(shadow->FillColor(), Black);
    EXPECT_EQ(shadow->OutlineColor(), Red);
    EXPECT_EQ(shadow->GetThickness(), 3);
}

// A real word, laid out the way the text page does it: outlines from the
// font with the line cell's top at the origin.
class CWordPage : public CTextPageBase {
public:
    explicit CWordPage(QString text) : text_(std::move(text))
    {
        font_.setFamily(QStringLiteral("DejaVu Sans"));
        font_.setPixelSize(48);
    }
    bool HasRows() const override { return true; }
    bool Measure(QPainter&, int allowance) override
    {
        const QRectF box = Glyphs(0, 0).boundingRect();
        if (box.isEmpty())
            return false;
        w_ = float(box.right() + std::max(0.0, -box.left()) + allowance);
        h_ = float(
            std::max(box.bottom() + std::max(0.0, -box.top()), QFontMetricsF(font_).lineSpacing()) +
            allowance);
        return true;
    }
    float Width() const override { return w_; }
    float Height() const override { return h_; }
    bool AddToPath(QPainterPath& path, float x, float y) const override
    {
        path.addPath(Glyphs(x, y));
        return true;
    }
    QPainterPath Glyphs(float x, float y) const
    {
        QPainterPath path;
        path.addText(QPointF(x, y + QFontMetricsF(font_).ascent()), font_, text_);
        return path;
    }

private:
    QString text_;
    QFont font_;
    float w_ = 0, h_ = 0;
};

// Whether any part of the pixel around `c` may lie inside the glyphs.
bool TouchesGlyph(const QPainterPath& glyphs, QPointF c)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (glyphs.contains(c + QPointF(dx * 0.75, dy * 0.75)))
                return true;
    return false;
}

// Pixels well inside the glyphs have the fill colour; pixels just outside
// their edge have the outline colour. Tolerant: glyph shapes vary by font.
TEST(TextRenderText, GlyphsAreFilledOverTheirOutline)
{
    CWordPage page(QStringLiteral("Hob"));
    CTextRender render;
    render.SetMainEffect(Outline(White, Black, 4));
    const QImage image = render.Render(page, 0);
    ASSERT_FALSE(image.isNull());
    const QPainterPath glyphs = page.Glyphs(0, 0);
    EXPECT_GE(image.width(), int(glyphs.boundingRect().right()));

    int inside = 0, insideFill = 0, rim = 0, rimOutline = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QPointF c(x + 0.5, y + 0.5);
            const bool in = glyphs.contains(c);
            int near = 0;
            for (const QPointF d :
                 {QPointF(1.5, 0), QPointF(-1.5, 0), QPointF(0, 1.5), QPointF(0, -1.5)})
                near += glyphs.contains(c + d);
            const QRgb p = image.pixel(x, y);
            if (in && near == 4) {
                ++inside;
                insideFill += qRed(p) > 240 && qAlpha(p) > 240;
            } else if (!in && near > 0 && !TouchesGlyph(glyphs, c)) {
                ++rim;
                rimOutline += qRed(p) < 40 && qAlpha(p) > 200;
            }
        }
    ASSERT_GT(inside, 50);
    ASSERT_GT(rim, 20);
    EXPECT_GE(insideFill * 100, inside * 97);
    EXPECT_GE(rimOutline * 100, rim * 90);
}

// Effects compose their glyphs straight onto premultiplied pictures and
// leave every other painter to Qt (here a straight-alpha picture, and a
// clipped painter), whose pen strokes the outline. Both ways must give the
// same picture, up to the edges: a composed outline as thick as Qt's pen
// all round, also where a glyph's edge crosses a pixel.
TEST(TextRenderText, ComposedAndPaintedDrawingsAgree)
{
    CWordPage page(QStringLiteral("Hob"));
    CTextRender render;
    render.SetMainEffect(Outline(White, Black, 4));
    render.SetShadow(Red, 3, 4, 3);
    const QImage composed = render.Render(page, 0);
    ASSERT_FALSE(composed.isNull());

    struct SWay {
        const char* what;
        QImage::Format format;
        bool clip;
    } ways[] = {{"straight alpha", QImage::Format_ARGB32, false},
                {"clipped", QImage::Format_ARGB32_Premultiplied, true}};
    for (const SWay& way : ways) {
        SCOPED_TRACE(way.what);
        QImage painted(composed.size(), way.format);
        painted.fill(Qt::transparent);
        {
            QPainter graphics(&painted);
            graphics.setRenderHint(QPainter::Antialiasing);
            if (way.clip)
                graphics.setClipRect(painted.rect());
            render.Draw(graphics, page);
        }
        painted = painted.convertToFormat(QImage::Format_ARGB32);
        long long sum = 0;
        int far = 0;
        for (int y = 0; y < composed.height(); ++y)
            for (int x = 0; x < composed.width(); ++x) {
                const QRgb a = composed.pixel(x, y), b = painted.pixel(x, y);
                const int d =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
                sum += d;
                far += d > 128;
            }
        const double mean = double(sum) / (composed.width() * composed.height());
        // Measured: 1.6, and 13 pixels of 6,200 far apart, where curves
        // meet at sharp inner corners.
        EXPECT_LT(mean, 2.5);
        EXPECT_LT(far * 200, composed.width() * composed.height());
    }
}

TEST(TextRenderText, ShadowAddsItsOffsetToThePicture)
{
    CWordPage page(QStringLiteral("Hob"));
    CTextRender plain;
    plain.SetMainEffect(Outline(White, Black, 4));
    const QImage a = plain.Render(page, 0);
    CTextRender shadowed;
    shadowed.SetMainEffect(Outline(White, Black, 4));
    shadowed.SetShadow(Red, 4, 5, 6);
    const QImage b = shadowed.Render(page, 0);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(b.size(), a.size() + QSize(5, 6));
}

}  // namespace
