#include "Commands.h"

#include "pgs/StreamDump.h"
#include "pgs/StreamReader.h"

#include <ostream>

int RunInspect(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (WantsHelp(args)) {
        out << "usage: tandeo inspect FILE\n";
        return 0;
    }
    if (args.size() != 1) {
        err << "usage: tandeo inspect FILE\n";
        return 1;
    }
    const QString& path = args.front();
    const SStreamContent content = ReadStreamFile(path);
    for (const SReadSegment& segment : content.Segments)
        out << DumpSegmentLine(segment) << '\n';
    if (!content.Ok()) {
        out.flush();
        err << "tandeo inspect: " << path.toStdString() << ": " << content.Error << '\n';
        return 2;
    }
    out << DumpSummary(content) << '\n';
    return 0;
}
