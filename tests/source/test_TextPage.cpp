#include "source/TextPage.h"
#include "source/TextSub.h"

#include "support/RecordedMessages.h"
#include "textengine/EngineWords.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QByteArray AssHead = "[Script Info]\nScriptType: v4.00+\nPlayResX: 1920\nPlayResY: 1080\n\n"
                           "[V4+ Styles]\n"
                           "Style: Default,Arial,40,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,"
                           "0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\n\n[Events]\n";

QByteArray Dialogue(int second, const QByteArray& text)
{
    return "Dialogue: 0,0:00:" + QByteArray::number(10 + second) +
           ".00,0:00:" + QByteArray::number(11 + second) + ".00,Default,,0,0,0,," + text + "\n";
}

// A row of words as the engine would give them.
std::unique_ptr<CLine> Row(std::initializer_list<const char*> words)
{
    auto row = std::make_unique<CLine>();
    for (const char* text : words) {
        auto word = std::make_unique<CText>();
        word->text = QString::fromUtf8(text);
        row->words.push_back(std::move(word));
    }
    return row;
}

// Opaque pixels of a straight ARGB picture.
int Ink(const QImage& picture)
{
    int count = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            count += qAlpha(picture.pixel(x, y)) > 128 ? 1 : 0;
    return count;
}

class TextPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Style.text.FontName = "Arial";
        Style.text.FontSize = 50.0f;
        Style.text.FontStyle = 0;
        Style.text.OutlineThickness = 0;
        Style.text.EnableShadow = false;
    }

    // A source of the given dialogue texts, one line each, in order.
    std::unique_ptr<CTextSub> Open(std::initializer_list<QByteArray> texts)
    {
        QByteArray script = AssHead;
        int second = 0;
        for (const QByteArray& text : texts)
            script += Dialogue(second++, text);
        QFile file(Dir.filePath(QString("s%1.ass").arg(++Files)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        return OpenSubtitleSource(file.fileName(), &Style);
    }

    // The picture of a line, or a null one when GetLineImage refuses it.
    QImage Picture(CTextSub& source, int line, int videoSize = 0, bool squeeze = false,
                   int lineSpace = 0)
    {
        SLineRequest request;
        request.videoSizeIndex = videoSize;
        request.squeeze = squeeze;
        request.lineSpace = lineSpace;
        const bool ok = source.GetLineImage(line, request);
        EXPECT_EQ(ok, !request.image.isNull());
        if (ok) {
            EXPECT_EQ(request.image.format(), QImage::Format_ARGB32);
        }
        return request.image;
    }

    QImage Scratch{1, 1, QImage::Format_ARGB32_Premultiplied};
    QTemporaryDir Dir;
    CRecordedMessages Messages;
    SSourceStyle Style;
    int Files = 0;
};

}  // namespace

TEST_F(TextPageTest, WordsTakeTheStyleFontAndOnlyWeight700IsBold)
{
    CLine row;
    for (int weight : {400, 600, 700, 800}) {
        auto word = std::make_unique<CText>();
        word->text = QString::number(weight);
        word->style.weight = weight;
        word->style.italic = weight == 800;
        word->style.fontSize = 80 * 8;
        row.words.push_back(std::move(word));
    }
    row.words.push_back(std::make_unique<CText>());  // a row break: no text
    Style.text.FontSize = 42.9f;
    CTextLine line;
    line.AddWords(row, Style.text, false);
    ASSERT_EQ(line.size(), 4u);
    const int bits[] = {0, 0, TextWordBold, TextWordItalic};
    for (std::size_t i = 0; i < line.size(); ++i) {
        EXPECT_EQ(line[i]->size, 42) << i;
        EXPECT_EQ(line[i]->family, "Arial") << i;
        EXPECT_EQ(line[i]->style, bits[i]) << i;
    }

    Style.text.FontName = "No Such Family Here";
    CTextLine missing;
    missing.AddWords(row, Style.text, false);
    ASSERT_EQ(missing.size(), 4u);
    QPainter graphics(&Scratch);
    EXPECT_FALSE(missing.Measure(graphics, false, 0));
}

TEST_F(TextPageTest, WordBoxesReachBackToTheOriginAndGrowByTheAllowance)
{
    QPainter graphics(&Scratch);
    STextWord word;
    word.text = "Hg";
    word.family = "Arial";
    word.size = 50;
    ASSERT_TRUE(word.Measure(graphics, false, 0));
    const QFontMetricsF metrics(word.Font());
    // At least a line of the family, and as wide as the ink reaches.
    EXPECT_GE(word.height, metrics.lineSpacing() - 0.01);
    EXPECT_NEAR(word.width, metrics.boundingRect("Hg").right(), 3.0);
    const float width = word.width, height = word.height;
    ASSERT_TRUE(word.Measure(graphics, false, 6));
    EXPECT_FLOAT_EQ(word.width, width + 6);
    EXPECT_FLOAT_EQ(word.height, height + 6);

    // Spaces have no ink but keep their advance: alone, and at the end of
    // a word (before a word of another style).
    const double space = metrics.horizontalAdvance(' ');
    struct Case {
        const char* Text;
        int Size;
        bool Ok;
        double Width;  // 0: not checked
    } cases[] = {{" ", 50, true, space},
                 {"   ", 50, true, 3 * space},
                 {"Hg ", 50, true, metrics.horizontalAdvance("Hg ")},
                 {"a", 0, false, 0},
                 {"a", 50, true, 0}};
    for (const Case& c : cases) {
        STextWord w;
        w.text = c.Text;
        w.family = "Arial";
        w.size = c.Size;
        EXPECT_EQ(w.Measure(graphics, false, 0), c.Ok) << c.Text << c.Size;
        if (c.Width > 0) {
            EXPECT_NEAR(w.width, c.Width, 1.0) << c.Text;
            EXPECT_GE(w.height, metrics.lineSpacing() - 0.01) << c.Text;
        }
    }
}

TEST_F(TextPageTest, RowsAreSpacedAndAligned)
{
    QPainter graphics(&Scratch);
    for (std::uint8_t alignment : {0, 1, 2}) {
        CTextPage page;
        for (auto words : {std::initializer_list<const char*>{"WWWWWW"}, {"i"}, {"WW"}}) {
            auto line = std::make_unique<CTextLine>();
            line->lineSpacing = 10;
            line->alignment = alignment;
            line->AddWords(*Row(words), Style.text, false);
            page.push_back(std::move(line));
        }
        ASSERT_TRUE(page.Measure(graphics, 0)) << alignment;
        const float rowHeight = page[0]->height;
        for (const auto& row : page)
            EXPECT_FLOAT_EQ(row->height, rowHeight);  // one font: one line height
        EXPECT_FLOAT_EQ(page.Height(), 3 * rowHeight + 2 * 10);
        EXPECT_FLOAT_EQ(page.Width(), page[0]->width);

        QPainterPath path;
        ASSERT_TRUE(page.AddToPath(path, 0, 0));
        // The ink of each row: rows start at 0, h + 10 and 2h + 20.
        for (int r = 0; r < 3; ++r) {
            const float top = r * (rowHeight + 10);
            QRectF band;
            for (const QPolygonF& polygon : path.toSubpathPolygons()) {
                const QRectF box = polygon.boundingRect();
                if (box.center().y() > top && box.center().y() < top + rowHeight)
                    band = band.united(box);
            }
            ASSERT_FALSE(band.isNull()) << r;
            EXPECT_GE(band.top(), top - 0.5) << r;
            const float room = page.Width() - page[r]->width;
            const float expected = alignment == 0 ? 0 : alignment == 1 ? room / 2 : room;
            EXPECT_NEAR(band.left(), expected, 6.0) << int(alignment) << " row " << r;
        }
    }
}

TEST_F(TextPageTest, VerticalRowsAreColumnsOfUprightGlyphs)
{
    Style.text.FontName = "@Arial";
    QPainter graphics(&Scratch);
    for (bool leftToRight : {true, false}) {
        CTextPage page;
        page.vertical = true;
        page.leftToRight = leftToRight;
        for (auto words : {std::initializer_list<const char*>{"HHH"}, {"H"}, {"H"}}) {
            auto line = std::make_unique<CTextLine>();
            line->lineSpacing = 5;
            line->AddWords(*Row(words), Style.text, true);
            page.push_back(std::move(line));
        }
        ASSERT_TRUE(page.Measure(graphics, 0));
        // Three glyphs one under the other: a tall narrow column.
        EXPECT_GT(page[0]->height, 2.5f * page[1]->height);
        EXPECT_NEAR(page[0]->width, page[1]->width, 1.0);
        EXPECT_FLOAT_EQ(page.Height(), page[0]->height);
        EXPECT_FLOAT_EQ(page.Width(), page[0]->width + page[1]->width + page[2]->width + 10);

        QPainterPath path;
        ASSERT_TRUE(page.AddToPath(path, 0, 0));
        // Only the first row reaches below its second glyph.
        QRectF low;
        for (const QPolygonF& polygon : path.toSubpathPolygons())
            if (polygon.boundingRect().top() > page[1]->height)
                low = low.united(polygon.boundingRect());
        ASSERT_FALSE(low.isNull());
        if (leftToRight)
            EXPECT_GT(low.left(), page.Width() * 2 / 3) << "first row is the rightmost column";
        else
            EXPECT_LT(low.right(), page.Width() / 3) << "first row is the leftmost column";
    }
}

TEST_F(TextPageTest, VerticalFontDrawsAColumn)
{
    const auto source = Open({"ABCDE"});
    ASSERT_NE(source, nullptr);
    const QImage across = Picture(*source, 0);
    Style.text.FontName = "@Arial";
    const QImage down = Picture(*source, 0);
    ASSERT_FALSE(across.isNull());
    ASSERT_FALSE(down.isNull());
    EXPECT_GT(across.width(), 2 * across.height());
    EXPECT_GT(down.height(), 3 * down.width());
    EXPECT_GT(Ink(down), Ink(across) / 2);
}

TEST_F(TextPageTest, LineSpaceAddsBetweenRowsOnly)
{
    const auto source = Open({"One\\NTwo\\NSix", "One"});
    ASSERT_NE(source, nullptr);
    const QImage tight = Picture(*source, 0, 0, false, 0);
    const QImage spaced = Picture(*source, 0, 0, false, 10);
    const QImage single = Picture(*source, 1, 0, false, 10);
    ASSERT_FALSE(tight.isNull());
    ASSERT_FALSE(spaced.isNull());
    ASSERT_FALSE(single.isNull());
    EXPECT_EQ(spaced.height(), tight.height() + 2 * 10);
    EXPECT_EQ(spaced.width(), tight.width());
    EXPECT_NEAR(tight.height(), 3 * single.height(), 2);
}

TEST_F(TextPageTest, LinesOfRealScriptsDrawOrSayWhyNot)
{
    const auto source =
        Open({"{\\i1}Hello{\\i0} {\\i1}world", "{\\i1}Hello world", "{\\b1}", "{\\k25} {\\k34}",
              "{\\i1} {\\i0}", "{\\p1}m 0 0 l 100 0 100 100 0 100{\\p0}",
              "{\\p3}m 0 0 l 400 0 400 200 0 200", "{\\p1}m 10 10"});
    ASSERT_NE(source, nullptr);
    struct Case {
        const char* Name;
        int Line;
        bool Ok;
        QSize Size;  // of the picture; empty: none
        QString Message;
    } cases[] = {
        {"lone space between tags", 0, true, QSize(), {}},
        {"plain", 1, true, QSize(), {}},
        {"only a tag", 2, true, QSize(0, 0), {}},
        {"karaoke blank", 3, true, QSize(0, 0), {}},
        {"blank between tags", 4, true, QSize(0, 0), {}},
        {"drawing", 5, true, QSize(100, 100), {}},
        {"drawing at level 3", 6, true, QSize(100, 50), {}},
        {"drawing of a move only", 7, false, QSize(0, 0),
         "The line cannot be drawn: the drawing \"m 10 10\" draws nothing.\nLine: 8"},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        SLineRequest request;
        EXPECT_EQ(source->GetLineImage(c.Line, request), c.Ok) << c.Name;
        if (c.Size.isValid() && c.Size.isEmpty())
            EXPECT_TRUE(request.image.isNull()) << c.Name;
        else if (!c.Size.isEmpty())
            EXPECT_EQ(request.image.size(), c.Size) << c.Name;
        else
            EXPECT_FALSE(request.image.isNull()) << c.Name;
        EXPECT_EQ(Messages.Shown,
                  c.Message.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.Message})
            << c.Name;
    }
    // A drawing is a filled shape in the text's colour.
    SLineRequest drawing;
    ASSERT_TRUE(source->GetLineImage(5, drawing));
    EXPECT_EQ(drawing.image.pixel(50, 50), 0xFFFFFFFFu);

    // The lone space is the gap between the words: as wide as in the
    // plain line.
    const QImage spaced = Picture(*source, 0);
    const QImage plain = Picture(*source, 1);
    EXPECT_NEAR(spaced.width(), plain.width(), 2);

    // Lines outside the list and unknown video sizes are refused.
    SLineRequest request;
    EXPECT_FALSE(source->GetLineImage(8, request));
    EXPECT_FALSE(source->GetLineImage(-1, request));
    request.videoSizeIndex = 5;
    EXPECT_FALSE(source->GetLineImage(1, request));
}

TEST_F(TextPageTest, SpacesAroundTagsKeepTheirRoom)
{
    const auto source =
        Open({"de quidditch", "de {\\c&H0000FF&}quidditch", "de{\\c&H0000FF&} quidditch",
              "de{\\i1}quidditch", "de {\\i1}quidditch", "de{\\i1} quidditch", "And{\\b1}now",
              "And {\\b1}now", "And{\\u1}now", "And {\\u1}now"});
    ASSERT_NE(source, nullptr);
    // A tag that changes nothing drawn (a colour) splits the words but not
    // the picture: as wide as the line without it, give or take the
    // bearing of the letter before the cut, which a word's ink leaves out.
    const int plain = Picture(*source, 0).width();
    for (int line : {1, 2})
        EXPECT_NEAR(Picture(*source, line).width(), plain, 3) << line;

    // Where the style changes, the space adds its advance (and the bearing
    // of the letter before it, which ink alone leaves out).
    QFont font("Arial");
    font.setPixelSize(50);
    const double space = QFontMetricsF(font).horizontalAdvance(' ');
    struct Case {
        int Without, With;
    } cases[] = {{3, 4}, {3, 5}, {6, 7}, {8, 9}};
    for (const Case& c : cases) {
        const QImage without = Picture(*source, c.Without);
        const QImage with = Picture(*source, c.With);
        ASSERT_FALSE(without.isNull()) << c.Without;
        ASSERT_FALSE(with.isNull()) << c.With;
        const int added = with.width() - without.width();
        EXPECT_GE(added, space - 1) << c.With;
        EXPECT_LE(added, space + 5) << c.With;
    }
}

TEST_F(TextPageTest, RowsBreakWithTheFontThatIsDrawn)
{
    // The script's font is 40 pixels; the page draws at Style's size.
    const QByteArray sentence = "The quick brown fox jumps over the lazy dog and runs away";
    const auto source = Open({sentence, "{\\fs200}" + sentence});
    ASSERT_NE(source, nullptr);
    struct Case {
        float Size;
        int Line;
        int Rows;
    } cases[] = {
        {90.0f, 0, 2},  // one row at 40, two when drawn at 90
        {30.0f, 1, 1},  // many rows at 200, one when drawn at 30
        {30.0f, 0, 1},
    };
    for (const Case& c : cases) {
        Style.text.FontSize = c.Size;
        Messages.Shown.clear();
        const QImage picture = Picture(*source, c.Line);
        ASSERT_FALSE(picture.isNull()) << c.Size;
        EXPECT_LE(picture.width(), 1920) << c.Size;
        EXPECT_TRUE(Messages.Shown.empty()) << c.Size;
        EXPECT_EQ(source->GetRowCount(source->lines[c.Line].entryIndex), c.Rows) << c.Size;
    }
}

TEST_F(TextPageTest, AMissingFontNamesTheLine)
{
    const auto source = Open({"Hi", "Hi there"});
    ASSERT_NE(source, nullptr);
    Style.text.FontName = "Tandeo No Such Family 7f3a";
    SLineRequest request;
    EXPECT_FALSE(source->GetLineImage(1, request));
    EXPECT_EQ(Messages.Shown,
              std::vector<QString>{
                  "The line cannot be drawn: no installed font can draw \"Hi there\".\nLine: 2"});
}

TEST_F(TextPageTest, DrawsWithTheStyleNotTheEngineSize)
{
    const auto source = Open({"{\\fs80}Hi", "Hi"});
    ASSERT_NE(source, nullptr);
    const QImage tagged = Picture(*source, 0);
    const QImage plain = Picture(*source, 1);
    ASSERT_FALSE(tagged.isNull());
    EXPECT_EQ(tagged.size(), plain.size());
}

TEST_F(TextPageTest, SqueezeOfAnamorphicFrames)
{
    const auto source = Open({"Squeeze me"});
    ASSERT_NE(source, nullptr);
    const QImage full = Picture(*source, 0, 0);
    ASSERT_FALSE(full.isNull());
    const int w = full.width();
    struct Case {
        int VideoSize;
        bool Squeeze;
        int Width;
    } cases[] = {{0, true, w},  {1, false, w * 3 / 4}, {1, true, w * 3 / 4}, {2, true, w},
                 {3, false, w}, {3, true, w * 3 / 4},  {4, false, w},        {4, true, w * 3 / 4}};
    for (const Case& c : cases) {
        const QImage picture = Picture(*source, 0, c.VideoSize, c.Squeeze);
        ASSERT_FALSE(picture.isNull()) << c.VideoSize;
        EXPECT_EQ(picture.width(), c.Width) << c.VideoSize << c.Squeeze;
        EXPECT_EQ(picture.height(), full.height()) << c.VideoSize << c.Squeeze;
    }
}

TEST_F(TextPageTest, FontTooBigForTheFrame)
{
    const auto source = Open({"Fits", "MMMMMMMMMM"});
    ASSERT_NE(source, nullptr);
    // Pick the size that makes the second line about 1700 wide: it fits
    // 1920 x 1080, not 1440 x 1080.
    const QImage probe = Picture(*source, 1);
    ASSERT_FALSE(probe.isNull());
    Style.text.FontSize = std::floor(50.0f * 1700.0f / probe.width());
    const QImage wide = Picture(*source, 1, 0);
    ASSERT_FALSE(wide.isNull());
    ASSERT_GT(wide.width(), 1440);
    ASSERT_LE(wide.width(), 1920);
    ASSERT_LE(wide.height(), 1080);
    EXPECT_TRUE(Messages.Shown.empty());

    const QString tooBig = "Font is too big. Subtitle cannot be fully shown! \nLine: 2";
    EXPECT_TRUE(Picture(*source, 1, 1).isNull());
    EXPECT_EQ(Messages.Shown, std::vector<QString>{tooBig});
    EXPECT_EQ(Messages.Kinds, std::vector<EMessageKind>{EMessageKind::Error});

    // Sizes no picture could hold are refused with the same message,
    // from the measurement alone: no picture is made for them at all.
    for (float size : {12000.0f, 1.0e9f}) {
        Style.text.FontSize = size;
        Messages.Shown.clear();
        EXPECT_TRUE(Picture(*source, 1, 0).isNull()) << size;
        EXPECT_EQ(Messages.Shown, std::vector<QString>{tooBig}) << size;
        Messages.Shown.clear();
        EXPECT_TRUE(Picture(*source, 0, 0).isNull()) << size;
        EXPECT_EQ(
            Messages.Shown,
            std::vector<QString>{"Font is too big. Subtitle cannot be fully shown! \nLine: 1"});
    }
}

TEST_F(TextPageTest, ChineseInArialDrawsRealGlyphs)
{
    Style.text.FontSize = 60.0f;
    const auto source = Open({"中", "文", "中文字幕"});
    ASSERT_NE(source, nullptr);
    const QImage zhong = Picture(*source, 0);
    const QImage wen = Picture(*source, 1);
    const QImage line = Picture(*source, 2);
    ASSERT_FALSE(zhong.isNull());
    ASSERT_FALSE(wen.isNull());
    ASSERT_FALSE(line.isNull());
    // An ideograph is about an em wide, and four of them about four.
    EXPECT_GT(zhong.width(), 40);
    EXPECT_LT(zhong.width(), 80);
    EXPECT_NEAR(line.width(), 4 * 60, 40);
    // Real strokes, not an empty box: plenty of ink, and two ideographs
    // that look different (missing-glyph boxes are all alike).
    EXPECT_GT(Ink(line), line.width() * line.height() / 10);
    const QSize common = zhong.size().boundedTo(wen.size());
    int differing = 0;
    for (int y = 0; y < common.height(); ++y)
        for (int x = 0; x < common.width(); ++x)
            differing +=
                (qAlpha(zhong.pixel(x, y)) > 128) != (qAlpha(wen.pixel(x, y)) > 128) ? 1 : 0;
    EXPECT_GT(differing, Ink(zhong) / 3);
}

TEST_F(TextPageTest, OutlineShadowAndPosition)
{
    const auto source = Open({"Ab"});
    ASSERT_NE(source, nullptr);
    source->lines[0].posX = 12;
    source->lines[0].posY = 34;
    const QImage bare = Picture(*source, 0);
    Style.text.OutlineThickness = 4;
    const QImage outlined = Picture(*source, 0);
    Style.text.EnableShadow = true;
    Style.text.ShadowThickness = 3;
    Style.text.ShadowOffset = {5, 7};
    SLineRequest request;
    ASSERT_TRUE(source->GetLineImage(0, request));
    EXPECT_EQ(request.posX, 12);
    EXPECT_EQ(request.posY, 34);
    ASSERT_FALSE(bare.isNull());
    EXPECT_EQ(outlined.width(), bare.width() + 4);
    EXPECT_EQ(outlined.height(), bare.height() + 4);
    // The shadow's own outline (3) displaced by (5, 7) reaches further.
    EXPECT_NEAR(request.image.width(), bare.width() + 3 + 5, 1);
    EXPECT_NEAR(request.image.height(), bare.height() + 3 + 7, 1);
    // The white fill is there, and black outline around it.
    int white = 0, black = 0;
    for (int y = 0; y < outlined.height(); ++y)
        for (int x = 0; x < outlined.width(); ++x) {
            const QRgb p = outlined.pixel(x, y);
            white += qAlpha(p) == 255 && qRed(p) == 255 ? 1 : 0;
            black += qAlpha(p) == 255 && qRed(p) == 0 ? 1 : 0;
        }
    EXPECT_GT(white, 100);
    EXPECT_GT(black, 100);
}
