// Arbitrary bytes as an AVI file: the header reader, the chunk walk of every
// stream and the keyframe index must refuse them with a ToolError or give
// facts that lie inside the file.

#include <cstdint>
#include <cstdlib>

#include "common/avi_reader.h"
#include "common/tool_error.h"
#include "fuzz_files.h"

using namespace qf::kit;

namespace {

void checkInside(uint64_t offset, uint64_t size, uint64_t fileSize)
{
    if (offset > fileSize || size > fileSize - offset)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qf::fuzz::MemoryFile input("avi");
    input.assign(data, size);
    try {
        InputFile file(input.path());
        AviHeader header = readAviHeader(file);
        for (const AviHeader::Range& range : header.movi)
            checkInside(range.offset, range.size, file.size());
        if (header.idx1Offset != 0)
            checkInside(header.idx1Offset, header.idx1Size, file.size());
        try {
            if (!(videoFrameRate(header, file.path()) > 0))
                std::abort();
        } catch (const ToolError&) {}
        for (size_t s = 0; s < header.streams.size(); ++s) {
            try {
                for (const AviChunk& chunk : streamChunks(file, header, static_cast<int>(s)))
                    checkInside(chunk.offset, chunk.size, file.size());
            } catch (const ToolError&) {}
            try {
                (void)indexKeyframes(file, header, static_cast<int>(s));
            } catch (const ToolError&) {}
        }
    } catch (const ToolError&) {}
    return 0;
}
