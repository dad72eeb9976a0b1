#pragma once
// The two source pages as tabs: "Bottom/Right" first, then "Top/Left".

#include <QTabWidget>

#include <array>

class CSupView;
class CTandeoApp;

class CTandeoView : public QTabWidget {
    Q_OBJECT
public:
    explicit CTandeoView(CTandeoApp* app, QWidget* parent = nullptr);

    // Tab 0 is the bottom/right page, tab 1 the top/left page.
    CSupView* Page(int tab) const { return pages_[static_cast<std::size_t>(tab)]; }
    CSupView* BottomRight() const { return pages_[0]; }
    CSupView* TopLeft() const { return pages_[1]; }
    // The page of the tab that is shown.
    CSupView* ActivePage() const;

private:
    std::array<CSupView*, 2> pages_{};
};
