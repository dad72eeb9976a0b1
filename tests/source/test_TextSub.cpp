#include "source/TextSub.h"

#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TextSubTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile file(Dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    std::vector<std::pair<int, int>> Times(const CTextSub& source)
    {
        std::vector<std::pair<int, int>> times;
        for (const SSubLine& line : source.lines)
            times.emplace_back(line.start, line.end);
        return times;
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
    SSourceStyle Style;
};

const QByteArray AssHead = "[Script Info]\nScriptType: v4.00+\nPlayResX: 640\nPlayResY: 480\n\n"
                           "[V4+ Styles]\n"
                           "Style: Default,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,"
                           "0,0,0,0,100,100,0,0,1,2,2,2,10,10,10,1\n\n[Events]\n";

}  // namespace

TEST_F(TextSubTest, WhatCannotBeOpened)
{
    struct Case {
        const char* Name;
        QString Path;
        QString Message;
    } cases[] = {
        {"no reader", Write("words.srt", "nothing a reader takes\n"),
         "\r\nUnknown subtitle format! "},
        {"xml of another kind", Write("a.xml", "<xml/>"), "\r\nUnknown subtitle format! "},
        {"missing file", Dir.filePath("missing.srt"), "\n\rread error! "},
        // A damaged cue is left out; a second script header is beyond repair.
        {"syntax error",
         Write("broken.ass", "[Script Info]\nScriptType: v4.00+\n[Events]\n"
                             "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,a\n"
                             "[Script Info]\n"),
         "\n\rread error! "},
        // FFmpeg's own words follow ours.
        {"damaged video file", Write("noise.mkv", "\x1a\x45\xdf\xa3" + QByteArray(4000, '\x55')),
         "\n\rThe file cannot be read: Invalid data found when processing input! "},
        {"no entries", Write("empty.ass", AssHead), "\n\rSubtitle is empty! "},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        EXPECT_EQ(OpenSubtitleSource(c.Path, &Style), nullptr) << c.Name;
        ASSERT_FALSE(Messages.Shown.empty()) << c.Name;
        // A syntax error has told the user where before.
        EXPECT_EQ(Messages.Shown.back(), c.Path + c.Message) << c.Name;
    }

    // A reporter takes the message instead of the user.
    CRecordedMessages reporter;
    Messages.Shown.clear();
    CTextSub source(&Style);
    EXPECT_FALSE(source.Load(Dir.filePath("missing.srt"), &reporter));
    EXPECT_EQ(reporter.Shown.size(), 1u);
    EXPECT_EQ(source.Engine(), nullptr);
}

// The content decides, whatever the name; SubRip is SubRip under any name.
TEST_F(TextSubTest, AnyExtension)
{
    const QByteArray subRip = "1\n00:00:01,000 --> 00:00:02,000\nx\n";
    for (const char* name : {"a.xml", "plain", "film.sub", "film.txt"}) {
        const auto source = OpenSubtitleSource(Write(name, subRip), &Style);
        ASSERT_NE(source, nullptr) << name;
        EXPECT_TRUE(source->subRip) << name;
        EXPECT_EQ(source->Engine()->scriptSize, (SSize{1920, 1080})) << name;
        EXPECT_EQ(source->lines.size(), 1u) << name;
    }
    const auto microDvd = OpenSubtitleSource(Write("film.txt", "{24}{48}Hello\n"), &Style);
    ASSERT_NE(microDvd, nullptr);
    EXPECT_FALSE(microDvd->subRip);
    EXPECT_EQ(microDvd->Engine()->timingMode, Frames);
    const auto webVtt = OpenSubtitleSource(
        Write("film.vtt", "WEBVTT\n\n00:00:01.000 --> 00:00:02.000\nHello\n"), &Style);
    ASSERT_NE(webVtt, nullptr);
    EXPECT_EQ(webVtt->lines.size(), 1u);
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(TextSubTest, SubRipTakesTheSourceStyleAndTheFullHdPlayResolution)
{
    Style.text.FontName = "@Noto Sans CJK";
    Style.text.FontSize = 42.7f;
    Style.text.FontStyle = FontStyleBold | FontStyleItalic;
    const auto source =
        OpenSubtitleSource(Write("film.SRT", "1\n00:00:01,000 --> 00:00:02,000\nx\n"), &Style);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->subRip);
    CRenderedTextSubtitle& engine = *source->Engine();
    const STSStyle& defaults = *engine.styles.at("Default");
    EXPECT_EQ(defaults.fontName, "@Noto Sans CJK");
    EXPECT_EQ(defaults.fontSize, 42);
    EXPECT_EQ(defaults.weight, 700);
    EXPECT_TRUE(defaults.italic);
    EXPECT_FALSE(defaults.underline);
    EXPECT_FALSE(engine.defaultStyleGenerated);
    EXPECT_EQ(engine.scriptSize, (SSize{1920, 1080}));

    // Other formats keep their own.
    const auto ass = OpenSubtitleSource(
        Write("film.ass", AssHead + "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,x\n"),
        &Style);
    ASSERT_NE(ass, nullptr);
    EXPECT_FALSE(ass->subRip);
    EXPECT_EQ(ass->Engine()->styles.at("Default")->fontName, "Arial");
    EXPECT_EQ(ass->Engine()->scriptSize, (SSize{640, 480}));
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(TextSubTest, LineListSortedAndRepaired)
{
    const QByteArray text = AssHead + "Dialogue: 0,0:00:05.00,0:00:06.00,Default,,0,0,0,,third\n"
                                      "Dialogue: 0,0:00:01.00,0:00:01.20,Default,,0,0,0,,first\n"
                                      "Dialogue: 0,0:00:01.22,0:00:03.00,Default,,0,0,0,,second\n";
    const auto source = OpenSubtitleSource(Write("order.ass", text), &Style);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(Times(*source),
              (std::vector<std::pair<int, int>>{{1000, 1250}, {1250, 3000}, {5000, 6000}}));
    EXPECT_EQ(source->lines[0].entryIndex, 1);
    EXPECT_EQ(source->lines[1].entryIndex, 2);
    EXPECT_EQ(source->lines[2].entryIndex, 0);
    for (const SSubLine& line : source->lines) {
        EXPECT_EQ(line.source, source.get());
        EXPECT_TRUE(line.imageFile.isEmpty());
        EXPECT_EQ(line.timingOk, 1);
    }

    // An end of 0 runs to the next start; the last one gets the shortest length.
    const auto zero = OpenSubtitleSource(Write("zero.srt", "1\n00:00:00,000 --> 00:00:00,000\na\n\n"
                                                           "2\n00:00:04,000 --> 00:00:05,000\nb\n\n"
                                                           "3\n00:00:09,000 --> 00:00:09,000\nc\n"),
                                         &Style);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(Times(*zero),
              (std::vector<std::pair<int, int>>{{0, 4000}, {4000, 5000}, {9000, 9250}}));
}

TEST_F(TextSubTest, TimesRepairedAtTheRateTheSourceIsOpenedWith)
{
    // Six frames: 250 ms at 23.976, 240 ms at 25, 100 ms at 59.94.
    const QString path = Write("short.srt", "1\n00:00:01,000 --> 00:00:01,090\na\n\n"
                                            "2\n00:00:01,095 --> 00:00:02,000\nb\n\n"
                                            "3\n00:00:03,000 --> 00:00:03,150\nc\n");
    struct Case {
        int RateIndex;
        std::vector<std::pair<int, int>> Times;
    } cases[] = {
        {0, {{1000, 1250}, {1250, 2000}, {3000, 3250}}},
        {2, {{1000, 1240}, {1240, 2000}, {3000, 3240}}},
        {5, {{1000, 1100}, {1100, 2000}, {3000, 3150}}},
    };
    for (const Case& c : cases) {
        const auto source = OpenSubtitleSource(path, &Style, nullptr, c.RateIndex);
        ASSERT_NE(source, nullptr) << c.RateIndex;
        EXPECT_EQ(source->frameRateIndex, c.RateIndex);
        EXPECT_EQ(Times(*source), c.Times) << c.RateIndex;
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(TextSubTest, FrameNumberedScriptsBecomeMilliseconds)
{
    // Frames at 24000/1001: frame 24 is 1001 ms, frame 48 is 2002 ms.
    const auto source =
        OpenSubtitleSource(Write("frames.srt", "{24}{48}One\n{72}{120}Two\n"), &Style);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Engine()->timingMode, Frames);
    EXPECT_EQ(Times(*source), (std::vector<std::pair<int, int>>{{1001, 2002}, {3003, 5005}}));
}

TEST_F(TextSubTest, FramesFollowTheBuildRateUnlessTheScriptGivesItsOwn)
{
    // Frames 25 to 75: 1043 to 3128 ms at 23.976, 1000 to 3000 at 25.
    const auto follows = OpenSubtitleSource(Write("follows.srt", "{25}{75}a\n"), &Style);
    ASSERT_NE(follows, nullptr);
    EXPECT_EQ(Times(*follows), (std::vector<std::pair<int, int>>{{1043, 3128}}));
    follows->FollowFrameRate(2);
    EXPECT_EQ(follows->frameRateIndex, 2);
    EXPECT_EQ(Times(*follows), (std::vector<std::pair<int, int>>{{1000, 3000}}));

    const auto own =
        OpenSubtitleSource(Write("own.srt", "{1}{1}25\n{25}{75}a\n"), &Style, nullptr, 5);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(Times(*own), (std::vector<std::pair<int, int>>{{1000, 3000}}));
    own->FollowFrameRate(0);
    EXPECT_EQ(Times(*own), (std::vector<std::pair<int, int>>{{1000, 3000}}));

    // Milliseconds never move with the rate.
    const auto timed =
        OpenSubtitleSource(Write("timed.srt", "1\n00:00:01,000 --> 00:00:03,000\na\n"), &Style);
    ASSERT_NE(timed, nullptr);
    timed->FollowFrameRate(2);
    EXPECT_EQ(Times(*timed), (std::vector<std::pair<int, int>>{{1000, 3000}}));
}

TEST_F(TextSubTest, RowsAndVisibleText)
{
    const auto source =
        OpenSubtitleSource(Write("rows.srt", "1\n00:00:01,000 --> 00:00:02,000\nOne row\n\n"
                                             "2\n00:00:03,000 --> 00:00:04,000\nFirst\nSecond\n\n"
                                             "3\n00:00:05,000 --> 00:00:06,000\nTop\\N\\NBottom\n"),
                           &Style);
    ASSERT_NE(source, nullptr);
    struct Case {
        int Entry;
        int Rows;
        QString Text;
    } cases[] = {{0, 1, "One row"}, {1, 2, "First\\NSecond"}, {2, 2, "Top\\NBottom"}};
    for (const Case& c : cases) {
        EXPECT_EQ(source->GetRowCount(c.Entry), c.Rows) << c.Entry;
        QString text = "stale";
        source->GetLineText(c.Entry, text);
        EXPECT_EQ(text, c.Text) << c.Entry;
    }
}
