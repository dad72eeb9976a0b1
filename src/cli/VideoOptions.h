#pragma once
// The video sizes and frame rates as the command line names them.

#include "pgs/VideoFormats.h"

#include <QString>

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
