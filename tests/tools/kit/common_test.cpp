#include "common/run_program.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"
#include "kit_test_support.h"

#include <gtest/gtest.h>

namespace qf::kit {
namespace {

using namespace test;

TEST(RunProgram, PassesArgumentsUntouchedAndCapturesBothStreams)
{
    // Blanks, quotes and shell characters arrive as they are: no shell.
    ProgramResult r = runProgram({"/bin/sh", "-c", "printf '%s|' \"$@\"; echo oops >&2; exit 3", "sh", "a b", "\"q\"", "$HOME;x"});
    EXPECT_EQ(r.output, "a b|\"q\"|$HOME;x|");
    EXPECT_EQ(r.lastErrorLine(), "oops");
    EXPECT_EQ(r.exitCode, 3);
}

TEST(RunProgram, MissingProgramIsAClearError)
{
    try {
        runProgram({"qf-no-such-program-xyz"});
        ADD_FAILURE();
    } catch (const ToolError& e) {
        EXPECT_STREQ(e.what(), "qf-no-such-program-xyz not found (is it installed and on PATH?)");
    }
}

TEST(TemporaryOutput, FinalNameAppearsOnlyOnCommit)
{
    ScratchDir dir;
    writeFile(dir.file("out.bin"), "old");
    {
        TemporaryOutput out(dir.file("out.bin"));
        std::fputs("new", out.file());
        EXPECT_EQ(readFile(dir.file("out.bin")), "old");
        EXPECT_EQ(dir.names().size(), 2u);
    }
    // Abandoned: the old file stands, the partial one is gone.
    EXPECT_EQ(readFile(dir.file("out.bin")), "old");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.bin"});
    {
        TemporaryOutput out(dir.file("out.bin"));
        std::fputs("new", out.file());
        out.commit();
    }
    EXPECT_EQ(readFile(dir.file("out.bin")), "new");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.bin"});
}

TEST(TemporaryOutput, UnwritablePlacesAreClearErrors)
{
    ScratchDir dir;
    EXPECT_THROW(TemporaryOutput(dir.file("missing/out.bin")), ToolError);
    EXPECT_THROW(TemporaryOutput(dir.path()), ToolError);
    EXPECT_THROW(TemporaryOutput(""), ToolError);
}

} // namespace
} // namespace qf::kit
