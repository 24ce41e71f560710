// Every output format end to end: a generated clip through the built
// `quillfer-cli convert` with a built-in model's defaults, the result checked
// with ffprobe (container, codecs, frame size and rate, sample rate,
// duration); MP4 and 3GP results must also play to their end in mplayer.

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "integration/support/integration_support.h"

namespace {

using namespace qf::integration;
namespace stdfs = std::filesystem;

// ffprobe's facts: "format.format_name", "video.codec_name", "audio.sample_rate"...
std::map<std::string, std::string> probe(const std::string& file)
{
    std::map<std::string, std::string> facts;
    const std::string out = run("ffprobe -v error -show_entries "
                                "format=format_name,duration:format_tags=major_brand:"
                                "stream=codec_type,codec_name,profile,width,height,r_frame_rate,sample_rate,channels,display_aspect_ratio "
                                "-of compact " + quote(file));
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '|');)
            fields.push_back(field);
        if (fields.empty())
            continue;
        std::string section = fields[0];
        for (const std::string& f : fields)
            if (f.rfind("codec_type=", 0) == 0)
                section = f.substr(11);
        if (facts.count(section + ".codec_name"))
            continue;  // only the first stream of a kind
        for (size_t i = 1; i < fields.size(); ++i) {
            const size_t eq = fields[i].find('=');
            if (eq != std::string::npos)
                facts[section + "." + fields[i].substr(0, eq)] = fields[i].substr(eq + 1);
        }
    }
    return facts;
}

struct Expected {
    int format;
    int category;
    const char* suffix;
    const char* container;   // ffprobe's format_name
    const char* brand;       // major brand of MP4-family files, or ""
    const char* videoCodec;  // "" when there is no video
    int width;
    int height;
    const char* frameRate;
    const char* audioCodec;
    int sampleRate;
    bool playInPlayer;
};

void PrintTo(const Expected& e, std::ostream* os) { *os << "format " << e.format << " of category " << e.category; }

constexpr const char* kIsoFamily = "mov,mp4,m4a,3gp,3g2,mj2";

const Expected kFormats[] = {
    {0, 0, "-3gp.3gp", kIsoFamily, "3gp5", "mpeg4", 176, 114, "10/1", "aac", 22050, true},
    {1, 2, "-pmp.pmp", "pmp", "", "h264", 480, 272, "25/1", "aac", 44100, false},
    {2, 2, "-mp4.mp4", kIsoFamily, "isom", "h264", 368, 208, "30000/1001", "aac", 48000, true},
    {3, 2, "-mp4.mp4", kIsoFamily, "MSNV", "mpeg4", 368, 208, "30000/1001", "aac", 48000, true},
    {4, 2, "-mp4.mp4", kIsoFamily, "isom", "mpeg4", 368, 208, "30000/1001", "aac", 24000, true},
    {5, 0, "-mp4.mp4", kIsoFamily, "isom", "h264", 320, 240, "15/1", "aac", 48000, true},
    {6, 0, "-mp4.mp4", kIsoFamily, "isom", "mpeg4", 320, 240, "25/1", "aac", 44100, true},
    {7, 1, "-mp4.mp4", kIsoFamily, "isom", "mpeg4", 640, 480, "30000/1001", "aac", 48000, true},
    {8, 7, "-mp3.mp3", "mp3", "", "", 0, 0, "", "mp3", 48000, false},
    {9, 3, "-flv.flv", "flv", "", "flv1", 320, 240, "25/1", "mp3", 44100, false},
    {10, 4, "-mpg.mpg", "mpeg", "", "mpeg2video", 720, 480, "30000/1001", "ac3", 48000, false},
    {11, 4, "-mpg.mpg", "mpeg", "", "mpeg2video", 720, 576, "25/1", "ac3", 48000, false},
    {12, 6, "-wmv.wmv", "asf", "", "wmv2", 320, 240, "25/1", "wmav2", 44100, false},
    {13, 6, "-wma.wma", "asf", "", "", 0, 0, "", "wmav2", 44100, false},
};

class ConvertFormat : public ::testing::TestWithParam<Expected> {};

TEST_P(ConvertFormat, ConvertsWithTheModelDefaults)
{
    const Expected& e = GetParam();
    const std::string out = kDataDir + "/out-" + std::to_string(e.format);
    stdfs::remove_all(out);
    int status = -1;
    const std::string cli = kProgramDir + "/quillfer-cli";
    const std::string log = run(quote(cli) + " convert -c " + std::to_string(e.category) + " -m 0 -f " + std::to_string(e.format)
                                    + " --output-folder " + quote(out) + " " + quote(clip()),
                                &status);
    ASSERT_EQ(status, 0) << log;
    EXPECT_NE(log.find("已完成"), std::string::npos) << log;

    // Only the final file is left.
    const std::string file = out + "/" + stdfs::path(clip()).filename().string() + e.suffix;
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(out))
        left.push_back(entry.path().string());
    EXPECT_EQ(left, std::vector<std::string>{file});

    auto facts = probe(file);
    EXPECT_EQ(facts["format.format_name"], e.container);
    if (*e.brand) {
        EXPECT_EQ(facts["format.tag:major_brand"], e.brand);
    }
    EXPECT_NEAR(std::stod("0" + facts["format.duration"]), kClipSeconds, 0.5);
    if (*e.videoCodec) {
        EXPECT_EQ(facts["video.codec_name"], e.videoCodec);
        EXPECT_EQ(facts["video.width"], std::to_string(e.width));
        EXPECT_EQ(facts["video.height"], std::to_string(e.height));
        EXPECT_EQ(facts["video.r_frame_rate"], e.frameRate);
    } else {
        EXPECT_EQ(facts.count("video.codec_name"), 0u) << facts["video.codec_name"];
    }
    EXPECT_EQ(facts["audio.codec_name"], e.audioCodec);
    EXPECT_EQ(facts["audio.sample_rate"], std::to_string(e.sampleRate));
    EXPECT_EQ(facts["audio.channels"], "2");

    // x264 as the devices play it: Baseline for the phone, Main for the PSP.
    if (std::string(e.videoCodec) == "h264") {
        const std::string profile = e.category == 0 ? "Baseline" : "Main";
        EXPECT_NE(facts["video.profile"].find(profile), std::string::npos) << facts["video.profile"];
        EXPECT_EQ(facts["video.profile"].find("High"), std::string::npos) << facts["video.profile"];
    }
    if (e.playInPlayer) {
        const std::string played = run("mplayer -nolirc -noconfig all -vo null -ao null -speed 100 " + quote(file));
        EXPECT_NE(played.find("VIDEO:"), std::string::npos) << played;
        EXPECT_NE(played.find("AUDIO:"), std::string::npos) << played;
        EXPECT_NE(played.find("Exiting... (End of file)"), std::string::npos) << played;
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ConvertFormat, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return "format" + std::to_string(info.param.format); });

// A source without audio, as other programs make them: MS-MPEG4v3 in AVI,
// 16:9, 23.976 fps, two seconds.
const std::string& videoOnlyClip()
{
    static const std::string path = [] {
        const std::string target = kDataDir + "/video only 640x360.avi";
        if (stdfs::exists(target))
            return target;
        stdfs::create_directories(kDataDir);
        const std::string scratch = kDataDir + "/video-only." + std::to_string(getpid()) + ".avi";
        int status = -1;
        const std::string out = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=640x360:rate=24000/1001:duration=2 "
                                    "-c:v msmpeg4 -q:v 5 " + quote(scratch), &status);
        if (status != 0) {
            ADD_FAILURE() << "ffmpeg could not make the clip: " << out;
            return target;
        }
        stdfs::rename(scratch, target);
        return target;
    }();
    return path;
}

struct VideoOnly {
    int category;
    int model;
    int format;
    const char* videoCodec;
    const char* aspect;      // display aspect the output must show, or ""
    bool silentTrack;        // the format cannot stand without audio
};

void PrintTo(const VideoOnly& v, std::ostream* os) { *os << "format " << v.format << " of " << v.category << "/" << v.model; }

const VideoOnly kVideoOnly[] = {
    {0, 0, 0, "mpeg4", "", false},      {2, 0, 1, "h264", "", true},       {2, 0, 2, "h264", "", false},
    {2, 0, 3, "mpeg4", "", false},      {2, 0, 4, "mpeg4", "", false},     {0, 0, 5, "h264", "", false},
    {0, 0, 6, "mpeg4", "", false},      {1, 0, 7, "mpeg4", "", false},     {3, 0, 9, "flv1", "", false},
    {4, 0, 10, "mpeg2video", "16:9", false}, {4, 1, 11, "mpeg2video", "", false}, {6, 0, 12, "wmv2", "", false},
    // The disc formats without an aspect option take the source's nearer one.
    {5, 0, 10, "mpeg2video", "16:9", false}, {5, 1, 11, "mpeg1video", "16:9", false},
};

class ConvertVideoOnly : public ::testing::TestWithParam<VideoOnly> {};

TEST_P(ConvertVideoOnly, ConvertsToEveryVideoFormat)
{
    const VideoOnly& v = GetParam();
    const std::string out = kDataDir + "/video-only-" + std::to_string(v.category) + "-" + std::to_string(v.model) + "-"
        + std::to_string(v.format);
    stdfs::remove_all(out);
    int status = -1;
    const std::string log = run(quote(kProgramDir + "/quillfer-cli") + " convert -c " + std::to_string(v.category) + " -m "
                                    + std::to_string(v.model) + " -f " + std::to_string(v.format) + " --output-folder "
                                    + quote(out) + " " + quote(videoOnlyClip()),
                                &status);
    ASSERT_EQ(status, 0) << log;
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(out))
        left.push_back(entry.path().string());
    ASSERT_EQ(left.size(), 1u) << log;
    auto facts = probe(left[0]);
    EXPECT_EQ(facts["video.codec_name"], v.videoCodec);
    EXPECT_NEAR(std::stod("0" + facts["format.duration"]), 2.0, 0.5);
    if (v.silentTrack)
        EXPECT_EQ(facts["audio.codec_name"], "aac");
    else
        EXPECT_EQ(facts.count("audio.codec_name"), 0u) << facts["audio.codec_name"];
    if (*v.aspect) {
        // MPEG-1 can state only its table's pixel aspects: 16:9 comes out as 49:27.
        const std::string dar = facts["video.display_aspect_ratio"];
        const size_t colon = dar.find(':');
        ASSERT_NE(colon, std::string::npos) << dar;
        const double shown = std::stod(dar.substr(0, colon)) / std::stod(dar.substr(colon + 1));
        EXPECT_NEAR(shown, 16.0 / 9, 0.05) << dar;
    }
}

INSTANTIATE_TEST_SUITE_P(VideoFormats, ConvertVideoOnly, ::testing::ValuesIn(kVideoOnly), [](const auto& info) {
    return "category" + std::to_string(info.param.category) + "model" + std::to_string(info.param.model) + "format"
        + std::to_string(info.param.format);
});

TEST(ConvertDiscAspect, FourByThreeSourceGivesFourByThreeDiscs)
{
    for (int model : {0, 1}) {
        const std::string out = kDataDir + "/disc-aspect-" + std::to_string(model);
        stdfs::remove_all(out);
        int status = -1;
        const std::string log = run(quote(kProgramDir + "/quillfer-cli") + " convert -c 5 -m " + std::to_string(model)
                                        + " -f 11 --stop 00:00:02 --output-folder " + quote(out) + " " + quote(clip()),
                                    &status);
        ASSERT_EQ(status, 0) << log;
        for (const auto& entry : stdfs::directory_iterator(out)) {
            const std::string dar = probe(entry.path().string())["video.display_aspect_ratio"];
            // SVCD states 4:3 exactly; XVCD's MPEG-1 table gives 1958:1467.
            EXPECT_TRUE(dar == "4:3" || dar == "1958:1467") << dar;
        }
    }
}

} // namespace
