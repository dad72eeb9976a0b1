#pragma once
// Finding a line's ink in a decoded frame and holding a peer decoder's
// frame to our own rendering of the lines it should show. Frames are whole
// video frames (Format_RGB32) over one solid background colour.

#include <QImage>
#include <QRect>

#include <string>
#include <utility>
#include <vector>

// How far a channel must be from the background to count as ink.
constexpr int InkThreshold = 40;

bool Differs(QRgb pixel, QRgb background, int threshold);

// The smallest box holding every pixel of `image` (inside `within`, the
// whole image when it is null) that differs from the background.
QRect InkBox(const QImage& image, QRgb background, const QRect& within = QRect());

// True when every edge of `a` lies within `slack` pixels of that of `b`.
bool Near(const QRect& a, const QRect& b, int slack);

// "x,y WxH", or "(none)".
std::string BoxText(const QRect& r);

// The mean difference per channel over `box` between `a` and `b` moved by
// `shift`.
double MeanDifference(const QImage& a, const QImage& b, const QRect& box, QPoint shift);

// The largest difference of a channel between `a` and `b` over the pixels
// of `box` that lie inside a solid part of `b` (their 3 x 3 neighbourhood of
// one colour, not the background), and how many there are.
std::pair<int, int> SolidDifference(const QImage& a, const QImage& b, const QRect& box,
                                    QRgb background);

// One line a frame should show: our frame of that line alone, over the
// same background, and how failure messages name it.
struct SRenderedLine {
    const QImage* Render = nullptr;
    std::string Name;
};

// Expects `decoded` to show exactly `lines`: the ink where ours is, each
// line at its place and in its colours within the tolerances a PGS round
// trip leaves. `label` names the frame in the failure messages and the
// recorded measurements.
void ExpectShowsLines(const QImage& decoded, const std::vector<SRenderedLine>& lines,
                      QRgb background, const std::string& label);
