#include "mp4_tracks.h"

#include "common/byte_order.h"
#include "common/file_bytes.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace qf::kit {

namespace {

bool printableType(std::string_view type)
{
    for (char c : type)
        if (c < 0x20 || c > 0x7e)
            return false;
    return true;
}

struct Header {
    uint64_t size = 0; // whole box, header included
    uint32_t headerSize = 8;
};

// Size field 1: a 64-bit size follows; 0: the box runs to the end.
std::optional<Header> boxHeader(uint32_t size32, std::string_view large, uint64_t available)
{
    Header h;
    if (size32 == 1) {
        if (large.size() < 8)
            return std::nullopt;
        h.size = readBe64(reinterpret_cast<const uint8_t*>(large.data()));
        h.headerSize = 16;
    } else {
        h.size = size32 == 0 ? available : size32;
    }
    if (h.size < h.headerSize || h.size > available)
        return std::nullopt;
    return h;
}

} // namespace

std::optional<int> countTrakBoxes(std::string_view boxes)
{
    int tracks = 0;
    while (!boxes.empty()) {
        if (boxes.size() < 8)
            return std::nullopt;
        const auto* p = reinterpret_cast<const uint8_t*>(boxes.data());
        std::optional<Header> h = boxHeader(readBe32(p), boxes.substr(8, 8), boxes.size());
        if (!h || !printableType(boxes.substr(4, 4)))
            return std::nullopt;
        if (boxes.substr(4, 4) == "trak")
            ++tracks;
        boxes.remove_prefix(static_cast<size_t>(h->size));
    }
    return tracks;
}

std::optional<int> countMp4Tracks(InputFile& file)
{
    // A moov beyond this is no file the muxer made or could extend.
    constexpr uint64_t kLargestMoov = 256u << 20;
    uint64_t at = 0;
    while (at + 8 <= file.size()) {
        uint64_t available = file.size() - at;
        std::string head = file.read(at, static_cast<size_t>(std::min<uint64_t>(available, 16)));
        std::string_view type = std::string_view(head).substr(4, 4);
        std::optional<Header> h = boxHeader(readBe32(reinterpret_cast<const uint8_t*>(head.data())),
                                            std::string_view(head).substr(8), available);
        if (!h || !printableType(type))
            return std::nullopt;
        if (type == "moov") {
            uint64_t body = h->size - h->headerSize;
            if (body > kLargestMoov)
                return std::nullopt;
            return countTrakBoxes(file.read(at + h->headerSize, static_cast<size_t>(body)));
        }
        at += h->size;
    }
    return std::nullopt;
}

} // namespace qf::kit
