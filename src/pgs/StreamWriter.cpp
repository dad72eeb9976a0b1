#include "StreamWriter.h"

#include "ByteOrder.h"
#include "MuiIndex.h"

namespace {

bool WriteAll(QIODevice& device, const std::vector<std::uint8_t>& bytes)
{
    return device.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

// Segments are gathered per display set and written in one call per file,
// which keeps the number of device calls small for sets with many objects.
class CSetWriter {
public:
    CSetWriter(QIODevice& main, QIODevice* mui) : Main(main), Mui(mui) {}

    bool Add(CSegmentBase& segment)
    {
        if (!SerialiseSegment(segment, Mui == nullptr, MainBytes))
            return false;
        if (Mui) {
            const SMuiRecord record = MakeMuiRecord(segment);
            MuiBytes.insert(MuiBytes.end(), record.begin(), record.end());
        }
        return true;
    }

    // Clears the gathered bytes whether or not the writes succeed.
    bool Flush()
    {
        const bool ok = WriteAll(Main, MainBytes) && (!Mui || WriteAll(*Mui, MuiBytes));
        MainBytes.clear();
        MuiBytes.clear();
        return ok;
    }

private:
    QIODevice& Main;
    QIODevice* Mui;
    std::vector<std::uint8_t> MainBytes;
    std::vector<std::uint8_t> MuiBytes;
};

bool AddDisplaySet(CDsData& set, CSetWriter& writer)
{
    set.Pcs.CompositionState = set.CompositionState;
    if (!writer.Add(set.Pcs))
        return false;
    if (set.Wds && !writer.Add(*set.Wds))
        return false;
    for (CPds& pds : set.Palettes) {
        if (!writer.Add(pds))
            return false;
    }
    for (COds& ods : set.Objects) {
        if (!writer.Add(ods))
            return false;
    }
    return writer.Add(*set.End);
}

EWriteResult WriteSet(CDsData& set, CSetWriter& writer)
{
    if (!CheckDisplaySet(set))
        return EWriteResult::Refused;
    if (!AddDisplaySet(set, writer) || !writer.Flush())
        return EWriteResult::Failed;
    return EWriteResult::Written;
}

}  // namespace

bool SerialiseSegment(CSegmentBase& segment, bool framed, std::vector<std::uint8_t>& out)
{
    const std::size_t start = out.size();
    if (framed) {
        out.push_back('P');
        out.push_back('G');
        PutU32(out, segment.PTS);
        PutU32(out, segment.DTS);
    }
    if (segment.Serialise(out) == 0) {
        out.resize(start);
        return false;
    }
    return true;
}

bool WriteSegment(CSegmentBase& segment, QIODevice& main, QIODevice* mui)
{
    CSetWriter writer(main, mui);
    return writer.Add(segment) && writer.Flush();
}

EWriteResult WriteDisplaySet(CDsData& set, QIODevice& main, QIODevice* mui)
{
    CSetWriter writer(main, mui);
    return WriteSet(set, writer);
}

EWriteResult WriteEpoch(CEpochData& epoch, QIODevice& main, QIODevice* mui)
{
    CSetWriter writer(main, mui);
    for (CDsData& set : epoch) {
        const EWriteResult result = WriteSet(set, writer);
        if (result != EWriteResult::Written)
            return result;
    }
    return EWriteResult::Written;
}
