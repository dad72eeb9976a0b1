#include "Commands.h"

#include <QGuiApplication>
#include <QStringList>

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

}  // namespace

int main(int argc, char** argv)
{
    // The subcommands need fonts but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QtDefault = qInstallMessageHandler(QuietQtMessages);
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCommandLine(args, std::cout, std::cerr);
}
