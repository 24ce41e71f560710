// Bytes to lines: line ends, CR LF pairs split anywhere, pieces of long
// lines, and the unterminated last line.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tasks/line_reader.h"

namespace qf::tasks {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> chunks;
    bool ends;
    size_t maxBytes;
    std::vector<std::string> lines;   // every line available after all chunks
};

std::vector<std::string> drain(LineReader& reader, size_t maxBytes)
{
    std::vector<std::string> lines;
    std::string line;
    while (reader.nextLine(line, maxBytes))
        lines.push_back(line);
    return lines;
}

TEST(LineReaderTest, Table)
{
    const std::string progress = "Pos:   1.0s     25f ( 4%)  0.00fps Trem:   0min   0mb  A-V:0.000 [0:0]\r";
    std::string manyUpdates;
    for (int i = 0; i < 40; ++i)
        manyUpdates += progress;   // 2840 bytes, no line feed
    const std::vector<Case> cases = {
        {"unterminated last line comes out at the end", {"abc"}, true, 1023, {"abc"}},
        {"unterminated line waits while output goes on", {"abc"}, false, 1023, {}},
        {"line feeds end lines and are kept", {"one\ntwo\n"}, false, 1023, {"one\n", "two\n"}},
        {"CR LF reads as LF", {"one\r\ntwo\r\n"}, false, 1023, {"one\n", "two\n"}},
        {"CR LF split between reads", {"one\r", "\ntwo\r", "", "\n"}, false, 1023, {"one\n", "two\n"}},
        {"lone CR stays in the line", {"a\rb\n"}, false, 1023, {"a\rb\n"}},
        {"held CR that is not followed by LF", {"a\r", "b\n"}, false, 1023, {"a\rb\n"}},
        {"CR at the very end is kept", {"abc\r"}, true, 1023, {"abc\r"}},
        {"only blank lines", {"\n\r\n\n"}, true, 1023, {"\n", "\n", "\n"}},
        {"long line in pieces", {"abcdefg\n"}, false, 3, {"abc", "def", "g\n"}},
        {"line feed exactly at the limit", {"abc\nd"}, true, 4, {"abc\n", "d"}},
        {"last line after full lines", {"Pos: 1\n", "Exiting... (error parsing command line)"}, true, 1023,
         {"Pos: 1\n", "Exiting... (error parsing command line)"}},
        {"CR-separated updates in pieces of 1023", {manyUpdates}, true, 1023,
         {manyUpdates.substr(0, 1023), manyUpdates.substr(1023, 1023), manyUpdates.substr(2046)}},
        {"nothing at all", {}, true, 1023, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LineReader reader;
        for (const std::string& chunk : c.chunks)
            reader.append(chunk);
        if (c.ends)
            reader.finish();
        EXPECT_EQ(drain(reader, c.maxBytes), c.lines);
        EXPECT_EQ(reader.exhausted(), c.ends);
    }
}

TEST(LineReaderTest, CharacterBufferGetsAtMostSizeLessOneBytes)
{
    LineReader reader;
    reader.append("abcdef\n");
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(reader.nextLine(buffer, 1));
    ASSERT_TRUE(reader.nextLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "abc");
    ASSERT_TRUE(reader.nextLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "def");
    ASSERT_TRUE(reader.nextLine(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "\n");
    EXPECT_FALSE(reader.nextLine(buffer, sizeof buffer));
}

TEST(LineReaderTest, ManySmallReadsKeepEveryByte)
{
    LineReader reader;
    std::string all;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string line = "line " + std::to_string(i) + "\r\n";
        expected += "line " + std::to_string(i) + "\n";
        for (char c : line)
            reader.append(std::string_view(&c, 1));
        std::string got;
        while (reader.nextLine(got, 1023))
            all += got;
    }
    reader.finish();
    EXPECT_EQ(all, expected);
    EXPECT_TRUE(reader.exhausted());
}

} // namespace
} // namespace qf::tasks
