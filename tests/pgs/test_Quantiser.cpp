#include "QuantiserTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

// ---------------------------------------------------------------------------
// The exact palette

TEST(QuantiserExact, OutlinedTextKeepsItsColoursInFirstSeenOrder)
{
    // Transparent margin, black outline, white inside; no anti-aliasing.
    const QRgb black = qRgb(0, 0, 0);
    const QRgb white = qRgb(255, 255, 255);
    QImage picture = Filled(14, 9, qRgba(10, 20, 30, 0));
    FillRect(picture, 1, 1, 12, 7, black);
    FillRect(picture, 3, 3, 8, 3, white);

    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    EXPECT_EQ(run.Result.palette, (QList<QRgb>{black, white, 0}));
    EXPECT_EQ(run.Result.transparentIndex, 2);
    EXPECT_EQ(run.Indexed.format(), QImage::Format_Indexed8);
    EXPECT_EQ(run.Indexed.colorTable(), run.Result.palette);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = PixelAt(picture, x, y);
            const int expected = qAlpha(p) == 0 ? 2 : p == black ? 0 : 1;
            EXPECT_EQ(IndexAt(run.Indexed, x, y), expected) << x << "," << y;
        }
    }
}

TEST(QuantiserExact, WhenTheAttemptSucceeds)
{
    const QRgb red = qRgb(255, 0, 0);
    const QRgb halfRed = qRgba(255, 0, 0, 128);
    std::vector<QRgb> many;
    for (int i = 0; i < 255; ++i) {
        many.push_back(qRgb(i, 255 - i, 7));
    }
    auto with = [](std::vector<QRgb> colours, std::initializer_list<QRgb> more) {
        colours.insert(colours.end(), more);
        return colours;
    };
    const QRgb clear = qRgba(1, 2, 3, 0);

    struct Case {
        const char* Name;
        std::vector<QRgb> Pixels;
        bool Exact;
        int Entries;  // of the exact palette
        int TransparentIndex;
    } cases[] = {
        {"one colour and transparent", {clear, red, red, clear}, true, 2, 1},
        {"same colour, two alphas", {red, halfRed, red}, true, 2, 255},
        {"transparent pixels of any colour share one entry",
         {qRgba(9, 9, 9, 0), red, qRgba(200, 0, 0, 0)},
         true,
         2,
         1},
        {"255 colours and transparent", with(many, {clear}), true, 256, 255},
        {"255 colours, nothing transparent", many, true, 255, 255},
        {"255 colours, transparent between two of the last", with(many, {clear, many.back()}), true,
         256, 255},
        // Once the list is full any change of colour ends the attempt, even
        // back to a listed one.
        {"255 colours, then a listed one again", with(many, {many.front()}), false, 0, 0},
        {"256 colours", with(many, {qRgb(1, 1, 1)}), false, 0, 0},
        {"one opaque colour only", {red, red, red}, false, 0, 0},
        {"transparent only", {clear, qRgba(50, 60, 70, 0)}, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const QImage picture = Row(c.Pixels);
        const SRun run = Quantise(picture);
        ASSERT_TRUE(run.Ok);
        if (!c.Exact) {
            const SCut expected = ExpectedCut(picture);
            ExpectPaletteColoursAre(run.Result, expected.Colours);
            EXPECT_EQ(IndexBytes(run.Indexed), expected.Indexes);
            continue;
        }
        // First-seen order, the transparent entry last.
        QList<QRgb> listed;
        for (QRgb p : c.Pixels) {
            if (qAlpha(p) != 0 && !listed.contains(p)) {
                listed.push_back(p);
            }
        }
        if (std::any_of(c.Pixels.begin(), c.Pixels.end(), [](QRgb p) { return qAlpha(p) == 0; })) {
            listed.push_back(0);
        }
        EXPECT_EQ(run.Result.palette, listed);
        EXPECT_EQ(run.Result.palette.size(), c.Entries);
        EXPECT_EQ(run.Result.transparentIndex, c.TransparentIndex);
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = c.Pixels[static_cast<std::size_t>(x)];
            const int index = IndexAt(run.Indexed, x, 0);
            if (qAlpha(p) == 0) {
                EXPECT_EQ(index, c.TransparentIndex) << x;
            } else {
                EXPECT_EQ(run.Result.palette.value(index), p) << x;
            }
        }
    }
}

TEST(QuantiserExact, OtherFormatsAreReadAsStraightArgb)
{
    QImage argb = Filled(6, 4, qRgb(10, 200, 30));
    FillRect(argb, 2, 1, 3, 2, qRgb(250, 5, 60));
    FillRect(argb, 0, 3, 6, 1, qRgb(0, 0, 255));
    const SRun reference = Quantise(argb);
    ASSERT_TRUE(reference.Ok);
    ASSERT_EQ(reference.Result.palette.size(), 3);
    for (QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_ARGB32_Premultiplied}) {
        const SRun run = Quantise(argb.convertToFormat(format));
        ASSERT_TRUE(run.Ok) << format;
        EXPECT_EQ(run.Result.palette, reference.Result.palette) << format;
        EXPECT_TRUE(SameIndexes(run.Indexed, reference.Indexed)) << format;
    }
}

TEST(Quantiser, EmptyPictureGivesNoPalette)
{
    for (const QImage& picture :
         {QImage(), QImage(0, 10, QImage::Format_ARGB32), QImage(10, 0, QImage::Format_ARGB32)}) {
        QImage indexed = Filled(2, 2, 0);
        SQuantised result;
        result.palette = {1, 2, 3};
        result.transparentIndex = 7;
        EXPECT_FALSE(QuantisePicture(picture, indexed, result));
        EXPECT_TRUE(indexed.isNull());
        EXPECT_TRUE(result.palette.isEmpty());
    }
}

// ---------------------------------------------------------------------------
// The median cut behind the picture path

TEST(QuantiserMedianCut, SingleColourPictures)
{
    // One histogram cell: its centre is the one chosen colour, whatever the
    // pixel's own value inside the cell.
    struct Case {
        const char* Name;
        QRgb Pixel;
        QRgb Chosen;
        int Index;  // of every pixel
    } cases[] = {
        {"opaque cell centre", qRgb(204, 102, 52), qRgb(204, 102, 52), 0},
        {"opaque inside a cell", qRgb(200, 100, 50), qRgb(204, 102, 52), 0},
        // Transparent black reads as white; nothing shows the colour.
        {"transparent", qRgba(0, 0, 0, 0), qRgb(252, 254, 252), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const SRun run = Quantise(Filled(9, 5, c.Pixel));
        ASSERT_TRUE(run.Ok);
        EXPECT_EQ(run.Result.palette, (QList<QRgb>{c.Chosen, 0}));
        EXPECT_EQ(run.Result.transparentIndex, 1);
        const Bytes indexes = IndexBytes(run.Indexed);
        EXPECT_EQ(indexes, Bytes(indexes.size(), c.Index));
    }
}

TEST(QuantiserMedianCut, ManyColoursFillThePalette)
{
    const QImage picture = Gradient(300, 100);
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    const SCut expected = ExpectedCut(picture);
    ASSERT_EQ(expected.Colours.size(), 255u);
    ExpectPaletteColoursAre(run.Result, expected.Colours);
    EXPECT_EQ(IndexBytes(run.Indexed), expected.Indexes);
    EXPECT_EQ(run.Result.transparentIndex, 255);
    EXPECT_EQ(run.Indexed.colorTable(), run.Result.palette);

    const CErgbPalette ergb = MakeErgbPalette(run.Result);
    EXPECT_EQ(ergb.TransparentIndex, 255);
    EXPECT_EQ(ergb.Colours.size(), 255u);
}

TEST(QuantiserMedianCut, ACellCountsAtMost65535Pixels)
{
    // Two neighbouring cells, 200000 and 50000 pixels, share one box among
    // scattered single pixels that fill the other boxes. Capped at 65535 the
    // first pulls the box mean of c1 to 104; uncapped it would be 103, and
    // 106 if the count wrapped around.
    Bytes pixels;
    auto add = [&](int c0, int c1, int c2, int count) {
        for (int i = 0; i < count; ++i) {
            pixels.insert(pixels.end(),
                          {static_cast<std::uint8_t>(c0), static_cast<std::uint8_t>(c1),
                           static_cast<std::uint8_t>(c2), 255});
        }
    };
    add(100, 100, 100, 200000);  // cell centre (100, 102, 100)
    add(100, 104, 100, 50000);   // cell centre (100, 106, 100)
    for (int h0 = 0; h0 < 32; h0 += 5) {
        for (int h1 = 0; h1 < 64; h1 += 7) {
            for (int h2 = 0; h2 < 32; h2 += 10) {
                add(h0 * 8, h1 * 4, h2 * 8, 1);
            }
        }
    }
    const int width = static_cast<int>(pixels.size() / 4);
    const SCut cut = CutBytes(pixels, width, 1, 0);
    ASSERT_EQ(cut.Colours.size(), 255u);
    EXPECT_EQ(cut.Colours[cut.Indexes[0]], (SCutColour{100, 104, 100}));
}

// An anti-aliased picture: many colours, soft alpha along the edges.
class QuantiserSoftEdges : public testing::Test {
protected:
    // A gradient with a band of every alpha 0 to 255 along its rows, each
    // alpha over a colour of its own, and a transparent margin below.
    static QImage Picture()
    {
        QImage picture = Gradient(256, 40);
        for (int y = 0; y < 40; ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < 256; ++x) {
                if (y >= 10 && y < 20) {
                    line[x] = qRgba(qRed(line[x]), qGreen(line[x]), 90, x);
                } else if (y >= 30) {
                    line[x] = qRgba(0, 0, 0, 0);
                } else if (y >= 20) {
                    line[x] = qRgba(qRed(line[x]), 40, qBlue(line[x]), 255 - (x * y) % 200);
                }
            }
        }
        return picture;
    }
};

TEST_F(QuantiserSoftEdges, ColoursAreChosenFromTheFlattenedPicture)
{
    const QImage picture = Picture();
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    const SCut expected = ExpectedCut(picture);
    ExpectPaletteColoursAre(run.Result, expected.Colours);
    EXPECT_EQ(IndexBytes(run.Indexed), expected.Indexes);
}

TEST_F(QuantiserSoftEdges, AlphaBelowFiveBecomesTheTransparentIndex)
{
    const QImage picture = Picture();
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool dropped = qAlpha(PixelAt(picture, x, y)) < 5;
            EXPECT_EQ(IndexAt(run.Indexed, x, y) == run.Result.transparentIndex, dropped)
                << x << "," << y << " alpha " << qAlpha(PixelAt(picture, x, y));
        }
    }
}

TEST_F(QuantiserSoftEdges, ColourAlphaIsThatOfItsFirstPixelInRowOrder)
{
    const QImage picture = Picture();
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    const int count = run.Result.transparentIndex;
    std::vector<int> firstAlpha(static_cast<std::size_t>(count), -1);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const int index = IndexAt(run.Indexed, x, y);
            if (index < count && firstAlpha[static_cast<std::size_t>(index)] < 0) {
                firstAlpha[static_cast<std::size_t>(index)] = qAlpha(PixelAt(picture, x, y));
            }
        }
    }
    // The transparent margin flattens to white, which gets colours of its
    // own that no visible pixel uses: they stay opaque.
    int unused = 0;
    for (int i = 0; i < count; ++i) {
        const int expected = firstAlpha[static_cast<std::size_t>(i)];
        unused += expected < 0 ? 1 : 0;
        EXPECT_EQ(qAlpha(run.Result.palette[i]), expected < 0 ? 255 : expected) << i;
    }
    EXPECT_GT(unused, 0);
}

TEST(QuantiserMedianCut, HalfTransparentWhiteChoosesLikeOpaqueGrey128)
{
    QImage soft = Gradient(200, 30);
    QImage grey = soft;
    FillRect(soft, 0, 0, 40, 10, qRgba(255, 255, 255, 128));
    FillRect(grey, 0, 0, 40, 10, qRgb(128, 128, 128));

    const SRun a = Quantise(soft);
    const SRun b = Quantise(grey);
    ASSERT_TRUE(a.Ok && b.Ok);
    ASSERT_EQ(a.Result.palette.size(), b.Result.palette.size());
    for (qsizetype i = 0; i < a.Result.palette.size(); ++i) {
        EXPECT_EQ(qRgb(qRed(a.Result.palette[i]), qGreen(a.Result.palette[i]),
                       qBlue(a.Result.palette[i])),
                  qRgb(qRed(b.Result.palette[i]), qGreen(b.Result.palette[i]),
                       qBlue(b.Result.palette[i])))
            << i;
    }
    EXPECT_TRUE(SameIndexes(a.Indexed, b.Indexed));
    // The top-left pixel is the first to show its colour.
    EXPECT_EQ(qAlpha(a.Result.palette[IndexAt(a.Indexed, 0, 0)]), 128);
    EXPECT_EQ(qAlpha(b.Result.palette[IndexAt(b.Indexed, 0, 0)]), 255);
}

TEST(QuantiserMedianCut, TransparentPixelsStopTheErrorDiffusion)
{
    // Two pictures with the same histogram, a noise part mirrored so that it
    // hands on different errors. Behind a transparent pixel, column or row
    // the smooth rest, where the smallest leak would shift the dithering,
    // must map alike. Rows below a compared region cannot reach it; they
    // only fill the histogram so that the errors are large.
    std::vector<QRect> notched{QRect(149, 0, 1, 40)};
    for (int y = 0; y < 40; y += 2) {
        notched.push_back(QRect(150, y, 1, 1));
    }
    struct Case {
        const char* Name;
        QRect Before;             // mirrored between the two pictures
        std::vector<QRect> Stop;  // transparent
        QRect After;              // compared
        int Alpha;                // of the stop
    } cases[] = {
        {"along a row", QRect(0, 0, 150, 1), {QRect(150, 0, 1, 1)}, QRect(151, 0, 149, 1), 0},
        {"a transparent column",
         QRect(0, 0, 150, 40),
         {QRect(150, 0, 1, 40)},
         QRect(151, 0, 149, 40),
         0},
        {"a column of alpha 4",
         QRect(0, 0, 150, 40),
         {QRect(150, 0, 1, 40)},
         QRect(151, 0, 149, 40),
         4},
        // Two transparent pixels side by side above a visible one: the
        // second must hand the pixel below nothing from the first's left.
        {"a column notched on the rows walked rightwards", QRect(0, 0, 149, 40), notched,
         QRect(150, 0, 150, 40), 0},
        {"down the picture", QRect(0, 0, 300, 5), {QRect(0, 5, 300, 1)}, QRect(0, 6, 300, 34), 0},
        {"down, from an odd row",
         QRect(0, 0, 300, 6),
         {QRect(0, 6, 300, 1)},
         QRect(0, 7, 300, 33),
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        QImage forward = Noise(300, 40, 17);
        const QImage smooth = Gradient(300, 40, 5);
        for (int y = c.After.top(); y <= c.After.bottom(); ++y) {
            for (int x = c.After.left(); x <= c.After.right(); ++x) {
                reinterpret_cast<QRgb*>(forward.scanLine(y))[x] = PixelAt(smooth, x, y);
            }
        }
        for (const QRect& stop : c.Stop) {
            FillRect(forward, stop.x(), stop.y(), stop.width(), stop.height(),
                     qRgba(255, 255, 255, c.Alpha));
        }
        QImage mirrored = forward;
        for (int y = c.Before.top(); y <= c.Before.bottom(); ++y) {
            for (int x = c.Before.left(); x <= c.Before.right(); ++x) {
                reinterpret_cast<QRgb*>(mirrored.scanLine(y))[x] =
                    PixelAt(forward, c.Before.right() - (x - c.Before.left()), y);
            }
        }
        const SRun a = Quantise(forward);
        const SRun b = Quantise(mirrored);
        ASSERT_TRUE(a.Ok && b.Ok);
        ASSERT_EQ(a.Result.palette, b.Result.palette);
        EXPECT_TRUE(SameIndexes(a.Indexed.copy(c.After), b.Indexed.copy(c.After)));
    }
}

// ---------------------------------------------------------------------------
// Groups

namespace {

// The 300 x 60 and 200 x 80 pictures of a typical two-line group.
struct SGroupPictures {
    QImage Top = Gradient(300, 60, 0);
    QImage Bottom = Gradient(200, 80, 99);
};

struct SGroupRun {
    bool Ok = false;
    std::vector<QImage> Indexed;
    SQuantised Result;
};

SGroupRun QuantiseList(const std::vector<const QImage*>& pictures)
{
    SGroupRun run;
    run.Ok = QuantiseGroup(pictures, run.Indexed, run.Result);
    return run;
}

}  // namespace

TEST(QuantiserGroup, PicturesSitSideBySideCentredOnTheTallest)
{
    const SGroupPictures p;
    // Built by hand: the 300 x 60 picture at (0, 10), the 200 x 80 one at
    // (300, 0), transparent elsewhere.
    QImage work = Filled(500, 80, 0);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 300; ++x) {
            reinterpret_cast<QRgb*>(work.scanLine(y + 10))[x] = PixelAt(p.Top, x, y);
        }
    }
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 200; ++x) {
            reinterpret_cast<QRgb*>(work.scanLine(y))[300 + x] = PixelAt(p.Bottom, x, y);
        }
    }
    const SRun whole = Quantise(work);
    ASSERT_TRUE(whole.Ok);

    const SGroupRun run = QuantiseList({&p.Top, &p.Bottom});
    ASSERT_TRUE(run.Ok);
    EXPECT_EQ(run.Result.palette, whole.Result.palette);
    EXPECT_EQ(run.Result.transparentIndex, whole.Result.transparentIndex);
    ASSERT_EQ(run.Indexed.size(), 2u);
    EXPECT_TRUE(SameIndexes(run.Indexed[0], whole.Indexed.copy(0, 10, 300, 60)));
    EXPECT_TRUE(SameIndexes(run.Indexed[1], whole.Indexed.copy(300, 0, 200, 80)));
    EXPECT_EQ(run.Indexed[0].colorTable(), run.Result.palette);
    EXPECT_EQ(run.Indexed[1].colorTable(), run.Result.palette);
}

TEST(QuantiserGroup, ExactPaletteFollowsTheLayout)
{
    // The shorter picture starts 10 rows down, so the taller one's colour
    // is seen first.
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const QImage shortRed = Filled(300, 60, red);
    const QImage tallBlue = Filled(200, 80, blue);
    const SGroupRun run = QuantiseList({&shortRed, &tallBlue});
    ASSERT_TRUE(run.Ok);
    EXPECT_EQ(run.Result.palette, (QList<QRgb>{blue, red, 0}));
    ASSERT_EQ(run.Indexed.size(), 2u);
    EXPECT_EQ(IndexBytes(run.Indexed[0]), Bytes(300 * 60, 1));
    EXPECT_EQ(IndexBytes(run.Indexed[1]), Bytes(200 * 80, 0));
}

TEST(QuantiserGroup, MissingPicturesTakeNoRoom)
{
    const SGroupPictures p;
    const SGroupRun reference = QuantiseList({&p.Top, &p.Bottom});
    ASSERT_TRUE(reference.Ok);
    const QImage null;
    struct Case {
        const char* Name;
        std::vector<const QImage*> List;
    } cases[] = {
        {"nullptr first", {nullptr, &p.Top, &p.Bottom}},
        {"null picture between", {&p.Top, &null, &p.Bottom}},
        {"both kinds at the end", {&p.Top, &p.Bottom, nullptr, &null}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const SGroupRun run = QuantiseList(c.List);
        ASSERT_TRUE(run.Ok);
        EXPECT_EQ(run.Result.palette, reference.Result.palette);
        ASSERT_EQ(run.Indexed.size(), c.List.size());
        std::size_t present = 0;
        for (std::size_t i = 0; i < c.List.size(); ++i) {
            if (c.List[i] == nullptr || c.List[i]->isNull()) {
                EXPECT_TRUE(run.Indexed[i].isNull()) << i;
            } else {
                EXPECT_TRUE(SameIndexes(run.Indexed[i], reference.Indexed[present++])) << i;
            }
        }
    }
}

TEST(QuantiserGroup, OnePresentPictureQuantisesAlone)
{
    const QImage picture = Gradient(120, 30);
    const SRun alone = Quantise(picture);
    ASSERT_TRUE(alone.Ok);
    for (const auto& list :
         {std::vector<const QImage*>{&picture}, std::vector<const QImage*>{nullptr, &picture}}) {
        const SGroupRun run = QuantiseList(list);
        ASSERT_TRUE(run.Ok);
        EXPECT_EQ(run.Result.palette, alone.Result.palette);
        ASSERT_EQ(run.Indexed.size(), list.size());
        EXPECT_TRUE(SameIndexes(run.Indexed.back(), alone.Indexed));
    }
}

TEST(QuantiserGroup, NothingToDrawGivesNoPalette)
{
    const QImage null;
    for (const auto& list : {std::vector<const QImage*>{}, std::vector<const QImage*>{nullptr},
                             std::vector<const QImage*>{&null, nullptr}}) {
        SGroupRun run;
        run.Result.palette = {1, 2};
        run.Ok = QuantiseGroup(list, run.Indexed, run.Result);
        EXPECT_FALSE(run.Ok);
        EXPECT_TRUE(run.Result.palette.isEmpty());
        EXPECT_EQ(run.Indexed.size(), list.size());
    }
}

// ---------------------------------------------------------------------------
// The palette for the segment writer

TEST(QuantiserErgb, TakesAtMost255ColoursWithIndexAndAlpha)
{
    for (int count : {0, 3, 255, 256}) {
        SCOPED_TRACE(count);
        SQuantised quantised;
        for (int i = 0; i < count; ++i) {
            quantised.palette.push_back(qRgba(i, 255 - i, (i * 3) % 256, (i * 5) % 256));
        }
        quantised.transparentIndex = static_cast<std::uint8_t>(std::min(count, 255));
        const CErgbPalette ergb = MakeErgbPalette(quantised);
        EXPECT_EQ(ergb.TransparentIndex, quantised.transparentIndex);
        ASSERT_EQ(ergb.Colours.size(), static_cast<std::size_t>(std::min(count, 255)));
        for (std::size_t i = 0; i < ergb.Colours.size(); ++i) {
            const auto c = static_cast<int>(i);
            ERGBQUAD expected;
            expected.Index = static_cast<std::uint8_t>(i);
            expected.Red = static_cast<std::uint8_t>(c);
            expected.Green = static_cast<std::uint8_t>(255 - c);
            expected.Blue = static_cast<std::uint8_t>((c * 3) % 256);
            expected.Alpha = static_cast<std::uint8_t>((c * 5) % 256);
            EXPECT_EQ(ergb.Colours[i], expected) << i;
        }
    }
}
