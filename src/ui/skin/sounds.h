#pragma once
// The short sounds that accompany clicks. All are synthesised here (16-bit
// mono PCM in a WAVE container) and played asynchronously; without an audio
// output a sound is skipped silently and nothing else happens. UI thread only.

#include <QByteArray>

#include <functional>

namespace qf::ui {

enum class Sound {
    Start, // "start.wav": a tab button was pressed
    Chimes, // "chimes.wav": the toolbar's show/hide button
    Notify, // "notify.wav": the output-folder link
    Ding, // "ding.wav" as a system sound: the header's check-all box
    DingFile, // "ding.wav" as a file: a circular command button was pressed
    Wave154, // WAVE resource 154: the mouse entered a circular command button
};

// The sound's name as the system knows it ("ding.wav", "154").
const char* soundName(Sound sound);
// The whole WAVE file of a sound (44-byte header, then PCM at 22050 Hz).
QByteArray soundWave(Sound sound);

void playSound(Sound sound);

// Tests and the gallery replace playback by a recorder; an empty function
// restores real playback.
void setSoundRecorder(std::function<void(Sound)> recorder);

} // namespace qf::ui
