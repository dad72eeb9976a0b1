// A stream read back: the bytes as a ".sup" file, and the same bytes cut
// in two as a ".pes" file and its ".mui" index. The first two bytes give
// the cut (big-endian, taken modulo the rest's length plus one).

#include "FuzzSupport.h"

#include "pgs/DecoderModel.h"
#include "pgs/StreamDump.h"
#include "pgs/StreamReader.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzing(argc, argv, false);
    return 0;
}

namespace {

// What the inspect and verify commands and the end-to-end checks do with a
// stream.
void UseContent(SStreamContent& content)
{
    for (const SReadSegment& segment : content.Segments)
        DumpSegmentLine(segment);
    DumpSummary(content);
    if (content.Ok() || content.ObjectFault)
        FormatModelReport(CheckDecoderModel(content.Segments));
    if (content.Ok())
        TakeDisplaySets(content);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SStreamContent sup = ReadSupStream(data, size);
    UseContent(sup);

    const unsigned high = TakeByte(data, size);
    const unsigned low = TakeByte(data, size);
    const std::size_t cut = ((high << 8) | low) % (size + 1);
    SStreamContent pes = ReadPesStream(data, cut, data + cut, size - cut);
    UseContent(pes);
    return 0;
}
