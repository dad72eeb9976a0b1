#pragma once
// The checks the Build command makes before it asks for the output file,
// and the output name rules. Each check returns the message to show, empty
// when the build may go on; the window and the command line show them
// their own way.

#include "BuildJob.h"
#include "source/FileNames.h"
#include "source/LineStyle.h"

#include <QString>

#include <array>

// What the checks need of one source page.
struct SBuildPage {
    CSubBase* source = nullptr;
    QString sourcePath;  // the script the source was opened from
    std::int32_t Direction = 0;
};

// Index 0 is the top/left page, 1 the bottom/right page.
using SBuildPages = std::array<SBuildPage, 2>;

// Lines with bad times, conflicting directions, and fades with two sources,
// in that order.
QString CheckBeforeBuild(const SBuildPages& pages);

// A warning when no HD Blu-ray disc allows the frame size at the frame
// rate (indexes of the two tables), such as "720x576 at 29.97 is not a
// Blu-ray format", or "1920x1080 at 59.94 is only allowed on UHD discs"
// for the full-height frames at 50 and 59.94; empty for an HD format.
QString CheckVideoFormat(int videoSizeIndex, int frameRateIndex);

// The matrix the palette entries of a build are made with: the forced one,
// or for Automatic BT.709 on the HD frames (taller than 576 lines, which
// HD players and FFmpeg convert with BT.709) and BT.601 on the SD frames.
// Throws std::out_of_range for a video size outside the table.
EColourMatrix ColourMatrixFor(EMatrixChoice choice, int videoSizeIndex);

// The first line, top/left source first and in list order, that the
// stream's 32-bit 90 kHz clock cannot hold when built at the rate of
// `frameRateIndex` into `outputFormat`, with the message that names it;
// empty when every line fits. A ".pes" stream's index adds ten minutes to
// every time, so there the last time comes ten minutes earlier. A time
// the source holds as negative is one past 2^31 ms, never fitting.
QString CheckLineTimes(const SBuildPages& pages, int frameRateIndex, std::int32_t outputFormat);

// The path of the first page, bottom/right before top/left, whose source
// path is not empty; empty when there is none.
QString FirstSourcePath(const SBuildPages& pages);

// The offered output name: the first source path with ".sup".
QString DefaultOutputPath(const SBuildPages& pages);

// The save dialog keeps the extension of the selected filter: when it is
// not empty and differs (in any case) from the path's, it replaces it.
QString ApplyFilterExtension(const QString& path, const QString& filterExtension);

// ".sup" gives OutputSup and ".pes" OutputPes (in any case); any other
// extension gives the message "Output format is not supported! ".
QString OutputFormatOf(const QString& path, std::int32_t& format);

// The placement direction of the build: the top/left layout's when its
// source has lines, else the bottom/right layout's.
std::int32_t BuildDirection(const SSourceLayouts& layouts);

// The builder's settings of one source, copied from its page's style.
SSourceLayout MakeSourceLayout(CSubBase* source, const SSourceStyle& style);

// Why a stream cannot be written to `path` (the system's words for it),
// or empty when it can: an existing entry that is not a regular file or
// cannot be written, a folder that does not exist or cannot be written.
QString CheckOutputFile(const QString& path);
