#pragma once
// The style of a page beside its preview and list. It owns the page's
// style block, the one the page's source draws with. For now it shows the
// block's values; editing them comes with the property grid.

#include "source/LineStyle.h"

#include <QTreeWidget>

class CSupView;

class CSupPropertyView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSupPropertyView(CSupView* page, QWidget* parent = nullptr);

    // Shows the values of the style block again.
    void RefreshGrid();
    // Text lines and picture lines are styled alike for now; the mode only
    // records which kind the page's source holds.
    void SetTextMode() { textMode = true; }

    SSourceStyle style;
    bool textMode = true;

private:
    CSupView* page_;
};
