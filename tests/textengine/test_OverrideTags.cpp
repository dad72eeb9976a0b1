#include "textengine/OverrideCommands.h"
#include "textengine/RenderedTextSubtitle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

std::string Describe(const std::vector<SOverrideCommand>& commands)
{
    std::string out;
    for (const SOverrideCommand& command : commands) {
        if (!out.empty())
            out += ' ';
        out += std::string(command.name) + '[' + command.args.join(u'|').toStdString() + ']';
    }
    return out;
}

struct SSplitCase {
    const char* block;
    const char* expected;
};

}  // namespace

TEST(OverrideTagsSplit, NamesArgumentsAndPrefixOrder)
{
    const SSplitCase cases[] = {
        // Arguments: brackets, then the tail of the name.
        {R"(\b1)", "b[1]"},
        {R"(\b2(1))", "b[1|2]"},
        {R"(\b(1)2)", "b[1]"},
        {R"(\fs 20 )", "fs[20]"},
        {R"(\move( 1 , 2 ,, 3,4 ))", "move[1|2|3|4]"},
        {R"(\move(1,2)", "move[1|2]"},
        {R"(\fnTimes New Roman\b1)", "fn[Times New Roman] b[1]"},
        {R"(before\i1 after\u1)", "i[1 after] u[1]"},
        // Tags that take no tail drop it.
        {R"(\pos9(1,2)\org(5,6)x\t5(\b1))", R"(pos[1|2] org[5|6] t[\b1])"},
        // Colours and alphas lose their "&H" marks.
        {R"(\1c&HFF00&\c&H0000FF&\3a&H10\4c&H&)", "1c[FF00] c[0000FF] 3a[10] 4c[]"},
        // A backslash before the next comma keeps the rest in one piece.
        {R"(\t(0, 500, \fs20, \b1))", R"(t[0|500|\fs20, \b1])"},
        {R"(\t( \fs20\b1 ))", R"(t[\fs20\b1])"},
        // The first ")" ends the arguments, even inside a nested tag.
        {R"(\t(0,500,\clip(1,2)\b1))", R"(t[0|500|\clip(1,2] b[1)])"},
        // Prefix order.
        {R"(\fscx50\fscy60\fsc\fsp2\fs12)", "fscx[50] fscy[60] fsc[] fsp[2] fs[12]"},
        {R"(\alpha&H80&\an8\a5)", "alpha[80] an[8] a[5]"},
        {R"(\kf20\ko3\kt4\k5\K6)", "kf[20] ko[3] kt[4] k[5] K[6]"},
        {R"(\iclip(1,2,3,4)\i1)", "iclip[1|2|3|4] i[1]"},
        {R"(\clip(m 0 0)\cl)", "clip[m 0 0] c[l]"},
        {R"(\blur3\bord2\be1\b)", "blur[3] bord[2] be[1] b[]"},
        {R"(\frx1\fry2\frz3\fr4\fax5\fay6\fe7)", "frx[1] fry[2] frz[3] fr[4] fax[5] fay[6] fe[7]"},
        {R"(\fad(1,2)\fade(1,2,3,4,5,6,7))", "fad[1|2] fad[1|2|3|4|5|6|7]"},
        {R"(\pbo3\pos(1,2)\p1)", "pbo[3] pos[1|2] p[1]"},
        {R"(\shad1\s1\xshad2\yshad3\xbord4\ybord5\u1\q2\rSign)",
         "shad[1] s[1] xshad[2] yshad[3] xbord[4] ybord[5] u[1] q[2] r[Sign]"},
        // No backslash, empty names, unknown names.
        {"comment", ""},
        {R"(\\b1\ \xyz\(1,2))", "b[1]"},
    };
    for (const SSplitCase& c : cases) {
        SCOPED_TRACE(c.block);
        EXPECT_EQ(Describe(SplitOverrideBlock(QString::fromUtf8(c.block))), c.expected);
    }
}

TEST(OverrideTagsSplit, NumbersReadTheirLeadingDigitsAndSaturate)
{
    EXPECT_EQ(ReadInt(u"12.7px"), 12);
    EXPECT_EQ(ReadInt(u" -5"), -5);
    EXPECT_EQ(ReadInt(u"x1"), 0);
    EXPECT_EQ(ReadInt(u"99999999999999999999"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadInt(u"-99999999999999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_DOUBLE_EQ(ReadReal(u"-2.5e3"), -2.5);
    EXPECT_DOUBLE_EQ(ReadReal(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadReal(u"nan"), 0.0);
    EXPECT_DOUBLE_EQ(ReadReal(QString(400, u'9')), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ReadHex(u"00fFzz"), 0xFFu);
    EXPECT_EQ(ReadHex(u"123456789ABC"), 0xFFFFFFFFu);
}

// A base style that differs from the defaults and the fixed values (400,
// 700) so that "base" and "unchanged" can be told apart.
class OverrideTags : public testing::Test {
protected:
    OverrideTags()
    {
        base.weight = 300;
        base.fontSize = 24;
        base.fontName = "Base Face";
        base.charSet = 134;
        base.scaleX = 90;
        base.scaleY = 80;
        base.spacing = 1.5;
        current = base;
        current.weight = 900;
        current.fontSize = 40;
        current.scaleX = 120;
        current.scaleY = 130;
        current.spacing = 4;
        current.fontName = "Other";
        current.charSet = 0;
        subtitle.screenAlignment = -2;
        engine.wrapStyle = 1;
    }

    void Apply(const char* block, bool animate = false)
    {
        ASSERT_TRUE(
            engine.ApplyOverrideBlock(&subtitle, QString::fromUtf8(block), current, base, animate));
    }

    CRenderedTextSubtitle engine;
    CSubtitle subtitle;
    STSStyle base;
    STSStyle current;
};

TEST_F(OverrideTags, BoldWeight)
{
    const struct {
        const char* block;
        std::int32_t weight;
    } cases[] = {
        {R"(\b1)", 700}, {R"(\b600)", 600}, {R"(\b100)", 100}, {R"(\b0)", 400}, {R"(\b)", 300},
        {R"(\b2)", 300}, {R"(\b99)", 300},  {R"(\b-1)", 300},  {R"(\bx)", 400}, {R"(\b(1))", 700},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        current.weight = 900;
        Apply(c.block);
        EXPECT_EQ(current.weight, c.weight);
    }
}

TEST_F(OverrideTags, FontFlags)
{
    const struct {
        const char* block;
        bool STSStyle::*flag;
        bool baseValue;
        bool expected;
    } cases[] = {
        {R"(\i1)", &STSStyle::italic, false, true},
        {R"(\i0)", &STSStyle::italic, true, false},
        {R"(\i)", &STSStyle::italic, true, true},
        {R"(\i)", &STSStyle::italic, false, false},
        {R"(\i5)", &STSStyle::italic, true, true},
        {R"(\u1)", &STSStyle::underline, false, true},
        {R"(\u)", &STSStyle::underline, true, true},
        {R"(\s1)", &STSStyle::strikeOut, false, true},
        {R"(\s0)", &STSStyle::strikeOut, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        base.*c.flag = c.baseValue;
        current.*c.flag = !c.expected;
        Apply(c.block);
        EXPECT_EQ(current.*c.flag, c.expected);
    }
}

TEST_F(OverrideTags, FontSizeAbsoluteRelativeAndFallback)
{
    const struct {
        double start;
        const char* block;
        double expected;
    } cases[] = {
        {40, R"(\fs+2)", 48}, {40, R"(\fs-2)", 32}, {10, R"(\fs-20)", 24}, {40, R"(\fs30)", 30},
        {40, R"(\fs0)", 24},  {40, R"(\fs)", 24},   {40, R"(\fs-0)", 40},  {40, R"(\fs12.9)", 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        current.fontSize = c.start;
        Apply(c.block);
        EXPECT_DOUBLE_EQ(current.fontSize, c.expected);
    }
}

TEST_F(OverrideTags, WidthChangingValues)
{
    using FField = std::function<double(const STSStyle&)>;
    const FField scaleX = [](const STSStyle& s) { return s.scaleX; };
    const FField scaleY = [](const STSStyle& s) { return s.scaleY; };
    const FField spacing = [](const STSStyle& s) { return s.spacing; };
    const FField charSet = [](const STSStyle& s) { return s.charSet; };
    const struct {
        const char* block;
        FField field;
        double expected;
    } cases[] = {
        {R"(\fscx50)", scaleX, 50}, {R"(\fscx-5)", scaleX, 0}, {R"(\fscx)", scaleX, 90},
        {R"(\fscy70)", scaleY, 70}, {R"(\fscy-1)", scaleY, 0}, {R"(\fscy)", scaleY, 80},
        {R"(\fsc)", scaleX, 90},    {R"(\fsc)", scaleY, 80},   {R"(\fsp2.5)", spacing, 2.5},
        {R"(\fsp-1)", spacing, -1}, {R"(\fsp)", spacing, 1.5}, {R"(\fe128)", charSet, 128},
        {R"(\fe)", charSet, 134},
    };
    const STSStyle start = current;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        current = start;
        Apply(c.block);
        EXPECT_DOUBLE_EQ(c.field(current), c.expected);
    }
}

TEST_F(OverrideTags, FontNameIsNarrowedOrFallsBack)
{
    Apply(R"(\fnTimes New Roman)");
    EXPECT_EQ(current.fontName, "Times New Roman");
    Apply(R"(\fn0)");
    EXPECT_EQ(current.fontName, "Base Face");
    Apply(R"(\fn(Noto Sans))");
    EXPECT_EQ(current.fontName, "Noto Sans");
    Apply(R"(\fn)");
    EXPECT_EQ(current.fontName, "Base Face");
    // The low byte of each unit, as the readers store names (U+4E2D -> '-').
    Apply("\\fnA\u4E2D\u00E9");
    EXPECT_EQ(current.fontName, std::string("A-\xE9"));
}

TEST_F(OverrideTags, ResetTakesTheEntryStyleOrANamedOne)
{
    auto sign = std::make_unique<STSStyle>();
    sign->fontName = "Sign Face";
    sign->italic = true;
    engine.RegisterStyle("Sign", std::move(sign));

    Apply(R"(\i1\b1\fs60)");
    Apply(R"(\r)");
    EXPECT_TRUE(SameStyle(current, base));

    Apply(R"(\rSign)");
    EXPECT_EQ(current.fontName, "Sign Face");
    EXPECT_TRUE(current.italic);

    Apply(R"(\rNo Such Style)");
    EXPECT_TRUE(SameStyle(current, base));
}

TEST_F(OverrideTags, WrapStyleAndDrawingState)
{
    Apply(R"(\q2)");
    EXPECT_EQ(subtitle.wrapStyle, 2);
    Apply(R"(\q7)");
    EXPECT_EQ(subtitle.wrapStyle, 1);
    Apply(R"(\q0)");
    EXPECT_EQ(subtitle.wrapStyle, 0);
    Apply(R"(\q)");
    EXPECT_EQ(subtitle.wrapStyle, 1);

    Apply(R"(\p1)");
    EXPECT_EQ(engine.drawingLevel, 1);
    Apply(R"(\p4\pbo-5)");
    EXPECT_EQ(engine.drawingLevel, 4);
    EXPECT_EQ(engine.baselineOffset, -5);
    Apply(R"(\p-3)");
    EXPECT_EQ(engine.drawingLevel, 0);
    Apply(R"(\p1\p0)");
    EXPECT_EQ(engine.drawingLevel, 0);
}

TEST_F(OverrideTags, KaraokeTypesAndTimes)
{
    const struct {
        const char* block;
        std::int32_t type, start, end;
    } steps[] = {
        {R"(\k20)", 0, 0, 200},     {R"(\k30)", 0, 200, 500},   {R"(\K10)", 1, 500, 600},
        {R"(\kf)", 1, 600, 1600},   {R"(\ko5)", 2, 1600, 1650}, {R"(\kt50)", 2, 500, 500},
        {R"(\k(10))", 0, 500, 600}, {R"(\kt)", 0, 0, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.block);
        Apply(s.block);
        EXPECT_EQ(engine.karaokeType, s.type);
        EXPECT_EQ(engine.karaokeStart, s.start);
        EXPECT_EQ(engine.karaokeEnd, s.end);
    }
}

TEST_F(OverrideTags, KaraokeTimesSaturateInsteadOfOverflowing)
{
    Apply(R"(\k2000000000\k2000000000)");
    EXPECT_EQ(engine.karaokeEnd, std::numeric_limits<std::int32_t>::max());
    Apply(R"(\kt-999999999)");
    EXPECT_EQ(engine.karaokeStart, std::numeric_limits<std::int32_t>::min());
}

TEST_F(OverrideTags, AnimationWindowAndStyleArgument)
{
    const struct {
        const char* block;
        std::int32_t start, end;
        double acceleration;
        double fontSize;  // at time 0, from 40
    } cases[] = {
        {R"(\t(\fs50))", 0, 0, 1.0, 50},
        {R"(\t(2,\fs50))", 0, 0, 2.0, 50},
        {R"(\t(0,0,0.5,\fs50))", 0, 0, 0.5, 50},
        // A window that opens later keeps the first moment's value.
        {R"(\t(100,300,\fs50))", 100, 300, 1.0, 40},
        {R"(\t(100,300,0.5,\fs50))", 100, 300, 0.5, 40},
        // No style: only the window.
        {R"(\t(100,300))", 100, 300, 1.0, 40},
        {R"(\t)", 0, 0, 1.0, 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        engine.animation = {7, 7, 7.0};
        subtitle.animated = false;
        current.fontSize = 40;
        Apply(c.block);
        EXPECT_TRUE(subtitle.animated);
        EXPECT_EQ(engine.animation.start, c.start);
        EXPECT_EQ(engine.animation.end, c.end);
        EXPECT_DOUBLE_EQ(engine.animation.acceleration, c.acceleration);
        EXPECT_DOUBLE_EQ(current.fontSize, c.fontSize);
    }
}

TEST_F(OverrideTags, AnimationAppliesEveryCommandOfItsStyle)
{
    // Values that do not animate take effect whatever the window.
    Apply(R"(\t(100,300,\b1\i1\fscx50))");
    EXPECT_EQ(current.weight, 700);
    EXPECT_TRUE(current.italic);
    EXPECT_DOUBLE_EQ(current.scaleX, 120);  // animates: still before the window

    engine.currentTime = 200;
    Apply(R"(\t(100,300,\fscx20))");
    EXPECT_DOUBLE_EQ(current.scaleX, 70);
}

TEST_F(OverrideTags, DeeplyNestedAnimationsStayBounded)
{
    QString block;
    for (int i = 0; i < 20000; ++i)
        block += u"\\t(";
    block += u"\\b1";
    EXPECT_TRUE(engine.ApplyOverrideBlock(&subtitle, block, current, base, false));
    EXPECT_TRUE(subtitle.animated);
}

TEST_F(OverrideTags, StoredStateValues)
{
    using FField = std::function<double(const STSStyle&)>;
    const struct {
        const char* block;
        FField field;
        double expected;
    } cases[] = {
        {R"(\1c&H0000FF&)", [](const STSStyle& s) { return s.colours[0]; }, 0xFF},
        {R"(\c&HFF0000&)", [](const STSStyle& s) { return s.colours[0]; }, 0xFF0000},
        {R"(\2c&H123456&)", [](const STSStyle& s) { return s.colours[1]; }, 0x123456},
        {R"(\3c&HFF00FF00&)", [](const STSStyle& s) { return s.colours[2]; }, 0x00FF00},
        {R"(\4c(&H0A0B0C&))", [](const STSStyle& s) { return s.colours[3]; }, 0x0A0B0C},
        {R"(\4c)", [](const STSStyle& s) { return s.colours[3]; }, 0},
        {R"(\2a&H80&)", [](const STSStyle& s) { return s.alphas[1]; }, 0x80},
        {R"(\alpha&H40&)", [](const STSStyle& s) { return s.alphas[3]; }, 0x40},
        {R"(\alpha&H40&)", [](const STSStyle& s) { return s.alphas[0]; }, 0x40},
        {R"(\4a&H1FF&)", [](const STSStyle& s) { return s.alphas[3]; }, 0xFF},
        {R"(\4a)", [](const STSStyle& s) { return s.alphas[3]; }, 0x80},
        {R"(\bord3)", [](const STSStyle& s) { return s.outlineX + s.outlineY; }, 6},
        {R"(\bord-1)", [](const STSStyle& s) { return s.outlineY; }, 0},
        {R"(\xbord2.5)", [](const STSStyle& s) { return s.outlineX * 10 + s.outlineY; }, 27},
        {R"(\ybord-4)", [](const STSStyle& s) { return s.outlineY; }, 0},
        {R"(\shad4)", [](const STSStyle& s) { return s.shadowX + s.shadowY; }, 8},
        {R"(\xshad-2)", [](const STSStyle& s) { return s.shadowX * 10 + s.shadowY; }, -17},
        {R"(\yshad5)", [](const STSStyle& s) { return s.shadowY; }, 5},
        {R"(\blur1.5)", [](const STSStyle& s) { return s.gaussBlur; }, 1.5},
        {R"(\be2)", [](const STSStyle& s) { return s.edgeBlur; }, 2},
        {R"(\frx10)", [](const STSStyle& s) { return s.angleX; }, 10},
        {R"(\fry20)", [](const STSStyle& s) { return s.angleY; }, 20},
        {R"(\frz30)", [](const STSStyle& s) { return s.angleZ; }, 30},
        {R"(\fr-40)", [](const STSStyle& s) { return s.angleZ; }, -40},
        {R"(\fax0.5)", [](const STSStyle& s) { return s.shearX; }, 0.5},
        {R"(\fay0.25)", [](const STSStyle& s) { return s.shearY; }, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        current = base;
        Apply(c.block);
        EXPECT_DOUBLE_EQ(c.field(current), c.expected);
    }
}

TEST_F(OverrideTags, FirstAlignmentOfAnEntryWins)
{
    const struct {
        const char* block;
        std::int32_t alignment;
    } cases[] = {
        {R"(\an8\an2)", 8}, {R"(\an10\an0\an3)", 3}, {R"(\a5\an1)", 7}, {R"(\a10)", 5},
        {R"(\a3)", 3},      {R"(\a4\a12\a9)", 4},    {R"(\an)", -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        subtitle.screenAlignment = -2;
        Apply(c.block);
        EXPECT_EQ(subtitle.screenAlignment, c.alignment);
    }
}

TEST_F(OverrideTags, FirstPositionOriginAndFadeOfAnEntryWin)
{
    using V = std::vector<std::int32_t>;
    Apply(R"(\move(1,2,3)\pos(10,20)\move(1,2,3,4)\pos(5,6))");
    Apply(R"(\org(5,6)\org(7,8)\fad(100,200)\fade(1,2,3,4,5,6,7))");
    ASSERT_TRUE(subtitle.effects[EffectMove]);
    EXPECT_EQ(subtitle.effects[EffectMove]->values, (V{10, 20}));
    ASSERT_TRUE(subtitle.effects[EffectOrigin]);
    EXPECT_EQ(subtitle.effects[EffectOrigin]->values, (V{5, 6}));
    ASSERT_TRUE(subtitle.effects[EffectFade]);
    EXPECT_EQ(subtitle.effects[EffectFade]->values, (V{100, 200}));

    CSubtitle other;
    ASSERT_TRUE(engine.ApplyOverrideBlock(
        &other, R"(\fade(255,0,128,0,100,200,300)\move(1,2,3,4,100,200))", current, base, false));
    EXPECT_EQ(other.effects[EffectFade]->values, (V{255, 0, 128, 0, 100, 200, 300}));
    EXPECT_EQ(other.effects[EffectMove]->values, (V{1, 2, 3, 4, 100, 200}));
    EXPECT_FALSE(other.effects[EffectBanner]);
}

TEST_F(OverrideTags, ClipRectangleAndMask)
{
    subtitle.scaleX = 2.0;
    subtitle.scaleY = 0.5;
    Apply(R"(\clip(1,2,3,4))");
    EXPECT_EQ(subtitle.clipRect, (SEngineRect{16, 8, 48, 16}));
    EXPECT_FALSE(subtitle.inverseClip);
    EXPECT_FALSE(subtitle.clipMask);
    Apply(R"(\iclip(0,0,10,10))");
    EXPECT_TRUE(subtitle.inverseClip);

    Apply(R"(\clip(m 0 0 l 10 0 10 10))");
    ASSERT_TRUE(subtitle.clipMask);
    EXPECT_EQ(subtitle.clipMask->text, u"m 0 0 l 10 0 10 10");
    EXPECT_FALSE(subtitle.clipMask->inverse);
    EXPECT_DOUBLE_EQ(subtitle.clipMask->scaleX, 2.0);

    Apply(R"(\iclip(3,m 0 0 l 8 8))");
    ASSERT_TRUE(subtitle.clipMask);
    EXPECT_EQ(subtitle.clipMask->text, u"m 0 0 l 8 8");
    EXPECT_TRUE(subtitle.clipMask->inverse);
    EXPECT_TRUE(subtitle.inverseClip);
    EXPECT_DOUBLE_EQ(subtitle.clipMask->scaleX, 0.5);
    EXPECT_DOUBLE_EQ(subtitle.clipMask->scaleY, 0.125);
}

TEST_F(OverrideTags, BlocksWithoutCommandsChangeNothing)
{
    const STSStyle before = current;
    for (const char* block : {"comment", "", R"(\)", R"(\zz(1,2))"}) {
        SCOPED_TRACE(block);
        Apply(block);
        EXPECT_TRUE(SameStyle(current, before));
        EXPECT_EQ(current.shearX, before.shearX);
        EXPECT_EQ(subtitle.screenAlignment, -2);
        EXPECT_EQ(engine.karaokeEnd, 0);
        EXPECT_FALSE(subtitle.animated);
    }
    EXPECT_FALSE(engine.ApplyOverrideBlock(nullptr, R"(\b1)", current, base, false));
    EXPECT_EQ(current.weight, before.weight);
}

TEST(AnimateValue, FlagDifferenceAndWindow)
{
    CRenderedTextSubtitle engine;
    const struct {
        bool animate;
        double newValue, oldValue;
        std::int32_t time, start, end;
        double acceleration;
        double expected;
    } cases[] = {
        {false, 50, 10, 150, 100, 200, 1.0, 50},  // flag clear
        {true, 10.00005, 10, 150, 100, 200, 1.0, 10.00005},
        {true, 50, 10, 50, 100, 200, 1.0, 10},   // before
        {true, 50, 10, 150, 100, 200, 1.0, 30},  // half way
        {true, 50, 10, 150, 100, 200, 2.0, 20},  // half way, a quarter done
        {true, 50, 10, 150, 100, 200, 0.5, 10 + 40 * std::sqrt(0.5)},
        {true, 50, 10, 200, 100, 200, 1.0, 50},   // at the end
        {true, 50, 10, 900, 100, 200, 1.0, 50},   // after
        {true, 50, 10, 0, 0, 0, 1.0, 50},         // the picture path: no window
        {true, 50, 10, 100, 100, 200, -1.0, 50},  // would be infinite at the start
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.time << " in " << c.start << "-" << c.end << " ^" << c.acceleration);
        engine.currentTime = c.time;
        engine.animation = {c.start, c.end, c.acceleration};
        EXPECT_DOUBLE_EQ(engine.AnimateValue(c.newValue, c.oldValue, c.animate), c.expected);
    }
}

TEST(EntryEffect, BannerAndScroll)
{
    using V = std::vector<std::int32_t>;
    const struct {
        const char* effect;
        double scaleX, scaleY;
        EEffectSlot slot;
        V values;  // empty: no effect at all
        std::int32_t wrapStyle;
    } cases[] = {
        {"Banner;30", 1, 1, EffectBanner, {30, 0, 0}, 2},
        {"banner;30;1;40", 2, 1, EffectBanner, {15, 1, 80}, 2},
        {"Banner;1", 4, 1, EffectBanner, {1, 0, 0}, 2},
        {"Banner;99999999999;0", 0, 1, EffectBanner, {2147483647, 0, 0}, 2},
        {"Scroll up;300;100;20", 1, 0.5, EffectScroll, {400, 1200, 40, 1, 0}, 0},
        {"SCROLL DOWN;10;20;5;8", 1, 1, EffectScroll, {80, 160, 5, 0, 8}, 0},
        {"Scroll down;10;20;0", 1, 2, EffectScroll, {160, 320, 1, 0, 0}, 0},
        {"Scroll up;10;20", 1, 1, EffectScroll, {}, 0},
        {"Scroll up;10;x;5", 1, 1, EffectScroll, {}, 0},
        {"Banner;", 1, 1, EffectBanner, {}, 0},
        {"Banner;abc", 1, 1, EffectBanner, {}, 0},
        {"Banner", 1, 1, EffectBanner, {}, 0},
        {"Karaoke;1;2;3", 1, 1, EffectBanner, {}, 0},
        {"", 1, 1, EffectBanner, {}, 0},
    };
    CRenderedTextSubtitle engine;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.effect);
        CSubtitle subtitle;
        subtitle.scaleX = c.scaleX;
        subtitle.scaleY = c.scaleY;
        engine.ApplyEntryEffect(subtitle, c.effect);
        EXPECT_EQ(subtitle.wrapStyle, c.wrapStyle);
        for (int slot = 0; slot < EffectSlots; ++slot) {
            if (slot == c.slot && !c.values.empty()) {
                ASSERT_TRUE(subtitle.effects[slot]);
                EXPECT_EQ(subtitle.effects[slot]->values, c.values);
            } else {
                EXPECT_FALSE(subtitle.effects[slot]) << "slot " << slot;
            }
        }
    }
}
