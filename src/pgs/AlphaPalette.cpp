#include "AlphaPalette.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// One distinct colour of the picture, premultiplied: red, green and blue
// times alpha / 255, and alpha, with how many pixels show it.
struct SColour {
    std::array<float, 4> p{};
    double count = 0;
    QRgb argb = 0;
    int box = 0;
};

// The pictures' colours with their counts, found by an open-addressed table
// keyed by the colour itself; 0 (transparent black) never enters it.
class CColourCounts {
public:
    CColourCounts() : m_keys(kStart, 0), m_counts(kStart, 0), m_indexes(kStart, 0) {}

    void Add(QRgb colour, std::uint32_t count)
    {
        if (2 * (m_used + 1) > m_keys.size())
            Grow();
        const std::size_t slot = Find(colour);
        if (m_keys[slot] == 0) {
            m_keys[slot] = colour;
            ++m_used;
        }
        m_counts[slot] += count;
    }

    // The slot of `colour`, free when it is not listed.
    std::size_t Find(QRgb colour) const
    {
        // The high bits of the product mix all four components; its low
        // bits would follow blue alone.
        const std::size_t mask = m_keys.size() - 1;
        std::size_t slot = static_cast<std::uint32_t>(colour * 0x9E3779B1u) >> m_shift;
        while (m_keys[slot] != 0 && m_keys[slot] != colour)
            slot = (slot + 1) & mask;
        return slot;
    }

    std::size_t Slots() const { return m_keys.size(); }
    QRgb Key(std::size_t slot) const { return m_keys[slot]; }
    std::uint64_t Count(std::size_t slot) const { return m_counts[slot]; }
    std::uint8_t& Index(std::size_t slot) { return m_indexes[slot]; }
    std::uint8_t IndexOf(QRgb colour) const { return m_indexes[Find(colour)]; }

private:
    static constexpr std::size_t kStart = 4096;

    void Grow()
    {
        std::vector<QRgb> keys = std::move(m_keys);
        std::vector<std::uint64_t> counts = std::move(m_counts);
        --m_shift;
        m_keys.assign(2 * keys.size(), 0);
        m_counts.assign(2 * keys.size(), 0);
        m_indexes.assign(2 * keys.size(), 0);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == 0)
                continue;
            const std::size_t slot = Find(keys[i]);
            m_keys[slot] = keys[i];
            m_counts[slot] = counts[i];
        }
    }

    std::vector<QRgb> m_keys;
    std::vector<std::uint64_t> m_counts;
    std::vector<std::uint8_t> m_indexes;
    std::size_t m_used = 0;
    int m_shift = 32 - 12;  // keeps log2 of the slot count
};

// Counts runs of one colour at a time: anti-aliased lines are long runs of
// transparent and of fill pixels with short stretches of edge colours.
void CountColours(const QImage& argb, CColourCounts& counts)
{
    const int width = argb.width();
    const int height = argb.height();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        int x = 0;
        while (x < width) {
            const QRgb colour = line[x];
            int end = x + 1;
            while (end < width && line[end] == colour)
                ++end;
            if (qAlpha(colour) != 0)
                counts.Add(colour, static_cast<std::uint32_t>(end - x));
            x = end;
        }
    }
}

std::array<float, 4> Premultiplied(QRgb colour)
{
    const float a = static_cast<float>(qAlpha(colour));
    return {qRed(colour) * a / 255.0f, qGreen(colour) * a / 255.0f, qBlue(colour) * a / 255.0f, a};
}

bool IsOpaque(const SColour& colour)
{
    return colour.p[3] >= 255.0f;
}

// A run of the colour list with the same class (opaque or not), split by
// its weighted median along its widest component.
struct SBox {
    std::size_t begin = 0;
    std::size_t end = 0;
    double error = 0;  // weighted squared distance of its colours to their mean
    std::array<double, 4> mean{};
    int axis = 0;
};

// The mean squared distance to their mean below which a box's colours are
// not told apart.
constexpr double kAlikeSpread = 16.0;

void Measure(const std::vector<SColour>& colours, SBox& box)
{
    std::array<double, 4> sum{};
    std::array<double, 4> squares{};
    double total = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) {
        const SColour& c = colours[i];
        for (int k = 0; k < 4; ++k) {
            sum[k] += c.count * c.p[k];
            squares[k] += c.count * c.p[k] * c.p[k];
        }
        total += c.count;
    }
    box.error = 0;
    double widest = -1;
    for (int k = 0; k < 4; ++k) {
        box.mean[k] = sum[k] / total;
        const double spread = std::max(0.0, squares[k] - sum[k] * sum[k] / total);
        box.error += spread;
        if (spread > widest) {
            widest = spread;
            box.axis = k;
        }
    }
    // Colours within a couple of levels of their mean look the same over
    // any video; splitting them would only break the runs of the object
    // data into more codes.
    if (box.end - box.begin < 2 || box.error < kAlikeSpread * total)
        box.error = 0;
}

// Median cut over the distinct colours, opaque and translucent colours in
// boxes of their own, the box that holds the most error split first.
std::vector<SBox> CutBoxes(std::vector<SColour>& colours, int most)
{
    std::stable_partition(colours.begin(), colours.end(), IsOpaque);
    const auto opaque =
        static_cast<std::size_t>(std::count_if(colours.begin(), colours.end(), IsOpaque));
    std::vector<SBox> boxes;
    for (const auto& [begin, end] :
         {std::pair{std::size_t{0}, opaque}, std::pair{opaque, colours.size()}}) {
        if (begin == end)
            continue;
        SBox box;
        box.begin = begin;
        box.end = end;
        Measure(colours, box);
        boxes.push_back(box);
    }
    while (static_cast<int>(boxes.size()) < most) {
        auto worst = std::max_element(boxes.begin(), boxes.end(), [](const SBox& a, const SBox& b) {
            return a.error < b.error;
        });
        if (worst == boxes.end() || worst->error <= 0)
            break;
        SBox box = *worst;
        const int axis = box.axis;
        std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  colours.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [axis](const SColour& a, const SColour& b) { return a.p[axis] < b.p[axis]; });
        double total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i)
            total += colours[i].count;
        double below = 0;
        std::size_t cut = box.begin + 1;
        for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
            below += colours[i].count;
            cut = i + 1;
            if (below * 2 >= total)
                break;
        }
        SBox low = box;
        SBox high = box;
        low.end = cut;
        high.begin = cut;
        Measure(colours, low);
        Measure(colours, high);
        *worst = low;
        boxes.push_back(high);
    }
    return boxes;
}

struct SEntry {
    std::array<float, 4> p{};  // what the entry shows, premultiplied
    QRgb argb = 0;
    bool opaque = false;
};

// The palette entry closest to a premultiplied mean: alpha rounded (and kept
// below 255 for a translucent mean), the colour un-premultiplied.
SEntry EntryOf(const std::array<double, 4>& mean, bool opaque)
{
    const int alpha = opaque ? 255 : std::clamp(static_cast<int>(std::lround(mean[3])), 1, 254);
    std::array<int, 3> c{};
    for (int k = 0; k < 3; ++k)
        c[k] = std::clamp(static_cast<int>(std::lround(mean[k] * 255.0 / alpha)), 0, 255);
    SEntry entry;
    entry.argb = qRgba(c[0], c[1], c[2], alpha);
    entry.p = Premultiplied(entry.argb);
    entry.opaque = opaque;
    return entry;
}

// The entries of each class in one flat list, for the nearest-entry search
// that most of the reduction's time goes to.
class CNearest {
public:
    explicit CNearest(const std::vector<SEntry>& entries)
    {
        for (std::size_t e = 0; e < entries.size(); ++e) {
            SClass& c = m_classes[entries[e].opaque ? 1 : 0];
            c.values.insert(c.values.end(), entries[e].p.begin(), entries[e].p.end());
            c.indexes.push_back(static_cast<int>(e));
        }
    }

    int Of(const SColour& colour) const
    {
        const SClass& c = m_classes[IsOpaque(colour) ? 1 : 0];
        const float* v = c.values.data();
        int best = 0;
        float bestDistance = INFINITY;
        for (std::size_t e = 0; e < c.indexes.size(); ++e, v += 4) {
            const float d0 = colour.p[0] - v[0];
            const float d1 = colour.p[1] - v[1];
            const float d2 = colour.p[2] - v[2];
            const float d3 = colour.p[3] - v[3];
            const float d = d0 * d0 + d1 * d1 + d2 * d2 + d3 * d3;
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(e);
            }
        }
        return c.indexes.empty() ? 0 : c.indexes[static_cast<std::size_t>(best)];
    }

private:
    struct SClass {
        std::vector<float> values;  // four a entry
        std::vector<int> indexes;
    };
    std::array<SClass, 2> m_classes;
};

// A few rounds of moving each entry to the mean of the colours nearest to
// it; a large list keeps the boxes of the median cut.
constexpr std::size_t kRefineUpTo = 8192;
constexpr int kRefineRounds = 3;

// Entries the median cut leaves to the colours that lie farthest from
// theirs, and how far (in levels of one premultiplied component) a colour
// may lie from its entry before it gets one of them.
constexpr int kFarthestEntries = 32;
constexpr float kAlikeReach = 4.0f;

float Distance(const SColour& colour, const SEntry& entry)
{
    float d = 0;
    for (int k = 0; k < 4; ++k) {
        const float c = colour.p[k] - entry.p[k];
        d += c * c;
    }
    return d;
}

// How far the colour lies from the entry in its farthest component.
float Reach(const SColour& colour, const SEntry& entry)
{
    float reach = 0;
    for (int k = 0; k < 4; ++k)
        reach = std::max(reach, std::abs(colour.p[k] - entry.p[k]));
    return reach;
}

// Gives the colours that lie farthest from their entries an entry of their
// own, one at a time, while there is room and a colour lies beyond
// kAlikeReach: a few pixels of a rare colour, such as the dark end of the
// ramp between a saturated fill and its outline, count for little in the
// means above but show as a wrong colour all the same.
void AddFarthest(std::vector<SColour>& colours, std::vector<SEntry>& entries, int most)
{
    std::vector<float> reach(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        reach[i] = Reach(colours[i], entries[static_cast<std::size_t>(colours[i].box)]);
    while (static_cast<int>(entries.size()) < most) {
        const auto worst = std::max_element(reach.begin(), reach.end());
        if (worst == reach.end() || *worst <= kAlikeReach)
            break;
        const auto farthest = static_cast<std::size_t>(worst - reach.begin());
        const SColour& far = colours[farthest];
        const bool opaque = IsOpaque(far);
        entries.push_back(EntryOf({far.p[0], far.p[1], far.p[2], far.p[3]}, opaque));
        const SEntry& added = entries.back();
        const int index = static_cast<int>(entries.size()) - 1;
        for (std::size_t i = 0; i < colours.size(); ++i) {
            SColour& colour = colours[i];
            if (IsOpaque(colour) != opaque)
                continue;
            if (Distance(colour, added) <
                Distance(colour, entries[static_cast<std::size_t>(colour.box)])) {
                colour.box = index;
                reach[i] = Reach(colour, added);
            }
        }
        // A colour that its own entry does not take would come back every
        // time.
        if (colours[farthest].box != index)
            reach[farthest] = 0;
    }
}

std::vector<SEntry> ChooseEntries(std::vector<SColour>& colours, int most)
{
    std::vector<SBox> boxes = CutBoxes(colours, std::max(1, most - kFarthestEntries));
    std::vector<SEntry> entries;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
        for (std::size_t i = boxes[b].begin; i < boxes[b].end; ++i)
            colours[i].box = static_cast<int>(b);
        entries.push_back(EntryOf(boxes[b].mean, IsOpaque(colours[boxes[b].begin])));
    }
    if (colours.size() > kRefineUpTo)
        return entries;
    for (int round = 0; round < kRefineRounds; ++round) {
        std::vector<std::array<double, 4>> sums(entries.size());
        std::vector<double> totals(entries.size(), 0);
        const CNearest nearest(entries);
        for (SColour& colour : colours) {
            colour.box = nearest.Of(colour);
            const auto e = static_cast<std::size_t>(colour.box);
            for (int k = 0; k < 4; ++k)
                sums[e][k] += colour.count * colour.p[k];
            totals[e] += colour.count;
        }
        for (std::size_t e = 0; e < entries.size(); ++e) {
            if (totals[e] <= 0)
                continue;
            std::array<double, 4> mean{};
            for (int k = 0; k < 4; ++k)
                mean[k] = sums[e][k] / totals[e];
            entries[e] = EntryOf(mean, entries[e].opaque);
        }
    }
    const CNearest nearest(entries);
    for (SColour& colour : colours)
        colour.box = nearest.Of(colour);
    return entries;
}

// Colours merged by cells of 8 levels of each premultiplied component, the
// opaque ones apart from the rest; each cell at the weighted mean of its
// colours.
std::vector<SColour> MergeIntoCells(const std::vector<SColour>& colours)
{
    std::vector<std::pair<std::uint32_t, std::size_t>> keyed;
    keyed.reserve(colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const SColour& c = colours[i];
        std::uint32_t key = IsOpaque(c) ? 1u << 20 : 0u;
        for (int k = 0; k < 4; ++k)
            key |= (static_cast<std::uint32_t>(c.p[k]) >> 3) << (5 * k);
        keyed.emplace_back(key, i);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<SColour> cells;
    for (std::size_t i = 0; i < keyed.size();) {
        std::array<double, 4> sum{};
        double total = 0;
        std::size_t j = i;
        for (; j < keyed.size() && keyed[j].first == keyed[i].first; ++j) {
            const SColour& c = colours[keyed[j].second];
            for (int k = 0; k < 4; ++k)
                sum[k] += c.count * c.p[k];
            total += c.count;
        }
        SColour cell;
        for (int k = 0; k < 4; ++k)
            cell.p[k] = static_cast<float>(sum[k] / total);
        if (keyed[i].first & (1u << 20))
            cell.p[3] = 255.0f;
        cell.count = total;
        cells.push_back(cell);
        i = j;
    }
    return cells;
}

}  // namespace

void ReduceWithAlpha(const QImage& argb, QImage& indexed, SQuantised& result)
{
    CColourCounts counts;
    CountColours(argb, counts);
    std::vector<SColour> colours;
    for (std::size_t slot = 0; slot < counts.Slots(); ++slot) {
        const QRgb key = counts.Key(slot);
        if (key == 0)
            continue;
        SColour colour;
        colour.p = Premultiplied(key);
        colour.count = static_cast<double>(counts.Count(slot));
        colour.argb = key;
        colours.push_back(colour);
    }

    std::vector<SEntry> entries;
    if (colours.size() <= kRefineUpTo) {
        entries = ChooseEntries(colours, AlphaPaletteColours);
    } else {
        // Gradients, textures and photographs: the entries are chosen from
        // the colours merged into cells of 8 levels a component, then every
        // colour takes the entry nearest to it.
        std::vector<SColour> cells = MergeIntoCells(colours);
        entries = ChooseEntries(cells, AlphaPaletteColours);
        const CNearest nearest(entries);
        for (SColour& colour : colours)
            colour.box = nearest.Of(colour);
    }
    AddFarthest(colours, entries, AlphaPaletteColours);
    for (const SColour& colour : colours)
        counts.Index(counts.Find(colour.argb)) = static_cast<std::uint8_t>(colour.box);

    const auto transparent = static_cast<std::uint8_t>(entries.size());
    const int width = argb.width();
    const int height = argb.height();
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* out = indexed.scanLine(y);
        QRgb previous = 0;
        std::uint8_t index = transparent;
        for (int x = 0; x < width; ++x) {
            const QRgb colour = line[x];
            if (colour != previous || x == 0) {
                index = qAlpha(colour) == 0 ? transparent : counts.IndexOf(colour);
                previous = colour;
            }
            out[x] = index;
        }
    }

    QList<QRgb> palette;
    palette.reserve(static_cast<qsizetype>(entries.size()) + 1);
    for (const SEntry& entry : entries)
        palette.push_back(entry.argb);
    palette.push_back(0);
    result.palette = std::move(palette);
    result.transparentIndex = transparent;
}
