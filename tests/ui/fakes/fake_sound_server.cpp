// A stand-in for the sound server's simple playback library: it takes
// samples at the pace a real server plays them and counts what it was given,
// so that tests can see restarts, overlaps and cuts without a sound server.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

namespace {
struct Counters {
    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> drained{0};
    std::atomic<int> flushed{0};
    std::atomic<int> open{0};
    std::atomic<int> mostOpen{0};
    std::atomic<long> bytes{0};
} counters;
struct Stream {
    int unused = 0;
};
} // namespace

extern "C" {

__attribute__((visibility("default"))) void* pa_simple_new(const char*, const char*, int, const char*, const char*,
                                                           const void*, const void*, const void*, int*)
{
    ++counters.opened;
    const int now = ++counters.open;
    int most = counters.mostOpen.load();
    while (now > most && !counters.mostOpen.compare_exchange_weak(most, now)) {}
    return new Stream;
}

__attribute__((visibility("default"))) int pa_simple_write(void*, const void*, size_t bytes, int*)
{
    // 16-bit mono at 22050 Hz.
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(bytes) * 1000000 / (2 * 22050)));
    counters.bytes += static_cast<long>(bytes);
    return 0;
}

__attribute__((visibility("default"))) int pa_simple_drain(void*, int*)
{
    ++counters.drained;
    return 0;
}

__attribute__((visibility("default"))) int pa_simple_flush(void*, int*)
{
    ++counters.flushed;
    return 0;
}

__attribute__((visibility("default"))) void pa_simple_free(void* stream)
{
    delete static_cast<Stream*>(stream);
    --counters.open;
    ++counters.closed;
}

// What the tests read: opened, closed, drained, flushed, most open at once, bytes.
__attribute__((visibility("default"))) void fake_sound_counters(int* out, long* bytes)
{
    out[0] = counters.opened;
    out[1] = counters.closed;
    out[2] = counters.drained;
    out[3] = counters.flushed;
    out[4] = counters.mostOpen;
    *bytes = counters.bytes;
}

__attribute__((visibility("default"))) void fake_sound_reset()
{
    counters.opened = counters.closed = counters.drained = counters.flushed = counters.open = counters.mostOpen = 0;
    counters.bytes = 0;
}
}
