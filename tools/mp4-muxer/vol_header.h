#pragma once
// The frame rate a raw MPEG-4 part 2 stream declares in its video object
// layer header, read without starting a prober.

#include "mux_plan.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <string_view>

namespace qf::kit {

// The VOL's vop_time_increment_resolution over its fixed_vop_time_increment,
// searched for in the stream's first bytes (the headers before the first
// VOP). Empty when no VOL header is found before a VOP, when it is cut
// short, or when it declares no fixed VOP rate: the caller then asks a
// prober, which estimates the rate from the timestamps.
std::optional<Fraction> declaredVolRate(std::string_view headBytes);

// The picture size of the same VOL (width, height); 0x0 when the layer is
// not rectangular or the header is cut short.
std::pair<uint32_t, uint32_t> declaredVolSize(std::string_view headBytes);

} // namespace qf::kit
