#pragma once
// The script readers, tried by the opener in this order. Each reads the
// open file from its position into the script and tells whether it
// accepts the text; a reader that fails after adding entries met a
// syntax error.

#include "SimpleTextSubtitle.h"

bool ReadSubRip(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadBracedTimeLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadSubViewer(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadMicroDvd(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadTimePrefixedLines(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadSubStationScript(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadKeyValueScript(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadSbv(CTextFile& file, CSimpleTextSubtitle& script, int charSet);
bool ReadTimedText(CTextFile& file, CSimpleTextSubtitle& script, int charSet);

struct SScriptReader {
    const char* Name;
    bool (*Read)(CTextFile&, CSimpleTextSubtitle&, int);
    ETimingMode TimingMode;
};

// All readers in the order they are tried.
const std::vector<SScriptReader>& ScriptReaders();
