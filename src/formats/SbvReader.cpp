// YouTube's SubViewer variant (.sbv): a block is one time pair with
// milliseconds, "0:00:01.500,0:00:03.000", and the text lines up to an
// empty line. The three-digit fraction tells it from SubViewer, whose
// fractions are hundredths.

#include "ReaderText.h"
#include "Readers.h"

#include <QRegularExpression>

namespace {

const QRegularExpression& SbvTimes()
{
    static const QRegularExpression times(
        R"(^(\d{1,3}):(\d{1,2}):(\d{1,2})\.(\d{3})\s*,\s*(\d{1,3}):(\d{1,2}):(\d{1,2})\.(\d{3})$)");
    return times;
}

std::optional<std::int32_t> SbvTime(const QRegularExpressionMatch& match, int first)
{
    return TimeFromParts(
        match.capturedView(first).toLongLong(), match.capturedView(first + 1).toLongLong(),
        match.capturedView(first + 2).toLongLong(), match.capturedView(first + 3).toLongLong());
}

}  // namespace

bool ReadSbv(CTextFile& file, CSimpleTextSubtitle& script, int)
{
    const bool unicodeText = file.HasUnicodeEncoding();
    QString line;
    while (file.ReadLine(line)) {
        const QStringView trimmed = TrimmedLine(line, unicodeText);
        if (trimmed.isEmpty())
            continue;
        const QRegularExpressionMatch match = SbvTimes().match(trimmed.toString());
        if (!match.hasMatch())
            return false;
        const std::optional<std::int32_t> start = SbvTime(match, 1);
        const std::optional<std::int32_t> end = SbvTime(match, 5);
        if (!start || !end)
            return false;
        QString text;
        while (file.ReadLine(line) && !TrimmedLine(line, unicodeText).isEmpty()) {
            if (!text.isEmpty())
                text += u'\n';
            text += line;
        }
        script.AddEntry(text, unicodeText, *start, *end, "Default", "", "", 0, {});
    }
    return !script.entries.empty();
}
