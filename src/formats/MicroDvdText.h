#pragma once
// The braced codes of MicroDVD text: "{c:$BBGGRR}", "{f:name}", "{s:size}",
// "{h:charset}", "{y:biu s}", "{p:0}", "{o:x,y}". A lower-case code letter
// applies to its own line of the entry, an upper-case one to the rest of it.

#include "SimpleTextSubtitle.h"

#include <memory>
#include <string>

// A style from the codes of a style definition line (the text after its
// braced name).
std::unique_ptr<STSStyle> ParseMicroDvdStyle(const std::string& text);

// Entry text with its "|" line breaks and codes turned into override tags.
// `defaultCodePage` as for FindScriptChar.
QString MicroDvdToScriptText(const QString& text, bool unicodeText, int charSet,
                             int defaultCodePage = 0);
