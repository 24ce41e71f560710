#pragma once
// Fixed-width integers read from and written to byte arrays in a stated byte
// order. The caller has checked the bounds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qf::kit {

inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t readLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t readBe32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t readBe64(const uint8_t* p) { return (static_cast<uint64_t>(readBe32(p)) << 32) | readBe32(p + 4); }

inline void writeLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void writeBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void writeBe64(uint8_t* p, uint64_t v)
{
    writeBe32(p, static_cast<uint32_t>(v >> 32));
    writeBe32(p + 4, static_cast<uint32_t>(v));
}

// Appends to a growing byte string.
inline void appendLe32(std::string& out, uint32_t v)
{
    uint8_t b[4];
    writeLe32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}
inline void appendBe32(std::string& out, uint32_t v)
{
    uint8_t b[4];
    writeBe32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}
inline void appendBe64(std::string& out, uint64_t v)
{
    uint8_t b[8];
    writeBe64(b, v);
    out.append(reinterpret_cast<const char*>(b), 8);
}

inline const uint8_t* bytesOf(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A four-character code as text, with unprintable bytes shown as '?'.
inline std::string fourccText(const uint8_t* p)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7f) ? static_cast<char>(p[i]) : '?';
    return s;
}

} // namespace qf::kit
