// The command lines of each device's defaults, byte for byte: the encoder
// front-end and the devices depend on every blank and colon.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "convert/command_line_builder.h"

namespace qf::convert {
namespace {

struct Example {
    const char* name;
    int32_t category;
    int32_t model;
    int32_t format;
    const char* first;
    const char* second;
};

const Example kExamples[] = {
    {"phone_3gp", 0, 0, 0,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi"  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")",
     ""},
    {"psp_pmp", 2, 0, 1,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:level_idc=13:pictiming:nopsnr:nossim -o "D:/out/clip.avi-pmp.avi")",
     ""},
    {"psp_mp4_direct", 2, 0, 2,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")",
     ""},
    {"psp_mp4_xvid", 2, 0, 3,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")",
     ""},
    {"mp3", 7, 0, 8,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi"  -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")",
     ""},
    {"flash_flv", 3, 0, 9,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")",
     ""},
    {"dvd_ntsc", 4, 0, 10,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    {"windows_media_wmv", 6, 0, 12,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")",
     ""},
    {"windows_media_wma", 6, 0, 13,
     R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o "D:/out/clip.avi-wma.wma")",
     ""},
};

void PrintTo(const Example& c, std::ostream* os) { *os << c.name; }

class WorkedExample : public ::testing::TestWithParam<Example> {};

TEST_P(WorkedExample, DefaultsGiveTheExactCommands)
{
    const Example& e = GetParam();
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    // A record that showed another device first must not keep its strings.
    b.selectModel(4, 1, 11);
    b.selectModel(e.category, e.model, e.format);
    b.sourcePath = "D:/in/clip.avi";
    b.makeOutputPath("D:/out");
    b.buildCommands();
    EXPECT_EQ(std::string(b.firstCommand().c_str()), e.first);
    EXPECT_EQ(std::string(b.secondCommand().c_str()), e.second);
}

INSTANTIATE_TEST_SUITE_P(Devices, WorkedExample, ::testing::ValuesIn(kExamples),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkedExample, StartAndStopTimesFollowTheContainerOptions)
{
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    b.selectModel(3, 0, 9);
    b.sourcePath = "D:/in/clip.avi";
    b.startTime = "00:01:00";
    b.endPosition = "00:02:30";
    b.makeOutputPath("D:/out");
    b.buildCommands();
    EXPECT_EQ(
        std::string(b.firstCommand().c_str()),
        R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi" -of lavf -lavfopts format=flv -ss 00:01:00 -endpos 00:01:30 -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")");
}

} // namespace
} // namespace qf::convert
