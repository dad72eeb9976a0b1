#pragma once
// The formatting tags of SubRip text.

#include <QString>

// "<i>", "</i>", "<b>", "</b>", "<u>", "</u>" (exact case) become the
// override tags that switch italic, bold and underline on and off; other
// tags stay in the text.
QString HtmlTagsToOverrides(QString text);
