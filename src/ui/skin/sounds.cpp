#include "ui/skin/sounds.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "ui/skin/sound_output.h"

namespace qf::ui {

namespace {

constexpr int kRate = SoundOutput::kRate;

struct Tone {
    double frequency; // Hz
    double start; // seconds
    double length; // seconds
    double volume; // 0..1
};

std::vector<Tone> tonesOf(Sound sound)
{
    switch (sound) {
    case Sound::Start: return {{660, 0, 0.08, 0.35}, {880, 0.07, 0.12, 0.35}};
    case Sound::Chimes: return {{1047, 0, 0.35, 0.3}, {1319, 0.1, 0.35, 0.25}, {1568, 0.2, 0.4, 0.2}};
    case Sound::Notify: return {{784, 0, 0.12, 0.3}, {1175, 0.1, 0.2, 0.3}};
    case Sound::Ding:
    case Sound::DingFile: return {{1760, 0, 0.3, 0.3}};
    case Sound::Wave154: return {{2400, 0, 0.03, 0.15}};
    }
    return {};
}

void putLe(QByteArray& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::function<void(Sound)>& recorder()
{
    static std::function<void(Sound)> r;
    return r;
}

std::vector<int16_t> samplesOf(Sound sound)
{
    const std::vector<Tone> tones = tonesOf(sound);
    double total = 0;
    for (const Tone& t : tones)
        total = std::max(total, t.start + t.length);
    const int frames = static_cast<int>(total * kRate) + 1;
    std::vector<double> mix(static_cast<size_t>(frames), 0.0);
    for (const Tone& t : tones) {
        const int first = static_cast<int>(t.start * kRate);
        const int count = static_cast<int>(t.length * kRate);
        for (int i = 0; i < count && first + i < frames; ++i) {
            const double time = static_cast<double>(i) / kRate;
            // A soft attack and an exponential decay: a bell, not a beep.
            const double envelope = std::min(1.0, time / 0.004) * std::exp(-5.0 * time / t.length);
            mix[static_cast<size_t>(first + i)] += t.volume * envelope * std::sin(2 * M_PI * t.frequency * time);
        }
    }
    std::vector<int16_t> samples;
    samples.reserve(mix.size());
    for (double v : mix)
        samples.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32000)));
    return samples;
}

// One output for the program, a child of the application so that its voices
// are joined before Qt goes away. Each sound is a voice of its own: pressing
// again restarts it, while different sounds overlap.
class Player final : public QObject {
public:
    using QObject::QObject;

    void play(Sound sound)
    {
        auto& samples = samples_[sound];
        if (!samples)
            samples = std::make_shared<const std::vector<int16_t>>(samplesOf(sound));
        output_.play(static_cast<int>(sound), samples);
    }

private:
    std::map<Sound, SoundOutput::Samples> samples_;
    SoundOutput output_;
};

} // namespace

const char* soundName(Sound sound)
{
    switch (sound) {
    case Sound::Start: return "start.wav";
    case Sound::Chimes: return "chimes.wav";
    case Sound::Notify: return "notify.wav";
    case Sound::Ding:
    case Sound::DingFile: return "ding.wav";
    case Sound::Wave154: return "154";
    }
    return "";
}

QByteArray soundWave(Sound sound)
{
    const std::vector<int16_t> samples = samplesOf(sound);
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(44 + dataBytes));
    out.append("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, 1, 2); // mono
    putLe(out, kRate, 4);
    putLe(out, kRate * 2, 4);
    putLe(out, 2, 2);
    putLe(out, 16, 2);
    out.append("data", 4);
    putLe(out, dataBytes, 4);
    for (int16_t s : samples)
        putLe(out, static_cast<uint16_t>(s), 2);
    return out;
}

void playSound(Sound sound)
{
    if (recorder()) {
        recorder()(sound);
        return;
    }
    static QPointer<Player> player;
    if (!player) {
        if (!QCoreApplication::instance())
            return;
        player = new Player(QCoreApplication::instance());
    }
    player->play(sound);
}

void setSoundRecorder(std::function<void(Sound)> r) { recorder() = std::move(r); }

} // namespace qf::ui
