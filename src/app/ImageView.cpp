#include "app/ImageView.h"

#include "source/LineStyle.h"

#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kSurroundColor = 0xFF555555;
constexpr QRgb kSafeAreaColor = 0x80FFFFFF;
// Pixels per scroll-bar arrow step; the wheel moves a few of these.
constexpr int kScrollStep = 20;

int RoundHalfUp(double value)
{
    return static_cast<int>(value + 0.5);
}

}  // namespace

// ---------------------------------------------------------------------------
// CImageView

CImageView::CImageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    UpdateScrollBars();
}

void CImageView::SetPicture(const QImage* picture)
{
    picture_ = picture;
    // A null picture has no size worth taking; the view keeps its extent.
    if (picture != nullptr && !picture->isNull() && picture->size() != PictureSize()) {
        SetPictureSize(picture->size());
    }
    Redraw();
}

void CImageView::SetZoom(float zoom)
{
    if (!std::isfinite(zoom) || zoom <= 0.0f || zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    UpdateScrollBars();
    updateGeometry();
    Redraw();
}

QSize CImageView::ScrollSize() const
{
    return {RoundHalfUp(pictureWidth_ * static_cast<double>(zoom_)),
            RoundHalfUp(pictureHeight_ * static_cast<double>(zoom_))};
}

QSize CImageView::ShownSize() const
{
    const QSize extent = ScrollSize();
    return {RoundHalfUp(extent.width() / static_cast<double>(zoom_)),
            RoundHalfUp(extent.height() / static_cast<double>(zoom_))};
}

QRect CImageView::FrameRect() const
{
    const QSize extent = ScrollSize();
    const QSize client = viewport()->size();
    const int x = extent.width() < client.width() ? (client.width() - extent.width()) / 2 : 0;
    const int y = extent.height() < client.height() ? (client.height() - extent.height()) / 2 : 0;
    return {QPoint(x, y), extent};
}

void CImageView::Redraw()
{
    frameValid_ = false;
    viewport()->update();
}

QImage CImageView::RenderToImage()
{
    QImage image(viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Paint(painter);
    return image;
}

void CImageView::FillSurround(QPainter& painter, const QRect& rect)
{
    painter.fillRect(rect, QColor::fromRgba(kSurroundColor));
}

void CImageView::DrawBackground(QPainter&, const QRect&) {}

void CImageView::DrawOverlay(QPainter&, const QRect&) {}

void CImageView::SetPictureSize(QSize size)
{
    pictureWidth_ = size.width();
    pictureHeight_ = size.height();
    UpdateScrollBars();
    updateGeometry();
}

void CImageView::DrawStretched(QPainter& painter, const QRect& rect, const QImage& image)
{
    if (image.isNull() || rect.isEmpty()) {
        return;
    }
    if (image.size() == rect.size()) {
        painter.drawImage(rect.topLeft(), image);
    } else {
        painter.drawImage(rect.topLeft(), image.scaled(rect.size(), Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation));
    }
}

void CImageView::paintEvent(QPaintEvent*)
{
    // The widget's backing store is the off-screen surface: what is drawn
    // here reaches the screen in one piece.
    QPainter painter(viewport());
    Paint(painter);
}

void CImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CImageView::scrollContentsBy(int, int)
{
    viewport()->update();
}

QSize CImageView::viewportSizeHint() const
{
    return ScrollSize();
}

void CImageView::UpdateScrollBars()
{
    const QSize extent = ScrollSize();
    const QSize client = viewport()->size();
    QScrollBar* bars[] = {horizontalScrollBar(), verticalScrollBar()};
    const int extents[] = {extent.width(), extent.height()};
    const int clients[] = {client.width(), client.height()};
    for (int i = 0; i < 2; ++i) {
        bars[i]->setRange(0, std::max(0, extents[i] - clients[i]));
        bars[i]->setPageStep(std::max(1, clients[i]));
        bars[i]->setSingleStep(kScrollStep);
    }
}

void CImageView::Paint(QPainter& painter)
{
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    painter.translate(-offset);
    const QRect client(offset, viewport()->size());
    const QRect area = client.united(QRect(QPoint(0, 0), ScrollSize()));

    FillSurround(painter, area);
    const QRect frame = FrameRect();
    if (!frame.isEmpty()) {
        painter.drawImage(frame.topLeft(), FrameImage());
    }
    DrawOverlay(painter, frame);
}

const QImage& CImageView::FrameImage()
{
    const QSize extent = ScrollSize();
    if (frameValid_ && frameImage_.size() == extent) {
        return frameImage_;
    }
    frameImage_ = QImage(extent, QImage::Format_ARGB32_Premultiplied);
    frameImage_.fill(Qt::transparent);
    {
        QPainter painter(&frameImage_);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        const QRect rect(QPoint(0, 0), extent);
        DrawBackground(painter, rect);
        if (picture_ != nullptr) {
            DrawStretched(painter, rect, *picture_);
        }
    }
    frameValid_ = true;
    return frameImage_;
}

// ---------------------------------------------------------------------------
// CVideoView

CVideoView::CVideoView(QWidget* parent) : CImageView(parent)
{
    SetPictureSize({1920, 1080});
}

void CVideoView::ShowBackgroundColor(std::uint32_t bgr)
{
    bgColor_ = bgr;
    pictureMode_ = false;
    Redraw();
}

void CVideoView::ShowBackgroundPicture(std::shared_ptr<const QImage> picture)
{
    bgPicture_ = std::move(picture);
    pictureMode_ = bgPicture_ != nullptr;
    Redraw();
}

std::array<QRect, 2> CVideoView::SafeAreaFrames(const QRect& frame)
{
    const auto inset = [&frame](double margin, double share) {
        return QRect(RoundHalfUp(frame.x() + margin * frame.width()),
                     RoundHalfUp(frame.y() + margin * frame.height()),
                     RoundHalfUp(share * frame.width()), RoundHalfUp(share * frame.height()));
    };
    return {inset(0.05, 0.9), inset(0.1, 0.8)};
}

void CVideoView::DrawBackground(QPainter& painter, const QRect& rect)
{
    if (pictureMode_ && bgPicture_ != nullptr) {
        DrawStretched(painter, rect, *bgPicture_);
        return;
    }
    painter.fillRect(rect, QColor::fromRgb(ColourFromStored(bgColor_)));
}

void CVideoView::DrawOverlay(QPainter& painter, const QRect& rect)
{
    if (rect.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor::fromRgba(kSafeAreaColor), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    for (const QRect& safe : SafeAreaFrames(rect)) {
        // An aliased one-pixel outline of QRect(x, y, w, h) covers w + 1
        // columns; the frame is meant to span exactly w.
        painter.drawRect(safe.adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

// ---------------------------------------------------------------------------
// CSupVideoView

CSupVideoView::CSupVideoView(QWidget* parent) : CVideoView(parent) {}

void CSupVideoView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    CVideoView::wheelEvent(event);
}
