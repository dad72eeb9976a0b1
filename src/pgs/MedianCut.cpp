#include "MedianCut.h"

#include <algorithm>
#include <array>

namespace {

// Histogram precision 5, 6 and 5 bits: the eye tells the middle component
// (green for BGR or RGB pixels) apart best.
constexpr int kShift[3] = {3, 2, 3};
constexpr int kCells[3] = {32, 64, 32};
// Weights of the components in every distance: volumes, split axes and the
// nearest colour of a cell.
constexpr int kScale[3] = {2, 3, 1};
constexpr std::size_t kDesiredColours = 255;

// Cells are stored c0-major with c2 contiguous.
constexpr int kPlane0 = kCells[1] * kCells[2];
constexpr int kPlane1 = kCells[2];
constexpr int kCellCount = kCells[0] * kCells[1] * kCells[2];

constexpr int CellOf(int c0, int c1, int c2)
{
    return (c0 >> kShift[0]) * kPlane0 + (c1 >> kShift[1]) * kPlane1 + (c2 >> kShift[2]);
}

// Centre of cell h on axis `axis`, in colour units.
constexpr int CellCentre(int axis, int h)
{
    return (h << kShift[axis]) + ((1 << kShift[axis]) >> 1);
}

using CHistogram = std::vector<std::uint16_t>;

struct SBox {
    std::array<int, 3> Min{};
    std::array<int, 3> Max{};
    std::int64_t Volume = 0;
    std::int64_t ColourCount = 0;
};

// Calls `visit(h0, h1, h2, count)` for every cell from lo to hi inclusive.
template <typename FVisit>
void ForEachCell(const CHistogram& histogram, const std::array<int, 3>& lo,
                 const std::array<int, 3>& hi, FVisit&& visit)
{
    for (int h0 = lo[0]; h0 <= hi[0]; ++h0) {
        for (int h1 = lo[1]; h1 <= hi[1]; ++h1) {
            const std::uint16_t* row = histogram.data() + h0 * kPlane0 + h1 * kPlane1;
            for (int h2 = lo[2]; h2 <= hi[2]; ++h2) {
                visit(h0, h1, h2, row[h2]);
            }
        }
    }
}

bool PlaneOccupied(const CHistogram& histogram, const SBox& box, int axis, int value)
{
    std::array<int, 3> lo = box.Min;
    std::array<int, 3> hi = box.Max;
    lo[axis] = value;
    hi[axis] = value;
    for (int h0 = lo[0]; h0 <= hi[0]; ++h0) {
        for (int h1 = lo[1]; h1 <= hi[1]; ++h1) {
            const std::uint16_t* row = histogram.data() + h0 * kPlane0 + h1 * kPlane1;
            for (int h2 = lo[2]; h2 <= hi[2]; ++h2) {
                if (row[h2] != 0) {
                    return true;
                }
            }
        }
    }
    return false;
}

std::array<std::int64_t, 3> WeightedExtents(const SBox& box)
{
    std::array<std::int64_t, 3> d{};
    for (int axis = 0; axis < 3; ++axis) {
        d[axis] = static_cast<std::int64_t>((box.Max[axis] - box.Min[axis]) << kShift[axis]) *
                  kScale[axis];
    }
    return d;
}

// Tightens the bounds to the occupied cells, axis by axis, each axis
// searched within the bounds already tightened; then measures the box.
void ShrinkBox(const CHistogram& histogram, SBox& box)
{
    for (int axis = 0; axis < 3; ++axis) {
        if (box.Max[axis] <= box.Min[axis]) {
            continue;
        }
        for (int v = box.Min[axis]; v <= box.Max[axis]; ++v) {
            if (PlaneOccupied(histogram, box, axis, v)) {
                box.Min[axis] = v;
                break;
            }
        }
        for (int v = box.Max[axis]; v >= box.Min[axis]; --v) {
            if (PlaneOccupied(histogram, box, axis, v)) {
                box.Max[axis] = v;
                break;
            }
        }
    }
    const std::array<std::int64_t, 3> d = WeightedExtents(box);
    box.Volume = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    std::int64_t occupied = 0;
    ForEachCell(histogram, box.Min, box.Max,
                [&](int, int, int, std::uint16_t count) { occupied += count != 0 ? 1 : 0; });
    box.ColourCount = occupied;
}

// While few boxes exist, the one with the most occupied cells is split, so
// that busy regions get colours first; later the largest, so that no region
// stays coarse. Boxes of one cell cannot be split; the first box wins a tie.
SBox* PickBoxToSplit(std::vector<SBox>& boxes)
{
    const bool byPopulation = boxes.size() * 2 <= kDesiredColours;
    SBox* best = nullptr;
    std::int64_t bestValue = 0;
    for (SBox& box : boxes) {
        if (box.Volume <= 0) {
            continue;
        }
        const std::int64_t value = byPopulation ? box.ColourCount : box.Volume;
        if (value > bestValue) {
            best = &box;
            bestValue = value;
        }
    }
    return best;
}

std::vector<SBox> CutBoxes(const CHistogram& histogram)
{
    std::vector<SBox> boxes;
    boxes.reserve(kDesiredColours);
    SBox all;
    all.Max = {kCells[0] - 1, kCells[1] - 1, kCells[2] - 1};
    ShrinkBox(histogram, all);
    boxes.push_back(all);
    while (boxes.size() < kDesiredColours) {
        SBox* picked = PickBoxToSplit(boxes);
        if (picked == nullptr) {
            break;
        }
        SBox added = *picked;
        const std::array<std::int64_t, 3> d = WeightedExtents(*picked);
        int axis = 1;
        std::int64_t longest = d[1];
        if (d[0] > longest) {
            axis = 0;
            longest = d[0];
        }
        if (d[2] > longest) {
            axis = 2;
        }
        const int middle = (picked->Min[axis] + picked->Max[axis]) / 2;
        picked->Max[axis] = middle;
        added.Min[axis] = middle + 1;
        ShrinkBox(histogram, *picked);
        ShrinkBox(histogram, added);
        boxes.push_back(added);  // capacity reserved: `picked` stays valid until here
    }
    return boxes;
}

// The count-weighted mean of the cell centres, rounded to nearest.
SCutColour BoxColour(const CHistogram& histogram, const SBox& box)
{
    std::int64_t total = 0;
    std::array<std::int64_t, 3> sums{};
    ForEachCell(histogram, box.Min, box.Max, [&](int h0, int h1, int h2, std::uint16_t count) {
        if (count == 0) {
            return;
        }
        total += count;
        sums[0] += static_cast<std::int64_t>(CellCentre(0, h0)) * count;
        sums[1] += static_cast<std::int64_t>(CellCentre(1, h1)) * count;
        sums[2] += static_cast<std::int64_t>(CellCentre(2, h2)) * count;
    });
    SCutColour colour;
    if (total > 0) {  // a shrunk box always holds a cell; kept for safety
        colour.C0 = static_cast<std::uint8_t>((sums[0] + total / 2) / total);
        colour.C1 = static_cast<std::uint8_t>((sums[1] + total / 2) / total);
        colour.C2 = static_cast<std::uint8_t>((sums[2] + total / 2) / total);
    }
    return colour;
}

// Carried error in, damped error out: small errors pass whole, larger ones
// at half rate, and nothing beyond 32, which keeps dithering from smearing
// across sharp edges.
constexpr std::array<int, 511> MakeErrorLimit()
{
    std::array<int, 511> table{};
    for (int e = -255; e <= 255; ++e) {
        const int magnitude = e < 0 ? -e : e;
        const int limited = magnitude < 16   ? magnitude
                            : magnitude < 48 ? 16 + (magnitude - 16) / 2
                                             : 32;
        table[static_cast<std::size_t>(e + 255)] = e < 0 ? -limited : limited;
    }
    return table;
}
constexpr std::array<int, 511> kErrorLimit = MakeErrorLimit();

// Nearest chosen colour of every histogram cell, worked out on first use:
// a picture touches only a small share of the cells. An entry packs the
// index (byte 0) with the colour's c0, c1, c2 (bytes 1 to 3), so that the
// error of a pixel needs one load after its cell is known.
class CInverseMap {
public:
    explicit CInverseMap(const std::vector<SCutColour>& colours)
        : m_colours(colours), m_cells(kCellCount, kUnknown)
    {
        m_scaled.reserve(colours.size());
        for (const SCutColour& c : colours) {
            m_scaled.push_back({kScale[0] * c.C0, kScale[1] * c.C1, kScale[2] * c.C2});
        }
    }

    std::uint32_t Nearest(int cell)
    {
        std::uint32_t& known = m_cells[static_cast<std::size_t>(cell)];
        if (known == kUnknown) [[unlikely]] {
            const auto index = static_cast<std::uint32_t>(Search(cell));
            const SCutColour& c = m_colours[index];
            known = index | std::uint32_t{c.C0} << 8 | std::uint32_t{c.C1} << 16 |
                    std::uint32_t{c.C2} << 24;
        }
        return known;
    }

private:
    // Plain minimum of the weighted squared distance to the cell centre; the
    // lowest index wins a tie. Stopping a candidate once its partial sum
    // reaches the best keeps that exact.
    [[gnu::noinline]] int Search(int cell) const
    {
        const int x0 = kScale[0] * CellCentre(0, cell / kPlane0);
        const int x1 = kScale[1] * CellCentre(1, (cell / kPlane1) % kCells[1]);
        const int x2 = kScale[2] * CellCentre(2, cell % kCells[2]);
        int best = 0;
        int bestDistance = 1 << 30;
        for (std::size_t i = 0; i < m_scaled.size(); ++i) {
            const std::array<int, 3>& p = m_scaled[i];
            int distance = (x1 - p[1]) * (x1 - p[1]);
            if (distance >= bestDistance) {
                continue;
            }
            distance += (x0 - p[0]) * (x0 - p[0]);
            if (distance >= bestDistance) {
                continue;
            }
            distance += (x2 - p[2]) * (x2 - p[2]);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = static_cast<int>(i);
            }
        }
        return best;
    }

    // No index reaches 255, so this pattern never describes a colour.
    static constexpr std::uint32_t kUnknown = UINT32_MAX;

    const std::vector<SCutColour>& m_colours;
    std::vector<std::uint32_t> m_cells;
    std::vector<std::array<int, 3>> m_scaled;
};

// The errors of one component along the current row, at 16 times their
// value: each neighbour's share of 7, 3, 5 and 1 sixteenths is added whole
// and the sum divided once, rounding toward minus infinity.
struct SRowError {
    int Ahead = 0;  // 7 x the last error, for the next pixel in the row
    int Below = 0;  // 1 x the last error, for the pixel below the next one
    // For the pixel below the last one: 1 x the error before it and 5 x its
    // own so far; the next pixel adds 3 x its error.
    int PrevBelow = 0;

    // The component with the carried error added, damped and clamped.
    int Take(int incoming, int value) const
    {
        const int carried = (Ahead + incoming + 8) >> 4;
        return std::clamp(kErrorLimit[static_cast<std::size_t>(carried + 255)] + value, 0, 255);
    }

    // Hands `error` on; `entry` is the next row's entry behind this pixel.
    void Spread(int error, int& entry)
    {
        entry = PrevBelow + 3 * error;
        PrevBelow = Below + 5 * error;
        Below = error;
        Ahead = 7 * error;
    }
};

// Floyd-Steinberg with a serpentine walk.
void MapPixels(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride,
               std::uint8_t* indexes, std::ptrdiff_t indexStride, int dropBelowAlpha,
               const std::vector<SCutColour>& colours)
{
    CInverseMap inverse(colours);
    const auto dropped = static_cast<std::uint8_t>(colours.size());
    // Three components per column plus a dummy column on either side, so
    // the below-left share at the end of a row has somewhere to go.
    std::vector<int> errors(3 * (static_cast<std::size_t>(width) + 2), 0);
    bool oddRow = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* px = pixels + y * stride;
        std::uint8_t* out = indexes + y * indexStride;
        int* entry = errors.data();  // the column behind the current one
        std::ptrdiff_t step = 1;
        if (oddRow) {
            px += 4 * static_cast<std::ptrdiff_t>(width - 1);
            out += width - 1;
            entry += 3 * (static_cast<std::ptrdiff_t>(width) + 1);
            step = -1;
        }
        oddRow = !oddRow;
        SRowError e0;
        SRowError e1;
        SRowError e2;
        for (int i = 0; i < width; ++i, px += 4 * step, out += step, entry += 3 * step) {
            if (px[3] < dropBelowAlpha) {
                // Shown transparent: its own error is taken as zero.
                *out = dropped;
                e0.Spread(0, entry[0]);
                e1.Spread(0, entry[1]);
                e2.Spread(0, entry[2]);
                continue;
            }
            const int* incoming = entry + 3 * step;
            const int c0 = e0.Take(incoming[0], px[0]);
            const int c1 = e1.Take(incoming[1], px[1]);
            const int c2 = e2.Take(incoming[2], px[2]);
            const std::uint32_t chosen = inverse.Nearest(CellOf(c0, c1, c2));
            *out = static_cast<std::uint8_t>(chosen);
            e0.Spread(c0 - static_cast<int>((chosen >> 8) & 0xFF), entry[0]);
            e1.Spread(c1 - static_cast<int>((chosen >> 16) & 0xFF), entry[1]);
            e2.Spread(c2 - static_cast<int>(chosen >> 24), entry[2]);
        }
        entry[0] = e0.PrevBelow;
        entry[1] = e1.PrevBelow;
        entry[2] = e2.PrevBelow;
    }
}

// Pass 1. Runs of one cell are counted at once; a count stops at 65535.
CHistogram CountCells(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride)
{
    CHistogram histogram(kCellCount, 0);
    int runCell = 0;
    int run = 0;
    auto flush = [&] {
        std::uint16_t& count = histogram[static_cast<std::size_t>(runCell)];
        count = static_cast<std::uint16_t>(std::min(int{count} + run, int{UINT16_MAX}));
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* px = pixels + y * stride;
        for (int x = 0; x < width; ++x, px += 4) {
            const int cell = CellOf(px[0], px[1], px[2]);
            if (cell != runCell) {
                flush();
                runCell = cell;
                run = 0;
            }
            ++run;
        }
    }
    flush();
    return histogram;
}

}  // namespace

std::vector<SCutColour> MedianCutQuantise(const std::uint8_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, std::uint8_t* indexes,
                                          std::ptrdiff_t indexStride, int dropBelowAlpha)
{
    const CHistogram histogram = CountCells(pixels, width, height, stride);
    const std::vector<SBox> boxes = CutBoxes(histogram);
    std::vector<SCutColour> colours;
    colours.reserve(boxes.size());
    for (const SBox& box : boxes) {
        colours.push_back(BoxColour(histogram, box));
    }
    MapPixels(pixels, width, height, stride, indexes, indexStride, dropBelowAlpha, colours);
    return colours;
}
