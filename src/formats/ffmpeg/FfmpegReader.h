#pragma once
// Text subtitles read through libavformat and libavcodec: the formats our
// own readers do not know, and the text tracks of video files. The decoder
// turns every format into SSA events, which become the script's entries.

#include "formats/SimpleTextSubtitle.h"

#include <QString>

#include <string>
#include <vector>

// One text subtitle track, numbered as ffprobe numbers the streams.
struct SMediaTrack {
    int index = 0;
    std::string codec;     // "subrip", "ass", "webvtt", "mov_text", ...
    std::string language;  // the stream's language tag, "und" when it has none
};

struct SMediaRead {
    bool read = false;       // the script holds the chosen track
    bool container = false;  // a file of several streams (a video file)
    // The file's text is not UTF-8: the entries hold its bytes, one unit
    // each, for the style's character set to decode as our readers leave them.
    bool byteText = false;
    std::string format;  // FFmpeg's name of the file format
    std::vector<SMediaTrack> tracks;
    int chosen = -1;  // the stream index read
    // Why nothing was read: empty when FFmpeg does not know the file at
    // all, otherwise a sentence for the user.
    QString error;
};

// Reads stream `track` of `path` (-1: the first text subtitle stream) into
// `script`, which is cleared first. Never shows anything to the user.
SMediaRead ReadMediaSubtitles(const QString& path, int track, CSimpleTextSubtitle& script);

// Whether the file begins like a video file (Matroska/WebM, MP4/QuickTime,
// AVI, Ogg), which our text readers need not look at.
bool LooksLikeContainer(const QString& path);
