#include "app/TandeoApp.h"

#include "app/DesktopDialogs.h"
#include "app/FileDialogEx.h"
#include "app/ImageView.h"
#include "app/MainFrame.h"
#include "app/ProgressWnd.h"
#include "app/SupListView.h"
#include "app/SupPropertyView.h"
#include "app/SupView.h"
#include "app/TandeoView.h"
#include "builder/BuildChecks.h"
#include "builder/Overlaps.h"
#include "builder/SubBuilder.h"
#include "formats/ffmpeg/ScriptSources.h"
#include "pgs/VideoFormats.h"
#include "platform/SettingsStore.h"
#include "platform/UserDialogs.h"
#include "platform/UserMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QLayout>

#include <algorithm>

namespace {

struct SViewRatio {
    const char* label;
    float factor;
};

const SViewRatio ViewRatios[ViewRatioCount] = {
    {"100%", 1.0f}, {"75%", 0.75f}, {"50%", 0.5f}, {"25%", 0.25f}, {"12.5%", 0.125f}};

const char* const ColourMatrixLabels[ColourMatrixCount] = {"Automatic", "BT.601", "BT.709"};

const QString General = QStringLiteral("General");

// A wait cursor for as long as it lives.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace

const char* ViewRatioLabel(int index)
{
    return index >= 0 && index < ViewRatioCount ? ViewRatios[index].label : "";
}

float ViewRatioFactor(int index)
{
    return index >= 0 && index < ViewRatioCount ? ViewRatios[index].factor : 1.0f;
}

const char* ColourMatrixLabel(int index)
{
    return index >= 0 && index < ColourMatrixCount ? ColourMatrixLabels[index] : "";
}

CTandeoApp::CTandeoApp(bool desktopDialogs)
{
    if (desktopDialogs) {
        messages_ = std::make_unique<CMessageBoxes>(nullptr);
        dialogs_ = std::make_unique<CDesktopDialogs>(nullptr);
        SetUserMessages(messages_.get());
        SetUserDialogs(dialogs_.get());
    }
}

CTandeoApp::~CTandeoApp()
{
    frame_.reset();
    if (messages_) {
        SetUserMessages(nullptr);
        SetUserDialogs(nullptr);
    }
}

CTandeoView* CTandeoApp::View() const
{
    return frame_ ? frame_->View() : nullptr;
}

void CTandeoApp::Start()
{
    frame_ = std::make_unique<CMainFrame>(this);
    if (messages_) {
        messages_ = std::make_unique<CMessageBoxes>(frame_.get());
        dialogs_ = std::make_unique<CDesktopDialogs>(frame_.get());
        SetUserMessages(messages_.get());
        SetUserDialogs(dialogs_.get());
    }
    frame_->RestoreLayout();
    // Shown first, so that the pages have their sizes when their dividers
    // are placed.
    frame_->show();
    LoadSettings();
    ApplyViewRatio(frame_->ViewRatioList()->currentIndex());
    ApplyVideoSize(frame_->VideoSizeList()->currentIndex());
    ApplyFrameRate(frame_->FrameRateList()->currentIndex());
    ApplyColourMatrix(frame_->ColourMatrixList()->currentIndex());
    ApplyBackground();
    frame_->UpdateCommands();
}

void CTandeoApp::Shutdown()
{
    if (!frame_)
        return;
    frame_->SaveLayout();
    SaveSettings();
}

void CTandeoApp::LoadSettings()
{
    bgMode = ReadSettingInt(General, QStringLiteral("BG mode"), 0) != 0;
    bgColor =
        static_cast<std::uint32_t>(ReadSettingInt(General, QStringLiteral("BG Color"), 0x808000));
    bgFile = ReadSettingString(General, QStringLiteral("BG File"));
    CTandeoView* view = View();
    if (!view)
        return;
    for (int tab = 0; tab < 2; ++tab) {
        CSupView* page = view->Page(tab);
        page->pageHeight = ReadSettingInt(page->Section(), QStringLiteral("PageHeight"), 0);
        page->pageWidth = ReadSettingInt(page->Section(), QStringLiteral("PageWidth"), 0);
        page->layoutLoaded = true;
        page->LayoutPage();
        page->grid->style.Load(page->Section());
        page->grid->RefreshGrid();
        page->grid->SetTextMode();
    }
}

void CTandeoApp::SaveSettings()
{
    WriteSettingInt(General, QStringLiteral("BG mode"), bgMode ? 1 : 0);
    WriteSettingInt(General, QStringLiteral("BG Color"), static_cast<int>(bgColor));
    WriteSettingString(General, QStringLiteral("BG File"), bgFile);
    CTandeoView* view = View();
    if (!view)
        return;
    for (int tab = 0; tab < 2; ++tab) {
        CSupView* page = view->Page(tab);
        page->pageWidth = page->LeftColumnWidth();
        page->pageHeight = page->PreviewHeight();
        WriteSettingInt(page->Section(), QStringLiteral("PageWidth"), page->pageWidth);
        WriteSettingInt(page->Section(), QStringLiteral("PageHeight"), page->pageHeight);
        page->grid->style.Save(page->Section());
    }
}

void CTandeoApp::ApplyBackground()
{
    CTandeoView* view = View();
    if (!view)
        return;
    if (bgMode) {
        // A stored picture that no longer reads still puts the previews in
        // picture mode: they show their surround where the picture would be.
        std::shared_ptr<const QImage> picture;
        if (!bgFile.isEmpty())
            picture = std::make_shared<const QImage>(bgFile);
        for (int tab = 0; tab < 2; ++tab)
            view->Page(tab)->preview->ShowBackgroundPicture(picture);
        return;
    }
    frame_->ShowBackgroundColour(bgColor);
    for (int tab = 0; tab < 2; ++tab)
        view->Page(tab)->preview->ShowBackgroundColor(bgColor);
}

void CTandeoApp::OpenPageSource(CSupView* page)
{
    if (!page)
        return;
    const QString path = UserDialogs().GetOpenFileName(SubtitleFileFilter(), page->sourcePath);
    if (path.isEmpty())
        return;
    OpenPageSourceFile(page, path);
}

void CTandeoApp::OpenPageSourceFile(CSupView* page, const QString& path)
{
    if (!page || path.isEmpty())
        return;
    {
        CWaitCursor wait;
        std::unique_ptr<CTextSub> source =
            OpenSubtitleSource(path, &page->grid->style, &UserMessages(), frameRateIndex);
        if (!source)
            return;
        source->CheckTimings();
        page->list->FillList(nullptr);
        page->source = std::move(source);
        page->list->FillList(page->source.get());
        page->RenderPreview(-1);
        page->sourcePath = path;
        page->grid->SetTextMode();
    }
    if (CTandeoView* view = View())
        view->setCurrentWidget(page);
    frame_->UpdateTitle();
    frame_->UpdateCommands();
}

void CTandeoApp::ApplyVideoSize(int index)
{
    if (index < 0 || index >= VideoSizeCount)
        return;
    videoSizeIndex = index;
    CTandeoView* view = View();
    if (!view)
        return;
    const SVideoSize& size = VideoSizeAt(index);
    const QSize wanted(size.Width, size.Height);
    for (int tab = 0; tab < 2; ++tab) {
        CSupView* page = view->Page(tab);
        page->videoSizeIndex = index;
        if (wanted != page->preview->ShownSize()) {
            page->preview->SetPicture(nullptr);
            page->framePicture = std::make_unique<QImage>(wanted, QImage::Format_ARGB32);
            page->framePicture->fill(Qt::transparent);
            page->RenderPreview(page->list->selectedRow);
        } else if (!page->framePicture) {
            page->framePicture = std::make_unique<QImage>(wanted, QImage::Format_ARGB32);
            page->framePicture->fill(Qt::transparent);
        }
    }
}

void CTandeoApp::ApplyFrameRate(int index)
{
    if (index < 0 || index >= FrameRateCount)
        return;
    frameRateIndex = index;
    CTandeoView* view = View();
    if (!view)
        return;
    for (int tab = 0; tab < 2; ++tab) {
        CSupView* page = view->Page(tab);
        page->frameRateIndex = index;
        if (page->source) {
            page->source->FollowFrameRate(index);
            RepairPageTimes(page);
        }
    }
}

void CTandeoApp::ApplyColourMatrix(int index)
{
    if (index < 0 || index >= ColourMatrixCount)
        return;
    colourMatrix = static_cast<EMatrixChoice>(index);
}

void CTandeoApp::RepairPageTimes(CSupView* page)
{
    // What is too short depends on the rate: six frames are 250 ms at
    // 23.976 and 100 ms at 59.94. The lines as they stand are repaired, so
    // times the user typed are kept where they are long enough.
    CTextSub& source = *page->source;
    const int row = page->list->selectedRow;
    const bool selected = row >= 0 && row < static_cast<int>(source.lines.size());
    const SSubLine shown = selected ? source.lines[static_cast<std::size_t>(row)] : SSubLine{};
    source.RepairTimes(FrameRateAt(frameRateIndex).Rate());
    source.CheckTimings();
    page->list->FillList(&source);
    if (!selected)
        return;
    // The repair may sort the selected line to another row: it stays
    // selected there.
    const auto same = [&shown](const SSubLine& line) {
        return line.imageFile == shown.imageFile && line.entryIndex == shown.entryIndex &&
               line.posX == shown.posX && line.posY == shown.posY;
    };
    const auto found = std::find_if(source.lines.begin(), source.lines.end(), same);
    page->list->SelectRow(
        found == source.lines.end() ? -1 : static_cast<int>(found - source.lines.begin()));
}

void CTandeoApp::ApplyViewRatio(int index)
{
    if (index < 0 || index >= ViewRatioCount)
        return;
    viewRatioIndex = index;
    if (CTandeoView* view = View())
        for (int tab = 0; tab < 2; ++tab)
            view->Page(tab)->preview->SetZoom(ViewRatioFactor(index));
}

void CTandeoApp::SetBackgroundColor(std::uint32_t bgr)
{
    bgMode = false;
    bgColor = bgr & 0xFFFFFF;
    if (CTandeoView* view = View())
        for (int tab = 0; tab < 2; ++tab)
            view->Page(tab)->preview->ShowBackgroundColor(bgColor);
}

void CTandeoApp::SetBackgroundImage()
{
    const QString filter = QStringLiteral(
        "Image file (*.bmp;*.jpg;*.png;*.gif)|*.bmp;*.jpg;*.png;*.gif|All files(*.*)|*.*||");
    const QString path = UserDialogs().GetOpenFileName(filter, bgFile);
    if (path.isEmpty())
        return;
    if (path.compare(bgFile, Qt::CaseInsensitive) != 0) {
        if (QImage(path).isNull()) {
            UserMessages().Show(QString("%1\r\n%2").arg(path, "invaid image file! "),
                                EMessageKind::Error);
            return;
        }
        bgFile = path;
    }
    bgMode = true;
    // One picture for both previews, released when both let it go.
    const auto picture = std::make_shared<const QImage>(path);
    if (CTandeoView* view = View())
        for (int tab = 0; tab < 2; ++tab)
            view->Page(tab)->preview->ShowBackgroundPicture(picture);
}

void CTandeoApp::OnBuild()
{
    CTandeoView* view = View();
    if (!view)
        return;
    CSupView* topLeft = view->TopLeft();
    CSupView* bottomRight = view->BottomRight();
    if (!topLeft->source && !bottomRight->source)
        return;
    SBuildPages pages;
    pages[0] = {topLeft->source.get(), topLeft->sourcePath, topLeft->grid->style.Direction};
    pages[1] = {bottomRight->source.get(), bottomRight->sourcePath,
                bottomRight->grid->style.Direction};
    // The repairs hold for this build only; the pages keep their lines.
    const EOverlapMode overlaps = StoredOverlapMode();
    const COverlapRepair repairBottomRight(bottomRight->source.get(), overlaps);
    const COverlapRepair repairTopLeft(topLeft->source.get(), overlaps);
    ReportOverlapRepair(bottomRight->sourcePath, repairBottomRight);
    ReportOverlapRepair(topLeft->sourcePath, repairTopLeft);
    const QString refused = CheckBeforeBuild(pages);
    if (!refused.isEmpty()) {
        UserMessages().Show(refused, EMessageKind::Error);
        return;
    }
    // Told before the name is asked for; the user may still want the stream.
    const QString notOnDisc = CheckVideoFormat(videoSizeIndex, frameRateIndex);
    if (!notOnDisc.isEmpty())
        UserMessages().Show(notOnDisc, EMessageKind::Warning);
    CFileDialogEx dialog(QStringLiteral("Sup file(*.sup)|*.sup|Pes file(*.pes)|*.pes||"),
                         QStringLiteral(".sup"));
    const QString path = dialog.Ask(DefaultOutputPath(pages));
    if (path.isEmpty())
        return;
    std::int32_t format = OutputSup;
    const QString unsupported = OutputFormatOf(path, format);
    if (!unsupported.isEmpty()) {
        UserMessages().Show(unsupported, EMessageKind::Error);
        return;
    }
    // Only now is it known whether the index's ten minutes count.
    const QString tooLate = CheckLineTimes(pages, frameRateIndex, format);
    if (!tooLate.isEmpty()) {
        UserMessages().Show(tooLate, EMessageKind::Error);
        return;
    }

    const SSourceLayouts layouts{
        MakeSourceLayout(topLeft->source.get(), topLeft->grid->style),
        MakeSourceLayout(bottomRight->source.get(), bottomRight->grid->style)};
    // The fades of a build come from the bottom/right page's style.
    const SFadeSettings fades = FadeSettingsOf(bottomRight->grid->style);
    SBuildJob job;
    job.outputPath = path;
    job.videoSizeIndex = videoSizeIndex;
    job.frameRateIndex = frameRateIndex;
    job.squeeze = true;
    job.outputFormat = format;
    job.direction = BuildDirection(layouts);
    job.fadeSettings = &fades;
    job.colourMatrix = colourMatrix;

    int result = BuildFailed;
    {
        CProgressWnd progress(frame_.get(), QStringLiteral("Converting"));
        progress.GoModal(frame_.get());
        job.progressContext = &progress;
        job.progressCallback = &CProgressWnd::Callback;
        result = CSubBuilder().Build(job, layouts);
        progress.DestroyWindow();
    }
    if (result == BuildDone)
        UserMessages().Show(QString("%1\nwas built sucessfully ! ").arg(path),
                            EMessageKind::Information);
}
