// Which runs the encoder copies itself, how it tells packed B-frames, and
// the ADTS headers it puts before AAC frames.
#include <gtest/gtest.h>

#include <string>

#include "bare_copy.h"
#include "encoder_test_support.h"

namespace qf::encoder {
namespace {

Command parsed(const std::string& line)
{
    ParseResult r = parseCommandLine(test::splitLine(line));
    EXPECT_TRUE(r.ok) << r.error;
    return r.command;
}

TEST(BareCopy, OnlyAPlainVideoCopyIsTakenOn)
{
    EXPECT_TRUE(isPlainVideoCopy(parsed(R"(-ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
    EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ss 2 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
    EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-endpos 5 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
    EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ofps 10 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
    EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ovc copy -nosound -o "a.avi" "b.avi")")));
    EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ovc frameno -oac copy -of rawaudio -o "a.aac" "a.avi")")));

    EXPECT_TRUE(isPlainAudioCopy(parsed(R"(-ovc frameno -oac copy -of rawaudio -o "a.aac" "a.avi")")));
    EXPECT_FALSE(isPlainAudioCopy(parsed(R"(-aid 2 -ovc frameno -oac copy -of rawaudio -o "a.aac" "a.avi")")));
    EXPECT_FALSE(isPlainAudioCopy(parsed(R"(-ss 1 -ovc frameno -oac copy -of rawaudio -o "a.aac" "a.avi")")));
    EXPECT_FALSE(isPlainAudioCopy(parsed(R"(-ovc frameno -oac faac -of rawaudio -o "a.aac" "a.avi")")));
}

TEST(BareCopy, AdtsCarriesOnlyWhatItsHeaderCanSay)
{
    using namespace std::string_literals;
    // LC, 22050 Hz, mono (with an SBR sync extension after it).
    std::optional<AacConfig> lc = readAacConfig("\x13\x88\x56\xe5\x00"s);
    ASSERT_TRUE(lc);
    EXPECT_EQ(lc->objectType, 2);
    EXPECT_EQ(lc->frequencyIndex, 7);
    EXPECT_EQ(lc->channelConfig, 1);
    EXPECT_FALSE(readAacConfig("\x12"s)); // cut short
    EXPECT_FALSE(readAacConfig("\x2b\x88"s)); // HE-AAC as object type 5
    EXPECT_FALSE(readAacConfig("\x17\x88"s)); // explicit frequency (index 15)
    EXPECT_FALSE(readAacConfig("\x12\x00"s)); // channels from a PCE
}

TEST(BareCopy, AdtsHeaderFields)
{
    AacConfig stereo48k{2, 3, 2};
    // 0xFFF1: MPEG-4, no CRC; LC at index 3, two channels, length 7 + 371.
    EXPECT_EQ(adtsHeader(stereo48k, 371), std::string("\xff\xf1\x4c\x80\x2f\x5f\xfc", 7));
    EXPECT_EQ(adtsHeader(stereo48k, 0x1fff - 7).size(), 7u);
    EXPECT_TRUE(adtsHeader(stereo48k, 0x1fff - 6).empty()); // the 13-bit length would overflow
}

TEST(BareCopy, CountsVopStartCodes)
{
    using namespace std::string_literals;
    const std::string vol = "\0\0\1\xb0\x01\0\0\1\x20\x08"s;
    const std::string vop = "\0\0\1\xb6\x10\x20"s;
    EXPECT_EQ(countVops(""), 0);
    EXPECT_EQ(countVops(vol), 0);
    EXPECT_EQ(countVops(vol + vop), 1);
    // A packed chunk: a P-VOP followed by the B-VOP it carries.
    EXPECT_EQ(countVops(vop + "\x55\x66"s + vop), 2);
    // A start code cut at the chunk's end is no VOP.
    EXPECT_EQ(countVops("\0\0\1"s), 0);
}

} // namespace
} // namespace qf::encoder
