// The helper tools are started from these exact texts; a blank too many or
// too few changes how the probe and the muxers read their arguments.

#include "tasks/post_processing_commands.h"

#include <string>

#include <gtest/gtest.h>

namespace qf::tasks {
namespace {

TEST(PostProcessingCommands, ExactCommandLines)
{
    core::ToolPaths tools;
    tools.build("/opt/q f"); // a blank in the program directory too
    const std::string enc = tools.encoderPath.c_str();
    const std::string probe = tools.frameRateProbePath.c_str();
    const std::string mux = tools.mp4MuxerPath.c_str();
    const std::string pmp = tools.pmpMuxerPath.c_str();
    const std::string atoms = tools.atomEditorPath.c_str();
    const std::string script = tools.atomScriptArg.c_str();
    ASSERT_EQ(probe.front(), '"');
    ASSERT_EQ(probe.back(), '"');

    const std::string b = "/out dir/my clip.avi-3gp";
    struct Case {
        ToolCommand which;
        int32_t rate;
        std::string expected;
    } cases[] = {
        {ToolCommand::Probe3gp, 0, probe + "\"" + b + ".avi\""}, // the two quoted parts touch
        {ToolCommand::ProbeMp4, 0, probe + " \"" + b + ".avi\""},
        {ToolCommand::ExtractVideo, 0, enc + " -ovc copy -nosound -of rawvideo -o \"" + b + ".m4v\" \"" + b + ".avi\""},
        {ToolCommand::ExtractAudio, 0,
         enc + " -ovc frameno -oac copy -of rawaudio -o \"" + b + ".aac\" \"" + b + ".avi\""},
        {ToolCommand::Video3gp, 23, mux + " -force3GPCompliance -c \"" + b + ".m4v\" -rate=23 \"" + b + ".3gp\""},
        {ToolCommand::Audio3gp, 23, mux + " -force3GPCompliance -c \"" + b + ".aac\" \"" + b + ".3gp\""},
        {ToolCommand::VideoMp4, 0, mux + " -c \"" + b + ".m4v\" -rate=0 \"" + b + ".mp4\""},
        {ToolCommand::AudioMp4, 0, mux + " -c \"" + b + ".aac\" \"" + b + ".mp4\""},
        {ToolCommand::PmpMux, 0, pmp + " -v \"" + b + ".avi\" -a \"" + b + ".aac\" -o \"" + b + ".pmp\""},
        {ToolCommand::AtomEdit, 0, atoms + " \"" + b + ".mp4\" \"" + b + ".tmp\" " + script},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(toolCommand(c.which, tools, b.c_str(), c.rate).view()), c.expected)
            << static_cast<int>(c.which);
}

} // namespace
} // namespace qf::tasks
