#include "ObjectCoding.h"

#include "ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr std::size_t ObjectHeadSize = 7;
// The longest run one code can carry (14 bits of length).
constexpr int MaxRun = 0x3FFF;
constexpr std::uint32_t MaxDataLength = 0xFFFFFF;

// The fewest bytes of run-length data a row of `width` pixels takes: its
// end code (two bytes), and codes that carry at most a third of MaxRun
// pixels per byte (one byte one pixel, two bytes 63, three or four bytes
// MaxRun).
std::uint64_t MinimumRowData(int width)
{
    return 2 + (3 * static_cast<std::uint64_t>(width) + MaxRun - 1) / MaxRun;
}

void EncodeRun(std::uint8_t colour, int length, std::vector<std::uint8_t>& out)
{
    if (colour != 0) {
        if (length <= 2) {
            out.insert(out.end(), static_cast<std::size_t>(length), colour);
        } else if (length < 64) {
            out.push_back(0x00);
            out.push_back(static_cast<std::uint8_t>(0x80 + length));
            out.push_back(colour);
        } else {
            out.push_back(0x00);
            out.push_back(static_cast<std::uint8_t>(0xC0 + (length >> 8)));
            out.push_back(static_cast<std::uint8_t>(length & 0xFF));
            out.push_back(colour);
        }
    } else if (length < 64) {
        out.push_back(0x00);
        out.push_back(static_cast<std::uint8_t>(length));
    } else {
        out.push_back(0x00);
        out.push_back(static_cast<std::uint8_t>(0x40 + ((length >> 8) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    }
}

}  // namespace

void EncodeObjectRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out)
{
    int x = 0;
    while (x < width) {
        const std::uint8_t colour = row[x];
        int end = x + 1;
        while (end < width && row[end] == colour && end - x < MaxRun)
            ++end;
        EncodeRun(colour, end - x, out);
        x = end;
    }
    out.push_back(0x00);
    out.push_back(0x00);
}

std::vector<std::uint8_t> EncodeObjectData(const QImage& picture)
{
    QImage indexed = picture;
    if (picture.format() == QImage::Format_Mono || picture.format() == QImage::Format_MonoLSB)
        indexed = picture.convertToFormat(QImage::Format_Indexed8);
    if (indexed.isNull() || indexed.format() != QImage::Format_Indexed8)
        return {};
    const int width = indexed.width();
    const int height = indexed.height();
    if (width > 0xFFFF || height > 0xFFFF)
        return {};

    std::vector<std::uint8_t> data;
    // Mixed runs of one or two pixels cost a byte a pixel; most text is far
    // cheaper, so this is a generous first guess, not a bound.
    data.reserve(ObjectHeadSize + static_cast<std::size_t>(height) * (width + 2));
    data.resize(ObjectHeadSize);
    for (int y = 0; y < height; ++y)
        EncodeObjectRow(indexed.constScanLine(y), width, data);

    const std::size_t length = data.size() - 3;
    if (length > MaxDataLength)
        return {};
    data[0] = static_cast<std::uint8_t>(length >> 16);
    data[1] = static_cast<std::uint8_t>(length >> 8);
    data[2] = static_cast<std::uint8_t>(length);
    data[3] = static_cast<std::uint8_t>(width >> 8);
    data[4] = static_cast<std::uint8_t>(width);
    data[5] = static_cast<std::uint8_t>(height >> 8);
    data[6] = static_cast<std::uint8_t>(height);
    return data;
}

bool DecodeObjectData(const std::uint8_t* data, std::size_t length, QImage& picture,
                      std::string& error)
{
    picture = QImage();
    if (length < ObjectHeadSize) {
        error = "object data is shorter than its head";
        return false;
    }
    const std::uint32_t declared = GetU24(data);
    if (declared != length - 3) {
        error = "object data length " + std::to_string(declared) + " does not match the " +
                std::to_string(length - 3) + " bytes present";
        return false;
    }
    const int width = GetU16(data + 3);
    const int height = GetU16(data + 5);
    // A damaged head can declare 65535x65535 pixels over a few bytes of
    // data. The picture is made only when the data can fill it; otherwise
    // the rows below are still walked, without pixels, to name the fault.
    const bool canFill =
        length - ObjectHeadSize >= MinimumRowData(width) * static_cast<std::uint64_t>(height);
    if (width > 0 && height > 0 && canFill)
        picture = QImage(width, height, QImage::Format_Indexed8);
    if (width > 0 && height > 0 && canFill && picture.isNull()) {
        error = "object of " + std::to_string(width) + "x" + std::to_string(height) +
                " cannot be held in memory";
        return false;
    }

    const std::uint8_t* p = data + ObjectHeadSize;
    const std::uint8_t* const end = data + length;
    auto need = [&](std::size_t bytes) { return static_cast<std::size_t>(end - p) >= bytes; };
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = picture.isNull() ? nullptr : picture.scanLine(y);
        int x = 0;
        for (;;) {
            if (!need(1)) {
                error = "run-length data ends inside row " + std::to_string(y);
                return false;
            }
            std::uint8_t colour = *p++;
            int run = 1;
            if (colour == 0) {
                if (!need(1)) {
                    error = "run-length data ends inside row " + std::to_string(y);
                    return false;
                }
                const std::uint8_t code = *p++;
                if (code == 0)
                    break;  // end of row
                run = code & 0x3F;
                if (code & 0x40) {
                    if (!need(1)) {
                        error = "run-length data ends inside row " + std::to_string(y);
                        return false;
                    }
                    run = (run << 8) | *p++;
                }
                if (code & 0x80) {
                    if (!need(1)) {
                        error = "run-length data ends inside row " + std::to_string(y);
                        return false;
                    }
                    colour = *p++;
                }
            }
            if (run > width - x) {
                error = "row " + std::to_string(y) + " is longer than the object's width " +
                        std::to_string(width);
                return false;
            }
            if (row)
                std::fill(row + x, row + x + run, colour);
            x += run;
        }
        if (x != width) {
            error = "row " + std::to_string(y) + " holds " + std::to_string(x) +
                    " pixels, the object's width is " + std::to_string(width);
            return false;
        }
    }
    if (p != end) {
        error = std::to_string(end - p) + " bytes follow the object's last row";
        return false;
    }
    return true;
}

std::vector<COds> MakeObjectFragments(const std::vector<std::uint8_t>& data, std::uint16_t objectId,
                                      std::uint8_t version)
{
    std::vector<COds> fragments;
    const std::size_t count = (data.size() + ObjectFragmentSize - 1) / ObjectFragmentSize;
    for (std::size_t k = 0; k < count; ++k) {
        COds ods;
        ods.ObjectId = objectId;
        ods.ObjectVersion = version;
        ods.FirstInSequence = k == 0;
        ods.LastInSequence = k + 1 == count;
        const std::size_t from = k * ObjectFragmentSize;
        const std::size_t to = std::min(data.size(), from + ObjectFragmentSize);
        ods.Data.assign(data.begin() + static_cast<std::ptrdiff_t>(from),
                        data.begin() + static_cast<std::ptrdiff_t>(to));
        fragments.push_back(std::move(ods));
    }
    return fragments;
}

bool AddObjectSegments(CDsData& set, const QImage& picture, std::uint16_t objectId,
                       std::uint8_t version)
{
    const std::vector<std::uint8_t> data = EncodeObjectData(picture);
    if (data.empty())
        return false;
    for (COds& ods : MakeObjectFragments(data, objectId, version))
        set.Objects.push_back(std::move(ods));
    return true;
}
