// The real library from the program directory on media generated at test
// time: the facts of each kind of file, refusals, a Chinese file name under
// a locale that cannot spell it, names the library cannot take (read from
// their bytes), and start-up's load of the library.

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "probe/media_info_library.h"
#include "probe/media_summary.h"
#include "probe/support/probe_media.h"

namespace qf::probe {
namespace {

using testing::probeMedia;

class RealLibraryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The process starts in the C locale; make sure of it, since the
        // Chinese file name must be probed whatever the locale says.
        std::setlocale(LC_ALL, "C");
        ASSERT_TRUE(loadMediaInfoLibrary(QF_PROGRAM_DIR))
            << "cannot load " << testing::realLibraryPath() << " (apt-get install libmediainfo0v5)";
    }
    static void TearDownTestSuite() { unloadMediaInfoLibrary(); }
};

TEST_F(RealLibraryTest, VideoWithAudio)
{
    MediaSummary summary;
    ASSERT_TRUE(summary.hasHandle());
    ASSERT_TRUE(probeFile(probeMedia().videoAndAudio.c_str(), summary));
    EXPECT_TRUE(summary.isClosed());
    EXPECT_EQ(summary.format, "AVI");
    EXPECT_EQ(summary.extensions, "avi");
    EXPECT_EQ(summary.durationSeconds, 2u);
    EXPECT_TRUE(summary.hasVideo);
    EXPECT_EQ(summary.videoFormat, "MPEG-4 Visual");
    EXPECT_EQ(summary.width, 160);
    EXPECT_EQ(summary.height, 120);
    EXPECT_EQ(summary.videoSize, "160 x 120 pixels");
    EXPECT_EQ(summary.videoFrameRate, "25.000 fps");
    EXPECT_TRUE(summary.videoBitRate.endsWith(" kb/s")) << summary.videoBitRate.c_str();
    EXPECT_EQ(summary.videoAspectRatio, "4:3");
    EXPECT_TRUE(summary.videoDuration.startsWith("00:00:02.")) << summary.videoDuration.c_str();
    EXPECT_TRUE(summary.hasAudio);
    EXPECT_EQ(summary.audioFormat, "MPEG Audio");
    EXPECT_TRUE(summary.audioBitRate.endsWith(" kb/s")) << summary.audioBitRate.c_str();
    EXPECT_EQ(summary.audioSamplingRate, "44100 Hz");
    EXPECT_EQ(summary.audioStreamKindId, "0");
    EXPECT_TRUE(summary.audioDuration.startsWith("00:00:02.")) << summary.audioDuration.c_str();

    const std::string text(formatMediaSummaryText(summary).view());
    EXPECT_EQ(text.rfind("源文件格式:AVI\r\n标准扩展名:avi\r\n\r\n视频编码:MPEG-4 Visual\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\n\r\n音频编码:MPEG Audio\r\n"), std::string::npos) << text;
}

TEST_F(RealLibraryTest, AudioOnlyThenVideoOnlyWithOneProber)
{
    MediaSummary summary;
    ASSERT_TRUE(summary.probeFile(probeMedia().videoOnly.c_str()));
    EXPECT_TRUE(summary.hasVideo);
    EXPECT_FALSE(summary.hasAudio);
    EXPECT_TRUE(std::string(formatMediaSummaryText(summary).view()).ends_with("\r\n\r\n无音频"));

    ASSERT_TRUE(summary.probeFile(probeMedia().audioOnly.c_str()));
    EXPECT_FALSE(summary.hasVideo);
    EXPECT_TRUE(summary.hasAudio);
    EXPECT_EQ(summary.format, "MPEG Audio");
    EXPECT_EQ(summary.audioSamplingRate, "44100 Hz");
    EXPECT_EQ(summary.durationSeconds, 2u);
    // The video file's texts stay, apart from the frame rate.
    EXPECT_EQ(summary.videoSize, "160 x 120 pixels");
    EXPECT_TRUE(summary.videoFrameRate.empty());
    const std::string text(formatMediaSummaryText(summary).view());
    EXPECT_NE(text.find("\r\n\r\n无视频\r\n\r\n音频编码:"), std::string::npos) << text;
}

TEST_F(RealLibraryTest, FilesWithoutVideoOrAudioAreRefused)
{
    MediaSummary summary;
    ASSERT_TRUE(summary.probeFile(probeMedia().videoAndAudio.c_str()));
    for (const std::string& path :
         {probeMedia().text, probeMedia().image, probeMedia().dir + "/missing.avi", probeMedia().dir}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(summary.probeFile(path.c_str()));
        EXPECT_TRUE(summary.isClosed());
    }
    // The image opened and was refused for lack of streams: both flags cleared.
    ASSERT_FALSE(summary.probeFile(probeMedia().image.c_str()));
    EXPECT_FALSE(summary.hasVideo);
    EXPECT_FALSE(summary.hasAudio);
}

TEST_F(RealLibraryTest, ChineseFileNameUnderTheCLocale)
{
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    MediaSummary summary;
    ASSERT_TRUE(summary.probeFile(probeMedia().chineseName.c_str()));
    EXPECT_EQ(summary.format, "AVI");
    EXPECT_TRUE(summary.hasVideo);
    EXPECT_TRUE(summary.hasAudio);
    EXPECT_EQ(summary.width, 160);
    // The probe leaves the caller's locale as it was.
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

// The facts that tell one probe from another, compared as a whole.
std::string factsOf(const MediaSummary& s)
{
    return std::string(s.format.view()) + "|" + std::to_string(s.durationSeconds) + "|" + (s.hasVideo ? "v" : "-")
        + (s.hasAudio ? "a" : "-") + "|" + std::string(s.videoSize.view()) + "|" + std::string(s.videoFrameRate.view())
        + "|" + std::string(s.videoDuration.view()) + "|" + std::string(s.audioFormat.view()) + "|"
        + std::string(s.audioSamplingRate.view()) + "|" + std::string(s.audioDuration.view());
}

// Names the library cannot open by itself (not UTF-8, or read as an address)
// are probed from the bytes we read, and give what the plain name gives.
TEST_F(RealLibraryTest, AnyFileNameGivesTheFactsOfThePlainName)
{
    MediaSummary plain;
    ASSERT_TRUE(plain.probeFile(probeMedia().videoAndAudio.c_str()));
    const std::string expected = factsOf(plain);
    const std::string dir = probeMedia().dir + "/names-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir + "/http:");
    const std::string names[] = {
        "\xc4\xe3\xba\xc3.avi", // GBK, as archives from Chinese Windows carry
        "back\\slash.avi",
        "http://x.avi", // a folder "http:" holding x.avi
        "line\nbreak \"quoted\" $(x).avi",
        "\xff\xfe\x80.avi", // not GBK either
    };
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        SCOPED_TRACE(path);
        ASSERT_EQ(::link(probeMedia().videoAndAudio.c_str(), path.c_str()), 0);
        MediaSummary summary;
        ASSERT_TRUE(summary.probeFile(path.c_str()));
        EXPECT_EQ(factsOf(summary), expected);
        EXPECT_TRUE(summary.isClosed());
    }
    std::filesystem::remove_all(dir);
}

// The bytes handed over give the facts that opening by name gives, also
// where the library must jump (an MP4 whose index is at its end), and
// refuse what opening by name refuses.
TEST_F(RealLibraryTest, ReadingTheBytesMatchesOpeningByName)
{
    const std::string mp4 = probeMedia().dir + "/index-at-end-" + std::to_string(::getpid()) + ".mp4";
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=96x64:rate=25:duration=3 -f lavfi "
                           "-i sine=duration=3 -c:v mpeg4 -c:a aac -shortest '"
                           + mp4 + "'")
                              .c_str()),
              0);
    for (const std::string& path : {probeMedia().videoAndAudio, probeMedia().audioOnly, probeMedia().videoOnly, mp4}) {
        SCOPED_TRACE(path);
        MediaSummary byName;
        ASSERT_TRUE(byName.open(path.c_str()));
        ASSERT_TRUE(byName.readStreams());
        MediaSummary byBytes;
        ASSERT_TRUE(byBytes.openByReading(path.c_str()));
        ASSERT_TRUE(byBytes.readStreams());
        EXPECT_EQ(factsOf(byBytes), factsOf(byName));
        EXPECT_EQ(byBytes.extensions, byName.extensions);
    }
    std::filesystem::remove(mp4);
    MediaSummary summary;
    EXPECT_FALSE(summary.openByReading(probeMedia().dir.c_str()));
    EXPECT_FALSE(summary.openByReading((probeMedia().dir + "/missing.avi").c_str()));
    EXPECT_TRUE(summary.isClosed());
    for (const std::string& path : {probeMedia().text, probeMedia().image}) {
        SCOPED_TRACE(path);
        if (summary.openByReading(path.c_str())) {
            EXPECT_FALSE(summary.readStreams());
            summary.close();
        }
    }
}

TEST(MediaLibraryStartupTest, MissingLibraryFailsTheLoadAndLeavesProbersWithoutHandle)
{
    EXPECT_FALSE(loadMediaInfoLibrary("/nonexistent-program-directory"));
    EXPECT_FALSE(loadMediaInfoLibrary(nullptr));
    EXPECT_FALSE(mediaInfoLibrary().loaded());
    MediaSummary summary;
    EXPECT_FALSE(summary.hasHandle());
    EXPECT_FALSE(summary.probeFile(probeMedia().videoAndAudio.c_str()));
}

// The GUI finishes the load after its first paint; the first prober made
// before then must not find the library missing, and an exit before then
// must not load it just to unload it.
TEST(MediaLibraryStartupTest, DeferredLoadRunsOnceForTheFirstProberAndNotAfterExit)
{
    const std::string directory = std::string(QF_PROGRAM_DIR);
    int finishes = 0;
    deferMediaInfoLibraryLoad([&] {
        ++finishes;
        return loadMediaInfoLibrary(directory.c_str());
    });
    {
        MediaSummary summary;
        EXPECT_TRUE(summary.hasHandle());
        EXPECT_TRUE(summary.probeFile(probeMedia().videoAndAudio.c_str()));
    }
    {
        MediaSummary second;
        EXPECT_TRUE(second.hasHandle());
    }
    EXPECT_EQ(finishes, 1);
    unloadMediaInfoLibrary();

    deferMediaInfoLibraryLoad([&] {
        ++finishes;
        return loadMediaInfoLibrary(directory.c_str());
    });
    unloadMediaInfoLibrary();
    EXPECT_FALSE(mediaInfoLibrary().loaded());
    EXPECT_EQ(finishes, 1);
}

} // namespace
} // namespace qf::probe
