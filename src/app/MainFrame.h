#pragma once
// The main window: menus, the "Standard" toolbar with its four lists and
// the background colour button, the status bar, and the tab view.

#include <QMainWindow>

#include <cstdint>
#include <map>

class CTandeoApp;
class CTandeoView;
class QAction;
class QComboBox;
class QLabel;
class QToolButton;

// The commands of the window, by their numbers.
enum ECommand : int {
    CmdVideoSize = 32771,
    CmdViewRatio = 32772,
    CmdBuild = 32773,
    CmdOpenTopLeft = 32774,
    CmdWebSite = 32775,
    CmdOpenBottomRight = 32776,
    CmdFadeAll = 32777,
    CmdFadeNone = 32778,
    CmdAppendImage = 32779,
    CmdInsertImage = 32780,
    CmdDelete = 32781,
    CmdBackgroundColour = 32782,
    CmdForums = 32783,
    CmdBackgroundImage = 32784,
    CmdFrameRate = 32785,
    CmdColourMatrix = 32786,
    CmdOverlaps = 32787,
    CmdAbout = 57664,
    CmdExit = 57665,
    CmdStatusBar = 59393,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CTandeoApp* app);

    CTandeoView* View() const { return view_; }
    QAction* Action(ECommand command) const;
    QComboBox* VideoSizeList() const { return videoSizes_; }
    QComboBox* FrameRateList() const { return frameRates_; }
    QComboBox* ColourMatrixList() const { return colourMatrices_; }
    QComboBox* ViewRatioList() const { return viewRatios_; }
    QComboBox* OverlapList() const { return overlaps_; }
    QToolButton* BackgroundColourButton() const { return colourButton_; }
    QLabel* VersionPane() const { return version_; }

    // Enables the commands by the state of the pages.
    void UpdateCommands();
    // "<the active page's path> - Tandeo".
    void UpdateTitle();
    // The colour the background button shows and applies (0x00BBGGRR).
    void ShowBackgroundColour(std::uint32_t bgr);
    std::uint32_t ButtonColour() const { return buttonColour_; }

    // The window and toolbar layout with the four list selections.
    void SaveLayout() const;
    void RestoreLayout();

    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(ECommand command, const QString& text, const QIcon& icon);
    void MakeMenus();
    void MakeToolBar();

    CTandeoApp* app_;
    CTandeoView* view_;
    std::map<int, QAction*> actions_;
    QComboBox* videoSizes_ = nullptr;
    QComboBox* frameRates_ = nullptr;
    QComboBox* colourMatrices_ = nullptr;
    QComboBox* overlaps_ = nullptr;
    QComboBox* viewRatios_ = nullptr;
    QToolButton* colourButton_ = nullptr;
    QLabel* version_ = nullptr;
    std::uint32_t buttonColour_ = 0x808000;
    bool closing_ = false;
};

// The address of the maker's web site and of its forums.
QString WebSiteAddress();
QString ForumsAddress();
