#pragma once
// Helpers for the kit's tests: a scratch directory and small builders for
// the binary structures the tools read.

#include "common/byte_order.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qf::kit::test {

class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qf-kit-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    // Names in the directory, sorted: shows leftovers of failed runs.
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// RIFF chunk: id, little-endian size, payload, pad byte for odd sizes.
inline std::string riffChunk(const std::string& id, const std::string& payload)
{
    std::string out = id;
    appendLe32(out, static_cast<uint32_t>(payload.size()));
    out += payload;
    if (payload.size() % 2)
        out += '\0';
    return out;
}

inline std::string riffList(const std::string& type, const std::string& body) { return riffChunk("LIST", type + body); }

inline std::string le32s(std::initializer_list<uint32_t> values)
{
    std::string out;
    for (uint32_t v : values)
        appendLe32(out, v);
    return out;
}

// A 56-byte strh: type, handler, scale, rate, length.
inline std::string strh(const std::string& type, const std::string& handler, uint32_t scale, uint32_t rate,
                        uint32_t length)
{
    return riffChunk("strh", type + handler + le32s({0, 0, 0, scale, rate, 0, length, 0, 0, 0, 0, 0}));
}

// BITMAPINFOHEADER with the given size and compression.
inline std::string strfVideo(uint32_t width, uint32_t height, const std::string& compression)
{
    return riffChunk("strf", le32s({40, width, height, 0x00180001}) + compression + le32s({0, 0, 0, 0, 0}));
}

inline std::string avih(uint32_t microSecPerFrame, uint32_t frames, uint32_t streams, uint32_t w, uint32_t h)
{
    return riffChunk("avih", le32s({microSecPerFrame, 0, 0, 0x10, frames, 0, streams, 0, w, h, 0, 0, 0, 0}));
}

// Box: 32-bit big-endian size, type, payload.
inline std::string box(const std::string& type, const std::string& payload)
{
    std::string out;
    appendBe32(out, static_cast<uint32_t>(payload.size() + 8));
    return out + type + payload;
}

inline std::string be32s(std::initializer_list<uint32_t> values)
{
    std::string out;
    for (uint32_t v : values)
        appendBe32(out, v);
    return out;
}

} // namespace qf::kit::test
