#pragma once
// How many tracks an existing MP4/3GP file holds, read from its boxes.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qf::kit {

// A moov beyond this is no file the muxer made or could extend.
constexpr uint64_t kLargestMoov = 256u << 20;

class InputFile;

// The number of `trak` boxes in a sequence of boxes (a `moov` payload).
// Empty when the boxes do not fill the bytes exactly.
std::optional<int> countTrakBoxes(std::string_view boxes);

// The tracks of the file's `moov`. Empty when the file is no ISO media file:
// a top-level box with an impossible size or a type that is not four
// printable characters, or no `moov` at all.
std::optional<int> countMp4Tracks(InputFile& file);

} // namespace qf::kit
