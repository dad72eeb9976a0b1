#pragma once
// Synthetic subtitle line pictures for the benchmarks.

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include <unordered_set>

// Glyph-like shapes along a line: rings, bars and strokes, white with a
// black outline over a soft shadow, all anti-aliased. Shapes stand in for
// text because drawing text needs a GUI application object.
inline QImage LinePicture(int width, int height, int variant)
{
    QPainterPath shapes;
    const double top = height * 0.25;
    const double size = height * 0.5;
    for (int i = 0, x = 24; x + size < width - 24; ++i, x += static_cast<int>(size * 0.8)) {
        switch ((i + variant) % 4) {
        case 0: shapes.addEllipse(QRectF(x, top, size * 0.7, size)); break;
        case 1: shapes.addRoundedRect(QRectF(x, top, size * 0.25, size), 4, 4); break;
        case 2: {
            QPainterPath curve(QPointF(x, top + size));
            curve.cubicTo(QPointF(x + size * 0.2, top - size * 0.3),
                          QPointF(x + size * 0.5, top + size * 1.3), QPointF(x + size * 0.7, top));
            QPainterPathStroker stroker;
            stroker.setWidth(size * 0.16);
            stroker.setCapStyle(Qt::RoundCap);
            shapes.addPath(stroker.createStroke(curve));
            break;
        }
        default:
            shapes.addEllipse(QRectF(x, top + size * 0.55, size * 0.45, size * 0.45));
            shapes.addRoundedRect(QRectF(x + size * 0.3, top, size * 0.15, size), 3, 3);
            break;
        }
    }
    shapes.setFillRule(Qt::WindingFill);

    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const QPainterPath shadow = shapes.translated(4, 4);
    for (int spread = 4; spread >= 1; --spread) {
        painter.setPen(
            QPen(QColor(0, 0, 0, 28), 6.0 * spread, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(shadow);
    }
    painter.setPen(QPen(Qt::black, 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(shapes);
    painter.end();
    return canvas.convertToFormat(QImage::Format_ARGB32);
}

inline std::size_t DistinctColours(const QImage& argb)
{
    std::unordered_set<QRgb> colours;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        colours.insert(line, line + argb.width());
    }
    return colours.size();
}
