#pragma once
// Fixed-width unsigned integers read from and written to bytes in a stated
// byte order: the one place in the helper kit that shifts bytes together.
// The free functions leave the bounds to the caller; ByteCursor checks them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qf::kit {

namespace detail {

template <typename T, typename Byte> constexpr T readBigEndian(const Byte* p, size_t n)
{
    T v = 0;
    for (size_t i = 0; i < n; ++i)
        v = static_cast<T>((v << 8) | static_cast<uint8_t>(p[i]));
    return v;
}

template <typename T, typename Byte> constexpr T readLittleEndian(const Byte* p, size_t n)
{
    T v = 0;
    for (size_t i = n; i-- > 0;)
        v = static_cast<T>((v << 8) | static_cast<uint8_t>(p[i]));
    return v;
}

template <typename T> void writeBigEndian(uint8_t* p, T v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
}

template <typename T> void writeLittleEndian(uint8_t* p, T v, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void appendBigEndian(std::string& out, uint64_t v, size_t n)
{
    uint8_t b[8];
    writeBigEndian(b, v, n);
    out.append(reinterpret_cast<const char*>(b), n);
}

} // namespace detail

inline uint16_t readLe16(const uint8_t* p) { return detail::readLittleEndian<uint16_t>(p, 2); }
inline uint32_t readLe32(const uint8_t* p) { return detail::readLittleEndian<uint32_t>(p, 4); }
inline uint16_t readBe16(const uint8_t* p) { return detail::readBigEndian<uint16_t>(p, 2); }
inline uint32_t readBe32(const uint8_t* p) { return detail::readBigEndian<uint32_t>(p, 4); }
inline uint64_t readBe64(const uint8_t* p) { return detail::readBigEndian<uint64_t>(p, 8); }

inline void writeLe32(uint8_t* p, uint32_t v) { detail::writeLittleEndian(p, v, 4); }
inline void writeBe32(uint8_t* p, uint32_t v) { detail::writeBigEndian(p, v, 4); }
inline void writeBe64(uint8_t* p, uint64_t v) { detail::writeBigEndian(p, v, 8); }

// Appends to a growing byte string; appendBe24 writes the low three bytes.
inline void appendBe16(std::string& out, uint16_t v) { detail::appendBigEndian(out, v, 2); }
inline void appendBe24(std::string& out, uint32_t v) { detail::appendBigEndian(out, v, 3); }
inline void appendBe32(std::string& out, uint32_t v) { detail::appendBigEndian(out, v, 4); }
inline void appendBe64(std::string& out, uint64_t v) { detail::appendBigEndian(out, v, 8); }
inline void appendLe32(std::string& out, uint32_t v)
{
    uint8_t b[4];
    writeLe32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

inline const uint8_t* bytesOf(std::string_view s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// A four-character code as the little-endian number a RIFF file stores,
// e.g. fourcc("00dc").
constexpr uint32_t fourcc(const char (&s)[5]) { return detail::readLittleEndian<uint32_t>(s, 4); }

// A four-character code as text, with unprintable bytes shown as '?'.
inline std::string fourccText(const uint8_t* p)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7f) ? static_cast<char>(p[i]) : '?';
    return s;
}

// Reads fields one after another from a byte span. A read that would pass
// the end reads nothing, returns 0 (or an empty view) and leaves the cursor
// failed: every later read fails too and remaining() is 0, so a parser can
// read a run of fields and check ok() once.
class ByteCursor {
public:
    explicit ByteCursor(std::string_view bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    size_t remaining() const { return ok_ ? bytes_.size() - at_ : 0; }

    uint8_t u8() { return static_cast<uint8_t>(read(1, true)); }
    uint16_t be16() { return static_cast<uint16_t>(read(2, true)); }
    uint32_t be32() { return static_cast<uint32_t>(read(4, true)); }
    uint64_t be64() { return read(8, true); }
    uint32_t le32() { return static_cast<uint32_t>(read(4, false)); }

    std::string_view take(size_t n)
    {
        if (!has(n))
            return {};
        std::string_view v = bytes_.substr(at_, n);
        at_ += n;
        return v;
    }
    bool skip(size_t n)
    {
        take(n);
        return ok_;
    }

private:
    bool has(size_t n)
    {
        ok_ = ok_ && bytes_.size() - at_ >= n;
        return ok_;
    }
    uint64_t read(size_t n, bool bigEndian)
    {
        std::string_view v = take(n);
        if (v.empty())
            return 0;
        return bigEndian ? detail::readBigEndian<uint64_t>(v.data(), n)
                         : detail::readLittleEndian<uint64_t>(v.data(), n);
    }

    std::string_view bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

} // namespace qf::kit
