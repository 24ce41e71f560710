// The muxer's own MP4 writing: raw streams cut into samples, the sample
// tables, the file head, and an existing file read back into samples.

#include "common/box_reader.h"
#include "common/byte_order.h"
#include "common/tool_error.h"
#include "common/window_reader.h"
#include "kit_test_support.h"
#include "mp4-muxer/mp4_movie.h"
#include "mp4-muxer/raw_streams.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace qf::kit {
namespace {

using test::ScratchDir;

class BitWriter {
public:
    void put(uint32_t value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>((current_ << 1) | ((value >> i) & 1u));
            if (++used_ == 8)
                flush();
        }
    }
    // Pads with ones, which cannot make a start code.
    std::string bytes()
    {
        while (used_ != 0)
            put(1, 1);
        return out_;
    }

private:
    void flush()
    {
        out_ += static_cast<char>(current_);
        current_ = 0;
        used_ = 0;
    }
    std::string out_;
    uint8_t current_ = 0;
    int used_ = 0;
};

const std::string kStart("\0\0\1", 3);

// VOS, VO, a VOL of 176x144 at a fixed 25 per second (5-bit increments),
// and user data.
std::string streamHead()
{
    BitWriter vol;
    vol.put(0, 1); // random_accessible_vol
    vol.put(1, 8); // simple object
    vol.put(0, 1); // no layer identifier
    vol.put(1, 4); // square pixels
    vol.put(0, 1); // no control parameters
    vol.put(0, 2); // rectangular
    vol.put(1, 1);
    vol.put(25, 16); // time resolution
    vol.put(1, 1);
    vol.put(1, 1); // fixed VOP rate
    vol.put(1, 5);
    vol.put(1, 1);
    vol.put(176, 13);
    vol.put(1, 1);
    vol.put(144, 13);
    vol.put(1, 1);
    return kStart + "\xb0\x03" + kStart + "\xb5\x09" + kStart + std::string("\x00", 1) + kStart + "\x20" + vol.bytes()
        + kStart + "\xb2XviD0069";
}

// coding type 0 I, 1 P, 2 B; payload bytes that hold no start code.
std::string vop(uint32_t type, size_t payload = 40, bool coded = true)
{
    BitWriter b;
    b.put(type, 2);
    b.put(0, 1); // modulo_time_base
    b.put(1, 1);
    b.put(3, 5); // time increment
    b.put(1, 1);
    b.put(coded ? 1 : 0, 1);
    return kStart + "\xb6" + b.bytes() + std::string(payload, '\xaa');
}

const std::string kGov = kStart + "\xb3" + "\x12\x34\x56";

TEST(M4vSplitter, CutsAtTheStartCodeAfterEachVopAndMarksIntraVops)
{
    const std::string head = streamHead();
    const std::string stream = head + vop(0) + vop(1, 10) + kGov + vop(0, 70) + vop(1, 5);
    MemorySource source(stream);
    M4vStream s = splitM4v(source);
    ASSERT_EQ(s.doubt, "");
    EXPECT_EQ(s.decoderConfig, head);
    EXPECT_EQ(s.timeResolution, 25u);
    ASSERT_EQ(s.samples.size(), 4u);
    // The headers stay in the first sample; the GOV opens its I-VOP's.
    const std::vector<std::string> expected = {head + vop(0), vop(1, 10), kGov + vop(0, 70), vop(1, 5)};
    uint64_t at = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.samples[i].offset, at);
        EXPECT_EQ(s.samples[i].size, expected[i].size());
        at += expected[i].size();
    }
    EXPECT_EQ((std::vector<bool>{s.samples[0].sync, s.samples[1].sync, s.samples[2].sync, s.samples[3].sync}),
              (std::vector<bool>{true, false, true, false}));
}

TEST(M4vSplitter, FindsStartCodesAcrossItsReadingBlocks)
{
    // A start code at every position around the first 1 MiB block's end.
    const std::string head = streamHead();
    for (size_t shift = 0; shift < 8; ++shift) {
        SCOPED_TRACE(shift);
        std::string first = head + vop(0);
        size_t pad = (1u << 20) - 6 + shift - first.size() - vop(1, 0).size();
        std::string stream = first + vop(1, pad) + vop(1, 20) + vop(1, 3);
        MemorySource source(stream);
        M4vStream s = splitM4v(source);
        ASSERT_EQ(s.doubt, "");
        ASSERT_EQ(s.samples.size(), 4u);
        EXPECT_EQ(s.samples[2].offset, (1u << 20) - 6 + shift);
        EXPECT_EQ(s.samples[3].offset + s.samples[3].size, stream.size());
    }
}

TEST(M4vSplitter, LeavesWhatItWouldNotCopyExactlyToFfmpeg)
{
    const std::string head = streamHead();
    const std::pair<const char*, std::string> cases[] = {
        {"B-VOPs", head + vop(0) + vop(2)},
        {"not-coded VOPs", head + vop(0) + vop(1, 0, false)},
        {"bytes after the last VOP", head + vop(0) + kStart + "\xb2trailing"},
        {"no video object layer with a fixed VOP rate", kStart + "\xb0\x03" + vop(0)},
        {"no VOP", head},
        {"an unreadable VOP header", head + vop(0) + kStart + "\xb6"},
    };
    for (const auto& [why, stream] : cases) {
        SCOPED_TRACE(why);
        MemorySource source(stream);
        M4vStream s = splitM4v(source);
        EXPECT_EQ(s.doubt, why);
        EXPECT_TRUE(s.samples.empty());
    }
}

TEST(WindowReader, ReadsAndCopiesAnyRangeOfAFileLargerThanItsWindow)
{
    ScratchDir dir;
    std::string bytes;
    for (uint32_t i = 0; bytes.size() < 3 * WindowReader::kWindow; ++i)
        appendBe32(bytes, i * 2654435761u);
    test::writeFile(dir.file("big"), bytes);
    WindowReader reader(dir.file("big"));
    ASSERT_EQ(reader.size(), bytes.size());
    // Forward, backward, across the window's end, and at the file's end.
    const std::pair<uint64_t, size_t> views[] = {{0, 100},
                                                 {WindowReader::kWindow - 10, 50},
                                                 {5, 7},
                                                 {2 * WindowReader::kWindow + 3, WindowReader::kWindow},
                                                 {bytes.size() - 4, 100}};
    for (const auto& [offset, n] : views) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(reader.viewUpTo(offset, n), std::string_view(bytes).substr(offset, n));
    }
    EXPECT_TRUE(reader.viewUpTo(bytes.size(), 10).empty());

    std::FILE* out = std::fopen(dir.file("copy").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    reader.copyTo(out, 3, bytes.size() - 3, "copy");
    reader.copyTo(out, 0, 3, "copy");
    std::fclose(out);
    EXPECT_EQ(test::readFile(dir.file("copy")), bytes.substr(3) + bytes.substr(0, 3));
    out = std::fopen(dir.file("copy").c_str(), "wb");
    EXPECT_THROW(reader.copyTo(out, bytes.size() - 2, 3, "copy"), ToolError);
    std::fclose(out);
    EXPECT_THROW(WindowReader(dir.path()), ToolError);
    EXPECT_THROW(WindowReader(dir.file("absent")), ToolError);
}

// One ADTS frame: LC, 44100 Hz (index 4), stereo, one raw block.
std::string adtsFrame(const std::string& raw, bool crc, uint32_t rateIndex = 4, uint32_t blocks = 0)
{
    size_t length = raw.size() + (crc ? 9 : 7);
    std::string h(7, '\0');
    h[0] = '\xff';
    h[1] = static_cast<char>(crc ? 0xf0 : 0xf1);
    h[2] = static_cast<char>((1u << 6) | (rateIndex << 2) | 0);
    h[3] = static_cast<char>((2u << 6) | ((length >> 11) & 3));
    h[4] = static_cast<char>((length >> 3) & 0xff);
    h[5] = static_cast<char>(((length & 7) << 5) | 0x1f);
    h[6] = static_cast<char>(0xfc | blocks);
    return h + (crc ? std::string("\x12\x34", 2) : "") + raw;
}

TEST(AdtsSplitter, KeepsTheRawFramesAndDescribesThem)
{
    const std::string stream = adtsFrame("first", false) + adtsFrame("second!", true) + adtsFrame("3", false);
    MemorySource source(stream);
    AdtsStream s = splitAdts(source);
    ASSERT_EQ(s.doubt, "");
    EXPECT_EQ(s.sampleRate, 44100u);
    EXPECT_EQ(s.channels, 2u);
    EXPECT_EQ(s.audioSpecificConfig, std::string("\x12\x10", 2)); // LC, 44100, stereo
    ASSERT_EQ(s.samples.size(), 3u);
    const char* raws[] = {"first", "second!", "3"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(stream.substr(s.samples[i].offset, s.samples[i].size), raws[i]);
}

TEST(AdtsSplitter, LeavesOddStreamsToFfmpeg)
{
    const std::string good = adtsFrame("abc", false);
    const std::pair<const char*, std::string> cases[] = {
        {"several raw blocks in a frame at byte 10", good + adtsFrame("abc", false, 4, 1)},
        {"a change of profile, sample rate or channels at byte 10", good + adtsFrame("abc", false, 3)},
        {"a sample rate an MP4 sample entry cannot hold at byte 0", adtsFrame("abc", false, 0)},
        {"a bad frame length at byte 10", good + good.substr(0, 9)},
        {"a truncated frame header at byte 10", good + good.substr(0, 5)},
        {"no frame sync at byte 0", "plain text, not a stream"},
    };
    for (const auto& [why, stream] : cases) {
        SCOPED_TRACE(why);
        MemorySource source(stream);
        EXPECT_EQ(splitAdts(source).doubt, why);
    }
}

Mp4Track trackOf(bool video, uint32_t timescale, const std::vector<std::pair<uint32_t, uint32_t>>& sizeAndDuration)
{
    Mp4Track t;
    t.video = video;
    t.timescale = timescale;
    uint64_t at = 0;
    for (auto [size, duration] : sizeAndDuration) {
        t.samples.push_back({at, size, duration, true});
        at += size;
    }
    return t;
}

// The boxes of a sample table, by type.
std::map<std::string, std::string> boxesByType(std::string_view bytes)
{
    std::map<std::string, std::string> out;
    BoxView box;
    for (BoxReader reader(bytes); !reader.atEnd();) {
        if (reader.next(box) != BoxFault::None) {
            ADD_FAILURE() << "a malformed box after " << out.size();
            break;
        }
        out[box.header.type] = std::string(box.body.substr(4)); // after version/flags
    }
    return out;
}

TEST(SampleTables, RunLengthsChunkRunsAndSyncSamples)
{
    Mp4Track video = trackOf(true, 90000, {{10, 3003}, {11, 3003}, {12, 3003}, {13, 3004}, {14, 3003}});
    video.samples[1].sync = false;
    video.samples[2].sync = false;
    video.samples[4].sync = false;
    std::vector<Chunk> chunks = {{0, 0, 2, 100}, {1, 0, 7, 121}, {0, 2, 2, 300}, {0, 4, 1, 400}};
    auto boxes = boxesByType(sampleTableBoxes(video, 0, chunks));
    using test::be32s;
    EXPECT_EQ(boxes["stts"], be32s({3, 3, 3003, 1, 3004, 1, 3003}));
    EXPECT_EQ(boxes["stss"], be32s({2, 1, 4}));
    EXPECT_EQ(boxes["stsc"], be32s({2, 1, 2, 1, 3, 1, 1})); // chunks 1-2 hold 2, chunk 3 holds 1
    EXPECT_EQ(boxes["stsz"], be32s({0, 5, 10, 11, 12, 13, 14}));
    EXPECT_EQ(boxes["stco"], be32s({3, 100, 300, 400}));
    EXPECT_EQ(boxes.count("co64"), 0u);
    EXPECT_EQ(boxes.count("sgpd"), 0u);

    // All sync: no stss. Equal sizes: one size. Sound: AAC's roll group.
    Mp4Track sound = trackOf(false, 44100, {{7, 1024}, {7, 1024}});
    auto soundBoxes = boxesByType(sampleTableBoxes(sound, 1, chunks));
    EXPECT_EQ(soundBoxes.count("stss"), 0u);
    EXPECT_EQ(soundBoxes["stsz"], be32s({7, 2}));
    EXPECT_EQ(soundBoxes["stco"], be32s({1, 121}));
    EXPECT_EQ(soundBoxes["sbgp"], "roll" + be32s({1, 2, 1}));
}

TEST(SampleTables, OffsetsBeyondFourGibUse64Bits)
{
    // Five samples of 1 GiB a second each: five chunks, the last ones past 4 GiB.
    const uint32_t gib = 1u << 30;
    std::vector<Mp4Track> tracks = {trackOf(true, 25, {{gib, 25}, {gib, 25}, {gib, 25}, {gib, 25}, {gib, 25}})};
    std::vector<Chunk> chunks = layoutChunks(tracks, kDataStart);
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_EQ(chunks[4].offset, kDataStart + 4ull * gib);
    auto boxes = boxesByType(sampleTableBoxes(tracks[0], 0, chunks));
    ASSERT_EQ(boxes.count("co64"), 1u);
    std::string expected = test::be32s({5});
    for (uint64_t i = 0; i < 5; ++i)
        appendBe64(expected, kDataStart + i * gib);
    EXPECT_EQ(boxes["co64"], expected);

    // The mdat header takes the free box's place: the samples start at the same offset.
    std::string small = fileHead(false, 1000);
    std::string large = fileHead(false, 5ull * gib);
    ASSERT_EQ(small.size(), kDataStart);
    ASSERT_EQ(large.size(), kDataStart);
    EXPECT_EQ(small.substr(28), test::box("free", "") + test::be32s({1008}) + "mdat");
    EXPECT_EQ(large.substr(28, 8), test::be32s({1}) + "mdat");
    EXPECT_EQ(readBe64(bytesOf(large) + 36), 5ull * gib + 16);
    EXPECT_EQ(fileHead(true, 10).substr(4, 16),
              std::string("ftyp3gp5\0\0\x02\0"
                          "3gp5",
                          16));
}

TEST(SampleTables, ChunksOfAboutASecondInterleavedByTime)
{
    // Video at 10 per second for 2.5 s, sound at 1000/1024 frames a second.
    std::vector<std::pair<uint32_t, uint32_t>> frames(25, {100, 9000});
    std::vector<std::pair<uint32_t, uint32_t>> sound(25, {10, 1024});
    std::vector<Mp4Track> tracks = {trackOf(true, 90000, frames), trackOf(false, 10240, sound)};
    std::vector<Chunk> chunks = layoutChunks(tracks, kDataStart);
    std::vector<std::pair<int, size_t>> order;
    for (const Chunk& c : chunks)
        order.emplace_back(c.track, c.count);
    EXPECT_EQ(order, (std::vector<std::pair<int, size_t>>{{0, 10}, {1, 10}, {0, 10}, {1, 10}, {0, 5}, {1, 5}}));
    uint64_t at = kDataStart;
    for (const Chunk& c : chunks) {
        EXPECT_EQ(c.offset, at);
        at += c.count * (c.track == 0 ? 100 : 10);
    }
}

// A file written from one raw stream, and its raw stream.
struct Written {
    std::string path;
    std::string stream;
    M4vStream split;
};

Written writeVideoFile(const ScratchDir& dir, bool force3gp)
{
    Written w;
    w.stream = streamHead() + vop(0) + vop(1, 10) + kGov + vop(0, 70) + vop(1, 5);
    test::writeFile(dir.file("in.m4v"), w.stream);
    w.path = dir.file(force3gp ? "out.3gp" : "out.mp4");
    WindowReader input(dir.file("in.m4v"));
    w.split = splitM4v(input);
    std::vector<Mp4Track> tracks = {videoTrack(w.split, {10, 1}, 1, !force3gp)};
    std::FILE* out = std::fopen(w.path.c_str(), "wb");
    writeMovie(out, w.path, tracks, {&input}, force3gp);
    std::fclose(out);
    return w;
}

TEST(ExistingMovie, ReadsBackTheSamplesItWrote)
{
    for (bool force3gp : {false, true}) {
        SCOPED_TRACE(force3gp);
        ScratchDir dir;
        Written w = writeVideoFile(dir, force3gp);
        std::string file = test::readFile(w.path);
        MemorySource source(file);
        ExistingMovie movie = readMovie(source);
        ASSERT_EQ(movie.doubt, "");
        ASSERT_EQ(movie.tracks.size(), 1u);
        const Mp4Track& t = movie.tracks[0];
        EXPECT_TRUE(t.video);
        EXPECT_EQ(t.timescale, 90000u);
        EXPECT_EQ(t.width, 176u << 16);
        EXPECT_EQ(t.height, 144u << 16);
        ASSERT_EQ(t.samples.size(), w.split.samples.size());
        for (size_t i = 0; i < t.samples.size(); ++i) {
            SCOPED_TRACE(i);
            const RawSample& raw = w.split.samples[i];
            EXPECT_EQ(file.substr(t.samples[i].offset, t.samples[i].size), w.stream.substr(raw.offset, raw.size));
            EXPECT_EQ(t.samples[i].duration, 9000u);
            EXPECT_EQ(t.samples[i].sync, raw.sync);
        }
        // The sample description holds the stream's headers in its esds.
        EXPECT_NE(t.sampleDescriptions.find(w.split.decoderConfig), std::string::npos);
    }
}

void replaceOnce(std::string& bytes, const std::string& from, const std::string& to)
{
    size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    bytes.replace(at, from.size(), to);
}

TEST(ExistingMovie, LeavesFilesItCannotKeepExactlyToFfmpeg)
{
    ScratchDir dir;
    Written w = writeVideoFile(dir, false);
    const std::string good = test::readFile(w.path);
    auto doubtOf = [](const std::string& bytes) {
        MemorySource source(bytes);
        ExistingMovie m = readMovie(source);
        EXPECT_TRUE(m.tracks.empty());
        return m.doubt;
    };
    std::string other = good;
    replaceOnce(other, "mp4v", "avc1");
    EXPECT_EQ(doubtOf(other), "a codec other than MPEG-4 video or AAC");
    std::string reordered = good;
    replaceOnce(reordered, "stss", "ctts");
    EXPECT_EQ(doubtOf(reordered), "a ctts box in stbl");
    std::string edited = good;
    // The edit list's media time: after version/flags, count and duration.
    size_t elst = edited.find("elst");
    ASSERT_NE(elst, std::string::npos);
    edited[elst + 4 + 4 + 4 + 4 + 3] = '\x05';
    EXPECT_EQ(doubtOf(edited), "an edit list");
    EXPECT_EQ(doubtOf(good + test::box("moof", "")), "a fragmented file");
    // A second track.
    size_t trak = good.find("trak") - 4;
    std::string trakBox = good.substr(trak, readBe32(bytesOf(good) + trak));
    std::string twoTracks = good + trakBox;
    size_t moov = good.find("moov") - 4;
    writeBe32(reinterpret_cast<uint8_t*>(twoTracks.data()) + moov, static_cast<uint32_t>(twoTracks.size() - moov));
    EXPECT_EQ(doubtOf(twoTracks), "more than one track");
    // Samples beyond the media data: an mdat cut short.
    std::string cut = good.substr(0, 100) + good.substr(good.find("moov") - 4);
    writeBe32(reinterpret_cast<uint8_t*>(cut.data()) + 36, 64);
    EXPECT_EQ(doubtOf(cut), "a sample outside the media data");
    // Or wholly after it: the samples' mdat renamed, an empty one before it.
    std::string moved = good;
    replaceOnce(moved, "mdat", "skip");
    replaceOnce(moved, "free", "mdat");
    EXPECT_EQ(doubtOf(moved), "a sample outside the media data");
    EXPECT_EQ(doubtOf("not an mp4 file at all"), "a box running past the end");
}

} // namespace
} // namespace qf::kit
