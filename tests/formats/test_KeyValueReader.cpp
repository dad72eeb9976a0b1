#include "ReaderTestSupport.h"
#include "formats/Readers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>
#include <string>
#include <vector>

namespace {

bool ReadKeyValueBytes(const QByteArray& bytes, CSimpleTextSubtitle& script)
{
    return ReadBytes(ReadKeyValueScript, bytes, script);
}

// Fields 3 to 31 of a style value, after the two name parts.
const QByteArray StyleFields = "Verdana,30.5,255,65280,16711680,-16777216,1,2,3,384,"  // 3-12
                               "0,1,1,1,5,"                                            // 13-17
                               "110,-5,nan,1,2,3,"                                     // 18-23
                               "3,-1,4.5,7,11,12,13,128";                              // 24-31

const QByteArray Event = "Line=D,id,2,0:00:01.5,0:01:02.250,Main,Top,Bob,1,2,3,Hello, world\n";

}  // namespace

TEST(KeyValueReader, ScreenSizeKeysFillTheMissingSide)
{
    struct SCase {
        QByteArray input;
        SSize size;
        bool failed;
    };
    const std::vector<SCase> cases = {
        {"ScreenHorizontal=640\n", {640, 480}, false},
        {"SCREENHORIZONTAL=1280\n", {1280, 1024}, false},
        {"screenvertical=480\n", {640, 480}, false},
        {"ScreenVertical=1024\n", {1280, 1024}, false},
        {"ScreenHorizontal=801\n", {801, 600}, false},
        {"ScreenHorizontal=800\nScreenVertical=500\n", {800, 500}, false},
        {"ScreenVertical=500\nScreenHorizontal=800\n", {800, 500}, false},
        {"ScreenHorizontal=&h280\n", {640, 480}, false},
        {"ScreenHorizontal=640\nScreenVertical=wide\n", {0, 0}, true},
        {"ScreenHorizontal=\n", {0, 0}, true},
        // No width of 4/3 of this height fits 32 bits.
        {"ScreenVertical=2000000000\n", {0, 0}, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        CSimpleTextSubtitle script;
        EXPECT_FALSE(ReadKeyValueBytes(c.input, script));  // no entries either way
        EXPECT_EQ(script.scriptSize, c.size);
    }
    // A field error stops the reading at once.
    CSimpleTextSubtitle script;
    EXPECT_FALSE(ReadKeyValueBytes("ScreenHorizontal=x\n" + Event, script));
    EXPECT_TRUE(script.entries.empty());
}

TEST(KeyValueReader, ReadsStylesByPosition)
{
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadKeyValueBytes("Style=Main,Top," + StyleFields + "\n" + Event, script));
    ASSERT_EQ(script.styles.count("Top_Main"), 1u);
    const STSStyle& style = *script.styles.at("Top_Main");
    EXPECT_EQ(style.fontName, "Verdana");
    EXPECT_EQ(style.fontSize, 30.5);
    EXPECT_EQ(style.colours, (std::array<std::uint32_t, 4>{255, 65280, 16711680, 0xFF000000u}));
    EXPECT_EQ(style.alphas, (std::array<std::uint8_t, 4>{1, 2, 3, 0x80}));
    EXPECT_EQ(style.weight, 400);
    EXPECT_TRUE(style.italic);
    EXPECT_TRUE(style.underline);
    EXPECT_TRUE(style.strikeOut);
    EXPECT_EQ(style.edgeBlur, 1);
    EXPECT_EQ(style.scaleX, 110.0);
    EXPECT_EQ(style.scaleY, 0.0);   // negative
    EXPECT_EQ(style.spacing, 0.0);  // not a number
    EXPECT_EQ(style.angleX, 1.0);
    EXPECT_EQ(style.angleY, 2.0);
    EXPECT_EQ(style.angleZ, 3.0);
    EXPECT_EQ(style.borderStyle, 1);
    EXPECT_EQ(style.outlineX, 0.0);
    EXPECT_EQ(style.outlineY, 0.0);
    EXPECT_EQ(style.shadowX, 4.5);
    EXPECT_EQ(style.shadowY, 4.5);
    EXPECT_EQ(style.alignment, 7);
    EXPECT_EQ(style.margins, (SMargins{11, 13, 12, 13}));
    EXPECT_EQ(style.charSet, 128);
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_EQ(script.entries[0].style, "Top_Main");
}

TEST(KeyValueReader, StyleValuesMapFlagsAndKeepAsterisks)
{
    struct SCase {
        QByteArray fields;  // bold, italic, underline, strike-out, blur
        QByteArray border;
        int weight;
        bool italic;
        int edgeBlur;
        int borderStyle;
    };
    const std::vector<SCase> cases = {
        {"1,0,0,0,0", "1", 700, false, 0, 0},
        {"-1,2,0,0,1", "3", 700, true, 1, 1},
        {"0,0,0,0,0", "2", 400, false, 0, 0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.fields.toStdString() + " border " + c.border.toStdString());
        CSimpleTextSubtitle script;
        EXPECT_FALSE(ReadKeyValueBytes("Style=Main,**Top,Arial,20,0,0,0,0,0,0,0,0," + c.fields +
                                           ",100,100,0,0,0,0," + c.border + ",2,3,2,10,10,10,1\n",
                                       script));
        ASSERT_EQ(script.styles.count("**Top_Main"), 1u);
        const STSStyle& style = *script.styles.at("**Top_Main");
        EXPECT_EQ(style.weight, c.weight);
        EXPECT_EQ(style.italic, c.italic);
        EXPECT_EQ(style.edgeBlur, c.edgeBlur);
        EXPECT_EQ(style.borderStyle, c.borderStyle);
    }
}

TEST(KeyValueReader, ReadsEventsOfKindD)
{
    CSimpleTextSubtitle script;
    ASSERT_TRUE(
        ReadKeyValueBytes("; a comment\n"
                          "Version=4\n"
                          "Title=ignored\n"
                          "\n" +
                              Event +
                              "Line=C,id,0,0:00:05.000,0:00:06.000,Main,Top,,0,0,0,skipped\n"
                              "LINE=D,id,0,1:00:00.000,1:00:01.000,Main,**Top,,0,0,0,x\n",
                          script));
    ASSERT_EQ(script.entries.size(), 2u);
    const STSEntry& entry = script.entries[0];
    EXPECT_EQ(entry.text.toStdString(), "Hello, world");
    EXPECT_EQ(entry.start, 1005);
    EXPECT_EQ(entry.end, 62250);
    EXPECT_EQ(entry.style, "Top_Main");
    EXPECT_EQ(entry.actor, "Bob");
    EXPECT_EQ(entry.effect, "");
    EXPECT_EQ(entry.layer, 2);
    EXPECT_EQ(entry.margins, (SMargins{1, 3, 2, 3}));
    EXPECT_FALSE(entry.unicodeText);
    const STSEntry& second = script.entries[1];
    EXPECT_EQ(second.start, 3600000);
    EXPECT_EQ(second.end, 3601000);
    EXPECT_EQ(second.style, "Top_Main");  // leading asterisks go
    EXPECT_EQ(second.actor, "");
}

TEST(KeyValueReader, FieldErrorsStopTheReading)
{
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"layer", "Line=D,id,x,0:00:01.000,0:00:02.000,Main,Top,,0,0,0,t\n"},
        {"start hours", "Line=D,id,0,h:00:01.000,0:00:02.000,Main,Top,,0,0,0,t\n"},
        {"end thousandths", "Line=D,id,0,0:00:01.000,0:00:02.x,Main,Top,,0,0,0,t\n"},
        {"margin", "Line=D,id,0,0:00:01.000,0:00:02.000,Main,Top,,left,0,0,t\n"},
        {"empty event", "Line=\n"},
        {"time past 32 bits", "Line=D,id,0,596:31:24.000,596:31:25.000,Main,Top,,0,0,0,t\n"},
        {"style font size", "Style=Main,Top,Arial,big\n"},
        {"style colour", "Style=Main,Top,Arial,20,red,0,0,0\n"},
        {"style charset",
         "Style=Main,Top," + StyleFields.left(StyleFields.lastIndexOf(',')) + ",x\n"},
    };
    for (const auto& [name, line] : cases) {
        SCOPED_TRACE(name);
        CSimpleTextSubtitle script;
        EXPECT_FALSE(ReadKeyValueBytes(Event + line + Event, script));
        EXPECT_EQ(script.entries.size(), 1u);  // the first event only
        EXPECT_TRUE(script.styles.empty());
    }
}

TEST(KeyValueReader, IgnoresTextsOfOtherKinds)
{
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", ""},
        {"prose", "Hello world\nno keys here\n"},
        {"SubRip", "1\n00:00:01,000 --> 00:00:02,000\nx\n"},
        {"unreadable version", "Version=new\n"},
        {"other kinds of lines", "Line=C,1,0,0:00:01.000,0:00:02.000,Main,Top,,0,0,0,x\n"},
    };
    for (const auto& [name, input] : cases) {
        SCOPED_TRACE(name);
        CSimpleTextSubtitle script;
        EXPECT_FALSE(ReadKeyValueBytes(input, script));
        EXPECT_TRUE(script.entries.empty());
    }
    CSimpleTextSubtitle script;
    EXPECT_TRUE(ReadKeyValueBytes("Version=new\n" + Event, script));
}

// The lines after a font name are font data, up to an empty line.
TEST(KeyValueReader, FontNameKeyHandsTheFollowingBlockToTheFontReader)
{
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadKeyValueBytes("FontName=x.ttf\n"
                                  "Line=D,id,0,0:00:09.000,0:00:10.000,Main,Top,,0,0,0,data\n"
                                  "\n" +
                                      Event,
                                  script));
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_EQ(script.entries[0].text.toStdString(), "Hello, world");
}

// Hostile input must end in an answer, never a crash or a hang.
TEST(KeyValueReader, SurvivesHostileInput)
{
    std::mt19937 random(11);
    QByteArray noise(1 << 16, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    const std::vector<std::pair<const char*, QByteArray>> inputs = {
        {"random bytes", noise},
        {"NUL bytes", QByteArray(4096, '\0')},
        {"10 MB line", QByteArray(10 << 20, 'k')},
        {"10 MB of commas", "Style=" + QByteArray(10 << 20, ',')},
        {"10 MB event text", Event.chopped(1) + QByteArray(10 << 20, ',')},
        {"truncated", Event.left(30)},
    };
    for (const auto& [name, input] : inputs) {
        SCOPED_TRACE(name);
        CSimpleTextSubtitle script;
        if (ReadKeyValueBytes(input, script)) {
            EXPECT_FALSE(script.entries.empty());
        }
    }
}
