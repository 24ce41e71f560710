// The video and audio fragments of the encoder command line, table-driven.

#include <gtest/gtest.h>

#include <iterator>

#include <functional>
#include <ostream>
#include <string>

#include "convert/command_line_builder.h"
#include "convert/value_tables.h"

namespace qf::convert {
namespace {

using Setup = std::function<void(CommandLineBuilder&)>;
using Fragment = void (CommandLineBuilder::*)();

struct FragmentCase {
    const char* name;
    Fragment fragment;
    Setup setup;
    const char* expected;
};

// A neutral record: every switch off, picture values neutral.
CommandLineBuilder neutral()
{
    CommandLineBuilder b;
    b.gamma = 10;
    b.contrast = 10;
    b.brightness = 0;
    b.saturation = 10;
    return b;
}

const FragmentCase kCases[] = {
    // Video filter chain.
    {"filters_none", &CommandLineBuilder::appendVideoFilters, [](auto&) {}, " -vf-add "},
    {"filters_size_picture_extra", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.frameSizeIndex = 5;
         b.pictureAdjust = 1;
         b.gamma = 12;
         b.contrast = -5;
         b.brightness = 3;
         b.extraVideoFilters = "harddup";
     },
     " -vf-add scale=176:144,eq2=1.2:-0.5:0.3:1,harddup"},
    {"filters_extra_only", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) { b.extraVideoFilters = "harddup"; }, " -vf-add harddup"},
    {"filters_neutral_picture", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) { b.pictureAdjust = 1; }, " -vf-add eq2=1:1:0:1"},
    {"filters_inverse_telecine_alone", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) { b.inverseTelecine = 1; }, " -vf-add filmdint"},
    {"filters_all", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.deinterlace = 1;
         b.inverseTelecine = 1;
         b.frameSizeIndex = 18;
         b.pictureAdjust = 1;
         b.extraVideoFilters = "harddup";
     },
     " -vf-add yadif,filmdint,scale=720:576,eq2=1:1:0:1,harddup"},
    {"filters_deinterlace_and_size", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.deinterlace = 1;
         b.frameSizeIndex = 9;
     },
     " -vf-add yadif,scale=352:288"},
    {"filters_zero_contrast_brightness", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.pictureAdjust = 1;
         b.contrast = 0;
         b.gamma = 100;
         b.saturation = 25;
     },
     " -vf-add eq2=10:0:0:2.5"},
    {"filters_negative_whole_and_half", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.pictureAdjust = 1;
         b.contrast = -10;
         b.brightness = -15;
     },
     " -vf-add eq2=1:-1:-1.5:1"},
    {"filters_size_out_of_table", &CommandLineBuilder::appendVideoFilters,
     [](CommandLineBuilder& b) {
         b.deinterlace = 1;
         b.frameSizeIndex = int32_t(kFrameSizes.size());
     },
     " -vf-add yadif"},

    // Frame rate.
    {"rate_keep", &CommandLineBuilder::appendFrameRate, [](auto&) {}, ""},
    {"rate_film", &CommandLineBuilder::appendFrameRate, [](CommandLineBuilder& b) { b.frameRateIndex = 7; },
     " -ofps 24000/1001"},
    {"rate_last_row_is_10", &CommandLineBuilder::appendFrameRate, [](CommandLineBuilder& b) { b.frameRateIndex = 12; },
     " -ofps 10"},
    {"rate_out_of_table", &CommandLineBuilder::appendFrameRate, [](CommandLineBuilder& b) { b.frameRateIndex = 13; },
     ""},

    // Video codec.
    {"divx_first_pass", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 0;
         b.videoBitrateIndex = 7;
         b.qualityIndex = 5;
         b.aspectIndex = 5;
         b.twoPass = 1;
         b.turbo = 1;
     },
     " -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vbitrate=500:mbd=2:mv0:trell:aspect=16/9:turbo"},
    {"x264_sar", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 2;
         b.videoBitrateIndex = 14;
         b.aspectIndex = 3;
     },
     " -ovc x264 -ffourcc H264 -x264encopts bitrate=1000:sar=4/3"},
    {"xvid_plain", &CommandLineBuilder::appendVideoCodec, [](CommandLineBuilder& b) { b.videoCodec = 1; },
     " -ovc xvid -xvidencopts bitrate=100"},
    {"vcd_bitrate_last_row", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 4;
         b.videoBitrateIndex = 19;
         b.aspectIndex = 4;
     },
     " -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:aspect=1.66/1"},
    {"turbo_needs_two_pass", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 7;
         b.turbo = 1;
     },
     " -ovc lavc -lavcopts vcodec=wmv2:vbitrate=100"},
    {"copy_ignores_everything", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 8;
         b.qualityIndex = 3;
         b.aspectIndex = 2;
         b.twoPass = b.turbo = 1;
     },
     " -ovc copy"},
    {"no_video_ignores_everything", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 9;
         b.videoBitrateIndex = 4;
         b.twoPass = b.turbo = 1;
     },
     " -ovc frameno -of rawaudio"},
    {"bitrate_out_of_table", &CommandLineBuilder::appendVideoCodec,
     [](CommandLineBuilder& b) {
         b.videoCodec = 3;
         b.videoBitrateIndex = int32_t(kVideoBitrates.size());
     },
     " -ovc lavc -lavcopts vcodec=flv:vbitrate="},

    // Audio filters.
    {"audio_filters_none", &CommandLineBuilder::appendAudioFilters, [](auto&) {}, ""},
    {"audio_volnorm_continues_extra", &CommandLineBuilder::appendAudioFilters,
     [](CommandLineBuilder& b) {
         b.volumeNormalize = 1;
         b.extraAudioFilters = ",lavcresample=48000";
     },
     " -af volnorm,lavcresample=48000"},
    {"audio_mix_with_volnorm", &CommandLineBuilder::appendAudioFilters,
     [](CommandLineBuilder& b) {
         b.channelMode = 4;
         b.volumeNormalize = 1;
     },
     " -af pan=1:0.5:0.5,volnorm"},
    {"audio_channel_mode_drops_extra", &CommandLineBuilder::appendAudioFilters,
     [](CommandLineBuilder& b) {
         b.channelMode = 2;
         b.extraAudioFilters = ",lavcresample=48000";
     },
     " -af channels=1:1:0:0"},
    {"audio_extra_without_volnorm_starts_chain", &CommandLineBuilder::appendAudioFilters,
     [](CommandLineBuilder& b) { b.extraAudioFilters = ",lavcresample=44100"; }, " -af lavcresample=44100"},

    // Sample rate and stream.
    {"srate_first", &CommandLineBuilder::appendSampleRate, [](auto&) {}, " -srate 22050"},
    {"srate_last", &CommandLineBuilder::appendSampleRate, [](CommandLineBuilder& b) { b.sampleRateIndex = 4; },
     " -srate 48000"},
    {"srate_out_of_table", &CommandLineBuilder::appendSampleRate, [](CommandLineBuilder& b) { b.sampleRateIndex = 5; },
     ""},
    {"aid_default", &CommandLineBuilder::appendAudioStream, [](auto&) {}, ""},
    {"aid_three", &CommandLineBuilder::appendAudioStream, [](CommandLineBuilder& b) { b.audioStreamId = 3; },
     " -aid 3"},

    // Audio codec.
    {"mp3_abr", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.audioBitrateIndex = 6;
         b.mp3VbrQuality = 7;
     },
     " -oac mp3lame -lameopts abr:br=128:mode=1"},
    {"mp3_vbr_with_volume_and_quality", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.mp3Method = 3;
         b.mp3VbrQuality = 4;
         b.mp3Volume = 3;
         b.mp3AlgorithmQuality = 1;
         b.audioBitrateIndex = 9;
     },
     " -oac mp3lame -lameopts vbr=2:q=4:mode=1:vol=2:aq=0"},
    {"mp3_mono", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.mp3Method = 1;
         b.mp3Mode = 3;
         b.audioBitrateIndex = 11;
     },
     " -oac mp3lame -lameopts cbr:br=320:mode=4"},
    {"aac_mpeg4_raw", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.audioCodec = 2;
         b.audioBitrateIndex = 4;
         b.aacObjectType = 1;
         b.extraAudioCodecOptions = ":raw";
     },
     " -oac faac -faacopts br=96:mpeg=4:object=2:raw"},
    {"aac_mpeg2", &CommandLineBuilder::appendAudioCodec, [](CommandLineBuilder& b) { b.audioCodec = 1; },
     " -oac faac -faacopts br=32:mpeg=2:object=1"},
    {"ac3", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.audioCodec = 3;
         b.audioBitrateIndex = 6;
     },
     " -oac lavc -lavcopts acodec=ac3:abitrate=128"},
    {"extra_aac_options_only_for_aac", &CommandLineBuilder::appendAudioCodec,
     [](CommandLineBuilder& b) {
         b.audioCodec = 6;
         b.audioBitrateIndex = 4;
         b.extraAudioCodecOptions = ":raw";
     },
     " -oac lavc -lavcopts acodec=wmav2:abitrate=96"},
    {"audio_copy", &CommandLineBuilder::appendAudioCodec, [](CommandLineBuilder& b) { b.audioCodec = 7; },
     " -oac copy"},
    {"no_audio", &CommandLineBuilder::appendAudioCodec, [](CommandLineBuilder& b) { b.audioCodec = 8; },
     " -nosound -of rawvideo"},
};

void PrintTo(const FragmentCase& c, std::ostream* os) { *os << c.name; }

class FragmentTest : public ::testing::TestWithParam<FragmentCase> {};

TEST_P(FragmentTest, AppendsExactText)
{
    const FragmentCase& c = GetParam();
    CommandLineBuilder b = neutral();
    c.setup(b);
    b.scratch() = "X";
    (b.*c.fragment)();
    EXPECT_EQ(std::string(b.scratch().c_str()), std::string("X") + c.expected);
}

INSTANTIATE_TEST_SUITE_P(Fragments, FragmentTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every row of the size, rate, aspect and bitrate tables reaches the encoder.
TEST(FragmentTables, EveryRowGivesItsValue)
{
    for (int32_t i = 1; i < int32_t(kFrameSizes.size()); ++i) {
        CommandLineBuilder b = neutral();
        b.frameSizeIndex = i;
        b.appendVideoFilters();
        const FrameSizeEntry& e = kFrameSizes[size_t(i)];
        const std::string size = std::to_string(e.width) + ":" + std::to_string(e.height);
        // The rows of today are boxes the picture is fitted in, never enlarged.
        EXPECT_EQ(std::string(b.scratch().c_str()),
                  i < kFrameBox480 ? " -vf-add scale=" + size : " -vf-add dsize=" + size + ":0:2,scale=0:0");
        EXPECT_EQ(std::string(e.rowText), std::to_string(e.width) + "*" + std::to_string(e.height));
    }
    const char* rates[] = {"13", "14.985", "15", "18", "20", "23", "24000/1001", "24", "25", "30000/1001", "30", "10"};
    for (int32_t i = 1; i <= 12; ++i) {
        CommandLineBuilder b = neutral();
        b.frameRateIndex = i;
        b.appendFrameRate();
        EXPECT_EQ(std::string(b.scratch().c_str()), std::string(" -ofps ") + rates[i - 1]);
    }
    const char* aspects[] = {"1/1", "40/33", "4/3", "1.66/1", "16/9", "1.85/1", "2.39/1"};
    for (int32_t i = 1; i <= 7; ++i) {
        CommandLineBuilder b = neutral();
        b.videoCodec = 5;
        b.aspectIndex = i;
        b.appendVideoCodec();
        EXPECT_EQ(std::string(b.scratch().c_str()),
                  std::string(" -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=100:aspect=") + aspects[i - 1]);
    }
    const int kbps[] = {100,  128,  200,  256,  300,  384,  400,  500,  512,  600,  640,  700,   800,   900,  1000,
                        1200, 1500, 1800, 2000, 1152, 2500, 3000, 4000, 5000, 6000, 8000, 10000, 12000, 16000};
    const int crf[] = {18, 20, 22, 23, 24, 26, 28, 30, 32, 35, 38};
    static_assert(std::size(kbps) + std::size(crf) == kVideoBitrates.size());
    for (int32_t i = 0; i < int32_t(kVideoBitrates.size()); ++i) {
        CommandLineBuilder b = neutral();
        b.videoCodec = 1;
        b.videoBitrateIndex = i;
        b.appendVideoCodec();
        const std::string rate = i < int32_t(std::size(kbps)) ? "bitrate=" + std::to_string(kbps[i])
                                                              : "crf=" + std::to_string(crf[i - std::size(kbps)]);
        EXPECT_EQ(std::string(b.scratch().c_str()), " -ovc xvid -xvidencopts " + rate);
    }
    // Under the codec library's heads a quality row forms vcrf, as a rate row forms vbitrate.
    const char* heads[] = {
        " -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28", " -ovc lavc -lavcopts vcodec=libvpx-vp9:vcrf=28",
        " -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=28", " -ovc x264 -ffourcc H264 -x264encopts crf=28"};
    const int32_t codecs[] = {kVideoCodecH265, kVideoCodecVp9, kVideoCodecAv1, kVideoCodecX264};
    for (size_t i = 0; i < std::size(codecs); ++i) {
        CommandLineBuilder b = neutral();
        b.videoCodec = codecs[i];
        b.videoBitrateIndex = kVideoCrf28;
        b.appendVideoCodec();
        EXPECT_EQ(std::string(b.scratch().c_str()), heads[i]);
    }
    const int audioKbps[] = {32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int32_t i = 0; i < 12; ++i) {
        CommandLineBuilder b = neutral();
        b.audioCodec = 4;
        b.audioBitrateIndex = i;
        b.appendAudioCodec();
        EXPECT_EQ(std::string(b.scratch().c_str()),
                  " -oac lavc -lavcopts acodec=mp2:abitrate=" + std::to_string(audioKbps[i]));
    }
    // Opus takes its rate; FLAC is lossless and complete; the last sample-rate row keeps the source's.
    CommandLineBuilder opus = neutral();
    opus.audioCodec = kAudioCodecOpus;
    opus.audioBitrateIndex = 6;
    opus.appendAudioCodec();
    EXPECT_EQ(std::string(opus.scratch().c_str()), " -oac lavc -lavcopts acodec=libopus:abitrate=128");
    CommandLineBuilder flac = neutral();
    flac.audioCodec = kAudioCodecFlac;
    flac.sampleRateIndex = kSampleRateSource;
    flac.appendSampleRate();
    flac.appendAudioCodec();
    EXPECT_EQ(std::string(flac.scratch().c_str()), " -oac lavc -lavcopts acodec=flac");
}

TEST(FragmentTables, Mp3MethodRowsChooseBitrateOrQuality)
{
    const char* methods[] = {"abr", "cbr", "vbr=1", "vbr=2", "vbr=3", "vbr=4"};
    for (int32_t m = 0; m < 6; ++m) {
        CommandLineBuilder b = neutral();
        b.mp3Method = m;
        b.mp3VbrQuality = 2;
        b.audioBitrateIndex = 1;
        b.appendAudioCodec();
        const std::string rate = m <= 1 ? ":br=48" : ":q=2";
        EXPECT_EQ(std::string(b.scratch().c_str()),
                  std::string(" -oac mp3lame -lameopts ") + methods[m] + rate + ":mode=1");
    }
}

} // namespace
} // namespace qf::convert
