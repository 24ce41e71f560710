// Arbitrary bytes as an ADTS stream: refused with a ToolError, or split into
// frames that lie in order inside the bytes, each behind its own header.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/adts_reader.h"
#include "common/tool_error.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        AacStream stream = parseAdts(bytes, "fuzz.aac");
        if (stream.frames.empty() || stream.sampleRate == 0 || stream.channels == 0)
            std::abort();
        size_t end = 0;
        for (const AacStream::Frame& f : stream.frames) {
            // 7 or 9 header bytes stand between one frame and the next.
            if (f.offset < end + 7 || f.offset > end + 9 || f.size == 0 || f.size > size - f.offset)
                std::abort();
            end = f.offset + f.size;
        }
        if (end != size)
            std::abort();
    } catch (const ToolError&) {}
    return 0;
}
