#include "LineStyle.h"

#include "platform/SettingsStore.h"
#include "platform/UserMessages.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace {

// Byte blocks of the store hold signed 32-bit values, least significant
// byte first, as the original platform wrote them.
QByteArray Int32sToBytes(std::initializer_list<std::int32_t> values)
{
    QByteArray bytes;
    for (const std::int32_t value : values) {
        char le[4];
        qToLittleEndian(value, le);
        bytes.append(le, 4);
    }
    return bytes;
}

// Fills `count` values from the block only when it has exactly that size:
// a block of another size was not written by us and is left alone.
bool BytesToInt32s(const QByteArray& bytes, std::int32_t* values, int count)
{
    if (bytes.size() != 4 * count)
        return false;
    for (int i = 0; i < count; ++i)
        values[i] = qFromLittleEndian<std::int32_t>(bytes.constData() + 4 * i);
    return true;
}

// The integer part of a size, kept inside int so that no float ever
// converts out of range.
int IntegerPart(float value)
{
    if (!std::isfinite(value))
        return 0;
    const double limit = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(static_cast<double>(value), -limit, limit));
}

std::uint8_t LowByte(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::uint32_t ColourFromStored(std::uint32_t bgr)
{
    const std::uint32_t red = bgr & 0xFF;
    const std::uint32_t green = (bgr >> 8) & 0xFF;
    const std::uint32_t blue = (bgr >> 16) & 0xFF;
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

std::uint32_t ColourToStored(std::uint32_t argb)
{
    const std::uint32_t red = (argb >> 16) & 0xFF;
    const std::uint32_t green = (argb >> 8) & 0xFF;
    const std::uint32_t blue = argb & 0xFF;
    return blue << 16 | green << 8 | red;
}

QString CTextTmp::FamilyName() const
{
    return IsVerticalFont() ? FontName.mid(1) : FontName;
}

bool CTextTmp::IsVerticalFont() const
{
    return FontName.startsWith(u'@');
}

int CTextTmp::ScreenDpiY()
{
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const QScreen* screen = app ? QGuiApplication::primaryScreen() : nullptr;
    const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 0;
    return dpi > 0 ? dpi : 96;
}

bool CTextTmp::SetFont(const QFont& font, int dpiY)
{
    if (dpiY <= 0)
        dpiY = 96;
    // The chooser's description carries a height in pixels; a font given
    // in points has one at this resolution.
    const int pixels =
        font.pixelSize() > 0 ? font.pixelSize() : qRound(font.pointSizeF() * dpiY / 72.0);
    if (pixels <= 0)
        return false;
    const int points = static_cast<int>((72LL * pixels + dpiY / 2) / dpiY);

    std::uint8_t style = 0;
    if (font.bold())
        style |= FontStyleBold;
    if (font.italic())
        style |= FontStyleItalic;
    if (font.underline())
        style |= FontStyleUnderline;
    if (font.strikeOut())
        style |= FontStyleStrikeout;

    CTextTmp changed = *this;
    changed.FontName = font.family();
    changed.FontSize = static_cast<float>(points);
    changed.FontStyle = style;
    // `FontSize` now holds points whatever unit the description used.
    changed.fontUnit = FontUnitPoint;
    if (changed == *this)
        return false;
    *this = changed;
    return true;
}

bool CTextTmp::SetLgRect(const SLgRect& rect)
{
    if (rect == LgRect)
        return false;
    LgRect = rect;
    return true;
}

bool CTextTmp::SetShadowOffset(const SShadowOffset& offset)
{
    if (offset == ShadowOffset)
        return false;
    ShadowOffset = offset;
    return true;
}

bool CTextTmp::SetTextureImage(const QString& path)
{
    if (path == TextureImage)
        return false;
    if (!path.isEmpty() && QImage(path).isNull()) {
        UserMessages().Show(path + QStringLiteral("\r\n") + QStringLiteral("Image open error! "),
                            EMessageKind::Error);
        return false;
    }
    TextureImage = path;
    return true;
}

void SSourceStyle::Load(const QString& section)
{
    auto number = [&section](const char* key, int absent) {
        return ReadSettingInt(section, QLatin1String(key), absent);
    };
    auto colour = [&number](const char* key, int absent) {
        return ColourFromStored(static_cast<std::uint32_t>(number(key, absent)));
    };

    Direction = number("Direction", 0);
    Alignment = number("General", 1);
    Location = number("Location", 100);
    Location2 = number("Location2", 100);
    // Read as unsigned so a negative value counts as out of range too.
    const auto rowAlignment = static_cast<unsigned>(number("LineAlignment", 1));
    if (rowAlignment <= 2)
        text.LineAlignment = static_cast<std::uint8_t>(rowAlignment);
    LineSpace = number("LineSpace", 0);
    Language = number("Language", 125);

    text.FontName = ReadSettingString(section, QStringLiteral("FontName"), QStringLiteral("Arial"));
    text.FontSize = static_cast<float>(number("FontSize", 42));
    text.FontStyle = LowByte(number("FontStyle", 0));
    text.LeftToRight = number("LeftToRight", 1) != 0;
    text.BrushType = LowByte(number("BrushType", 0));
    text.TextColor = colour("TextColor", 0xFFFFFF);
    text.TextColor2 = colour("TextColor2", 0xFFFFFF);
    text.HatchStyle = LowByte(number("HatchStyle", 4));
    text.LgMode = LowByte(number("LgMode", 0));

    QByteArray bytes;
    std::int32_t rect[4];
    if (ReadSettingBytes(section, QStringLiteral("LgRect"), bytes) && BytesToInt32s(bytes, rect, 4))
        text.LgRect = {rect[0], rect[1], rect[2], rect[3]};

    // Absent means no texture; a picture that no longer opens is reported
    // and not taken.
    text.SetTextureImage(ReadSettingString(section, QStringLiteral("TextureImage")));

    text.OutlineThickness = LowByte(number("OutlineThickness", 4));
    text.OutlineColor = colour("OutlineColor", 0);
    text.EnableShadow = number("EnableShadow", 1) != 0;
    text.ShadowThickness = LowByte(number("ShadowThickness", 3));
    text.ShadowColor = colour("ShadowColor", 0);

    std::int32_t offset[2];
    if (ReadSettingBytes(section, QStringLiteral("ShadowOffset"), bytes) &&
        BytesToInt32s(bytes, offset, 2))
        text.ShadowOffset = {offset[0], offset[1]};

    FiDuration = number("FiDuration", 25);
    FoDuration = number("FoDuration", 25);
}

bool SSourceStyle::Save(const QString& section) const
{
    bool ok = true;
    auto number = [&](const char* key, int value) {
        ok = WriteSettingInt(section, QLatin1String(key), value) && ok;
    };
    auto colour = [&number](const char* key, std::uint32_t argb) {
        number(key, static_cast<int>(ColourToStored(argb)));
    };

    number("Direction", Direction);
    number("General", Alignment);
    number("Location", Location);
    number("Location2", Location2);
    number("LineAlignment", text.LineAlignment);
    number("LineSpace", LineSpace);
    number("Language", Language);
    ok = WriteSettingString(section, QStringLiteral("FontName"), text.FontName) && ok;
    number("FontSize", IntegerPart(text.FontSize));
    number("FontStyle", text.FontStyle);
    number("LeftToRight", text.LeftToRight ? 1 : 0);
    number("BrushType", text.BrushType);
    colour("TextColor", text.TextColor);
    colour("TextColor2", text.TextColor2);
    number("HatchStyle", text.HatchStyle);
    number("LgMode", text.LgMode);
    const SLgRect& rect = text.LgRect;
    ok = WriteSettingBytes(section, QStringLiteral("LgRect"),
                           Int32sToBytes({rect.left, rect.top, rect.right, rect.bottom})) &&
         ok;
    ok = WriteSettingString(section, QStringLiteral("TextureImage"), text.TextureImage) && ok;
    number("OutlineThickness", text.OutlineThickness);
    colour("OutlineColor", text.OutlineColor);
    number("EnableShadow", text.EnableShadow ? 1 : 0);
    number("ShadowThickness", text.ShadowThickness);
    colour("ShadowColor", text.ShadowColor);
    ok = WriteSettingBytes(section, QStringLiteral("ShadowOffset"),
                           Int32sToBytes({text.ShadowOffset.x, text.ShadowOffset.y})) &&
         ok;
    number("FiDuration", FiDuration);
    number("FoDuration", FoDuration);
    return ok;
}

QString PageSection(int page)
{
    return page == 0 ? QStringLiteral("Top") : QStringLiteral("Bottom");
}

SFadeSettings FadeSettingsOf(const SSourceStyle& style)
{
    return {style.fadeMode, style.FiDuration, style.FoDuration};
}
