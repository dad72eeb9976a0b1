#include "builder/Overlaps.h"

#include "platform/SettingsStore.h"
#include "source/TextSub.h"
#include "support/RecordedMessages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct SCue {
    int Start, End;
    const char* Text;
};

QByteArray SubRip(std::initializer_list<SCue> cues)
{
    QByteArray out;
    int n = 0;
    const auto time = [](int ms) {
        return QString::asprintf("00:%02d:%02d,%03d", ms / 60000, ms / 1000 % 60, ms % 1000)
            .toLatin1();
    };
    for (const SCue& cue : cues)
        out += QByteArray::number(++n) + "\n" + time(cue.Start) + " --> " + time(cue.End) + "\n" +
               cue.Text + "\n\n";
    return out;
}

class OverlapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Style.text.FontName = "Arial";
        Style.text.FontSize = 40.0f;
    }

    std::unique_ptr<CTextSub> Open(const QByteArray& script)
    {
        QFile file(Dir.filePath(QString("s%1.srt").arg(++Files)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        auto source = OpenSubtitleSource(file.fileName(), &Style);
        if (source)
            source->CheckTimings();
        return source;
    }

    // Start, end and visible text of every line.
    static std::vector<std::tuple<int, int, QString>> Lines(CTextSub& source)
    {
        std::vector<std::tuple<int, int, QString>> out;
        for (const SSubLine& line : source.lines) {
            QString text;
            source.GetLineText(line.entryIndex, text);
            out.emplace_back(line.start, line.end, text);
        }
        return out;
    }

    QTemporaryDir Dir;
    CRecordedMessages Messages;
    SSourceStyle Style;
    int Files = 0;
};

using SLines = std::vector<std::tuple<int, int, QString>>;

}  // namespace

TEST_F(OverlapTest, RefusedTrimmedOrJoined)
{
    const QByteArray overlap =
        SubRip({{1000, 3000, "one"}, {2500, 4000, "two"}, {5000, 6000, "three"}});
    const QByteArray soon = SubRip({{1000, 3000, "one"}, {1100, 2000, "two"}});
    const QByteArray chain = SubRip({{1000, 3000, "a"}, {2000, 4000, "b"}, {2500, 3500, "c"}});
    struct Case {
        const char* Name;
        QByteArray Script;
        EOverlapMode Mode;
        SLines Lines;
        QStringList Changes;
    } cases[] = {
        {"refused",
         overlap,
         EOverlapMode::Refuse,
         {{1000, 3000, "one"}, {2500, 4000, "two"}, {5000, 6000, "three"}},
         {}},
        {"trimmed",
         overlap,
         EOverlapMode::Trim,
         {{1000, 2500, "one"}, {2500, 4000, "two"}, {5000, 6000, "three"}},
         {"line 1: ends at 00:00:02,500 where line 2 starts (trimmed)"}},
        {"joined",
         overlap,
         EOverlapMode::Join,
         {{1000, 2500, "one"},
          {2500, 3000, "one\\Ntwo"},
          {3000, 4000, "two"},
          {5000, 6000, "three"}},
         {"line 2: shown with line 1 from 00:00:02,500 to 00:00:03,000 (joined)"}},
        {"too soon to trim",
         soon,
         EOverlapMode::Trim,
         {{1000, 1100, "one"}, {1100, 2000, "one\\Ntwo"}, {2000, 3000, "one"}},
         {"line 2: starts 100 ms after line 1, too soon to trim; shown with line 1 from "
          "00:00:01,100 to 00:00:02,000 (joined)"}},
        {"chain trimmed",
         chain,
         EOverlapMode::Trim,
         {{1000, 2000, "a"}, {2000, 2500, "b"}, {2500, 3500, "c"}},
         {"line 1: ends at 00:00:02,000 where line 2 starts (trimmed)",
          "line 2: ends at 00:00:02,500 where line 3 starts (trimmed)"}},
        {"chain joined",
         chain,
         EOverlapMode::Join,
         {{1000, 2000, "a"},
          {2000, 2500, "a\\Nb"},
          {2500, 3000, "a\\Nb\\Nc"},
          {3000, 3500, "b\\Nc"},
          {3500, 4000, "b"}},
         {"line 2: shown with line 1 from 00:00:02,000 to 00:00:03,000 (joined)",
          "line 3: shown with line 1, line 2 from 00:00:02,500 to 00:00:03,500 (joined)"}},
    };
    for (const Case& c : cases) {
        const auto source = Open(c.Script);
        ASSERT_NE(source, nullptr) << c.Name;
        const SLines before = Lines(*source);
        const std::size_t entries = source->Engine()->entries.size();
        {
            const COverlapRepair repair(source.get(), c.Mode);
            EXPECT_EQ(Lines(*source), c.Lines) << c.Name;
            EXPECT_EQ(repair.Changes(), c.Changes) << c.Name;
            EXPECT_EQ(source->CheckTimings(), c.Mode == EOverlapMode::Refuse ? 1 : 0) << c.Name;
        }
        // The repair holds for one build: the source is as loaded again.
        EXPECT_EQ(Lines(*source), before) << c.Name;
        EXPECT_EQ(source->Engine()->entries.size(), entries) << c.Name;
    }
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(OverlapTest, JoinedLinesAreStackedInOnePicture)
{
    const auto source = Open(SubRip({{1000, 3000, "<i>one</i>"}, {2500, 4000, "two"}}));
    ASSERT_NE(source, nullptr);
    const COverlapRepair repair(source.get(), EOverlapMode::Join);
    ASSERT_EQ(source->lines.size(), 3u);
    QImage pictures[3];
    for (int i = 0; i < 3; ++i) {
        SLineRequest request;
        ASSERT_TRUE(source->GetLineImage(i, request)) << i;
        pictures[i] = request.image;
        ASSERT_FALSE(pictures[i].isNull()) << i;
    }
    EXPECT_GE(pictures[1].height(), pictures[0].height() + pictures[2].height() - 2);
    EXPECT_GE(pictures[1].width(), std::max(pictures[0].width(), pictures[2].width()));
    EXPECT_EQ(source->GetRowCount(source->lines[1].entryIndex), 2);

    // Reported with the script's path, one line per change.
    ReportOverlapRepair("a.srt", repair);
    EXPECT_EQ(Messages.Shown,
              std::vector<QString>{
                  "a.srt\nline 2: shown with line 1 from 00:00:02,500 to 00:00:03,000 (joined)"});
    EXPECT_EQ(Messages.Kinds, std::vector<EMessageKind>{EMessageKind::Warning});
}

TEST_F(OverlapTest, MessagesOfTheBuildNameTheLinesAsLoaded)
{
    const auto source =
        Open(SubRip({{1000, 3000, "one"}, {2500, 4000, "two"}, {5000, 6000, "three"}}));
    ASSERT_NE(source, nullptr);
    const COverlapRepair repair(source.get(), EOverlapMode::Join);
    ASSERT_EQ(source->lines.size(), 4u);
    Style.text.FontName = "Tandeo No Such Family 7f3a";
    struct Case {
        int Line;  // in the repaired list
        QString Message;
    } cases[] = {
        {1, "The line cannot be drawn: no installed font can draw \"one\".\nLine: 1"},
        {3, "The line cannot be drawn: no installed font can draw \"three\".\nLine: 3"},
    };
    for (const Case& c : cases) {
        Messages.Shown.clear();
        SLineRequest request;
        EXPECT_FALSE(source->GetLineImage(c.Line, request)) << c.Line;
        EXPECT_EQ(Messages.Shown, std::vector<QString>{c.Message}) << c.Line;
    }
}

TEST(OverlapModes, NamesAndTheStoredChoice)
{
    for (int i = 0; i < OverlapModeCount; ++i) {
        const auto mode = static_cast<EOverlapMode>(i);
        EXPECT_EQ(OverlapModeOf(OverlapModeName(mode)), mode);
    }
    EXPECT_EQ(OverlapModeOf("Trim"), std::nullopt);
    EXPECT_EQ(OverlapModeOf(""), std::nullopt);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString ini = dir.filePath("Tandeo.ini");
    SetSettingsFilePath(ini);
    EXPECT_EQ(StoredOverlapMode(), EOverlapMode::Refuse);
    StoreOverlapMode(EOverlapMode::Join);
    EXPECT_EQ(StoredOverlapMode(), EOverlapMode::Join);
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Build]\nOverlaps=sometimes\n");
    }
    EXPECT_EQ(StoredOverlapMode(), EOverlapMode::Refuse);
    SetSettingsFilePath(QString());
}
