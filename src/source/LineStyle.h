#pragma once
// The style of one source: how its lines are drawn (`CTextTmp`: font,
// brush, outline, shadow) and where their pictures go on the frame, with
// the row spacing, the fades and the language. The property grid edits it,
// keeps it in the settings store (one section per page) and the source,
// the renderer, the preview and the builder read it.
//
// Colours here are ARGB (0xAARRGGBB). The store keeps them as 0x00BBGGRR
// without alpha, so a loaded colour is always opaque.

#include "pgs/GroupModel.h"

#include <QFont>
#include <QString>

#include <cstdint>

// The gradient of the brush runs from (left, top) to (right, bottom).
struct SLgRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 50;
    std::int32_t bottom = 50;
    bool operator==(const SLgRect&) const = default;
};

struct SShadowOffset {
    std::int32_t x = 2;
    std::int32_t y = 2;
    bool operator==(const SShadowOffset&) const = default;
};

enum EFontStyle : std::uint8_t {
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

enum EFontUnit : std::uint8_t { FontUnitPixel = 2, FontUnitPoint = 3 };

enum EBrushType : std::uint8_t {
    BrushSolid = 0,
    BrushHatch = 1,
    BrushLinearGradient = 2,
    BrushTexture = 3,
};

// How a line is drawn. These defaults are the record's own; a page whose
// settings are absent loads other ones (see SSourceStyle::Load).
struct CTextTmp {
    QString FontName = QStringLiteral("Arial");  // a leading '@' means vertical text
    float FontSize = 59.0f;                      // em size in pixels
    std::uint8_t FontStyle = FontStyleBold;      // EFontStyle bits
    std::uint8_t reserved1 = 1;
    bool LeftToRight = true;  // column order of vertical text
    std::uint8_t fontUnit = FontUnitPoint;
    std::uint8_t LineAlignment = 1;  // rows in the picture: 0 Near, 1 Center, 2 Far
    std::int32_t reserved2 = 0;
    std::uint8_t BrushType = BrushSolid;
    std::uint32_t TextColor = 0xFFFFFFFF;   // solid; hatch foreground; gradient start
    std::uint32_t TextColor2 = 0xFFFFFFFF;  // hatch background; gradient end
    std::uint8_t HatchStyle = 4;            // 0 to 52
    std::uint8_t LgMode = 0;                // gradient direction, 0 to 3
    SLgRect LgRect;
    QString TextureImage;
    std::uint8_t OutlineThickness = 4;  // pixels
    std::uint32_t OutlineColor = 0xFF000000;
    bool EnableShadow = true;
    std::uint8_t ShadowThickness = 3;  // pixels
    std::uint32_t ShadowColor = 0xFF000000;
    SShadowOffset ShadowOffset;

    bool operator==(const CTextTmp&) const = default;

    // The family to draw with: `FontName` without its leading '@'.
    QString FamilyName() const;
    // A leading '@' on `FontName` asks for vertical text.
    bool IsVerticalFont() const;

    // The setters return true when the value changed.

    // Takes the face name, the style bits and the size from a font as the
    // font chooser gives it. `FontSize` becomes the font's point size,
    // computed from its pixel height at `dpiY` and rounded to the nearest
    // integer, so a font chosen as 42 points draws with an em of 42 pixels.
    // A font given in points is first turned into pixels at `dpiY`.
    bool SetFont(const QFont& font, int dpiY);
    bool SetFont(const QFont& font) { return SetFont(font, ScreenDpiY()); }
    bool SetLgRect(const SLgRect& rect);
    bool SetShadowOffset(const SShadowOffset& offset);
    // A non-empty path is taken only if the picture opens; otherwise the
    // user is told and the old path stays. An empty path is always taken.
    bool SetTextureImage(const QString& path);

    // The vertical resolution of the primary screen when a QGuiApplication
    // runs, 96 otherwise.
    static int ScreenDpiY();
};

// The whole style of one source page.
struct SSourceStyle {
    CTextTmp text;
    std::int32_t Direction = 0;    // 0 Horizontal, 1 Vertical, 2 Auto
    std::int32_t Alignment = 1;    // along the border: 0 Near, 1 Center, 2 Far
    std::int32_t Location = 100;   // from the border, pictures of several rows
    std::int32_t Location2 = 100;  // from the border, pictures of one row
    std::int32_t LineSpace = 0;    // extra pixels between rows
    std::int32_t Language = 125;   // index into the grid's languages; 125 is "eng"
    std::int32_t fadeMode = 1;
    std::int32_t FiDuration = 25;  // percent of the line's duration
    std::int32_t FoDuration = 25;

    bool operator==(const SSourceStyle&) const = default;

    // Reads the page's keys from `section` of the settings store. Absent
    // keys take their stored defaults (a 42-pixel regular white font, for
    // one); an absent or malformed "LgRect" or "ShadowOffset" keeps the
    // current value, and a "LineAlignment" above 2 is ignored.
    void Load(const QString& section);
    // False when the store could not be written.
    bool Save(const QString& section) const;
};

// The settings section of page 0 (top/left) or 1 (bottom/right).
QString PageSection(int page);

// What the builder hands the encoder for faded lines of this source.
SFadeSettings FadeSettingsOf(const SSourceStyle& style);

// Between ARGB and the store's opaque 0x00BBGGRR.
std::uint32_t ColourFromStored(std::uint32_t bgr);
std::uint32_t ColourToStored(std::uint32_t argb);
