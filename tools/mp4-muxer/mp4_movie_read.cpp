// Reading an existing MP4/3GP file's one track into a sample list, with a
// doubt (and no track) for anything the muxer could not carry over as it is.
#include "mp4_movie.h"

#include "common/byte_order.h"
#include "common/file_bytes.h"

#include <algorithm>
#include <optional>

namespace qf::kit {

namespace {

// A moov beyond this is no file the muxer made or could extend.
constexpr uint64_t kLargestMoov = 256u << 20;

struct Box {
    std::string_view type;
    std::string_view body;
};

// The boxes that fill payload exactly; empty when they do not.
std::optional<std::vector<Box>> children(std::string_view payload)
{
    std::vector<Box> out;
    while (!payload.empty()) {
        if (payload.size() < 8)
            return std::nullopt;
        uint64_t size = readBe32(bytesOf(payload));
        size_t header = 8;
        if (size == 1) {
            if (payload.size() < 16)
                return std::nullopt;
            size = readBe64(bytesOf(payload) + 8);
            header = 16;
        } else if (size == 0) {
            size = payload.size();
        }
        if (size < header || size > payload.size())
            return std::nullopt;
        out.push_back({payload.substr(4, 4), payload.substr(header, static_cast<size_t>(size) - header)});
        payload.remove_prefix(static_cast<size_t>(size));
    }
    return out;
}

// Reads a full box's fields after version and flags, with bounds checks.
class Fields {
public:
    explicit Fields(std::string_view body) : body_(body) {}
    bool ok() const { return ok_; }
    size_t left() const { return body_.size() - at_; }
    uint64_t take(int bytes)
    {
        if (!ok_ || left() < static_cast<size_t>(bytes)) {
            ok_ = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | static_cast<uint8_t>(body_[at_ + i]);
        at_ += static_cast<size_t>(bytes);
        return v;
    }

private:
    std::string_view body_;
    size_t at_ = 0;
    bool ok_ = true;
};

const Box* find(const std::vector<Box>& boxes, std::string_view type)
{
    for (const Box& b : boxes)
        if (b.type == type)
            return &b;
    return nullptr;
}

struct ReadError {
    std::string why;
};

std::vector<Box> childrenOrDoubt(std::string_view payload, const char* what)
{
    std::optional<std::vector<Box>> boxes = children(payload);
    if (!boxes)
        throw ReadError{std::string("a malformed ") + what};
    return *boxes;
}

const Box& required(const std::vector<Box>& boxes, std::string_view type)
{
    const Box* b = find(boxes, type);
    if (!b)
        throw ReadError{"no " + std::string(type) + " box"};
    return *b;
}

void checkOnly(const std::vector<Box>& boxes, std::initializer_list<std::string_view> known, const char* where)
{
    for (const Box& b : boxes)
        if (std::find(known.begin(), known.end(), b.type) == known.end())
            throw ReadError{"a " + fourccText(bytesOf(b.type)) + " box in " + where};
}

// The payloads of the file's mdat boxes, in file order.
struct MediaData {
    std::vector<std::pair<uint64_t, uint64_t>> ranges; // begin, end
    bool holds(uint64_t offset, uint64_t size) const
    {
        auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(offset, UINT64_MAX));
        if (after == ranges.begin())
            return false;
        --after;
        return offset >= after->first && offset <= after->second && size <= after->second - offset;
    }
};

Mp4Track readTrack(std::string_view trak, uint64_t fileSize, const MediaData& media)
{
    std::vector<Box> trakBoxes = childrenOrDoubt(trak, "trak");
    checkOnly(trakBoxes, {"tkhd", "edts", "mdia", "udta"}, "trak");
    Mp4Track track;

    std::string_view tkhd = required(trakBoxes, "tkhd").body;
    if (tkhd.size() < 84)
        throw ReadError{"a short tkhd"};
    track.width = readBe32(bytesOf(tkhd.substr(tkhd.size() - 8)));
    track.height = readBe32(bytesOf(tkhd.substr(tkhd.size() - 4)));

    // An edit list that only spans the whole track is rebuilt; any other
    // would change the timing if dropped.
    if (const Box* edts = find(trakBoxes, "edts")) {
        std::vector<Box> edits = childrenOrDoubt(edts->body, "edts");
        for (const Box& e : edits) {
            if (e.type != "elst")
                throw ReadError{"an edts box with other contents"};
            Fields f(e.body);
            int version = static_cast<int>(f.take(1));
            f.take(3);
            uint64_t count = f.take(4);
            int wide = version == 1 ? 8 : 4;
            f.take(wide);
            uint64_t mediaTime = f.take(wide);
            uint64_t rate = f.take(4);
            if (!f.ok() || version > 1 || count != 1 || mediaTime != 0 || rate != 0x00010000)
                throw ReadError{"an edit list"};
        }
    }

    std::vector<Box> mdia = childrenOrDoubt(required(trakBoxes, "mdia").body, "mdia");
    Fields mdhd(required(mdia, "mdhd").body);
    int mdhdVersion = static_cast<int>(mdhd.take(1));
    mdhd.take(3 + (mdhdVersion == 1 ? 16 : 8));
    track.timescale = static_cast<uint32_t>(mdhd.take(4));
    mdhd.take(mdhdVersion == 1 ? 8 : 4);
    track.language = static_cast<uint16_t>(mdhd.take(2));
    if (!mdhd.ok() || mdhdVersion > 1 || track.timescale == 0)
        throw ReadError{"a bad mdhd"};

    std::string_view hdlr = required(mdia, "hdlr").body;
    if (hdlr.size() < 12)
        throw ReadError{"a short hdlr"};
    std::string_view handler = hdlr.substr(8, 4);
    if (handler != "vide" && handler != "soun")
        throw ReadError{"a track that is neither video nor sound"};
    track.video = handler == "vide";

    std::vector<Box> minf = childrenOrDoubt(required(mdia, "minf").body, "minf");
    std::vector<Box> stbl = childrenOrDoubt(required(minf, "stbl").body, "stbl");
    checkOnly(stbl, {"stsd", "stts", "stss", "stsz", "stsc", "stco", "co64", "sgpd", "sbgp"}, "stbl");

    track.sampleDescriptions = std::string(required(stbl, "stsd").body);
    {
        std::string_view sd = track.sampleDescriptions;
        if (sd.size() < 16 || readBe32(bytesOf(sd.substr(4))) != 1)
            throw ReadError{"a stsd without one entry"};
        std::optional<std::vector<Box>> entries = children(sd.substr(8));
        if (!entries || entries->size() != 1)
            throw ReadError{"a malformed stsd"};
        if ((*entries)[0].type != (track.video ? "mp4v" : "mp4a"))
            throw ReadError{"a codec other than MPEG-4 video or AAC"};
    }

    // Sizes.
    Fields stsz(required(stbl, "stsz").body);
    stsz.take(4);
    uint64_t uniform = stsz.take(4);
    uint64_t count = stsz.take(4);
    if (!stsz.ok() || count == 0 || count > fileSize || (uniform == 0 && stsz.left() / 4 < count))
        throw ReadError{"a bad stsz"};
    track.samples.resize(static_cast<size_t>(count));
    for (Mp4Sample& s : track.samples) {
        s.size = static_cast<uint32_t>(uniform ? uniform : stsz.take(4));
        if (s.size == 0)
            throw ReadError{"an empty sample"};
    }

    // Durations.
    Fields stts(required(stbl, "stts").body);
    stts.take(4);
    uint64_t runs = stts.take(4);
    size_t next = 0;
    for (uint64_t r = 0; r < runs && stts.ok(); ++r) {
        uint64_t n = stts.take(4);
        uint32_t delta = static_cast<uint32_t>(stts.take(4));
        if (n > track.samples.size() - next)
            throw ReadError{"a stts longer than the track"};
        for (uint64_t i = 0; i < n; ++i)
            track.samples[next++].duration = delta;
    }
    if (!stts.ok() || next != track.samples.size())
        throw ReadError{"a bad stts"};

    // Sync samples: all, unless listed.
    if (const Box* stssBox = find(stbl, "stss")) {
        for (Mp4Sample& s : track.samples)
            s.sync = false;
        Fields stss(stssBox->body);
        stss.take(4);
        uint64_t n = stss.take(4);
        for (uint64_t i = 0; i < n && stss.ok(); ++i) {
            uint64_t number = stss.take(4);
            if (number == 0 || number > track.samples.size())
                throw ReadError{"a bad stss"};
            track.samples[static_cast<size_t>(number - 1)].sync = true;
        }
        if (!stss.ok())
            throw ReadError{"a bad stss"};
    }

    // Chunk offsets, then samples per chunk.
    std::vector<uint64_t> chunkOffsets;
    const Box* stco = find(stbl, "stco");
    const Box* co64 = find(stbl, "co64");
    if ((stco == nullptr) == (co64 == nullptr))
        throw ReadError{"no single chunk offset table"};
    Fields offsets((stco ? stco : co64)->body);
    offsets.take(4);
    uint64_t chunks = offsets.take(4);
    int width = stco ? 4 : 8;
    if (!offsets.ok() || chunks == 0 || offsets.left() / static_cast<size_t>(width) < chunks)
        throw ReadError{"a bad chunk offset table"};
    chunkOffsets.reserve(static_cast<size_t>(chunks));
    for (uint64_t i = 0; i < chunks; ++i)
        chunkOffsets.push_back(offsets.take(width));

    Fields stsc(required(stbl, "stsc").body);
    stsc.take(4);
    uint64_t entries = stsc.take(4);
    if (!stsc.ok() || entries == 0 || stsc.left() / 12 < entries)
        throw ReadError{"a bad stsc"};
    std::vector<std::pair<uint64_t, uint64_t>> runsOfChunks; // first chunk (1-based), samples per chunk
    for (uint64_t i = 0; i < entries; ++i) {
        uint64_t first = stsc.take(4);
        uint64_t perChunk = stsc.take(4);
        uint64_t description = stsc.take(4);
        bool ordered = runsOfChunks.empty() ? first == 1 : first > runsOfChunks.back().first;
        if (!ordered || first > chunks || perChunk == 0 || description != 1)
            throw ReadError{"a bad stsc"};
        runsOfChunks.emplace_back(first, perChunk);
    }
    size_t sample = 0;
    for (size_t run = 0; run < runsOfChunks.size(); ++run) {
        uint64_t last = run + 1 < runsOfChunks.size() ? runsOfChunks[run + 1].first - 1 : chunks;
        for (uint64_t chunk = runsOfChunks[run].first; chunk <= last; ++chunk) {
            uint64_t at = chunkOffsets[static_cast<size_t>(chunk - 1)];
            for (uint64_t i = 0; i < runsOfChunks[run].second; ++i) {
                if (sample >= track.samples.size())
                    throw ReadError{"chunks holding more samples than the track"};
                Mp4Sample& s = track.samples[sample++];
                if (!media.holds(at, s.size))
                    throw ReadError{"a sample outside the media data"};
                s.offset = at;
                at += s.size;
            }
        }
    }
    if (sample != track.samples.size())
        throw ReadError{"chunks holding fewer samples than the track"};
    return track;
}

} // namespace

ExistingMovie readMovie(ByteSource& file)
{
    ExistingMovie movie;
    try {
        std::string moov;
        bool haveMoov = false;
        MediaData media;
        for (uint64_t at = 0; at < file.size();) {
            std::string head(file.viewUpTo(at, 16));
            if (head.size() < 8)
                throw ReadError{"bytes after the last box"};
            uint64_t size = readBe32(bytesOf(head));
            uint64_t header = 8;
            if (size == 1) {
                if (head.size() < 16)
                    throw ReadError{"a cut box header"};
                size = readBe64(bytesOf(head) + 8);
                header = 16;
            } else if (size == 0) {
                size = file.size() - at;
            }
            if (size < header || size > file.size() - at)
                throw ReadError{"a box running past the end"};
            std::string_view type = std::string_view(head).substr(4, 4);
            if (type == "moof" || type == "mfra" || type == "styp" || type == "sidx")
                throw ReadError{"a fragmented file"};
            if (type == "mdat")
                media.ranges.emplace_back(at + header, at + size);
            if (type == "moov") {
                if (haveMoov)
                    throw ReadError{"two moov boxes"};
                if (size - header > kLargestMoov)
                    throw ReadError{"a moov too large"};
                haveMoov = true;
                for (uint64_t p = at + header; p < at + size;) {
                    std::string_view part = file.viewUpTo(p, static_cast<size_t>(at + size - p));
                    if (part.empty())
                        throw ReadError{"a cut moov"};
                    moov += part;
                    p += part.size();
                }
            }
            at += size;
        }
        if (!haveMoov)
            throw ReadError{"no moov"};
        std::vector<Box> boxes = childrenOrDoubt(moov, "moov");
        checkOnly(boxes, {"mvhd", "trak", "udta", "iods", "meta", "free", "skip"}, "moov");
        size_t traks = 0;
        for (const Box& b : boxes) {
            if (b.type != "trak")
                continue;
            if (++traks > 1)
                throw ReadError{"more than one track"};
            movie.tracks.push_back(readTrack(b.body, file.size(), media));
        }
        if (traks == 0)
            throw ReadError{"no track"};
    } catch (const ReadError& e) {
        movie.tracks.clear();
        movie.doubt = e.why;
    }
    return movie;
}

} // namespace qf::kit
