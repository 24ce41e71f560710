#include "common/box_reader.h"
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

TEST(BoxReader, ReadsEachSizeFormAndRefusesABoxPastItsParent)
{
    std::string large = test::be32s({1}) + "mdat" + test::be32s({0, 20}) + "abcd";
    struct Row {
        std::string bytes;
        uint64_t available;
        BoxFault fault;
        SizeForm form;
        uint64_t size;
    } rows[] = {
        {box("free", "xy"), 10, BoxFault::None, SizeForm::Compact, 10},
        {large, 20, BoxFault::None, SizeForm::Large, 20},
        {test::be32s({0}) + "mdat", 100, BoxFault::None, SizeForm::ToEnd, 100},
        {box("free", "xy"), 9, BoxFault::BadSize, SizeForm::Compact, 10},
        {test::be32s({7}) + "free", 100, BoxFault::BadSize, SizeForm::Compact, 7},
        {test::be32s({1}) + "mdat" + test::be32s({0, 15}), 100, BoxFault::BadSize, SizeForm::Large, 15},
        {large.substr(0, 12), 12, BoxFault::CutShort, SizeForm::Large, 0},
        {large, 12, BoxFault::CutShort, SizeForm::Large, 0},
        {test::be32s({8}) + "fre", 7, BoxFault::CutShort, SizeForm::Compact, 0},
    };
    for (const Row& r : rows) {
        BoxHeader h;
        EXPECT_EQ(readBoxHeader(r.bytes, r.available, h), r.fault) << r.bytes.size() << " of " << r.available;
        if (r.fault != BoxFault::CutShort) {
            EXPECT_EQ(h.form, r.form);
            EXPECT_EQ(h.size, r.size);
        }
    }

    // A span: each body, then a stop at the box that overruns, going no further.
    std::string span = box("ftyp", "isom") + box("free", "") + test::be32s({100}) + "mdat";
    BoxReader reader(span);
    BoxView b;
    ASSERT_EQ(reader.next(b), BoxFault::None);
    EXPECT_EQ(b.header.type + std::string(b.body), "ftypisom");
    ASSERT_EQ(reader.next(b), BoxFault::None);
    EXPECT_EQ(b.body, "");
    EXPECT_EQ(reader.next(b), BoxFault::BadSize);
    EXPECT_EQ(reader.next(b), BoxFault::BadSize);
    EXPECT_FALSE(reader.atEnd());
}

TEST(ByteCursor, ReadsInOrderAndFailsInsteadOfOverrunning)
{
    ByteCursor in(std::string_view("\x12\x34\x56\x78\x9a\xbc\xde", 7));
    EXPECT_EQ(in.be16(), 0x1234u);
    EXPECT_EQ(in.le32(), 0xbc9a7856u);
    EXPECT_EQ(in.remaining(), 1u);
    EXPECT_EQ(in.be32(), 0u); // three bytes short: nothing read
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.u8(), 0u); // the byte that was left stays unread after a failure
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_FALSE(in.skip(0));

    ByteCursor wide(std::string_view("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    EXPECT_EQ(wide.be64(), 0x0102030405060708u);
    EXPECT_TRUE(wide.ok() && wide.skip(0) && wide.take(0).empty());
    EXPECT_FALSE(wide.skip(1));
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
