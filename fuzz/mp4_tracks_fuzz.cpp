// Arbitrary bytes as the MP4 output the muxer adds a track to: its track
// count comes from a 'moov' it can read, or is refused; never a fault.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/file_bytes.h"
#include "common/tool_error.h"
#include "fuzz_files.h"
#include "mp4-muxer/mp4_tracks.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::optional<int> n = countTrakBoxes(bytes))
        if (*n < 0 || static_cast<size_t>(*n) * 8 > size)
            std::abort();

    static qf::fuzz::MemoryFile input("mp4");
    input.assign(data, size);
    try {
        InputFile file(input.path());
        if (std::optional<int> n = countMp4Tracks(file))
            if (*n < 0 || static_cast<size_t>(*n) * 8 > size)
                std::abort();
    } catch (const ToolError&) {}
    return 0;
}
