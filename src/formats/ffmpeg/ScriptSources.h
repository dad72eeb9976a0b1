#pragma once
// Opening a subtitle script from any file a reader takes: our own readers
// first, then FFmpeg for the other formats and for the text tracks of
// video files. "movie.mkv#3" names stream 3 of movie.mkv (streams numbered
// as ffprobe numbers them); a file whose own name holds the '#' opens as it is.

#include "FfmpegReader.h"
#include "formats/SimpleTextSubtitle.h"

#include <QString>

#include <vector>

struct SScriptOpen {
    enum EFailure {
        None,
        CannotOpen,     // the file (or download) could not be opened
        UnknownFormat,  // no reader, ours or FFmpeg's, takes it
        SyntaxError,    // our reader took it and failed; the user was told
        MediaError,     // FFmpeg took the file and failed: see `error`
    };
    EFailure failure = None;
    QString error;         // for MediaError, a sentence for the user
    QString file;          // the file opened, without its "#N"
    bool media = false;    // read through FFmpeg
    SMediaRead fromMedia;  // what FFmpeg found: the file's text tracks, the one read
};

// Splits "FILE#N" into the file and the stream index when the path itself
// names no file and FILE does; otherwise the path with track -1.
void SplitTrackPath(const QString& path, QString& file, int& track);

// Reads `path` into `script` (cleared first) and finishes it as the opener
// finishes every script: side file, Default style, style names.
SScriptOpen OpenSubtitleScript(CSimpleTextSubtitle& script, const QString& path,
                               std::int32_t charSet = 1);

// One line of the formats we read, for the Open dialogs and the help.
struct SScriptFormat {
    const char* Name;
    const char* Patterns;  // "*.ass;*.ssa"
};
const std::vector<SScriptFormat>& ScriptFormats();

// "label|patterns|...||": every format at once, each format, all files.
QString SubtitleFileFilter();
