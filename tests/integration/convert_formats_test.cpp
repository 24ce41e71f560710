// Every output format end to end: a generated clip through the built
// `quillfer-cli convert` with a built-in model's defaults, the result checked
// with ffprobe (container, codecs, frame size and rate, sample rate,
// duration); MP4 and 3GP results must also play to their end in mplayer.

#include <algorithm>
#include <cmath>
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
    const std::string out = run(
        "ffprobe -v error -show_entries "
        "format=format_name,duration:format_tags=major_brand:"
        "stream=codec_type,codec_name,profile,width,height,r_frame_rate,sample_rate,channels,display_aspect_ratio,"
        "codec_tag_string,pix_fmt,field_order,color_transfer "
        "-of compact "
        + quote(file));
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
            continue; // only the first stream of a kind
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
    const char* container; // ffprobe's format_name
    const char* brand; // major brand of MP4-family files, or ""
    const char* videoCodec; // "" when there is no video
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
    const std::string log = run(quote(cli) + " convert -c " + std::to_string(e.category) + " -m 0 -f "
                                    + std::to_string(e.format) + " --output-folder " + quote(out) + " " + quote(clip()),
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

// The pixel-format axis: sources as cameras, phones and other programs make
// them, each through every format it applies to. Tiny clips (160x120, one
// second) keep the run short; the output sizes are the models' own.
struct Source {
    const char* name;
    const char* file; // under kDataDir/sources
    const char* make; // ffmpeg arguments that write it (after the input options)
    double seconds; // the length the output must have; 0: cut, whatever is left
    int shownWidth; // the picture as shown (a phone clip is turned upright)
    int shownHeight;
    const char* postProcess; // a shell step run on the made file ("" for none), "{}" is the file
};

constexpr const char* kPicture = "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 ";
constexpr const char* kStereo = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 -ac 2 ";
#define QF_SURROUND                                                                                                    \
    "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 "                                                     \
    "-filter_complex '[1:a]pan=5.1|c0=c0|c1=0.8*c0|c2=0.6*c0|c3=0.1*c0|c4=0.4*c0|c5=0.3*c0[a]' -map 0:v -map '[a]' "

const Source kSources[] = {
    {"Rgb24QuickTimeRle", "rgb24.mov", "-c:v qtrle -pix_fmt rgb24 -c:a pcm_s16le", 1, 160, 120, ""},
    {"Yuvj422Mjpeg", "mjpeg422.avi", "-c:v mjpeg -pix_fmt yuvj422p -c:a pcm_s16le", 1, 160, 120, ""},
    {"Yuv444H264", "h264-444.mp4", "-c:v libx264 -pix_fmt yuv444p -c:a aac", 1, 160, 120, ""},
    {"Yuv420p10H264", "h264-10bit.mp4", "-c:v libx264 -pix_fmt yuv420p10le -c:a aac", 1, 160, 120, ""},
    {"AlphaPng", "alpha.mov", "-c:v png -pix_fmt rgba -c:a aac", 1, 160, 120, ""},
    {"PortraitPhone", "portrait.mp4", "-c:v libx264 -pix_fmt yuv420p -c:a aac", 1, 120, 160,
     // Phones film sideways and store the turn: shown 120x160.
     "ffmpeg -v error -y -i {} -c copy -metadata:s:v:0 rotate=90 {}.turned.mp4 && mv {}.turned.mp4 {}"},
    {"Scope239", "scope.mp4", "-c:v libx264 -pix_fmt yuv420p -c:a aac -vf scale=430:180,setsar=1", 1, 430, 180, ""},
    {"ShortH264Aac", "short.mp4", "-t 0.3 -c:v libx264 -pix_fmt yuv420p -c:a aac", 0.3, 160, 120, ""},
    {"Surround51Aac", "aac51.mp4", "-c:v libx264 -pix_fmt yuv420p -c:a aac", 1, 160, 120, ""},
    {"Surround51Flac", "flac51.mkv", "-c:v libx264 -pix_fmt yuv420p -c:a flac", 1, 160, 120, ""},
    {"Surround51Opus", "opus51.mkv", "-c:v libx264 -pix_fmt yuv420p -c:a libopus", 1, 160, 120, ""},
    {"Surround51Dts", "dts51.mkv", "-c:v libx264 -pix_fmt yuv420p -c:a dca -strict -2", 1, 160, 120, ""},
    // Cut in half: the encoder converts what is there.
    {"AviCutInHalf", "cut.avi", "-t 2 -c:v mpeg4 -q:v 3 -c:a libmp3lame", 0, 160, 120, "truncate -s %50 {}"},
    {"Mp4CutInHalf", "cut.mp4", "-t 2 -c:v libx264 -pix_fmt yuv420p -c:a aac -movflags +faststart", 0, 160, 120,
     "truncate -s %50 {}"},
};

bool isSurround(const Source& s) { return std::string(s.name).rfind("Surround", 0) == 0; }

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// Made once and shared by every test process (written under a private name, then renamed).
std::string sourceFile(const Source& s)
{
    const std::string dir = kDataDir + "/sources";
    const std::string target = dir + "/" + s.file;
    if (stdfs::exists(target))
        return target;
    stdfs::create_directories(dir);
    const std::string scratch = dir + "/" + std::to_string(getpid()) + "." + s.file;
    const bool seconds2 = std::string(s.make).find("-t 2") != std::string::npos;
    std::string inputs = std::string(kPicture) + (isSurround(s) ? QF_SURROUND : kStereo);
    if (seconds2)
        inputs = replaceAll(inputs, "duration=1", "duration=2");
    int status = -1;
    std::string out = run("ffmpeg -nostdin -y -loglevel error " + inputs + s.make + " " + quote(scratch), &status);
    if (status == 0 && *s.postProcess)
        out += run(replaceAll(s.postProcess, "{}", quote(scratch)), &status);
    if (status != 0) {
        ADD_FAILURE() << "could not make " << s.file << ": " << out;
        return target;
    }
    stdfs::rename(scratch, target);
    return target;
}

struct SourceFormat {
    const Source* source;
    const Expected* format;
};

void PrintTo(const SourceFormat& c, std::ostream* os) { *os << c.source->name << " to format " << c.format->format; }

std::vector<SourceFormat> sourceFormats()
{
    std::vector<SourceFormat> all;
    for (const Source& s : kSources) {
        const bool cut = std::string(s.name).find("Cut") != std::string::npos;
        for (const Expected& e : kFormats) {
            const bool audioOnly = !*e.videoCodec;
            // Video sources go through every video format; the sound cases
            // (5.1, the short clip) through the audio formats too; a cut
            // file through one format of each family.
            if (audioOnly && !isSurround(s) && std::string(s.name) != "ShortH264Aac")
                continue;
            if (cut && e.format != 2 && e.format != 3 && e.format != 9 && e.format != 10)
                continue;
            all.push_back({&s, &e});
        }
    }
    return all;
}

// Mean grey level of each row (or column) of the decoded frame at 0.5 s.
std::vector<double> profile(const std::string& file, int width, int height, bool rows)
{
    const std::string raw
        = run("ffmpeg -nostdin -v quiet -ss 0.5 -i " + quote(file) + " -frames:v 1 -f rawvideo -pix_fmt gray -");
    std::vector<double> means(rows ? height : width, 0.0);
    if (raw.size() != static_cast<size_t>(width) * height)
        return {};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            means[rows ? y : x] += static_cast<unsigned char>(raw[static_cast<size_t>(y) * width + x]);
    for (double& m : means)
        m /= rows ? width : height;
    return means;
}

class ConvertSource : public ::testing::TestWithParam<SourceFormat> {};

TEST_P(ConvertSource, ConvertsEveryPictureAndSoundThatFfmpegDecodes)
{
    const Source& s = *GetParam().source;
    const Expected& e = *GetParam().format;
    const std::string source = sourceFile(s);
    const std::string out = kDataDir + "/source-" + s.name + "-" + std::to_string(e.format);
    stdfs::remove_all(out);
    int status = -1;
    const std::string log
        = run(quote(kProgramDir + "/quillfer-cli") + " convert -c " + std::to_string(e.category) + " -m 0 -f "
                  + std::to_string(e.format) + " --output-folder " + quote(out) + " " + quote(source),
              &status);
    ASSERT_EQ(status, 0) << log;
    ASSERT_NE(log.find("已完成"), std::string::npos) << log;
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(out))
        left.push_back(entry.path().string());
    ASSERT_EQ(left.size(), 1u) << log;
    const std::string file = left[0];

    auto facts = probe(file);
    EXPECT_EQ(facts["format.format_name"], e.container);
    const double seconds = std::stod("0" + facts["format.duration"]);
    if (s.seconds > 0)
        EXPECT_NEAR(seconds, s.seconds, s.seconds < 1 ? 0.25 : 0.5);
    else
        EXPECT_GT(seconds, 0.2) << "what is left of a cut source";
    EXPECT_EQ(facts["audio.codec_name"], e.audioCodec);
    // Stereo from 5.1 (and mono sound would stay mono): never more than two.
    EXPECT_EQ(facts["audio.channels"], "2");
    if (!*e.videoCodec)
        return;
    EXPECT_EQ(facts["video.codec_name"], e.videoCodec);
    EXPECT_EQ(facts["video.width"], std::to_string(e.width));
    EXPECT_EQ(facts["video.height"], std::to_string(e.height));
    const std::string pixels
        = run("ffprobe -v quiet -select_streams v:0 -show_entries stream=pix_fmt -of csv=p=0 " + quote(file));
    EXPECT_EQ(pixels.substr(0, pixels.find_first_of(",\n")), "yuv420p") << pixels;
    if (std::string(e.videoCodec) == "h264") {
        const std::string profile = e.category == 0 ? "Baseline" : "Main";
        EXPECT_NE(facts["video.profile"].find(profile), std::string::npos) << facts["video.profile"];
        EXPECT_EQ(facts["video.profile"].find("High"), std::string::npos) << facts["video.profile"];
    }
    if (e.format == 10 || e.format == 11) {
        const std::string dvd = out + "/authored";
        const std::string authored = run(std::string("VIDEO_FORMAT=") + (e.format == 10 ? "NTSC" : "PAL")
                                             + " dvdauthor -o " + quote(dvd) + " -t " + quote(file),
                                         &status);
        EXPECT_EQ(status, 0) << authored;
        EXPECT_EQ(authored.find("moves backwards"), std::string::npos) << authored;
        EXPECT_EQ(authored.find("ERR:"), std::string::npos) << authored;
    }

    // The picture keeps its shape: black bars where the frame is wider or
    // taller, measured on a decoded frame. The DVD models ask for 16:9
    // explicitly and fill the frame.
    const bool barred = std::string(s.name) == "PortraitPhone" || std::string(s.name) == "Scope239";
    if (!barred || e.format == 10 || e.format == 11)
        return;
    const double shown = static_cast<double>(s.shownWidth) / s.shownHeight;
    const double frame = static_cast<double>(e.width) / e.height;
    const bool pillars = shown < frame;
    const int across = pillars ? e.width : e.height;
    const int expected = pillars ? static_cast<int>(e.height * shown) : static_cast<int>(e.width / shown);
    const std::vector<double> means = profile(file, e.width, e.height, !pillars);
    ASSERT_EQ(static_cast<int>(means.size()), across);
    int first = -1;
    int last = -1;
    for (int i = 0; i < across; ++i) {
        if (means[i] > 24) {
            last = i;
            if (first < 0)
                first = i;
        }
    }
    ASSERT_GE(first, 0);
    EXPECT_NEAR(last - first + 1, expected, 6) << (pillars ? "picture width" : "picture height");
    EXPECT_NEAR(first, (across - expected) / 2, 4) << "the picture is centred";
    EXPECT_LT(means[1], 8) << "black bar";
    EXPECT_LT(means[across - 2], 8) << "black bar";
}

INSTANTIATE_TEST_SUITE_P(Sources, ConvertSource, ::testing::ValuesIn(sourceFormats()), [](const auto& info) {
    return std::string(info.param.source->name) + "_format" + std::to_string(info.param.format->format);
});

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
        const std::string out
            = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=640x360:rate=24000/1001:duration=2 "
                  "-c:v msmpeg4 -q:v 5 "
                      + quote(scratch),
                  &status);
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
    const char* aspect; // display aspect the output must show, or ""
    bool silentTrack; // the format cannot stand without audio
};

void PrintTo(const VideoOnly& v, std::ostream* os)
{
    *os << "format " << v.format << " of " << v.category << "/" << v.model;
}

const VideoOnly kVideoOnly[] = {
    {0, 0, 0, "mpeg4", "", false},
    {2, 0, 1, "h264", "", true},
    {2, 0, 2, "h264", "", false},
    {2, 0, 3, "mpeg4", "", false},
    {2, 0, 4, "mpeg4", "", false},
    {0, 0, 5, "h264", "", false},
    {0, 0, 6, "mpeg4", "", false},
    {1, 0, 7, "mpeg4", "", false},
    {3, 0, 9, "flv1", "", false},
    {4, 0, 10, "mpeg2video", "16:9", false},
    {4, 1, 11, "mpeg2video", "", false},
    {6, 0, 12, "wmv2", "", false},
    // The disc formats without an aspect option take the source's nearer one.
    {5, 0, 10, "mpeg2video", "16:9", false},
    {5, 1, 11, "mpeg1video", "16:9", false},
};

class ConvertVideoOnly : public ::testing::TestWithParam<VideoOnly> {};

TEST_P(ConvertVideoOnly, ConvertsToEveryVideoFormat)
{
    const VideoOnly& v = GetParam();
    const std::string out = kDataDir + "/video-only-" + std::to_string(v.category) + "-" + std::to_string(v.model) + "-"
        + std::to_string(v.format);
    stdfs::remove_all(out);
    int status = -1;
    const std::string log = run(quote(kProgramDir + "/quillfer-cli") + " convert -c " + std::to_string(v.category)
                                    + " -m " + std::to_string(v.model) + " -f " + std::to_string(v.format)
                                    + " --output-folder " + quote(out) + " " + quote(videoOnlyClip()),
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

// Today's formats over the sources of today: 10-bit, 4:2:2, HDR, a phone's
// turned and variable-rate clips, 60 fps, interlaced TV, 5.1, sound alone and
// picture alone. One-second clips, small except where a box must shrink them.
struct TodaySource {
    const char* name;
    const char* file; // under kDataDir/sources
    const char* make; // ffmpeg arguments (inputs and outputs) before the file name
    const char* then; // a shell step on the made file ("" for none), "{}" is the file
    int shownWidth; // 0: no video
    int shownHeight;
    double fps; // the frame rate it plays at
    int channels; // 0: no audio
    bool tenBit;
};

#define QF_SINE "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=1 "
const TodaySource kTodaySources[] = {
    {"TenBit", "today-10bit.mp4",
     "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 " QF_SINE "-ac 2 -c:v libx264 -pix_fmt yuv420p10le -c:a aac",
     "", 160, 120, 25, 2, true},
    {"Yuv422", "today-422.mkv",
     "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 " QF_SINE "-ac 2 -c:v libx264 -pix_fmt yuv422p -c:a flac",
     "", 160, 120, 25, 2, false},
    {"HdrPq", "today-pq.mp4",
     "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 " QF_SINE "-ac 2 -pix_fmt yuv420p10le -c:v libx265 "
     "-x265-params log-level=error:colorprim=bt2020:transfer=smpte2084:colormatrix=bt2020nc "
     "-color_primaries bt2020 -color_trc smpte2084 -colorspace bt2020nc -tag:v hvc1 -c:a aac",
     "", 160, 120, 25, 2, true},
    // Filmed sideways and stored turned: shown 720x1280.
    {"PortraitPhone", "today-portrait.mp4",
     "-f lavfi -i testsrc2=size=1280x720:rate=30:duration=1 " QF_SINE "-ac 2 -c:v libx264 -preset ultrafast -c:a aac",
     "ffmpeg -v error -y -i {} -c copy -metadata:s:v:0 rotate=90 {}.turned.mp4 && mv {}.turned.mp4 {}", 720, 1280, 30,
     2, false},
    // A phone's variable frame timing around 30 fps.
    {"VariableRate", "today-vfr.mp4",
     "-f lavfi -i testsrc2=size=160x120:rate=30:duration=1 " QF_SINE "-ac 2 "
     "-vf settb=1/1000,setpts='(N/30+0.006*mod(N\\,2))/TB' -fps_mode passthrough -enc_time_base:v 1:1000 "
     "-c:v libx264 -c:a aac",
     "", 160, 120, 29.97, 2, false},
    {"Wide60", "today-60.mp4",
     "-f lavfi -i testsrc2=size=1280x720:rate=60:duration=1 " QF_SINE "-ac 2 -c:v libx264 -preset ultrafast -c:a aac",
     "", 1280, 720, 60, 2, false},
    // A TV recording: 25 interlaced frames, top field first.
    {"Interlaced", "today-interlaced.mkv",
     "-f lavfi -i testsrc2=size=160x120:rate=50:duration=1 " QF_SINE "-ac 2 -vf tinterlace=interleave_top "
     "-c:v libx264 -flags +ildct+ilme -x264-params tff=1 -c:a ac3",
     "", 160, 120, 25, 2, false},
    {"Surround51", "today-51.mkv",
     "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 " QF_SINE
     "-filter_complex '[1:a]pan=5.1|c0=c0|c1=0.8*c0|c2=0.6*c0|c3=0.1*c0|c4=0.4*c0|c5=0.3*c0[a]' -map 0:v -map '[a]' "
     "-c:v libx264 -c:a flac",
     "", 160, 120, 25, 6, false},
    {"AudioOnly", "today-audio.wav", QF_SINE "-ac 2 -c:a pcm_s16le", "", 0, 0, 0, 2, false},
    {"VideoOnly", "today-video.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 -c:v libx264", "", 160, 120,
     25, 0, false},
};
#undef QF_SINE

struct TodayFormat {
    int category;
    int model;
    int format;
    const char* container;
    const char* videoCodec; // "" for the audio formats
    const char* profile; // of the video stream
    const char* tag; // codec tag the players look for, "" for any
    int boxWidth; // 0: the source's own size
    int boxHeight;
    double fpsCap;
    const char* audioCodec;
    int sampleRate; // 0: the source's
    bool keepsSurround;
    bool keepsTenBits;
};

const TodayFormat kTodayFormats[] = {
    {8, 3, 14, kIsoFamily, "h264", "High", "avc1", 854, 480, 30, "aac", 48000, false, false},
    {9, 1, 15, kIsoFamily, "hevc", "Main", "hvc1", 1920, 1080, 60, "aac", 48000, false, false},
    {9, 4, 15, kIsoFamily, "hevc", "Main 10", "hvc1", 0, 0, 60, "aac", 48000, false, true},
    {10, 1, 16, kIsoFamily, "av1", "Main", "av01", 1280, 720, 60, "aac", 48000, false, false},
    {10, 1, 17, "matroska,webm", "av1", "Main", "", 1280, 720, 60, "opus", 48000, false, false},
    {11, 2, 18, "matroska,webm", "vp9", "Profile 0", "", 854, 480, 30, "opus", 48000, false, false},
    {12, 0, 19, kIsoFamily, "", "", "", 0, 0, 0, "aac", 0, false, false},
    {12, 0, 20, "flac", "", "", "", 0, 0, 0, "flac", 0, true, false},
    {12, 0, 21, "ogg", "", "", "", 0, 0, 0, "opus", 48000, false, false},
};

struct TodayCase {
    const TodaySource* source;
    const TodayFormat* format;
    bool play; // the first case of each format also plays in mplayer
};

void PrintTo(const TodayCase& c, std::ostream* os) { *os << c.source->name << " to format " << c.format->format; }

// A lean axis: each format meets the sources that test its own rules.
std::vector<TodayCase> todayCases()
{
    const std::map<int, std::vector<std::string>> axis = {
        {14,
         {"TenBit", "Yuv422", "HdrPq", "PortraitPhone", "VariableRate", "Wide60", "Interlaced", "Surround51",
          "VideoOnly"}},
        {15, {"PortraitPhone", "Yuv422", "Surround51", "VideoOnly"}},
        {16, {"TenBit", "Surround51"}},
        {17, {"VariableRate", "Interlaced"}},
        {18, {"Wide60", "Surround51"}},
        {19, {"Surround51", "AudioOnly"}},
        {20, {"Surround51", "AudioOnly"}},
        {21, {"Surround51", "AudioOnly"}},
    };
    std::vector<TodayCase> all;
    for (const TodayFormat& f : kTodayFormats) {
        std::vector<std::string> names
            = f.keepsTenBits ? std::vector<std::string>{"TenBit", "Yuv422"} : axis.at(f.format);
        bool first = true;
        for (const std::string& name : names)
            for (const TodaySource& s : kTodaySources)
                if (name == s.name) {
                    all.push_back({&s, &f, first});
                    first = false;
                }
    }
    return all;
}

std::string todaySourceFile(const TodaySource& s)
{
    const std::string dir = kDataDir + "/sources";
    const std::string target = dir + "/" + s.file;
    if (stdfs::exists(target))
        return target;
    stdfs::create_directories(dir);
    const std::string scratch = dir + "/" + std::to_string(getpid()) + "." + s.file;
    int status = -1;
    std::string out = run(std::string("ffmpeg -nostdin -y -loglevel error ") + s.make + " " + quote(scratch), &status);
    if (status == 0 && *s.then)
        out += run(replaceAll(s.then, "{}", quote(scratch)), &status);
    if (status != 0) {
        ADD_FAILURE() << "could not make " << s.file << ": " << out;
        return target;
    }
    stdfs::rename(scratch, target);
    return target;
}

// The top-level boxes of an MP4 file, in order ("ftyp", "moov", "mdat"...).
std::vector<std::string> topLevelBoxes(const std::string& file)
{
    std::vector<std::string> boxes;
    std::ifstream in(file, std::ios::binary);
    for (unsigned char head[16]; in.read(reinterpret_cast<char*>(head), 8);) {
        uint64_t size = uint64_t(head[0]) << 24 | uint64_t(head[1]) << 16 | uint64_t(head[2]) << 8 | head[3];
        boxes.emplace_back(reinterpret_cast<char*>(head) + 4, 4);
        uint64_t skip = size - 8;
        if (size == 1) {
            if (!in.read(reinterpret_cast<char*>(head + 8), 8))
                break;
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | head[i];
            skip = size - 16;
        }
        if (size < 8)
            break;
        in.seekg(static_cast<std::streamoff>(skip), std::ios::cur);
    }
    return boxes;
}

class ConvertToday : public ::testing::TestWithParam<TodayCase> {};

TEST_P(ConvertToday, FitsThePlayersOfToday)
{
    const TodaySource& s = *GetParam().source;
    const TodayFormat& f = *GetParam().format;
    const std::string source = todaySourceFile(s);
    const std::string out
        = kDataDir + "/today-" + s.name + "-" + std::to_string(f.format) + "-" + std::to_string(f.model);
    stdfs::remove_all(out);
    int status = -1;
    const std::string log = run(quote(kProgramDir + "/quillfer-cli") + " convert -c " + std::to_string(f.category)
                                    + " -m " + std::to_string(f.model) + " -f " + std::to_string(f.format)
                                    + " --output-folder " + quote(out) + " " + quote(source),
                                &status);
    ASSERT_EQ(status, 0) << log;
    ASSERT_NE(log.find("已完成"), std::string::npos) << log;
    std::vector<std::string> left;
    for (const auto& entry : stdfs::directory_iterator(out))
        left.push_back(entry.path().string());
    ASSERT_EQ(left.size(), 1u) << log;
    const std::string file = left[0];

    auto facts = probe(file);
    EXPECT_EQ(facts["format.format_name"], f.container);
    EXPECT_NEAR(std::stod("0" + facts["format.duration"]), 1.0, 0.25);
    // Every output decodes without a word from the decoder.
    EXPECT_EQ(run("ffmpeg -nostdin -v error -i " + quote(file) + " -f null - 2>&1"), "");
    if (std::string(f.container) == kIsoFamily) {
        const std::vector<std::string> boxes = topLevelBoxes(file);
        const auto moov = std::find(boxes.begin(), boxes.end(), "moov");
        ASSERT_NE(moov, boxes.end());
        EXPECT_LT(moov - boxes.begin(), std::find(boxes.begin(), boxes.end(), "mdat") - boxes.begin())
            << "the index stands ahead of the media";
    }

    if (s.channels > 0) {
        EXPECT_EQ(facts["audio.codec_name"], f.audioCodec);
        EXPECT_EQ(facts["audio.channels"], std::to_string(f.keepsSurround ? s.channels : 2));
        EXPECT_EQ(facts["audio.sample_rate"], std::to_string(f.sampleRate ? f.sampleRate : 48000));
    } else {
        EXPECT_EQ(facts.count("audio.codec_name"), 0u);
    }
    if (!*f.videoCodec || s.shownWidth == 0) {
        EXPECT_EQ(facts.count("video.codec_name"), 0u) << facts["video.codec_name"];
        return;
    }
    EXPECT_EQ(facts["video.codec_name"], f.videoCodec);
    // Main 10 only where the source has the bits.
    EXPECT_EQ(facts["video.profile"], f.keepsTenBits && !s.tenBit ? std::string("Main") : std::string(f.profile));
    if (*f.tag) {
        EXPECT_EQ(facts["video.codec_tag_string"], f.tag);
    }
    EXPECT_EQ(facts["video.pix_fmt"], f.keepsTenBits && s.tenBit ? "yuv420p10le" : "yuv420p");
    // Inside the box with the source's shape (turned upright), never enlarged, even.
    double factor = 1;
    if (f.boxWidth > 0)
        factor = std::min({1.0, double(f.boxWidth) / s.shownWidth, double(f.boxHeight) / s.shownHeight});
    const int width = 2 * int(std::lround(s.shownWidth * factor / 2));
    const int height = 2 * int(std::lround(s.shownHeight * factor / 2));
    EXPECT_EQ(facts["video.width"] + "x" + facts["video.height"], std::to_string(width) + "x" + std::to_string(height));
    // The source's rate, at most the model's, constant.
    const std::string rate = facts["video.r_frame_rate"];
    const size_t slash = rate.find('/');
    ASSERT_NE(slash, std::string::npos) << rate;
    // A variable rate comes out as the nearest standard one (29.97 or 30 here).
    EXPECT_NEAR(std::stod(rate.substr(0, slash)) / std::stod(rate.substr(slash + 1)), std::min(s.fps, f.fpsCap), 0.05)
        << rate;
    const std::string order = facts["video.field_order"];
    EXPECT_TRUE(order.empty() || order == "progressive" || order == "unknown") << order;
    if (std::string(s.name) == "HdrPq") {
        EXPECT_EQ(facts["video.color_transfer"], "bt709") << "tone-mapped to SDR";
    }

    if (GetParam().play) {
        const std::string played = run("mplayer -nolirc -noconfig all -vo null -ao null -speed 100 " + quote(file));
        EXPECT_NE(played.find("VIDEO:"), std::string::npos) << played;
        EXPECT_NE(played.find("Exiting... (End of file)"), std::string::npos) << played;
    }
}

INSTANTIATE_TEST_SUITE_P(Today, ConvertToday, ::testing::ValuesIn(todayCases()), [](const auto& info) {
    return std::string(info.param.source->name) + "_format" + std::to_string(info.param.format->format) + "_model"
        + std::to_string(info.param.format->model);
});

// The music formats play in mplayer too.
TEST(ConvertToday, MusicFormatsPlay)
{
    const std::string source = todaySourceFile(kTodaySources[8]);
    for (int format : {19, 20, 21}) {
        const std::string out = kDataDir + "/today-play-" + std::to_string(format);
        stdfs::remove_all(out);
        int status = -1;
        const std::string log
            = run(quote(kProgramDir + "/quillfer-cli") + " convert -c 12 -m 0 -f " + std::to_string(format)
                      + " --output-folder " + quote(out) + " " + quote(source),
                  &status);
        ASSERT_EQ(status, 0) << log;
        for (const auto& entry : stdfs::directory_iterator(out)) {
            const std::string played
                = run("mplayer -nolirc -noconfig all -vo null -ao null -speed 100 " + quote(entry.path().string()));
            EXPECT_NE(played.find("AUDIO:"), std::string::npos) << played;
            EXPECT_NE(played.find("Exiting... (End of file)"), std::string::npos) << played;
        }
    }
}

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
