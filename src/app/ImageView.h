#pragma once
// The preview of a source page: a scroll view that shows one picture scaled
// by the view ratio (CImageView), over a background colour or picture with
// two dotted safe-area frames on top (CVideoView), with the wheel rule of
// the page (CSupVideoView).
//
// Coordinates called "scrolled" are those of the whole drawing extent: the
// top-left of the scroll extent is (0, 0) and the viewport shows the part
// that starts at the scroll bars' values.

#include <QAbstractScrollArea>
#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <memory>

class QPainter;

class CImageView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CImageView(QWidget* parent = nullptr);

    // The picture is not owned and may be null; it must stay alive until it
    // is replaced. A picture of another size than the current one sets the
    // picture size (and so the scroll size); the view always redraws, so
    // call this again after drawing into the picture.
    void SetPicture(const QImage* picture);
    const QImage* Picture() const { return picture_; }

    // Ignores a factor that is not a positive number. A factor equal to the
    // current one changes nothing.
    void SetZoom(float zoom);
    float Zoom() const { return zoom_; }

    QSize PictureSize() const { return {pictureWidth_, pictureHeight_}; }
    // The drawing extent in screen pixels: the picture size times the zoom,
    // rounded half up.
    QSize ScrollSize() const;
    // The picture size the view shows, taken back from the scroll size.
    QSize ShownSize() const;
    // Where the scaled picture lies for the current viewport, in scrolled
    // coordinates: centred in a direction where it is smaller than the
    // viewport, else at 0.
    QRect FrameRect() const;

    // Repaints the viewport (after a change that the view cannot see, such
    // as new pixels in the picture).
    void Redraw();
    // What a repaint puts into the viewport, as a picture of its size.
    QImage RenderToImage();

protected:
    // Fills the whole drawing area with the dark grey around the frame.
    virtual void FillSurround(QPainter& painter, const QRect& rect);
    // Draws under the picture, on the transparent frame picture.
    virtual void DrawBackground(QPainter& painter, const QRect& rect);
    // Draws over everything; `rect` is the frame rectangle.
    virtual void DrawOverlay(QPainter& painter, const QRect& rect);

    void SetPictureSize(QSize size);
    // Draws `image` scaled to fill `rect`, smoothing with area averaging when
    // it shrinks (plain bilinear sampling would skip rows and columns at
    // small view ratios). A null image draws nothing.
    static void DrawStretched(QPainter& painter, const QRect& rect, const QImage& image);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    QSize viewportSizeHint() const override;

private:
    void UpdateScrollBars();
    void Paint(QPainter& painter);
    const QImage& FrameImage();

    const QImage* picture_ = nullptr;
    int pictureWidth_ = 100;
    int pictureHeight_ = 100;
    float zoom_ = 1.0f;
    // The background and the scaled picture, composed once per change
    // rather than on every scroll step.
    QImage frameImage_;
    bool frameValid_ = false;
};

class CVideoView : public CImageView {
    Q_OBJECT

public:
    explicit CVideoView(QWidget* parent = nullptr);

    // `bgr` is 0x00BBGGRR. Leaves picture mode; the picture is kept.
    void ShowBackgroundColor(std::uint32_t bgr);
    // Both previews hold the same picture, so it goes when the last of them
    // lets it go. Null leaves picture mode. A picture that cannot be drawn
    // (a null QImage, from a file that no longer reads) draws nothing, so
    // the grey surround shows through the frame.
    void ShowBackgroundPicture(std::shared_ptr<const QImage> picture);

    std::uint32_t BackgroundColor() const { return bgColor_; }
    bool PictureMode() const { return pictureMode_; }
    const std::shared_ptr<const QImage>& BackgroundPicture() const { return bgPicture_; }

    // The outer (90%) and inner (80%) safe-area frames inside `frame`; each
    // rectangle's size is the number of pixels its dotted outline spans.
    static std::array<QRect, 2> SafeAreaFrames(const QRect& frame);

protected:
    void DrawBackground(QPainter& painter, const QRect& rect) override;
    void DrawOverlay(QPainter& painter, const QRect& rect) override;

private:
    bool pictureMode_ = false;
    std::uint32_t bgColor_ = 0x808080;
    std::shared_ptr<const QImage> bgPicture_;
};

// The preview of a page. Shift and Ctrl with the wheel belong to the window
// (they are left to the parent); the plain wheel scrolls.
class CSupVideoView : public CVideoView {
    Q_OBJECT

public:
    explicit CSupVideoView(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
