// Arbitrary bytes as the MPEG program stream the soft-pulldown edit rewrites
// in place: refused with a reason and left untouched, or edited by flag bits
// alone (the frame-rate code, progressive_sequence, top_field_first and
// repeat_first_field); no byte moves and the length stays.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/file_bytes.h"
#include "fuzz_files.h"
#include "soft_pulldown.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qf::fuzz::MemoryFile input("mpg");
    input.assign(data, size);
    const qf::encoder::PulldownResult r = qf::encoder::applySoftPulldown(input.path());
    const std::string after = qf::kit::readWholeFile(input.path());
    if (after.size() != size || r.ok == !r.error.empty() || r.pictures < 0)
        std::abort();
    constexpr unsigned char kFlagBits = 0x8F;
    for (size_t i = 0; i < size; ++i) {
        const unsigned char changed = static_cast<unsigned char>(after[i]) ^ data[i];
        if (changed != 0 && (!r.ok || (changed & ~kFlagBits) != 0))
            std::abort();
    }
    return 0;
}
