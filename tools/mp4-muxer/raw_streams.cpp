#include "raw_streams.h"

#include "common/adts_reader.h"
#include "common/byte_order.h"
#include "vol_header.h"

#include <cstring>
#include <iterator>
#include <limits>
#include <optional>

namespace qf::kit {

namespace {

constexpr size_t kBlock = 1u << 20;
constexpr uint8_t kVop = 0xb6;
constexpr uint8_t kGov = 0xb3;

struct StartCode {
    uint64_t offset = 0;
    uint8_t code = 0;
};

// The start codes (00 00 01 xx) of one block whose four bytes lie inside it.
// Blocks overlap by three bytes, so none is missed or seen twice.
std::vector<StartCode> startCodes(std::string_view block, uint64_t base)
{
    std::vector<StartCode> found;
    const char* data = block.data();
    size_t at = 2;
    while (at + 1 < block.size()) {
        const void* one = std::memchr(data + at, 1, block.size() - 1 - at);
        if (!one)
            break;
        at = static_cast<size_t>(static_cast<const char*>(one) - data);
        if (data[at - 1] == 0 && data[at - 2] == 0)
            found.push_back({base + at - 2, static_cast<uint8_t>(data[at + 1])});
        ++at;
    }
    return found;
}

class Bits {
public:
    explicit Bits(std::string_view bytes) : bytes_(bytes) {}
    std::optional<uint32_t> read(int n)
    {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (bit_ >= bytes_.size() * 8)
                return std::nullopt;
            value = (value << 1) | ((static_cast<uint8_t>(bytes_[bit_ / 8]) >> (7 - bit_ % 8)) & 1u);
            ++bit_;
        }
        return value;
    }

private:
    std::string_view bytes_;
    size_t bit_ = 0;
};

enum class VopKind { Intra, Predicted, Sprite, Bidirectional, NotCoded, Unreadable };

// vop_coding_type, then the timing fields up to vop_coded: a VOP with
// vop_coded 0 is a placeholder (left by packed B-frames).
VopKind vopKind(std::string_view afterCode, uint32_t resolution)
{
    Bits b(afterCode);
    std::optional<uint32_t> type = b.read(2);
    if (!type)
        return VopKind::Unreadable;
    for (int ones = 0;; ++ones) { // modulo_time_base
        std::optional<uint32_t> bit = b.read(1);
        if (!bit || ones > 32)
            return VopKind::Unreadable;
        if (*bit == 0)
            break;
    }
    int bits = 1;
    while (bits < 16 && (1u << bits) < resolution)
        ++bits;
    std::optional<uint32_t> marker1 = b.read(1);
    std::optional<uint32_t> increment = b.read(bits);
    std::optional<uint32_t> marker2 = b.read(1);
    std::optional<uint32_t> coded = b.read(1);
    if (!marker1 || *marker1 != 1 || !increment || !marker2 || *marker2 != 1 || !coded)
        return VopKind::Unreadable;
    if (*coded == 0)
        return VopKind::NotCoded;
    static constexpr VopKind kinds[] = {VopKind::Intra, VopKind::Predicted, VopKind::Bidirectional, VopKind::Sprite};
    return kinds[*type];
}

} // namespace

M4vStream splitM4v(ByteSource& source)
{
    M4vStream out;
    const uint64_t size = source.size();
    bool inHeaders = true;
    bool vopFound = false;
    bool vopSync = false;
    uint64_t sampleStart = 0;
    auto doubt = [&](std::string why) {
        out.doubt = std::move(why);
        out.samples.clear();
        return std::move(out);
    };
    auto endSample = [&](uint64_t end) -> bool {
        if (end - sampleStart > std::numeric_limits<uint32_t>::max())
            return false;
        out.samples.push_back({sampleStart, static_cast<uint32_t>(end - sampleStart), vopSync});
        sampleStart = end;
        vopFound = false;
        return true;
    };

    for (uint64_t base = 0; base < size;) {
        std::string_view block = source.viewUpTo(base, kBlock);
        bool last = base + block.size() >= size;
        std::vector<StartCode> codes = startCodes(block, base);
        uint64_t next = last ? size : base + block.size() - 3;
        for (const StartCode& sc : codes) {
            if (sc.offset >= next)
                break;
            if (sc.code == 0xb7 || sc.code == 0xb8)
                continue; // never end a frame
            if (inHeaders) {
                if (sc.code != kVop && sc.code != kGov)
                    continue;
                // The VOL sits in the first few hundred bytes; a longer head
                // is no stream of our encoder.
                if (sc.offset > 4096)
                    return doubt("headers of " + std::to_string(sc.offset) + " bytes");
                out.decoderConfig = std::string(source.viewUpTo(0, static_cast<size_t>(sc.offset)));
                std::optional<Fraction> rate = declaredVolRate(out.decoderConfig);
                // Its numerator is the VOL's time resolution as written.
                if (!rate)
                    return doubt("no video object layer with a fixed VOP rate");
                out.timeResolution = static_cast<uint32_t>(rate->num);
                inHeaders = false;
            }
            if (vopFound && !endSample(sc.offset))
                return doubt("a frame larger than 4 GiB");
            if (sc.code != kVop)
                continue;
            switch (vopKind(source.viewUpTo(sc.offset + 4, 16), out.timeResolution)) {
            case VopKind::Intra: vopSync = true; break;
            case VopKind::Predicted:
            case VopKind::Sprite: vopSync = false; break;
            case VopKind::Bidirectional: return doubt("B-VOPs");
            case VopKind::NotCoded: return doubt("not-coded VOPs");
            case VopKind::Unreadable: return doubt("an unreadable VOP header");
            }
            vopFound = true;
        }
        base = next;
    }
    if (inHeaders)
        return doubt("no VOP");
    if (!vopFound)
        return doubt("bytes after the last VOP");
    if (!endSample(size))
        return doubt("a frame larger than 4 GiB");
    return out;
}

AdtsStream splitAdts(ByteSource& source)
{
    AdtsStream out;
    auto doubt = [&](std::string why, uint64_t at) {
        out.doubt = std::move(why) + " at byte " + std::to_string(at);
        out.samples.clear();
        return std::move(out);
    };
    const uint64_t size = source.size();
    AdtsHeader first;
    for (uint64_t pos = 0; pos < size;) {
        std::string_view head = source.viewUpTo(pos, 7);
        if (head.size() < 7)
            return doubt("a truncated frame header", pos);
        if (!hasAdtsSync(head))
            return doubt("no frame sync", pos);
        AdtsHeader h = readAdtsHeader(head);
        if (h.extraBlocks != 0)
            return doubt("several raw blocks in a frame", pos);
        if (h.rateIndex >= std::size(kAdtsSampleRates) || kAdtsSampleRates[h.rateIndex] > 65535)
            return doubt("a sample rate an MP4 sample entry cannot hold", pos);
        if (h.channels == 0)
            return doubt("a channel layout only in the stream", pos);
        if (h.length <= h.headerSize || h.length > size - pos)
            return doubt("a bad frame length", pos);
        if (out.samples.empty()) {
            first = h;
            out.channels = h.channels;
        } else if (h.profile != first.profile || h.rateIndex != first.rateIndex || h.channels != first.channels) {
            return doubt("a change of profile, sample rate or channels", pos);
        }
        out.samples.push_back({pos + h.headerSize, static_cast<uint32_t>(h.length - h.headerSize), true});
        pos += h.length;
    }
    if (out.samples.empty())
        return doubt("no frames", 0);
    out.sampleRate = kAdtsSampleRates[first.rateIndex];
    // AudioSpecificConfig: object type, rate index, channel configuration,
    // then three zero flags (1024-sample frames, no core coder, no extension).
    appendBe16(out.audioSpecificConfig,
               static_cast<uint16_t>(((first.profile + 1) << 11) | (first.rateIndex << 7) | (first.channels << 3)));
    return out;
}

} // namespace qf::kit
