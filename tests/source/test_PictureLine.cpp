#include "source/PictureLine.h"

#include "support/RecordedMessages.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

constexpr QRgb Blue = 0xFF000080;  // the usual bluish background of disc subtitles
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Green = 0xFF00FF00;
constexpr QRgb Magenta = 0xFFFF00FF;

class CPictureSource : public CSubBase {
public:
    bool Load(const QString&, CUserMessages*) override { return false; }
};

// Qt reads GIF but does not write it: a plain 256-colour GIF whose LZW
// stream holds only literal codes, cleared often enough to stay at 9 bits.
QByteArray GifOf(const QImage& indexed)
{
    QByteArray gif("GIF89a");
    auto le16 = [&](int v) {
        gif.append(static_cast<char>(v & 0xFF));
        gif.append(static_cast<char>(v >> 8));
    };
    le16(indexed.width());
    le16(indexed.height());
    gif.append(static_cast<char>(0xF7)).append('\0').append('\0');
    const QList<QRgb> table = indexed.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < table.size() ? table[i] : 0;
        gif.append(static_cast<char>(qRed(c))).append(static_cast<char>(qGreen(c)));
        gif.append(static_cast<char>(qBlue(c)));
    }
    gif.append(',');
    le16(0);
    le16(0);
    le16(indexed.width());
    le16(indexed.height());
    gif.append('\0').append(static_cast<char>(8));

    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    auto putCode = [&](int code) {
        bits |= static_cast<quint32>(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            codes.append(static_cast<char>(bits & 0xFF));
    };
    int sinceClear = 0;
    putCode(256);
    for (int y = 0; y < indexed.height(); ++y) {
        for (int x = 0; x < indexed.width(); ++x) {
            if (++sinceClear == 200) {
                putCode(256);
                sinceClear = 1;
            }
            putCode(indexed.pixelIndex(x, y));
        }
    }
    putCode(257);
    if (count > 0)
        codes.append(static_cast<char>(bits & 0xFF));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif.append(static_cast<char>(block.size())).append(block);
    }
    gif.append('\0').append(';');
    return gif;
}

// A disc-style subtitle picture: white glyph blocks on bluish black.
QImage PalettePicture(int width, int height, const std::vector<QRect>& glyphs)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    picture.setColorTable({Blue, White, Red});
    picture.fill(0);
    for (const QRect& glyph : glyphs) {
        for (int y = glyph.top(); y <= glyph.bottom(); ++y)
            for (int x = glyph.left(); x <= glyph.right(); ++x)
                picture.setPixel(x, y, 1);
    }
    return picture;
}

QImage ArgbPicture(int width, int height, QRgb background, const QRect& ink, QRgb inkColour)
{
    QImage picture(width, height, QImage::Format_ARGB32);
    picture.fill(background);
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            picture.setPixel(x, y, inkColour);
    return picture;
}

class PictureLineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString Save(const QImage& picture, const QString& name)
    {
        const QString path = Dir.filePath(name);
        if (name.endsWith(".gif"))
            return Write(name, GifOf(picture));
        EXPECT_TRUE(picture.save(path)) << name.toStdString();
        return path;
    }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    // Renders a line of `source` at a video size.
    QImage Render(CPictureSource& source, int line, int videoSize, bool pictureMode = false)
    {
        SLineRequest request;
        request.videoSizeIndex = videoSize;
        request.pictureMode = pictureMode ? 1 : 0;
        EXPECT_TRUE(source.GetLineImage(line, request));
        return request.image;
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
};

}  // namespace

TEST(FindKeyColour, CornerPairsDecide)
{
    const QRgb Clear = 0x00123456;
    struct Case {
        const char* Name;
        QRgb Corners[4];  // top-left, top-right, bottom-left, bottom-right
        QRgb Key;
    } cases[] = {
        {"last pair wins", {Red, Green, Red, Green}, Green},
        {"outer pair then inner pair", {Red, Green, Green, Red}, Green},
        {"one pair", {Magenta, Red, Green, Red}, Red},
        {"no pair: top-left", {Magenta, Red, Green, White}, Magenta},
        {"clear top-left decides alone", {Clear, Red, Green, Red}, Clear},
    };
    for (const Case& c : cases) {
        QImage picture(5, 4, QImage::Format_ARGB32);
        picture.fill(White);
        picture.setPixel(0, 0, c.Corners[0]);
        picture.setPixel(4, 0, c.Corners[1]);
        picture.setPixel(0, 3, c.Corners[2]);
        picture.setPixel(4, 3, c.Corners[3]);
        EXPECT_EQ(FindKeyColour(picture), c.Key) << c.Name;
    }
    EXPECT_EQ(FindKeyColour(QImage()), 0xFF000000u);
}

TEST(FindInkedRect, SmallestRectAroundWhatDiffersFromTopLeft)
{
    EXPECT_TRUE(FindInkedRect(ArgbPicture(8, 6, Red, QRect(), Red)).isEmpty());
    EXPECT_EQ(FindInkedRect(ArgbPicture(8, 6, Red, QRect(3, 2, 1, 1), Green)), QRect(3, 2, 1, 1));
    EXPECT_EQ(FindInkedRect(PalettePicture(20, 10, {QRect(2, 1, 3, 2), QRect(9, 6, 4, 3)})),
              QRect(2, 1, 11, 8));

    // Palette pictures compare indexes: a second entry of the background
    // colour is still ink.
    QImage indexed = PalettePicture(6, 6, {});
    indexed.setColorTable({Blue, Blue});
    indexed.setPixel(4, 5, 1);
    EXPECT_EQ(FindInkedRect(indexed), QRect(4, 5, 1, 1));
}

TEST(ScalePicture, NearestNeighbourAndKeying)
{
    // Magenta corners are the key; the bluish block is keyed whatever the
    // corners say; a blue with red 16 is not bluish enough and stays.
    QImage picture = ArgbPicture(4, 2, Magenta, QRect(1, 0, 1, 2), 0xFF0F0F41);
    picture.setPixel(2, 0, 0xFF100050);
    picture.setPixel(2, 1, Red);
    const QImage scaled = ScalePicture(picture, 2.0f, true);
    ASSERT_EQ(scaled.size(), QSize(8, 4));
    ASSERT_EQ(scaled.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const QRgb expected = x >= 4 && x < 6 ? (y < 2 ? 0xFF100050 : Red) : 0u;
            EXPECT_EQ(scaled.pixel(x, y), expected) << x << "," << y;
        }
    }

    // Cropping to the ink, and sizes rounded from the scale.
    const QImage ink = ArgbPicture(30, 20, Magenta, QRect(10, 5, 3, 5), Red);
    EXPECT_EQ(ScalePicture(ink, 1.5f, false).size(), QSize(5, 8));
    EXPECT_EQ(ScalePicture(ink, 1.0f, true).size(), QSize(30, 20));
    EXPECT_TRUE(ScalePicture(ArgbPicture(30, 20, Red, QRect(), Red), 1.0f, false).isNull());
    EXPECT_TRUE(ScalePicture(ink, 0.01f, false).isNull());
}

TEST(RedrawPicture, WhiteGlyphsWithBlackBorder)
{
    const QImage picture = PalettePicture(720, 480, {QRect(100, 400, 40, 20)});
    const QImage drawn = RedrawPicture(picture, 2.0f);
    // (shape + 2-pixel margins) x scale.
    ASSERT_EQ(drawn.size(), QSize(88, 48));
    ASSERT_EQ(drawn.format(), QImage::Format_ARGB32);
    EXPECT_EQ(drawn.pixel(44, 24), White);
    EXPECT_EQ(drawn.pixel(10, 10), White);
    for (const QPoint border : {QPoint(3, 24), QPoint(84, 24), QPoint(44, 3), QPoint(44, 44)}) {
        const QRgb pixel = drawn.pixel(border);
        EXPECT_GT(qAlpha(pixel), 200) << border.x() << "," << border.y();
        EXPECT_LT(qRed(pixel) + qGreen(pixel) + qBlue(pixel), 60)
            << border.x() << "," << border.y();
    }
    for (const QPoint outside : {QPoint(0, 0), QPoint(0, 24), QPoint(87, 47), QPoint(44, 0)})
        EXPECT_EQ(qAlpha(drawn.pixel(outside)), 0) << outside.x() << "," << outside.y();
}

TEST(RedrawPicture, WhatHasNoShape)
{
    // True colour: nothing to redraw.
    EXPECT_TRUE(RedrawPicture(ArgbPicture(10, 10, Blue, QRect(2, 2, 3, 3), White), 2.0f).isNull());

    // No white entry: a small clear picture of the margins alone.
    QImage noWhite = PalettePicture(10, 10, {QRect(2, 2, 3, 3)});
    noWhite.setColorTable({Blue, Red});
    const QImage empty = RedrawPicture(noWhite, 1.5f);
    ASSERT_EQ(empty.size(), QSize(6, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(empty.pixel(x, y), 0u);

    // White background: blue is the glyph colour.
    QImage onWhite(20, 10, QImage::Format_Indexed8);
    onWhite.setColorTable({White, 0xFF0000FF});
    onWhite.fill(0);
    onWhite.setPixel(5, 5, 1);
    onWhite.setPixel(6, 5, 1);
    EXPECT_EQ(RedrawPicture(onWhite, 2.0f).size(), QSize(12, 10));

    // One-bit pictures have a palette too.
    QImage mono(16, 8, QImage::Format_Mono);
    mono.setColorTable({Blue, White});
    mono.fill(0);
    mono.setPixel(3, 3, 1);
    EXPECT_EQ(RedrawPicture(mono, 2.0f).size(), QSize(10, 10));
}

// A DVD-sized subtitle picture first shown at DVD size fixes the frame at
// 720 x 480; at 1920 x 1080 it is then redrawn at scale 2, or scaled
// plainly in picture mode.
TEST_F(PictureLineTest, DvdPictureAcrossVideoSizes)
{
    const QImage picture =
        PalettePicture(720, 480, {QRect(100, 400, 40, 20), QRect(150, 410, 10, 5)});
    CPictureSource source;
    source.InsertImageLine(Save(picture, "dvd.png"), QPoint(), -1, 0);

    const QImage plain = Render(source, 0, 3);
    EXPECT_EQ(source.imageFrame.right, 720);
    EXPECT_EQ(source.imageFrame.bottom, 480);
    ASSERT_EQ(plain.size(), QSize(60, 20));  // cropped to the ink
    EXPECT_EQ(plain.pixel(0, 0), White);
    EXPECT_EQ(plain.pixel(45, 0), 0u);  // the blue between the glyphs is keyed
    EXPECT_EQ(plain.pixel(55, 12), White);

    const QImage redrawn = Render(source, 0, 0);
    EXPECT_EQ(source.imageFrame.right, 720);
    ASSERT_EQ(redrawn.size(), QSize(128, 48));
    EXPECT_EQ(redrawn.pixel(20, 24), White);
    EXPECT_LT(qRed(redrawn.pixel(3, 24)), 60);
    EXPECT_GT(qAlpha(redrawn.pixel(3, 24)), 200);

    const QImage scaled = Render(source, 0, 0, true);
    ASSERT_EQ(scaled.size(), QSize(120, 40));
    EXPECT_EQ(scaled.pixel(0, 0), White);
    EXPECT_EQ(scaled.pixel(90, 0), 0u);
}

// The first rendering fixes the frame for good: a small true-colour
// picture, first shown at each video size, then at 1920 x 1080. Large
// scales fall back to plain scaling as the picture has no palette.
TEST_F(PictureLineTest, FirstRenderingFixesTheFrame)
{
    const QString path = Save(ArgbPicture(100, 40, Magenta, QRect(10, 10, 20, 20), Red), "p.png");
    struct Case {
        int FirstSize;
        int FrameWidth, FrameHeight;
        int WidthAt1920;
    } cases[] = {
        {0, 1920, 1080, 100}, {1, 1440, 1080, 133}, {2, 1280, 720, 150},
        {3, 720, 480, 200},   {4, 720, 576, 200},
    };
    for (const Case& c : cases) {
        CPictureSource source;
        source.InsertImageLine(path, QPoint(), -1, 0);
        EXPECT_EQ(Render(source, 0, c.FirstSize).size(), QSize(100, 40)) << c.FirstSize;
        EXPECT_EQ(source.imageFrame.right - source.imageFrame.left, c.FrameWidth);
        EXPECT_EQ(source.imageFrame.bottom - source.imageFrame.top, c.FrameHeight);
        const QImage at1920 = Render(source, 0, 0);
        EXPECT_EQ(at1920.width(), c.WidthAt1920) << c.FirstSize;
        EXPECT_EQ(qAlpha(at1920.pixel(0, 0)), 0) << c.FirstSize;
        EXPECT_EQ(at1920.pixel(at1920.width() / 5, at1920.height() / 2), Red) << c.FirstSize;
    }
}

// An explicitly placed picture is its own frame: it is cropped (it fills
// the frame) and grows to the scale cap at any smaller video size.
TEST_F(PictureLineTest, PlacedPictureIsItsOwnFrame)
{
    CPictureSource source;
    source.InsertImageLine(Save(ArgbPicture(100, 40, Magenta, QRect(10, 10, 20, 20), Red), "p.bmp"),
                           QPoint(30, 0), -1, 0);
    SLineRequest request;
    request.videoSizeIndex = 3;
    ASSERT_TRUE(source.GetLineImage(0, request));
    EXPECT_EQ(source.imageFrame.right, 100);
    EXPECT_EQ(source.imageFrame.bottom, 40);
    EXPECT_EQ(request.image.size(), QSize(40, 40));
    EXPECT_EQ(request.posX, 30);
    EXPECT_EQ(request.posY, 0);

    // A request reused from a placed line does not make the next line placed.
    CPictureSource other;
    other.InsertImageLine(source.lines[0].imageFile, QPoint(), -1, 0);
    ASSERT_TRUE(other.GetLineImage(0, request));
    EXPECT_EQ(other.imageFrame.right, 720);
    EXPECT_EQ(request.posX, 0);
}

TEST_F(PictureLineTest, EveryFormatLoads)
{
    const QImage truecolour = ArgbPicture(64, 32, Magenta, QRect(16, 8, 32, 16), White)
                                  .convertToFormat(QImage::Format_RGB32);
    for (const char* name : {"t.bmp", "t.jpg", "t.png"}) {
        CPictureSource source;
        source.InsertImageLine(Save(truecolour, name), QPoint(), -1, 0);
        const QImage image = Render(source, 0, 3);
        ASSERT_EQ(image.size(), QSize(64, 32)) << name;
        EXPECT_GT(qRed(image.pixel(32, 16)) + qBlue(image.pixel(32, 16)), 480) << name;
        EXPECT_GT(qGreen(image.pixel(32, 16)), 240) << name;
    }

    // Palette pictures stay palette pictures in every format that has
    // them: at 1920 x 1080 they are redrawn, not blown up.
    const QImage palette = PalettePicture(720, 480, {QRect(100, 400, 40, 20)});
    for (const char* name : {"p.bmp", "p.png", "p.gif"}) {
        CPictureSource source;
        source.InsertImageLine(Save(palette, name), QPoint(), -1, 0);
        EXPECT_EQ(Render(source, 0, 3).size(), QSize(40, 20)) << name;
        const QImage redrawn = Render(source, 0, 0);
        ASSERT_EQ(redrawn.size(), QSize(88, 48)) << name;
        EXPECT_EQ(redrawn.pixel(44, 24), White) << name;
        EXPECT_EQ(qAlpha(redrawn.pixel(0, 0)), 0) << name;
    }
}

TEST_F(PictureLineTest, WhatGivesNoPicture)
{
    CPictureSource source;
    source.InsertImageLine(Save(ArgbPicture(30, 20, Red, QRect(), Red), "uniform.png"), QPoint(),
                           -1, 0);
    SSubLine text;
    text.source = &source;
    source.lines.push_back(text);

    SLineRequest request;
    request.videoSizeIndex = 0;
    request.image = QImage(4, 4, QImage::Format_ARGB32);
    // Uniform and filling the frame: cropped to nothing, but not a failure.
    source.imageFrame = {0, 0, 30, 20};
    EXPECT_TRUE(source.GetLineImage(0, request));
    EXPECT_TRUE(request.image.isNull());

    EXPECT_FALSE(source.GetLineImage(1, request));  // a text line
    EXPECT_FALSE(source.GetLineImage(2, request));
    EXPECT_FALSE(source.GetLineImage(-1, request));
    request.videoSizeIndex = 5;
    EXPECT_FALSE(source.GetLineImage(0, request));
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(PictureLineTest, BadFilesFailCleanly)
{
    const QImage picture = ArgbPicture(200, 100, Magenta, QRect(20, 20, 50, 50), Red);
    auto bytesOf = [&](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, format);
        return bytes;
    };
    // Bitmap headers that claim pictures far beyond any sane size, and
    // one that claims no pixels at all.
    auto bmpHeader = [](qint32 width, qint32 height) {
        QByteArray bytes(54, '\0');
        bytes[0] = 'B';
        bytes[1] = 'M';
        qToLittleEndian<quint32>(54, bytes.data() + 10);
        qToLittleEndian<quint32>(40, bytes.data() + 14);
        qToLittleEndian<qint32>(width, bytes.data() + 18);
        qToLittleEndian<qint32>(height, bytes.data() + 22);
        qToLittleEndian<quint16>(1, bytes.data() + 26);
        qToLittleEndian<quint16>(24, bytes.data() + 28);
        return bytes;
    };
    const QByteArray png = bytesOf("PNG"), jpeg = bytesOf("JPEG"), bmp = bytesOf("BMP");
    const QByteArray gif = GifOf(PalettePicture(200, 100, {QRect(5, 5, 9, 9)}));
    const struct {
        const char* Name;
        QByteArray Bytes;
    } cases[] = {
        {"text.png", "this is not a picture\n"},
        {"empty.bmp", ""},
        {"cut.png", png.left(png.size() / 2)},
        {"cut.jpg", jpeg.left(jpeg.size() / 2)},
        {"cut.bmp", bmp.left(bmp.size() / 2)},
        {"cut.gif", gif.left(gif.size() / 2)},
        {"huge.bmp", bmpHeader(200000, 200000)},
        {"zero.bmp", bmpHeader(0, 0)},
        // Row size times height beyond 64 bits.
        {"overflowing.bmp", bmpHeader(0x7FFFFFFF, 0x7FFFFFFF)},
    };
    for (const auto& c : cases) {
        CPictureSource source;
        const QString path = Write(c.Name, c.Bytes);
        source.InsertImageLine(path, QPoint(), -1, 0);
        SLineRequest request;
        Messages.Shown.clear();
        EXPECT_FALSE(source.GetLineImage(0, request)) << c.Name;
        EXPECT_TRUE(request.image.isNull()) << c.Name;
        EXPECT_EQ(source.imageFrame.right, 0) << c.Name;
        EXPECT_EQ(Messages.Shown, std::vector<QString>{path + "\r\nOpen file error ! "}) << c.Name;
    }

    CPictureSource missing;
    missing.InsertImageLine(Dir.filePath("missing.png"), QPoint(), -1, 0);
    SLineRequest request;
    Messages.Shown.clear();
    EXPECT_FALSE(missing.GetLineImage(0, request));
    EXPECT_EQ(Messages.Shown,
              std::vector<QString>{Dir.filePath("missing.png") + "\r\nOpen file error ! "});
}
