#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "app/SupListView.h"
#include "app/SupView.h"
#include "app/TandeoApp.h"
#include "app/TandeoView.h"
#include "builder/Overlaps.h"
#include "pgs/VideoFormats.h"
#include "platform/SettingsStore.h"
#include "platform/UserDialogs.h"
#include "source/LineStyle.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#ifndef TANDEO_WEBSITE_URL
#define TANDEO_WEBSITE_URL "https://www.korvane.com/"
#endif
#ifndef TANDEO_FORUMS_URL
#define TANDEO_FORUMS_URL "https://www.korvane.com/forums/"
#endif

namespace {

// Where the window layout and the list selections are kept.
const QString Workspace = QStringLiteral("Workspace");

// Status-bar prompt and tooltip of a command.
struct SPrompt {
    ECommand command;
    const char* text;
};

const SPrompt Prompts[] = {
    {CmdVideoSize, "Set video size\nVide size"},
    {CmdViewRatio, "Set view ratio\nView ratio"},
    {CmdBuild, "Build the subtitle\nBuild"},
    {CmdOpenTopLeft, "Open the  top/left source subtitle\nOpen top/left source subtitle"},
    {CmdWebSite, "Visit Korvane's official website\nWebsite"},
    {CmdOpenBottomRight,
     "Open the bottom/right source subtitle\nOpen bottom/right source subtitle"},
    {CmdFadeAll, "Add fade effect to all lines\nFade all"},
    {CmdFadeNone, "Clear fade effect from all lines \nFade none"},
    {CmdAppendImage, "Append an image \nAppend an image"},
    {CmdInsertImage, "Insert an image \nInsert an image"},
    {CmdDelete, "Delete the selected line \nDelete"},
    {CmdBackgroundColour, "Set view's background color\nSet BG color"},
    {CmdForums, "Visit Korvane's forums\nForums"},
    {CmdBackgroundImage, "Set view's background image file\nSet BG image file"},
    {CmdFrameRate, "Set frame rate\nFrame rate"},
    {CmdColourMatrix, "Set the colour matrix of the palettes\nColour matrix"},
    {CmdOverlaps,
     "What Build does with lines of one subtitle that overlap: refuse, trim the earlier line, "
     "or show them together\nOverlapping lines"},
};

QString PromptOf(ECommand command, bool tooltip)
{
    for (const SPrompt& p : Prompts)
        if (p.command == command) {
            const QStringList parts = QString(p.text).split('\n');
            return tooltip ? parts.value(1) : parts.value(0);
        }
    return {};
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), qApp->style()->standardIcon(fallback));
}

QColor FromStored(std::uint32_t bgr)
{
    return QColor::fromRgb(ColourFromStored(bgr));
}

std::uint32_t ToStored(const QColor& colour)
{
    return ColourToStored(colour.rgb());
}

QIcon Swatch(const QColor& colour)
{
    QPixmap pixmap(16, 15);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

}  // namespace

QString WebSiteAddress()
{
    return QStringLiteral(TANDEO_WEBSITE_URL);
}

QString ForumsAddress()
{
    return QStringLiteral(TANDEO_FORUMS_URL);
}

CMainFrame::CMainFrame(CTandeoApp* app) : app_(app)
{
    setObjectName(QStringLiteral("MainFrame"));
    view_ = new CTandeoView(app, this);
    setCentralWidget(view_);
    MakeMenus();
    MakeToolBar();

    statusBar()->showMessage(QStringLiteral("Ready"));
    version_ = new QLabel(QString("%1, V %2").arg(MakerName, FileVersion));
    version_->setFrameStyle(QFrame::NoFrame);
    version_->setFixedWidth(version_->fontMetrics().horizontalAdvance(version_->text()) + 8);
    statusBar()->addPermanentWidget(version_);
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->showMessage(QStringLiteral("Ready"));
    });

    connect(view_, &QTabWidget::currentChanged, this, [this] {
        UpdateTitle();
        UpdateCommands();
    });
    for (int tab = 0; tab < 2; ++tab)
        connect(view_->Page(tab)->list, &CSupListView::SelectedRowChanged, this,
                &CMainFrame::UpdateCommands);
    resize(1280, 860);
    UpdateTitle();
    UpdateCommands();
}

QAction* CMainFrame::AddCommand(ECommand command, const QString& text, const QIcon& icon)
{
    auto* action = new QAction(icon, text, this);
    action->setStatusTip(PromptOf(command, false));
    const QString tip = PromptOf(command, true);
    action->setToolTip(tip.isEmpty() ? QString(text).remove('&') : tip);
    action->setData(static_cast<int>(command));
    actions_[command] = action;
    return action;
}

QAction* CMainFrame::Action(ECommand command) const
{
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::MakeMenus()
{
    QAction* openBottom = AddCommand(CmdOpenBottomRight, "Open bottom/right",
                                     ThemeIcon("document-open", QStyle::SP_DialogOpenButton));
    QAction* openTop = AddCommand(CmdOpenTopLeft, "Open top/left",
                                  ThemeIcon("folder-open", QStyle::SP_DirOpenIcon));
    QAction* build =
        AddCommand(CmdBuild, "Build", ThemeIcon("media-record", QStyle::SP_DialogSaveButton));
    QAction* exit = AddCommand(CmdExit, "E&xit", QIcon());
    QAction* append =
        AddCommand(CmdAppendImage, "Append an image", ThemeIcon("list-add", QStyle::SP_FileIcon));
    QAction* insert = AddCommand(CmdInsertImage, "Insert an image",
                                 ThemeIcon("insert-image", QStyle::SP_FileDialogNewFolder));
    QAction* statusBarItem = AddCommand(CmdStatusBar, "&Status Bar", QIcon());
    QAction* about = AddCommand(CmdAbout, "&About...",
                                ThemeIcon("help-about", QStyle::SP_MessageBoxInformation));
    QAction* website = AddCommand(CmdWebSite, "&WebSite", QIcon());
    QAction* forums = AddCommand(CmdForums, "Forums...", QIcon());
    AddCommand(CmdFadeAll, "Fade all", ThemeIcon("go-up", QStyle::SP_DialogYesButton));
    AddCommand(CmdFadeNone, "Fade none", ThemeIcon("go-down", QStyle::SP_DialogNoButton));
    AddCommand(CmdDelete, "Delete", ThemeIcon("edit-delete", QStyle::SP_TrashIcon));
    AddCommand(CmdBackgroundImage, "Set BG image file",
               ThemeIcon("image-x-generic", QStyle::SP_DesktopIcon));

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(openBottom);
    file->addAction(openTop);
    file->addAction(build);
    file->addSeparator();
    file->addAction(exit);
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addAction(append);
    edit->addAction(insert);
    QMenu* viewMenu = menuBar()->addMenu("&View");
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    viewMenu->addAction(statusBarItem);
    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(about);
    help->addAction(website);
    help->addAction(forums);
    for (QMenu* menu : {file, edit, viewMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);

    connect(openBottom, &QAction::triggered, this,
            [this] { app_->OpenPageSource(view_->BottomRight()); });
    connect(openTop, &QAction::triggered, this, [this] { app_->OpenPageSource(view_->TopLeft()); });
    connect(build, &QAction::triggered, this, [this] { app_->OnBuild(); });
    connect(exit, &QAction::triggered, this, &QWidget::close);
    connect(statusBarItem, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);
    connect(website, &QAction::triggered, this, [] { UserDialogs().OpenUrl(WebSiteAddress()); });
    connect(forums, &QAction::triggered, this, [] { UserDialogs().OpenUrl(ForumsAddress()); });
    connect(Action(CmdBackgroundImage), &QAction::triggered, this,
            [this] { app_->SetBackgroundImage(); });
    // The line commands act on the page shown.
    const auto onActive = [this](ECommand command, auto body) {
        connect(Action(command), &QAction::triggered, this, [this, body] {
            body(view_->ActivePage());
            UpdateCommands();
        });
    };
    onActive(CmdFadeAll, [](CSupView* page) { page->list->SetAllFade(true); });
    onActive(CmdFadeNone, [](CSupView* page) { page->list->SetAllFade(false); });
    onActive(CmdAppendImage, [](CSupView* page) { page->AddPictureLine(-1); });
    onActive(CmdInsertImage, [](CSupView* page) { page->AddPictureLine(page->list->selectedRow); });
    onActive(CmdDelete, [](CSupView* page) { page->DeleteSelectedLine(); });
}

void CMainFrame::MakeToolBar()
{
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("Standard"));
    bar->setIconSize(QSize(16, 15));
    bar->addAction(Action(CmdOpenBottomRight));
    bar->addAction(Action(CmdOpenTopLeft));

    const auto list = [this, bar](ECommand command, int width, int dropHeight,
                                  const QStringList& labels) {
        auto* combo = new QComboBox;
        combo->setObjectName(QString("List%1").arg(static_cast<int>(command)));
        combo->addItems(labels);
        combo->setFixedWidth(width);
        combo->setMaxVisibleItems(
            std::max(1, dropHeight / std::max(1, combo->sizeHint().height())));
        combo->setStatusTip(PromptOf(command, false));
        combo->setToolTip(PromptOf(command, true));
        bar->addWidget(combo);
        return combo;
    };
    QStringList sizes, rates, matrices, ratios;
    for (int i = 0; i < VideoSizeCount; ++i)
        sizes << VideoSizeAt(i).Label;
    for (int i = 0; i < FrameRateCount; ++i)
        rates << FrameRateAt(i).Label;
    for (int i = 0; i < ColourMatrixCount; ++i)
        matrices << ColourMatrixLabel(i);
    for (int i = 0; i < ViewRatioCount; ++i)
        ratios << ViewRatioLabel(i);
    videoSizes_ = list(CmdVideoSize, 130, 350, sizes);
    frameRates_ = list(CmdFrameRate, 90, 350, rates);
    // Beside the frame's other build settings.
    colourMatrices_ = list(CmdColourMatrix, 100, 350, matrices);
    QStringList overlapModes;
    for (int i = 0; i < OverlapModeCount; ++i)
        overlapModes << QString("Overlaps: %1").arg(OverlapModeName(static_cast<EOverlapMode>(i)));
    overlaps_ = list(CmdOverlaps, 120, 250, overlapModes);
    viewRatios_ = list(CmdViewRatio, 100, 250, ratios);
    overlaps_->setCurrentIndex(static_cast<int>(StoredOverlapMode()));
    videoSizes_->setCurrentIndex(app_->videoSizeIndex);
    frameRates_->setCurrentIndex(app_->frameRateIndex);
    colourMatrices_->setCurrentIndex(static_cast<int>(app_->colourMatrix));
    viewRatios_->setCurrentIndex(app_->viewRatioIndex);
    connect(videoSizes_, &QComboBox::activated, this, [this](int i) { app_->ApplyVideoSize(i); });
    connect(frameRates_, &QComboBox::activated, this, [this](int i) { app_->ApplyFrameRate(i); });
    connect(colourMatrices_, &QComboBox::activated, this,
            [this](int i) { app_->ApplyColourMatrix(i); });
    // Kept in the settings at once: the command line reads it too.
    connect(overlaps_, &QComboBox::activated, this,
            [](int i) { StoreOverlapMode(static_cast<EOverlapMode>(i)); });
    connect(viewRatios_, &QComboBox::activated, this, [this](int i) { app_->ApplyViewRatio(i); });

    // The colour button applies its colour; its menu picks another one.
    colourButton_ = new QToolButton;
    colourButton_->setObjectName(QStringLiteral("BackgroundColour"));
    colourButton_->setText(QStringLiteral("BG color"));
    colourButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    colourButton_->setPopupMode(QToolButton::MenuButtonPopup);
    colourButton_->setStatusTip(PromptOf(CmdBackgroundColour, false));
    colourButton_->setToolTip(PromptOf(CmdBackgroundColour, true));
    auto* colours = new QMenu(colourButton_);
    const Qt::GlobalColor palette[] = {Qt::black,   Qt::white,       Qt::darkGray, Qt::gray,
                                       Qt::red,     Qt::darkRed,     Qt::green,    Qt::darkGreen,
                                       Qt::blue,    Qt::darkBlue,    Qt::cyan,     Qt::darkCyan,
                                       Qt::magenta, Qt::darkMagenta, Qt::yellow,   Qt::darkYellow};
    for (Qt::GlobalColor c : palette) {
        const QColor colour(c);
        QAction* pick = colours->addAction(Swatch(colour), colour.name(QColor::HexRgb));
        connect(pick, &QAction::triggered, this, [this, colour] {
            ShowBackgroundColour(ToStored(colour));
            app_->SetBackgroundColor(buttonColour_);
        });
    }
    colours->addSeparator();
    QAction* more = colours->addAction(QStringLiteral("More..."));
    connect(more, &QAction::triggered, this, [this] {
        QRgb colour = FromStored(buttonColour_).rgb();
        if (!UserDialogs().PickColour(colour))
            return;
        ShowBackgroundColour(ToStored(QColor::fromRgb(colour)));
        app_->SetBackgroundColor(buttonColour_);
    });
    colourButton_->setMenu(colours);
    connect(colourButton_, &QToolButton::clicked, this,
            [this] { app_->SetBackgroundColor(buttonColour_); });
    bar->addWidget(colourButton_);
    ShowBackgroundColour(buttonColour_);

    bar->addAction(Action(CmdBackgroundImage));
    bar->addSeparator();
    bar->addAction(Action(CmdBuild));
    bar->addSeparator();
    bar->addAction(Action(CmdFadeAll));
    bar->addAction(Action(CmdFadeNone));
    bar->addSeparator();
    bar->addAction(Action(CmdAppendImage));
    bar->addAction(Action(CmdInsertImage));
    bar->addAction(Action(CmdDelete));
    bar->addSeparator();
    bar->addAction(Action(CmdAbout));
}

void CMainFrame::ShowBackgroundColour(std::uint32_t bgr)
{
    buttonColour_ = bgr & 0xFFFFFF;
    if (colourButton_)
        colourButton_->setIcon(Swatch(FromStored(buttonColour_)));
}

void CMainFrame::UpdateCommands()
{
    CSupView* active = view_->ActivePage();
    const bool anySource = view_->BottomRight()->source || view_->TopLeft()->source;
    const bool hasSource = active->source != nullptr;
    const bool hasLines = hasSource && !active->source->lines.empty();
    const bool hasSelection = active->list->selectedRow >= 0;
    Action(CmdBuild)->setEnabled(anySource);
    Action(CmdFadeAll)->setEnabled(hasLines);
    Action(CmdFadeNone)->setEnabled(hasLines);
    Action(CmdAppendImage)->setEnabled(hasSource);
    Action(CmdInsertImage)->setEnabled(hasSource);
    Action(CmdDelete)->setEnabled(hasSelection);
}

void CMainFrame::UpdateTitle()
{
    setWindowTitle(view_->ActivePage()->sourcePath + " - " + ProductName);
}

void CMainFrame::SaveLayout() const
{
    WriteSettingBytes(Workspace, QStringLiteral("Window Geometry"), saveGeometry());
    WriteSettingBytes(Workspace, QStringLiteral("Window State"), saveState());
    WriteSettingInt(Workspace, QStringLiteral("Video Size"), videoSizes_->currentIndex());
    WriteSettingInt(Workspace, QStringLiteral("Frame Rate"), frameRates_->currentIndex());
    WriteSettingInt(Workspace, QStringLiteral("Colour Matrix"), colourMatrices_->currentIndex());
    WriteSettingInt(Workspace, QStringLiteral("View Ratio"), viewRatios_->currentIndex());
}

void CMainFrame::RestoreLayout()
{
    QByteArray bytes;
    if (ReadSettingBytes(Workspace, QStringLiteral("Window Geometry"), bytes))
        restoreGeometry(bytes);
    if (ReadSettingBytes(Workspace, QStringLiteral("Window State"), bytes))
        restoreState(bytes);
    const auto select = [](QComboBox* list, int index) {
        if (index >= 0 && index < list->count())
            list->setCurrentIndex(index);
    };
    select(videoSizes_, ReadSettingInt(Workspace, QStringLiteral("Video Size"), 0));
    select(frameRates_, ReadSettingInt(Workspace, QStringLiteral("Frame Rate"), 0));
    select(colourMatrices_, ReadSettingInt(Workspace, QStringLiteral("Colour Matrix"), 0));
    select(viewRatios_, ReadSettingInt(Workspace, QStringLiteral("View Ratio"), 2));
}

void CMainFrame::ShowAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        app_->Shutdown();
    }
    event->accept();
}
