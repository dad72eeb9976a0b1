#include "Commands.h"

#include "app/TandeoApp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstring>
#include <iostream>

namespace {

QtMessageHandler QtDefault = nullptr;

// Qt complains on standard error that a root shell has no runtime folder;
// that is no news to a user of the command line.
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith("QStandardPaths: "))
        return;
    QtDefault(type, context, text);
}

bool WantsWindow(int argc, char** argv)
{
    return argc < 2 || std::strcmp(argv[1], "gui") == 0;
}

// Whether Qt can show a window here: a display, or a platform chosen by
// the user.
bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv)
{
    QtDefault = qInstallMessageHandler(QuietQtMessages);
    if (WantsWindow(argc, argv)) {
        if (!HasDisplay()) {
            std::cerr << "tandeo: there is no display to open the window on; "
                         "tandeo help lists the commands\n";
            return 1;
        }
        QApplication app(argc, argv);
        QApplication::setOrganizationName(MakerName);
        QApplication::setApplicationName(ProductName);
        CTandeoApp tandeo;
        tandeo.Start();
        return QApplication::exec();
    }
    // The subcommands need fonts but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCommandLine(args, std::cout, std::cerr);
}
