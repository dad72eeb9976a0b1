#include "source/Coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The accumulation is a difference along each pixel row: a row's running
// sum of `cells` is the signed coverage of its pixels (the winding number
// integrated over the pixel). An edge adds, per row it crosses, the share
// of every pixel that lies right of it, times the height it spans in that
// row and its direction.
class CCoverageCells {
public:
    CCoverageCells(int width, int height)
        : width_(width), height_(height), cells_(static_cast<std::size_t>(width) * height, 0.0f)
    {
    }

    void AddEdge(QPointF a, QPointF b)
    {
        if (a.y() == b.y() || !std::isfinite(a.x()) || !std::isfinite(a.y()) ||
            !std::isfinite(b.x()) || !std::isfinite(b.y()))
            return;
        float direction = 1.0f;
        if (a.y() > b.y()) {
            std::swap(a, b);
            direction = -1.0f;
        }
        const double top = std::max(a.y(), 0.0);
        const double bottom = std::min(b.y(), static_cast<double>(height_));
        if (top >= bottom)
            return;
        const double slope = (b.x() - a.x()) / (b.y() - a.y());
        for (int row = static_cast<int>(std::floor(top)); row < bottom; ++row) {
            const double y0 = std::max(top, static_cast<double>(row));
            const double y1 = std::min(bottom, static_cast<double>(row) + 1);
            if (y1 <= y0)
                continue;
            const double x0 = a.x() + (y0 - a.y()) * slope;
            const double x1 = a.x() + (y1 - a.y()) * slope;
            AddRowPiece(row, std::min(x0, x1), std::max(x0, x1),
                        static_cast<float>((y1 - y0) * direction));
        }
    }

    // Byte coverage of every pixel, by the fill rule.
    void Resolve(QImage& alpha, bool oddEven) const
    {
        for (int y = 0; y < height_; ++y) {
            const float* row = cells_.data() + static_cast<std::size_t>(y) * width_;
            std::uint8_t* out = alpha.scanLine(y);
            float cover = 0.0f;
            for (int x = 0; x < width_; ++x) {
                cover += row[x];
                float c = std::fabs(cover);
                if (c > 1.0f) {
                    if (oddEven) {
                        c = std::fmod(c, 2.0f);
                        if (c > 1.0f)
                            c = 2.0f - c;
                    } else {
                        c = 1.0f;
                    }
                }
                out[x] = static_cast<std::uint8_t>(c * 255.0f + 0.5f);
            }
        }
    }

private:
    // The edge runs from x0 to x1 (x0 <= x1) over `height` of one row.
    // With G(u) the mean of max(0, u - x) along the edge, the share of pixel
    // i right of it is G(i + 1) - G(i); the cells take the differences of
    // those shares from one pixel to the next.
    void AddRowPiece(int row, double x0, double x1, float height)
    {
        if (std::floor(x0) >= width_)
            return;
        float* cells = cells_.data() + static_cast<std::size_t>(row) * width_;
        const double run = x1 - x0;
        const double middle = (x0 + x1) / 2;
        auto ramp = [&](double u) {
            if (u <= x0)
                return 0.0;
            if (u >= x1)
                return u - middle;
            return (u - x0) * (u - x0) / (2 * run);
        };
        const int first = static_cast<int>(std::max(std::floor(x0), 0.0));
        const int last = static_cast<int>(std::min(std::ceil(x1), width_ - 1.0));
        // The pixels left of the area hand their share on to the first one.
        double g0 = ramp(first - 1), g1 = ramp(first);
        if (first == 0)
            cells[0] += static_cast<float>((g1 - g0) * height);
        for (int i = first; i <= last; ++i) {
            const double g2 = ramp(i + 1);
            cells[i] += static_cast<float>((g2 - 2 * g1 + g0) * height);
            g0 = g1;
            g1 = g2;
        }
    }

    int width_;
    int height_;
    std::vector<float> cells_;
};

// A cubic curve as chords: n equal steps of t stray from it by at most an
// eighth of its largest second derivative over n squared, which is at most
// six times the larger second difference of its control points.
void AddCurve(CCoverageCells& cells, QPointF p0, QPointF p1, QPointF p2, QPointF p3)
{
    constexpr double Tolerance = 0.05;
    constexpr int MostSteps = 1000;
    const QPointF d1 = p0 - 2 * p1 + p2;
    const QPointF d2 = p1 - 2 * p2 + p3;
    const double bend = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
    const double wanted = std::ceil(std::sqrt(0.75 * bend / Tolerance));
    const int steps =
        std::isfinite(wanted) ? std::clamp(static_cast<int>(wanted), 1, MostSteps) : 1;
    QPointF from = p0;
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double u = 1 - t;
        const QPointF to =
            i == steps ? p3
                       : u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
        cells.AddEdge(from, to);
        from = to;
    }
}

}  // namespace

QImage CoverPath(const QPainterPath& path, const QRect& area)
{
    if (area.isEmpty())
        return {};
    QImage alpha(area.size(), QImage::Format_Alpha8);
    if (alpha.isNull())
        return {};
    CCoverageCells cells(area.width(), area.height());
    const QPointF origin = area.topLeft();
    // Every subpath is closed back to its start; curves are cut into
    // chords that stay within a twentieth of a pixel of them.
    QPointF start, at;
    bool open = false;
    auto close = [&] {
        if (open)
            cells.AddEdge(at, start);
        open = false;
    };
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF point = QPointF(e.x, e.y) - origin;
        switch (e.type) {
        case QPainterPath::MoveToElement:
            close();
            start = at = point;
            open = true;
            break;
        case QPainterPath::LineToElement:
            cells.AddEdge(at, point);
            at = point;
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= count)
                return {};
            const QPointF c1 = point;
            const QPointF c2 = QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y) - origin;
            const QPointF end = QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y) - origin;
            i += 2;
            AddCurve(cells, at, c1, c2, end);
            at = end;
            break;
        }
        case QPainterPath::CurveToDataElement: break;  // taken with its curve
        }
    }
    close();
    cells.Resolve(alpha, path.fillRule() == Qt::OddEvenFill);
    return alpha;
}
