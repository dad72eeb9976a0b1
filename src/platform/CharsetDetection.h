#pragma once
// Recognising the character set of a text from its bytes (uchardet), for
// files that carry no byte order mark and are not UTF-8.

#include <string>
#include <string_view>

struct SDetectedCharset {
    std::string name;        // the detector's name ("GB18030"); empty: none found
    int codePage = 0;        // the code page we decode it with; 0: none we decode
    double confidence = -1;  // 0..1; negative when the detector does not say
};

SDetectedCharset DetectCharset(std::string_view bytes);

// The Windows code page for a character-set name as the detector (or iconv)
// spells it, in any case; 0 for names without one we decode.
int CodePageOfCharsetName(std::string_view name);
