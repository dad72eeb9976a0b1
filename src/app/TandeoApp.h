#pragma once
// The application: its settings, the main window with the two pages, and
// the commands that act on both pages.

#include "builder/BuildJob.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class CMainFrame;
class CSupView;
class CTandeoView;
class CMessageBoxes;
class CDesktopDialogs;

// The maker, product and version the window shows.
inline constexpr const char* MakerName = "Korvane";
inline constexpr const char* ProductName = "Tandeo";
inline constexpr const char* FileVersion = "1.4.4.0";

// The view ratio list: labels and zoom factors.
inline constexpr int ViewRatioCount = 5;
const char* ViewRatioLabel(int index);
float ViewRatioFactor(int index);

// The colour matrix list: "Automatic", "BT.601", "BT.709", at the positions
// of EMatrixChoice.
inline constexpr int ColourMatrixCount = 3;
const char* ColourMatrixLabel(int index);

class CTandeoApp : public QObject {
    Q_OBJECT
public:
    // `desktopDialogs` installs the desktop's message boxes and choosers
    // for the life of the application; tests install their own.
    explicit CTandeoApp(bool desktopDialogs = true);
    ~CTandeoApp() override;

    // Makes the main window, loads the settings, applies the restored list
    // selections and the background, and shows the window.
    void Start();
    // Saves the window layout and the settings; the main window closes.
    void Shutdown();

    CMainFrame* MainFrame() const { return frame_.get(); }
    CTandeoView* View() const;

    // The page commands.
    void OpenPageSource(CSupView* page);
    // Opens `path` into `page` as if it had been picked in the open dialog.
    void OpenPageSourceFile(CSupView* page, const QString& path);
    void ApplyVideoSize(int index);
    void ApplyFrameRate(int index);
    // The palette matrix of the next builds; previews are not affected.
    void ApplyColourMatrix(int index);
    void ApplyViewRatio(int index);
    // `bgr` is 0x00BBGGRR.
    void SetBackgroundColor(std::uint32_t bgr);
    void SetBackgroundImage();
    void OnBuild();

    void LoadSettings();
    void SaveSettings();

    int videoSizeIndex = 0;
    int frameRateIndex = 0;
    int viewRatioIndex = 2;
    EMatrixChoice colourMatrix = EMatrixChoice::Automatic;
    bool bgMode = false;
    std::uint32_t bgColor = 0x808000;  // 0x00BBGGRR
    QString bgFile;

private:
    void ApplyBackground();
    // Repairs the times of the page's source at the current frame rate and
    // shows its lines and marks again, the selected line still selected.
    void RepairPageTimes(CSupView* page);

    std::unique_ptr<CMessageBoxes> messages_;
    std::unique_ptr<CDesktopDialogs> dialogs_;
    std::unique_ptr<CMainFrame> frame_;
};
