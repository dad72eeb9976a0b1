#pragma once
// The video sizes, frame rates and palette matrices as the command line
// names them.

#include "builder/BuildJob.h"
#include "pgs/VideoFormats.h"
#include "platform/CodePages.h"

#include <QString>

#include <optional>
#include <string>

// "1920x1080" and the other four sizes; -1 for anything else.
inline int VideoSizeIndexOf(const QString& text)
{
    for (int i = 0; i < VideoSizeCount; ++i) {
        const SVideoSize& size = VideoSizeAt(i);
        if (text == QString("%1x%2").arg(size.Width).arg(size.Height))
            return i;
    }
    return -1;
}

// "23.976" ... "59.94" as the frame-rate list labels them; -1 otherwise.
inline int FrameRateIndexOf(const QString& text)
{
    for (int i = 0; i < FrameRateCount; ++i) {
        if (text == FrameRateAt(i).Label)
            return i;
    }
    return -1;
}

// "auto", "601" or "709"; nothing for anything else.
inline std::optional<EMatrixChoice> MatrixChoiceOf(const QString& text)
{
    if (text == "auto")
        return EMatrixChoice::Automatic;
    if (text == "601")
        return EMatrixChoice::Bt601;
    if (text == "709")
        return EMatrixChoice::Bt709;
    return std::nullopt;
}

// A Windows code page number we decode ("936", "1251"); -1 otherwise.
inline int CodePageOf(const QString& text)
{
    bool number = false;
    const int codePage = text.toInt(&number);
    if (!number || codePage == CodePageDefault || !IsKnownCodePage(codePage))
        return -1;
    return codePage;
}

inline std::string UnknownCodePage(const char* command, const QString& value)
{
    return std::string("tandeo ") + command + ": unknown code page " + value.toStdString() +
           " (a Windows code page number such as 936, 950, 932, 1251 or 1256)\n";
}
