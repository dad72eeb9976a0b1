#pragma once
// The languages a page's style can name for BDN output: 475 rows of a
// three-letter code and an English name, and the order the list shows them.

#include <QString>

#include <array>

inline constexpr int LanguageCount = 475;

struct SLanguage {
    const char* code;  // "eng"
    const char* name;  // "English"
};

// Row `index` (0 to 474) of the table; throws std::out_of_range outside it.
const SLanguage& LanguageAt(int index);

// The row index shown at each position of the list: the 17 common
// languages first, then every other row in index order.
const std::array<int, LanguageCount>& LanguageDisplayOrder();

// The position of row `index` in the display order; -1 outside the table.
int LanguageDisplayPosition(int index);

// The row of a code, -1 when none has it.
int LanguageIndexOfCode(const QString& code);

// "eng (English)", as the list shows a row; throws std::out_of_range
// outside the table.
QString LanguageEntryText(int index);
