#include "probe/media_summary.h"

namespace qf::probe {

core::TextString formatMediaSummaryText(const MediaFacts& facts)
{
    core::TextString text;
    text.appendFormat("源文件格式:%s\r\n标准扩展名:%s", facts.format.c_str(), facts.extensions.c_str());
    text.append("\r\n");
    if (facts.hasVideo) {
        text.appendFormat("\r\n视频编码:%s", facts.videoFormat.c_str());
        text.appendFormat("\r\n视频大小:%s", facts.videoSize.c_str());
        text.appendFormat("\r\n视频帧速:%s", facts.videoFrameRate.c_str());
        text.appendFormat("\r\n视频码率:%s", facts.videoBitRate.c_str());
        text.appendFormat("\r\n视频比例:%s", facts.videoAspectRatio.c_str());
        text.appendFormat("\r\n视频时长:%s", facts.videoDuration.c_str());
    } else {
        text.append("\r\n无视频");
    }
    text.append("\r\n");
    if (facts.hasAudio) {
        text.appendFormat("\r\n音频编码:%s", facts.audioFormat.c_str());
        text.appendFormat("\r\n音频码率:%s", facts.audioBitRate.c_str());
        text.appendFormat("\r\n音频采样:%s", facts.audioSamplingRate.c_str());
        text.appendFormat("\r\n音频流  :%s", facts.audioStreamKindId.c_str());
        text.appendFormat("\r\n音频时长:%s", facts.audioDuration.c_str());
    } else {
        text.append("\r\n无音频");
    }
    return text;
}

} // namespace qf::probe
