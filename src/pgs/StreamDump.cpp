#include "StreamDump.h"

#include "TextFormat.h"
#include "Timing.h"

std::string DumpSegmentLine(const SReadSegment& read)
{
    const CSegmentBase& s = *read.Segment;
    return FormatText("%10llu  %-3s  PTS %10u (%11.6f s)  DTS %10u (%11.6f s)  %s",
                      static_cast<unsigned long long>(read.Offset), SegmentTypeName(s.Type), s.PTS,
                      s.PTS / double(TicksPerSecond), s.DTS, s.DTS / double(TicksPerSecond),
                      s.Dump().c_str());
}

std::string DumpSummary(const SStreamContent& content)
{
    std::size_t sets = 0;
    std::size_t epochs = 0;
    std::size_t objects = 0;
    for (const SReadSegment& read : content.Segments) {
        if (read.Segment->Type == SegmentPcs) {
            ++sets;
            if (static_cast<const CPcs&>(*read.Segment).CompositionState == EpochStart)
                ++epochs;
        } else if (read.Segment->Type == SegmentOds &&
                   static_cast<const COds&>(*read.Segment).FirstInSequence) {
            ++objects;
        }
    }
    return FormatText("display sets %zu, epochs %zu, objects %zu, segments %zu, bytes %llu", sets,
                      epochs, objects, content.Segments.size(),
                      static_cast<unsigned long long>(content.Bytes));
}
