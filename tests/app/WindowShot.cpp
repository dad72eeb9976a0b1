// Takes a picture of the window with both sample scripts open, a line
// selected in each page and the bottom/right page shown with an item of
// its style grid picked, for the README.
//
//   app_window_shot OUT.png SAMPLES_DIR

#include "app/MainFrame.h"
#include "app/SupListView.h"
#include "app/SupPropertyView.h"
#include "app/SupView.h"
#include "app/TandeoApp.h"
#include "app/TandeoView.h"
#include "platform/SettingsStore.h"
#include "support/RecordedMessages.h"
#include "support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: app_window_shot OUT.png SAMPLES_DIR\n");
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString samples = QString::fromLocal8Bit(argv[2]);
    // The program's own defaults, whatever the user has stored.
    QTemporaryDir dir;
    SetSettingsFilePath(dir.filePath("Tandeo.ini"));
    CRecordedMessages messages;
    CScriptedDialogs dialogs;
    CTandeoApp app(false);
    app.Start();
    CMainFrame* frame = app.MainFrame();
    frame->resize(1400, 860);
    dialogs.OpenAnswers = {samples + "/top-zh.srt", samples + "/bottom-en.srt"};
    frame->Action(CmdOpenTopLeft)->trigger();
    frame->Action(CmdOpenBottomRight)->trigger();
    app.View()->TopLeft()->list->SelectRow(1);
    app.View()->BottomRight()->list->SelectRow(1);
    // The style grid with an item picked, its description below.
    CSupPropertyView* grid = app.View()->BottomRight()->grid;
    grid->Grid()->setCurrentItem(grid->Item("Shadow", "Offset"));
    int result = 1;
    QTimer::singleShot(1000, [&] {
        result = frame->grab().save(out) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    if (!messages.Shown.empty())
        std::fprintf(stderr, "%s\n", messages.Shown.front().toLocal8Bit().constData());
    return result;
}
