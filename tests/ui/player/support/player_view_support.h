#pragma once
// Shared by the player view's tests: clips made by ffmpeg, the real player
// and media library from the build's program directory, and waiting on the
// UI thread while the engine reports.

#include <QString>

#include <functional>
#include <string>

#include "ui/support/window_test_support.h"

namespace qf::ui::test {

// The scratch folder of these tests, made on first use.
QString playerDataDir();

// A clip made by ffmpeg unless it exists: `seconds` long, 160x120 MPEG-4 at
// 25 fps with an MP2 tone in AVI, under a name that holds `tag` (so that
// tests can tell their processes apart). Fails the calling test when ffmpeg
// fails.
QString videoClip(int seconds, const QString& tag = QStringLiteral("clip"), int width = 160, int height = 120);
// A clip whose picture is blue inside a red border 24 pixels wide, so that a
// test can tell a scaled picture from a cropped or a small one.
QString framedClip(int seconds, const QString& tag, int width, int height);
// A 10-s MPEG-4 AVI clip of a blue picture inside a red border 4 pixels wide,
// stored at width x height, after `filters` (ffmpeg's, e.g. ",setsar=4/3").
QString shapedClip(const char* tag, int width, int height, const char* filters = "");
// A 30-s 64x48 H.264 clip with a keyframe every 10 s (x264's default
// interval at 25 fps), under a name that holds `tag`.
QString keyframeClip(const QString& tag);
// A WAV tone without video.
QString audioClip(int seconds, const QString& tag = QStringLiteral("tone"));
// A file with a media extension that holds no media.
QString brokenClip();

// The tool paths and the media library from the program directory; the
// player's drivers from the argument unless QUILLFER_PLAYER_DRIVERS is set.
// A missing player or library fails the test.
void useRealPlayer(const char* drivers = "-vo null -ao null");

// Runs the event loop until the predicate holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
// pumpFor(ms) is the shared one of ui/support/window_test_support.h.

// This process's children whose command line holds the text (its players, by their clip).
int processesWith(const std::string& text);

} // namespace qf::ui::test
