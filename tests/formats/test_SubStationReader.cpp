#include "formats/Readers.h"
#include "formats/ScriptFields.h"
#include "platform/FontInstall.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

const QString FixturesDir = QStringLiteral(TANDEO_FIXTURES_DIR "/aegisub-fonts/");

// Writes `bytes` to a file of its own and runs the reader over it.
class SubStationReaderTest : public testing::Test {
protected:
    bool Read(const std::string& bytes)
    {
        const QString path = Dir.filePath(QString::number(++Files) + ".ass");
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.data(), static_cast<qint64>(bytes.size()));
        out.close();
        return ReadPath(path);
    }

    bool ReadPath(const QString& path)
    {
        CTextFile file;
        EXPECT_TRUE(file.Open(path)) << path.toStdString();
        return ReadSubStationScript(file, Script, 1);
    }

    const STSStyle* Style(const std::string& name) const
    {
        const auto found = Script.styles.find(name);
        return found == Script.styles.end() ? nullptr : found->second.get();
    }

    QTemporaryDir Dir;
    int Files = 0;
    CSimpleTextSubtitle Script;
};

}  // namespace

TEST(ScriptFields, TakeField)
{
    struct Case {
        QString Buffer;
        char Separator;
        bool Ok;
        QString Field, Rest;
    } cases[] = {
        {"  abc,def", ',', true, "abc", "def"},
        {"a b ,c", ',', true, "a b ", "c"},  // only leading white space goes
        {",x", ',', true, "", "x"},
        {"\t x:y:z", ':', true, "x", "y:z"},
        // No separator: the whole buffer, which stays for the next field.
        {"  abc", ',', true, "abc", "abc"},
        {"", ',', false, "", ""},
        {" \t ", ',', false, "", ""},
    };
    for (const Case& c : cases) {
        QString buffer = c.Buffer, field;
        EXPECT_EQ(TakeField(buffer, c.Separator, field), c.Ok) << c.Buffer.toStdString();
        if (c.Ok) {
            EXPECT_EQ(field, c.Field) << c.Buffer.toStdString();
            EXPECT_EQ(buffer, c.Rest) << c.Buffer.toStdString();
        }
    }
}

TEST(ScriptFields, TakeInt)
{
    struct Case {
        QString Buffer;
        bool Ok;
        int Value;
        QString Rest;
    } cases[] = {
        {"42,x", true, 42, "x"},
        {" -5,", true, -5, ""},
        {"+7", true, 7, "+7"},
        {"12px,1", true, 12, "1"},
        {"&h00ff00&,", true, 0xFF00, ""},
        {"&H8000FF00", true, static_cast<int>(0x8000FF00u), "&H8000FF00"},
        {"0X1f", true, 0x1F, "0X1f"},
        {"0x", true, 0, "0x"},                   // too short for hexadecimal
        {"4294967295", true, -1, "4294967295"},  // a decimal colour keeps its bits
        {"99999999999999999999999", true, -1, "99999999999999999999999"},
        {"&h", false, 0, ""},
        {"&hzz", false, 0, ""},
        {"px", false, 0, ""},
        {"-", false, 0, ""},
        {",5", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const Case& c : cases) {
        QString buffer = c.Buffer;
        int value = 12345;
        EXPECT_EQ(TakeInt(buffer, ',', value), c.Ok) << c.Buffer.toStdString();
        if (c.Ok) {
            EXPECT_EQ(value, c.Value) << c.Buffer.toStdString();
            EXPECT_EQ(buffer, c.Rest) << c.Buffer.toStdString();
        }
    }
}

TEST(ScriptFields, TakeFloat)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        QString Buffer;
        bool Ok;
        double Value;
    } cases[] = {
        {"1.5,x", true, 1.5},
        {"23.976000:1", true, static_cast<double>(23.976f)},  // single precision
        {"-2", true, -2},
        {"+.5", true, 0.5},
        {"1E2", true, 100},
        {"100px", true, 100},
        {"1e60", true, inf},
        {"-1e60", true, -inf},
        {"1e-60", true, 0},
        {"-INF", true, -inf},
        {"0x1P4", true, 16},
        {"1e99999999999", true, inf},
        {"1e-99999999999", true, 0},
        {"abc", false, 0},
        {"--1", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        QString buffer = c.Buffer;
        double value = 0;
        ASSERT_EQ(TakeFloat(buffer, ',', value), c.Ok) << c.Buffer.toStdString();
        if (c.Ok) {
            EXPECT_EQ(value, c.Value) << c.Buffer.toStdString();
        }
    }
    QString buffer = "nan";
    double value = 0;
    ASSERT_TRUE(TakeFloat(buffer, ',', value));
    EXPECT_TRUE(std::isnan(value));
}

TEST_F(SubStationReaderTest, SectionHeadersDecideAcceptance)
{
    struct Case {
        const char* Text;
        bool Accepted;
    } cases[] = {
        {"[Script Info]\n", true},
        {"; a comment\n\n  [SCRIPT INFO]  \nTitle: x\n", true},
        {"[V4 Styles]\n", true},
        {"[v4+ styles]\n", true},
        {"[V4++ Styles]\n", true},
        {"[Events]\n", true},
        // Script info is only taken as the first line that says anything.
        {"Title: x\n[Script Info]\n", false},
        {"[Script Info]\n[Events]\n[Script Info]\n", false},
        {"[Fonts]\n[Graphics]\nTitle: x\n", false},
        {"Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi\n", false},
        {"", false},
    };
    for (const Case& c : cases) {
        Script.Clear();
        EXPECT_EQ(Read(c.Text), c.Accepted) << c.Text;
    }
}

TEST_F(SubStationReaderTest, PlayResolution)
{
    const int maxInt = std::numeric_limits<int>::max();
    struct Case {
        const char* Lines;
        bool Ok;
        SSize Size;
    } cases[] = {
        {"PlayResX: 1280\n", true, {1280, 1024}},
        {"PlayResX: 640\n", true, {640, 480}},
        {"PlayResX: 641\n", true, {641, 480}},
        {"PlayResY: 480\n", true, {640, 480}},
        {"PlayResY: 1024\n", true, {1280, 1024}},
        {"PlayResY: 481\n", true, {641, 481}},
        {"PlayResX: 704\nPlayResY: 396\n", true, {704, 396}},
        {"PlayResY: 396\nPlayResX: 704\n", true, {704, 396}},
        {"PlayResX: 0\nPlayResY: 0\n", true, {0, 0}},
        {"PlayResY: 2147483647\n", true, {maxInt, maxInt}},  // no overflow
        {"PlayResX: 640\nPlayResY: tall\n", false, {0, 0}},
        {"PlayResY: 480\nPlayResX:\n", false, {0, 0}},
    };
    for (const Case& c : cases) {
        Script.scriptSize = {};
        EXPECT_EQ(Read(std::string("[Script Info]\n") + c.Lines), c.Ok) << c.Lines;
        EXPECT_EQ(Script.scriptSize.width, c.Size.width) << c.Lines;
        EXPECT_EQ(Script.scriptSize.height, c.Size.height) << c.Lines;
    }
}

TEST_F(SubStationReaderTest, VideoFile)
{
    struct Case {
        const char* Value;
        bool Ok;
        float Rate;
        SSize Size;
    } cases[] = {
        {"?dummy:23.976000:40000:640:480:47:163:254:", true, 23.976f, {640, 480}},
        {"?dummy:25:100:1920:1080", true, 25, {1920, 1080}},
        // Plain paths are not of that form; the script still loads.
        {"C:\\videos\\film.mkv", true, 0, {0, 0}},
        {"film.mkv", true, 0, {0, 0}},
        {"", true, 0, {0, 0}},
        // What was read before a part that is not a number stays.
        {"name:25:100:wide:480", true, 25, {0, 0}},
        {"name:25:100:640:high", true, 25, {640, 0}},
        {"name:25::640:480", false, 25, {0, 0}},
        {"name:25:", false, 25, {0, 0}},
    };
    for (const Case& c : cases) {
        Script.frameRate = 0;
        Script.videoSize = {};
        EXPECT_EQ(Read(std::string("[Script Info]\nVideo File: ") + c.Value + "\n"), c.Ok)
            << c.Value;
        EXPECT_EQ(Script.frameRate, c.Rate) << c.Value;
        EXPECT_EQ(Script.videoSize.width, c.Size.width) << c.Value;
        EXPECT_EQ(Script.videoSize.height, c.Size.height) << c.Value;
    }
}

TEST_F(SubStationReaderTest, WrapStyleCollisionsAndScaledBorder)
{
    struct Case {
        const char* Line;
        bool Ok;
        int WrapStyle, Collisions;
        bool Scaled;
    } cases[] = {
        {"WrapStyle: 2", true, 2, 0, false},
        {"wrapstyle: &h3", true, 3, 0, false},
        {"WrapStyle: none", false, 1, 0, false},
        {"WrapStyle:", false, 1, 0, false},
        {"Collisions: Reverse", true, 0, 1, false},
        {"Collisions: reverse, later", true, 0, 1, false},
        {"Collisions: Normal", true, 0, 0, false},
        {"Collisions:", true, 0, 0, false},
        {"ScaledBorderAndShadow: yes", true, 0, 0, true},
        {"ScaledBorderAndShadow: YES", true, 0, 0, true},
        {"ScaledBorderAndShadow: no", true, 0, 0, false},
        {"ScaledBorderAndShadow:", true, 0, 0, false},
    };
    for (const Case& c : cases) {
        Script.wrapStyle = Script.collisions = 0;
        Script.scaledBorderAndShadow = false;
        EXPECT_EQ(Read(std::string("[Script Info]\n") + c.Line + "\n"), c.Ok) << c.Line;
        EXPECT_EQ(Script.wrapStyle, c.WrapStyle) << c.Line;
        EXPECT_EQ(Script.collisions, c.Collisions) << c.Line;
        EXPECT_EQ(Script.scaledBorderAndShadow, c.Scaled) << c.Line;
    }
}

// One probe script read under different headers: the style line and the
// dialogue line come out differently in each field layout, which tells the
// layout that was used.
TEST_F(SubStationReaderTest, ScriptTypeAndStyleHeadersChooseLayouts)
{
    struct Case {
        const char* Prelude;
        int StyleVersion, EventVersion;
    } cases[] = {
        {"", 3, 3},
        {"ScriptType: v4.00\n", 4, 4},
        {"ScriptType: SSA 4.00\n", 4, 4},
        {"ScriptType: V4.00+\n", 5, 5},
        {"ScriptType: v4.00++\n", 6, 6},
        {"ScriptType: v4.00+x\n", 3, 3},
        {"ScriptType: v3.0\n", 3, 3},
        {"ScriptType:\n", 3, 3},
        {"[V4+ Styles]\n", 5, 3},
        {"ScriptType: v4.00+\n[V4 Styles]\n", 4, 5},
        {"ScriptType: v4.00\n[V4++ Styles]\n", 6, 4},
    };
    const std::string probe = "Style: P,Arial,20,0,0,0,0,0,0,3,1,2,2,10,20,30,0,1\n"
                              "[Events]\n"
                              "Dialogue: 7,0:00:01.00,0:00:02.00,P,,1,2,3,4,Hello\n";
    // Outline width of the probe style per style layout: 3 has no border
    // style field, 4 has, 5 and 6 read four more fields before it.
    const double outline[] = {3, 1, 0, 0};
    for (const Case& c : cases) {
        Script.Clear();
        ASSERT_TRUE(Read(std::string("[Script Info]\n") + c.Prelude + probe)) << c.Prelude;
        ASSERT_NE(Style("P"), nullptr) << c.Prelude;
        EXPECT_EQ(Style("P")->outlineX, outline[c.StyleVersion - 3]) << c.Prelude;
        ASSERT_EQ(Script.entries.size(), 1u) << c.Prelude;
        const STSEntry& entry = Script.entries[0];
        EXPECT_EQ(entry.layer, c.EventVersion >= 5 ? 7 : 0) << c.Prelude;
        EXPECT_EQ(entry.margins.bottom, c.EventVersion >= 6 ? 4 : 3) << c.Prelude;
        EXPECT_EQ(entry.effect, c.EventVersion >= 6 ? "" : "4") << c.Prelude;
        EXPECT_EQ(entry.text, "Hello") << c.Prelude;
    }
}

TEST_F(SubStationReaderTest, StyleLinesOfEachLayout)
{
    struct Case {
        const char* Name;
        const char* Header;
        const char* Line;
        std::string StyleName;
        STSStyle Expected;
    };
    auto expect = [](auto fill) {
        STSStyle style;
        fill(style);
        return style;
    };
    const Case cases[] = {
        {"SSA", "[V4 Styles]",
         "Style: *Title,Times New Roman,28.5,&H00FFFF,65535,&H00102030,&H80405060,-1,1,3,1.5,"
         "2.5,6,11,12,13,300,134",
         "Title", expect([](STSStyle& s) {
             s.fontName = "Times New Roman";
             s.fontSize = 28.5;
             // SSA's back colour also draws the outline; its top byte is dropped.
             s.colours = {0xFFFF, 0xFFFF, 0x405060, 0x405060};
             s.alphas = {255, 255, 255, 0x80};
             s.weight = 700;
             s.italic = true;
             s.borderStyle = 1;
             s.outlineX = s.outlineY = 1.5;
             s.shadowX = s.shadowY = 2.5;
             s.alignment = 8;
             s.margins = {11, 13, 12, 13};
             s.charSet = 134;
         })},
        {"ASS", "[V4+ Styles]",
         "Style: Sign,Arial,40,&H8000FF00,&H000000FF,&HFF101010,&H7F202020,0,-1,1,1,120.5,80,1.5,"
         "12.5,1,2.5,3.5,7,10,20,30,128",
         "Sign", expect([](STSStyle& s) {
             s.fontSize = 40;
             s.colours = {0xFF00, 0xFF, 0x101010, 0x202020};
             s.alphas = {0x80, 0, 0xFF, 0x7F};
             s.weight = 400;
             s.italic = s.underline = s.strikeOut = true;
             s.scaleX = 120.5;
             s.scaleY = 80;
             s.spacing = 1.5;
             s.angleZ = 12.5;
             s.borderStyle = 0;
             s.outlineX = s.outlineY = 2.5;
             s.shadowX = s.shadowY = 3.5;
             s.alignment = 7;
             s.margins = {10, 30, 20, 30};
             s.charSet = 128;
         })},
        {"ASS negative sizes", "[V4+ Styles]",
         "Style: Neg,Arial,20,0,0,0,0,1,0,0,0,-100,nan,-2,-45,3,-1,-2,5,0,0,0,0", "Neg",
         expect([](STSStyle& s) {
             s.fontSize = 20;
             s.colours = {0, 0, 0, 0};
             s.alphas = {0, 0, 0, 0};
             s.scaleX = s.scaleY = s.spacing = 0;
             s.angleZ = -45;
             s.borderStyle = 1;
             s.outlineX = s.outlineY = s.shadowX = s.shadowY = 0;
             s.alignment = 5;
             s.margins = {0, 0, 0, 0};
             s.charSet = 0;
         })},
        {"4.00++", "[V4++ Styles]",
         "Style: Top,Arial,20,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,3,"
         "2,2,8,10,20,30,40,1,0",
         "Top", expect([](STSStyle& s) {
             s.fontSize = 20;
             s.colours = {0xFFFFFF, 0xFF, 0, 0};
             s.alphas = {0, 0, 0, 0x80};
             s.weight = 400;
             s.borderStyle = 1;
             s.outlineX = s.outlineY = s.shadowX = s.shadowY = 2;
             s.alignment = 8;
             s.margins = {10, 30, 20, 40};
             s.charSet = 1;
             s.positionBase = 0;
         })},
    };
    for (const Case& c : cases) {
        Script.Clear();
        ASSERT_TRUE(Read(std::string(c.Header) + "\n" + c.Line + "\n")) << c.Name;
        const STSStyle* style = Style(c.StyleName);
        ASSERT_NE(style, nullptr) << c.Name;
        EXPECT_TRUE(SameStyle(*style, c.Expected)) << c.Name;
        // Fields SameStyle leaves out.
        EXPECT_EQ(style->shearX, 0) << c.Name;
        EXPECT_EQ(style->angleX, 0) << c.Name;
        EXPECT_EQ(style->angleY, 0) << c.Name;
        // Spelled out, so that a failure names the field.
        EXPECT_EQ(style->colours, c.Expected.colours) << c.Name;
        EXPECT_EQ(style->alphas, c.Expected.alphas) << c.Name;
        EXPECT_EQ(style->margins, c.Expected.margins) << c.Name;
        EXPECT_EQ(style->alignment, c.Expected.alignment) << c.Name;
        EXPECT_EQ(style->borderStyle, c.Expected.borderStyle) << c.Name;
        EXPECT_EQ(style->charSet, c.Expected.charSet) << c.Name;
        EXPECT_EQ(style->positionBase, c.Expected.positionBase) << c.Name;
        EXPECT_EQ(style->fontName, c.Expected.fontName) << c.Name;
    }
}

TEST_F(SubStationReaderTest, SsaAlignmentAndAlphaLevel)
{
    struct Case {
        int Ssa, Keypad, AlphaLevel, Alpha;
    } cases[] = {
        {1, 1, 0, 0}, {2, 2, 128, 128}, {3, 3, 255, 255}, {5, 7, 300, 255}, {6, 8, -5, 0},
        {7, 9, 0, 0}, {9, 4, 0, 0},     {10, 5, 0, 0},    {11, 6, 0, 0},
    };
    for (const Case& c : cases) {
        Script.Clear();
        const std::string line = "Style: S,Arial,20,0,0,0,0,0,0,1,2,2," + std::to_string(c.Ssa) +
                                 ",10,10,10," + std::to_string(c.AlphaLevel) + ",0";
        ASSERT_TRUE(Read("[V4 Styles]\n" + line + "\n")) << line;
        ASSERT_NE(Style("S"), nullptr) << line;
        EXPECT_EQ(Style("S")->alignment, c.Keypad) << line;
        const std::uint8_t a = static_cast<std::uint8_t>(c.Alpha);
        EXPECT_EQ(Style("S")->alphas, (std::array<std::uint8_t, 4>{a, a, a, 0x80})) << line;
    }
}

TEST_F(SubStationReaderTest, StyleNamesKeepCaseAndUnicodeNamesAreNarrowed)
{
    ASSERT_TRUE(Read("\xEF\xBB\xBF[V4+ Styles]\n"
                     "Style: default,Arial,20,0,0,0,0,0,0,0,0,100,100,0,0,1,2,2,2,0,0,0,1\n"
                     "Style: T\xC3\xAFtle,\xC3\x9C"
                     "ber,20,0,0,0,0,0,0,0,0,100,100,0,0,1,2,2,2,0,0,0,1\n"));
    EXPECT_NE(Style("default"), nullptr);
    EXPECT_EQ(Style("Default"), nullptr);
    ASSERT_NE(Style("T\xEFtle"), nullptr);
    EXPECT_EQ(Style("T\xEFtle")->fontName, "\xDC"
                                           "ber");
}

TEST_F(SubStationReaderTest, StyleLinesThatCannotBeReadAreLeftOut)
{
    const char* lines[] = {
        "Style:",
        "Style: OnlyName",
        "Style: S,Arial,big,0,0,0,0,0,0,0,0,100,100,0,0,1,2,2,2,0,0,0,1",
        "Style: S,Arial,20,white,0,0,0,0,0,0,0,100,100,0,0,1,2,2,2,0,0,0,1",
        "Style: S,Arial,20,0,0,0,0,0,0,0,0,100,100,0,0,1,2,2,left,0,0,0,1",
        "Style: S,Arial,20,0,0,0,0,0,0,0,0,100,100,0,0,1,2,2,2,0,0,0,",
    };
    for (const char* line : lines) {
        Script.Clear();
        EXPECT_TRUE(Read(std::string("[V4+ Styles]\n") + line + "\n")) << line;
        EXPECT_EQ(Style("S"), nullptr) << line;
        EXPECT_EQ(Script.readWarnings, std::vector<QString>{"line 2: skipped, style not readable"})
            << line;
    }
}

TEST_F(SubStationReaderTest, DialogueLinesOfEachLayout)
{
    struct Case {
        const char* Name;
        const char* Prelude;
        const char* Line;
        STSEntry Expected;
    } cases[] = {
        {"ASS hundredths",
         "ScriptType: v4.00+\n",
         "Dialogue: 0,0:00:01.5,0:00:02.00,Default,,0,0,0,,Hi",
         {"Hi", false, "Default", "", "", {0, 0, 0, 0}, 0, 1050, 2000, 0}},
        {"ASS every field",
         "ScriptType: v4.00+\n",
         "Dialogue: 2,1:02:03.45,1:02:04.00,*default,Bob,0010,0020,0030,Scroll up;10,Hello, "
         "world,, again",
         {"Hello, world,, again",
          false,
          "Default",
          "Bob",
          "Scroll up;10",
          {10, 30, 20, 30},
          2,
          3723450,
          3724000,
          0}},
        {"ASS without effect field",
         "ScriptType: v4.00+\n",
         "Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,Hello",
         {"Hello", false, "Default", "", "", {0, 0, 0, 0}, 0, 0, 1000, 0}},
        {"effect that starts the text",
         "ScriptType: v4.00+\n",
         "Dialogue: 0,0:00:00.00,0:00:01.00,Sing,,0,0,0,Karaoke,Karaoke night",
         {"Karaoke night", false, "Sing", "", "Karaoke", {0, 0, 0, 0}, 0, 0, 1000, 0}},
        {"SSA",
         "ScriptType: v4.00\n",
         "Dialogue: Marked=1,0:00:01.00,0:00:02.00,Sub,Ann,1,2,3,,Text",
         {"Text", false, "Sub", "Ann", "", {1, 3, 2, 3}, 0, 1000, 2000, 0}},
        {"4.00++",
         "ScriptType: v4.00++\n",
         "Dialogue: 3,0:00:01.00,0:00:02.00,Sub,,1,2,3,4,Eff,Text",
         {"Text", false, "Sub", "", "Eff", {1, 3, 2, 4}, 3, 1000, 2000, 0}},
        {"no script type",
         "",
         "Dialogue: 5,0:00:01.00,0:00:02.00,DEFAULTS,,0,0,0,,x",
         {"x", false, "DEFAULTS", "", "", {0, 0, 0, 0}, 0, 1000, 2000, 0}},
        {"absurd times",
         "ScriptType: v4.00+\n",
         "Dialogue: 0,999999:00:00.00,999999:00:00.00,Default,,0,0,0,,late",
         {"late",
          false,
          "Default",
          "",
          "",
          {0, 0, 0, 0},
          0,
          std::numeric_limits<int>::max(),
          std::numeric_limits<int>::max(),
          0}},
    };
    for (const Case& c : cases) {
        Script.Clear();
        ASSERT_TRUE(Read(std::string("[Script Info]\n") + c.Prelude + "[Events]\n" + c.Line + "\n"))
            << c.Name;
        ASSERT_EQ(Script.entries.size(), 1u) << c.Name;
        const STSEntry& e = Script.entries[0];
        EXPECT_EQ(e.text, c.Expected.text) << c.Name;
        EXPECT_EQ(e.unicodeText, c.Expected.unicodeText) << c.Name;
        EXPECT_EQ(e.style, c.Expected.style) << c.Name;
        EXPECT_EQ(e.actor, c.Expected.actor) << c.Name;
        EXPECT_EQ(e.effect, c.Expected.effect) << c.Name;
        EXPECT_EQ(e.margins, c.Expected.margins) << c.Name;
        EXPECT_EQ(e.layer, c.Expected.layer) << c.Name;
        EXPECT_EQ(e.start, c.Expected.start) << c.Name;
        EXPECT_EQ(e.end, c.Expected.end) << c.Name;
    }
}

TEST_F(SubStationReaderTest, DialogueLinesThatCannotBeReadAreLeftOut)
{
    const char* lines[] = {
        "Dialogue:",
        "Dialogue: x,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi",
        "Dialogue: 0,0:00:xx.00,0:00:02.00,Default,,0,0,0,,Hi",
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,left,0,0,,Hi",
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,Hi",
    };
    for (const char* line : lines) {
        Script.Clear();
        EXPECT_TRUE(Read(std::string("[Script Info]\nScriptType: v4.00+\n[Events]\n"
                                     "Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,First\n") +
                         line + "\nDialogue: 0,0:00:05.00,0:00:06.00,Default,,0,0,0,,Last\n"))
            << line;
        ASSERT_EQ(Script.entries.size(), 2u) << line;
        EXPECT_EQ(Script.entries[0].text, "First") << line;
        EXPECT_EQ(Script.entries[1].text, "Last") << line;
        const QString reason =
            QString(line).contains("xx") ? "no valid time" : "dialogue not readable";
        EXPECT_EQ(Script.readWarnings, std::vector<QString>{"line 5: skipped, " + reason}) << line;
    }
}

TEST_F(SubStationReaderTest, LinesReadByAShortFormatLine)
{
    struct Case {
        const char* Name;
        const char* Script;
        std::vector<std::pair<std::int32_t, std::int32_t>> Times;
        std::vector<QString> Texts;
        std::vector<QString> Warnings;
    } cases[] = {
        {"events without name, margins and effect",
         "[Events]\nFormat: Layer, Start, End, Style, Text\n"
         "Dialogue: 0,0:00:01.00,0:00:02.50,Default,Hello, world\n",
         {{1000, 2500}},
         {"Hello, world"},
         {}},
        {"times and text only",
         "[Events]\nFormat: Start, End, Text\nDialogue: 0:00:01.00,0:00:02.00,a\n",
         {{1000, 2000}},
         {"a"},
         {}},
        {"colon before the hundredths, and no hundredths",
         "[Script Info]\nScriptType: v4.00+\n[Events]\n"
         "Dialogue: 0,0:00:04:56,0:00:06,Default,,0,0,0,,a\n",
         {{4560, 6000}},
         {"a"},
         {}},
        {"negative times start at 0",
         "[Script Info]\nScriptType: v4.00+\n[Events]\n"
         "Dialogue: 0,-0:00:01.00,0:00:02.00,Default,,0,0,0,,a\n",
         {{0, 2000}},
         {"a"},
         {"line 4: negative time clamped to 0"}},
        {"times that cannot be read",
         "[Events]\nFormat: Layer, Start, End, Style, Name, Text\n"
         "Dialogue: 0,Invalid,0:00:01.23,Default,Olly,a\n"
         "Dialogue: 0,          ,0:00:10:90,Default,Olly,b\n"
         "Dialogue: 0,0:00:04:56,0:00:08:90,Default,Olly,c, with a comma\n",
         {{4560, 8900}},
         {"c, with a comma"},
         {"line 3: skipped, no valid time", "line 4: skipped, no valid time"}},
        {"a line short even of its format",
         "[Events]\nFormat: Layer, Start, End, Style, Text\n"
         "Dialogue: 0,0:00:01.00,0:00:02.00\n"
         "Dialogue: 0,0:00:03.00,0:00:04.00,Default,b\n",
         {{3000, 4000}},
         {"b"},
         {"line 3: skipped, dialogue not readable"}},
    };
    for (const Case& c : cases) {
        Script.Clear();
        ASSERT_TRUE(Read(c.Script)) << c.Name;
        std::vector<std::pair<std::int32_t, std::int32_t>> times;
        std::vector<QString> texts;
        for (const STSEntry& entry : Script.entries) {
            times.emplace_back(entry.start, entry.end);
            texts.push_back(entry.text);
        }
        EXPECT_EQ(times, c.Times) << c.Name;
        EXPECT_EQ(texts, c.Texts) << c.Name;
        EXPECT_EQ(Script.readWarnings, c.Warnings) << c.Name;
    }
}

TEST_F(SubStationReaderTest, StylesReadByAShortFormatLine)
{
    ASSERT_TRUE(Read("[V4+ Styles]\n"
                     "Format: Name, Fontname, Fontsize, PrimaryColour, Bold, Alignment\n"
                     "Style: Sign,Liberation Sans,36,&H0000FF00,-1,8\n"));
    const STSStyle* style = Style("Sign");
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->fontName, "Liberation Sans");
    EXPECT_EQ(style->fontSize, 36);
    EXPECT_EQ(style->colours[0], 0xFF00u);
    EXPECT_EQ(style->weight, 700);
    EXPECT_EQ(style->alignment, 8);
    // The fields the format leaves out keep their defaults.
    const STSStyle defaults;
    EXPECT_EQ(style->margins, defaults.margins);
    EXPECT_EQ(style->outlineX, defaults.outlineX);
    EXPECT_EQ(style->charSet, defaults.charSet);
    EXPECT_TRUE(Script.readWarnings.empty());
}

TEST_F(SubStationReaderTest, CommentsAndOtherKeysAreSkipped)
{
    ASSERT_TRUE(
        Read("; Script generated by hand\n"
             "[Script Info]\n"
             "Title: Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,no\n"
             "[Events]\n"
             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
             "; Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,commented out\n"
             "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,a comment line\n"
             "Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,Shown\n"));
    ASSERT_EQ(Script.entries.size(), 1u);
    EXPECT_EQ(Script.entries[0].text, "Shown");
}

// A section that follows font data without an empty line still counts.
TEST_F(SubStationReaderTest, SectionAfterFontDataIsRead)
{
    ASSERT_TRUE(Read("[Script Info]\n"
                     "ScriptType: v4.00+\n"
                     "[Fonts]\n"
                     "fontname: a.ttf\n"
                     "[9:/?E]G0!I*$Q1-\n"
                     "[V4 Styles]\n"
                     "Style: S,Arial,20,0,0,0,0,0,0,1,2,2,6,10,10,10,0,0\n"
                     "[Events]\n"
                     "Dialogue: 0,0:00:00.00,0:00:01.00,S,,0,0,0,,After\n"));
    ASSERT_NE(Style("S"), nullptr);
    EXPECT_EQ(Style("S")->alignment, 8);  // read in the SSA layout
    ASSERT_EQ(Script.entries.size(), 1u);
    EXPECT_EQ(Script.entries[0].text, "After");
}

TEST_F(SubStationReaderTest, AttachedImagesScriptLoads)
{
    ASSERT_TRUE(ReadPath(FixturesDir + "subtitle_with_attached_images_aegisub.ass"));
    EXPECT_TRUE(Script.scaledBorderAndShadow);
    ASSERT_NE(Style("Default"), nullptr);
    EXPECT_EQ(Style("Default")->fontName, "Arial");
    EXPECT_EQ(Style("Default")->fontSize, 48);
    EXPECT_EQ(Script.styles.size(), 1u);
    // Its one event has no text.
    EXPECT_TRUE(Script.entries.empty());
}

// This program has no GUI application object: the fonts cannot be
// installed, and that must not get in the way of the script.
TEST_F(SubStationReaderTest, AttachedFontsScriptLoadsWithoutAFontDatabase)
{
    QFile font(FixturesDir + "EBGaramond08-Regular.ttf");
    ASSERT_TRUE(font.open(QIODevice::ReadOnly));
    QStringList families{"stale"};
    EXPECT_FALSE(InstallFontFromMemory(font.readAll(), families));
    EXPECT_TRUE(families.isEmpty());

    ASSERT_TRUE(ReadPath(FixturesDir + "subtitle_with_attached_fonts_aegisub.ass"));
    ASSERT_EQ(Script.entries.size(), 1u);
    EXPECT_EQ(Script.entries[0].text, "Test subtitle.");
    EXPECT_TRUE(Script.entries[0].unicodeText);
    EXPECT_EQ(Script.entries[0].end, 5000);
}

TEST_F(SubStationReaderTest, SurvivesHostileInput)
{
    std::mt19937 random(20240611);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    const std::string dialogue = "Dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,";

    std::vector<std::string> inputs = {
        "",
        noise,
        "[Script Info]\n" + noise,
        "[Script Info]\nfontname: x.ttf\n" + noise,
        std::string("[Script Info]\0\0\n[Events]\n\0Dialogue: \0\0,\0\n", 33),
        std::string(4096, '\0'),
        "[Events]\n" + dialogue + std::string(10 * 1024 * 1024, 'x'),
        "[Events]\nDialogue: " + std::string(10 * 1024 * 1024, ','),
        "[V4+ Styles]\nStyle: " + std::string(10 * 1024 * 1024, '9'),
        "[Script Info]\nfontname: x.ttf\n" + std::string(10 * 1024 * 1024, '['),
    };
    for (const std::string& input : inputs) {
        Script.Clear();
        Read(input);  // any answer, as long as there is one
    }

    // Every cut through a real script.
    QFile real(FixturesDir + "subtitle_with_attached_images_aegisub.ass");
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray whole = real.readAll();
    for (qsizetype cut = 0; cut < whole.size(); cut += 7) {
        Script.Clear();
        Read(whole.left(cut).toStdString());
    }
    Script.Clear();
    EXPECT_TRUE(Read(whole.left(whole.indexOf("[Events]")).toStdString()));
}
