#include "source/TextEffects.h"

#include "source/Coverage.h"

#include <QColor>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// x * a / 255, rounded, for bytes.
inline unsigned MulDiv255(unsigned x, unsigned a)
{
    const unsigned t = x * a + 128;
    return (t + (t >> 8)) >> 8;
}

// Source-over of a premultiplied pixel.
inline QRgb Over(QRgb source, QRgb target)
{
    const unsigned rest = 255 - qAlpha(source);
    if (rest == 0 || target == 0)
        return source;
    return qRgba(qRed(source) + MulDiv255(qRed(target), rest),
                 qGreen(source) + MulDiv255(qGreen(target), rest),
                 qBlue(source) + MulDiv255(qBlue(target), rest),
                 qAlpha(source) + MulDiv255(qAlpha(target), rest));
}

// A straight colour premultiplied and scaled by a coverage.
inline QRgb Covered(QRgb colour, unsigned cover)
{
    const unsigned a = MulDiv255(qAlpha(colour), cover);
    return qRgba(MulDiv255(qRed(colour), a), MulDiv255(qGreen(colour), a),
                 MulDiv255(qBlue(colour), a), a);
}

// The picture a painter draws on, when its drawing can be composed here:
// a premultiplied picture, painted anti-aliased, source over, without
// clipping, opacity or a transform other than a translation. Null
// otherwise, and the painter draws.
QImage* CompositeTarget(QPainter& graphics)
{
    QPaintDevice* device = graphics.device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    if (image->format() != QImage::Format_ARGB32_Premultiplied ||
        graphics.transform().type() > QTransform::TxTranslate ||
        !graphics.testRenderHint(QPainter::Antialiasing) ||
        graphics.compositionMode() != QPainter::CompositionMode_SourceOver ||
        graphics.hasClipping() || graphics.opacity() != 1.0)
        return nullptr;
    return image;
}

// The glyphs' coverage over their bounds grown by `reach`, as far as that
// can matter to the picture: the part `reach` beyond its edges is kept so
// that an outline grown from there reaches into the picture as it should.
SGlyphCoverage CoverGlyphs(const QImage& target, const QPainterPath& placed, int reach)
{
    SGlyphCoverage coverage;
    coverage.area = placed.boundingRect()
                        .toAlignedRect()
                        .adjusted(-reach - 1, -reach - 1, reach + 1, reach + 1)
                        .intersected(target.rect().adjusted(-reach, -reach, reach, reach));
    if (coverage.area.isEmpty())
        return coverage;
    coverage.alpha = CoverPath(placed, coverage.area);
    if (coverage.alpha.isNull())
        coverage.area = QRect();
    return coverage;
}

// Paints `colour` over the picture as far as the coverage goes.
void ComposeFill(QImage& target, const SGlyphCoverage& coverage, QRgb colour)
{
    const QRect area = coverage.area.intersected(target.rect());
    if (area.isEmpty() || qAlpha(colour) == 0)
        return;
    QRgb paints[256];
    for (unsigned c = 0; c < 256; ++c)
        paints[c] = Covered(colour, c);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* cover = coverage.alpha.constScanLine(y - coverage.area.top()) +
                                    (area.left() - coverage.area.left());
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(y)) + area.left();
        for (int x = 0; x < area.width(); ++x)
            if (cover[x] != 0)
                line[x] = Over(paints[cover[x]], line[x]);
    }
}

}  // namespace

void CTextEffect::SetFillColor(std::uint32_t argb)
{
    fillColor_ = argb;
    solid_ = true;
}

void CTextEffect::SetBrush(const QBrush* brush)
{
    brush_ = brush;
    solid_ = false;
}

bool CTextEffect::Measure(QPainter& graphics, CTextPageBase& page, int& width, int& height)
{
    if (!page.Measure(graphics, GetThickness()))
        return false;
    width = static_cast<int>(page.Width() + 0.5f);
    height = static_cast<int>(page.Height() + 0.5f);
    return true;
}

bool CTextEffect::Draw(QPainter& graphics, CTextPageBase& page, float x, float y)
{
    int width = 0, height = 0;
    if (!Measure(graphics, page, width, height))
        return false;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    if (!page.AddToPath(path, x, y))
        return false;
    const bool paintable = solid_ || (brush_ && brush_->style() != Qt::NoBrush);
    if (QImage* target = CompositeTarget(graphics)) {
        // One coverage of the glyphs serves the outline and a solid fill.
        const QPointF shift(graphics.transform().dx(), graphics.transform().dy());
        const SGlyphCoverage coverage =
            CoverGlyphs(*target, path.translated(shift), OutlineReach());
        ComposeOutline(*target, coverage);
        if (solid_) {
            ComposeFill(*target, coverage, fillColor_);
            return true;
        }
        if (paintable && brush_->style() == Qt::SolidPattern) {
            ComposeFill(*target, coverage, brush_->color().rgba());
            return true;
        }
    } else {
        DrawOutline(graphics, path);
        if (solid_) {
            graphics.fillPath(path, QBrush(QColor::fromRgba(fillColor_)));
            return true;
        }
    }
    if (!paintable)
        return false;
    graphics.fillPath(path, *brush_);
    return true;
}

COutline::COutline(std::uint32_t outlineColor, int thickness)
    : outlineColor_(outlineColor), thickness_(std::clamp(thickness, 0, MaxThickness))
{
}

std::unique_ptr<CTextEffect> COutline::Clone() const
{
    auto copy = std::make_unique<COutline>(outlineColor_, thickness_);
    if (IsSolid())
        copy->SetFillColor(FillColor());
    else
        copy->SetBrush(Brush());
    return copy;
}

namespace {

// Every pixel of `to` becomes the larger of itself and what its pixel of
// `from` gives with `lift` added (0 where `from` is empty), sixteen at a
// time where it can.
void RaiseRow(std::uint8_t* __restrict to, const std::uint8_t* __restrict from, int count, int lift)
{
    int x = 0;
    if (lift >= 0) {
        const auto up = static_cast<std::uint8_t>(std::min(lift, 255));
        const auto top = static_cast<std::uint8_t>(255 - up);
        const auto raised = [up, top](std::uint8_t v) {
            const std::uint8_t r = v > top ? std::uint8_t{255} : static_cast<std::uint8_t>(v + up);
            return v != 0 ? r : std::uint8_t{0};
        };
        for (; x + 16 <= count; x += 16)
            for (int k = 0; k < 16; ++k)
                to[x + k] = std::max(to[x + k], raised(from[x + k]));
        for (; x < count; ++x)
            to[x] = std::max(to[x], raised(from[x]));
        return;
    }
    const auto down = static_cast<std::uint8_t>(std::min(-lift, 255));
    const auto lowered = [down](std::uint8_t v) {
        return v > down ? static_cast<std::uint8_t>(v - down) : std::uint8_t{0};
    };
    for (; x + 16 <= count; x += 16)
        for (int k = 0; k < 16; ++k)
            to[x + k] = std::max(to[x + k], lowered(from[x + k]));
    for (; x < count; ++x)
        to[x] = std::max(to[x], lowered(from[x]));
}

// The coverage of a pen of `radius` run along the edge of a coverage, on
// the side the coverage lies. A pixel of coverage c has the edge about
// 0.5 - c beyond its centre, so a pixel d away lies about d + 0.5 - c from
// the edge and the pen covers r + 0.5 minus that of it: c + r - d. The
// largest over the pixels within reach is exact for edges along the rows
// and columns, and close for any other.
std::vector<std::uint8_t> Grow(const std::vector<std::uint8_t>& source, int width, int height,
                               double radius)
{
    const int reach = static_cast<int>(std::ceil(radius + 1));
    std::vector<std::uint8_t> grown(source.size(), 0);
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            const double lift = radius - std::hypot(dx, dy);
            if (lift <= -1)
                continue;
            const int x0 = std::max(0, -dx);
            const int x1 = std::min(width, width - dx);
            if (x1 <= x0)
                continue;
            for (int y = std::max(0, -dy); y < std::min(height, height - dy); ++y)
                RaiseRow(grown.data() + static_cast<std::size_t>(y) * width + x0,
                         source.data() + static_cast<std::size_t>(y + dy) * width + dx + x0,
                         x1 - x0, static_cast<int>(std::lround(lift * 255)));
        }
    }
    return grown;
}

}  // namespace

int COutline::OutlineReach() const
{
    return thickness_ > 0 ? static_cast<int>(std::ceil(thickness_ / 2.0 + 1)) : 0;
}

void COutline::ComposeOutline(QImage& target, const SGlyphCoverage& coverage)
{
    if (thickness_ <= 0 || coverage.area.isEmpty() || qAlpha(outlineColor_) == 0)
        return;
    // The outline is the band of a round-joined pen of the thickness along
    // the glyphs' edges: within reach of the glyphs from outside and from
    // inside alike, so the inside stays clear when the fill is not drawn.
    // Growing the coverage gives that band far faster than Qt's
    // anti-aliased stroking of glyph curves.
    const int width = coverage.area.width();
    const int height = coverage.area.height();
    std::vector<std::uint8_t> source(static_cast<std::size_t>(width) * height);
    std::vector<std::uint8_t> inverted(source.size());
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = coverage.alpha.constScanLine(y);
        std::uint8_t* plain = source.data() + static_cast<std::size_t>(y) * width;
        std::uint8_t* flipped = inverted.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            plain[x] = from[x];
            flipped[x] = static_cast<std::uint8_t>(255 - from[x]);
        }
    }
    const double radius = thickness_ / 2.0;
    std::vector<std::uint8_t> band = Grow(source, width, height, radius);
    const std::vector<std::uint8_t> inside = Grow(inverted, width, height, radius);
    for (std::size_t i = 0; i < band.size(); ++i)
        band[i] = std::min(band[i], inside[i]);

    const QRect area = coverage.area.intersected(target.rect());
    if (area.isEmpty())
        return;
    // The pen's premultiplied pixel for every coverage.
    QRgb pens[256];
    const int alpha = qAlpha(outlineColor_);
    const QRgb colour = outlineColor_;
    for (int c = 0; c < 256; ++c) {
        const int a = alpha * c / 255;
        pens[c] =
            qRgba(qRed(colour) * a / 255, qGreen(colour) * a / 255, qBlue(colour) * a / 255, a);
    }
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const std::uint8_t* cover = band.data() +
                                    static_cast<std::size_t>(y - coverage.area.top()) * width +
                                    (area.left() - coverage.area.left());
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(y)) + area.left();
        for (int x = 0; x < area.width(); ++x)
            if (cover[x] != 0)
                line[x] = Over(pens[cover[x]], line[x]);
    }
}

void COutline::DrawOutline(QPainter& graphics, const QPainterPath& path)
{
    // A zero-width QPen is a one-pixel cosmetic pen; thickness 0 means no
    // outline.
    if (thickness_ <= 0)
        return;
    QPen pen(QColor::fromRgba(outlineColor_), static_cast<qreal>(thickness_), Qt::SolidLine,
             Qt::RoundCap, Qt::RoundJoin);
    graphics.strokePath(path, pen);
}

void CTextRender::SetShadow(std::uint32_t color, int thickness, int dx, int dy)
{
    auto shadow = std::make_unique<COutline>(color, thickness);
    shadow->SetFillColor(0xFF000000);
    shadowCopy_ = shadow->Clone();
    shadow_ = std::move(shadow);
    shadowOn_ = true;
    shadowDx_ = dx;
    shadowDy_ = dy;
    shadowColor_ = color;
    shadowThickness_ = shadow_->GetThickness();
}

namespace {

int Saturate(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

}  // namespace

bool CTextRender::Measure(QPainter& graphics, CTextPageBase& page, QSize& size)
{
    int textW = 0, textH = 0;
    if (main_ && !main_->Measure(graphics, page, textW, textH))
        return false;
    int shadowW = 0, shadowH = 0;
    if (shadowOn_ && shadow_) {
        if (!shadow_->Measure(graphics, page, shadowW, shadowH))
            return false;
        // The offset may be negative: a shadow up or left needs less room.
        shadowW = Saturate(std::int64_t{shadowW} + shadowDx_);
        shadowH = Saturate(std::int64_t{shadowH} + shadowDy_);
    }
    if (textW > shadowW || textH > shadowH)
        size = QSize(textW, textH);
    else
        size = QSize(shadowW, shadowH);
    return true;
}

void CTextRender::Draw(QPainter& graphics, CTextPageBase& page)
{
    if (shadowOn_ && shadow_)
        shadow_->Draw(graphics, page, static_cast<float>(shadowDx_), static_cast<float>(shadowDy_));
    if (main_)
        main_->Draw(graphics, page, 0.0f, 0.0f);
}

QImage CTextRender::Render(CTextPageBase& page, std::uint32_t background)
{
    if (!page.HasRows())
        return {};
    QSize size(0, 0);
    {
        QImage scratch(100, 100, QImage::Format_ARGB32_Premultiplied);
        QPainter graphics(&scratch);
        if (!Measure(graphics, page, size))
            size = QSize(0, 0);
    }
    if (size.width() <= 0 || size.height() <= 0 || size.width() > MaxPictureSide ||
        size.height() > MaxPictureSide)
        return {};
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return {};
    picture.fill(QColor::fromRgba(background));
    {
        QPainter graphics(&picture);
        graphics.setRenderHint(QPainter::Antialiasing, true);
        graphics.setRenderHint(QPainter::SmoothPixmapTransform, true);
        Draw(graphics, page);
    }
    // Converted here rather than by QImage, which hands larger pictures
    // to its thread pool: on a build's many small pictures the waking of
    // threads costs more than it saves.
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qUnpremultiply(line[x]);
    }
    picture.reinterpretAsFormat(QImage::Format_ARGB32);
    return picture;
}
