#include "Quantiser.h"

#include "AlphaPalette.h"

#include <QRect>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace {

// One index stays free for the transparent entry.
constexpr qsizetype kMaxExactColours = 255;

// Colour -> palette index for the exact attempt. Open addressing over twice
// as many slots as colours can be listed; 0 marks a free slot, which is safe
// because only colours with a non-zero alpha are listed.
class CColourIndex {
public:
    // The index of `colour`, or -1.
    int Find(QRgb colour) const
    {
        for (std::size_t slot = Slot(colour);; slot = (slot + 1) & kMask) {
            if (m_keys[slot] == colour) {
                return m_values[slot];
            }
            if (m_keys[slot] == 0) {
                return -1;
            }
        }
    }

    void Insert(QRgb colour, std::uint8_t index)
    {
        std::size_t slot = Slot(colour);
        while (m_keys[slot] != 0) {
            slot = (slot + 1) & kMask;
        }
        m_keys[slot] = colour;
        m_values[slot] = index;
    }

private:
    static constexpr std::size_t kSlots = 512;
    static constexpr std::size_t kMask = kSlots - 1;

    static std::size_t Slot(QRgb colour) { return (colour * 0x9E3779B1u) >> 23; }

    std::array<QRgb, kSlots> m_keys{};
    std::array<std::uint8_t, kSlots> m_values{};
};

// Every distinct colour of the picture in first-seen order, when there are
// at most 255 and at least two entries with the transparent one. Colours
// are only looked up where the colour changes; once 255 are listed any change
// ends the attempt, even back to a listed colour.
bool TryExactPalette(const QImage& argb, QImage& indexed, SQuantised& result)
{
    CColourIndex known;
    QList<QRgb> palette;
    bool transparentSeen = false;
    bool anyOpaque = false;
    QRgb previous = 0;
    std::uint8_t previousIndex = 0;
    const int width = argb.width();
    const int height = argb.height();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* out = indexed.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb colour = line[x];
            if (qAlpha(colour) == 0) {
                transparentSeen = true;
                continue;
            }
            if (!anyOpaque || colour != previous) {
                if (palette.size() == kMaxExactColours) {
                    return false;
                }
                int index = known.Find(colour);
                if (index < 0) {
                    index = static_cast<int>(palette.size());
                    known.Insert(colour, static_cast<std::uint8_t>(index));
                    palette.push_back(colour);
                }
                anyOpaque = true;
                previous = colour;
                previousIndex = static_cast<std::uint8_t>(index);
            }
            out[x] = previousIndex;
        }
    }
    if (transparentSeen) {
        palette.push_back(0);
    }
    if (palette.size() < 2) {
        return false;
    }
    // The listed colours all have some alpha, so the appended entry is the
    // only transparent one.
    const std::uint8_t transparentIndex =
        transparentSeen ? static_cast<std::uint8_t>(palette.size() - 1) : 255;
    if (transparentSeen) {
        for (int y = 0; y < height; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            std::uint8_t* out = indexed.scanLine(y);
            for (int x = 0; x < width; ++x) {
                if (qAlpha(line[x]) == 0) {
                    out[x] = transparentIndex;
                }
            }
        }
    }
    result.palette = std::move(palette);
    result.transparentIndex = transparentIndex;
    return true;
}

bool IsPresent(const QImage* picture)
{
    return picture != nullptr && !picture->isNull();
}

}  // namespace

bool QuantisePicture(const QImage& picture, QImage& indexed, SQuantised& result)
{
    SQuantised quantised;
    if (picture.width() <= 0 || picture.height() <= 0) {
        indexed = QImage();
        result = quantised;
        return false;
    }
    const QImage argb = picture.format() == QImage::Format_ARGB32
                            ? picture
                            : picture.convertToFormat(QImage::Format_ARGB32);
    QImage out(picture.size(), QImage::Format_Indexed8);
    if (argb.isNull() || out.isNull()) {
        indexed = QImage();
        result = quantised;
        return false;
    }
    if (!TryExactPalette(argb, out, quantised)) {
        ReduceWithAlpha(argb, out, quantised);
    }
    out.setColorTable(quantised.palette);
    indexed = std::move(out);
    result = std::move(quantised);
    return true;
}

bool QuantiseGroup(const std::vector<const QImage*>& pictures, std::vector<QImage>& indexed,
                   SQuantised& result)
{
    if (pictures.size() == 1) {
        QImage one;
        SQuantised quantised;
        const bool ok = IsPresent(pictures[0]) && QuantisePicture(*pictures[0], one, quantised);
        indexed.assign(1, one);
        result = std::move(quantised);
        return ok;
    }

    // Side by side in list order, each centred vertically on the tallest.
    std::vector<QRect> places(pictures.size());
    qint64 totalWidth = 0;
    int height = 0;
    for (const QImage* picture : pictures) {
        if (IsPresent(picture)) {
            totalWidth += picture->width();
            height = std::max(height, picture->height());
        }
    }
    std::vector<QImage> cut(pictures.size());
    if (totalWidth <= 0 || totalWidth > INT_MAX) {
        indexed = std::move(cut);
        result = SQuantised{};
        return false;
    }
    QImage work(static_cast<int>(totalWidth), height, QImage::Format_ARGB32);
    bool made = !work.isNull();
    if (made) {
        work.fill(Qt::transparent);
    }
    int x = 0;
    for (std::size_t i = 0; made && i < pictures.size(); ++i) {
        if (!IsPresent(pictures[i])) {
            continue;
        }
        const QImage argb = pictures[i]->convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull()) {
            made = false;
            break;
        }
        places[i] = QRect(x, (height - argb.height()) / 2, argb.width(), argb.height());
        const auto rowBytes = 4 * static_cast<std::size_t>(argb.width());
        for (int row = 0; row < argb.height(); ++row) {
            std::memcpy(work.scanLine(places[i].y() + row) + 4 * static_cast<std::ptrdiff_t>(x),
                        argb.constScanLine(row), rowBytes);
        }
        x += argb.width();
    }

    QImage indexedWork;
    SQuantised shared;
    if (!made || !QuantisePicture(work, indexedWork, shared)) {
        indexed = std::move(cut);
        result = SQuantised{};
        return false;
    }
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (IsPresent(pictures[i])) {
            cut[i] = indexedWork.copy(places[i]);
            cut[i].setColorTable(shared.palette);
        }
    }
    indexed = std::move(cut);
    result = std::move(shared);
    return true;
}

CErgbPalette MakeErgbPalette(const SQuantised& quantised)
{
    CErgbPalette palette;
    const qsizetype count = std::min<qsizetype>(quantised.palette.size(), 255);
    palette.Colours.reserve(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb colour = quantised.palette[i];
        ERGBQUAD entry;
        entry.Index = static_cast<std::uint8_t>(i);
        entry.Blue = static_cast<std::uint8_t>(qBlue(colour));
        entry.Green = static_cast<std::uint8_t>(qGreen(colour));
        entry.Red = static_cast<std::uint8_t>(qRed(colour));
        entry.Alpha = static_cast<std::uint8_t>(qAlpha(colour));
        palette.Colours.push_back(entry);
    }
    palette.TransparentIndex = quantised.transparentIndex;
    return palette;
}
