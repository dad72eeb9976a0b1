#include "Commands.h"

#include "pgs/DecoderModel.h"

#include <ostream>

namespace {

const char* const VerifyUsage =
    "usage: tandeo verify [--strict] FILE\n"
    "  Runs a .sup stream, or a .pes stream with its .mui index, through a model of\n"
    "  a Blu-ray graphics decoder and prints every rule it breaks and the figures.\n"
    "  exit status: 0 every hard rule holds, 1 a rule fails (authoring rules only\n"
    "  with --strict), 2 the file cannot be read.\n";

}  // namespace

int RunVerify(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (WantsHelp(args)) {
        out << VerifyUsage;
        return 0;
    }
    QStringList files = args;
    const bool strict = files.removeAll("--strict") > 0;
    if (files.size() != 1 || files.front().startsWith("--")) {
        err << VerifyUsage;
        return 1;
    }
    const QString& path = files.front();
    SModelReport report;
    std::string error;
    if (!CheckStreamFile(path, report, error)) {
        err << "tandeo verify: " << path.toStdString() << ": " << error << '\n';
        return 2;
    }
    out << FormatModelReport(report);
    const bool passes = report.Passes(strict);
    out << (passes ? "passes\n" : "fails\n");
    return passes ? 0 : 1;
}
