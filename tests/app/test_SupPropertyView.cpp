#include "app/Languages.h"
#include "app/SupPropertyView.h"
#include "app/SupView.h"
#include "support/RecordedMessages.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Where the item of a label lives.
QString GroupOf(const QString& label)
{
    if (label == "Start point" || label == "End point" || label == "Mode")
        return "Linear gradient";
    if (label == "Offset" || label == "Size" || label == "Enable")
        return "Shadow";
    if (label == "Overall" || label == "Single line")
        return "Location";
    if (label == "Line space")
        return "MultiLine";
    if (label == "Thickness")
        return "Outline";
    if (label.endsWith("duration(%)"))
        return "Fade";
    return "Brush";
}

QString Geometry(const SSourceStyle& style)
{
    const SLgRect& r = style.text.LgRect;
    const SShadowOffset& o = style.text.ShadowOffset;
    return QString::asprintf("%d %d %d %d / %d %d", r.left, r.top, r.right, r.bottom, o.x, o.y);
}

bool Bold(const CProperty* item)
{
    return item->font(1).bold();
}

// Re-enters the item from inside the message, as a second leave of the
// editor does while the message box holds the focus.
class CReenteringMessages : public CRecordedMessages {
public:
    std::function<void()> whileShown;
    void Show(const QString& text, EMessageKind kind) override
    {
        CRecordedMessages::Show(text, kind);
        if (auto again = std::exchange(whileShown, nullptr))
            again();
    }
};

}  // namespace

class TSupPropertyView : public QObject {
    Q_OBJECT

    std::unique_ptr<CSupView> page_;
    CSupPropertyView* grid_ = nullptr;
    int changes_ = 0;

    CProperty* Item(const QString& group, const QString& label) const
    {
        CProperty* item = grid_->Item(group, label);
        if (!item)
            qFatal("no item %s / %s", qPrintable(group), qPrintable(label));
        return item;
    }
    // The grid as the window shows it after the settings were loaded.
    void Load(const SSourceStyle& style)
    {
        grid_->style = style;
        grid_->RefreshGrid();
        grid_->SetTextMode();
    }
    SSourceStyle GradientStyle() const
    {
        SSourceStyle style;
        style.text.BrushType = BrushLinearGradient;
        return style;
    }

private slots:
    void init()
    {
        page_ = std::make_unique<CSupView>(nullptr, true);
        grid_ = page_->grid;
        changes_ = 0;
        grid_->onStyleChanged = [this] { ++changes_; };
    }
    void cleanup() { page_.reset(); }

    void buildsGroupsInOrderWithStartingPoints()
    {
        // A grid of its own: the page's grid may have been refreshed.
        CSupPropertyView fresh(nullptr);
        QStringList groups;
        for (int i = 0; i < fresh.Grid()->topLevelItemCount(); ++i)
            groups << fresh.Grid()->topLevelItem(i)->text(0);
        QCOMPARE(groups, QStringList({"Layout", "Location", "BDN", "MultiLine", "Text", "Brush",
                                      "Outline", "Shadow", "Fade"}));
        QStringList brush;
        QTreeWidgetItem* brushGroup = fresh.Grid()->topLevelItem(5);
        for (int i = 0; i < brushGroup->childCount(); ++i)
            brush << brushGroup->child(i)->text(0);
        QCOMPARE(brush, QStringList({"Type", "Color", "Color2", "Hatch style", "Linear gradient",
                                     "Texture image"}));
        QVERIFY(fresh.Grid()->isHeaderHidden());

        // Until the first refresh the points show fixed texts, not the block.
        QCOMPARE(fresh.Item("Linear gradient", "Start point")->Text(), QString("0, 0"));
        QCOMPARE(fresh.Item("Linear gradient", "End point")->Text(), QString("50, 50"));
        QCOMPARE(fresh.Item("Shadow", "Offset")->Text(), QString("4, 4"));
        QCOMPARE(fresh.Item("BDN", "Language")->Text(), QString("eng"));

        auto* hatch = static_cast<COptionProperty*>(fresh.Item("Brush", "Hatch style"));
        QCOMPARE(int(hatch->Options().size()), 53);
        QCOMPARE(hatch->Options().front(), QString("Horizontal"));
        QCOMPARE(hatch->Options()[6], QString("05Percent"));
        QCOMPARE(hatch->Options().back(), QString("SolidDiamond"));
        QCOMPARE(hatch->Text(), QString("Cross"));
    }

    void descriptionFollowsCurrentItem()
    {
        grid_->Grid()->setCurrentItem(Item("Shadow", "Offset"));
        QCOMPARE(grid_->DescriptionText(), QString("Specifies the shadow offset."));
        grid_->Grid()->setCurrentItem(Item("MultiLine", "Alignment"));
        QCOMPARE(grid_->DescriptionText(), QString("Specifies the line alignment in paragraph."));
        grid_->Grid()->setCurrentItem(Item("Layout", "Alignment"));
        QCOMPARE(grid_->DescriptionText(), QString("Specifies alignment."));
    }

    void refreshShowsBlockAndClampsUnknownOptions()
    {
        SSourceStyle style;
        style.Direction = 7;
        style.text.HatchStyle = 200;
        style.text.BrushType = 9;
        style.Language = 999;
        style.text.LgRect = {5, 6, 70, 80};
        style.text.ShadowOffset = {-3, 9};
        style.text.TextColor = 0x80123456;
        Load(style);
        QCOMPARE(Item("Layout", "Direction")->Text(), QString("Horizontal"));
        QCOMPARE(Item("Brush", "Hatch style")->Text(), QString("Cross"));
        QCOMPARE(Item("Brush", "Type")->Text(), QString("Solid"));
        QCOMPARE(Item("BDN", "Language")->Text(), QString("eng"));
        QCOMPARE(Item("Linear gradient", "Start point")->Text(), QString("5, 6"));
        QCOMPARE(Item("Linear gradient", "End point")->Text(), QString("70, 80"));
        QCOMPARE(Item("Shadow", "Offset")->Text(), QString("-3, 9"));
        QCOMPARE(static_cast<CColourProperty*>(Item("Brush", "Color"))->Value(), 0xFF123456u);
        // Only shown clamped; the block keeps what it was given.
        QCOMPARE(grid_->style.Direction, 7);
        QCOMPARE(grid_->style.Language, 999);
        // Shown as Solid, enabled as Solid.
        QVERIFY(Item("Brush", "Color")->IsEnabled());
        QVERIFY(!Item("Brush", "Texture image")->IsEnabled());
    }

    void pointEntry_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");   // empty: taken
        QTest::addColumn<QString>("geometry");  // LgRect / ShadowOffset afterwards

        const QString before = "0 0 50 50 / 2 2";
        QTest::newRow("start") << "Start point"
                               << "12,34"
                               << ""
                               << "12 34 50 50 / 2 2";
        QTest::newRow("start with blanks") << "Start point"
                                           << " 12 , 34 "
                                           << ""
                                           << "12 34 50 50 / 2 2";
        QTest::newRow("end keeps start") << "End point"
                                         << "70, 80"
                                         << ""
                                         << "0 0 70 80 / 2 2";
        QTest::newRow("trailing letters") << "Start point"
                                          << "12px, 3x"
                                          << ""
                                          << "12 3 50 50 / 2 2";
        QTest::newRow("one number") << "Start point"
                                    << "12"
                                    << "Wrong input format! " << before;
        QTest::newRow("three numbers") << "Start point"
                                       << "1, 2, 3"
                                       << "Wrong input format! " << before;
        QTest::newRow("empty") << "End point"
                               << ""
                               << "Wrong input format! " << before;
        QTest::newRow("x out of range") << "Start point"
                                        << "120, 34"
                                        << "Please set value between 0 and 100! " << before;
        QTest::newRow("y out of range") << "Start point"
                                        << "12, -1"
                                        << "Please set value between 0 and 100! " << before;
        QTest::newRow("offset") << "Offset"
                                << "-3, 30"
                                << ""
                                << "0 0 50 50 / -3 30";
        QTest::newRow("offset x out of range") << "Offset"
                                               << "-40, 0"
                                               << "Please set value between -30 and 30! " << before;
        QTest::newRow("offset y out of range") << "Offset"
                                               << "0, 31"
                                               << "Please set value between -30 and 30! " << before;
    }
    void pointEntry()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, geometry);
        CRecordedMessages messages;
        Load(GradientStyle());
        CProperty* item = Item(GroupOf(label), label);
        const QString shown = item->Text();

        QCOMPARE(grid_->EnterText(item, text), message.isEmpty());
        QCOMPARE(Geometry(grid_->style), geometry);
        if (message.isEmpty()) {
            QVERIFY(messages.Shown.empty());
            QCOMPARE(item->Text(), text);
            QCOMPARE(changes_, 1);
        } else {
            QCOMPARE(messages.Shown, std::vector<QString>{message});
            QCOMPARE(messages.Kinds, std::vector<EMessageKind>{EMessageKind::Warning});
            QCOMPARE(item->Text(), shown);
            QCOMPARE(changes_, 0);
        }
    }

    void pointEntryWithoutChange()
    {
        CRecordedMessages messages;
        SSourceStyle style = GradientStyle();
        style.text.LgRect = {10, 20, 50, 50};
        Load(style);
        CProperty* start = Item("Linear gradient", "Start point");
        // The same text is taken as it is.
        QVERIFY(grid_->EnterText(start, "10, 20"));
        // Another text for the same point reaches the block but changes nothing.
        QVERIFY(grid_->EnterText(start, "10,20"));
        QCOMPARE(changes_, 0);
        QVERIFY(messages.Shown.empty());
    }

    void pointMessageShownOnceAtATime()
    {
        CReenteringMessages messages;
        Load(GradientStyle());
        CProperty* start = Item("Linear gradient", "Start point");
        bool secondTaken = true;
        messages.whileShown = [&] { secondTaken = grid_->EnterText(start, "1, 2, 3"); };
        QVERIFY(!grid_->EnterText(start, "12"));
        QVERIFY(!secondTaken);
        QCOMPARE(messages.Shown, std::vector<QString>{"Wrong input format! "});
        QCOMPARE(start->Text(), QString("0, 0"));
        // Once the message is gone the item judges entries again.
        QVERIFY(grid_->EnterText(start, "3, 4"));
        QCOMPARE(Geometry(grid_->style), QString("3 4 50 50 / 2 2"));
    }

    void disabledItemRefusesEntry()
    {
        CRecordedMessages messages;
        Load(SSourceStyle{});  // solid brush: no gradient points
        QVERIFY(!grid_->EnterText(Item("Linear gradient", "Start point"), "12, 34"));
        QVERIFY(!grid_->EnterText(Item("Layout", "Direction"), "Vertical"));
        QCOMPARE(grid_->style, SSourceStyle{});
        QCOMPARE(changes_, 0);
    }

    void integerEntry_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("changes");

        // The block's defaults: Location 100, Location2 100, LineSpace 0,
        // OutlineThickness 4, ShadowThickness 3, fades 25.
        QTest::newRow("overall") << "Overall"
                                 << "140" << 140 << "140" << 1;
        QTest::newRow("overall negative") << "Overall"
                                          << "-5" << 100 << "100" << 0;
        QTest::newRow("single line negative") << "Single line"
                                              << "-1" << 100 << "100" << 0;
        QTest::newRow("line space") << "Line space"
                                    << "6" << 6 << "6" << 1;
        QTest::newRow("line space negative") << "Line space"
                                             << "-2" << 0 << "0" << 0;
        QTest::newRow("thickness negative") << "Thickness"
                                            << "-1" << 4 << "4" << 0;
        QTest::newRow("thickness low byte") << "Thickness"
                                            << "300" << 44 << "44" << 1;
        QTest::newRow("size") << "Size"
                              << "7" << 7 << "7" << 1;
        QTest::newRow("size negative") << "Size"
                                       << "-7" << 3 << "3" << 0;
        QTest::newRow("fade in above") << "In duration(%)"
                                       << "150" << 100 << "100" << 1;
        QTest::newRow("fade out below") << "Out duration(%)"
                                        << "-5" << 0 << "0" << 1;
        QTest::newRow("fade out") << "Out duration(%)"
                                  << "40" << 40 << "40" << 1;
        QTest::newRow("not a number") << "Overall"
                                      << "abc" << 100 << "100" << 0;
    }
    void integerEntry()
    {
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(int, changes);
        Load(SSourceStyle{});
        CProperty* item = Item(GroupOf(label), label);
        grid_->EnterText(item, text);
        const SSourceStyle& s = grid_->style;
        const int field = label == "Overall"          ? s.Location
                          : label == "Single line"    ? s.Location2
                          : label == "Line space"     ? s.LineSpace
                          : label == "Thickness"      ? s.text.OutlineThickness
                          : label == "Size"           ? s.text.ShadowThickness
                          : label == "In duration(%)" ? s.FiDuration
                                                      : s.FoDuration;
        QCOMPARE(field, stored);
        QCOMPARE(item->Text(), shown);
        QCOMPARE(changes_, changes);
    }

    void spinRanges()
    {
        for (const auto& [group, label, maximum] :
             {std::tuple{"Outline", "Thickness", 50}, std::tuple{"Shadow", "Size", 50},
              std::tuple{"Fade", "In duration(%)", 100},
              std::tuple{"Fade", "Out duration(%)", 100}}) {
            auto* item = static_cast<CIntProperty*>(Item(group, label));
            QVERIFY(item->HasSpin());
            QCOMPARE(item->SpinMinimum(), 0);
            QCOMPARE(item->SpinMaximum(), maximum);
        }
        QVERIFY(!static_cast<CIntProperty*>(Item("Location", "Overall"))->HasSpin());
    }

    void brushTypeEnablesItsItems_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("solid") << "Solid" << 0 << QStringList{"Color"};
        QTest::newRow("hatch") << "Hatch" << 1 << QStringList{"Color", "Color2", "Hatch style"};
        QTest::newRow("gradient, any case")
            << "lineargradient" << 2
            << QStringList{"Color", "Color2", "Mode", "Start point", "End point"};
        QTest::newRow("texture") << "Texture" << 3 << QStringList{"Texture image"};
    }
    void brushTypeEnablesItsItems()
    {
        QFETCH(QString, typed);
        QFETCH(int, type);
        QFETCH(QStringList, enabled);
        SSourceStyle style;
        // Start from another type, so that every row is a change.
        style.text.BrushType = type == BrushHatch ? BrushTexture : BrushHatch;
        Load(style);
        QVERIFY(grid_->EnterText(Item("Brush", "Type"), typed));
        QCOMPARE(int(grid_->style.text.BrushType), type);
        QCOMPARE(changes_, 1);
        QStringList actual;
        for (const char* label : {"Color", "Color2", "Hatch style", "Mode", "Start point",
                                  "End point", "Texture image"})
            if (Item(GroupOf(label), label)->IsEnabled())
                actual << label;
        QCOMPARE(actual, enabled);
        QVERIFY(Item("Brush", "Type")->IsEnabled());
    }

    void optionPicksStorePositions()
    {
        SSourceStyle style;
        style.text.BrushType = BrushHatch;
        style.text.FontName = "@SimSun";
        Load(style);
        auto pick = [this](const QString& group, const QString& label, const QString& option) {
            auto* item = static_cast<COptionProperty*>(Item(group, label));
            return grid_->PickOption(item, int(item->Options().indexOf(option)));
        };
        QVERIFY(pick("Layout", "Alignment", "Near"));
        QCOMPARE(grid_->style.Alignment, 0);
        QCOMPARE(int(grid_->style.text.LineAlignment), 1);  // the other "Alignment"
        QVERIFY(pick("MultiLine", "Alignment", "Far"));
        QCOMPARE(int(grid_->style.text.LineAlignment), 2);
        QCOMPARE(grid_->style.Alignment, 0);
        QVERIFY(pick("Brush", "Hatch style", "SolidDiamond"));
        QCOMPARE(int(grid_->style.text.HatchStyle), 52);
        QVERIFY(pick("Brush", "Type", "LinearGradient"));
        QVERIFY(pick("Linear gradient", "Mode", "BackwardDiagonal"));
        QCOMPARE(int(grid_->style.text.LgMode), 3);
        QVERIFY(grid_->EnterText(Item("Text", "Left to right"), "false"));
        QCOMPARE(grid_->style.text.LeftToRight, false);
        QCOMPARE(changes_, 6);
        // Picking the shown option again is no change.
        QVERIFY(pick("Linear gradient", "Mode", "BackwardDiagonal"));
        QCOMPARE(changes_, 6);
        // Typed text that names no option is not taken.
        QVERIFY(!grid_->EnterText(Item("Linear gradient", "Mode"), "Radial"));
        QCOMPARE(int(grid_->style.text.LgMode), 3);
        QCOMPARE(changes_, 6);
    }

    void textModeEnableRules()
    {
        SSourceStyle style;
        style.text.EnableShadow = false;
        Load(style);
        QVERIFY(!Item("Layout", "Direction")->IsEnabled());
        QVERIFY(!Item("Text", "Left to right")->IsEnabled());
        for (const auto& [group, label] : {std::pair{"Layout", "Alignment"},
                                           {"Location", "Overall"},
                                           {"Location", "Single line"},
                                           {"BDN", "Language"},
                                           {"MultiLine", "Alignment"},
                                           {"MultiLine", "Line space"},
                                           {"Text", "Font"},
                                           {"Outline", "Thickness"},
                                           {"Outline", "Color"},
                                           {"Shadow", "Enable"},
                                           {"Fade", "In duration(%)"},
                                           {"Fade", "Out duration(%)"}})
            QVERIFY2(Item(group, label)->IsEnabled(), label);
        for (const char* label : {"Size", "Offset", "Color"})
            QVERIFY2(!Item("Shadow", label)->IsEnabled(), label);

        style.text.FontName = "@SimSun";
        style.text.EnableShadow = true;
        Load(style);
        QVERIFY(Item("Text", "Left to right")->IsEnabled());
        QVERIFY(Item("Shadow", "Offset")->IsEnabled());
    }

    void shadowSwitch()
    {
        Load(SSourceStyle{});
        CProperty* enable = Item("Shadow", "Enable");
        QVERIFY(grid_->EnterText(enable, "False"));
        QCOMPARE(grid_->style.text.EnableShadow, false);
        for (const char* label : {"Size", "Offset", "Color"})
            QVERIFY2(!Item("Shadow", label)->IsEnabled(), label);
        QVERIFY(grid_->PickOption(enable, 0));
        QCOMPARE(grid_->style.text.EnableShadow, true);
        for (const char* label : {"Size", "Offset", "Color"})
            QVERIFY2(Item("Shadow", label)->IsEnabled(), label);
        QCOMPARE(changes_, 2);
    }

    void fontSetsDirection_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QString>("shown");
        QTest::newRow("vertical") << "Arial"
                                  << "@SimSun" << 1 << "Vertical";
        QTest::newRow("horizontal") << "@SimSun"
                                    << "Arial" << 0 << "Horizontal";
    }
    void fontSetsDirection()
    {
        QFETCH(QString, before);
        QFETCH(QString, family);
        QFETCH(int, direction);
        QFETCH(QString, shown);
        CScriptedDialogs dialogs;
        SSourceStyle style;
        style.text.FontName = before;
        style.text.FontSize = 42;
        style.text.FontStyle = FontStyleItalic;
        style.Direction = 1 - direction;
        Load(style);

        QFont picked(family);
        picked.setPointSize(30);
        dialogs.FontAnswers.push_back(picked);
        QVERIFY(grid_->ChooseFont(Item("Text", "Font")));

        // The chooser starts from the style's font.
        QCOMPARE(dialogs.FontAsked.size(), std::size_t(1));
        QCOMPARE(dialogs.FontAsked[0].family(), before);
        QCOMPARE(dialogs.FontAsked[0].pointSizeF(), 42.0);
        QVERIFY(dialogs.FontAsked[0].italic());
        QVERIFY(!dialogs.FontAsked[0].bold());

        QCOMPARE(grid_->style.text.FontName, family);
        QCOMPARE(grid_->style.text.FontSize, 30.0f);
        QCOMPARE(grid_->style.Direction, direction);
        QCOMPARE(Item("Layout", "Direction")->Text(), shown);
        QCOMPARE(Item("Text", "Left to right")->IsEnabled(), direction == 1);
        QCOMPARE(Item("Text", "Font")->Text(), family + ", 30");
        QCOMPARE(changes_, 1);
    }

    void fontChooserCancelled()
    {
        CScriptedDialogs dialogs;
        Load(SSourceStyle{});
        QVERIFY(!grid_->ChooseFont(Item("Text", "Font")));
        QCOMPARE(grid_->style, SSourceStyle{});
        QCOMPARE(changes_, 0);
    }

    void fontText_data()
    {
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<bool>("underline");
        QTest::addColumn<bool>("strikeOut");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << 400 << false << false << false << "Arial, 12";
        QTest::newRow("demibold is not bold")
            << 600 << true << false << false << "Arial, 12,Italic";
        QTest::newRow("all, in order")
            << 700 << true << true << true << "Arial, 12,Bold,Italic,Underline,StrikeOut";
        QTest::newRow("black") << 900 << false << false << true << "Arial, 12,Bold,StrikeOut";
    }
    void fontText()
    {
        QFETCH(int, weight);
        QFETCH(bool, italic);
        QFETCH(bool, underline);
        QFETCH(bool, strikeOut);
        QFETCH(QString, text);
        QFont font("Arial");
        font.setPointSize(12);
        font.setWeight(QFont::Weight(weight));
        font.setItalic(italic);
        font.setUnderline(underline);
        font.setStrikeOut(strikeOut);
        QCOMPARE(CMyPropertyFontProperty::FontText(font), text);
    }

    void languagePick()
    {
        SSourceStyle style;
        style.Language = 125;
        Load(style);
        auto* language = static_cast<CCbxProperty*>(Item("BDN", "Language"));
        QCOMPARE(language->Text(), QString("eng"));
        QCOMPARE(language->PickedPosition(), LanguageDisplayPosition(125));
        QCOMPARE(int(language->Options().size()), LanguageCount);
        QCOMPARE(language->Options()[0], QString("ces (Czech)"));

        const int jpn = int(language->Options().indexOf("jpn (Japanese)"));
        QVERIFY(jpn >= 0);
        QVERIFY(grid_->PickOption(language, jpn));
        QCOMPARE(grid_->style.Language, 203);
        QCOMPARE(language->Text(), QString("jpn"));
        QCOMPARE(language->PickedPosition(), jpn);
        QCOMPARE(changes_, 1);

        // A row after the common ones: display position and index differ.
        const int zun = int(language->Options().indexOf("zun (Zuni)"));
        QVERIFY(grid_->PickOption(language, zun));
        QCOMPARE(grid_->style.Language, 474);
        QCOMPARE(language->Text(), QString("zun"));
    }

    void colours()
    {
        CScriptedDialogs dialogs;
        Load(SSourceStyle{});
        CProperty* outline = Item("Outline", "Color");
        dialogs.ColourAnswers.push_back(0x00123456);
        QVERIFY(grid_->ChooseOtherColour(outline));
        QCOMPARE(grid_->style.text.OutlineColor, 0xFF123456u);
        QCOMPARE(outline->Text(), QString("#123456"));

        QVERIFY(grid_->ChooseDefaultColour(Item("Shadow", "Color")));
        const QRgb face = grid_->palette().color(QPalette::Button).rgb();
        QCOMPARE(grid_->style.text.ShadowColor, 0xFF000000u | face);
        QCOMPARE(changes_, 2);

        // Cancelled chooser: nothing changes.
        QVERIFY(!grid_->ChooseOtherColour(Item("Brush", "Color")));
        QCOMPARE(grid_->style.text.TextColor, 0xFFFFFFFFu);
        QCOMPARE(changes_, 2);
    }

    void textureImage()
    {
        CRecordedMessages messages;
        CScriptedDialogs dialogs;
        QTemporaryDir dir;
        const QString good = dir.filePath("tile.png");
        QImage tile(4, 4, QImage::Format_ARGB32);
        tile.fill(Qt::red);
        QVERIFY(tile.save(good));
        const QString bad = dir.filePath("broken.png");
        {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a picture");
        }
        SSourceStyle style;
        style.text.BrushType = BrushTexture;
        Load(style);
        CProperty* texture = Item("Brush", "Texture image");

        dialogs.OpenAnswers.push_back(good);
        QVERIFY(grid_->BrowseFile(texture));
        QCOMPARE(dialogs.OpenAsked.size(), std::size_t(1));
        QCOMPARE(dialogs.OpenAsked[0].filter,
                 QString("*.jpg;*.jpeg;*.png;*.bmp;*.gif|*.jpg;*.jpeg;*.png;*.bmp;*.gif||"
                         "All files(*.*)|*.*||"));
        QCOMPARE(grid_->style.text.TextureImage, good);
        QCOMPARE(changes_, 1);

        QVERIFY(grid_->EnterText(texture, bad));
        QCOMPARE(messages.Shown, std::vector<QString>{bad + "\r\nImage open error! "});
        QCOMPARE(grid_->style.text.TextureImage, good);
        QCOMPARE(texture->Text(), good);
        QCOMPARE(changes_, 1);
    }

    void boldMarksChangedValues()
    {
        CProperty* overall = Item("Location", "Overall");
        CProperty* offset = Item("Shadow", "Offset");
        QVERIFY(!Bold(overall));
        QVERIFY(!Bold(offset));
        Load(SSourceStyle{});
        // "4, 4" was the first text; the block's offset is 2, 2.
        QVERIFY(Bold(offset));
        QVERIFY(!Bold(overall));
        QVERIFY(grid_->EnterText(overall, "140"));
        QVERIFY(Bold(overall));
        QVERIFY(grid_->EnterText(overall, "100"));
        QVERIFY(!Bold(overall));
        QVERIFY(grid_->EnterText(offset, "4,4"));  // same point, other spelling
        QVERIFY(Bold(offset));
        QVERIFY(grid_->EnterText(offset, "4, 4"));
        QVERIFY(!Bold(offset));
    }

    void withoutPageNothingIsHandled()
    {
        CSupPropertyView alone(nullptr);
        int calls = 0;
        alone.onStyleChanged = [&] { ++calls; };
        alone.SetTextMode();
        QVERIFY(alone.EnterText(alone.Item("Location", "Overall"), "140"));
        QCOMPARE(alone.style.Location, 100);
        QCOMPARE(calls, 0);
    }

    // The real editors, as the user works them.
    void editorsCommitOnEnterAndStayOpenAfterMessage()
    {
        CRecordedMessages messages;
        Load(GradientStyle());
        page_->resize(900, 700);
        page_->show();
        QApplication::setActiveWindow(page_.get());
        QVERIFY(QTest::qWaitForWindowActive(page_.get()));

        QTreeWidget* tree = grid_->Grid();
        CProperty* start = Item("Linear gradient", "Start point");
        tree->scrollToItem(start);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(start).center() + QPoint(tree->columnWidth(0), 0));
        auto* line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(line);
        QCOMPARE(line->text(), QString("0, 0"));

        line->selectAll();
        QTest::keyClicks(line, "120, 3");
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(messages.Shown, std::vector<QString>{"Please set value between 0 and 100! "});
        QCOMPARE(QApplication::focusWidget(), line);  // still open for a correction
        QCOMPARE(changes_, 0);

        line->selectAll();
        QTest::keyClicks(line, "20, 3");
        QTest::keyClick(line, Qt::Key_Enter);
        QCOMPARE(Geometry(grid_->style), QString("20 3 50 50 / 2 2"));
        QCOMPARE(changes_, 1);
        QVERIFY(!line->isVisible());

        // Keyboard: Enter on the current item opens its editor; leaving
        // the editor commits it.
        CProperty* overall = Item("Location", "Overall");
        tree->setFocus();
        tree->setCurrentItem(overall);
        QTest::keyClick(tree, Qt::Key_Return);
        auto* spin = qobject_cast<QSpinBox*>(QApplication::focusWidget());
        QVERIFY(spin);
        spin->selectAll();
        QTest::keyClicks(spin, "130");
        tree->setFocus();
        QCOMPARE(grid_->style.Location, 130);
        QCOMPARE(changes_, 2);

        // A double click opens an option's list; a pick commits it.
        CProperty* type = Item("Brush", "Type");
        tree->scrollToItem(type);
        const QPoint label = tree->visualItemRect(type).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, label);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, label);
        auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), QString("LinearGradient"));
        combo->setCurrentIndex(3);
        emit combo->activated(3);
        QCOMPARE(int(grid_->style.text.BrushType), BrushTexture);
        QCOMPARE(changes_, 3);
    }
};

QTEST_MAIN(TSupPropertyView)
#include "test_SupPropertyView.moc"
