// Which runs the encoder copies itself, and how it tells packed B-frames.
#include <gtest/gtest.h>

#include <string>

#include "bare_copy.h"
#include "encoder_test_support.h"

namespace qf::encoder {
namespace {

Command parsed(const std::string& line) {
  ParseResult r = parseCommandLine(test::splitLine(line));
  EXPECT_TRUE(r.ok) << r.error;
  return r.command;
}

TEST(BareCopy, OnlyAPlainVideoCopyIsTakenOn) {
  EXPECT_TRUE(isPlainVideoCopy(parsed(R"(-ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
  EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ss 2 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
  EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-endpos 5 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
  EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ofps 10 -ovc copy -nosound -of rawvideo -o "a.m4v" "a.avi")")));
  EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ovc copy -nosound -o "a.avi" "b.avi")")));
  EXPECT_FALSE(isPlainVideoCopy(parsed(R"(-ovc frameno -oac copy -of rawaudio -o "a.aac" "a.avi")")));
}

TEST(BareCopy, CountsVopStartCodes) {
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

}  // namespace
}  // namespace qf::encoder
