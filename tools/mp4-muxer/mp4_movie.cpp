// Tracks built from the raw streams, and the file written from tracks.
#include "mp4_movie.h"

#include "common/byte_order.h"
#include "common/file_bytes.h"
#include "vol_header.h"

#include <algorithm>
#include <limits>

namespace qf::kit {

namespace {

constexpr uint32_t kMovieTimescale = 1000;
constexpr uint32_t kVideoTimescale = 90000;

std::string box(std::string_view type, std::string_view payload)
{
    std::string out;
    appendBe32(out, static_cast<uint32_t>(payload.size() + 8));
    out += type;
    out += payload;
    return out;
}

std::string fullBox(std::string_view type, uint8_t version, uint32_t flags, std::string_view payload)
{
    std::string body;
    appendBe32(body, (static_cast<uint32_t>(version) << 24) | flags);
    body += payload;
    return box(type, body);
}

// An ES descriptor as ffmpeg writes it: the length in four bytes.
std::string descriptor(uint8_t tag, std::string_view payload)
{
    std::string out(1, static_cast<char>(tag));
    uint32_t n = static_cast<uint32_t>(payload.size());
    out += static_cast<char>(0x80 | ((n >> 21) & 0x7f));
    out += static_cast<char>(0x80 | ((n >> 14) & 0x7f));
    out += static_cast<char>(0x80 | ((n >> 7) & 0x7f));
    out += static_cast<char>(n & 0x7f);
    out += payload;
    return out;
}

struct BitRates {
    uint32_t bufferSize = 0; // the largest sample
    uint32_t maxRate = 0; // bits per second over the busiest second
    uint32_t avgRate = 0;
};

BitRates bitRates(const std::vector<Mp4Sample>& samples, uint32_t timescale)
{
    BitRates r;
    uint64_t total = 0;
    uint64_t duration = 0;
    for (const Mp4Sample& s : samples) {
        total += s.size;
        duration += s.duration;
        r.bufferSize = std::max(r.bufferSize, s.size);
    }
    r.bufferSize = std::min<uint32_t>(r.bufferSize, 0xffffff);
    if (duration > 0)
        r.avgRate = static_cast<uint32_t>(std::min<uint64_t>(total * 8 * timescale / duration, UINT32_MAX));
    // Windows of one second starting at each sample.
    uint64_t windowBytes = 0;
    uint64_t windowEndTime = 0; // start time of sample `end`
    uint64_t startTime = 0;
    size_t end = 0;
    for (size_t begin = 0; begin < samples.size(); ++begin) {
        while (end < samples.size() && windowEndTime < startTime + timescale) {
            windowBytes += samples[end].size;
            windowEndTime += samples[end].duration;
            ++end;
        }
        r.maxRate
            = static_cast<uint32_t>(std::min<uint64_t>(std::max<uint64_t>(r.maxRate, windowBytes * 8), UINT32_MAX));
        windowBytes -= samples[begin].size;
        startTime += samples[begin].duration;
    }
    r.maxRate = std::max(r.maxRate, r.avgRate);
    return r;
}

std::string esds(int trackId, uint8_t objectType, uint8_t streamType, const BitRates& rates, std::string_view config)
{
    std::string decoder;
    decoder += static_cast<char>(objectType);
    decoder += static_cast<char>(streamType);
    appendBe24(decoder, rates.bufferSize);
    appendBe32(decoder, rates.maxRate);
    appendBe32(decoder, rates.avgRate);
    decoder += descriptor(0x05, config);
    std::string es;
    appendBe16(es, static_cast<uint16_t>(trackId));
    es += '\0';
    es += descriptor(0x04, decoder);
    es += descriptor(0x06, "\x02");
    return fullBox("esds", 0, 0, descriptor(0x03, es));
}

std::string btrt(const BitRates& rates)
{
    std::string body;
    appendBe32(body, rates.bufferSize);
    appendBe32(body, rates.maxRate);
    appendBe32(body, rates.avgRate);
    return box("btrt", body);
}

std::string sampleDescriptions(const std::string& entry)
{
    std::string body;
    appendBe32(body, 1);
    body += entry;
    return body;
}

uint64_t toMovieTime(uint64_t duration, uint32_t timescale)
{
    return (duration * kMovieTimescale + timescale - 1) / timescale;
}

const std::string kMatrix = [] {
    std::string m;
    for (uint32_t v : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u})
        appendBe32(m, v);
    return m;
}();

// A 32-bit field, or the version 1 form's 64-bit one.
void putTime(std::string& out, uint64_t v, bool wide)
{
    if (wide)
        appendBe64(out, v);
    else
        appendBe32(out, static_cast<uint32_t>(v));
}

std::string trackBox(const Mp4Track& track, int index, const std::vector<Chunk>& chunks)
{
    const uint64_t mediaDuration = track.duration();
    const uint64_t movieDuration = toMovieTime(mediaDuration, track.timescale);
    const bool wideMovie = movieDuration > UINT32_MAX;
    const bool wideMedia = mediaDuration > UINT32_MAX;

    std::string tkhd;
    putTime(tkhd, 0, wideMovie); // creation and modification time
    putTime(tkhd, 0, wideMovie);
    appendBe32(tkhd, static_cast<uint32_t>(index + 1));
    appendBe32(tkhd, 0);
    putTime(tkhd, movieDuration, wideMovie);
    tkhd += std::string(8, '\0');
    appendBe16(tkhd, 0); // layer
    appendBe16(tkhd, track.video ? 0 : 1); // alternate group
    appendBe16(tkhd, track.video ? 0 : 0x0100); // volume
    appendBe16(tkhd, 0);
    tkhd += kMatrix;
    appendBe32(tkhd, track.video ? track.width : 0);
    appendBe32(tkhd, track.video ? track.height : 0);

    std::string elst;
    appendBe32(elst, 1);
    putTime(elst, movieDuration, wideMovie);
    putTime(elst, 0, wideMovie); // media time
    appendBe32(elst, 0x00010000);

    std::string mdhd;
    putTime(mdhd, 0, wideMedia);
    putTime(mdhd, 0, wideMedia);
    appendBe32(mdhd, track.timescale);
    putTime(mdhd, mediaDuration, wideMedia);
    appendBe16(mdhd, track.language);
    appendBe16(mdhd, 0);

    std::string hdlr(4, '\0');
    hdlr += track.video ? "vide" : "soun";
    hdlr += std::string(12, '\0');
    hdlr += track.video ? std::string_view("VideoHandler", 13) : std::string_view("SoundHandler", 13);

    std::string mediaHeader
        = track.video ? fullBox("vmhd", 0, 1, std::string(8, '\0')) : fullBox("smhd", 0, 0, std::string(4, '\0'));
    std::string dref;
    appendBe32(dref, 1);
    dref += fullBox("url ", 0, 1, "");
    std::string stbl = box("stsd", track.sampleDescriptions);
    stbl += sampleTableBoxes(track, index, chunks);

    std::string minf = mediaHeader + box("dinf", fullBox("dref", 0, 0, dref)) + box("stbl", stbl);
    std::string mdia = fullBox("mdhd", wideMedia ? 1 : 0, 0, mdhd) + fullBox("hdlr", 0, 0, hdlr) + box("minf", minf);
    return box("trak",
               fullBox("tkhd", wideMovie ? 1 : 0, 3, tkhd) + box("edts", fullBox("elst", wideMovie ? 1 : 0, 0, elst))
                   + box("mdia", mdia));
}

} // namespace

uint64_t Mp4Track::duration() const
{
    uint64_t total = 0;
    for (const Mp4Sample& s : samples)
        total += s.duration;
    return total;
}

Mp4Track videoTrack(const M4vStream& stream, Fraction rate, int trackId, bool mp4Brand)
{
    Mp4Track track;
    track.video = true;
    track.timescale = kVideoTimescale;
    auto [width, height] = declaredVolSize(stream.decoderConfig);
    track.width = width << 16;
    track.height = height << 16;
    // Sample i starts at i frames of the rate, rounded to the timescale.
    auto start = [&](uint64_t i) {
        const auto num = static_cast<uint64_t>(rate.num);
        const auto scaled = kVideoTimescale * static_cast<uint64_t>(rate.den);
        return (i / num) * scaled + ((i % num) * scaled * 2 + num) / (2 * num);
    };
    track.samples.reserve(stream.samples.size());
    for (size_t i = 0; i < stream.samples.size(); ++i) {
        const RawSample& s = stream.samples[i];
        track.samples.push_back({s.offset, s.size, static_cast<uint32_t>(start(i + 1) - start(i)), s.sync});
    }
    BitRates rates = bitRates(track.samples, track.timescale);

    std::string entry(6, '\0');
    appendBe16(entry, 1); // data reference index
    entry += std::string(16, '\0'); // version, revision, vendor, qualities, pre-defined
    appendBe16(entry, width);
    appendBe16(entry, height);
    appendBe32(entry, 0x00480000); // 72 dpi
    appendBe32(entry, 0x00480000);
    appendBe32(entry, 0);
    appendBe16(entry, 1); // frames per sample
    entry += std::string(32, '\0'); // compressor name
    appendBe16(entry, 0x18); // depth
    appendBe16(entry, 0xffff); // no colour table
    entry += esds(trackId, 0x20, 0x11, rates, stream.decoderConfig);
    std::string pasp;
    appendBe32(pasp, 1);
    appendBe32(pasp, 1);
    entry += box("pasp", pasp);
    if (mp4Brand)
        entry += btrt(rates);
    track.sampleDescriptions = std::string(4, '\0') + sampleDescriptions(box("mp4v", entry));
    return track;
}

Mp4Track audioTrack(const AdtsStream& stream, int trackId, bool mp4Brand)
{
    Mp4Track track;
    track.timescale = stream.sampleRate;
    track.samples.reserve(stream.samples.size());
    for (const RawSample& s : stream.samples)
        track.samples.push_back({s.offset, s.size, 1024, true});
    BitRates rates = bitRates(track.samples, track.timescale);

    std::string entry(6, '\0');
    appendBe16(entry, 1);
    entry += std::string(8, '\0'); // version, revision, vendor
    appendBe16(entry, 2); // channels and sample size as the format fixes them
    appendBe16(entry, 16);
    appendBe32(entry, 0); // compression id, packet size
    appendBe32(entry, stream.sampleRate << 16);
    entry += esds(trackId, 0x40, 0x15, rates, stream.audioSpecificConfig);
    if (mp4Brand)
        entry += btrt(rates);
    track.sampleDescriptions = std::string(4, '\0') + sampleDescriptions(box("mp4a", entry));
    return track;
}

std::vector<Chunk> layoutChunks(const std::vector<Mp4Track>& tracks, uint64_t dataStart, double chunkSeconds)
{
    struct Placed {
        Chunk chunk;
        long double start = 0; // seconds
    };
    std::vector<Placed> placed;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const Mp4Track& track = tracks[t];
        const auto span = static_cast<uint64_t>(chunkSeconds * track.timescale);
        uint64_t time = 0;
        uint64_t chunkTime = 0;
        for (size_t i = 0; i < track.samples.size(); ++i) {
            if (i == 0 || time - chunkTime >= span) {
                placed.push_back({{static_cast<int>(t), i, 0, 0}, static_cast<long double>(time) / track.timescale});
                chunkTime = time;
            }
            ++placed.back().chunk.count;
            time += track.samples[i].duration;
        }
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.start < b.start; });
    std::vector<Chunk> chunks;
    chunks.reserve(placed.size());
    uint64_t at = dataStart;
    for (Placed& p : placed) {
        p.chunk.offset = at;
        const Mp4Track& track = tracks[static_cast<size_t>(p.chunk.track)];
        for (size_t i = 0; i < p.chunk.count; ++i)
            at += track.samples[p.chunk.firstSample + i].size;
        chunks.push_back(p.chunk);
    }
    return chunks;
}

std::string sampleTableBoxes(const Mp4Track& track, int trackIndex, const std::vector<Chunk>& chunks)
{
    const std::vector<Mp4Sample>& samples = track.samples;
    std::string out;

    std::string stts;
    uint32_t runs = 0;
    for (size_t i = 0; i < samples.size();) {
        size_t j = i;
        while (j < samples.size() && samples[j].duration == samples[i].duration)
            ++j;
        appendBe32(stts, static_cast<uint32_t>(j - i));
        appendBe32(stts, samples[i].duration);
        ++runs;
        i = j;
    }
    std::string sttsBody;
    appendBe32(sttsBody, runs);
    out += fullBox("stts", 0, 0, sttsBody + stts);

    // Omitted when every sample is a sync sample, as that is what it means.
    bool allSync = std::all_of(samples.begin(), samples.end(), [](const Mp4Sample& s) { return s.sync; });
    if (!allSync) {
        std::string stss;
        uint32_t n = 0;
        for (size_t i = 0; i < samples.size(); ++i)
            if (samples[i].sync) {
                appendBe32(stss, static_cast<uint32_t>(i + 1));
                ++n;
            }
        std::string body;
        appendBe32(body, n);
        out += fullBox("stss", 0, 0, body + stss);
    }

    std::string stsc;
    uint32_t stscEntries = 0;
    std::vector<uint64_t> offsets;
    size_t lastCount = 0;
    for (const Chunk& c : chunks) {
        if (c.track != trackIndex)
            continue;
        offsets.push_back(c.offset);
        if (c.count != lastCount) {
            appendBe32(stsc, static_cast<uint32_t>(offsets.size()));
            appendBe32(stsc, static_cast<uint32_t>(c.count));
            appendBe32(stsc, 1);
            ++stscEntries;
            lastCount = c.count;
        }
    }
    std::string stscBody;
    appendBe32(stscBody, stscEntries);
    out += fullBox("stsc", 0, 0, stscBody + stsc);

    std::string stsz;
    bool uniform = !samples.empty()
        && std::all_of(samples.begin(), samples.end(), [&](const Mp4Sample& s) { return s.size == samples[0].size; });
    appendBe32(stsz, uniform ? samples[0].size : 0);
    appendBe32(stsz, static_cast<uint32_t>(samples.size()));
    if (!uniform)
        for (const Mp4Sample& s : samples)
            appendBe32(stsz, s.size);
    out += fullBox("stsz", 0, 0, stsz);

    bool wide = !offsets.empty() && offsets.back() > UINT32_MAX;
    std::string co;
    appendBe32(co, static_cast<uint32_t>(offsets.size()));
    for (uint64_t o : offsets)
        if (wide)
            appendBe64(co, o);
        else
            appendBe32(co, static_cast<uint32_t>(o));
    out += fullBox(wide ? "co64" : "stco", 0, 0, co);

    if (!track.video) {
        // AAC needs the frame before to decode a frame: a roll distance of -1.
        std::string sgpd = "roll";
        appendBe32(sgpd, 2); // default description length
        appendBe32(sgpd, 1);
        appendBe16(sgpd, 0xffff);
        out += fullBox("sgpd", 1, 0, sgpd);
        std::string sbgp = "roll";
        appendBe32(sbgp, 1);
        appendBe32(sbgp, static_cast<uint32_t>(samples.size()));
        appendBe32(sbgp, 1);
        out += fullBox("sbgp", 0, 0, sbgp);
    }
    return out;
}

std::string fileHead(bool force3gp, uint64_t mdatPayload)
{
    std::string ftyp;
    if (force3gp)
        ftyp = "3gp5" + std::string("\0\0\x02\0", 4) + "3gp5isomiso2";
    else
        ftyp = "isom" + std::string("\0\0\x02\0", 4) + "isomiso2mp41";
    std::string out = box("ftyp", ftyp);
    if (mdatPayload + 8 <= UINT32_MAX) {
        out += box("free", "");
        appendBe32(out, static_cast<uint32_t>(mdatPayload + 8));
        out += "mdat";
    } else {
        appendBe32(out, 1);
        out += "mdat";
        appendBe64(out, mdatPayload + 16);
    }
    return out;
}

std::string movieBox(const std::vector<Mp4Track>& tracks, const std::vector<Chunk>& chunks)
{
    uint64_t duration = 0;
    for (const Mp4Track& t : tracks)
        duration = std::max(duration, toMovieTime(t.duration(), t.timescale));
    bool wide = duration > UINT32_MAX;
    std::string mvhd;
    putTime(mvhd, 0, wide);
    putTime(mvhd, 0, wide);
    appendBe32(mvhd, kMovieTimescale);
    putTime(mvhd, duration, wide);
    appendBe32(mvhd, 0x00010000); // rate
    appendBe16(mvhd, 0x0100); // volume
    mvhd += std::string(10, '\0');
    mvhd += kMatrix;
    mvhd += std::string(24, '\0');
    appendBe32(mvhd, static_cast<uint32_t>(tracks.size() + 1));
    std::string body = fullBox("mvhd", wide ? 1 : 0, 0, mvhd);
    for (size_t i = 0; i < tracks.size(); ++i)
        body += trackBox(tracks[i], static_cast<int>(i), chunks);
    return box("moov", body);
}

void writeMovie(std::FILE* out, const std::string& outName, const std::vector<Mp4Track>& tracks,
                const std::vector<WindowReader*>& sources, bool force3gp)
{
    std::vector<Chunk> chunks = layoutChunks(tracks, kDataStart);
    uint64_t payload = 0;
    for (const Mp4Track& t : tracks)
        for (const Mp4Sample& s : t.samples)
            payload += s.size;
    std::string head = fileHead(force3gp, payload);
    writeAll(out, head.data(), head.size(), outName);
    for (const Chunk& c : chunks) {
        const Mp4Track& track = tracks[static_cast<size_t>(c.track)];
        WindowReader& source = *sources.at(static_cast<size_t>(track.source));
        // Samples that lie end to end in the source go in one copy.
        for (size_t i = c.firstSample; i < c.firstSample + c.count;) {
            uint64_t from = track.samples[i].offset;
            uint64_t length = track.samples[i].size;
            size_t j = i + 1;
            while (j < c.firstSample + c.count && track.samples[j].offset == from + length)
                length += track.samples[j++].size;
            source.copyTo(out, from, length, outName);
            i = j;
        }
    }
    std::string moov = movieBox(tracks, chunks);
    writeAll(out, moov.data(), moov.size(), outName);
}

} // namespace qf::kit
