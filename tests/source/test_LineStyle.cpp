#include "source/LineStyle.h"

#include "platform/SettingsStore.h"
#include "support/RecordedMessages.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace {

class LineStyleStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Path = Dir.filePath("tandeo.ini");
        SetSettingsFilePath(Path);
    }
    void TearDown() override { SetSettingsFilePath(QString()); }

    void WriteIni(const QByteArray& content)
    {
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QString MakePicture(const QString& name)
    {
        QImage picture(4, 3, QImage::Format_ARGB32);
        picture.fill(0xFF336699);
        const QString path = Dir.filePath(name);
        EXPECT_TRUE(picture.save(path, "PNG"));
        return path;
    }

    QTemporaryDir Dir;
    QString Path;
    CRecordedMessages Messages;
};

// A style that differs from both sets of defaults in every stored field.
SSourceStyle EveryFieldChanged(const QString& texture)
{
    SSourceStyle style;
    style.Direction = 2;
    style.Alignment = 0;
    style.Location = 37;
    style.Location2 = -12;
    style.LineSpace = 6;
    style.Language = 40;
    style.FiDuration = 10;
    style.FoDuration = 90;
    CTextTmp& text = style.text;
    text.FontName = "@WenQuanYi Micro Hei";
    text.FontSize = 33.0f;
    text.FontStyle = FontStyleItalic | FontStyleUnderline;
    text.LeftToRight = false;
    text.LineAlignment = 2;
    text.BrushType = BrushTexture;
    text.TextColor = 0xFF112233;
    text.TextColor2 = 0xFFA0B0C0;
    text.HatchStyle = 52;
    text.LgMode = 3;
    text.LgRect = {-5, -7, 300, -1};
    text.TextureImage = texture;
    text.OutlineThickness = 50;
    text.OutlineColor = 0xFF0000FF;
    text.EnableShadow = false;
    text.ShadowThickness = 0;
    text.ShadowColor = 0xFFFF0000;
    text.ShadowOffset = {-2, -3};
    return style;
}

TEST(LineStyle, RecordDefaults)
{
    const SSourceStyle style;
    const CTextTmp& text = style.text;
    EXPECT_EQ(text.FontName, "Arial");
    EXPECT_EQ(text.FontSize, 59.0f);
    EXPECT_EQ(text.FontStyle, FontStyleBold);
    EXPECT_TRUE(text.LeftToRight);
    EXPECT_EQ(text.fontUnit, FontUnitPoint);
    EXPECT_EQ(text.LineAlignment, 1);
    EXPECT_EQ(text.BrushType, BrushSolid);
    EXPECT_EQ(text.TextColor, 0xFFFFFFFFu);
    EXPECT_EQ(text.TextColor2, 0xFFFFFFFFu);
    EXPECT_EQ(text.HatchStyle, 4);
    EXPECT_EQ(text.LgMode, 0);
    EXPECT_EQ(text.LgRect, (SLgRect{0, 0, 50, 50}));
    EXPECT_TRUE(text.TextureImage.isEmpty());
    EXPECT_EQ(text.OutlineThickness, 4);
    EXPECT_EQ(text.OutlineColor, 0xFF000000u);
    EXPECT_TRUE(text.EnableShadow);
    EXPECT_EQ(text.ShadowThickness, 3);
    EXPECT_EQ(text.ShadowColor, 0xFF000000u);
    EXPECT_EQ(text.ShadowOffset, (SShadowOffset{2, 2}));
    EXPECT_EQ(style.Direction, 0);
    EXPECT_EQ(style.Alignment, 1);
    EXPECT_EQ(style.Location, 100);
    EXPECT_EQ(style.Location2, 100);
    EXPECT_EQ(style.LineSpace, 0);
    EXPECT_EQ(style.Language, 125);
    const SFadeSettings fade = FadeSettingsOf(style);
    EXPECT_EQ(fade.fadeMode, 1);
    EXPECT_EQ(fade.FiDuration, 25);
    EXPECT_EQ(fade.FoDuration, 25);
}

TEST_F(LineStyleStore, AFreshFileGivesTheStoredDefaults)
{
    // Values that an empty section must overwrite, and the two blocks it
    // must keep.
    SSourceStyle style = EveryFieldChanged(MakePicture("old.png"));
    style.text.LineAlignment = 0;
    style.Load(PageSection(0));

    SSourceStyle expected;  // the record, except where absent keys differ
    expected.text.FontSize = 42.0f;
    expected.text.FontStyle = 0;
    expected.text.LgRect = {-5, -7, 300, -1};
    expected.text.ShadowOffset = {-2, -3};
    EXPECT_EQ(style, expected);
    EXPECT_EQ(style.text.TextColor, 0xFFFFFFFFu);
    EXPECT_EQ(style.text.OutlineColor, 0xFF000000u);
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(LineStyleStore, EveryKeyRoundTrips)
{
    const SSourceStyle saved = EveryFieldChanged(MakePicture("texture.png"));
    ASSERT_TRUE(saved.Save("Top"));
    SSourceStyle loaded;
    loaded.Load("Top");
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(loaded.text.ShadowOffset, (SShadowOffset{-2, -3}));
    EXPECT_EQ(loaded.text.LgRect, (SLgRect{-5, -7, 300, -1}));
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(LineStyleStore, StoredFormsAreTheOnesOtherToolsRead)
{
    ASSERT_TRUE(EveryFieldChanged(QString()).Save("Top"));
    // Colours without alpha, red in the low byte.
    EXPECT_EQ(ReadSettingInt("Top", "TextColor", -1), 0x332211);
    EXPECT_EQ(ReadSettingInt("Top", "OutlineColor", -1), 0xFF0000);
    EXPECT_EQ(ReadSettingInt("Top", "ShadowColor", -1), 0x0000FF);
    // The alignment goes under "General"; the page has no "Alignment" key.
    EXPECT_EQ(ReadSettingInt("Top", "General", -1), 0);
    EXPECT_EQ(ReadSettingInt("Top", "Alignment", -1), -1);
    QByteArray bytes;
    ASSERT_TRUE(ReadSettingBytes("Top", "ShadowOffset", bytes));
    EXPECT_EQ(bytes, QByteArray("\xFE\xFF\xFF\xFF\xFD\xFF\xFF\xFF", 8));
    ASSERT_TRUE(ReadSettingBytes("Top", "LgRect", bytes));
    EXPECT_EQ(bytes, QByteArray("\xFB\xFF\xFF\xFF\xF9\xFF\xFF\xFF\x2C\x01\x00\x00"
                                "\xFF\xFF\xFF\xFF",
                                16));
}

TEST_F(LineStyleStore, HandWrittenValuesAreTaken)
{
    WriteIni("[Bottom]\nTextColor=255\nTextColor2=65280\nOutlineColor=16711680\n"
             "FontSize=30\nLeftToRight=0\nEnableShadow=7\n");
    SSourceStyle style;
    style.Load("Bottom");
    EXPECT_EQ(style.text.TextColor, 0xFFFF0000u);
    EXPECT_EQ(style.text.TextColor2, 0xFF00FF00u);
    EXPECT_EQ(style.text.OutlineColor, 0xFF0000FFu);
    EXPECT_EQ(style.text.FontSize, 30.0f);
    EXPECT_FALSE(style.text.LeftToRight);
    EXPECT_TRUE(style.text.EnableShadow);
}

TEST_F(LineStyleStore, FontSizeIsStoredAsItsIntegerPart)
{
    SSourceStyle style;
    style.text.FontSize = 59.7f;
    ASSERT_TRUE(style.Save("Top"));
    EXPECT_EQ(ReadSettingInt("Top", "FontSize", -1), 59);
    SSourceStyle loaded;
    loaded.Load("Top");
    EXPECT_EQ(loaded.text.FontSize, 59.0f);
}

TEST_F(LineStyleStore, LineAlignmentAboveTwoIsIgnored)
{
    struct Case {
        int Stored;
        std::uint8_t Before;
        std::uint8_t After;
    } cases[] = {{3, 0, 0}, {255, 2, 2}, {-1, 0, 0}, {2, 0, 2}, {0, 2, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Stored);
        ASSERT_TRUE(WriteSettingInt("Top", "LineAlignment", c.Stored));
        SSourceStyle style;
        style.text.LineAlignment = c.Before;
        style.Load("Top");
        EXPECT_EQ(style.text.LineAlignment, c.After);
    }
}

TEST_F(LineStyleStore, BlocksOfAnotherSizeKeepTheRecordValue)
{
    ASSERT_TRUE(WriteSettingBytes("Top", "LgRect", QByteArray(12, '\x01')));
    ASSERT_TRUE(WriteSettingBytes("Top", "ShadowOffset", QByteArray(9, '\x01')));
    SSourceStyle style;
    style.Load("Top");
    EXPECT_EQ(style.text.LgRect, SLgRect{});
    EXPECT_EQ(style.text.ShadowOffset, SShadowOffset{});
}

TEST_F(LineStyleStore, EachPageHasItsOwnSection)
{
    const SSourceStyle top = EveryFieldChanged(QString());
    SSourceStyle bottom;
    bottom.Direction = 1;
    bottom.text.ShadowOffset = {4, 5};
    ASSERT_TRUE(top.Save(PageSection(0)));
    ASSERT_TRUE(bottom.Save(PageSection(1)));
    EXPECT_EQ(PageSection(0), "Top");
    EXPECT_EQ(PageSection(1), "Bottom");

    SSourceStyle loadedTop, loadedBottom;
    loadedTop.Load("Top");
    loadedBottom.Load("Bottom");
    EXPECT_EQ(loadedTop, top);
    EXPECT_EQ(loadedBottom, bottom);
}

TEST_F(LineStyleStore, ASaveThatCannotBeWrittenFails)
{
    QFile blocker(Dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where a folder should be
    blocker.close();
    SetSettingsFilePath(Dir.filePath("blocked/tandeo.ini"));
    EXPECT_FALSE(SSourceStyle{}.Save("Top"));
}

TEST_F(LineStyleStore, TextureImageMustOpen)
{
    const QString picture = MakePicture("texture.png");
    const QString missing = Dir.filePath("missing.png");
    const QString notAPicture = Dir.filePath("words.png");
    {
        QFile file(notAPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }

    CTextTmp text;
    EXPECT_TRUE(text.SetTextureImage(picture));
    EXPECT_EQ(text.TextureImage, picture);
    EXPECT_FALSE(text.SetTextureImage(picture));
    EXPECT_TRUE(Messages.Shown.empty());

    for (const QString& bad : {missing, notAPicture}) {
        Messages.Shown.clear();
        EXPECT_FALSE(text.SetTextureImage(bad));
        EXPECT_EQ(text.TextureImage, picture);
        ASSERT_EQ(Messages.Shown.size(), 1u);
        EXPECT_EQ(Messages.Shown[0], bad + "\r\nImage open error! ");
        EXPECT_EQ(Messages.Kinds[0], EMessageKind::Error);
    }

    Messages.Shown.clear();
    EXPECT_TRUE(text.SetTextureImage(QString()));
    EXPECT_TRUE(text.TextureImage.isEmpty());
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(LineStyleStore, AStoredTextureThatNoLongerOpensIsNotLoaded)
{
    const QString missing = Dir.filePath("gone.png");
    ASSERT_TRUE(WriteSettingString("Top", "TextureImage", missing));
    SSourceStyle style;
    style.Load("Top");
    EXPECT_TRUE(style.text.TextureImage.isEmpty());
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0], missing + "\r\nImage open error! ");
}

TEST(LineStyle, BlockSettersReportAChange)
{
    CTextTmp text;
    EXPECT_FALSE(text.SetLgRect({0, 0, 50, 50}));
    EXPECT_TRUE(text.SetLgRect({0, 0, 50, -50}));
    EXPECT_EQ(text.LgRect, (SLgRect{0, 0, 50, -50}));
    EXPECT_FALSE(text.SetLgRect({0, 0, 50, -50}));

    EXPECT_FALSE(text.SetShadowOffset({2, 2}));
    EXPECT_TRUE(text.SetShadowOffset({2, -2}));
    EXPECT_EQ(text.ShadowOffset, (SShadowOffset{2, -2}));
    EXPECT_FALSE(text.SetShadowOffset({2, -2}));
}

QFont MakeFont(const char* family, int pixels, int points, QFont::Weight weight, bool italic,
               bool underline, bool strikeOut)
{
    QFont font(family);
    if (pixels > 0)
        font.setPixelSize(pixels);
    else
        font.setPointSize(points);
    font.setWeight(weight);
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikeOut);
    return font;
}

TEST(LineStyle, FontFromAChooserDescription)
{
    struct Case {
        const char* Name;
        QFont Font;
        int Dpi;
        float Size;
        std::uint8_t Style;
    } cases[] = {
        // clang-format off
        {"56 px at 96 dpi is 42 pt", MakeFont("DejaVu Sans", 56, 0, QFont::Normal, false, false, false), 96, 42.0f, 0},
        {"15 px rounds down", MakeFont("DejaVu Sans", 15, 0, QFont::Bold, false, false, false), 96, 11.0f, FontStyleBold},
        {"14 px rounds half up", MakeFont("DejaVu Sans", 14, 0, QFont::Normal, true, false, false), 96, 11.0f, FontStyleItalic},
        {"16 px at 120 dpi", MakeFont("DejaVu Sans", 16, 0, QFont::Normal, false, true, true), 120, 10.0f, FontStyleUnderline | FontStyleStrikeout},
        {"points survive at 96 dpi", MakeFont("Liberation Sans", 0, 42, QFont::DemiBold, true, false, false), 96, 42.0f, FontStyleBold | FontStyleItalic},
        {"points survive at 144 dpi", MakeFont("Liberation Sans", 0, 9, QFont::Medium, false, false, false), 144, 9.0f, 0},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CTextTmp text;
        text.fontUnit = FontUnitPixel;
        EXPECT_TRUE(text.SetFont(c.Font, c.Dpi));
        EXPECT_EQ(text.FontName, c.Font.family());
        EXPECT_EQ(text.FontSize, c.Size);
        EXPECT_EQ(text.FontStyle, c.Style);
        EXPECT_EQ(text.fontUnit, FontUnitPoint);
        EXPECT_FALSE(text.SetFont(c.Font, c.Dpi));
    }
}

TEST(LineStyle, FontSetterUsesNinetySixDpiWithoutAScreen)
{
    CTextTmp text;
    EXPECT_EQ(CTextTmp::ScreenDpiY(), 96);
    EXPECT_TRUE(text.SetFont(MakeFont("Arial", 40, 0, QFont::Bold, false, false, false)));
    EXPECT_EQ(text.FontSize, 30.0f);
    // Only the size changes.
    EXPECT_TRUE(text.SetFont(MakeFont("Arial", 41, 0, QFont::Bold, false, false, false)));
    EXPECT_EQ(text.FontSize, 31.0f);
}

TEST(LineStyle, DrawingFamilyDropsTheVerticalMark)
{
    struct Case {
        const char* FontName;
        const char* Family;
        bool Vertical;
    } cases[] = {
        {"Arial", "Arial", false}, {"@SimSun", "SimSun", true},
        {"@@Odd", "@Odd", true},   {"Font@Home", "Font@Home", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.FontName);
        CTextTmp text;
        text.FontName = c.FontName;
        EXPECT_EQ(text.FamilyName(), c.Family);
        EXPECT_EQ(text.IsVerticalFont(), c.Vertical);
    }
}

}  // namespace
