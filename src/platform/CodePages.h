#pragma once
// Windows character sets and code pages on this system: which code page a
// character-set number stands for, which bytes start a double-byte
// character, and how code-page bytes become Unicode (glibc iconv).
//
// Code page 0 is "the default code page". Text that is valid UTF-8 is
// decoded as UTF-8 under it, any other text with the code page set as
// "Default Code Page" in section "General" of the settings (1252 when
// absent or not one we convert). So both UTF-8 files without a byte order
// mark and legacy files (GBK, Windows-1252) read correctly by default.

#include <QString>

#include <string_view>

constexpr int CodePageDefault = 0;
constexpr int CodePageSymbol = 42;  // bytes taken as their Latin-1 values
constexpr int CodePageUtf8 = 65001;

// The code page of a character-set number (0 ANSI -> 1252, 128 -> 932,
// 1 DEFAULT -> 0, ...); 0 for numbers without one.
int CodePageOfCharSet(int charSet);

// True for the code pages DecodeCodePage converts as themselves.
bool IsKnownCodePage(int codePage);

// True when `byte` starts a double-byte character in `codePage` (932, 936,
// 949, 950, 1361). Code page 0 stands for LegacyDefaultCodePage() here;
// resolve it for the text first (ResolveCodePage) to honour UTF-8.
bool IsLeadByte(int codePage, unsigned char byte);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The code page that code page 0 means for text that is not UTF-8.
int LegacyDefaultCodePage();

// The code page that files without a byte order mark are read in, whatever
// their bytes look like (the command line's --code-page); 0: none, the
// code page is recognised from the bytes.
void SetCodePageOverride(int codePage);
int CodePageOverride();

// The code page to use for `text`: code page 0 (or one we do not convert)
// becomes CodePageUtf8 when `text` is valid UTF-8 and LegacyDefaultCodePage()
// otherwise; any other code page stays.
int ResolveCodePage(int codePage, std::string_view text);

// Decodes `bytes` in `codePage` (resolved for these bytes as above). A lead
// byte and its follower form one character; every other byte is one
// character. A byte that cannot be converted is dropped; a lead byte whose
// pair cannot be converted is dropped and its follower read on its own, so
// a broken pair never swallows an ASCII character.
QString DecodeCodePage(int codePage, std::string_view bytes);
