// The prober against a stand-in library: the exact queries, the numbers read
// from odd texts, what a refused or unreadable file leaves behind, and the
// library's lifetime.

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/shared_library.h"
#include "probe/media_info_library.h"
#include "probe/media_summary.h"

namespace qf::probe {
namespace {

constexpr int kGeneral = 0;
constexpr int kVideo = 1;
constexpr int kAudio = 2;

class FakeLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(control_.load(QF_FAKE_MEDIA_INFO)) << control_.error();
        reset_ = reinterpret_cast<void (*)()>(control_.symbol("FakeMediaInfo_Reset"));
        setAnswer_
            = reinterpret_cast<void (*)(int, const char*, const char*)>(control_.symbol("FakeMediaInfo_SetAnswer"));
        setCount_ = reinterpret_cast<void (*)(int, size_t)>(control_.symbol("FakeMediaInfo_SetCount"));
        setOpenResult_ = reinterpret_cast<void (*)(size_t)>(control_.symbol("FakeMediaInfo_SetOpenResult"));
        log_ = reinterpret_cast<const char* (*)()>(control_.symbol("FakeMediaInfo_Log"));
        ASSERT_TRUE(reset_ && setAnswer_ && setCount_ && setOpenResult_ && log_);
        reset_();
        ASSERT_TRUE(library_.load(QF_FAKE_MEDIA_INFO));
    }

    void answer(int kind, const char* parameter, const char* value) { setAnswer_(kind, parameter, value); }
    void streams(size_t video, size_t audio)
    {
        setCount_(kVideo, video);
        setCount_(kAudio, audio);
    }
    // A file with every fact the prober reads.
    void fullFile()
    {
        streams(1, 1);
        answer(kGeneral, "Format", "AVI");
        answer(kGeneral, "Format/Extensions", "avi");
        answer(kGeneral, "Duration", "2040");
        answer(kVideo, "Format", "MPEG-4 Visual");
        answer(kVideo, "Width", "160");
        answer(kVideo, "Height", "120");
        answer(kVideo, "FrameRate", "25.000");
        answer(kVideo, "BitRate/String", "212 kb/s");
        answer(kVideo, "DisplayAspectRatio/String", "4:3");
        answer(kVideo, "Duration/String3", "00:00:02.040");
        answer(kAudio, "Format", "MPEG Audio");
        answer(kAudio, "BitRate/String", "64.0 kb/s");
        answer(kAudio, "SamplingRate", "44100");
        answer(kAudio, "StreamKindID", "0");
        answer(kAudio, "Duration/String3", "00:00:02.038");
    }
    std::string log() const { return log_(); }

    platform::SharedLibrary control_; // keeps the stand-in mapped to read its log after unload
    MediaInfoLibrary library_;
    void (*reset_)() = nullptr;
    void (*setAnswer_)(int, const char*, const char*) = nullptr;
    void (*setCount_)(int, size_t) = nullptr;
    void (*setOpenResult_)(size_t) = nullptr;
    const char* (*log_)() = nullptr;
};

TEST_F(FakeLibraryTest, QueriesInFixedOrderAndLeavesTheFileClosed)
{
    fullFile();
    MediaSummary summary(library_);
    ASSERT_TRUE(summary.probeFile("/media/clip.avi"));
    EXPECT_TRUE(summary.isClosed());
    EXPECT_EQ(log(),
              "New\n"
              "Open /media/clip.avi\n"
              "Count 1 -1\nCount 2 -1\n"
              "Get 0 0 Format 1 0\nGet 0 0 Format/Extensions 1 0\nGet 0 0 Duration 1 0\n"
              "Get 1 0 Format 1 0\nGet 1 0 Width 1 0\nGet 1 0 Height 1 0\nGet 1 0 FrameRate 1 0\n"
              "Get 1 0 BitRate/String 1 0\nGet 1 0 DisplayAspectRatio/String 1 0\nGet 1 0 Duration/String3 1 0\n"
              "Get 2 0 Format 1 0\nGet 2 0 BitRate/String 1 0\nGet 2 0 SamplingRate 1 0\n"
              "Get 2 0 StreamKindID 1 0\nGet 2 0 Duration/String3 1 0\n"
              "Close\n");
    EXPECT_EQ(summary.format, "AVI");
    EXPECT_EQ(summary.videoSize, "160 x 120 pixels");
    EXPECT_EQ(summary.videoFrameRate, "25.000 fps");
    EXPECT_EQ(summary.audioSamplingRate, "44100 Hz");
    EXPECT_EQ(summary.durationSeconds, 2u);
}

TEST_F(FakeLibraryTest, NumbersComeFromLeadingDigitsOnly)
{
    struct Case {
        const char* duration;
        const char* width;
        const char* height;
        uint32_t seconds;
        int32_t w, h;
        const char* size;
    };
    const std::vector<Case> cases = {
        {"1999", "720", "576", 1, 720, 576, "720 x 576 pixels"},
        {"123456.789", "1920", "1080", 123, 1920, 1080, "1920 x 1080 pixels"},
        {"999", "", "", 0, 0, 0, "0 x 0 pixels"},
        {"", "abc", "-5", 0, 0, 0, "0 x 0 pixels"},
        {"abc123", " 640", "480px", 0, 0, 480, "0 x 480 pixels"},
        {"99999999999999999999999", "99999999999", "1", UINT32_MAX, INT32_MAX, 1, "2147483647 x 1 pixels"},
    };
    MediaSummary summary(library_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.duration);
        streams(1, 0);
        answer(kGeneral, "Duration", c.duration);
        answer(kVideo, "Width", c.width);
        answer(kVideo, "Height", c.height);
        ASSERT_TRUE(summary.probeFile("x"));
        EXPECT_EQ(summary.durationSeconds, c.seconds);
        EXPECT_EQ(summary.width, c.w);
        EXPECT_EQ(summary.height, c.h);
        EXPECT_EQ(summary.videoSize, c.size);
    }
}

TEST_F(FakeLibraryTest, AFileWithoutVideoKeepsTheOldVideoTextsButNotTheFrameRate)
{
    fullFile();
    MediaSummary summary(library_);
    ASSERT_TRUE(summary.probeFile("video.avi"));
    streams(0, 1);
    answer(kVideo, "Format", "should not be read");
    ASSERT_TRUE(summary.probeFile("audio.mp3"));
    EXPECT_FALSE(summary.hasVideo);
    EXPECT_TRUE(summary.hasAudio);
    EXPECT_EQ(summary.videoFormat, "MPEG-4 Visual");
    EXPECT_EQ(summary.videoSize, "160 x 120 pixels");
    EXPECT_EQ(summary.width, 160);
    EXPECT_TRUE(summary.videoFrameRate.empty());
}

TEST_F(FakeLibraryTest, AFileWithoutStreamsChangesOnlyTheFlags)
{
    fullFile();
    MediaSummary summary(library_);
    ASSERT_TRUE(summary.probeFile("clip.avi"));
    reset_();
    streams(0, 0);
    EXPECT_FALSE(summary.probeFile("notes.txt"));
    EXPECT_EQ(log(), "Open notes.txt\nCount 1 -1\nCount 2 -1\nClose\n");
    EXPECT_FALSE(summary.hasVideo);
    EXPECT_FALSE(summary.hasAudio);
    EXPECT_EQ(summary.format, "AVI");
    EXPECT_EQ(summary.videoFrameRate, "25.000 fps");
    EXPECT_TRUE(summary.isClosed());
}

TEST_F(FakeLibraryTest, AFileTheLibraryCannotOpenChangesNothing)
{
    fullFile();
    MediaSummary summary(library_);
    ASSERT_TRUE(summary.probeFile("clip.avi"));
    reset_();
    setOpenResult_(0);
    EXPECT_FALSE(summary.probeFile("broken.avi"));
    EXPECT_EQ(log(), "Open broken.avi\n"); // no Close for a file that never opened
    EXPECT_TRUE(summary.hasVideo);
    EXPECT_TRUE(summary.hasAudio);
    EXPECT_TRUE(summary.isClosed());
}

TEST_F(FakeLibraryTest, ClosedSummaryAsksTheLibraryNothing)
{
    MediaSummary summary(library_);
    reset_();
    EXPECT_TRUE(summary.getText(StreamKind::General, 0, "Format").empty());
    EXPECT_EQ(summary.countStreams(StreamKind::Video), 0u);
    summary.close();
    EXPECT_EQ(log(), "");
}

TEST_F(FakeLibraryTest, DestroyingASummaryClosesAnOpenFileThenDeletesTheHandle)
{
    fullFile();
    {
        MediaSummary summary(library_);
        ASSERT_TRUE(summary.open("clip.avi"));
        EXPECT_FALSE(summary.isClosed());
        reset_();
    }
    EXPECT_EQ(log(), "Close\nDelete\n");
}

TEST_F(FakeLibraryTest, HandlesOfAnUnloadedLibraryAreDroppedWithoutCallingIt)
{
    fullFile();
    auto earlier = std::make_unique<MediaSummary>(library_);
    ASSERT_TRUE(earlier->hasHandle());
    library_.unload();
    reset_();
    fullFile();
    EXPECT_FALSE(earlier->probeFile("clip.avi"));
    // Loaded again, the library no longer knows the earlier handle.
    ASSERT_TRUE(library_.load(QF_FAKE_MEDIA_INFO));
    EXPECT_FALSE(earlier->probeFile("clip.avi"));
    earlier.reset();
    EXPECT_EQ(log(), "");
    MediaSummary fresh(library_);
    EXPECT_TRUE(fresh.probeFile("clip.avi"));
}

TEST(MediaInfoLibraryTest, LoadFailsAndReleasesWhenTheFileOrAnEntryPointIsMissing)
{
    MediaInfoLibrary library;
    EXPECT_FALSE(library.load("/nonexistent/OLIVE.dll"));
    EXPECT_FALSE(library.loaded());
    // Every entry point must resolve, the ones never called as well.
    for (const char* partial : {QF_FAKE_MEDIA_INFO_PARTIAL, QF_FAKE_MEDIA_INFO_NO_OPTION}) {
        SCOPED_TRACE(partial);
        EXPECT_FALSE(library.load(partial));
        EXPECT_FALSE(library.loaded());
        EXPECT_EQ(library.api().create, nullptr);
    }

    ASSERT_TRUE(library.load(QF_FAKE_MEDIA_INFO));
    const uint64_t generation = library.generation();
    EXPECT_TRUE(library.load(QF_FAKE_MEDIA_INFO_PARTIAL)); // already loaded: kept as it is
    EXPECT_EQ(library.generation(), generation);
    EXPECT_NE(library.api().countGet, nullptr);
}

TEST(MediaInfoLibraryTest, ASummaryMadeWithoutTheLibraryRefusesEveryFile)
{
    MediaInfoLibrary library;
    MediaSummary summary(library);
    EXPECT_FALSE(summary.hasHandle());
    EXPECT_FALSE(summary.open(QF_FAKE_MEDIA_INFO));
    EXPECT_FALSE(summary.probeFile(QF_FAKE_MEDIA_INFO));
    EXPECT_FALSE(summary.hasVideo);
    EXPECT_TRUE(summary.isClosed());
}

} // namespace
} // namespace qf::probe
