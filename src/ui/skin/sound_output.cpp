#include "ui/skin/sound_output.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace qf::ui {

namespace {

// The few declarations of the sound server's simple playback interface that
// are used here; their layout is the library's stable ABI.
struct PaSimple;
struct PaSampleSpec {
    int format;
    uint32_t rate;
    uint8_t channels;
};
struct PaBufferAttr {
    uint32_t maxlength, tlength, prebuf, minreq, fragsize;
};
constexpr int kPaStreamPlayback = 1;
constexpr int kPaSampleS16le = 3;
constexpr uint32_t kPaDefault = static_cast<uint32_t>(-1);

struct PaApi {
    PaSimple* (*open)(const char*, const char*, int, const char*, const char*, const PaSampleSpec*, const void*,
                      const PaBufferAttr*, int*)
        = nullptr;
    int (*write)(PaSimple*, const void*, size_t, int*) = nullptr;
    int (*drain)(PaSimple*, int*) = nullptr;
    int (*flush)(PaSimple*, int*) = nullptr;
    void (*close)(PaSimple*) = nullptr;
};

template <typename F> bool resolve(void* handle, const char* name, F& function)
{
    function = reinterpret_cast<F>(::dlsym(handle, name));
    return function != nullptr;
}

// Loaded once per process and never unloaded: the server library keeps
// threads and handlers of its own that must not outlive its code.
const PaApi* paApi(const std::string& library)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<PaApi>> loaded;
    std::lock_guard lock(mutex);
    auto found = loaded.find(library);
    if (found != loaded.end())
        return found->second.get();
    std::unique_ptr<PaApi> api;
    if (void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        api = std::make_unique<PaApi>();
        if (!resolve(handle, "pa_simple_new", api->open) || !resolve(handle, "pa_simple_write", api->write)
            || !resolve(handle, "pa_simple_drain", api->drain) || !resolve(handle, "pa_simple_flush", api->flush)
            || !resolve(handle, "pa_simple_free", api->close))
            api.reset();
    }
    return loaded.emplace(library, std::move(api)).first->second.get();
}

// 20 ms per write, and a server buffer of two of them, so that a restart or
// the program's end cuts a sound within a few tens of milliseconds.
constexpr size_t kChunkSamples = SoundOutput::kRate / 50;
constexpr uint32_t kTargetBytes = 2 * kChunkSamples * sizeof(int16_t);

} // namespace

struct SoundOutput::Voice {
    int id = 0;
    Samples pending;
    uint64_t requested = 0; // plays asked for
    uint64_t served = 0; // plays finished (played, cut or skipped)
    std::thread thread;
};

SoundOutput::SoundOutput(std::string library) : library_(std::move(library)) {}

SoundOutput::~SoundOutput()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& voice : voices_)
        voice->thread.join();
}

void SoundOutput::play(int voice, Samples samples)
{
    if (!samples)
        return;
    std::lock_guard lock(mutex_);
    if (stopping_)
        return;
    auto found = std::find_if(voices_.begin(), voices_.end(), [voice](const auto& v) { return v->id == voice; });
    Voice* target = found != voices_.end() ? found->get() : nullptr;
    if (!target) {
        voices_.push_back(std::make_unique<Voice>());
        target = voices_.back().get();
        target->id = voice;
        target->thread = std::thread([this, target] { run(*target); });
    }
    target->pending = std::move(samples);
    ++target->requested;
    changed_.notify_all();
}

SoundOutput::Tally SoundOutput::tally() const
{
    std::lock_guard lock(mutex_);
    return tally_;
}

bool SoundOutput::waitIdle(int ms) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return std::all_of(voices_.begin(), voices_.end(), [](const auto& v) { return v->served == v->requested; });
    });
}

bool SoundOutput::interrupted(const Voice& voice, uint64_t generation) const
{
    std::lock_guard lock(mutex_);
    return stopping_ || voice.requested != generation;
}

void SoundOutput::run(Voice& voice)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || voice.requested != voice.served; });
        if (stopping_)
            break;
        const uint64_t generation = voice.requested;
        const Samples samples = voice.pending;
        lock.unlock();
        const Outcome outcome = render(voice, *samples, generation);
        lock.lock();
        // Plays asked for meanwhile are replaced by the newest one, which
        // starts over from its beginning on the next turn.
        voice.served = voice.requested == generation ? generation : voice.requested - 1;
        switch (outcome) {
        case Outcome::Played: ++tally_.played; break;
        case Outcome::Cut: ++tally_.cut; break;
        case Outcome::Unavailable: ++tally_.unavailable; break;
        }
        changed_.notify_all();
    }
    // Whatever was still asked for is over now.
    voice.served = voice.requested;
    changed_.notify_all();
}

SoundOutput::Outcome SoundOutput::render(Voice& voice, const std::vector<int16_t>& samples, uint64_t generation)
{
    const PaApi* api = paApi(library_);
    if (!api)
        return Outcome::Unavailable;
    const PaSampleSpec spec{kPaSampleS16le, kRate, 1};
    const PaBufferAttr attr{kPaDefault, kTargetBytes, kPaDefault, kPaDefault, kPaDefault};
    const std::string stream = "sound " + std::to_string(voice.id);
    int error = 0;
    PaSimple* out
        = api->open(nullptr, "Quillfer", kPaStreamPlayback, nullptr, stream.c_str(), &spec, nullptr, &attr, &error);
    if (!out)
        return Outcome::Unavailable;
    Outcome outcome = Outcome::Played;
    for (size_t at = 0; at < samples.size(); at += kChunkSamples) {
        if (interrupted(voice, generation)) {
            outcome = Outcome::Cut;
            break;
        }
        const size_t count = std::min(kChunkSamples, samples.size() - at);
        if (api->write(out, samples.data() + at, count * sizeof(int16_t), &error) < 0) {
            outcome = Outcome::Unavailable;
            break;
        }
    }
    if (outcome == Outcome::Played)
        api->drain(out, &error);
    else
        api->flush(out, &error);
    api->close(out);
    return outcome;
}

} // namespace qf::ui
