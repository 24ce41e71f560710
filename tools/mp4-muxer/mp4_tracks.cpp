#include "mp4_tracks.h"

#include "common/box_reader.h"
#include "common/file_bytes.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace qf::kit {

std::optional<int> countTrakBoxes(std::string_view boxes)
{
    int tracks = 0;
    for (BoxReader reader(boxes); !reader.atEnd();) {
        BoxView box;
        if (reader.next(box) != BoxFault::None || !isPrintableType(box.header.type))
            return std::nullopt;
        if (box.header.type == "trak")
            ++tracks;
    }
    return tracks;
}

std::optional<int> countMp4Tracks(InputFile& file)
{
    uint64_t at = 0;
    while (at + 8 <= file.size()) {
        uint64_t available = file.size() - at;
        std::string head = file.read(at, static_cast<size_t>(std::min<uint64_t>(available, 16)));
        BoxHeader h;
        if (readBoxHeader(head, available, h) != BoxFault::None || !isPrintableType(h.type))
            return std::nullopt;
        if (h.type == "moov") {
            uint64_t body = h.size - h.headerSize;
            if (body > kLargestMoov)
                return std::nullopt;
            return countTrakBoxes(file.read(at + h.headerSize, static_cast<size_t>(body)));
        }
        at += h.size;
    }
    return std::nullopt;
}

} // namespace qf::kit
