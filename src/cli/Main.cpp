#include "Commands.h"

#include <QGuiApplication>
#include <QStringList>

#include <iostream>

int main(int argc, char** argv)
{
    // The subcommands need fonts but no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCommandLine(args, std::cout, std::cerr);
}
