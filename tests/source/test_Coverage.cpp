#include "source/Coverage.h"

#include <QFont>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Qt's own anti-aliased fill of the path over the area, as a reference.
QImage QtCoverage(const QPainterPath& path, const QRect& area)
{
    QImage alpha(area.size(), QImage::Format_Alpha8);
    alpha.fill(0);
    QPainter painter(&alpha);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-area.topLeft());
    painter.fillPath(path, QColor(0, 0, 0, 255));
    return alpha;
}

struct SDifference {
    int largest = 0;
    double mean = 0;
};

SDifference Compare(const QImage& a, const QImage& b)
{
    SDifference d;
    long long sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const int e = std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]);
            d.largest = std::max(d.largest, e);
            sum += e;
        }
    d.mean = double(sum) / (a.width() * a.height());
    return d;
}

QPainterPath Rect(qreal x, qreal y, qreal w, qreal h)
{
    QPainterPath path;
    path.addRect(x, y, w, h);
    return path;
}

QPainterPath Text(const QString& text, int size, Qt::FillRule rule)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(size);
    QPainterPath path;
    path.setFillRule(rule);
    path.addText(QPointF(3.3, size * 1.1), font, text);
    return path;
}

QPainterPath Overlap(Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.addEllipse(QRectF(2.5, 2.5, 30, 20));
    path.addEllipse(QRectF(15.25, 5.75, 30, 20));
    return path;
}

// Straight edges come out as Qt fills them (within rounding); curves are
// cut into finer chords than Qt's own fill cuts them, which shows as small
// differences along curved edges only.
struct SCoverCase {
    const char* what;
    QPainterPath path;
    QRect area;
    int largest;
    double mean;
};

TEST(CoverPath, MatchesQtsAntiAliasedFill)
{
    const SCoverCase cases[] = {
        {"pixel-aligned rectangle", Rect(2, 3, 10, 5), {0, 0, 16, 12}, 0, 0.0},
        {"fractional rectangle", Rect(2.25, 3.5, 10.4, 5.3), {0, 0, 16, 12}, 2, 0.5},
        {"area moved", Rect(12.25, 13.5, 10.4, 5.3), {10, 10, 16, 12}, 2, 0.5},
        {"cut by every side", Rect(-5.5, -3.25, 30, 30), {0, 0, 16, 12}, 2, 0.5},
        {"left of the area", Rect(-20.5, 2, 10, 5), {0, 0, 16, 12}, 0, 0.0},
        {"overlap, odd-even", Overlap(Qt::OddEvenFill), {0, 0, 48, 28}, 16, 1.0},
        {"overlap, winding", Overlap(Qt::WindingFill), {0, 0, 48, 28}, 16, 1.0},
        {"glyphs", Text(QStringLiteral("Hob&%"), 40, Qt::OddEvenFill), {0, 0, 140, 60}, 32, 0.6},
        {"small glyphs",
         Text(QStringLiteral("Hob&%"), 11, Qt::OddEvenFill),
         {0, 0, 50, 20},
         24,
         1.2},
    };
    for (const SCoverCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage ours = CoverPath(c.path, c.area);
        ASSERT_EQ(ours.size(), c.area.size());
        ASSERT_EQ(ours.format(), QImage::Format_Alpha8);
        const SDifference d = Compare(ours, QtCoverage(c.path, c.area));
        EXPECT_LE(d.largest, c.largest);
        EXPECT_LE(d.mean, c.mean);
    }
}

TEST(CoverPath, FillRules)
{
    // Two squares, the second inside the first, wound the same way: a hole
    // by the odd-even rule, filled by the winding rule.
    QPainterPath path;
    path.addRect(0, 0, 12, 12);
    path.addRect(4, 4, 4, 4);
    path.setFillRule(Qt::OddEvenFill);
    EXPECT_EQ(CoverPath(path, {0, 0, 12, 12}).constScanLine(6)[6], 0);
    EXPECT_EQ(CoverPath(path, {0, 0, 12, 12}).constScanLine(6)[2], 255);
    path.setFillRule(Qt::WindingFill);
    EXPECT_EQ(CoverPath(path, {0, 0, 12, 12}).constScanLine(6)[6], 255);
}

TEST(CoverPath, EmptyAreaOrPath)
{
    EXPECT_TRUE(CoverPath(Rect(0, 0, 4, 4), QRect()).isNull());
    const QImage none = CoverPath(QPainterPath(), {0, 0, 5, 5});
    ASSERT_EQ(none.size(), QSize(5, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(none.constScanLine(y)[x], 0);
}

}  // namespace
