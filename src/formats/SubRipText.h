#pragma once
// The formatting tags of SubRip text.

#include <QString>

// The tags of SubRip text as override tags: "<i>", "<b>", "<u>", "<s>"
// and their closing tags (in any case) switch italic, bold, underline and
// strike-out; "<font color=... size=... face=...>" sets the colour (HTML
// colours: "#RRGGBB", "#RGB", names), the size and the font until its
// "</font>". Other tags are dropped; a "<" that starts no tag is text.
QString HtmlTagsToOverrides(QString text);
QString FontTagsToOverrides(const QString& text);
