// Arbitrary bytes as the start of a raw stream given to the MP4 muxer: the
// kind sniffer and the VOL-header rate reader must not fault, and a rate
// they read is a positive fraction within the header's 16-bit fields.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mp4-muxer/mux_plan.h"
#include "mp4-muxer/vol_header.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)sniffStreamKind(bytes);
    if (std::optional<Fraction> rate = declaredVolRate(bytes)) {
        if (rate->num < 1 || rate->num > 65535 || rate->den < 1 || rate->den > 65535)
            std::abort();
    }
    Fraction f = parseFraction(bytes);
    if (f.den == 0)
        std::abort();
    return 0;
}
