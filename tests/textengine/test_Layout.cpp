// Entry layout: words, rows for every wrap style, scales, margins, the
// layout cache and font measuring. Widths depend on the installed fonts, so
// expectations come from measured word widths, not from constants.

#include "textengine/FontMeasure.h"
#include "textengine/RenderedTextSubtitle.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace {

const QString Nbsp(QChar(0x00A0));

std::vector<QString> RowTexts(const CSubtitle& subtitle)
{
    std::vector<QString> out;
    for (const auto& row : subtitle.rows)
        out.push_back(row->Text());
    return out;
}

std::vector<QString> WordTexts(const std::vector<std::unique_ptr<CWord>>& words)
{
    std::vector<QString> out;
    for (const auto& word : words)
        out.push_back(word->text);
    return out;
}

class LayoutTest : public testing::Test {
protected:
    LayoutTest()
    {
        auto style = std::make_unique<STSStyle>();
        style->fontName = "DejaVu Sans";
        style->fontSize = 20;
        style->weight = 400;
        style->margins = {};
        engine.RegisterStyle("Default", std::move(style));
    }

    STSStyle& Style() { return *engine.styles.at("Default"); }

    CSubtitle& Layout(const QString& text, int wrapStyle = 0, const SMargins& margins = {})
    {
        engine.wrapStyle = wrapStyle;
        engine.AddEntry(text, true, 0, 1000, "Default", "", "", 0, margins);
        return *engine.LayoutEntry(static_cast<int>(engine.entries.size()) - 1);
    }

    // `count` copies of "abcd" with single spaces between them.
    static QString RepeatedWords(int count)
    {
        QStringList words;
        for (int i = 0; i < count; ++i)
            words << QStringLiteral("abcd");
        return words.join(u' ');
    }

    CRenderedTextSubtitle engine;
};

struct SRowsCase {
    const char* text;
    int wrapStyle;
    std::vector<QString> rows;
};

class RowTextsTest : public LayoutTest, public testing::WithParamInterface<SRowsCase> {};

TEST_P(RowTextsTest, GivesRows)
{
    const SRowsCase& c = GetParam();
    EXPECT_EQ(RowTexts(Layout(QString::fromUtf8(c.text), c.wrapStyle)), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    LineBreaksAndSpaces, RowTextsTest,
    testing::Values(SRowsCase{"A\\NB", 0, {"A", "B"}}, SRowsCase{"A\\NB", 2, {"A", "B"}},
                    SRowsCase{"A\\nB", 0, {"A B"}}, SRowsCase{"A\\nB", 1, {"A B"}},
                    SRowsCase{"A\\nB", 3, {"A B"}}, SRowsCase{"A\\nB", 2, {"A", "B"}},
                    SRowsCase{"A\\hB", 0, {"A" + Nbsp + "B"}},
                    SRowsCase{"A\\N\\NB", 0, {"A", "", "B"}},
                    SRowsCase{"{\\i0}  A  B  {\\i0}", 0, {"A  B"}},
                    SRowsCase{"{\\i0}A  \\N  B{\\i0}", 0, {"A", "B"}},
                    SRowsCase{"x{unclosed", 0, {"x{unclosed"}},
                    SRowsCase{"{comment}text", 0, {"text"}}));

TEST_F(LayoutTest, NoBreakSpaceKeepsOneWord)
{
    const CSubtitle& subtitle = Layout(QStringLiteral("A\\hB C"));
    EXPECT_EQ(WordTexts(subtitle.words), (std::vector<QString>{"A" + Nbsp + "B", " ", "C"}));
}

TEST_F(LayoutTest, SpacesInsideRowStayInMergedWord)
{
    const CSubtitle& subtitle = Layout(QStringLiteral("{\\i0}  A  B  {\\i0}"));
    ASSERT_EQ(subtitle.rows.size(), 1u);
    const CLine& row = *subtitle.rows[0];
    ASSERT_EQ(row.words.size(), 1u);
    EXPECT_EQ(row.words[0]->text, QStringLiteral("A  B"));
    EXPECT_FALSE(row.words[0]->whitespace);
    // The row is as wide as its words: the outer spaces are taken off.
    int inner = 0;
    for (const auto& word : subtitle.words)
        inner += word->width;
    const int space = subtitle.words[0]->width;
    EXPECT_EQ(row.width, inner - 4 * space);
    EXPECT_EQ(row.words[0]->width, row.width);
}

TEST_F(LayoutTest, UnclosedBraceStaysTextUpToNextBrace)
{
    const CSubtitle& subtitle = Layout(QStringLiteral("{abc<def"));
    EXPECT_EQ(WordTexts(subtitle.words), (std::vector<QString>{"{abc", "<def"}));
    EXPECT_EQ(RowTexts(subtitle), (std::vector<QString>{"{abc<def"}));
}

TEST_F(LayoutTest, EmptyLineIsHalfHigh)
{
    const CSubtitle& subtitle = Layout(QStringLiteral("A\\N\\NB"));
    ASSERT_EQ(subtitle.rows.size(), 3u);
    const CLine& text = *subtitle.rows[0];
    const CLine& empty = *subtitle.rows[1];
    ASSERT_GT(text.ascent, 0);
    EXPECT_TRUE(empty.words.empty());
    EXPECT_EQ(empty.ascent, text.ascent / 2);
    EXPECT_EQ(empty.descent, text.descent / 2);
    EXPECT_EQ(empty.borderX, 0);
    EXPECT_EQ(empty.borderY, 0);
    EXPECT_EQ(subtitle.rows[2]->ascent, text.ascent);
}

TEST_F(LayoutTest, KaraokeWordsStaySeparate)
{
    const CSubtitle& timed = Layout(QStringLiteral("{\\k20}one{\\k30}two"));
    ASSERT_EQ(timed.rows.size(), 1u);
    EXPECT_EQ(WordTexts(timed.rows[0]->words), (std::vector<QString>{"one", "two"}));

    const CSubtitle& plain = Layout(QStringLiteral("one{\\i0}two"));
    EXPECT_EQ(WordTexts(plain.rows[0]->words), (std::vector<QString>{"onetwo"}));
}

TEST_F(LayoutTest, RowCellIsTheFontHeightInEighths)
{
    // A 20-pixel font is made 64 times as large; its cell of 1280 font
    // pixels is 160 eighths of a frame pixel.
    const CSubtitle& subtitle = Layout(QStringLiteral("Hg"));
    const CLine& row = *subtitle.rows[0];
    EXPECT_NEAR(row.ascent + row.descent, 160, 1);
    EXPECT_GT(row.ascent, row.descent);
}

// ---- Row breaking with measured words ----

class WrapTest : public LayoutTest {
protected:
    // A width the frame can have: whole pixels.
    static int Fit(int eighths) { return (eighths + 7) / 8 * 8; }

    // Lays the text out on a frame `available` eighths wide (no margins).
    CSubtitle& LayoutAcross(const QString& text, int wrapStyle, int available)
    {
        engine.SetEngineFrame(available / 8, 1080, {0, 0, available / 8, 1080});
        return Layout(text, wrapStyle);
    }

    // The width of `count` words and the spaces between them.
    int Span(int count) const { return count * word + (count - 1) * space; }

    void MeasureWords()
    {
        const CSubtitle& probe = Layout(QStringLiteral("abcd abcd"), 2);
        word = probe.words[0]->width;
        space = probe.words[1]->width;
        ASSERT_GT(word, 0);
        ASSERT_GT(space, 0);
    }

    int word = 0;
    int space = 0;
};

TEST_F(WrapTest, Wrap0AimsEveryRowAtAnEvenShare)
{
    MeasureWords();
    const int total = Span(14);
    const int available = Fit(total * 2 / 7);  // the text is about 3.5 rows wide
    const CSubtitle& subtitle = LayoutAcross(RepeatedWords(14), 0, available);
    ASSERT_EQ(subtitle.rows.size(), 4u);
    for (const auto& row : subtitle.rows) {
        EXPECT_LE(row->width, available);
        EXPECT_NEAR(row->width, total / 4, word + space);
    }
}

struct SWrapCase {
    int wrapStyle;
    std::vector<int> wordsPerRow;
};

class WrapStyleTest : public WrapTest, public testing::WithParamInterface<SWrapCase> {};

TEST_P(WrapStyleTest, NineWordsAcrossEight)
{
    MeasureWords();
    const CSubtitle& subtitle = LayoutAcross(RepeatedWords(9), GetParam().wrapStyle, Fit(Span(8)));
    std::vector<QString> expected;
    for (int count : GetParam().wordsPerRow)
        expected.push_back(RepeatedWords(count));
    EXPECT_EQ(RowTexts(subtitle), expected);
}

// Greedy filling leaves one word over; wrap style 0 evens the rows out,
// wrap style 3 with the wider row at the bottom.
INSTANTIATE_TEST_SUITE_P(Styles, WrapStyleTest,
                         testing::Values(SWrapCase{0, {5, 4}}, SWrapCase{1, {8, 1}},
                                         SWrapCase{2, {9}}, SWrapCase{3, {4, 5}}));

TEST_F(WrapTest, Wrap1FillsEveryRowGreedily)
{
    MeasureWords();
    const int available = Fit(Span(4) + space);  // four words fit, five do not
    const CSubtitle& subtitle = LayoutAcross(RepeatedWords(10), 1, available);
    ASSERT_GE(subtitle.rows.size(), 2u);
    for (std::size_t i = 0; i + 1 < subtitle.rows.size(); ++i) {
        const CLine& row = *subtitle.rows[i];
        EXPECT_LE(row.width, available);
        EXPECT_GT(row.width + space + word, available) << "row " << i << " could take a word";
    }
    EXPECT_EQ(RowTexts(subtitle).front(), RepeatedWords(4));
}

TEST_F(WrapTest, Wrap2BreaksOnlyAtLineFeeds)
{
    MeasureWords();
    const int available = Fit(Span(2));
    const QString text = RepeatedWords(10) + "\\N" + RepeatedWords(3);
    const CSubtitle& subtitle = LayoutAcross(text, 2, available);
    EXPECT_EQ(RowTexts(subtitle), (std::vector<QString>{RepeatedWords(10), RepeatedWords(3)}));
    EXPECT_GT(subtitle.rows[0]->width, available);
}

// Chinese and Japanese write no spaces: a run wider than the row breaks
// between its characters, never before closing punctuation, while a Latin
// word too wide for the row stays whole.
TEST_F(WrapTest, TextWithoutSpacesBreaksBetweenItsCharacters)
{
    const QString sentence = QString::fromUtf8("我们今天晚上一起去看电影吧，好不好？");
    engine.SetEngineFrame(1920, 1080, {0, 0, 1920, 1080});
    const int whole = Layout(sentence, 0).rows[0]->width;
    const int available = Fit(whole / 3);
    struct SCase {
        QString text;
        int wrapStyle;
    } cases[] = {{sentence, 0}, {sentence, 1}, {sentence + QString::fromUtf8("ありがとう"), 0}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " wrap " + std::to_string(c.wrapStyle));
        const CSubtitle& subtitle = LayoutAcross(c.text, c.wrapStyle, available);
        ASSERT_GE(subtitle.rows.size(), 3u);
        QString joined;
        for (const auto& row : subtitle.rows) {
            EXPECT_LE(row->width, available);
            const QString text = row->Text();
            ASSERT_FALSE(text.isEmpty());
            EXPECT_FALSE(text.front() == QChar(0xFF0C) || text.front() == QChar(0xFF1F))
                << "a row starts with closing punctuation";
            joined += text;
        }
        EXPECT_EQ(joined, c.text);
    }
    EXPECT_EQ(RowTexts(LayoutAcross(QStringLiteral("Antidisestablishmentarianism"), 0, 64)),
              (std::vector<QString>{"Antidisestablishmentarianism"}));
}

TEST_F(WrapTest, BannerNeverWraps)
{
    MeasureWords();
    engine.SetEngineFrame(Span(2) / 8, 1080, {0, 0, Span(2) / 8, 1080});
    engine.wrapStyle = 0;
    engine.AddEntry(RepeatedWords(8), true, 0, 1000, "Default", "", "Banner;5", 0, {});
    const CSubtitle& subtitle = *engine.LayoutEntry(1);
    EXPECT_EQ(subtitle.wrapStyle, 2);
    EXPECT_EQ(subtitle.rows.size(), 1u);
}

TEST_F(WrapTest, MarginsNarrowTheRows)
{
    MeasureWords();
    const int frame = Span(8) + 64;
    engine.SetEngineFrame(frame / 8, 1080, {0, 0, frame / 8, 1080});
    EXPECT_EQ(Layout(RepeatedWords(8), 1).rows.size(), 1u);
    // Entry margins of a third of the frame each leave room for fewer words.
    const int third = frame / 8 / 3;
    EXPECT_GT(Layout(RepeatedWords(8), 1, {third, 0, third, 0}).rows.size(), 1u);
}

// ---- Row breaking with words of known widths ----

class RowBreakTest : public testing::Test {
protected:
    void AddWords(int count, int wordWidth, int spaceWidth)
    {
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                Add(" ", spaceWidth);
            Add("w", wordWidth);
        }
    }
    void Add(const char* text, int width)
    {
        auto word = std::make_unique<CText>();
        word->text = QString::fromLatin1(text);
        word->whitespace = word->text == " " || word->text.isEmpty();
        word->lineBreak = word->text.isEmpty();
        word->width = width;
        word->ascent = 10;
        word->descent = 4;
        subtitle.words.push_back(std::move(word));
    }
    std::vector<QString> Rows(int wrapStyle, int available)
    {
        subtitle.wrapStyle = wrapStyle;
        std::vector<QString> rows;
        std::size_t position = 0;
        while (auto row = engine.TakeNextRow(subtitle, position, available))
            rows.push_back(row->Text());
        return rows;
    }

    CRenderedTextSubtitle engine;
    CSubtitle subtitle;
};

struct SLimitCase {
    int wrapStyle;
    int limit;
    std::vector<QString> rows;
};

class RowLimitTest : public RowBreakTest, public testing::WithParamInterface<SLimitCase> {};

TEST_P(RowLimitTest, BreaksAtTheLimit)
{
    // Five words of 100 with spaces of 20: 580 in all across 400 makes two
    // rows aimed at 290 each.
    AddWords(5, 100, 20);
    const SLimitCase& c = GetParam();
    subtitle.wrapStyle = c.wrapStyle;
    EXPECT_EQ(engine.RowWidthLimit(subtitle, 0, 400), c.limit);
    EXPECT_EQ(Rows(c.wrapStyle, 400), c.rows);
}

INSTANTIATE_TEST_SUITE_P(WrapStyles, RowLimitTest,
                         testing::Values(SLimitCase{0, 340, {"w w w", "w w"}},
                                         SLimitCase{1, 400, {"w w w", "w w"}},
                                         SLimitCase{2, INT_MAX, {"w w w w w"}},
                                         SLimitCase{3, 240, {"w w", "w w w"}}));

TEST_F(RowBreakTest, EachParagraphHasItsOwnTarget)
{
    AddWords(5, 100, 20);
    Add("", 0);
    AddWords(2, 100, 20);
    // Only the words up to the line feed count towards the first target.
    EXPECT_EQ(engine.RowWidthLimit(subtitle, 0, 400), 340);
    EXPECT_EQ(engine.RowWidthLimit(subtitle, 10, 400), 220);
    EXPECT_EQ(Rows(3, 400), (std::vector<QString>{"w w", "w w w", "w w"}));
}

TEST_F(RowBreakTest, NoRoomStillMakesProgress)
{
    AddWords(3, 100, 20);
    for (int wrapStyle : {0, 1, 3}) {
        for (int available : {0, -50, 50, 110}) {
            EXPECT_EQ(Rows(wrapStyle, available), (std::vector<QString>{"w", "w", "w"}))
                << "wrap " << wrapStyle << " across " << available;
        }
    }
}

// ---- TidyRow ----

struct STidyCase {
    const char* name;
    void (*change)(CWord& second);
    std::size_t words;
};

class TidyRowTest : public testing::TestWithParam<STidyCase> {};

TEST_P(TidyRowTest, MergesOnlyPlainNeighbours)
{
    CLine row;
    for (const char* text : {"a", "b"}) {
        auto word = std::make_unique<CText>();
        word->text = QString::fromLatin1(text);
        word->width = 10;
        row.words.push_back(std::move(word));
    }
    row.width = 20;
    GetParam().change(*row.words[1]);
    CRenderedTextSubtitle::TidyRow(row);
    EXPECT_EQ(row.words.size(), GetParam().words);
    EXPECT_EQ(row.Text(), QStringLiteral("ab"));
    EXPECT_EQ(row.width, 20);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TidyRowTest,
    testing::Values(STidyCase{"Plain", [](CWord&) {}, 1},
                    STidyCase{"KaraokeTimed",
                              [](CWord& w) {
                                  w.karaokeStart = 200;
                                  w.karaokeEnd = 500;
                              },
                              2},
                    STidyCase{"KaraokeTypeDiffers", [](CWord& w) { w.karaokeType = 1; }, 2},
                    STidyCase{"StyleDiffers", [](CWord& w) { w.style.italic = true; }, 2},
                    STidyCase{"ColourDiffers", [](CWord& w) { w.style.colours[0] = 0xFF; }, 2}),
    [](const testing::TestParamInfo<STidyCase>& info) { return std::string(info.param.name); });

TEST(TidyRow, DrawingsAreNeverMerged)
{
    CLine row;
    for (int i = 0; i < 2; ++i) {
        auto word = std::make_unique<CPolygon>();
        word->text = QStringLiteral("m 0 0 l 1 1");
        row.words.push_back(std::move(word));
    }
    CRenderedTextSubtitle::TidyRow(row);
    EXPECT_EQ(row.words.size(), 2u);
}

TEST(TidyRow, MetricsAreThoseOfTheWordsLeft)
{
    CLine row;
    const auto add = [&](const char* text, int ascent, double outline) {
        auto word = std::make_unique<CText>();
        word->text = QString::fromLatin1(text);
        word->whitespace = word->text == " ";
        word->ascent = ascent;
        word->descent = ascent / 4;
        word->style.outlineX = word->style.outlineY = outline;
        row.ascent = std::max(row.ascent, ascent);
        row.words.push_back(std::move(word));
    };
    add(" ", 400, 30.6);
    add("a", 100, 8.4);
    add(" ", 400, 30.6);
    CRenderedTextSubtitle::TidyRow(row);
    EXPECT_EQ(row.Text(), QStringLiteral("a"));
    EXPECT_EQ(row.ascent, 100);
    EXPECT_EQ(row.descent, 25);
    EXPECT_EQ(row.borderX, 8);
}

// ---- Drawings ----

struct SDrawingCase {
    int level;
    double styleScaleX;
    const char* commands;
    int width;
    int ascent;
};

class DrawingTest : public LayoutTest, public testing::WithParamInterface<SDrawingCase> {};

TEST_P(DrawingTest, ExtentOfThePoints)
{
    const SDrawingCase& c = GetParam();
    CSubtitle subtitle;
    STSStyle style;
    style.scaleX = c.styleScaleX;
    engine.drawingLevel = c.level;
    engine.MakeDrawingWord(subtitle, QString::fromLatin1(c.commands), style);
    ASSERT_EQ(subtitle.words.size(), 1u);
    EXPECT_EQ(subtitle.words[0]->kind, EWordKind::Polygon);
    EXPECT_EQ(subtitle.words[0]->width, c.width);
    EXPECT_EQ(subtitle.words[0]->ascent, c.ascent);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, DrawingTest,
    testing::Values(SDrawingCase{1, 100, "m 0 0 l 100 0 100 50 0 50", 800, 400},
                    SDrawingCase{2, 100, "m 0 0 l 100 0 100 50 0 50", 400, 200},
                    SDrawingCase{1, 200, "m 10 10 b 20 -10 30 10 40 10", 480, 160},
                    SDrawingCase{1, 100, "m 5 5 c", 0, 0}, SDrawingCase{1, 100, "n", 0, 0}));

TEST_F(LayoutTest, DrawingNeedsADrawingLevel)
{
    CSubtitle subtitle;
    engine.drawingLevel = 0;
    engine.MakeDrawingWord(subtitle, QStringLiteral("m 0 0 l 1 1"), Style());
    engine.drawingLevel = 1;
    engine.MakeDrawingWord(subtitle, QString(), Style());
    EXPECT_TRUE(subtitle.words.empty());
}

// ---- Scales, margins and the cache ----

struct SScaleCase {
    SSize script;
    int frameWidth, frameHeight;
    double scaleX, scaleY;
};

class ScaleTest : public LayoutTest, public testing::WithParamInterface<SScaleCase> {};

TEST_P(ScaleTest, ScalesFromScriptSize)
{
    const SScaleCase& c = GetParam();
    engine.scriptSize = c.script;
    engine.SetEngineFrame(c.frameWidth, c.frameHeight, {0, 0, c.frameWidth, c.frameHeight});
    const CSubtitle& subtitle = Layout(QStringLiteral("abc"));
    EXPECT_DOUBLE_EQ(subtitle.scaleX, c.scaleX);
    EXPECT_DOUBLE_EQ(subtitle.scaleY, c.scaleY);
    EXPECT_DOUBLE_EQ(subtitle.words[0]->style.fontSize, 20 * c.scaleY * 64);
}

INSTANTIATE_TEST_SUITE_P(Frames, ScaleTest,
                         testing::Values(SScaleCase{{1920, 1080}, 1280, 720, 2.0 / 3, 2.0 / 3},
                                         SScaleCase{{1920, 1080}, 1920, 1080, 1, 1},
                                         SScaleCase{{640, 480}, 1920, 1080, 3, 2.25},
                                         SScaleCase{{0, 0}, 1280, 720, 1, 1}));

TEST_F(LayoutTest, WordsShrinkWithTheFrame)
{
    engine.scriptSize = {1920, 1080};
    const int full = Layout(QStringLiteral("abcdefgh")).rows[0]->width;
    engine.SetEngineFrame(1280, 720, {0, 0, 1280, 720});
    const int small = Layout(QStringLiteral("abcdefgh")).rows[0]->width;
    EXPECT_NEAR(small, full * 2 / 3, 2);
}

struct SMarginCase {
    int alignment;
    SMargins entry;
    SEngineRect expected;  // -1: not checked
};

class MarginTest : public LayoutTest, public testing::WithParamInterface<SMarginCase> {};

TEST_P(MarginTest, PlacesTheEntryInsideTheMargins)
{
    const SMarginCase& c = GetParam();
    Style().alignment = c.alignment;
    Style().margins = {30, 40, 50, 60};
    engine.scriptSize = {1920, 1080};
    engine.SetEngineFrame(1280, 720, {0, 0, 1280, 720});
    const SEngineRect rect = Layout(QStringLiteral("abc"), 0, c.entry).rect;
    const auto check = [](int got, int want) {
        if (want >= 0) {
            EXPECT_EQ(got, want);
        }
    };
    check(rect.left, c.expected.left);
    check(rect.top, c.expected.top);
    check(rect.right, c.expected.right);
    check(rect.bottom, c.expected.bottom);
}

// Margins in script pixels, two thirds of them on the frame, eight to a pixel.
INSTANTIATE_TEST_SUITE_P(
    Alignments, MarginTest,
    testing::Values(SMarginCase{7, {}, {160, 213, -1, -1}},
                    SMarginCase{3, {}, {-1, -1, 1280 * 8 - 266, 720 * 8 - 320}},
                    SMarginCase{7, {12, 24, 0, 0}, {64, 128, -1, -1}},
                    SMarginCase{3, {0, 0, 36, 48}, {-1, -1, 1280 * 8 - 192, 720 * 8 - 256}}));

TEST_F(LayoutTest, CacheHoldsUntilTheFrameChanges)
{
    engine.scriptSize = {1920, 1080};
    CSubtitle* first = &Layout(QStringLiteral("old"));
    engine.entries[0].text = QStringLiteral("new");
    EXPECT_EQ(engine.LayoutEntry(0), first);
    EXPECT_EQ(RowTexts(*first), (std::vector<QString>{"old"}));

    engine.SetEngineFrame(1280, 720, {0, 0, 1280, 720});
    const CSubtitle& rebuilt = *engine.LayoutEntry(0);
    EXPECT_EQ(RowTexts(rebuilt), (std::vector<QString>{"new"}));
    EXPECT_DOUBLE_EQ(rebuilt.scaleX, 2.0 / 3);
}

TEST_F(LayoutTest, ChangesDropTheCache)
{
    Layout(QStringLiteral("old"));
    engine.entries[0].text = QStringLiteral("new");
    engine.NotifyChanged();
    EXPECT_EQ(RowTexts(*engine.LayoutEntry(0)), (std::vector<QString>{"new"}));

    engine.Clear();
    EXPECT_THROW(engine.LayoutEntry(0), std::out_of_range);
}

TEST_F(LayoutTest, AnimatedLayoutIsRebuilt)
{
    CSubtitle* first = &Layout(QStringLiteral("old"));
    first->animated = true;
    engine.entries[0].text = QStringLiteral("new");
    EXPECT_EQ(RowTexts(*engine.LayoutEntry(0)), (std::vector<QString>{"new"}));
}

TEST_F(LayoutTest, IndexOutsideTheEntriesThrows)
{
    Layout(QStringLiteral("a"));
    EXPECT_THROW(engine.LayoutEntry(-1), std::out_of_range);
    EXPECT_THROW(engine.LayoutEntry(1), std::out_of_range);
}

// ---- Word measuring ----

TEST_F(LayoutTest, MissingFaceIsMeasuredWithArial)
{
    const auto measure = [&](const char* face) {
        Style().fontName = face;
        engine.NotifyChanged();
        const CSubtitle& subtitle = Layout(QStringLiteral("Wide words"));
        return std::pair(subtitle.rows[0]->width, subtitle.rows[0]->ascent);
    };
    const auto arial = measure("Arial");
    EXPECT_EQ(measure("No Such Face 4711"), arial);
    EXPECT_EQ(measure(""), arial);
    EXPECT_NE(measure("DejaVu Sans"), arial);  // the comparison can tell faces apart
}

TEST_F(LayoutTest, StyleChangesWordWidths)
{
    const int plain = Layout(QStringLiteral("abcd")).rows[0]->width;
    Style().weight = 700;
    const int bold = Layout(QStringLiteral("abcd")).rows[0]->width;
    Style().weight = 400;
    Style().scaleX = 200;
    const int wide = Layout(QStringLiteral("abcd")).rows[0]->width;
    Style().scaleX = 100;
    Style().spacing = 2;  // two pixels, 16 eighths, after each of the four letters
    const int spaced = Layout(QStringLiteral("abcd")).rows[0]->width;

    EXPECT_GT(bold, plain);
    EXPECT_NEAR(wide, 2 * plain, 1);
    EXPECT_NEAR(spaced, plain + 4 * 16, 1);
}

TEST(FontMeasure, FaceResolution)
{
    CFontMeasure measure;
    EXPECT_EQ(measure.ResolveFamily("No Such Face 4711"), QStringLiteral("Arial"));
    EXPECT_EQ(measure.ResolveFamily("dejavu sans"), QStringLiteral("dejavu sans"));
    EXPECT_EQ(measure.ResolveFamily(""), QStringLiteral("Arial"));
}

TEST(FontMeasure, PositiveHeightIsTheCellHeight)
{
    CFontMeasure measure;
    for (const char* face : {"DejaVu Sans", "Liberation Sans", "WenQuanYi Micro Hei"}) {
        for (int height : {12, 100, 1280, 6400, 40000}) {
            SFontDescription description;
            description.faceName = face;
            description.height = height;
            const CMeasureFont& font = measure.Font(description);
            EXPECT_EQ(font.Ascent() + font.Descent(), height) << face << " " << height;
            EXPECT_GT(font.Ascent(), font.Descent());
            const QFontMetricsF metrics(font.Font());
            EXPECT_NEAR((metrics.ascent() + metrics.descent()) * font.ExtentScale(), height, 1.0)
                << face << " " << height;
        }
    }
}

TEST(FontMeasure, ExtentsGrowWithTheHeight)
{
    // 16000 is past the largest font Qt measures well, so it is scaled.
    CFontMeasure measure;
    SFontDescription description;
    description.faceName = "Liberation Sans";
    const QString text = QStringLiteral("Measured text");
    description.height = 8000;
    const double small = measure.Font(description).TextExtent(text);
    description.height = 16000;
    const double large = measure.Font(description).TextExtent(text);
    EXPECT_NEAR(large / small, 2.0, 0.002);
}

TEST(FontMeasure, CacheDoesNotChangeResults)
{
    CFontMeasure measure;
    SFontDescription description;
    description.faceName = "DejaVu Sans";
    description.height = 1280;
    description.weight = 700;
    const QString text = QStringLiteral("Cache me");
    const int first = measure.Font(description).TextExtent(text);
    const int ascent = measure.Font(description).Ascent();
    SFontDescription other = description;
    for (int height = 1; height <= 300; ++height) {
        other.height = height;
        measure.Font(other);
    }
    EXPECT_EQ(measure.Font(description).TextExtent(text), first);
    EXPECT_EQ(measure.Font(description).Ascent(), ascent);
    EXPECT_EQ(CFontMeasure().Font(description).TextExtent(text), first);
}

TEST(FontMeasure, EngineObjectsShareOneDevice)
{
    const std::shared_ptr<CFontMeasure> held = CFontMeasure::Shared();
    EXPECT_EQ(CFontMeasure::Shared(), held);
}

}  // namespace
