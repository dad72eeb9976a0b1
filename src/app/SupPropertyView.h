#pragma once
// The style grid of a source page. It owns the page's style block, the one
// the page's source draws with, shows every field as an item, checks what
// the user enters and writes it into the block, and enables the items the
// brush type and the shadow switch use.

#include "app/PropertyGrid.h"
#include "source/LineStyle.h"

#include <functional>

class CSupView;

class CSupPropertyView : public CPropertyView {
    Q_OBJECT
public:
    // Builds the grid from the block's values at this time.
    explicit CSupPropertyView(CSupView* page, QWidget* parent = nullptr);

    SSourceStyle style;

    void BuildGrid();
    // Shows every field of `style` again.
    void RefreshGrid();
    // The enable rules for a page with a text source.
    void SetTextMode();

    // Runs after every change of the block the grid takes from the user;
    // the page renders its selected line again.
    std::function<void()> onStyleChanged;

protected:
    void OnPropertyChanged(CProperty* item) override;

private:
    void EnableBrushItems();
    void EnableShadowItems();
    void ShowDirection();

    CSupView* page_;

    COptionProperty* direction_ = nullptr;
    COptionProperty* alignment_ = nullptr;
    CIntProperty* location_ = nullptr;
    CIntProperty* location2_ = nullptr;
    CCbxProperty* language_ = nullptr;
    COptionProperty* lineAlignment_ = nullptr;
    CIntProperty* lineSpace_ = nullptr;
    CMyPropertyFontProperty* font_ = nullptr;
    CBoolProperty* leftToRight_ = nullptr;
    COptionProperty* brushType_ = nullptr;
    CColourProperty* colour_ = nullptr;
    CColourProperty* colour2_ = nullptr;
    COptionProperty* hatchStyle_ = nullptr;
    COptionProperty* lgMode_ = nullptr;
    CPointProptertyProp* startPoint_ = nullptr;
    CPointProptertyProp* endPoint_ = nullptr;
    CFileProperty* texture_ = nullptr;
    CIntProperty* outlineThickness_ = nullptr;
    CColourProperty* outlineColour_ = nullptr;
    CBoolProperty* shadowEnable_ = nullptr;
    CIntProperty* shadowSize_ = nullptr;
    CPointProptertyProp* shadowOffset_ = nullptr;
    CColourProperty* shadowColour_ = nullptr;
    CIntProperty* fadeIn_ = nullptr;
    CIntProperty* fadeOut_ = nullptr;
};
