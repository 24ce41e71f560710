#include "common/avi_reader.h"
#include "common/tool_error.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

#include "framerate-probe/frame_rate_line.h"

namespace qf::kit {
namespace {

using namespace test;

struct AviSpec {
    uint32_t microSecPerFrame = 40000;
    uint32_t scale = 1;
    uint32_t rate = 25;
    bool audioFirst = false;
    bool junkInHeader = false;
};

// An AVI with one video stream (and optionally an audio stream first), two
// video chunks inside a 'rec ' list and one outside, and an idx1.
std::string makeAvi(const AviSpec& spec)
{
    std::string video = riffList("strl", strh("vids", "XVID", spec.scale, spec.rate, 3) + strfVideo(320, 240, "XVID"));
    std::string audio = riffList("strl", strh("auds", "\0\0\0\0", 1, 44100, 100));
    std::string hdrl = avih(spec.microSecPerFrame, 3, 2, 320, 240);
    if (spec.junkInHeader)
        hdrl += riffChunk("JUNK", "odd"); // odd size: padded
    hdrl += spec.audioFirst ? audio + video : video + audio;
    const char* v = spec.audioFirst ? "01dc" : "00dc";
    const char* a = spec.audioFirst ? "00wb" : "01wb";
    std::string movi
        = riffChunk(v, "key") + riffChunk(a, "aud") + riffList("rec ", riffChunk(v, "p1") + riffChunk(v, "p22"));
    std::string idx1;
    for (auto [id, flags] : {std::pair{v, 0x10u}, std::pair{a, 0x10u}, std::pair{v, 0u}, std::pair{v, 0u}})
        idx1 += std::string(id) + le32s({flags, 0, 0});
    std::string body = "AVI " + riffList("hdrl", hdrl) + riffList("movi", movi) + riffChunk("idx1", idx1);
    return riffChunk("RIFF", body);
}

double rateOf(const std::string& bytes)
{
    ScratchDir dir;
    writeFile(dir.file("a.avi"), bytes);
    InputFile file(dir.file("a.avi"));
    return videoFrameRate(readAviHeader(file), file.path());
}

TEST(AviReader, FrameRateComesFromTheVideoStreamHeader)
{
    struct Case {
        AviSpec spec;
        const char* line;
    };
    const Case cases[] = {
        {{33367, 1001, 30000}, "Video frame rate: 29.970"}, // avih alone would say 29.970 or 29.971
        {{33366, 1001, 30000}, "Video frame rate: 29.970"},
        {{41708, 1001, 24000}, "Video frame rate: 23.976"},
        {{40000, 1, 25, true}, "Video frame rate: 25.000"}, // audio header first is skipped
        {{100000, 1, 10, false, true}, "Video frame rate: 10.000"}, // odd-sized chunk before the streams
        {{33366, 0, 30000}, "Video frame rate: 29.971"}, // no scale: main header fallback
        {{40000, 1, 0}, "Video frame rate: 25.000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameRateLine(rateOf(makeAvi(c.spec))), c.line);
}

TEST(AviReader, RejectsFilesThatAreNotUsableAvi)
{
    std::string good = makeAvi({});
    std::string noVideo = riffChunk(
        "RIFF",
        "AVI " + riffList("hdrl", avih(40000, 0, 1, 0, 0) + riffList("strl", strh("auds", "    ", 1, 8000, 0))));
    std::string noRate = makeAvi({0, 1, 0});
    struct Case {
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"", "not a valid AVI"},
        {std::string("RIFF\x10\0\0\0WAVEfmt ", 16), "not an AVI file"},
        {good.substr(0, 60), "header list cut short"},
        {good.substr(0, 11), "not a valid AVI"},
        {noVideo, "has no video stream"},
        {noRate, "states no video frame rate"},
    };
    for (const Case& c : cases) {
        try {
            rateOf(c.bytes);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const ToolError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(AviReader, MissingFileIsAClearError)
{
    ScratchDir dir;
    try {
        InputFile file(dir.file("absent.avi"));
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.avi"), std::string::npos);
    }
}

TEST(AviReader, ListsVideoChunksInsideRecListsWithIndexKeyframes)
{
    ScratchDir dir;
    writeFile(dir.file("a.avi"), makeAvi({}));
    InputFile file(dir.file("a.avi"));
    AviHeader h = readAviHeader(file);
    ASSERT_EQ(h.firstVideoStream(), 0);
    EXPECT_EQ(h.streams[0].compression, "XVID");
    EXPECT_EQ(h.streams[0].width, 320u);
    std::vector<AviChunk> chunks = streamChunks(file, h, 0);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(file.read(chunks[0].offset, chunks[0].size), "key");
    EXPECT_EQ(file.read(chunks[2].offset, chunks[2].size), "p22");
    EXPECT_EQ(indexKeyframes(file, h, 0), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(streamChunks(file, h, 1).size(), 1u);
}

TEST(AviReader, DataChunkRunningPastItsListIsAnError)
{
    std::string avi = makeAvi({});
    // Grow the first data chunk's size field beyond its list.
    size_t at = avi.find("00dc");
    writeLe32(reinterpret_cast<uint8_t*>(avi.data()) + at + 4, 100000);
    ScratchDir dir;
    writeFile(dir.file("a.avi"), avi);
    InputFile file(dir.file("a.avi"));
    AviHeader h = readAviHeader(file);
    EXPECT_THROW(streamChunks(file, h, 0), ToolError);
}

} // namespace
} // namespace qf::kit
