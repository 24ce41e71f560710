// Bytes to lines: line ends, CR LF pairs split anywhere, pieces of long
// lines, and the unterminated last line.

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tasks/encoder_output.h"
#include "tasks/line_reader.h"

namespace qf::tasks {
namespace {

struct Case {
    const char* name;
    std::vector<std::string> chunks;
    bool ends;
    size_t maxBytes;
    std::vector<std::string> lines; // every line available after all chunks
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
        manyUpdates += progress; // 2840 bytes, no line feed
    const std::vector<Case> cases = {
        {"unterminated last line comes out at the end", {"abc"}, true, 1023, {"abc"}},
        {"unterminated line waits while output goes on", {"abc"}, false, 1023, {}},
        {"line feeds end lines and are kept", {"one\ntwo\n"}, false, 1023, {"one\n", "two\n"}},
        {"CR LF reads as LF", {"one\r\ntwo\r\n"}, false, 1023, {"one\n", "two\n"}},
        {"CR LF split between reads", {"one\r", "\ntwo\r", "", "\n"}, false, 1023, {"one\n", "two\n"}},
        {"lone CR ends the line", {"a\rb\n"}, false, 1023, {"a\n", "b\n"}},
        {"CR at the end of a read ends the line at once", {"a\r"}, false, 1023, {"a\n"}},
        {"CR then CR LF are two line ends", {"a\r\r", "\nb\r"}, true, 1023, {"a\n", "\n", "b\n"}},
        {"only blank lines", {"\n\r\n\n"}, true, 1023, {"\n", "\n", "\n"}},
        {"long line in pieces", {"abcdefg\n"}, false, 3, {"abc", "def", "g\n"}},
        {"line feed exactly at the limit", {"abc\nd"}, true, 4, {"abc\n", "d"}},
        {"last line after full lines",
         {"Pos: 1\n", "Exiting... (error parsing command line)"},
         true,
         1023,
         {"Pos: 1\n", "Exiting... (error parsing command line)"}},
        {"CR-separated updates come one by one",
         {manyUpdates.substr(0, 1000), manyUpdates.substr(1000)},
         false,
         1023,
         std::vector<std::string>(40, progress.substr(0, progress.size() - 1) + "\n")},
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

// The encoder's output of a three-hour run, as it prints it: a status line
// rewritten with carriage returns every minute of the source, then
// its closing lines.
std::string threeHourStream()
{
    std::string stream;
    char line[160];
    for (int second = 0; second <= 10800; second += 60) {
        std::snprintf(line, sizeof line, "Pos:%6.1fs %6df (%2d%%) %5.2ffps Trem:%4dmin %3dmb  A-V:0.000 [0:64]\r",
                      second + 0.0, second * 25, second * 100 / 10800, 412.5, (10800 - second) / 400, second / 100);
        stream += line;
    }
    return stream + "\nWriting index...\n\nDone: 0 frames, 10800.000 secs, 86400000 bytes\n";
}

TEST(LineReaderTest, AStatusLineCutAnywhereKeepsItsPosition)
{
    // The stream taken up at every byte of a 1023-byte stretch (as a reader
    // that came in mid-line, or pieces of a fixed size would cut it), and
    // read in reads that end at every byte of it too.
    const std::string stream = threeHourStream();
    for (size_t skip = 0; skip < 1023; ++skip) {
        LineReader reader;
        double reached = -1;
        char buffer[1024];
        const std::string_view rest = std::string_view(stream).substr(skip);
        for (size_t at = 0; at < rest.size();) {
            const size_t take = at == 0 ? skip + 1 : 1023;
            reader.append(rest.substr(at, take));
            at += take;
            while (reader.nextLine(buffer, sizeof buffer))
                reached = std::max(reached, positionFromLine(buffer).value_or(-1));
        }
        reader.finish();
        while (reader.nextLine(buffer, sizeof buffer))
            reached = std::max(reached, positionFromLine(buffer).value_or(-1));
        ASSERT_DOUBLE_EQ(reached, 10800.0) << "taken up at byte " << skip;
    }
}

} // namespace
} // namespace qf::tasks
