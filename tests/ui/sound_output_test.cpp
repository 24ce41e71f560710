// The skin's sound output: loaded on first play, never blocking the caller,
// silent without a library or a server, restarting a voice that plays again,
// overlapping different voices and cutting sounds short at its end.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "ui/skin/sound_output.h"
#include "ui/skin/sounds.h"

namespace qf::ui {
namespace {

constexpr int kLongWaitMs = 20000;

SoundOutput::Samples samples(double seconds)
{
    return std::make_shared<const std::vector<int16_t>>(static_cast<size_t>(seconds * SoundOutput::kRate), 1000);
}

struct FakeCounters {
    int opened = 0, closed = 0, drained = 0, flushed = 0, mostOpen = 0;
    long bytes = 0;
};

// The stand-in library, as the output loads it (the same handle).
class FakeServer {
public:
    FakeServer()
    {
        handle_ = ::dlopen(QF_FAKE_SOUND_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            return;
        read_ = reinterpret_cast<void (*)(int*, long*)>(::dlsym(handle_, "fake_sound_counters"));
        reinterpret_cast<void (*)()>(::dlsym(handle_, "fake_sound_reset"))();
    }
    ~FakeServer()
    {
        if (handle_)
            ::dlclose(handle_);
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    bool loaded() const { return handle_ && read_; }
    FakeCounters counters() const
    {
        int c[5] = {};
        FakeCounters out;
        read_(c, &out.bytes);
        out.opened = c[0], out.closed = c[1], out.drained = c[2], out.flushed = c[3], out.mostOpen = c[4];
        return out;
    }
    // Until the server has taken some samples of the current sound.
    bool waitForBytes(long atLeast) const
    {
        for (int i = 0; i < kLongWaitMs / 5; ++i) {
            if (counters().bytes >= atLeast)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    void* handle_ = nullptr;
    void (*read_)(int*, long*) = nullptr;
};

TEST(SoundOutput, SkipsSilentlyWithoutLibraryOrServer)
{
    {
        SoundOutput output("libquillfer-no-such-sound-library.so.0");
        output.play(1, samples(0.2));
        output.play(2, samples(0.2));
        ASSERT_TRUE(output.waitIdle(kLongWaitMs));
        EXPECT_EQ(output.tally().unavailable, 2);
        EXPECT_EQ(output.tally().played, 0);
    }
    // The real library, pointed at a server that is not there: it must not
    // start one of its own, and the play is skipped.
    const char* saved = std::getenv("PULSE_SERVER");
    const std::optional<std::string> before = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("PULSE_SERVER", "unix:/nonexistent/quillfer-test/native", 1);
    {
        SoundOutput output;
        output.play(int(Sound::Start), samples(0.1));
        ASSERT_TRUE(output.waitIdle(kLongWaitMs));
        EXPECT_EQ(output.tally().unavailable, 1);
    }
    if (before)
        ::setenv("PULSE_SERVER", before->c_str(), 1);
    else
        ::unsetenv("PULSE_SERVER");
}

TEST(SoundOutput, RestartsAVoiceAndOverlapsOthers)
{
    FakeServer server;
    ASSERT_TRUE(server.loaded()) << ::dlerror();
    SoundOutput output(QF_FAKE_SOUND_LIBRARY);
    const auto longSound = samples(3.0);
    const long longBytes = static_cast<long>(longSound->size() * 2);

    output.play(1, longSound);
    ASSERT_TRUE(server.waitForBytes(1));
    // Pressed again while it plays: cut, then played from the start once.
    output.play(1, samples(0.1));
    // Another sound meanwhile plays beside it.
    output.play(2, samples(0.3));
    ASSERT_TRUE(output.waitIdle(kLongWaitMs));

    const SoundOutput::Tally tally = output.tally();
    EXPECT_EQ(tally.cut, 1);
    EXPECT_EQ(tally.played, 2);
    EXPECT_EQ(tally.unavailable, 0);
    const FakeCounters c = server.counters();
    EXPECT_EQ(c.opened, 3);
    EXPECT_EQ(c.closed, 3);
    EXPECT_EQ(c.flushed, 1);
    EXPECT_EQ(c.drained, 2);
    EXPECT_EQ(c.mostOpen, 2);
    // The cut sound was not written to its end.
    EXPECT_LT(c.bytes, longBytes);
}

TEST(SoundOutput, PlaysReturnAtOnceAndTheEndCutsLongSounds)
{
    FakeServer server;
    ASSERT_TRUE(server.loaded()) << ::dlerror();
    {
        SoundOutput output(QF_FAKE_SOUND_LIBRARY);
        // A minute of sound: if play() or the destructor waited for it, the
        // test would run into its time limit.
        output.play(5, samples(60.0));
        output.play(6, samples(60.0));
        ASSERT_TRUE(server.waitForBytes(2));
        EXPECT_EQ(output.tally().played, 0);
    }
    const FakeCounters c = server.counters();
    EXPECT_EQ(c.opened, 2);
    EXPECT_EQ(c.closed, 2);
    EXPECT_EQ(c.flushed, 2);
    EXPECT_EQ(c.drained, 0);
}

TEST(SoundOutput, ManyQuickPressesPlayTheLastOneOnly)
{
    FakeServer server;
    ASSERT_TRUE(server.loaded()) << ::dlerror();
    SoundOutput output(QF_FAKE_SOUND_LIBRARY);
    output.play(3, samples(2.0));
    ASSERT_TRUE(server.waitForBytes(1));
    for (int i = 0; i < 20; ++i)
        output.play(3, samples(0.05));
    ASSERT_TRUE(output.waitIdle(kLongWaitMs));
    const SoundOutput::Tally tally = output.tally();
    // The long one is cut; of the presses made while it played, at most the
    // last few got a turn, and the last always played to its end.
    EXPECT_EQ(tally.cut + tally.played, server.counters().opened);
    EXPECT_GE(tally.cut, 1);
    EXPECT_GE(tally.played, 1);
    EXPECT_LE(server.counters().opened, 21);
    EXPECT_EQ(server.counters().closed, server.counters().opened);
}

TEST(SoundOutput, SkinSoundsAreTheirWaveFilesSamples)
{
    // The samples the output gets are those of the WAVE file the sound names.
    for (Sound s : {Sound::Start, Sound::Chimes, Sound::Notify, Sound::Ding, Sound::DingFile, Sound::Wave154}) {
        const QByteArray wave = soundWave(s);
        ASSERT_GT(wave.size(), 44);
        EXPECT_EQ(wave.mid(0, 4), QByteArray("RIFF"));
        const auto dataBytes = static_cast<uint32_t>(static_cast<uint8_t>(wave[40]))
            | static_cast<uint32_t>(static_cast<uint8_t>(wave[41])) << 8
            | static_cast<uint32_t>(static_cast<uint8_t>(wave[42])) << 16;
        EXPECT_EQ(static_cast<qsizetype>(dataBytes) + 44, wave.size()) << soundName(s);
    }
}

} // namespace
} // namespace qf::ui
