#include "ReaderTestSupport.h"
#include "formats/MicroDvdText.h"
#include "formats/Readers.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

bool ReadMicroDvdBytes(const QByteArray& bytes, CSimpleTextSubtitle& script, int charSet = 1)
{
    return ReadBytes(ReadMicroDvd, bytes, script, charSet);
}

struct SExpected {
    std::string text;
    std::int32_t start;
    std::int32_t end;
    std::string style = "Default";
};

struct SCase {
    const char* name;
    QByteArray input;
    bool accepted;
    std::vector<SExpected> entries;
    // What the reader recovered from; none for a clean text.
    std::vector<std::string> warnings = {};
};

std::vector<std::string> Warnings(const CSimpleTextSubtitle& script)
{
    std::vector<std::string> texts;
    for (const QString& warning : script.readWarnings)
        texts.push_back(warning.toStdString());
    return texts;
}

void RunCases(const std::vector<SCase>& cases)
{
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSimpleTextSubtitle script;
        EXPECT_EQ(ReadMicroDvdBytes(c.input, script), c.accepted);
        EXPECT_EQ(Warnings(script), c.warnings);
        ASSERT_EQ(script.entries.size(), c.entries.size());
        for (std::size_t i = 0; i < c.entries.size(); ++i) {
            SCOPED_TRACE("entry " + std::to_string(i));
            const STSEntry& entry = script.entries[i];
            EXPECT_EQ(U8(entry.text), c.entries[i].text);
            EXPECT_EQ(entry.start, c.entries[i].start);
            EXPECT_EQ(entry.end, c.entries[i].end);
            EXPECT_EQ(entry.style, c.entries[i].style);
            EXPECT_EQ(entry.layer, 0);
            EXPECT_EQ(entry.margins, SMargins{});
        }
    }
}

constexpr std::int32_t MaxFrame = std::numeric_limits<std::int32_t>::max();

}  // namespace

TEST(MicroDvdReader, ReadsFrameTimesAndOpenEnds)
{
    RunCases({
        {"two frame numbers", "{10}{20}Hello\n", true, {{"Hello", 10, 20}}},
        {"CRLF, white space and empty lines",
         "  {10}{20}a  \r\n\r\n{30}{40}b\r\n",
         true,
         {{"a", 10, 20}, {"b", 30, 40}}},
        {"an open end is cut at the next start",
         "{10}{}A\n{50}{90}B\n",
         true,
         {{"A", 10, 50}, {"B", 50, 90}}},
        {"an open end lasts 60 frames at most",
         "{10}{}A\n{100}{120}B\n",
         true,
         {{"A", 10, 70}, {"B", 100, 120}}},
        {"only the entry after the open end is cut",
         "{10}{}A\n{20}{90}B\n{30}{40}C\n",
         true,
         {{"A", 10, 20}, {"B", 20, 90}, {"C", 30, 40}}},
        {"the last open end keeps its 60 frames", "{10}{}A\n", true, {{"A", 10, 70}}},
        {"an end that is not a number is an open end",
         "{10}{x}A\n{30}{40}B\n",
         true,
         {{"A", 10, 30}, {"B", 30, 40}}},
        {"negative frames start at frame 0",
         "{10}{20}a\n{-5}{30}x\n{-9}{-2}y\n",
         true,
         {{"a", 10, 20}, {"x", 0, 30}, {"y", 0, 0}},
         {"line 2: negative time clamped to 0", "line 3: negative time clamped to 0"}},
        {"an open end stays within 32 bits",
         "{2147483647}{}x\n",
         true,
         {{"x", MaxFrame, MaxFrame}}},
        {"no second brace leaves no text", "{10}{20}a\n{30}x\n", true, {{"a", 10, 20}}},
    });
}

TEST(MicroDvdReader, RejectsLinesOfOtherFormats)
{
    RunCases({
        {"empty file", "", false, {}},
        {"prose", "Hello\n", false, {}},
        {"SubRip", "1\n00:00:01,000 --> 00:00:02,000\nx\n", false, {}},
        {"SubStation", "[Script Info]\n", false, {}},
        {"empty braces", "{}x\n", false, {}},
        {"unclosed brace", "{abc\n", false, {}},
        {"brace not at the start", "x{a}b\n", false, {}},
        {"style definitions only", "{DEFAULT}{s:30}\n", false, {}},
    });
}

TEST(MicroDvdReader, SkipsDamagedLinesAmongGoodOnes)
{
    RunCases({
        {"frame number past 32 bits",
         "{10}{20}A\n{99999999999}{100}B\n",
         true,
         {{"A", 10, 20}},
         {"line 2: skipped, no valid time"}},
        {"prose after an entry",
         "{10}{20}A\nHello\n\n{30}{40}B\n",
         true,
         {{"A", 10, 20}, {"B", 30, 40}},
         {"line 2: skipped, no valid time"}},
        {"a skipped line keeps the open end of a style line",
         "{10}{20}A\n{sign}{p:0}\nnoise\n{30}{200}B\n{40}{50}C\n",
         true,
         {{"A", 10, 20}, {"B", 30, 40, "Sign"}, {"C", 40, 50, "Sign"}},
         {"line 3: skipped, no valid time"}},
    });
}

TEST(MicroDvdReader, TranslatesCodesIntoOverrideTags)
{
    const std::vector<std::pair<QString, std::string>> cases = {
        {"{y:i}one|two", "{\\i1}one{\\i}\\Ntwo"},
        {"{Y:i}one|two", "{\\i1}one\\Ntwo"},
        {"{y:bius}a|b", "{\\b1\\i1\\u1\\s1}a{\\b}{\\i}{\\u}{\\s}\\Nb"},
        {"{y:b}{Y:b}a|b", "{\\b1}{\\b1}a\\Nb"},
        {"{c:$0000FF}a|b", "{\\c&Hff&}a{\\c}\\Nb"},
        {"{C:$FF0000}{f:Times New Roman}{s:30}{h:128}x|y",
         "{\\c&Hff0000&}{\\fnTimes New Roman}{\\fs30.000000}{\\fe128}x{\\fn}{\\fs}{\\fe}\\Ny"},
        {"{s:12.5}x", "{\\fs12.500000}x"},
        {"{o:100,200}x", "{\\move(100,200,0,0,0,0)}x"},
        {"{O:-5;7}x", "{\\move(-5,7,0,0,0,0)}x"},
        {"{q:1}x", "{q:1x"},
        {"{p:0}x", "{p:0x"},
        {"a|{y:u}b|c", "a\\N{\\u1}b{\\u}\\Nc"},
        {"a|", "a\\N"},
        {"{y:i", "{\\i1}"},
        {"plain}text", "plain}text"},
        // Numbers that do not read drop their code.
        {"{c:$zz}{s:big}{h:}{o:1}{o:x,2}a", "a"},
        {"{s:inf}{s:1e99}a", "a"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(U8(MicroDvdToScriptText(text, true, 1)), expected) << U8(text);
}

TEST(MicroDvdReader, ParsesStyleDefinitions)
{
    const std::unique_ptr<STSStyle> style =
        ParseMicroDvdStyle("{C:$00ff00}{f:Times}{s:30.5}{h:128}{Y:bu}{p:1}{q:9}");
    EXPECT_EQ(style->colours[0], 0x00FF00u);
    EXPECT_EQ(style->fontName, "Times");
    EXPECT_EQ(style->fontSize, 30.5);
    EXPECT_EQ(style->charSet, 128);
    EXPECT_EQ(style->weight, 700);
    EXPECT_FALSE(style->italic);
    EXPECT_TRUE(style->underline);
    EXPECT_FALSE(style->strikeOut);
    EXPECT_EQ(style->alignment, 2);

    const STSStyle defaults;
    const std::unique_ptr<STSStyle> top = ParseMicroDvdStyle("{p:0}{y:is}");
    EXPECT_EQ(top->alignment, 8);
    EXPECT_TRUE(top->italic);
    EXPECT_TRUE(top->strikeOut);
    EXPECT_EQ(top->weight, defaults.weight);

    // A field whose number does not read keeps its default.
    const std::unique_ptr<STSStyle> broken = ParseMicroDvdStyle("{c:$}{s:x}{h:y}{p:z}{s:nan}");
    EXPECT_TRUE(SameStyle(*broken, defaults));
}

TEST(MicroDvdReader, StyleDefinitionLinesNameTheStyleOfLaterEntries)
{
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadMicroDvdBytes("{10}{20}before\n"
                                  "{DEFAULT}{c:$0000FF}{s:30}\n"
                                  "{30}{40}a\n"
                                  "{50}{60}b\n"
                                  "{sign}{p:0}\n"
                                  "{70}{80}c\n",
                                  script));
    ASSERT_EQ(script.entries.size(), 4u);
    EXPECT_EQ(script.entries[0].style, "Default");
    EXPECT_EQ(script.entries[1].style, "Default");
    EXPECT_EQ(script.entries[2].style, "Default");
    EXPECT_EQ(script.entries[3].style, "Sign");
    ASSERT_EQ(script.styles.count("Default"), 1u);
    EXPECT_EQ(script.styles.at("Default")->colours[0], 0x0000FFu);
    EXPECT_EQ(script.styles.at("Default")->fontSize, 30.0);
    ASSERT_EQ(script.styles.count("Sign"), 1u);
    EXPECT_EQ(script.styles.at("Sign")->alignment, 8);

    // A style definition leaves an open end behind: the first entry after
    // it ends no later than the next one starts.
    CSimpleTextSubtitle clipped;
    ASSERT_TRUE(ReadMicroDvdBytes("{DEFAULT}{s:30}\n{10}{20}A\n{15}{30}B\n", clipped));
    ASSERT_EQ(clipped.entries.size(), 2u);
    EXPECT_EQ(clipped.entries[0].end, 15);
    EXPECT_EQ(clipped.entries[1].end, 30);
}

// In Shift-JIS the byte 0x7C after 0x83 (one katakana) is no line break.
// The style's character set decides how later entries are searched.
TEST(MicroDvdReader, SearchesByteTextInTheCurrentCharacterSet)
{
    const QString katakana = QString::fromLatin1("\x83|");
    EXPECT_EQ(U8(MicroDvdToScriptText(katakana + "a|b", false, 128)), U8(katakana + "a\\Nb"));
    EXPECT_EQ(U8(MicroDvdToScriptText(katakana + "a", false, 0)),
              U8(QString::fromLatin1("\x83\\Na")));
    // A brace byte inside a double-byte character starts no code.
    const QString brace = QString::fromLatin1("\x83{y:i}");
    EXPECT_EQ(U8(MicroDvdToScriptText(brace, false, 128)), U8(brace));

    CSimpleTextSubtitle script;
    ASSERT_TRUE(
        ReadMicroDvdBytes("{10}{20}\x83|a\n{JAPANESE}{h:128}\n{30}{40}\x83|a\n", script, 0));
    ASSERT_EQ(script.entries.size(), 2u);
    EXPECT_FALSE(script.entries[0].unicodeText);
    EXPECT_EQ(U8(script.entries[0].text), U8(QString::fromLatin1("\x83\\Na")));
    EXPECT_EQ(U8(script.entries[1].text), U8(katakana + "a"));
    EXPECT_EQ(script.entries[1].style, "Japanese");
}

// Hostile input must end in an answer, never a crash or a hang.
TEST(MicroDvdReader, SurvivesHostileInput)
{
    std::mt19937 random(7);
    QByteArray noise(1 << 16, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    QByteArray codes;
    codes.reserve(10 << 20);
    while (codes.size() < (10 << 20))
        codes += "{y:b}|{c:$ff}{\\fe128}\x83|{";
    const std::vector<std::pair<const char*, QByteArray>> inputs = {
        {"empty", ""},
        {"random bytes", noise},
        {"NUL bytes", QByteArray(4096, '\0')},
        {"10 MB line", QByteArray(10 << 20, 'x')},
        {"10 MB of codes", "{1}{2}" + codes},
        {"10 MB style definition", "{A}" + codes},
        {"10 MB frame number", "{" + QByteArray(10 << 20, '9') + "}{1}x"},
        {"truncated", "{10}{20}a\n{30}{4"},
        {"truncated code", "{10}{20}{c:$"},
    };
    for (const auto& [name, input] : inputs) {
        SCOPED_TRACE(name);
        CSimpleTextSubtitle script;
        if (ReadMicroDvdBytes(input, script)) {
            EXPECT_FALSE(script.entries.empty());
        }
    }
}

TEST(MicroDvdReader, AFirstLineThatIsANumberGivesTheFrameRate)
{
    const struct {
        const char* name;
        QByteArray input;
        double rate;
        std::vector<std::string> texts;
    } cases[] = {
        {"film rate", "{1}{1}23.976\n{10}{20}a\n", 23.976, {"a"}},
        {"from frame 0", "{0}{0}25\n{10}{20}a\n", 25, {"a"}},
        {"NTSC written with three decimals", "{1}{1}29.970\r\n{10}{20}a\r\n", 29.97, {"a"}},
        {"no header", "{10}{20}a\n", 0, {"a"}},
        {"a word is a subtitle", "{1}{1}Hello\n{10}{20}a\n", 0, {"Hello", "a"}},
        {"a number later in the film is a subtitle", "{100}{200}1984\n", 0, {"1984"}},
        {"only the first line can be the header", "{10}{20}a\n{1}{1}25\n", 0, {"a", "25"}},
        {"a rate of nothing is a subtitle", "{1}{1}0\n", 0, {"0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSimpleTextSubtitle script;
        EXPECT_TRUE(ReadMicroDvdBytes(c.input, script));
        EXPECT_DOUBLE_EQ(script.framesPerSecond, c.rate);
        std::vector<std::string> texts;
        for (const STSEntry& entry : script.entries)
            texts.push_back(U8(entry.text));
        EXPECT_EQ(texts, c.texts);
    }
}
