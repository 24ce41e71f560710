// The summary text a task shows: its blocks, line breaks and the lines that
// stand for a missing stream.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "probe/media_summary.h"

namespace qf::probe {
namespace {

MediaFacts facts(bool video, bool audio)
{
    MediaFacts f;
    f.format = "AVI";
    f.extensions = "avi";
    f.hasVideo = video;
    f.videoFormat = "MPEG-4 Visual";
    f.videoSize = "160 x 120 pixels";
    f.videoFrameRate = "25.000 fps";
    f.videoBitRate = "212 kb/s";
    f.videoAspectRatio = "4:3";
    f.videoDuration = "00:00:02.040";
    f.hasAudio = audio;
    f.audioFormat = "MPEG Audio";
    f.audioBitRate = "64.0 kb/s";
    f.audioSamplingRate = "44100 Hz";
    f.audioStreamKindId = "0";
    f.audioDuration = "00:00:02.038";
    return f;
}

TEST(MediaSummaryTextTest, BlocksForEachCombinationOfStreams)
{
    const std::string head = "源文件格式:AVI\r\n标准扩展名:avi\r\n";
    const std::string videoLines = "\r\n视频编码:MPEG-4 Visual\r\n视频大小:160 x 120 pixels\r\n视频帧速:25.000 fps"
                                   "\r\n视频码率:212 kb/s\r\n视频比例:4:3\r\n视频时长:00:00:02.040";
    const std::string audioLines = "\r\n音频编码:MPEG Audio\r\n音频码率:64.0 kb/s\r\n音频采样:44100 Hz"
                                   "\r\n音频流  :0\r\n音频时长:00:00:02.038";
    struct Case {
        bool video, audio;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {true, true, head + videoLines + "\r\n" + audioLines},
        {false, true, head + "\r\n无视频" + "\r\n" + audioLines},
        {true, false, head + videoLines + "\r\n" + "\r\n无音频"},
        {false, false, head + "\r\n无视频\r\n\r\n无音频"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "video " << c.video << " audio " << c.audio);
        EXPECT_EQ(std::string(formatMediaSummaryText(facts(c.video, c.audio)).view()), c.expected);
    }
}

TEST(MediaSummaryTextTest, EmptyTextsAndPercentSignsAreShownAsTheyAre)
{
    MediaFacts f;
    f.format = "100% odd %s";
    f.hasAudio = true;
    const std::string text(formatMediaSummaryText(f).view());
    EXPECT_EQ(text,
              "源文件格式:100% odd %s\r\n标准扩展名:\r\n\r\n无视频\r\n"
              "\r\n音频编码:\r\n音频码率:\r\n音频采样:\r\n音频流  :\r\n音频时长:");
}

} // namespace
} // namespace qf::probe
