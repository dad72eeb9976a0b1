#include "source/Brushes.h"

#include "source/HatchPatterns.h"

#include <QColor>
#include <QLinearGradient>
#include <QPointF>

std::unique_ptr<QBrush> CreateSolidBrush(std::uint32_t argb)
{
    return std::make_unique<QBrush>(QColor::fromRgba(argb));
}

QImage HatchCellImage(int hatchStyle, std::uint32_t foreground, std::uint32_t background)
{
    SHatchCell cell;
    if (!HatchCell(hatchStyle, cell))
        return {};
    QImage image(8, 8, QImage::Format_ARGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, (cell[y] & (0x80 >> x)) ? foreground : background);
    return image;
}

std::unique_ptr<QBrush> CreateHatchBrush(int hatchStyle, std::uint32_t foreground,
                                         std::uint32_t background)
{
    const QImage cell = HatchCellImage(hatchStyle, foreground, background);
    if (cell.isNull())
        return nullptr;
    return CreateTextureBrush(cell);
}

std::unique_ptr<QBrush> CreateGradientBrush(const SLgRect& rect, int mode, std::uint32_t start,
                                            std::uint32_t end)
{
    // Double arithmetic: the rectangle's corners are arbitrary 32-bit values.
    const double left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    QPointF from(left, top), to(right, top);
    switch (mode) {
    case LgVertical: to = QPointF(left, bottom); break;
    case LgForwardDiagonal: to = QPointF(right, bottom); break;
    case LgBackwardDiagonal:
        from = QPointF(right, top);
        to = QPointF(left, bottom);
        break;
    default: break;
    }
    // A gradient of no length has no direction to repeat along.
    if (from == to)
        return CreateSolidBrush(start);
    QLinearGradient gradient(from, to);
    gradient.setColorAt(0.0, QColor::fromRgba(start));
    gradient.setColorAt(1.0, QColor::fromRgba(end));
    gradient.setSpread(QGradient::RepeatSpread);
    return std::make_unique<QBrush>(gradient);
}

std::unique_ptr<QBrush> CreateTextureBrush(const QImage& picture)
{
    if (picture.isNull())
        return std::make_unique<QBrush>(Qt::NoBrush);
    // A texture brush's tiles start at the painter's origin, which is the
    // picture's top-left corner for every line we draw.
    return std::make_unique<QBrush>(picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

std::unique_ptr<QBrush> CreateBrush(const CTextTmp& style)
{
    switch (style.BrushType) {
    case BrushSolid: return CreateSolidBrush(style.TextColor);
    case BrushHatch: return CreateHatchBrush(style.HatchStyle, style.TextColor, style.TextColor2);
    case BrushLinearGradient:
        return CreateGradientBrush(style.LgRect, style.LgMode, style.TextColor, style.TextColor2);
    case BrushTexture:
        return CreateTextureBrush(style.TextureImage.isEmpty() ? QImage()
                                                               : QImage(style.TextureImage));
    default: return nullptr;
    }
}
