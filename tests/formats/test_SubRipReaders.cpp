#include "ReaderTestSupport.h"
#include "formats/CharSets.h"
#include "formats/ReaderText.h"
#include "formats/Readers.h"
#include "formats/SubRipText.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Byte-valued text: each byte of `bytes` is one unit.
QString Units(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

struct SExpected {
    std::string text;  // UTF-8
    std::int32_t start;
    std::int32_t end;
};

void ExpectEntries(const CSimpleTextSubtitle& script, const std::vector<SExpected>& expected)
{
    ASSERT_EQ(script.entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const STSEntry& entry = script.entries[i];
        EXPECT_EQ(U8(entry.text), expected[i].text);
        EXPECT_EQ(entry.start, expected[i].start);
        EXPECT_EQ(entry.end, expected[i].end);
        EXPECT_EQ(entry.style, "Default");
        EXPECT_EQ(entry.actor, "");
        EXPECT_EQ(entry.effect, "");
        EXPECT_EQ(entry.layer, 0);
        EXPECT_EQ(entry.margins, SMargins{});
    }
}

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

void RunCases(FReader reader, const std::vector<SCase>& cases)
{
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSimpleTextSubtitle script;
        EXPECT_EQ(ReadBytes(reader, c.input, script), c.accepted);
        EXPECT_EQ(Warnings(script), c.warnings);
        ExpectEntries(script, c.entries);
    }
}

constexpr std::int32_t MaxTime = std::numeric_limits<std::int32_t>::max();

}  // namespace

TEST(SubRipReader, ReadsBlocksTimesAndTexts)
{
    RunCases(
        ReadSubRip,
        {
            {"two blocks, CRLF",
             "1\r\n00:00:01,000 --> 00:00:02,500\r\nOne\r\n\r\n"
             "2\r\n01:02:03,004 --> 01:02:04,000\r\nTwo\r\nlines\r\n",
             true,
             {{"One", 1000, 2500}, {"Two\\Nlines", 3723004, 3724000}}},
            {"fraction counts as written",
             "1\n00:00:01,5 --> 00:00:02,25\nx\n",
             true,
             {{"x", 1005, 2025}}},
            {"points instead of commas, no counter",
             "00:00:01.500 --> 00:00:02.000\nx\n",
             true,
             {{"x", 1500, 2000}}},
            {"any separators, no spaces round the arrow",
             "00;00;01.500-->00-00-02 000\nx\n",
             true,
             {{"x", 1500, 2000}}},
            {"number under the time line is text",
             "1\n00:00:01,000 --> 00:00:02,000\n2010\nwas a year\n\n"
             "2\n00:00:03,000 --> 00:00:04,000\nnext\n",
             true,
             {{"2010\\Nwas a year", 1000, 2000}, {"next", 3000, 4000}}},
            {"number after an empty line counts the next block",
             "1\n00:00:01,000 --> 00:00:02,000\nlast\n\n2010\n"
             "00:00:03,000 --> 00:00:04,000\nnext\n",
             true,
             {{"last", 1000, 2000}, {"next", 3000, 4000}}},
            {"empty line inside a block stays when no counter follows",
             "1\n00:00:01,000 --> 00:00:02,000\na\n\nb\n7\n"
             "00:00:03,000 --> 00:00:04,000\nc\n",
             true,
             {{"a\\N\\Nb", 1000, 2000}, {"c", 3000, 4000}}},
            {"bars, tags and trimmed lines",
             "1\n00:00:01,000 --> 00:00:02,000\n  <i>Hi</i> there|again  \n<b>x</b> <u>y</u>\n",
             true,
             {{"{\\i1}Hi{\\i} there\\Nagain\\N{\\b1}x{\\b} {\\u1}y{\\u}", 1000, 2000}}},
            {"last block at the end of the file without a line feed",
             "1\n00:00:01,000 --> 00:00:02,000\nend",
             true,
             {{"end", 1000, 2000}}},
            {"largest time that fits",
             "1\n596:31:23,647 --> 596:31:23,647\nx\n",
             true,
             {{"x", MaxTime, MaxTime}}},
            {"negative times start at 0",
             "1\n-1:00:00,000 --> 00:00:01,000\nx\n\n"
             "2\n-00:00:02,000 --> -00:00:01,000\ny\n",
             true,
             {{"x", 0, 1000}, {"y", 0, 0}},
             {"line 2: negative time clamped to 0", "line 6: negative time clamped to 0"}},
        });
}

TEST(SubRipReader, RecoversFromDamagedBlocks)
{
    RunCases(ReadSubRip,
             {
                 {"blocks without counters start at their time lines",
                  "1\n00:00:00,000 --> 00:00:01,234\nfirst\n\n"
                  "00:00:02,345 --> 00:00:03,456\nsecond\n\n"
                  "3\n00:00:04,567 --> 00:00:05,678\nthird\n",
                  true,
                  {{"first", 0, 1234}, {"second", 2345, 3456}, {"third", 4567, 5678}}},
                 {"a time line right under text starts a block",
                  "00:00:01,000 --> 00:00:02,000\na\n00:00:03,000 --> 00:00:04,000\nb\n",
                  true,
                  {{"a", 1000, 2000}, {"b", 3000, 4000}}},
                 {"carriage returns alone end lines",
                  "1\r00:00:01,000 --> 00:00:02,000\rone\rtwo\r\r"
                  "2\r00:00:03,000 --> 00:00:04,000\rthree\r",
                  true,
                  {{"one\\Ntwo", 1000, 2000}, {"three", 3000, 4000}}},
                 {"minutes and seconds without hours",
                  "1\n00:00,000 --> 00:01,234\na\n",
                  true,
                  {{"a", 0, 1234}}},
                 {"arrows and times as they are miswritten",
                  "1\n00:00:01,000 -> 00:00:02,000\na\n\n"
                  "2\n00:00:03,000 - > 00:00:04,000\nb\n\n"
                  "3\n00:00:05 --> 00:00:06,500\nc\n",
                  true,
                  {{"a", 1000, 2000}, {"b", 3000, 4000}, {"c", 5000, 6500}}},
                 {"a block without a readable time is left out",
                  "1\n00:00:01,000 --> 00:00:02,000\na\n\n"
                  "2\n00:00:03,000 ==> 00:00:04,000\nlost\ntext\n\n"
                  "3\n00:00:05,000 --> 00:00:06,000\nc\n",
                  true,
                  {{"a", 1000, 2000}, {"c", 5000, 6000}},
                  {"line 6: skipped, no valid time"}},
                 {"a block with a time past 32 bits is left out",
                  "1\n596:31:23,648 --> 596:31:23,649\nx\n\n2\n00:00:01,000 --> 00:00:02,000\ny\n",
                  true,
                  {{"y", 1000, 2000}},
                  {"line 2: skipped, no valid time"}},
                 {"no readable block at all",
                  "1\nno time\n\n2\nnone either\n",
                  false,
                  {},
                  {"line 2: skipped, no valid time", "line 5: skipped, no valid time"}},
             });
}

TEST(SubRipReader, GivesUpAtTheFirstLineItCannotHold)
{
    std::vector<SCase> cases = {
        {"empty file", "", false, {}},
        {"only counters", "1\n2\n", false, {}},
        {"prose", "Hello\n", false, {}},
        {"SubStation header", "[Script Info]\nScriptType: v4.00+\n", false, {}},
        {"two numbers on a line", "1 2\n", false, {}},
        {"a time line with an arrow of no dash", "00:00:01,000 > 00:00:02,000\nx\n", false, {}},
        {"time past 32 bits of milliseconds",
         "1\n596:31:23,648 --> 596:31:23,649\nx\n",
         false,
         {},
         {"line 2: skipped, no valid time"}},
        {"number past 32 bits",
         "1\n99999999999:00:00,000 --> 00:00:01,000\nx\n",
         false,
         {},
         {"line 2: skipped, no valid time"}},
        {"block without a time line after entries",
         "1\n00:00:01,000 --> 00:00:02,000\na\n\n2\nno time\n",
         true,
         {{"a", 1000, 2000}},
         {"line 6: skipped, no valid time"}},
    };
    // Ten good blocks, then a counter and a time line with a single arrow:
    // the last block is read too.
    SCase tenBlocks{"a single arrow after ten blocks", {}, true, {}};
    for (int i = 1; i <= 10; ++i) {
        tenBlocks.input += QByteArray::number(i) + "\n00:00:0" + QByteArray::number(i - 1) +
                           ",000 --> 00:00:0" + QByteArray::number(i - 1) + ",500\nline " +
                           QByteArray::number(i) + "\n\n";
        tenBlocks.entries.push_back(
            {"line " + std::to_string(i), (i - 1) * 1000, (i - 1) * 1000 + 500});
    }
    tenBlocks.input += "11\n00:00:05,000 -> 00:00:06,000\nx\n";
    tenBlocks.entries.push_back({"x", 5000, 6000});
    cases.push_back(tenBlocks);
    RunCases(ReadSubRip, cases);
}

TEST(SubRipReader, TurnsHtmlTagsIntoOverrides)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"<i>a</i><b>b</b><u>c</u>", "{\\i1}a{\\i}{\\b1}b{\\b}{\\u1}c{\\u}"},
        {"<I>upper</I> <i >spaced</i > <s>out</s>",
         "{\\i1}upper{\\i} {\\i1}spaced{\\i} {\\s1}out{\\s}"},
        {"<<i>>", "<{\\i1}>"},
        // Colours are blue, green, red in an override.
        {"<font color=\"#ff8000\">red</font>", "{\\c&H0080FF&}red{\\c}"},
        {"<font color='#f80'>short</font>", "{\\c&H0088FF&}short{\\c}"},
        {"<font color=ff8000>bare</font>", "{\\c&H0080FF&}bare{\\c}"},
        {"<FONT COLOR=\"Yellow\">named</FONT>", "{\\c&H00FFFF&}named{\\c}"},
        {"<font color=\"#ff0000\" size=\"30\" face=\"DejaVu Sans\">all</font>",
         "{\\c&H0000FF&\\fs30\\fnDejaVu Sans}all{\\c\\fs\\fn}"},
        // A closing tag goes back to the tag around it, not to the style.
        {"<font color=\"#00ff00\" size=20>a<font color=\"#0000ff\">b</font>c</font>",
         "{\\c&H00FF00&\\fs20}a{\\c&HFF0000&}b{\\c&H00FF00&}c{\\c\\fs}"},
        // What cannot be read sets nothing; a stray closing tag is dropped.
        {"<font color=\"nonsense\" size=\"-3\">x</font></font>", "x"},
        // Unknown tags show nothing; a "<" that starts no tag is text.
        {"<span class=\"a\">one</span><br/>two <ruby>x</ruby>", "onetwo x"},
        {"a < b and <3 >", "a < b and <3 >"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(U8(HtmlTagsToOverrides(text)), U8(expected)) << U8(text);
}

TEST(SubRipReader, ReadsTheSintelSubtitles)
{
    QFile in(TANDEO_FIXTURES_DIR "/sintel/sintel_en.srt");
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadBytes(ReadSubRip, in.readAll(), script));
    ASSERT_EQ(script.entries.size(), 26u);
    const STSEntry& first = script.entries.front();
    EXPECT_EQ(first.start, 137250);
    EXPECT_EQ(first.end, 140500);
    EXPECT_EQ(U8(first.text), "This blade has a dark past.");
    EXPECT_FALSE(first.unicodeText);
    EXPECT_EQ(U8(script.entries[2].text),
              "You're a fool for traveling alone,\\Nso completely unprepared.");
    const STSEntry& last = script.entries.back();
    EXPECT_EQ(last.start, 656200);
    EXPECT_EQ(last.end, 659800);
    EXPECT_EQ(U8(last.text), "Scales...");
    for (std::size_t i = 1; i < script.entries.size(); ++i)
        EXPECT_LE(script.entries[i - 1].start, script.entries[i].start) << i;
}

TEST(SubRipReader, MarksTextOfUnicodeFiles)
{
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadBytes(ReadSubRip,
                          "\xEF\xBB\xBF"
                          "1\n00:00:01,000 --> 00:00:02,000\n\xE4\xB8\xAD|x\n",
                          script));
    ASSERT_EQ(script.entries.size(), 1u);
    EXPECT_TRUE(script.entries[0].unicodeText);
    EXPECT_EQ(U8(script.entries[0].text), "\xE4\xB8\xAD\\Nx");
}

// In Shift-JIS (character set 128) the byte 0x7C after 0x83 is the second
// half of a katakana, not a bar; only the real bar breaks the line. A
// font-encoding tag switches the character set for the rest of the line.
TEST(TimedLineReaders, KeepBarBytesInsideDoubleByteCharacters)
{
    struct SCase {
        FReader reader;
        QByteArray input;
        int charSet;
        QByteArray expected;
    };
    const std::vector<SCase> cases = {
        {ReadSubRip, "1\n00:00:01,000 --> 00:00:02,000\n\x83|a|b\n", 128, "\x83|a\\Nb"},
        {ReadBracedTimeLines, "{0:00:01}{0:00:02}\x83|a|b\n", 128, "\x83|a\\Nb"},
        {ReadTimePrefixedLines, "0:00:01:\x83|a|b\n", 128, "\x83|a\\Nb"},
        {ReadBracedTimeLines, "{0:00:01}{0:00:02}\x83|a|b\n", 0, "\x83\\Na\\Nb"},
        {ReadBracedTimeLines, "{0:00:01}{0:00:02}{\\fe128}\x83|a|b\n", 0, "{\\fe128}\x83|a\\Nb"},
        {ReadBracedTimeLines, "{0:00:01}{0:00:02}{\\fe128}{\\fe}\x83|a\n", 0,
         "{\\fe128}{\\fe}\x83\\Na"},
        {ReadTimePrefixedLines, "0:00:01:{\\fe128\x83|}|a\n", 0, "{\\fe128\x83|}\\Na"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        CSimpleTextSubtitle script;
        ASSERT_TRUE(ReadBytes(c.reader, c.input, script, c.charSet));
        ASSERT_EQ(script.entries.size(), 1u);
        EXPECT_FALSE(script.entries[0].unicodeText);
        EXPECT_EQ(U8(script.entries[0].text), U8(Units(c.expected)));
    }
}

// The readers find characters in one walk over a line; the answers must
// be those of FindScriptChar, searched again and again from the start.
TEST(TimedLineReaders, FindCharactersAsFindScriptCharDoes)
{
    const char16_t alphabet[] = {u'{', u'}', u'\\', u'f', u'e', u'1', u'2', u'8', u'6',
                                 u'4', u'|', u'a',  0x83, 0x7C, 0x81, 0xA4, 0xE4, 0xB8};
    const int charSets[] = {0, 1, 128, 134, 136, 2};
    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i)
            text += QChar(alphabet[random() % std::size(alphabet)]);
        const int charSet = charSets[random() % std::size(charSets)];
        QString expected = text;
        for (int at = FindScriptChar(text, u'|', 0, false, charSet); at >= 0;
             at = FindScriptChar(text, u'|', at + 1, false, charSet))
            expected[at] = u'\n';
        ASSERT_EQ(U8(ReplaceScriptChar(text, u'|', u'\n', false, charSet)), U8(expected))
            << "character set " << charSet << ", units " << U8(text);
        const CScriptCharMap map(text, false, charSet);
        for (int from = 0; from <= text.size(); ++from)
            ASSERT_EQ(map.Find(u'{', from), FindScriptChar(text, u'{', from, false, charSet))
                << "from " << from << ", character set " << charSet << ", units " << U8(text);
    }
}

TEST(BracedTimeLinesReader, ReadsOneEntryPerLine)
{
    RunCases(ReadBracedTimeLines,
             {
                 {"whole seconds, bars",
                  "{0:01:02}{0:01:05}Hello|World\n\n{1:00:00}{1:00:01} second \n",
                  true,
                  {{"Hello\\NWorld", 62000, 65000}, {"second", 3600000, 3601000}}},
                 {"white space before numbers", "{ 0:0:1}{0: 0:2}x\n", true, {{"x", 1000, 2000}}},
                 {"no closing brace after the end time leaves no text",
                  "{0:00:01}{0:00:02}a\n{0:00:03}{0:00:04b\n",
                  true,
                  {{"a", 1000, 2000}}},
                 {"empty file", "", false, {}},
                 {"prose", "Hello\n", false, {}},
                 {"one time only", "{0:01:02}Hello\n", false, {}},
                 {"a SubRip file", "1\n00:00:01,000 --> 00:00:02,000\nx\n", false, {}},
                 {"MicroDVD frames", "{10}{20}x\n", false, {}},
                 {"time past 32 bits", "{596:31:24}{596:31:25}x\n", false, {}},
                 {"bad line after an entry is left out",
                  "{0:00:01}{0:00:02}a\nnot a time\n{0:00:03}{0:00:04}b\n",
                  true,
                  {{"a", 1000, 2000}, {"b", 3000, 4000}},
                  {"line 2: skipped, no valid time"}},
                 {"negative times start at 0",
                  "{0:00:01}{0:00:02}a\n{-0:00:01}{0:00:04}b\n",
                  true,
                  {{"a", 1000, 2000}, {"b", 0, 4000}},
                  {"line 2: negative time clamped to 0"}},
             });
}

TEST(TimePrefixedLinesReader, ReadsOneEntryPerLine)
{
    RunCases(
        ReadTimePrefixedLines,
        {
            {"a second plus 50 ms per character",
             "0:00:10:Hi\n1:02:03:Hi|there\n",
             true,
             {{"Hi", 10000, 11100}, {"Hi\\Nthere", 3723000, 3723000 + 1000 + 8 * 50}}},
            {"colons in the text", "0:00:01:a: b\n", true, {{"a: b", 1000, 1000 + 1000 + 4 * 50}}},
            {"white space counts before trimming",
             "0:00:01:  x\n",
             true,
             {{"x", 1000, 1000 + 1000 + 3 * 50}}},
            {"a derived end stays within 32 bits",
             "596:31:23:x\n",
             true,
             {{"x", 2147483000, MaxTime}}},
            {"no third colon leaves no text", "0:00:01\n0:00:02:y\n", true, {{"y", 2000, 3050}}},
            {"empty file", "", false, {}},
            {"prose", "Hello\n", false, {}},
            {"two numbers only", "0:10:Hi\n", false, {}},
            {"time past 32 bits", "596:31:24:x\n", false, {}},
            {"bad line after an entry is left out",
             "0:00:01:a\nHello\n0:00:05:b\n",
             true,
             {{"a", 1000, 2050}, {"b", 5000, 6050}},
             {"line 2: skipped, no valid time"}},
            {"a negative time keeps its sign until it is clamped",
             "0:00:01:a\n-0:00:05:b\n",
             true,
             {{"a", 1000, 2050}, {"b", 0, 1050}},
             {"line 2: negative time clamped to 0"}},
            {"carriage returns alone end lines",
             "0:00:01:a\r0:00:05:b\r",
             true,
             {{"a", 1000, 2050}, {"b", 5000, 6050}}},
        });
}

TEST(SubViewerReader, ReadsTimePairsWithTheirTextLines)
{
    RunCases(ReadSubViewer,
             {
                 {"information block and hundredths",
                  "[INFORMATION]\n[TITLE]Film\n[AUTHOR]Me\n[END INFORMATION]\n"
                  "00:00:06.61,00:00:11.90\none[br]two\n\n00:01:00.00,00:01:01.05\nthree\n",
                  true,
                  {{"one\\Ntwo", 6610, 11900}, {"three", 60000, 61050}}},
                 {"any separator before the hundredths",
                  "00:00:01:50,00:00:02x05\nx\n",
                  true,
                  {{"x", 1500, 2050}}},
                 {"time line at the end of the file adds nothing",
                  "00:00:01.00,00:00:02.00\na\n00:00:03.00,00:00:04.00\n",
                  true,
                  {{"a", 1000, 2000}}},
                 {"empty file", "", false, {}},
                 {"prose", "Hello\n", false, {}},
                 {"only settings", "[INFORMATION]\n[TITLE]x\n", false, {}},
                 {"a SubRip file", "1\n00:00:01,000 --> 00:00:02,000\nx\n", false, {}},
                 {"bad line after an entry is left out",
                  "00:00:01.00,00:00:02.00\na\n\nHello\n00:00:03.00,00:00:04.00\nb\n",
                  true,
                  {{"a", 1000, 2000}, {"b", 3000, 4000}},
                  {"line 4: skipped, no valid time"}},
                 {"text running on for more lines, milliseconds in three digits",
                  "0:00:00.599,0:00:04.160\none\ntwo\n\n0:00:04.160,0:00:06.770\nthree\n",
                  true,
                  {{"one\\Ntwo", 599, 4160}, {"three", 4160, 6770}}},
             });
}

TEST(SubViewerReader, SettingsLinesPrefixTheFollowingEntries)
{
    const QByteArray time = "00:00:01.00,00:00:02.00\n";
    const std::vector<std::pair<QByteArray, std::string>> cases = {
        {"[STYLE]it,ud\n", "{\\i1\\u1}x"},
        {"[STYLE]it,ud\n[STYLE]no,it\n", "x"},
        {"[STYLE]bd,st\n", "{\\s1}x"},  // the default is bold already
        {"[COLF]&H00FF00,[SIZE]30\n", "{\\c&H00FF00\\fs30}x"},
        {"[COLF]&HFFFFFF [SIZE] 24.0 [FONT]arial [STYLE]bd\n", "x"},
        {"[FONT]  Times New Roman ,\n", "{\\fnTimes New Roman}x"},
        {"[font]Times[colf]&H0000FF[size]30[style]it\n", "{\\fnTimes\\c&H0000FF\\fs30\\i1}x"},
        // An empty colour adds nothing; a size that is no number stays as written.
        {"[COLF]\n[SIZE]big\n", "{\\fsbig}x"},
        {"[ TAG ]ignored[COLF]&H00FF00\n", "{\\c&H00FF00}x"},
        {"[SIZE]30[FONT\n", "{\\fs30}x"},  // an unclosed tag ends the line
    };
    for (const auto& [settings, expected] : cases) {
        CSimpleTextSubtitle script;
        ASSERT_TRUE(ReadBytes(ReadSubViewer, settings + time + "x\n" + time + "x\n", script))
            << settings.toStdString();
        ASSERT_EQ(script.entries.size(), 2u);
        EXPECT_EQ(U8(script.entries[0].text), expected) << settings.toStdString();
        EXPECT_EQ(U8(script.entries[1].text), expected) << settings.toStdString();
    }
}

// Hostile input must end in an answer, never a crash or a hang.
TEST(TimedLineReaders, SurviveHostileInput)
{
    std::mt19937 random(20240501);
    QByteArray noise(1 << 16, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    const QByteArray bars(10 << 20, '|');
    QByteArray mixed;
    mixed.reserve(10 << 20);
    while (mixed.size() < (10 << 20))
        mixed += "a|<i>{\\fe128}\x83|[br]:";
    QFile sintel(TANDEO_FIXTURES_DIR "/sintel/sintel_en.srt");
    ASSERT_TRUE(sintel.open(QIODevice::ReadOnly));
    const QByteArray truncated = sintel.readAll().left(1000);

    const std::vector<std::pair<const char*, QByteArray>> inputs = {
        {"empty", ""},
        {"random bytes", noise},
        {"NUL bytes", QByteArray(4096, '\0')},
        {"10 MB line", QByteArray(10 << 20, '7')},
        {"10 MB of bars in a SubRip block", "1\n00:00:01,000 --> 00:00:02,000\n" + bars},
        {"10 MB braced-time line", "{0:00:01}{0:00:02}" + mixed},
        {"10 MB time-prefixed line", "0:00:01:" + mixed},
        {"10 MB SubViewer text", "[STYLE]it\n00:00:01.00,00:00:02.00\n" + mixed},
        {"truncated SubRip", truncated},
        {"truncated UTF-8", "\xEF\xBB\xBF"
                            "1\n00:00:01,000 --> 00:00:02,000\n\xE4\xB8"},
    };
    const std::vector<std::pair<const char*, FReader>> readers = {
        {"SubRip", ReadSubRip},
        {"braced", ReadBracedTimeLines},
        {"SubViewer", ReadSubViewer},
        {"time-prefixed", ReadTimePrefixedLines},
    };
    for (const auto& [inputName, input] : inputs) {
        for (const auto& [readerName, reader] : readers) {
            SCOPED_TRACE(std::string(readerName) + " on " + inputName);
            CSimpleTextSubtitle script;
            if (ReadBytes(reader, input, script)) {
                EXPECT_FALSE(script.entries.empty());
            }
        }
    }
    // The truncated file keeps the blocks it holds whole.
    CSimpleTextSubtitle script;
    ASSERT_TRUE(ReadBytes(ReadSubRip, truncated, script));
    EXPECT_GE(script.entries.size(), 5u);
    EXPECT_EQ(script.entries[0].start, 137250);
}
