#include "Commands.h"

#include <QStringList>

#include <iostream>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return RunCommandLine(args, std::cout, std::cerr);
}
