#include "app/SupPropertyView.h"

#include "app/Languages.h"
#include "source/HatchPatterns.h"

#include <QHeaderView>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

const QStringList& DirectionNames()
{
    static const QStringList names = {"Horizontal", "Vertical", "Auto"};
    return names;
}

const QStringList& AlignmentNames()
{
    static const QStringList names = {"Near", "Center", "Far"};
    return names;
}

const QStringList& BrushNames()
{
    static const QStringList names = {"Solid", "Hatch", "LinearGradient", "Texture"};
    return names;
}

const QStringList& GradientModeNames()
{
    static const QStringList names = {"Horizontal", "Vertical", "ForwardDiagonal",
                                      "BackwardDiagonal"};
    return names;
}

// In the numbering of EHatchStyle.
constexpr std::array<const char*, HatchStyleCount> HatchNameTable = {
    "Horizontal",
    "Vertical",
    "ForwardDiagonal",
    "BackwardDiagonal",
    "Cross",
    "DiagonalCross",
    "05Percent",
    "10Percent",
    "20Percent",
    "25Percent",
    "30Percent",
    "40Percent",
    "50Percent",
    "60Percent",
    "70Percent",
    "75Percent",
    "80Percent",
    "90Percent",
    "LightDownwardDiagonal",
    "LightUpwardDiagonal",
    "DarkDownwardDiagonal",
    "DarkUpwardDiagonal",
    "WideDownwardDiagonal",
    "WideUpwardDiagonal",
    "LightVertical",
    "LightHorizontal",
    "NarrowVertical",
    "NarrowHorizontal",
    "DarkVertical",
    "DarkHorizontal",
    "DashedDownwardDiagonal",
    "DashedUpwardDiagonal",
    "DashedHorizontal",
    "DashedVertical",
    "SmallConfetti",
    "LargeConfetti",
    "ZigZag",
    "Wave",
    "DiagonalBrick",
    "HorizontalBrick",
    "Weave",
    "Plaid",
    "Divot",
    "DottedGrid",
    "DottedDiamond",
    "Shingle",
    "Trellis",
    "Sphere",
    "SmallGrid",
    "SmallCheckerBoard",
    "LargeCheckerBoard",
    "OutlinedDiamond",
    "SolidDiamond",
};
static_assert(HatchSolidDiamond == HatchStyleCount - 1);

const QStringList& HatchNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const char* name : HatchNameTable)
            list << QString::fromLatin1(name);
        return list;
    }();
    return names;
}

QStringList LanguageEntries()
{
    QStringList entries;
    for (const int index : LanguageDisplayOrder())
        entries << LanguageEntryText(index);
    return entries;
}

// Stored values are not checked when they are loaded; one outside its list
// shows as the field's default rather than as nothing. The field itself
// keeps what was stored until the user picks another value.
int Shown(int value, int count, int fallback)
{
    return value >= 0 && value < count ? value : fallback;
}

QString OptionText(int value, const QStringList& options, int fallback)
{
    return options[Shown(value, int(options.size()), fallback)];
}

int ShownLanguage(int value)
{
    return Shown(value, LanguageCount, 125);
}

QString LanguageCode(int value)
{
    return QString::fromLatin1(LanguageAt(ShownLanguage(value)).code);
}

int ShownBrushType(int value)
{
    return Shown(value, int(BrushNames().size()), BrushSolid);
}

// The font the chooser starts from: the face as stored (with its vertical
// mark), the size in the unit the chooser reported, and the style bits.
QFont FontOf(const CTextTmp& text)
{
    QFont font;
    font.setFamily(text.FontName);
    if (text.FontSize > 0) {
        if (text.fontUnit == FontUnitPixel)
            font.setPixelSize(qRound(text.FontSize));
        else
            font.setPointSizeF(text.FontSize);
    }
    font.setWeight((text.FontStyle & FontStyleBold) ? QFont::Bold : QFont::Normal);
    font.setItalic((text.FontStyle & FontStyleItalic) != 0);
    font.setUnderline((text.FontStyle & FontStyleUnderline) != 0);
    font.setStrikeOut((text.FontStyle & FontStyleStrikeout) != 0);
    return font;
}

QString PointText(int x, int y)
{
    return QString::asprintf("%d, %d", x, y);
}

const QString TextureFilter = QStringLiteral(
    "*.jpg;*.jpeg;*.png;*.bmp;*.gif|*.jpg;*.jpeg;*.png;*.bmp;*.gif||All files(*.*)|*.*||");

}  // namespace

CSupPropertyView::CSupPropertyView(CSupView* page, QWidget* parent)
    : CPropertyView(parent), page_(page)
{
    setMinimumWidth(220);
    BuildGrid();
}

void CSupPropertyView::BuildGrid()
{
    Grid()->clear();
    const CTextTmp& t = style.text;

    CPropertyGroup* layout = AddGroup("Layout");
    direction_ = AddItem<COptionProperty>(layout, "Direction",
                                          OptionText(style.Direction, DirectionNames(), 0),
                                          DirectionNames(), "Specifies image subtitle direction.");
    alignment_ = AddItem<COptionProperty>(layout, "Alignment",
                                          OptionText(style.Alignment, AlignmentNames(), 1),
                                          AlignmentNames(), "Specifies alignment.");

    CPropertyGroup* location = AddGroup("Location");
    location_ = AddItem<CIntProperty>(location, "Overall", style.Location,
                                      "Specifies overall offset from corresponding border.");
    location2_ = AddItem<CIntProperty>(location, "Single line", style.Location2,
                                       "Specifies single-line offset from corresponding border.");

    CPropertyGroup* bdn = AddGroup("BDN");
    language_ = AddItem<CCbxProperty>(bdn, "Language", LanguageCode(style.Language),
                                      LanguageEntries(), "Specifies language for BDN output.");

    CPropertyGroup* multiLine = AddGroup("MultiLine");
    lineAlignment_ = AddItem<COptionProperty>(
        multiLine, "Alignment", OptionText(t.LineAlignment, AlignmentNames(), 1), AlignmentNames(),
        "Specifies the line alignment in paragraph.");
    lineSpace_ = AddItem<CIntProperty>(multiLine, "Line space", style.LineSpace,
                                       "Specifies spaces between lines.");

    CPropertyGroup* text = AddGroup("Text");
    font_ = AddItem<CMyPropertyFontProperty>(text, "Font", FontOf(t), "Specifies font name, size.");
    leftToRight_ = AddItem<CBoolProperty>(text, "Left to right", t.LeftToRight,
                                          "Specifies text reading order.");

    CPropertyGroup* brush = AddGroup("Brush");
    brushType_ = AddItem<COptionProperty>(brush, "Type", BrushNames()[ShownBrushType(t.BrushType)],
                                          BrushNames(), "Specifies the brush type.");
    colour_ = AddItem<CColourProperty>(brush, "Color", t.TextColor, "Specifies the brush color.");
    colour2_ =
        AddItem<CColourProperty>(brush, "Color2", t.TextColor2, "Specifies the 2nd brush color.");
    hatchStyle_ = AddItem<COptionProperty>(brush, "Hatch style",
                                           OptionText(t.HatchStyle, HatchNames(), HatchCross),
                                           HatchNames(), "Specifies the hatch style.");
    CPropertyGroup* gradient = AddGroup("Linear gradient", brush);
    lgMode_ =
        AddItem<COptionProperty>(gradient, "Mode", OptionText(t.LgMode, GradientModeNames(), 0),
                                 GradientModeNames(), "Specifies the linear gradient style.");
    startPoint_ =
        AddItem<CPointProptertyProp>(gradient, "Start point", "0, 0", 0, 100, 0, 100,
                                     "Specifies the start point of the linear gradient brush.");
    endPoint_ =
        AddItem<CPointProptertyProp>(gradient, "End point", "50, 50", 0, 100, 0, 100,
                                     "Specifies the end point of the linear gradient brush.");
    texture_ = AddItem<CFileProperty>(brush, "Texture image", t.TextureImage, TextureFilter,
                                      "Specifies the texture image file.");

    CPropertyGroup* outline = AddGroup("Outline");
    outlineThickness_ = AddItem<CIntProperty>(outline, "Thickness", t.OutlineThickness, 0, 50,
                                              "Specifies the outline thickness.");
    outlineColour_ =
        AddItem<CColourProperty>(outline, "Color", t.OutlineColor, "Specifies the outline color.");

    CPropertyGroup* shadow = AddGroup("Shadow");
    shadowEnable_ =
        AddItem<CBoolProperty>(shadow, "Enable", t.EnableShadow, "Enable shadow effect.");
    shadowSize_ = AddItem<CIntProperty>(shadow, "Size", t.ShadowThickness, 0, 50,
                                        "Specifies the shadow size.");
    shadowOffset_ = AddItem<CPointProptertyProp>(shadow, "Offset", "4, 4", -30, 30, -30, 30,
                                                 "Specifies the shadow offset.");
    shadowColour_ =
        AddItem<CColourProperty>(shadow, "Color", t.ShadowColor, "Specifies the shadow color.");

    CPropertyGroup* fade = AddGroup("Fade");
    fadeIn_ = AddItem<CIntProperty>(fade, "In duration(%)", style.FiDuration, 0, 100,
                                    "Specifies the fade-in duration percent.");
    fadeOut_ = AddItem<CIntProperty>(fade, "Out duration(%)", style.FoDuration, 0, 100,
                                     "Specifies the fade-out duration percent.");

    Grid()->expandAll();
    Grid()->resizeColumnToContents(0);
}

void CSupPropertyView::RefreshGrid()
{
    const CTextTmp& t = style.text;
    ShowDirection();
    alignment_->SetText(OptionText(style.Alignment, AlignmentNames(), 1));
    location_->SetValue(style.Location);
    location2_->SetValue(style.Location2);
    language_->SetText(LanguageCode(style.Language));
    language_->SetPickedPosition(LanguageDisplayPosition(ShownLanguage(style.Language)));
    lineAlignment_->SetText(OptionText(t.LineAlignment, AlignmentNames(), 1));
    lineSpace_->SetValue(style.LineSpace);
    font_->SetValue(FontOf(t));
    leftToRight_->SetValue(t.LeftToRight);
    brushType_->SetText(BrushNames()[ShownBrushType(t.BrushType)]);
    colour_->SetValue(t.TextColor);
    colour2_->SetValue(t.TextColor2);
    hatchStyle_->SetText(OptionText(t.HatchStyle, HatchNames(), HatchCross));
    lgMode_->SetText(OptionText(t.LgMode, GradientModeNames(), 0));
    startPoint_->SetText(PointText(t.LgRect.left, t.LgRect.top));
    endPoint_->SetText(PointText(t.LgRect.right, t.LgRect.bottom));
    texture_->SetText(t.TextureImage);
    outlineThickness_->SetValue(t.OutlineThickness);
    outlineColour_->SetValue(t.OutlineColor);
    shadowEnable_->SetValue(t.EnableShadow);
    shadowSize_->SetValue(t.ShadowThickness);
    shadowOffset_->SetText(PointText(t.ShadowOffset.x, t.ShadowOffset.y));
    shadowColour_->SetValue(t.ShadowColor);
    fadeIn_->SetValue(style.FiDuration);
    fadeOut_->SetValue(style.FoDuration);
}

void CSupPropertyView::SetTextMode()
{
    // The direction follows the font's vertical mark.
    direction_->SetEnabled(false);
    for (CProperty* item : std::initializer_list<CProperty*>{
             alignment_, location_, location2_, language_, lineAlignment_, lineSpace_, font_,
             brushType_, outlineThickness_, outlineColour_, shadowEnable_, fadeIn_, fadeOut_})
        item->SetEnabled(true);
    leftToRight_->SetEnabled(style.text.IsVerticalFont());
    EnableBrushItems();
    EnableShadowItems();
}

void CSupPropertyView::EnableBrushItems()
{
    // By the type the grid shows, so that an unknown stored type behaves
    // like the "Solid" it is shown as.
    const int type = ShownBrushType(style.text.BrushType);
    colour_->SetEnabled(type == BrushSolid || type == BrushHatch || type == BrushLinearGradient);
    colour2_->SetEnabled(type == BrushHatch || type == BrushLinearGradient);
    hatchStyle_->SetEnabled(type == BrushHatch);
    lgMode_->SetEnabled(type == BrushLinearGradient);
    startPoint_->SetEnabled(type == BrushLinearGradient);
    endPoint_->SetEnabled(type == BrushLinearGradient);
    texture_->SetEnabled(type == BrushTexture);
}

void CSupPropertyView::EnableShadowItems()
{
    const bool on = style.text.EnableShadow;
    shadowSize_->SetEnabled(on);
    shadowOffset_->SetEnabled(on);
    shadowColour_->SetEnabled(on);
}

void CSupPropertyView::ShowDirection()
{
    direction_->SetText(OptionText(style.Direction, DirectionNames(), 0));
}

void CSupPropertyView::OnPropertyChanged(CProperty* item)
{
    if (!page_)
        return;
    CTextTmp& t = style.text;

    if (item == direction_) {
        style.Direction = direction_->Position();
    } else if (item == alignment_) {
        style.Alignment = alignment_->Position();
    } else if (item == lineAlignment_) {
        const int position = lineAlignment_->Position();
        if (position >= 0 && position <= 2 && position != t.LineAlignment)
            t.LineAlignment = static_cast<std::uint8_t>(position);
    } else if (item == brushType_) {
        t.BrushType = static_cast<std::uint8_t>(brushType_->Position());
        EnableBrushItems();
    } else if (item == hatchStyle_) {
        t.HatchStyle = static_cast<std::uint8_t>(hatchStyle_->Position());
    } else if (item == lgMode_) {
        t.LgMode = static_cast<std::uint8_t>(lgMode_->Position());
    } else if (item == location_ || item == location2_ || item == lineSpace_ ||
               item == outlineThickness_ || item == shadowSize_) {
        auto* number = static_cast<CIntProperty*>(item);
        const int value = number->Value();
        const auto low8 = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
        if (item == location_) {
            if (value < 0)
                return location_->SetValue(style.Location);
            style.Location = value;
        } else if (item == location2_) {
            if (value < 0)
                return location2_->SetValue(style.Location2);
            style.Location2 = value;
        } else if (item == lineSpace_) {
            if (value < 0)
                return lineSpace_->SetValue(style.LineSpace);
            style.LineSpace = value;
        } else if (item == outlineThickness_) {
            if (value < 0)
                return outlineThickness_->SetValue(t.OutlineThickness);
            t.OutlineThickness = low8(value);
            // The field holds a byte; show what it holds.
            outlineThickness_->SetValue(t.OutlineThickness);
        } else {
            if (value < 0)
                return shadowSize_->SetValue(t.ShadowThickness);
            t.ShadowThickness = low8(value);
            shadowSize_->SetValue(t.ShadowThickness);
        }
    } else if (item == language_) {
        const int position = language_->PickedPosition();
        if (position < 0 || position >= LanguageCount)
            return;
        style.Language = LanguageDisplayOrder()[position];
        // The list shows a row as code and name; the item shows the code.
        language_->SetText(LanguageCode(style.Language));
    } else if (item == font_) {
        t.SetFont(font_->Value());
        style.Direction = t.IsVerticalFont() ? 1 : 0;
        ShowDirection();
        leftToRight_->SetEnabled(t.IsVerticalFont());
    } else if (item == leftToRight_) {
        t.LeftToRight = leftToRight_->Value();
    } else if (item == shadowEnable_) {
        t.EnableShadow = shadowEnable_->Value();
        EnableShadowItems();
    } else if (item == colour_ || item == colour2_ || item == outlineColour_ ||
               item == shadowColour_) {
        const std::uint32_t argb =
            0xFF000000u | (static_cast<CColourProperty*>(item)->Value() & 0xFFFFFFu);
        std::uint32_t& field = item == colour_          ? t.TextColor
                               : item == colour2_       ? t.TextColor2
                               : item == outlineColour_ ? t.OutlineColor
                                                        : t.ShadowColor;
        if (field != argb)
            field = argb;
    } else if (item == startPoint_ || item == endPoint_) {
        auto* point = static_cast<CPointProptertyProp*>(item);
        SLgRect rect = t.LgRect;
        if (item == startPoint_) {
            rect.left = point->X();
            rect.top = point->Y();
        } else {
            rect.right = point->X();
            rect.bottom = point->Y();
        }
        if (!t.SetLgRect(rect))
            return;
    } else if (item == shadowOffset_) {
        if (!t.SetShadowOffset({shadowOffset_->X(), shadowOffset_->Y()}))
            return;
    } else if (item == texture_) {
        if (!t.SetTextureImage(texture_->Text()))
            return texture_->SetText(t.TextureImage);
    } else if (item == fadeIn_ || item == fadeOut_) {
        auto* fade = static_cast<CIntProperty*>(item);
        const int value = std::clamp(fade->Value(), 0, 100);
        fade->SetValue(value);
        (item == fadeIn_ ? style.FiDuration : style.FoDuration) = value;
    } else {
        return;
    }

    if (onStyleChanged)
        onStyleChanged();
}
