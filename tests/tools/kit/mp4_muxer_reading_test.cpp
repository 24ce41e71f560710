#include "common/byte_order.h"
#include "common/file_bytes.h"
#include "kit_test_support.h"
#include "mp4-muxer/mp4_tracks.h"
#include "mp4-muxer/vol_header.h"

#include <gtest/gtest.h>

namespace qf::kit {
namespace {

using test::box;

std::string fromHex(std::string_view hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

// Stream heads as ffmpeg 5.1 writes them: VOS, VO, VOL (and user data).
// libxvid declares a fixed VOP rate; ffmpeg's own mpeg4 encoder does not.
constexpr std::string_view kXvid10 = "000001b003000001b509000001000000012000bc0406c4002b182c2090a31f000001b258766944";
constexpr std::string_view kXvidNtsc = "000001b003000001b509000001000000012000bc0406c5d4c307d30584121463000001b2";
constexpr std::string_view kXvidFilm = "000001b003000001b509000001000000012000bc0406c5770307d30584121463000001b2";
constexpr std::string_view kXvid25 = "000001b003000001b509000001000000012000bc0406c400670c161048518f000001b2";
constexpr std::string_view kLavc10 = "000001b001000001b58913000001000000012000c48d8800550584121443000001b2";

TEST(VolHeader, ReadsTheDeclaredFixedRate)
{
    const std::pair<std::string_view, Fraction> cases[]
        = {{kXvid10, {10, 1}}, {kXvidNtsc, {30000, 1001}}, {kXvidFilm, {24000, 1001}}, {kXvid25, {25, 1}}};
    for (const auto& [hex, rate] : cases) {
        SCOPED_TRACE(hex);
        std::optional<Fraction> got = declaredVolRate(fromHex(hex));
        ASSERT_TRUE(got);
        EXPECT_EQ(got->num * rate.den, rate.num * got->den);
    }
}

TEST(VolHeader, LeavesTheRateToTheProberWhenItIsNotDeclared)
{
    // No fixed VOP rate: only the timestamps tell.
    EXPECT_FALSE(declaredVolRate(fromHex(kLavc10)));
    // A VOP before any VOL, a VOL cut inside its timing fields, no start code.
    EXPECT_FALSE(declaredVolRate(fromHex("000001b6" + std::string(kXvid10))));
    std::string cut = fromHex(kXvid10);
    EXPECT_FALSE(declaredVolRate(cut.substr(0, cut.find(fromHex("00000120")) + 8)));
    EXPECT_FALSE(declaredVolRate(""));
    EXPECT_FALSE(declaredVolRate("plain text, not a stream"));
    // A zero resolution or increment is no rate.
    EXPECT_FALSE(declaredVolRate(fromHex("000001200000000000000000")));
}

TEST(Mp4Tracks, CountsTheTrakBoxesOfAMoov)
{
    std::string trak = box("trak", box("tkhd", std::string(84, '\0')));
    EXPECT_EQ(countTrakBoxes(box("mvhd", std::string(100, '\0')) + trak + trak), 2);
    EXPECT_EQ(countTrakBoxes(box("mvhd", std::string(100, '\0')) + box("udta", "")), 0);
    // A 64-bit size form counts the same.
    std::string large = test::be32s({1}) + "trak" + std::string(4, '\0') + test::be32s({16});
    EXPECT_EQ(countTrakBoxes(large + trak), 2);
    // Sizes that overrun, undercut their header or leave bytes over are malformed.
    EXPECT_FALSE(countTrakBoxes(test::be32s({400}) + "trak"));
    EXPECT_FALSE(countTrakBoxes(test::be32s({4}) + "trak"));
    EXPECT_FALSE(countTrakBoxes(trak + "xyz"));
    EXPECT_FALSE(countTrakBoxes(test::be32s({8}) + std::string("\x01\x02\x03\x04", 4)));
}

TEST(Mp4Tracks, FindsTheMoovInAFileOrRefusesWhatIsNoMediaFile)
{
    test::ScratchDir dir;
    std::string trak = box("trak", box("tkhd", std::string(84, '\0')));
    const std::pair<std::string, std::optional<int>> cases[] = {
        {box("ftyp", "3gp5") + box("mdat", std::string(1000, 'x')) + box("moov", box("mvhd", "") + trak), 1},
        {box("ftyp", "isom") + box("moov", trak + trak) + box("mdat", "xx"), 2},
        // mdat running to the end (size 0) before the moov hides it: no moov.
        {box("ftyp", "isom") + test::be32s({0}) + "mdat" + box("moov", trak), std::nullopt},
        {"precious", std::nullopt},
        {box("ftyp", "isom") + box("mdat", "x"), std::nullopt},
        {box("ftyp", "isom") + test::be32s({9000}) + "moov", std::nullopt},
    };
    int n = 0;
    for (const auto& [bytes, tracks] : cases) {
        SCOPED_TRACE(n);
        std::string path = dir.file("f" + std::to_string(n++) + ".mp4");
        test::writeFile(path, bytes);
        InputFile in(path);
        EXPECT_EQ(countMp4Tracks(in), tracks);
    }
}

} // namespace
} // namespace qf::kit
