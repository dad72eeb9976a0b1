#include "formats/SimpleTextSubtitle.h"

#include "support/RecordedMessages.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void Add(CSimpleTextSubtitle& script, const QString& text, int start = 1000, int end = 2000,
         const std::string& style = "Default")
{
    script.AddEntry(text, true, start, end, style, "", "", 0, {});
}

std::unique_ptr<STSStyle> StyleWithFont(const std::string& font, double size = 24)
{
    auto style = std::make_unique<STSStyle>();
    style->fontName = font;
    style->fontSize = size;
    return style;
}

}  // namespace

TEST(SimpleTextSubtitle, AddEntryNormalises)
{
    struct Case {
        const char* Name;
        QString Text;
        int Start, End;
        std::string Style;
        bool Added;
        QString Stored;
        std::string StoredStyle;
    } cases[] = {
        {"plain", "Hello", 1000, 2000, "Main", true, "Hello", "Main"},
        {"trimmed", "  \t Hello \r\n", 1000, 2000, "Main", true, "Hello", "Main"},
        {"only white space", " \n \r\n\t", 1000, 2000, "Main", false, "", ""},
        {"reversed times", "Hello", 5000, 4000, "Main", false, "", ""},
        {"no duration", "Hello", 3000, 3000, "Main", true, "Hello", "Main"},
        {"line breaks", QString("a\r\nb\nc"), 0, 10, "Main", true, "a\\Nb\\Nc", "Main"},
        {"stars", "x", 0, 10, "**Title", true, "x", "Title"},
        {"empty style", "x", 0, 10, "", true, "x", "Default"},
        {"only stars", "x", 0, 10, "**", true, "x", ""},
        {"ideographic space trimmed", QString::fromUtf16(u"\u3000x\u3000"), 0, 10, "Main", true,
         "x", "Main"},
    };
    for (const Case& c : cases) {
        CSimpleTextSubtitle script;
        script.AddEntry(c.Text, true, c.Start, c.End, c.Style, "actor", "effect", 3, {1, 2, 3, 4});
        ASSERT_EQ(script.entries.size(), c.Added ? 1u : 0u) << c.Name;
        if (!c.Added)
            continue;
        const STSEntry& e = script.entries[0];
        EXPECT_EQ(e.text, c.Stored) << c.Name;
        EXPECT_EQ(e.style, c.StoredStyle) << c.Name;
        EXPECT_EQ(e.actor, "actor");
        EXPECT_EQ(e.effect, "effect");
        EXPECT_EQ(e.layer, 3);
        EXPECT_EQ(e.margins, (SMargins{1, 2, 3, 4}));
        EXPECT_EQ(e.readOrder, 0);
    }
}

TEST(SimpleTextSubtitle, ByteValuedTextKeepsHighBytesAtItsEnds)
{
    // 0xA0 may be the second byte of a double-byte character.
    CSimpleTextSubtitle script;
    const QString bytes = QString(QChar(0xB0)) + QChar(0xA0) + " ";
    script.AddEntry(bytes, false, 0, 10, "", "", "", 0, {});
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_EQ(script.entries[0].text, QString(QChar(0xB0)) + QChar(0xA0));
    EXPECT_FALSE(script.entries[0].unicodeText);
}

TEST(SimpleTextSubtitle, ReadOrderCountsEntries)
{
    CSimpleTextSubtitle script;
    Add(script, "a");
    Add(script, " ");  // not added, not counted
    Add(script, "b");
    script.AddEntry("c", true, 0, 1, "", "", "", 0, {}, 17);
    ASSERT_EQ(script.entries.size(), 3u);
    EXPECT_EQ(script.entries[0].readOrder, 0);
    EXPECT_EQ(script.entries[1].readOrder, 1);
    EXPECT_EQ(script.entries[2].readOrder, 17);
}

TEST(SimpleTextSubtitle, RegisteringClashingStyles)
{
    CSimpleTextSubtitle script;
    script.RegisterStyle("", StyleWithFont("First"));
    Add(script, "before", 0, 10, "Default");
    script.RegisterStyle("Default", StyleWithFont("Second"));
    Add(script, "after", 20, 30, "Default");
    ASSERT_EQ(script.styles.size(), 2u);
    EXPECT_EQ(script.styles.at("Default")->fontName, "Second");
    EXPECT_EQ(script.styles.at("Default2")->fontName, "First");
    EXPECT_EQ(script.entries[0].style, "Default2");
    EXPECT_EQ(script.entries[1].style, "Default");

    // A third "Default" pushes the second to the next free number.
    script.RegisterStyle("Default", StyleWithFont("Third"));
    EXPECT_EQ(script.styles.at("Default3")->fontName, "Second");
    EXPECT_EQ(script.entries[1].style, "Default3");

    // An identical copy leaves the stored object where it is.
    const STSStyle* stored = script.styles.at("Default").get();
    script.RegisterStyle("Default", StyleWithFont("Third"));
    EXPECT_EQ(script.styles.at("Default").get(), stored);
    EXPECT_EQ(script.styles.size(), 3u);

    struct Case {
        std::vector<std::string> Existing;
        std::string Name;
        std::string MovedTo;
    } numbered[] = {
        {{"Top3", "Top4"}, "Top3", "Top5"},
        {{"Sign10"}, "Sign10", "Sign11"},
        {{"Sign"}, "Sign", "Sign2"},
        {{"9"}, "9", "10"},
        {{"x12345678901234567890"}, "x12345678901234567890", "x123456789012345678902"},
    };
    for (const Case& c : numbered) {
        CSimpleTextSubtitle s;
        for (const std::string& name : c.Existing)
            s.RegisterStyle(name, StyleWithFont("Old"));
        s.RegisterStyle(c.Name, StyleWithFont("New"));
        ASSERT_TRUE(s.styles.count(c.MovedTo)) << c.Name;
        EXPECT_EQ(s.styles.at(c.MovedTo)->fontName, "Old") << c.Name;
        EXPECT_EQ(s.styles.at(c.Name)->fontName, "New") << c.Name;
    }

    // Names differ by case.
    CSimpleTextSubtitle cased;
    cased.RegisterStyle("default", StyleWithFont("Lower"));
    cased.RegisterStyle("Default", StyleWithFont("Upper"));
    EXPECT_EQ(cased.styles.size(), 2u);
}

TEST(SimpleTextSubtitle, UnknownStylesWarnOncePerNameUntilCancelled)
{
    for (bool ok : {true, false}) {
        CRecordedMessages messages;
        messages.AnswerOk = ok;
        CSimpleTextSubtitle script;
        script.EnsureDefaultStyle(1);
        for (const char* style : {"Sign", "Note", "Sign", "Sign", "Note", "Default"})
            Add(script, "x", 0, 10, style);
        script.ReplaceUnknownStyles();
        for (const STSEntry& entry : script.entries)
            EXPECT_EQ(entry.style, "Default");
        const QString tail =
            "\", changed to \"Default\"!\n\nPress Cancel to ignore further warnings.";
        std::vector<QString> expected{"Warning|Unknown style found: \"Sign" + tail};
        if (ok)
            expected.push_back("Warning|Unknown style found: \"Note" + tail);
        EXPECT_EQ(messages.Asked, expected) << ok;
    }
}

TEST(SimpleTextSubtitle, DefaultStyleAndResolution)
{
    CSimpleTextSubtitle script;
    STSStyle* generated = script.EnsureDefaultStyle(134);
    ASSERT_NE(generated, nullptr);
    EXPECT_TRUE(script.defaultStyleGenerated);
    EXPECT_EQ(generated->charSet, 134);
    EXPECT_EQ(generated->fontName, "Arial");
    EXPECT_EQ(script.EnsureDefaultStyle(1), generated);
    EXPECT_FALSE(script.defaultStyleGenerated);

    generated->positionBase = 1;
    auto sign = StyleWithFont("Sign");
    sign->charSet = 128;
    script.RegisterStyle("Sign", std::move(sign));
    auto fixed = StyleWithFont("Fixed");
    fixed->positionBase = 0;
    script.RegisterStyle("Fixed", std::move(fixed));
    Add(script, "a", 0, 10, "Sign");
    Add(script, "b", 0, 10, "Fixed");
    Add(script, "c", 0, 10, "Missing");

    STSStyle out;
    ASSERT_TRUE(script.ResolveStyle(0, out));
    EXPECT_EQ(out.fontName, "Sign");
    EXPECT_EQ(out.positionBase, 1);  // 2 takes the Default style's
    ASSERT_TRUE(script.ResolveStyle(1, out));
    EXPECT_EQ(out.positionBase, 0);
    ASSERT_TRUE(script.ResolveStyle(2, out));
    EXPECT_EQ(out.fontName, "Arial");
    EXPECT_EQ(script.EntryCharSet(0), 128);
    EXPECT_EQ(script.EntryCharSet(2), 134);
    EXPECT_THROW(script.ResolveStyle(3, out), std::out_of_range);
    EXPECT_THROW(script.EntryText(-1), std::out_of_range);

    // Without any style a Default is made on the way.
    CSimpleTextSubtitle bare;
    Add(bare, "x", 0, 10, "Nothing");
    EXPECT_EQ(bare.EntryCharSet(0), 1);
    EXPECT_EQ(bare.styles.count("Default"), 1u);
}

TEST(SimpleTextSubtitle, StyleComparisonAndFontDescription)
{
    STSStyle a;
    STSStyle b;
    EXPECT_TRUE(SameStyle(a, b));
    b.shearX = 3;  // not compared
    EXPECT_TRUE(SameStyle(a, b));
    b.alphas[3] = 0;
    EXPECT_FALSE(SameStyle(a, b));
    EXPECT_TRUE(SameFont(a, b));
    b = a;
    b.angleY = 1;
    EXPECT_FALSE(SameFont(a, b));
    EXPECT_FALSE(SameStyle(a, b));

    STSStyle style;
    style.fontName = std::string(40, 'F');
    style.fontSize = 41.5;
    style.weight = 400;
    style.italic = true;
    style.charSet = 0x186;
    SFontDescription font;
    ToFontDescription(style, font);
    EXPECT_EQ(font.faceName, std::string(31, 'F'));
    EXPECT_EQ(font.height, 42);
    EXPECT_EQ(font.weight, 400);
    EXPECT_EQ(font.italic, 255);
    EXPECT_EQ(font.underline, 0);
    EXPECT_EQ(font.charSet, 0x86);

    for (double size : {1e300, -1e300, HUGE_VAL, std::nan("")}) {
        style.fontSize = size;
        ToFontDescription(style, font);
        EXPECT_TRUE(size > 0 ? font.height == 2147483647 : font.height <= 0) << size;
    }
}

TEST(SimpleTextSubtitle, ClearKeepsWhereTheScriptCameFrom)
{
    CSimpleTextSubtitle script;
    script.name = "en";
    script.path = "/a/b.ass";
    script.timingMode = Frames;
    script.sourceEncoding = Utf8;
    script.scriptSize = {640, 480};
    script.videoSize = {1920, 1080};
    script.frameRate = 25;
    script.wrapStyle = 2;
    script.collisions = 1;
    script.scaledBorderAndShadow = true;
    script.EnsureDefaultStyle(1);
    Add(script, "x");
    script.Clear();
    EXPECT_TRUE(script.entries.empty());
    EXPECT_TRUE(script.styles.empty());
    EXPECT_EQ(script.videoSize, (SSize{0, 0}));
    EXPECT_EQ(script.frameRate, 0);
    EXPECT_EQ(script.name, "en");
    EXPECT_EQ(script.path, "/a/b.ass");
    EXPECT_EQ(script.timingMode, Frames);
    EXPECT_EQ(script.sourceEncoding, Utf8);
    EXPECT_EQ(script.scriptSize, (SSize{640, 480}));
    EXPECT_EQ(script.wrapStyle, 2);
    EXPECT_EQ(script.collisions, 1);
    EXPECT_TRUE(script.scaledBorderAndShadow);
}
