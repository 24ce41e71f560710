#include "core/clock_time.h"

#include <cstdio>
#include <cstring>

namespace qf::core {

namespace {

bool twoDigits(const char* p, uint32_t& value)
{
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9')
        return false;
    value = uint32_t(p[0] - '0') * 10 + uint32_t(p[1] - '0');
    return true;
}

} // namespace

bool isTimeText(const char* text)
{
    if (!text || std::strlen(text) != 8 || text[2] != ':' || text[5] != ':')
        return false;
    uint32_t h = 0, m = 0, s = 0;
    return twoDigits(text, h) && twoDigits(text + 3, m) && twoDigits(text + 6, s) && h <= 23 && m < 60 && s < 60;
}

uint32_t parseTime(const char* text)
{
    if (!isTimeText(text))
        return 0;
    uint32_t h = 0, m = 0, s = 0;
    twoDigits(text, h);
    twoDigits(text + 3, m);
    twoDigits(text + 6, s);
    return h * 3600 + m * 60 + s;
}

void formatSeconds(uint32_t seconds, char* buffer)
{
    const uint32_t hours = (seconds / 3600) % 100;
    std::snprintf(buffer, 4, "%.2u:", hours);
    std::snprintf(buffer + 3, 6, "%.2u:%.2u", (seconds / 60) % 60, seconds % 60);
}

} // namespace qf::core
