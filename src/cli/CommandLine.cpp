#include "Commands.h"

#include "platform/CodePages.h"

#include <ostream>

namespace {

const char* const Usage =
    "usage: tandeo COMMAND [ARGUMENTS]\n"
    "       tandeo [gui]   open the window\n"
    "\n"
    "Tandeo makes Blu-ray PGS subtitle streams (.sup, or .pes with its .mui\n"
    "index) from two text subtitle scripts shown at the same time.\n"
    "\n"
    "commands:\n"
    "  build --top FILE --bottom FILE -o OUT.sup|OUT.pes [options]\n"
    "                 build one stream from one or two subtitle scripts\n"
    "                 (tandeo build --help lists the options)\n"
    "  render FILE LINE -o OUT.png [options]\n"
    "                 draw one line over the frame as the preview shows it\n"
    "                 (tandeo render --help lists the options)\n"
    "  inspect FILE   list the segments of a .sup file, or of a .pes file with\n"
    "                 the .mui index beside it, and check every one of them\n"
    "  verify [--strict] FILE\n"
    "                 run a .sup (or .pes with its .mui) through a model of a\n"
    "                 Blu-ray decoder and report every rule it breaks\n"
    "  script [--code-page N] FILE\n"
    "                 read a subtitle script and print its encoding, styles and\n"
    "                 entries (of a video file: its text tracks, then the\n"
    "                 chosen one's)\n"
    "  list FILE      open a subtitle script as a source and print its lines:\n"
    "                 times, position, text, bad timings\n"
    "                 (--video-size WxH, --settings FILE, --page top|bottom)\n"
    "  help           show this text (also -h, --help)\n"
    "  version        show the version (also --version)\n"
    "\n"
    "scripts: SubRip, SSA/ASS, MicroDVD, SubViewer, TMPlayer and other timed\n"
    "lines, YouTube SBV, TTML/DFXP; through FFmpeg WebVTT, SAMI, MPL2, LRC and\n"
    "the text subtitle tracks of video files (.mkv, .mp4, .webm): FILE is the\n"
    "first text track, FILE#N stream N as ffprobe numbers them. The content\n"
    "decides the format, whatever the extension.\n"
    "\n"
    "exit status: 0 done, 1 wrong usage, 2 the input could not be read or is\n"
    "malformed.\n";

}  // namespace

int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err)
{
    if (args.isEmpty()) {
        err << Usage;
        return 1;
    }
    const QString command = args.front();
    const QStringList rest = args.mid(1);
    // Each run reads scripts as its own options say.
    SetCodePageOverride(0);
    if (command == "help" || command == "-h" || command == "--help") {
        out << Usage;
        return 0;
    }
    if (command == "version" || command == "--version") {
        out << "Tandeo, V1.4.4.0\n";
        return 0;
    }
    if (command == "inspect")
        return RunInspect(rest, out, err);
    if (command == "verify")
        return RunVerify(rest, out, err);
    if (command == "script")
        return RunScript(rest, out, err);
    if (command == "list")
        return RunList(rest, out, err);
    if (command == "build")
        return RunBuild(rest, out, err);
    if (command == "render")
        return RunRender(rest, out, err);
    err << "tandeo: unknown command '" << command.toStdString() << "'\n"
        << "Run 'tandeo --help' for the list of commands.\n";
    return 1;
}
