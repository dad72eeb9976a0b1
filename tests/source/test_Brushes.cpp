#include "source/Brushes.h"
#include "source/HatchPatterns.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <set>
#include <string>

namespace {

constexpr std::uint32_t Red = 0xFFFF0000;
constexpr std::uint32_t Blue = 0xFF0000FF;
constexpr std::uint32_t White = 0xFFFFFFFF;
constexpr std::uint32_t Black = 0xFF000000;

// Paints `area` of a transparent w x h picture with the brush, the way a
// line picture is painted: premultiplied surface, straight result.
QImage Paint(const QBrush& brush, int w, int h, const QRect& area)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.fillRect(area, brush);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

CTextTmp HatchStyle(int style, std::uint32_t fg, std::uint32_t bg)
{
    CTextTmp t;
    t.BrushType = BrushHatch;
    t.HatchStyle = static_cast<std::uint8_t>(style);
    t.TextColor = fg;
    t.TextColor2 = bg;
    return t;
}

bool Bit(const SHatchCell& cell, int x, int y)
{
    return (cell[y & 7] & (0x80 >> (x & 7))) != 0;
}

int CountBits(const SHatchCell& cell)
{
    int n = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            n += Bit(cell, x, y);
    return n;
}

struct SCellCase {
    int style;
    const char* rows[8];  // '#' foreground
};

const SCellCase CellCases[] = {
    {HatchHorizontal,
     {"########", "........", "........", "........", "........", "........", "........",
      "........"}},
    {HatchVertical,
     {"#.......", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......",
      "#......."}},
    {HatchForwardDiagonal,
     {"#.......", ".#......", "..#.....", "...#....", "....#...", ".....#..", "......#.",
      ".......#"}},
    {HatchBackwardDiagonal,
     {".......#", "......#.", ".....#..", "....#...", "...#....", "..#.....", ".#......",
      "#......."}},
    {HatchCross,
     {"########", "#.......", "#.......", "#.......", "#.......", "#.......", "#.......",
      "#......."}},
    {Hatch50Percent,
     {"#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#", "#.#.#.#.",
      ".#.#.#.#"}},
    {HatchLargeCheckerBoard,
     {"####....", "####....", "####....", "####....", "....####", "....####", "....####",
      "....####"}},
};

// Every pixel of the painted area shows the cell of its position in the
// picture (tiles start at the picture's origin, not at the area's corner),
// in the foreground colour where the cell is set.
TEST(HatchBrush, PaintsItsCellTiledFromThePictureOrigin)
{
    const QRect area(3, 5, 21, 14);
    for (const SCellCase& c : CellCases) {
        SCOPED_TRACE(c.style);
        const auto brush = CreateBrush(HatchStyle(c.style, Red, Blue));
        ASSERT_NE(brush, nullptr);
        const QImage image = Paint(*brush, 30, 24, area);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                std::uint32_t want = 0;
                if (area.contains(x, y))
                    want = c.rows[y % 8][x % 8] == '#' ? Red : Blue;
                ASSERT_EQ(image.pixel(x, y), want) << x << "," << y;
            }
    }
}

TEST(HatchBrush, CrossWhiteOnBlackIsAWhiteGridOnBlack)
{
    const auto brush = CreateBrush(HatchStyle(HatchCross, White, Black));
    const QImage image = Paint(*brush, 16, 16, QRect(0, 0, 16, 16));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(image.pixel(x, y), (x % 8 == 0 || y % 8 == 0) ? White : Black);
}

// The patterns are told apart by name in the grid: each must look different
// and show both colours; the percent series must grow in density as named.
TEST(HatchCells, AreDistinctTwoColouredAndPercentsMatchTheirNames)
{
    std::set<std::string> seen;
    for (int style = 0; style < HatchStyleCount; ++style) {
        SCOPED_TRACE(style);
        SHatchCell cell;
        ASSERT_TRUE(HatchCell(style, cell));
        const int bits = CountBits(cell);
        EXPECT_GT(bits, 0);
        EXPECT_LT(bits, 64);
        EXPECT_TRUE(seen.insert(std::string(cell.begin(), cell.end())).second);
    }
    const int percents[] = {5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
    SHatchCell lighter{};
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(percents[i]);
        SHatchCell cell;
        ASSERT_TRUE(HatchCell(Hatch05Percent + i, cell));
        EXPECT_LE(std::abs(CountBits(cell) * 100 - percents[i] * 64), 100);
        for (int y = 0; y < 8; ++y)
            EXPECT_EQ(cell[y] & lighter[y], lighter[y]) << "denser pattern drops a dot";
        lighter = cell;
    }
}

TEST(HatchCells, ThinLineFamiliesHaveTheirSpacing)
{
    // Light lines every 4 pixels, narrow every 2, dark ones 2 pixels wide.
    struct {
        int style;
        int perRow;
    } cases[] = {{HatchLightVertical, 2},      {HatchNarrowVertical, 4},
                 {HatchDarkVertical, 4},       {HatchLightDownwardDiagonal, 2},
                 {HatchDarkUpwardDiagonal, 4}, {HatchWideDownwardDiagonal, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        SHatchCell cell;
        ASSERT_TRUE(HatchCell(c.style, cell));
        for (int y = 0; y < 8; ++y)
            EXPECT_EQ(std::popcount(cell[y]), c.perRow);
    }
    SHatchCell down, up;
    ASSERT_TRUE(HatchCell(HatchLightDownwardDiagonal, down));
    ASSERT_TRUE(HatchCell(HatchLightUpwardDiagonal, up));
    // Downward runs to the right as it goes down, upward to the left.
    EXPECT_TRUE(Bit(down, 0, 0) && Bit(down, 1, 1));
    EXPECT_TRUE(Bit(up, 3, 0) && Bit(up, 2, 1));
}

TEST(HatchBrush, UnknownStyleOrBrushTypeGivesNoBrush)
{
    SHatchCell cell;
    EXPECT_FALSE(HatchCell(HatchStyleCount, cell));
    EXPECT_FALSE(HatchCell(-1, cell));
    EXPECT_EQ(CreateBrush(HatchStyle(53, Red, Blue)), nullptr);
    EXPECT_EQ(CreateBrush(HatchStyle(255, Red, Blue)), nullptr);
    CTextTmp t;
    t.BrushType = 4;
    EXPECT_EQ(CreateBrush(t), nullptr);
}

TEST(SolidBrush, PaintsTextColorEverywhere)
{
    CTextTmp t;
    t.TextColor = 0xFF336699;
    t.TextColor2 = Red;  // not used by a solid brush
    const QImage image = Paint(*CreateBrush(t), 5, 5, QRect(0, 0, 5, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y), 0xFF336699u);
}

int ChannelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

// Rectangle (10, 20) to (60, 50): pixels at the start corner show the start
// colour, at the end corner the end colour, and just past the end the
// gradient starts over (tiled).
struct SGradientCase {
    int mode;
    QPoint start, end, pastEnd, beforeStart;
};

const SGradientCase GradientCases[] = {
    {LgHorizontal, {10, 20}, {59, 49}, {61, 35}, {8, 35}},
    {LgVertical, {10, 20}, {59, 49}, {30, 51}, {30, 18}},
    {LgForwardDiagonal, {10, 20}, {59, 49}, {61, 51}, {8, 18}},
    {LgBackwardDiagonal, {59, 20}, {10, 49}, {8, 51}, {61, 18}},
};

TEST(GradientBrush, RunsFromCornerToCornerPerModeAndRepeats)
{
    CTextTmp t;
    t.BrushType = BrushLinearGradient;
    t.TextColor = Red;
    t.TextColor2 = Blue;
    t.LgRect = {10, 20, 60, 50};
    const int tolerance = 16;
    for (const SGradientCase& c : GradientCases) {
        SCOPED_TRACE(c.mode);
        t.LgMode = static_cast<std::uint8_t>(c.mode);
        const auto brush = CreateBrush(t);
        ASSERT_NE(brush, nullptr);
        const QImage image = Paint(*brush, 80, 80, QRect(0, 0, 80, 80));
        EXPECT_LE(ChannelDistance(image.pixel(c.start), Red), tolerance);
        EXPECT_LE(ChannelDistance(image.pixel(c.end), Blue), tolerance);
        EXPECT_LE(ChannelDistance(image.pixel(c.pastEnd), Red), tolerance * 2);
        EXPECT_LE(ChannelDistance(image.pixel(c.beforeStart), Blue), tolerance * 2);
    }
}

TEST(GradientBrush, DegenerateRectangleOrUnknownModeStillPaints)
{
    // A rectangle without width has no horizontal run: the start colour.
    auto flat = CreateGradientBrush({10, 10, 10, 40}, LgHorizontal, Red, Blue);
    ASSERT_NE(flat, nullptr);
    const QImage a = Paint(*flat, 20, 20, QRect(0, 0, 20, 20));
    EXPECT_EQ(a.pixel(0, 0), Red);
    EXPECT_EQ(a.pixel(19, 19), Red);
    // Modes past the grid's four run horizontally.
    auto odd = CreateGradientBrush({0, 0, 40, 40}, 9, Red, Blue);
    const QImage b = Paint(*odd, 40, 40, QRect(0, 0, 40, 40));
    EXPECT_EQ(b.pixel(39, 0), b.pixel(39, 39));
    EXPECT_LE(ChannelDistance(b.pixel(39, 0), Blue), 16);
}

TEST(TextureBrush, TilesThePictureFromTheOrigin)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage texture(3, 2, QImage::Format_ARGB32);
    const std::uint32_t colours[2][3] = {{Red, Blue, White}, {Black, 0xFF00FF00, 0xFF808080}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            texture.setPixel(x, y, colours[y][x]);
    const QString path = dir.filePath("tex.png");
    ASSERT_TRUE(texture.save(path));

    CTextTmp t;
    t.BrushType = BrushTexture;
    t.TextureImage = path;
    const auto brush = CreateBrush(t);
    ASSERT_NE(brush, nullptr);
    const QRect area(5, 7, 20, 9);
    const QImage image = Paint(*brush, 30, 20, area);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(image.pixel(x, y), area.contains(x, y) ? colours[y % 2][x % 3] : 0u)
                << x << "," << y;
}

TEST(TextureBrush, MissingPictureGivesABrushThatPaintsNothing)
{
    CTextTmp t;
    t.BrushType = BrushTexture;
    t.TextureImage = QStringLiteral("/nonexistent/texture.png");
    const auto brush = CreateBrush(t);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->style(), Qt::NoBrush);
    t.TextureImage.clear();
    EXPECT_EQ(CreateBrush(t)->style(), Qt::NoBrush);
}

}  // namespace
