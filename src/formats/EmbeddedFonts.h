#pragma once
// Fonts carried inside a script's [Fonts] section, installed for this
// process so that text measuring and drawing can use their families.
//
// A font is written as lines of printable characters, each standing for six
// bits ("!" is 0); a line "fontname: <file>" starts each font.

#include "TextFile.h"

#include <QByteArray>

#include <string>
#include <vector>

// Reads one block of encoded font data from the file's position and
// installs the fonts it holds. The block ends at the end of the file, at an
// empty line, or before a section header, which is left for the caller to
// read.
void InstallEmbeddedFonts(CTextFile& file);

// The same block as the encoded text of each font, installing nothing.
std::vector<QByteArray> ReadEmbeddedFontBlock(CTextFile& file);

// Decodes one font's encoded text and installs it; false when the text
// cannot be decoded or the platform does not take the result as a font.
bool InstallFontData(const QByteArray& encoded);

// The bytes an encoded text stands for; false for a length that no data
// encodes to (none, or one character past a group of four). Any text
// decodes safely; characters outside the encoding give garbage bytes.
bool DecodeFontData(const QByteArray& encoded, QByteArray& decoded);

// A section header: "[", then only letters, digits, spaces and "+", then
// "]". Encoded font data can start with "[" and can even hold "]", so a
// looser test would end a font in the middle.
bool IsSectionHeader(const std::string& line);
