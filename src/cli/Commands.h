#pragma once
// The `tandeo` subcommands. Each takes the arguments after its name, writes
// its results to `out` and its complaints to `err`, and returns the exit
// status.

#include <QStringList>

#include <iosfwd>

// True when the arguments ask for the subcommand's help.
inline bool WantsHelp(const QStringList& args)
{
    return args.contains("--help") || args.contains("-h");
}

// `tandeo inspect FILE`: one line per segment and a summary; 2 when the file
// cannot be read or is malformed.
int RunInspect(const QStringList& args, std::ostream& out, std::ostream& err);

// `tandeo verify [--strict] FILE`: runs the stream through the decoder
// model; 0 when every hard rule holds, 1 when a rule fails, 2 when the file
// cannot be read.
int RunVerify(const QStringList& args, std::ostream& out, std::ostream& err);

// `tandeo script FILE`: reads a subtitle script as a source does and prints
// what was read; 2 when it cannot be read.
int RunScript(const QStringList& args, std::ostream& out, std::ostream& err);

// `tandeo list FILE`: opens a script as a source does and prints its line
// list; 2 when it cannot be opened.
int RunList(const QStringList& args, std::ostream& out, std::ostream& err);

// `tandeo build ...`: builds the stream of one or two scripts; 0 built,
// 1 stopped (Ctrl-C), 2 failed or refused.
int RunBuild(const QStringList& args, std::ostream& out, std::ostream& err);

// `tandeo render FILE LINE -o OUT.png ...`: the preview of one line.
int RunRender(const QStringList& args, std::ostream& out, std::ostream& err);

// The whole command line, subcommand first.
int RunCommandLine(const QStringList& args, std::ostream& out, std::ostream& err);
