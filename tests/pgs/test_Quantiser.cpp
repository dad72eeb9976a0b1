#include "QuantiserTestSupport.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

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
            // The reduction: the transparent entry last; with no more
            // visible colours than entries each keeps its colour, or one
            // a few levels away that looks the same.
            std::set<QRgb> visible;
            for (QRgb p : c.Pixels) {
                if (qAlpha(p) != 0)
                    visible.insert(p);
            }
            EXPECT_EQ(run.Result.palette.back(), 0u);
            EXPECT_EQ(run.Result.transparentIndex, run.Result.palette.size() - 1);
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = c.Pixels[static_cast<std::size_t>(x)];
                const int index = IndexAt(run.Indexed, x, 0);
                if (qAlpha(p) == 0) {
                    EXPECT_EQ(index, run.Result.transparentIndex) << x;
                } else if (visible.size() <= 255) {
                    const QRgb e = run.Result.palette.value(index);
                    EXPECT_EQ(qAlpha(e), qAlpha(p)) << x;
                    EXPECT_LE(
                        std::max({std::abs(qRed(e) - qRed(p)), std::abs(qGreen(e) - qGreen(p)),
                                  std::abs(qBlue(e) - qBlue(p))}),
                        4)
                        << x;
                }
            }
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
// The reduction of pictures beyond an exact palette

namespace {

// An anti-aliased line as the renderer draws it: a white fill with a black
// outline and a half-transparent shadow, soft at every edge, on a
// transparent background.
QImage OutlinedLine(int width, int height, const QBrush& fill = QBrush(Qt::white))
{
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int pass = 0; pass < 2; ++pass) {
        const double shift = pass == 0 ? 4.5 : 0;
        for (int k = 0; k * 46 + 50 < width; ++k) {
            QPainterPath ring;
            ring.addEllipse(QRectF(8.3 + k * 46 + shift, 10.7 + shift, 36.4, height - 26.1));
            if (pass == 0) {
                painter.fillPath(ring, QColor(0, 0, 0, 110));
                continue;
            }
            painter.setPen(QPen(QColor(10, 10, 10), 3.3));
            painter.setBrush(fill);
            painter.drawPath(ring);
        }
    }
    painter.end();
    return picture.convertToFormat(QImage::Format_ARGB32);
}

// A gradient with a band of every alpha 0 to 255 along its rows, each alpha
// over a colour of its own, and a transparent margin below.
QImage SoftEdges()
{
    QImage picture = Gradient(256, 40);
    for (int y = 0; y < 40; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < 256; ++x) {
            if (y >= 10 && y < 20)
                line[x] = qRgba(qRed(line[x]), qGreen(line[x]), 90, x);
            else if (y >= 30)
                line[x] = qRgba(0, 0, 0, 0);
            else if (y >= 20)
                line[x] = qRgba(qRed(line[x]), 40, qBlue(line[x]), 255 - (x * y) % 200);
        }
    }
    return picture;
}

// The pixel laid over a background, as a decoder shows it.
std::array<double, 3> Over(QRgb pixel, QRgb background)
{
    const double a = qAlpha(pixel) / 255.0;
    return {qRed(pixel) * a + qRed(background) * (1 - a),
            qGreen(pixel) * a + qGreen(background) * (1 - a),
            qBlue(pixel) * a + qBlue(background) * (1 - a)};
}

struct SFidelity {
    double Mean = 0;  // per channel, over the picture
    double Worst = 0;
};

// How far the reduced picture, laid over the background, is from the
// original laid over it.
SFidelity FidelityOver(const QImage& picture, const SRun& run, QRgb background)
{
    SFidelity f;
    double sum = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const auto a = Over(PixelAt(picture, x, y), background);
            const auto b = Over(run.Result.palette[IndexAt(run.Indexed, x, y)], background);
            for (int k = 0; k < 3; ++k) {
                const double d = std::abs(a[k] - b[k]);
                sum += d;
                f.Worst = std::max(f.Worst, d);
            }
        }
    }
    f.Mean = sum / (3.0 * picture.width() * picture.height());
    return f;
}

// A fill from red to blue across the picture.
QBrush RedToBlue(int width)
{
    QLinearGradient gradient(0, 0, width, 0);
    gradient.setColorAt(0, QColor(255, 0, 0));
    gradient.setColorAt(1, QColor(0, 0, 255));
    return QBrush(gradient);
}

// The largest channel difference between an opaque pixel and its entry.
int WorstOpaque(const QImage& picture, const SRun& run)
{
    int worst = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = PixelAt(picture, x, y);
            if (qAlpha(pixel) != 255)
                continue;
            const QRgb entry = run.Result.palette[IndexAt(run.Indexed, x, y)];
            worst = std::max({worst, std::abs(qRed(pixel) - qRed(entry)),
                              std::abs(qGreen(pixel) - qGreen(entry)),
                              std::abs(qBlue(pixel) - qBlue(entry))});
        }
    }
    return worst;
}

}  // namespace

TEST(QuantiserReduction, ColourAndAlphaStandForTheirPixels)
{
    struct Case {
        const char* Name;
        QImage Picture;
        double Mean, Worst;  // most allowed, over any background
        int Opaque;          // most allowed at an opaque pixel
    } cases[] = {
        {"outlined white line", OutlinedLine(600, 90), 0.2, 24, 4},
        {"outlined yellow line", OutlinedLine(600, 90, QColor(250, 220, 20)), 0.2, 24, 4},
        // The ramps from each colour of the fill to the dark outline make a
        // plane of some 2,000 colours, a few pixels of each at its dark end;
        // a reduction that serves only the many leaves them 11 levels off.
        {"outlined gradient line", OutlinedLine(600, 90, RedToBlue(600)), 0.5, 24, 9},
        // Smooth pictures of thousands of colours keep the error of 255
        // entries over a whole colour plane; nothing is diffused.
        {"every alpha over a gradient", SoftEdges(), 4, 40, 40},
        {"opaque gradient", Gradient(300, 100), 7, 32, 32},
    };
    const QRgb backgrounds[] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 128, 128)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const SRun run = Quantise(c.Picture);
        ASSERT_TRUE(run.Ok);
        const QList<QRgb>& palette = run.Result.palette;
        ASSERT_LE(palette.size(), 256);
        EXPECT_EQ(run.Result.transparentIndex, palette.size() - 1);
        EXPECT_EQ(palette.back(), 0u);
        EXPECT_EQ(run.Indexed.colorTable(), palette);
        for (QRgb background : backgrounds) {
            const SFidelity f = FidelityOver(c.Picture, run, background);
            EXPECT_LE(f.Mean, c.Mean) << std::hex << background;
            EXPECT_LE(f.Worst, c.Worst) << std::hex << background;
        }
        EXPECT_LE(WorstOpaque(c.Picture, run), c.Opaque);
        // Transparent pixels stay transparent, opaque ones opaque, and no
        // visible pixel disappears.
        for (int y = 0; y < c.Picture.height(); ++y) {
            for (int x = 0; x < c.Picture.width(); ++x) {
                const int alpha = qAlpha(PixelAt(c.Picture, x, y));
                const int index = IndexAt(run.Indexed, x, y);
                ASSERT_EQ(index == run.Result.transparentIndex, alpha == 0) << x << "," << y;
                if (alpha == 255)
                    ASSERT_EQ(qAlpha(palette[index]), 255) << x << "," << y;
                else
                    ASSERT_LT(qAlpha(palette[index]), 255) << x << "," << y;
            }
        }
    }
}

TEST(QuantiserReduction, HalfTransparentWhiteAndOpaqueGreyStayApart)
{
    // Flattened against its complement, white at half alpha looks like grey
    // 128; laid over the video the two are nothing alike.
    QImage picture = Gradient(200, 30);
    FillRect(picture, 0, 0, 40, 10, qRgba(255, 255, 255, 128));
    FillRect(picture, 40, 0, 40, 10, qRgb(128, 128, 128));
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    const QRgb white = run.Result.palette[IndexAt(run.Indexed, 0, 0)];
    const QRgb grey = run.Result.palette[IndexAt(run.Indexed, 40, 0)];
    EXPECT_NE(IndexAt(run.Indexed, 0, 0), IndexAt(run.Indexed, 40, 0));
    EXPECT_EQ(white, qRgba(255, 255, 255, 128));
    EXPECT_EQ(grey, qRgb(128, 128, 128));
}

TEST(QuantiserReduction, ManyColoursFillThePaletteTheSameWayEachTime)
{
    const QImage picture = Gradient(300, 100);
    const SRun run = Quantise(picture);
    ASSERT_TRUE(run.Ok);
    EXPECT_EQ(run.Result.palette.size(), 256);
    EXPECT_EQ(run.Result.transparentIndex, 255);
    const CErgbPalette ergb = MakeErgbPalette(run.Result);
    EXPECT_EQ(ergb.TransparentIndex, 255);
    EXPECT_EQ(ergb.Colours.size(), 255u);

    // The reduction depends on nothing but the pictures.
    for (const QImage& again : {picture, SoftEdges(), OutlinedLine(600, 90)}) {
        const SRun first = Quantise(again);
        const SRun second = Quantise(again);
        EXPECT_EQ(first.Result.palette, second.Result.palette);
        EXPECT_TRUE(SameIndexes(first.Indexed, second.Indexed));
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
