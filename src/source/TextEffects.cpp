#include "source/TextEffects.h"

#include <QColor>
#include <QPen>

#include <algorithm>
#include <cstdint>
#include <limits>

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
    return picture.convertToFormat(QImage::Format_ARGB32);
}
