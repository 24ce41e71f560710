// Reading an existing MP4/3GP file's one track into a sample list, with a
// doubt (and no track) for anything the muxer could not carry over as it is.
#include "mp4_movie.h"
#include "mp4_tracks.h"

#include "common/box_reader.h"
#include "common/byte_order.h"
#include "common/file_bytes.h"

#include <algorithm>
#include <optional>

namespace qf::kit {

namespace {

// The boxes that fill payload exactly; empty when they do not.
std::optional<std::vector<BoxView>> children(std::string_view payload)
{
    std::vector<BoxView> out;
    for (BoxReader reader(payload); !reader.atEnd();)
        if (reader.next(out.emplace_back()) != BoxFault::None)
            return std::nullopt;
    return out;
}

const BoxView* find(const std::vector<BoxView>& boxes, std::string_view type)
{
    for (const BoxView& b : boxes)
        if (b.header.type == type)
            return &b;
    return nullptr;
}

struct ReadError {
    std::string why;
};

std::vector<BoxView> childrenOrDoubt(std::string_view payload, const char* what)
{
    std::optional<std::vector<BoxView>> boxes = children(payload);
    if (!boxes)
        throw ReadError{std::string("a malformed ") + what};
    return *boxes;
}

const BoxView& required(const std::vector<BoxView>& boxes, std::string_view type)
{
    const BoxView* b = find(boxes, type);
    if (!b)
        throw ReadError{"no " + std::string(type) + " box"};
    return *b;
}

void checkOnly(const std::vector<BoxView>& boxes, std::initializer_list<std::string_view> known, const char* where)
{
    for (const BoxView& b : boxes)
        if (std::find(known.begin(), known.end(), b.header.type) == known.end())
            throw ReadError{"a " + fourccText(bytesOf(b.header.type)) + " box in " + where};
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
    std::vector<BoxView> trakBoxes = childrenOrDoubt(trak, "trak");
    checkOnly(trakBoxes, {"tkhd", "edts", "mdia", "udta"}, "trak");
    Mp4Track track;

    std::string_view tkhd = required(trakBoxes, "tkhd").body;
    if (tkhd.size() < 84)
        throw ReadError{"a short tkhd"};
    track.width = readBe32(bytesOf(tkhd.substr(tkhd.size() - 8)));
    track.height = readBe32(bytesOf(tkhd.substr(tkhd.size() - 4)));

    // An edit list that only spans the whole track is rebuilt; any other
    // would change the timing if dropped.
    if (const BoxView* edts = find(trakBoxes, "edts")) {
        std::vector<BoxView> edits = childrenOrDoubt(edts->body, "edts");
        for (const BoxView& e : edits) {
            if (e.header.type != "elst")
                throw ReadError{"an edts box with other contents"};
            ByteCursor f(e.body);
            int version = static_cast<int>(f.u8());
            f.skip(3);
            uint64_t count = f.be32();
            int wide = version == 1 ? 8 : 4;
            f.skip(wide);
            uint64_t mediaTime = wide == 8 ? f.be64() : f.be32();
            uint64_t rate = f.be32();
            if (!f.ok() || version > 1 || count != 1 || mediaTime != 0 || rate != 0x00010000)
                throw ReadError{"an edit list"};
        }
    }

    std::vector<BoxView> mdia = childrenOrDoubt(required(trakBoxes, "mdia").body, "mdia");
    ByteCursor mdhd(required(mdia, "mdhd").body);
    int mdhdVersion = static_cast<int>(mdhd.u8());
    mdhd.skip(3 + (mdhdVersion == 1 ? 16 : 8));
    track.timescale = mdhd.be32();
    mdhd.skip(mdhdVersion == 1 ? 8 : 4);
    track.language = mdhd.be16();
    if (!mdhd.ok() || mdhdVersion > 1 || track.timescale == 0)
        throw ReadError{"a bad mdhd"};

    std::string_view hdlr = required(mdia, "hdlr").body;
    if (hdlr.size() < 12)
        throw ReadError{"a short hdlr"};
    std::string_view handler = hdlr.substr(8, 4);
    if (handler != "vide" && handler != "soun")
        throw ReadError{"a track that is neither video nor sound"};
    track.video = handler == "vide";

    std::vector<BoxView> minf = childrenOrDoubt(required(mdia, "minf").body, "minf");
    std::vector<BoxView> stbl = childrenOrDoubt(required(minf, "stbl").body, "stbl");
    checkOnly(stbl, {"stsd", "stts", "stss", "stsz", "stsc", "stco", "co64", "sgpd", "sbgp"}, "stbl");

    track.sampleDescriptions = std::string(required(stbl, "stsd").body);
    {
        std::string_view sd = track.sampleDescriptions;
        if (sd.size() < 16 || readBe32(bytesOf(sd.substr(4))) != 1)
            throw ReadError{"a stsd without one entry"};
        std::optional<std::vector<BoxView>> entries = children(sd.substr(8));
        if (!entries || entries->size() != 1)
            throw ReadError{"a malformed stsd"};
        if ((*entries)[0].header.type != (track.video ? "mp4v" : "mp4a"))
            throw ReadError{"a codec other than MPEG-4 video or AAC"};
    }

    // Sizes.
    ByteCursor stsz(required(stbl, "stsz").body);
    stsz.skip(4);
    uint64_t uniform = stsz.be32();
    uint64_t count = stsz.be32();
    if (!stsz.ok() || count == 0 || count > fileSize || (uniform == 0 && stsz.remaining() / 4 < count))
        throw ReadError{"a bad stsz"};
    track.samples.resize(static_cast<size_t>(count));
    for (Mp4Sample& s : track.samples) {
        s.size = static_cast<uint32_t>(uniform ? uniform : stsz.be32());
        if (s.size == 0)
            throw ReadError{"an empty sample"};
    }

    // Durations.
    ByteCursor stts(required(stbl, "stts").body);
    stts.skip(4);
    uint64_t runs = stts.be32();
    size_t next = 0;
    for (uint64_t r = 0; r < runs && stts.ok(); ++r) {
        uint64_t n = stts.be32();
        uint32_t delta = stts.be32();
        if (n > track.samples.size() - next)
            throw ReadError{"a stts longer than the track"};
        for (uint64_t i = 0; i < n; ++i)
            track.samples[next++].duration = delta;
    }
    if (!stts.ok() || next != track.samples.size())
        throw ReadError{"a bad stts"};

    // Sync samples: all, unless listed.
    if (const BoxView* stssBox = find(stbl, "stss")) {
        for (Mp4Sample& s : track.samples)
            s.sync = false;
        ByteCursor stss(stssBox->body);
        stss.skip(4);
        uint64_t n = stss.be32();
        for (uint64_t i = 0; i < n && stss.ok(); ++i) {
            uint64_t number = stss.be32();
            if (number == 0 || number > track.samples.size())
                throw ReadError{"a bad stss"};
            track.samples[static_cast<size_t>(number - 1)].sync = true;
        }
        if (!stss.ok())
            throw ReadError{"a bad stss"};
    }

    // Chunk offsets, then samples per chunk.
    std::vector<uint64_t> chunkOffsets;
    const BoxView* stco = find(stbl, "stco");
    const BoxView* co64 = find(stbl, "co64");
    if ((stco == nullptr) == (co64 == nullptr))
        throw ReadError{"no single chunk offset table"};
    ByteCursor offsets((stco ? stco : co64)->body);
    offsets.skip(4);
    uint64_t chunks = offsets.be32();
    int width = stco ? 4 : 8;
    if (!offsets.ok() || chunks == 0 || offsets.remaining() / static_cast<size_t>(width) < chunks)
        throw ReadError{"a bad chunk offset table"};
    chunkOffsets.reserve(static_cast<size_t>(chunks));
    for (uint64_t i = 0; i < chunks; ++i)
        chunkOffsets.push_back(width == 8 ? offsets.be64() : offsets.be32());

    ByteCursor stsc(required(stbl, "stsc").body);
    stsc.skip(4);
    uint64_t entries = stsc.be32();
    if (!stsc.ok() || entries == 0 || stsc.remaining() / 12 < entries)
        throw ReadError{"a bad stsc"};
    std::vector<std::pair<uint64_t, uint64_t>> runsOfChunks; // first chunk (1-based), samples per chunk
    for (uint64_t i = 0; i < entries; ++i) {
        uint64_t first = stsc.be32();
        uint64_t perChunk = stsc.be32();
        uint64_t description = stsc.be32();
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
            BoxHeader h;
            BoxFault fault = readBoxHeader(head, file.size() - at, h);
            if (fault == BoxFault::CutShort)
                throw ReadError{"a cut box header"};
            if (fault == BoxFault::BadSize)
                throw ReadError{"a box running past the end"};
            const std::string& type = h.type;
            const uint64_t begin = at + h.headerSize, end = at + h.size; // the body
            if (type == "moof" || type == "mfra" || type == "styp" || type == "sidx")
                throw ReadError{"a fragmented file"};
            if (type == "mdat")
                media.ranges.emplace_back(begin, end);
            if (type == "moov") {
                if (haveMoov)
                    throw ReadError{"two moov boxes"};
                if (end - begin > kLargestMoov)
                    throw ReadError{"a moov too large"};
                haveMoov = true;
                for (uint64_t p = begin; p < end;) {
                    std::string_view part = file.viewUpTo(p, static_cast<size_t>(end - p));
                    if (part.empty())
                        throw ReadError{"a cut moov"};
                    moov += part;
                    p += part.size();
                }
            }
            at = end;
        }
        if (!haveMoov)
            throw ReadError{"no moov"};
        std::vector<BoxView> boxes = childrenOrDoubt(moov, "moov");
        checkOnly(boxes, {"mvhd", "trak", "udta", "iods", "meta", "free", "skip"}, "moov");
        size_t traks = 0;
        for (const BoxView& b : boxes) {
            if (b.header.type != "trak")
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
