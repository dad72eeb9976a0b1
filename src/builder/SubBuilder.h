#pragma once
// The build: walks both sources group by group, asks each source for its
// line pictures, places them on the frame and hands every group to the
// encoder. The output appears only when the whole build succeeded; a build
// that is stopped or fails leaves any earlier file of that name as it was.

#include "BuildJob.h"

enum EBuildResult : int {
    BuildDone = 0,
    BuildStopped = 1,  // the progress callback asked to stop
    BuildFailed = 2,   // no source, a line that could not be drawn, or an output error
};

class CSubBuilder {
public:
    int Build(const SBuildJob& job, const SSourceLayouts& layouts);
};
