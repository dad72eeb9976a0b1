#pragma once
// Byte-valued script text: searching it and decoding it by character set,
// honouring the font-encoding tag (backslash, "fe", digits) inside override
// blocks, which switches the character set for the text that follows.
//
// `defaultCodePage` is what the character sets without a code page of
// their own (1, DEFAULT) stand for in this text: the code page recognised
// in the file or chosen by the user; 0 leaves it to the text (UTF-8 when
// valid) and the "Default Code Page" setting.

#include <QString>
#include <QStringView>

#include <vector>

// The index of the first `ch` at or after `from`, or -1. In byte-valued
// text the second byte of a double-byte character never matches.
int FindScriptChar(const QString& text, QChar ch, int from, bool unicodeText, int charSet,
                   int defaultCodePage = 0);

// Flags the units of byte-valued text that belong to double-byte
// characters, as FindScriptChar's walk finds them; empty when there are
// none. For callers that search one text many times.
std::vector<char> DoubleByteUnits(QStringView text, int charSet, int defaultCodePage = 0);

// Each unit is a byte; a lead byte and its follower form one character.
QString DecodeWithCharSet(const QString& text, int charSet, int defaultCodePage = 0);

// Decodes text whose character set may change at {\fe...} blocks.
QString DecodeScriptText(const QString& text, int charSet, int defaultCodePage = 0);
