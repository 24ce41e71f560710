#include "tasks/encoder_output.h"

#include <gtest/gtest.h>

#include "tasks/task_state.h"

namespace qf::tasks {
namespace {

TEST(EncoderOutput, ClassifiesLines)
{
    struct Case {
        const char* line;
        EncoderLine kind;
    } cases[] = {
        {"Pos:   1.2s     30f ( 7%)  25.00fps Trem:   0min   1mb", EncoderLine::Progress},
        {"Pos:", EncoderLine::Progress},
        {"xxPos:yy", EncoderLine::Progress},
        {"pos: 1.0s (5%)", EncoderLine::Other},
        {"Exiting... (error parsing command line)", EncoderLine::BadParameters},
        {"error parsing command line Exiting...", EncoderLine::BadParameters},
        {"Exiting...", EncoderLine::Failed},
        {"Exiting... (End of file)", EncoderLine::Failed},
        {"error parsing command line", EncoderLine::Other},
        {"Exiting..", EncoderLine::Other},
        {"", EncoderLine::Other},
        {"Pos: 3s (50%) Exiting...", EncoderLine::Progress},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyEncoderLine(c.line), c.kind) << c.line;
}

TEST(EncoderOutput, ExitReasonIsWhatTheParenthesesHold)
{
    EXPECT_EQ(exitReason("Exiting... (File not found: 'a (1).avi')"), "File not found: 'a (1).avi'");
    EXPECT_EQ(exitReason("\nExiting... (error parsing command line)"), "error parsing command line");
    // Without a reason in parentheses the line is its own reason.
    EXPECT_EQ(exitReason("Exiting..."), "Exiting...");
    EXPECT_EQ(exitReason("Exiting... ()"), "Exiting... ()");
    EXPECT_EQ(exitReason("no marker (here)"), "no marker (here)");
}

TEST(EncoderOutput, ProgressTextIsTheFirstParenthesisedPart)
{
    struct Case {
        const char* line;
        const char* text; // null: none
    } cases[] = {
        {"Pos:   1.2s     30f ( 7%)  25.00fps", "7%"},
        {"Pos: 2s (100%) (3%)", "100%"},
        {"Pos: (  \t 42%)", "42%"},
        {"Pos: ()", ""},
        {"Pos: ) (12%", nullptr},
        {"Pos: 12%)", nullptr},
        {"Pos: (12%", nullptr},
        {"Pos: ) (9%)", "9%"},
        {"Pos: (a(b)c)", "a(b"},
    };
    for (const Case& c : cases) {
        const auto text = progressText(c.line);
        if (!c.text)
            EXPECT_FALSE(text.has_value()) << c.line;
        else
            EXPECT_EQ(text.value_or("<none>"), c.text) << c.line;
    }
}

TEST(EncoderOutput, FrameRateLine)
{
    struct Case {
        const char* line;
        int32_t rate; // -1: not a rate line
    } cases[] = {
        {"Video frame rate: 25.000", 25},
        {"Video frame rate: 29.970", 29},
        {"Video frame rate: 23.976\n", 23},
        {"Video frame rate:    10", 10},
        {"Video frame rate:", 0},
        {"Video frame rate: n/a", 0},
        {"Video frame rate: -5", 0},
        {"  Video frame rate: 30", 30}, // blanks before the label are leading blanks
                                        // once it is cut
        {"rate Video frame rate: 30", 0}, // text before the label stays in front of the number
        {"12Video frame rate: 30", 12},
        {"video frame rate: 30", -1},
        {"Frame rate: 30", -1},
    };
    for (const Case& c : cases) {
        const auto rate = frameRateFromLine(c.line);
        if (c.rate < 0)
            EXPECT_FALSE(rate.has_value()) << c.line;
        else
            EXPECT_EQ(rate.value_or(-1), c.rate) << c.line;
    }
}

TEST(EncoderOutput, PositionOfTheLastStatusOnALine)
{
    EXPECT_NEAR(
        positionFromLine("Pos:   3.2s     80f (32%) 60.00fps Trem:   0min   1mb  A-V:0.000 [600:128]").value_or(-1),
        3.2, 1e-9);
    EXPECT_NEAR(positionFromLine("Pos:   0.0s      1f ( 0%)\rPos:   1.5s     37f (14%)\rPos:  11.0s    275f (100%)")
                    .value_or(-1),
                11.0, 1e-9);
    EXPECT_NEAR(positionFromLine("Pos: 7s (50%)").value_or(-1), 7.0, 1e-9);
    EXPECT_EQ(positionFromLine("Pos: (50%)"), std::nullopt);
    EXPECT_EQ(positionFromLine("Done: 136 frames, 5.441 secs"), std::nullopt);
}

TEST(EncoderOutput, ProbedDurations)
{
    EXPECT_NEAR(durationSeconds("00:00:11.040").value_or(-1), 11.04, 1e-9);
    EXPECT_NEAR(durationSeconds("01:02:03.500").value_or(-1), 3723.5, 1e-9);
    EXPECT_NEAR(durationSeconds("01:02:03").value_or(-1), 3723.0, 1e-9);
    EXPECT_NEAR(durationSeconds("02:03.5").value_or(-1), 123.5, 1e-9);
    for (const char* bad : {"", "00:00:", ":11", "00:0x:11", "1.5:00:00", "1:2:3:4", "11.0.0"})
        EXPECT_EQ(durationSeconds(bad), std::nullopt) << bad;
}

TEST(EncoderOutput, LeadingIntegerAndLineEnds)
{
    EXPECT_EQ(leadingInteger("25.000 fps"), 25);
    EXPECT_EQ(leadingInteger(" 30000/1001"), 30000);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("fps"), 0);
    EXPECT_EQ(leadingInteger("99999999999999"), INT32_MAX);
    EXPECT_EQ(trimLineEnd("abc\r\n"), "abc");
    EXPECT_EQ(trimLineEnd("abc\n\r\r\n"), "abc");
    EXPECT_EQ(trimLineEnd("\r\n"), "");
    EXPECT_EQ(trimLineEnd("a\rb"), "a\rb");
}

TEST(TaskStateText, EveryValue)
{
    const char* expected[] = {"未完成",   "错误",     "无法解析资源文件", "错误的转换参数", "排队",
                              "正在转换", "一次编码", "二次编码",         "正在合成",       "已完成"};
    for (int32_t s = 0; s < 10; ++s)
        EXPECT_STREQ(taskStateText(s), expected[s]) << s;
    EXPECT_STREQ(taskStateText(-1), "");
    EXPECT_STREQ(taskStateText(10), "");
    for (int32_t s = 0; s < 12; ++s)
        EXPECT_EQ(isActiveState(s), s >= 4 && s <= 8) << s;
}

} // namespace
} // namespace qf::tasks
