#pragma once
// Clock-time texts: HH:MM:SS, two digits each.

#include <cstdint>

namespace qf::core {

// Exactly 8 bytes, ':' at 2 and 5, digits elsewhere, hours <= 23, minutes and
// seconds < 60.
bool isTimeText(const char* text);
// Seconds of a valid time text, else 0.
uint32_t parseTime(const char* text);
// Writes HH:MM:SS and a terminating zero into buffer (at least 9 bytes);
// defined for fewer than 100 hours.
void formatSeconds(uint32_t seconds, char* buffer);

} // namespace qf::core
