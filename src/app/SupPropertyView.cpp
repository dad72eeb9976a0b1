#include "app/SupPropertyView.h"

#include <QHeaderView>

namespace {

QString Colour(std::uint32_t argb)
{
    return QString::asprintf("#%08X", argb);
}

QString Choice(int value, const QStringList& names)
{
    return value >= 0 && value < names.size() ? names[value] : QString::number(value);
}

}  // namespace

CSupPropertyView::CSupPropertyView(CSupView* page, QWidget* parent)
    : QTreeWidget(parent), page_(page)
{
    setColumnCount(2);
    setHeaderLabels({"Property", "Value"});
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(true);
    setMinimumWidth(220);
    RefreshGrid();
}

void CSupPropertyView::RefreshGrid()
{
    clear();
    const CTextTmp& t = style.text;
    const QStringList nearCenterFar = {"Near", "Center", "Far"};
    const QStringList brushes = {"Solid", "Hatch", "LinearGradient", "Texture"};
    QString fontStyle;
    for (const auto& [bit, name] : {std::pair{FontStyleBold, "Bold"},
                                    {FontStyleItalic, "Italic"},
                                    {FontStyleUnderline, "Underline"},
                                    {FontStyleStrikeout, "Strikeout"}})
        if (t.FontStyle & bit)
            fontStyle += QString(",") + name;
    const std::pair<const char*, std::vector<std::pair<const char*, QString>>> groups[] = {
        {"Font",
         {{"Font", t.FontName + QString(",%1").arg(double(t.FontSize)) + fontStyle},
          {"Left to right", t.LeftToRight ? "True" : "False"},
          {"Line alignment", Choice(t.LineAlignment, nearCenterFar)}}},
        {"Brush",
         {{"Type", Choice(t.BrushType, brushes)},
          {"Color", Colour(t.TextColor)},
          {"Color 2", Colour(t.TextColor2)},
          {"Hatch style", QString::number(t.HatchStyle)},
          {"Gradient mode", QString::number(t.LgMode)},
          {"Texture", t.TextureImage}}},
        {"Outline",
         {{"Thickness", QString::number(t.OutlineThickness)}, {"Color", Colour(t.OutlineColor)}}},
        {"Shadow",
         {{"Enable", t.EnableShadow ? "True" : "False"},
          {"Thickness", QString::number(t.ShadowThickness)},
          {"Color", Colour(t.ShadowColor)},
          {"Offset", QString("%1, %2").arg(t.ShadowOffset.x).arg(t.ShadowOffset.y)}}},
        {"Layout",
         {{"Direction", Choice(style.Direction, {"Horizontal", "Vertical", "Auto"})},
          {"Alignment", Choice(style.Alignment, nearCenterFar)},
          {"Location", QString::number(style.Location)},
          {"Location (one row)", QString::number(style.Location2)},
          {"Line space", QString::number(style.LineSpace)}}},
        {"Fade",
         {{"Fade in", QString("%1%").arg(style.FiDuration)},
          {"Fade out", QString("%1%").arg(style.FoDuration)}}},
    };
    for (const auto& [group, items] : groups) {
        auto* top = new QTreeWidgetItem(this, {group});
        QFont bold = top->font(0);
        bold.setBold(true);
        top->setFont(0, bold);
        for (const auto& [name, value] : items)
            new QTreeWidgetItem(top, {name, value});
    }
    expandAll();
    resizeColumnToContents(0);
}
