#pragma once
// The `tandeo` command line run inside the test program.

#include "cli/Commands.h"

#include <QStringList>

#include <sstream>
#include <string>

// The exit status; `errors` gets what the command wrote to standard error,
// `output` what it wrote to standard output.
inline int RunTandeo(const QStringList& args, std::string* errors = nullptr,
                     std::string* output = nullptr)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(args, out, err);
    if (errors)
        *errors = err.str();
    if (output)
        *output = out.str();
    return status;
}
