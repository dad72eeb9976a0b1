#include "PictureLine.h"

#include "pgs/VideoFormats.h"
#include "platform/UserMessages.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

constexpr QRgb OpaqueWhite = 0xFFFFFFFF;
constexpr QRgb OpaqueBlue = 0xFF0000FF;

// Sizes here are "x * scale + 0.5, truncated".
int Scaled(int size, float scale)
{
    return static_cast<int>(static_cast<float>(size) * scale + 0.5f);
}

bool HasPalette(const QImage& picture)
{
    const QImage::Format format = picture.format();
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
           format == QImage::Format_MonoLSB;
}

// Qt reads a cut-off JPEG, BMP or GIF without complaint and fills the
// missing part with grey or black; such a file must fail instead.
bool LooksComplete(const QByteArray& bytes, const QByteArray& format)
{
    if (format == "jpeg") {
        // The end-of-image marker after the last scan.
        const qsizetype scan = bytes.lastIndexOf("\xFF\xDA");
        return scan >= 0 && bytes.indexOf("\xFF\xD9", scan) > scan;
    }
    if (format == "gif")
        return bytes.endsWith(';');
    if (format == "bmp" && bytes.size() >= 34) {
        const auto at = [&](int offset) {
            return reinterpret_cast<const uchar*>(bytes.data()) + offset;
        };
        const quint32 pixels = qFromLittleEndian<quint32>(at(10));
        const quint32 header = qFromLittleEndian<quint32>(at(14));
        qint64 width = 0, height = 0, depth = 0, compression = 0;
        if (header == 12) {
            width = qFromLittleEndian<quint16>(at(18));
            height = qFromLittleEndian<quint16>(at(20));
            depth = qFromLittleEndian<quint16>(at(24));
        } else {
            width = qFromLittleEndian<qint32>(at(18));
            height = qAbs(static_cast<qint64>(qFromLittleEndian<qint32>(at(22))));
            depth = qFromLittleEndian<quint16>(at(28));
            compression = qFromLittleEndian<quint32>(at(30));
        }
        // Run-length coded bitmaps have no fixed size; plain ones must hold
        // every row.
        if (compression != 0 && compression != 3)
            return true;
        const qint64 stride = (width * depth + 31) / 32 * 4;
        const qint64 available = bytes.size() - static_cast<qint64>(pixels);
        if (available < 0 || stride <= 0)
            return available >= 0;
        // By division: a forged header's row size times its height does
        // not fit 64 bits.
        return height <= available / stride;
    }
    return true;
}

// Qt hands GIF frames over as true colour; the glyph redrawing needs the
// palette back. Pictures with more colours than a palette holds stay as
// they are.
QImage WithPalette(const QImage& picture)
{
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QList<QRgb> palette;
    QImage indexed(argb.size(), QImage::Format_Indexed8);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* out = indexed.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            qsizetype index = palette.indexOf(in[x]);
            if (index < 0) {
                if (palette.size() == 256)
                    return picture;
                index = palette.size();
                palette.append(in[x]);
            }
            out[x] = static_cast<uchar>(index);
        }
    }
    indexed.setColorTable(palette);
    return indexed;
}

QImage ReadPicture(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    QImage picture;
    if (!LooksComplete(bytes, format) || !reader.read(&picture) || picture.isNull() ||
        picture.width() < 1 || picture.height() < 1)
        return QImage();
    if (format == "gif" && !HasPalette(picture))
        return WithPalette(picture);
    return picture;
}

}  // namespace

QRgb FindKeyColour(const QImage& picture)
{
    const int right = picture.width() - 1;
    const int bottom = picture.height() - 1;
    const std::array<QPoint, 4> at = {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom),
                                      QPoint(right, bottom)};
    std::array<QRgb, 4> corners{};
    for (std::size_t i = 0; i < at.size(); ++i)
        corners[i] = picture.valid(at[i]) ? picture.pixel(at[i]) : 0xFF000000;

    QRgb key = corners[0];
    if (qAlpha(key) == 0)
        return key;
    // The colour that shows up in two corners is the background; the last
    // such pair decides.
    for (std::size_t i = 0; i < corners.size(); ++i) {
        for (std::size_t j = i + 1; j < corners.size(); ++j) {
            if (corners[j] == corners[i])
                key = corners[i];
        }
    }
    return key;
}

QRect FindInkedRect(const QImage& picture)
{
    if (picture.isNull())
        return QRect();
    const bool indexed = HasPalette(picture);
    const QImage argb = indexed ? picture : picture.convertToFormat(QImage::Format_ARGB32);
    auto value = [&](int x, int y) -> QRgb {
        if (indexed)
            return static_cast<QRgb>(picture.pixelIndex(x, y));
        return reinterpret_cast<const QRgb*>(argb.constScanLine(y))[x];
    };

    const QRgb background = value(0, 0);
    int left = picture.width(), top = picture.height(), right = -1, bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (value(x, y) == background)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return QRect();
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage ScalePicture(const QImage& picture, float scale, bool whole)
{
    if (picture.isNull())
        return QImage();
    const QRect source = whole ? picture.rect() : FindInkedRect(picture);
    if (source.isEmpty())
        return QImage();

    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = FindKeyColour(argb);
    const int width = Scaled(source.width(), scale);
    const int height = Scaled(source.height(), scale);
    if (width < 1 || height < 1)
        return QImage();
    QImage result(width, height, QImage::Format_ARGB32);
    if (result.isNull())
        return QImage();

    // Nearest neighbour: each new pixel takes the source pixel under its
    // centre.
    for (int y = 0; y < height; ++y) {
        const int sy =
            source.top() +
            std::min(source.height() - 1, static_cast<int>((y + 0.5) * source.height() / height));
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(sy));
        QRgb* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int sx =
                source.left() +
                std::min(source.width() - 1, static_cast<int>((x + 0.5) * source.width() / width));
            const QRgb pixel = in[sx];
            // Bluish black is the usual background of disc subtitles, keyed
            // whatever the corners say.
            const bool bluish = qRed(pixel) < 16 && qGreen(pixel) < 16 && qBlue(pixel) > 64;
            out[x] = (bluish || pixel == key) ? 0 : pixel;
        }
    }
    return result;
}

QImage RedrawPicture(const QImage& picture, float scale)
{
    if (!HasPalette(picture))
        return QImage();
    // White glyphs are the shape, unless white is the background.
    const QRgb target = picture.pixel(0, 0) == OpaqueWhite ? OpaqueBlue : OpaqueWhite;

    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    const QList<QRgb> palette = picture.colorTable();
    const auto entry = std::find(palette.begin(), palette.end(), target);
    if (entry != palette.end()) {
        const int index = static_cast<int>(entry - palette.begin());
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width();) {
                if (picture.pixelIndex(x, y) != index) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < picture.width() && picture.pixelIndex(x, y) == index)
                    ++x;
                shape.addRect(start, y, x - start, 1);
            }
        }
    }

    const qreal s = std::min(2.0 * scale, 4.0);
    const QRect bounds = shape.isEmpty() ? QRect() : shape.boundingRect().toAlignedRect();
    shape.translate(2 - bounds.left(), 2 - bounds.top());
    const int boxWidth = bounds.width() + 4;
    const int boxHeight = bounds.height() + 4;

    QImage canvas(static_cast<int>(boxWidth * s + 0.5), static_cast<int>(boxHeight * s + 0.5),
                  QImage::Format_ARGB32_Premultiplied);
    const int width = Scaled(boxWidth, scale);
    const int height = Scaled(boxHeight, scale);
    if (canvas.isNull() || width < 1 || height < 1)
        return QImage();
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        painter.scale(s, s);
        // The pen width is in canvas pixels, hence divided by the scale.
        const qreal penWidth = std::max(3.0 * s, 2.0);
        painter.strokePath(shape, QPen(QColor(0, 0, 0), penWidth / s));
        painter.fillPath(shape, QColor(255, 255, 255));
    }

    const QImage result =
        canvas.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.convertToFormat(QImage::Format_ARGB32);
}

bool LoadImageLine(const QString& path, SLineRequest& request, CSubBase::SFrameRect& imageFrame)
{
    request.image = QImage();
    if (request.videoSizeIndex < 0 || request.videoSizeIndex >= VideoSizeCount)
        return false;
    const QImage picture = ReadPicture(path);
    if (picture.isNull()) {
        UserMessages().Show(QString("%1\r\n%2").arg(path, "Open file error ! "),
                            EMessageKind::Error);
        return false;
    }

    const SVideoSize& video = VideoSizeAt(request.videoSizeIndex);
    const bool placed = request.posX != 0 || request.posY != 0;
    if (imageFrame.right - imageFrame.left == 0) {
        imageFrame.left = 0;
        imageFrame.right = placed ? picture.width() : video.Width;
    }
    if (imageFrame.bottom - imageFrame.top == 0) {
        imageFrame.top = 0;
        imageFrame.bottom = placed ? picture.height() : video.Height;
    }

    const double frameArea = static_cast<double>(imageFrame.right - imageFrame.left) *
                             static_cast<double>(imageFrame.bottom - imageFrame.top);
    const double area = static_cast<double>(picture.width()) * picture.height();
    const bool whole = area <= 0.9 * frameArea;
    const float scale = std::min(static_cast<float>(video.Width) /
                                     static_cast<float>(imageFrame.right - imageFrame.left),
                                 2.0f);

    if (scale <= 1.1f || request.pictureMode != 0) {
        request.image = ScalePicture(picture, scale, whole);
    } else {
        request.image = RedrawPicture(picture, scale);
        if (request.image.isNull())
            request.image = ScalePicture(picture, scale, whole);
    }
    return true;
}
