#include "app/ImageView.h"

#include <QApplication>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <cstdlib>
#include <limits>
#include <memory>

namespace {

constexpr QRgb kSurround = 0xFF555555;

// Shows `view` with a viewport of exactly `client` pixels: no border, and
// no scroll bars taking room from it.
bool Place(CImageView& view, QSize client)
{
    view.setFrameShape(QFrame::NoFrame);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(client);
    view.show();
    return QTest::qWaitForWindowExposed(&view) && view.viewport()->size() == client;
}

bool Near(QRgb actual, QRgb expected, int tolerance)
{
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QString Hex(QRgb value)
{
    return QString::number(value, 16);
}

// Pixels along a line of `n` pixels from `from` in steps of `step`: how many
// are clearly lighter than `background`, and how many are the background.
struct SLineCount {
    int lighter = 0;
    int background = 0;
};

SLineCount CountLine(const QImage& image, QPoint from, QPoint step, int n, QRgb background)
{
    SLineCount count;
    for (int i = 0; i < n; ++i) {
        const QRgb pixel = image.pixel(from + i * step);
        if (qGray(pixel) > qGray(background) + 20) {
            ++count.lighter;
        } else if (Near(pixel, background, 0)) {
            ++count.background;
        }
    }
    return count;
}

class TPaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

enum EBackground { kColour, kPicture, kUnusablePicture, kColourAfterPicture };

}  // namespace

class TImageView : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void frameGeometry_data();
    void frameGeometry();
    void setPictureTakesOnlyUsableSizes();
    void setZoomWithTheSameFactorChangesNothing();
    void scrolledViewDrawsItsScrolledPart();
    void background_data();
    void background();
    void pictureIsStretchedOverTheBackground();
    void shrunkenPictureIsSmoothed();
    void safeAreaFramesAreDottedLinesAtTheirPlace();
    void sharedBackgroundIsReleasedWithItsLastHolder();
    void wheel_data();
    void wheel();
};

void TImageView::defaults()
{
    CImageView image;
    QCOMPARE(image.PictureSize(), QSize(100, 100));
    QCOMPARE(image.Zoom(), 1.0f);
    QCOMPARE(image.ScrollSize(), QSize(100, 100));
    QVERIFY(image.Picture() == nullptr);

    CSupVideoView video;
    QCOMPARE(video.PictureSize(), QSize(1920, 1080));
    QCOMPARE(video.ShownSize(), QSize(1920, 1080));
    QCOMPARE(video.BackgroundColor(), std::uint32_t{0x808080});
    QVERIFY(!video.PictureMode());
    QVERIFY(video.BackgroundPicture() == nullptr);
}

void TImageView::frameGeometry_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<float>("zoom");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QSize>("scroll");
    QTest::addColumn<QSize>("shown");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("outer");
    QTest::addColumn<QRect>("inner");

    // Centred with an odd spare pixel: (1001 - 960) / 2 = 20.
    QTest::newRow("1920x1080 at 50%, larger window")
        << QSize(1920, 1080) << 0.5f << QSize(1001, 601) << QSize(960, 540) << QSize(1920, 1080)
        << QRect(20, 30, 960, 540) << QRect(68, 57, 864, 486) << QRect(116, 84, 768, 432);
    QTest::newRow("1920x1080 at 50%, smaller window")
        << QSize(1920, 1080) << 0.5f << QSize(500, 300) << QSize(960, 540) << QSize(1920, 1080)
        << QRect(0, 0, 960, 540) << QRect(48, 27, 864, 486) << QRect(96, 54, 768, 432);
    // Frames: 105 + 4.5 + 0.5 = 110, 64 + 3.6 + 0.5 = 68.1, 81, 64.8 + 0.5.
    QTest::newRow("720x576 at 12.5%, centred")
        << QSize(720, 576) << 0.125f << QSize(301, 201) << QSize(90, 72) << QSize(720, 576)
        << QRect(105, 64, 90, 72) << QRect(110, 68, 81, 65) << QRect(114, 71, 72, 58);
    // Centred across only; exactly as high as the window.
    QTest::newRow("1440x1080 at 25%, one direction centred")
        << QSize(1440, 1080) << 0.25f << QSize(401, 270) << QSize(360, 270) << QSize(1440, 1080)
        << QRect(20, 0, 360, 270) << QRect(38, 14, 324, 243) << QRect(56, 27, 288, 216);
    // 25.25 and 24.75 both round to 25, so the view shows 100 x 100.
    QTest::newRow("odd picture size rounds half up")
        << QSize(101, 99) << 0.25f << QSize(25, 25) << QSize(25, 25) << QSize(100, 100)
        << QRect(0, 0, 25, 25) << QRect(1, 1, 23, 23) << QRect(3, 3, 20, 20);
}

void TImageView::frameGeometry()
{
    QFETCH(QSize, picture);
    QFETCH(float, zoom);
    QFETCH(QSize, client);

    CSupVideoView view;
    const QImage frame(picture, QImage::Format_ARGB32);
    view.SetPicture(&frame);
    view.SetZoom(zoom);
    QVERIFY(Place(view, client));

    QTEST(view.ScrollSize(), "scroll");
    QTEST(view.ShownSize(), "shown");
    QTEST(view.FrameRect(), "frame");
    const auto safe = CVideoView::SafeAreaFrames(view.FrameRect());
    QTEST(safe[0], "outer");
    QTEST(safe[1], "inner");
}

void TImageView::setPictureTakesOnlyUsableSizes()
{
    CVideoView view;
    view.SetZoom(0.5f);

    const QImage small(720, 480, QImage::Format_ARGB32);
    view.SetPicture(&small);
    QCOMPARE(view.PictureSize(), QSize(720, 480));
    QCOMPARE(view.ScrollSize(), QSize(360, 240));
    QVERIFY(view.Picture() == &small);

    // No picture, or one without pixels, leaves the extent alone.
    view.SetPicture(nullptr);
    QVERIFY(view.Picture() == nullptr);
    QCOMPARE(view.PictureSize(), QSize(720, 480));
    const QImage empty;
    view.SetPicture(&empty);
    QCOMPARE(view.PictureSize(), QSize(720, 480));
    QCOMPARE(view.ScrollSize(), QSize(360, 240));
}

void TImageView::setZoomWithTheSameFactorChangesNothing()
{
    CVideoView view;
    view.SetZoom(0.5f);
    QVERIFY(Place(view, QSize(400, 300)));
    view.horizontalScrollBar()->setValue(123);
    TPaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    QCoreApplication::processEvents();
    counter.paints = 0;

    // Neither the same factor nor a factor that is not a positive number
    // changes the extent, the position or the picture on screen.
    for (float zoom : {0.5f, 0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
        view.SetZoom(zoom);
        QCoreApplication::processEvents();
        QCOMPARE(view.Zoom(), 0.5f);
        QCOMPARE(view.ScrollSize(), QSize(960, 540));
        QCOMPARE(view.horizontalScrollBar()->value(), 123);
        QCOMPARE(counter.paints, 0);
    }

    view.SetZoom(0.25f);
    QCoreApplication::processEvents();
    QCOMPARE(view.ScrollSize(), QSize(480, 270));
    QCOMPARE(view.horizontalScrollBar()->maximum(), 80);
    QCOMPARE(view.horizontalScrollBar()->value(), 80);
    QCOMPARE(view.verticalScrollBar()->maximum(), 0);
    QVERIFY(counter.paints > 0);
}

void TImageView::scrolledViewDrawsItsScrolledPart()
{
    CVideoView view;
    QVERIFY(Place(view, QSize(400, 300)));
    QCOMPARE(view.horizontalScrollBar()->maximum(), 1920 - 400);
    QCOMPARE(view.verticalScrollBar()->maximum(), 1080 - 300);
    QCOMPARE(view.FrameRect(), QRect(0, 0, 1920, 1080));

    // The outer frame's top line is row 54 of the extent, its left line
    // column 96; scrolled by (100, 50) the top line is row 4 of the viewport
    // and the left line is out of sight.
    view.horizontalScrollBar()->setValue(100);
    view.verticalScrollBar()->setValue(50);
    const QImage shot = view.RenderToImage();
    QCOMPARE(shot.size(), QSize(400, 300));
    const QRgb grey = 0xFF808080;
    QVERIFY(CountLine(shot, QPoint(0, 4), QPoint(1, 0), 400, grey).lighter > 50);
    QCOMPARE(CountLine(shot, QPoint(0, 3), QPoint(1, 0), 400, grey).lighter, 0);
    QCOMPARE(CountLine(shot, QPoint(0, 5), QPoint(1, 0), 400, grey).lighter, 0);
    // Column 0 is extent column 100: background, crossed only by the top
    // line, and the frame fills the viewport (no surround).
    QCOMPARE(CountLine(shot, QPoint(0, 10), QPoint(0, 1), 290, grey).background, 290);
}

void TImageView::background_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("right");

    // 0x00BBGGRR with three different bytes, so that swapped channels show.
    QTest::newRow("colour") << int(kColour) << QRgb(0xFF102030) << QRgb(0xFF102030);
    // A picture of blue and green halves stretched to the whole frame.
    QTest::newRow("picture") << int(kPicture) << QRgb(0xFF0000FF) << QRgb(0xFF00FF00);
    QTest::newRow("unusable picture shows the surround")
        << int(kUnusablePicture) << kSurround << kSurround;
    QTest::newRow("colour again after a picture")
        << int(kColourAfterPicture) << QRgb(0xFF102030) << QRgb(0xFF102030);
}

void TImageView::background()
{
    QFETCH(int, mode);
    QFETCH(QRgb, left);
    QFETCH(QRgb, right);

    QImage halves(2, 1, QImage::Format_ARGB32);
    halves.setPixel(0, 0, 0xFF0000FF);
    halves.setPixel(1, 0, 0xFF00FF00);

    CVideoView view;
    view.SetZoom(0.5f);
    QVERIFY(Place(view, QSize(1001, 601)));
    switch (mode) {
    case kColour: view.ShowBackgroundColor(0x302010); break;
    case kPicture: view.ShowBackgroundPicture(std::make_shared<const QImage>(halves)); break;
    case kUnusablePicture: view.ShowBackgroundPicture(std::make_shared<const QImage>()); break;
    case kColourAfterPicture:
        view.ShowBackgroundPicture(std::make_shared<const QImage>(halves));
        view.ShowBackgroundColor(0x302010);
        break;
    }
    QCOMPARE(view.PictureMode(), mode == kPicture || mode == kUnusablePicture);

    const QImage shot = view.RenderToImage();
    const QRect frame = view.FrameRect();
    QCOMPARE(frame, QRect(20, 30, 960, 540));
    const int y = frame.center().y();
    const QPoint probes[] = {{frame.left() + 100, y}, {frame.right() - 100, y}};
    QVERIFY2(Near(shot.pixel(probes[0]), left, 1), qPrintable(Hex(shot.pixel(probes[0]))));
    QVERIFY2(Near(shot.pixel(probes[1]), right, 1), qPrintable(Hex(shot.pixel(probes[1]))));

    // The frame's own corners are background; one pixel beyond is surround.
    QVERIFY(Near(shot.pixel(frame.topLeft()), left, 1));
    QVERIFY(Near(shot.pixel(frame.bottomRight()), right, 1));
    for (QPoint outside : {frame.topLeft() - QPoint(1, 0), frame.topLeft() - QPoint(0, 1),
                           frame.bottomRight() + QPoint(1, 0), frame.bottomRight() + QPoint(0, 1),
                           QPoint(0, 0), QPoint(1000, 600)}) {
        QCOMPARE(shot.pixel(outside), kSurround);
    }
}

void TImageView::pictureIsStretchedOverTheBackground()
{
    // Three bands: opaque red, half-transparent blue, transparent.
    QImage line(192, 108, QImage::Format_ARGB32);
    for (int y = 0; y < line.height(); ++y) {
        for (int x = 0; x < line.width(); ++x) {
            line.setPixel(x, y, x < 64 ? 0xFFFF0000 : x < 128 ? 0x800000FF : 0x00000000);
        }
    }
    CVideoView view;
    view.ShowBackgroundColor(0x302010);
    view.SetPicture(&line);
    view.SetZoom(2.0f);
    QVERIFY(Place(view, QSize(500, 300)));
    const QRect frame = view.FrameRect();
    QCOMPARE(frame, QRect(58, 42, 384, 216));

    const QImage shot = view.RenderToImage();
    const int y = frame.top() + 108;
    const QRgb blend = qRgb(0x10 / 2, 0x20 / 2, (0x30 + 0xFF) / 2);
    const struct {
        int x;
        QRgb expected;
    } probes[] = {{10, 0xFFFF0000}, {64, 0xFFFF0000},  {150, blend},
                  {192, blend},     {320, 0xFF102030}, {374, 0xFF102030}};
    for (const auto& probe : probes) {
        const QRgb pixel = shot.pixel(frame.left() + probe.x, y);
        QVERIFY2(Near(pixel, probe.expected, 2),
                 qPrintable(QString("x %1: %2").arg(probe.x).arg(Hex(pixel))));
    }
}

void TImageView::shrunkenPictureIsSmoothed()
{
    // A one-pixel checkerboard shrunk to an eighth: sampling without
    // smoothing gives pure black or white, smoothing gives mid grey.
    QImage checks(720, 576, QImage::Format_ARGB32);
    for (int y = 0; y < checks.height(); ++y) {
        for (int x = 0; x < checks.width(); ++x) {
            checks.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
        }
    }
    CVideoView view;
    view.SetPicture(&checks);
    view.SetZoom(0.125f);
    QVERIFY(Place(view, QSize(90, 72)));
    const QImage shot = view.RenderToImage();
    for (QPoint probe : {QPoint(2, 2), QPoint(45, 36), QPoint(30, 50), QPoint(87, 69)}) {
        QVERIFY2(Near(shot.pixel(probe), 0xFF808080, 20), qPrintable(Hex(shot.pixel(probe))));
    }
}

void TImageView::safeAreaFramesAreDottedLinesAtTheirPlace()
{
    CSupVideoView view;
    view.SetZoom(0.5f);
    QVERIFY(Place(view, QSize(1001, 601)));
    const QImage shot = view.RenderToImage();
    const QRgb grey = 0xFF808080;

    const QRect frames[] = {QRect(68, 57, 864, 486), QRect(116, 84, 768, 432)};
    for (const QRect& r : frames) {
        const QString where = QString("frame %1,%2").arg(r.x()).arg(r.y());
        // Each edge: its line, then the parallel lines just outside and just
        // inside, short of the corners where they cross the other edges.
        const struct {
            QPoint from;
            QPoint step;
            QPoint outward;
            int n;
        } edges[] = {{r.topLeft(), {1, 0}, {0, -1}, r.width()},
                     {r.bottomLeft(), {1, 0}, {0, 1}, r.width()},
                     {r.topLeft(), {0, 1}, {-1, 0}, r.height()},
                     {r.topRight(), {0, 1}, {1, 0}, r.height()}};
        for (const auto& edge : edges) {
            const SLineCount on = CountLine(shot, edge.from, edge.step, edge.n, grey);
            QVERIFY2(on.lighter > edge.n / 5, qPrintable(where));
            QVERIFY2(on.background > edge.n / 5, qPrintable(where + " is not dotted"));
            for (int side : {1, -1}) {
                const QPoint from = edge.from + edge.step + side * edge.outward;
                QVERIFY2(CountLine(shot, from, edge.step, edge.n - 2, grey).lighter == 0,
                         qPrintable(where));
            }
        }
    }
}

void TImageView::sharedBackgroundIsReleasedWithItsLastHolder()
{
    auto first = std::make_shared<const QImage>(4, 4, QImage::Format_ARGB32);
    const std::weak_ptr<const QImage> watch = first;
    auto bottom = std::make_unique<CSupVideoView>();
    auto top = std::make_unique<CSupVideoView>();
    bottom->ShowBackgroundPicture(first);
    top->ShowBackgroundPicture(first);
    first.reset();
    QVERIFY(bottom->BackgroundPicture() == top->BackgroundPicture());

    auto second = std::make_shared<const QImage>(4, 4, QImage::Format_ARGB32);
    const std::weak_ptr<const QImage> watchSecond = second;
    bottom->ShowBackgroundPicture(second);
    QVERIFY(!watch.expired());
    top->ShowBackgroundPicture(second);
    QVERIFY(watch.expired());

    second.reset();
    bottom.reset();
    QVERIFY(!watchSecond.expired());
    top.reset();
    QVERIFY(watchSecond.expired());
}

void TImageView::wheel_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<bool>("scrolls");

    const QPoint down(0, -120);
    QTest::newRow("plain, down") << int(Qt::NoModifier) << down << true;
    QTest::newRow("plain, sideways") << int(Qt::NoModifier) << QPoint(-120, 0) << true;
    QTest::newRow("ctrl") << int(Qt::ControlModifier) << down << false;
    QTest::newRow("shift") << int(Qt::ShiftModifier) << down << false;
    QTest::newRow("shift, sideways") << int(Qt::ShiftModifier) << QPoint(-120, 0) << false;
    QTest::newRow("ctrl and shift")
        << int(Qt::ControlModifier | Qt::ShiftModifier) << down << false;
}

void TImageView::wheel()
{
    QFETCH(int, modifiers);
    QFETCH(QPoint, angle);
    QFETCH(bool, scrolls);

    // The page's own layout: a border and scroll bars as needed.
    CSupVideoView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    QVERIFY(view.horizontalScrollBar()->maximum() > 0);
    QVERIFY(view.verticalScrollBar()->maximum() > 0);

    const QPointF at(view.viewport()->rect().center());
    QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
                      Qt::KeyboardModifiers(modifiers), Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);

    const int moved = view.horizontalScrollBar()->value() + view.verticalScrollBar()->value();
    QCOMPARE(moved > 0, scrolls);
    // An ignored wheel goes on to the window, which may use it.
    QCOMPARE(event.isAccepted(), scrolls);
}

QTEST_MAIN(TImageView)
#include "test_ImageView.moc"
