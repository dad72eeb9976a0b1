#pragma once
// Text dump of a stream read back: one line per segment and a summary.

#include "StreamReader.h"

#include <string>

// Offset, type, PTS and DTS in ticks and seconds, then the segment's fields.
std::string DumpSegmentLine(const SReadSegment& segment);

// Display sets, epochs (Epoch Start sets), objects (complete object
// definitions), segments and bytes of the main file.
std::string DumpSummary(const SStreamContent& content);
