#include "source/TextEffects.h"

#include <QColor>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

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
    DrawOutline(graphics, path);
    if (solid_) {
        graphics.fillPath(path, QBrush(QColor::fromRgba(fillColor_)));
        return true;
    }
    if (!brush_ || brush_->style() == Qt::NoBrush)
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

// The outline is the band of a round-joined pen of the given width along
// the glyphs' edges. It is made from the anti-aliased coverage of the
// glyphs, grown by a disk from outside and from inside, which gives that
// band far faster than Qt's anti-aliased stroking of glyph curves, the
// larger part of the time of a whole build.
bool DrawGrownOutline(QPainter& graphics, const QPainterPath& path, QRgb colour, int thickness)
{
    const QTransform transform = graphics.transform();
    QPaintDevice* device = graphics.device();
    if (!device || transform.type() > QTransform::TxTranslate ||
        !graphics.testRenderHint(QPainter::Antialiasing))
        return false;
    const QPainterPath placed = path.translated(transform.dx(), transform.dy());
    const double radius = thickness / 2.0;
    const int reach = static_cast<int>(std::ceil(radius + 1));
    const QRect area = placed.boundingRect()
                           .toAlignedRect()
                           .adjusted(-reach - 1, -reach - 1, reach + 1, reach + 1)
                           .intersected(QRect(0, 0, device->width(), device->height()));
    if (area.isEmpty())
        return true;

    QImage mask(area.size(), QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-area.topLeft());
        painter.fillPath(placed, QColor(0, 0, 0, 255));
    }

    const int width = area.width();
    const int height = area.height();
    // Grows a coverage by the disk: every pixel takes the largest coverage
    // within reach, weighted by how much of it the disk takes in.
    auto grow = [&](bool inverted) {
        std::vector<std::uint8_t> source(static_cast<std::size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* from = mask.constScanLine(y);
            std::uint8_t* to = source.data() + static_cast<std::size_t>(y) * width;
            for (int x = 0; x < width; ++x)
                to[x] = inverted ? 255 - from[x] : from[x];
        }
        std::vector<std::uint8_t> grown(source.size(), 0);
        for (int dy = -reach; dy <= reach; ++dy) {
            for (int dx = -reach; dx <= reach; ++dx) {
                // A covered pixel reaches a pixel this far away fully while
                // the distance is within the radius, partly up to one pixel
                // beyond.
                const double weight = std::clamp(radius + 1 - std::hypot(dx, dy), 0.0, 1.0);
                if (weight <= 0)
                    continue;
                const unsigned w = static_cast<unsigned>(weight * 256);
                const int x0 = std::max(0, -dx);
                const int x1 = std::min(width, width - dx);
                for (int y = std::max(0, -dy); y < std::min(height, height - dy); ++y) {
                    const std::uint8_t* from =
                        source.data() + static_cast<std::size_t>(y + dy) * width + dx;
                    std::uint8_t* to = grown.data() + static_cast<std::size_t>(y) * width;
                    for (int x = x0; x < x1; ++x) {
                        const auto reached = static_cast<std::uint8_t>((from[x] * w) >> 8);
                        to[x] = to[x] > reached ? to[x] : reached;
                    }
                }
            }
        }
        return grown;
    };
    // The band of the pen: within reach of the glyphs from outside and from
    // inside alike, so the inside stays clear when the fill is not drawn.
    std::vector<std::uint8_t> band = grow(false);
    const std::vector<std::uint8_t> inside = grow(true);
    for (std::size_t i = 0; i < band.size(); ++i)
        band[i] = std::min(band[i], inside[i]);

    QImage outline(area.size(), QImage::Format_ARGB32_Premultiplied);
    const int alpha = qAlpha(colour);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(outline.scanLine(y));
        const std::uint8_t* cover = band.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const int a = alpha * cover[x] / 255;
            line[x] =
                qRgba(qRed(colour) * a / 255, qGreen(colour) * a / 255, qBlue(colour) * a / 255, a);
        }
    }
    graphics.save();
    graphics.resetTransform();
    graphics.drawImage(area.topLeft(), outline);
    graphics.restore();
    return true;
}

}  // namespace

void COutline::DrawOutline(QPainter& graphics, const QPainterPath& path)
{
    // A zero-width QPen is a one-pixel cosmetic pen; thickness 0 means no
    // outline.
    if (thickness_ <= 0)
        return;
    if (DrawGrownOutline(graphics, path, outlineColor_, thickness_))
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
    return picture.convertToFormat(QImage::Format_ARGB32);
}
