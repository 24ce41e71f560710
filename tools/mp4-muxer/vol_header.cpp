#include "vol_header.h"

#include <cstdint>

namespace qf::kit {

namespace {

class BitReader {
public:
    explicit BitReader(std::string_view bytes) : bytes_(bytes) {}

    // Reads n bits (n <= 32) most significant first; false once past the end.
    bool read(int n, uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < n; ++i) {
            if (bit_ >= bytes_.size() * 8)
                return false;
            auto byte = static_cast<uint8_t>(bytes_[bit_ / 8]);
            value = (value << 1) | ((byte >> (7 - bit_ % 8)) & 1u);
            ++bit_;
        }
        return true;
    }

    bool skip(int n)
    {
        uint32_t ignored = 0;
        return read(n, ignored);
    }

private:
    std::string_view bytes_;
    size_t bit_ = 0;
};

struct VolFacts {
    Fraction rate; // 0/1 without a fixed VOP rate
    uint32_t width = 0; // 0 when not rectangular or cut short
    uint32_t height = 0;
};

std::optional<VolFacts> parseVol(std::string_view payload)
{
    BitReader b(payload);
    uint32_t v = 0;
    uint32_t verid = 1;
    if (!b.skip(1 + 8))
        return std::nullopt; // random_accessible_vol, object type
    if (!b.read(1, v))
        return std::nullopt; // is_object_layer_identifier
    if (v) {
        if (!b.read(4, verid) || !b.skip(3))
            return std::nullopt;
    }
    uint32_t aspect = 0;
    if (!b.read(4, aspect))
        return std::nullopt;
    if (aspect == 0xf && !b.skip(16))
        return std::nullopt; // extended pixel aspect
    if (!b.read(1, v))
        return std::nullopt; // vol_control_parameters
    if (v) {
        uint32_t vbv = 0;
        if (!b.skip(2 + 1) || !b.read(1, vbv))
            return std::nullopt;
        if (vbv && !b.skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1))
            return std::nullopt;
    }
    uint32_t shape = 0;
    if (!b.read(2, shape))
        return std::nullopt;
    if (shape == 3 && verid != 1 && !b.skip(4))
        return std::nullopt;
    uint32_t marker = 0;
    uint32_t resolution = 0;
    if (!b.read(1, marker) || marker != 1 || !b.read(16, resolution) || !b.read(1, marker) || marker != 1)
        return std::nullopt;
    if (resolution == 0)
        return std::nullopt;
    VolFacts facts;
    uint32_t fixed = 0;
    if (!b.read(1, fixed))
        return std::nullopt;
    if (fixed) {
        int bits = 1;
        while (bits < 16 && (1u << bits) < resolution)
            ++bits;
        uint32_t increment = 0;
        if (!b.read(bits, increment) || increment == 0)
            return std::nullopt;
        facts.rate = Fraction{resolution, increment};
    }
    uint32_t width = 0;
    uint32_t height = 0;
    if (shape == 0 && b.read(1, marker) && marker == 1 && b.read(13, width) && b.read(1, marker) && marker == 1
        && b.read(13, height) && b.read(1, marker) && marker == 1) {
        facts.width = width;
        facts.height = height;
    }
    return facts;
}

std::optional<VolFacts> findVol(std::string_view head)
{
    for (size_t at = 0; at + 4 <= head.size(); ++at) {
        if (head[at] != 0 || head[at + 1] != 0 || head[at + 2] != 1)
            continue;
        auto code = static_cast<uint8_t>(head[at + 3]);
        if (code == 0xb6)
            return std::nullopt; // a VOP before any VOL
        if (code >= 0x20 && code <= 0x2f)
            return parseVol(head.substr(at + 4));
    }
    return std::nullopt;
}

} // namespace

std::optional<Fraction> declaredVolRate(std::string_view head)
{
    std::optional<VolFacts> facts = findVol(head);
    if (!facts || facts->rate.num == 0)
        return std::nullopt;
    return facts->rate;
}

std::pair<uint32_t, uint32_t> declaredVolSize(std::string_view head)
{
    std::optional<VolFacts> facts = findVol(head);
    if (!facts)
        return {0, 0};
    return {facts->width, facts->height};
}

} // namespace qf::kit
