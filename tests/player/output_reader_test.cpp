#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/process.h"
#include "player/output_reader.h"

namespace qf::player {
namespace {

// Every line a child prints, as the reader hands them out.
std::vector<std::string> linesOf(const char* script)
{
    platform::ChildProcess child;
    EXPECT_TRUE(child.start(std::string("/bin/sh -c \"") + script + "\""));
    OutputReader reader;
    std::vector<std::string> lines;
    std::string line;
    for (int idle = 0; idle < 200;) {
        if (reader.readLine(child, line))
            lines.push_back(line);
        else if (!reader.waitForOutput(child, 10) && reader.atEnd() && !reader.hasLine())
            break;
        else
            ++idle;
    }
    child.waitExit(1000);
    return lines;
}

TEST(OutputReaderTest, LinesAsTheyCome)
{
    const std::string longLine(300, 'x');
    EXPECT_EQ(linesOf("printf 'a\\r\\nb\\n\\nlast'"), (std::vector<std::string>{"a", "b", "", "last"}));
    EXPECT_EQ(linesOf(("printf '" + longLine + "\\nok\\n'").c_str()),
              (std::vector<std::string>{std::string(255, 'x'), std::string(45, 'x'), "ok"}));
    EXPECT_EQ(linesOf("printf 'half'; sleep 0.1; printf ' done\\n'"), (std::vector<std::string>{"half done"}));
    EXPECT_TRUE(linesOf("exit 0").empty());
}

} // namespace
} // namespace qf::player
