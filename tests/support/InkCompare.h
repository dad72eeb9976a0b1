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

// A bare line picture (Format_ARGB32, straight alpha, as `tandeo render
// --line-only` writes it) and the corner where it sits on the frame.
struct SPlacedLine {
    QImage Picture;
    QPoint Corner;
    QRect Rect() const { return QRect(Corner, Picture.size()); }
};

// Where `line` sits in `frame`, our rendering of it alone over
// `background`: the corner at which the picture laid over the background
// matches the frame best, searched near the corner that the edges of the
// two imply. `mismatch` gets the largest difference of a channel at that
// corner over the pixels that the picture covers fully (0 when found).
QPoint FindPlace(const QImage& frame, const QImage& line, QRgb background, int* mismatch);

// How close a peer's frame is to ours over a box: the mean difference per
// channel, the 99th percentile of the channel differences, and the largest
// channel difference at the pixels that our lines cover fully (where
// nothing of the background may show), with how many such pixels there are.
struct SFidelity {
    double Mean = 0;
    int P99 = 0;
    int WorstOpaque = 0;
    int OpaqueCount = 0;
    QRgb OpaqueDecoded = 0;  // the decoded and our colour at the worst one
    QRgb OpaqueExpected = 0;
};

SFidelity MeasureFidelity(const QImage& decoded, const QImage& expected, const QRect& box,
                          const std::vector<SPlacedLine>& lines);

// "mean 0.63 p99 3 opaque 5 of 1234 (#102030 for #112233)".
std::string FidelityText(const SFidelity& f);
