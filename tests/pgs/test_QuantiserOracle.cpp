// The median cut against libjpeg's own two-pass quantiser: the same
// colormap and the same index for every pixel.

#include "QuantiserTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

extern "C" {
#include <jpeglib.h>
}

namespace {
// ---------------------------------------------------------------------------
// libjpeg as the oracle of the median cut

Bytes EncodeJpeg444(const Bytes& rgb, int width, int height)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    for (int c = 0; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto* row = const_cast<JSAMPLE*>(rgb.data() +
                                         3 * static_cast<std::size_t>(width) * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes jpeg(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return jpeg;
}

struct SDecoded {
    int Width = 0;
    int Height = 0;
    Bytes Samples;                // RGB triples, or one index per pixel
    std::vector<SCutColour> Map;  // the library's colours when quantised
};

SDecoded DecodeJpeg(const Bytes& jpeg, bool quantise)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    if (quantise) {
        cinfo.quantize_colors = TRUE;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = JDITHER_FS;
        cinfo.desired_number_of_colors = 255;
    }
    jpeg_start_decompress(&cinfo);
    SDecoded decoded;
    decoded.Width = static_cast<int>(cinfo.output_width);
    decoded.Height = static_cast<int>(cinfo.output_height);
    if (quantise) {
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            decoded.Map.push_back(
                {cinfo.colormap[0][i], cinfo.colormap[1][i], cinfo.colormap[2][i]});
        }
    }
    const auto rowBytes = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
    decoded.Samples.resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPLE* row = decoded.Samples.data() + rowBytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return decoded;
}

// Photo-like: smooth waves in all components plus fine texture.
Bytes PhotoLike(int width, int height)
{
    Bytes rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double r = 128 + 100 * std::sin(x / 37.0 + y / 53.0);
            const double g = 128 + 90 * std::cos(x / 61.0 - y / 29.0);
            const double b = 110 + 80 * std::sin((x + y) / 45.0) + ((x * 13 + y * 7) % 17);
            for (double v : {r, g, b}) {
                rgb.push_back(static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)));
            }
        }
    }
    return rgb;
}

// A few large flat areas, edges mostly on the 8 x 8 block grid: so few
// histogram cells that the cut runs out of boxes to split before 255.
Bytes FlatAreas(int width, int height)
{
    const std::uint8_t colours[][3] = {{200, 30, 30},   {30, 160, 40}, {20, 40, 180},
                                       {240, 240, 240}, {10, 10, 10},  {220, 200, 40}};
    Bytes rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int area = (x / 64 + (y / 96) * 3) % 6;
            if (x > 100 && x < 150 && y > 20 && y < 230) {
                area = 3;  // one area off the grid
            }
            rgb.insert(rgb.end(), colours[area], colours[area] + 3);
        }
    }
    return rgb;
}

// Waves beside a flat area of more pixels than a histogram cell counts.
Bytes FlatBesideWaves(int width, int height)
{
    Bytes rgb = PhotoLike(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width * 3 / 4; ++x) {
            std::uint8_t* p = rgb.data() + 3 * (static_cast<std::size_t>(y) * width + x);
            p[0] = 92;  // cell centres: coding noise stays in the cell
            p[1] = 122;
            p[2] = 204;
        }
    }
    return rgb;
}

// Every colour equally likely: boxes of like sizes and many ties.
Bytes RandomColours(int width, int height)
{
    Bytes rgb;
    unsigned state = 5;
    for (int i = 0; i < width * height * 3; ++i) {
        state = state * 1103515245u + 12345u;
        rgb.push_back(static_cast<std::uint8_t>(state >> 16));
    }
    return rgb;
}

struct SOracleCase {
    const char* Name;
    Bytes (*Make)(int, int);
    int Width;
    int Height;
    bool AllColours;  // 255 boxes, or fewer because every box is one cell
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SOracleCase& c, std::ostream* out)
{
    *out << c.Name;
}

class QuantiserOracle : public testing::TestWithParam<SOracleCase> {};

TEST_P(QuantiserOracle, MedianCutMatchesLibjpeg)
{
    const SOracleCase& c = GetParam();
    const Bytes jpeg = EncodeJpeg444(c.Make(c.Width, c.Height), c.Width, c.Height);
    const SDecoded plain = DecodeJpeg(jpeg, false);
    const SDecoded library = DecodeJpeg(jpeg, true);
    ASSERT_EQ(plain.Width, c.Width);
    ASSERT_EQ(library.Samples.size(), static_cast<std::size_t>(c.Width) * c.Height);

    // Our c0, c1, c2 are the library's R, G, B: a picture whose blue is R.
    QImage picture(c.Width, c.Height, QImage::Format_ARGB32);
    Bytes pixels;
    std::set<QRgb> distinct;
    for (int y = 0; y < c.Height; ++y) {
        for (int x = 0; x < c.Width; ++x) {
            const std::uint8_t* s = plain.Samples.data() + 3 * (y * c.Width + x);
            pixels.insert(pixels.end(), {s[0], s[1], s[2], 255});
            const QRgb p = qRgb(s[2], s[1], s[0]);
            reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = p;
            distinct.insert(p);
        }
    }
    EXPECT_EQ(library.Map.size() == 255, c.AllColours) << library.Map.size();

    const SCut ours = CutBytes(pixels, c.Width, c.Height, 0);
    EXPECT_EQ(ours.Colours, library.Map);
    EXPECT_EQ(ours.Indexes, library.Samples);

    // With more than 255 colours the whole picture path must give the same.
    if (distinct.size() > 255) {
        const SRun run = Quantise(picture);
        ASSERT_TRUE(run.Ok);
        ExpectPaletteColoursAre(run.Result, library.Map);
        EXPECT_EQ(IndexBytes(run.Indexed), library.Samples);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, QuantiserOracle,
    testing::Values(SOracleCase{"PhotoLike", PhotoLike, 320, 240, true},
                    SOracleCase{"FlatAreas", FlatAreas, 256, 256, false},
                    SOracleCase{"FlatBesideWaves", FlatBesideWaves, 512, 256, true},
                    SOracleCase{"RandomColours", RandomColours, 128, 128, true}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
