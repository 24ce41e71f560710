#pragma once
// The player's process-wide settings, stored in the configuration ("cfg") with the other
// user settings: the volume and the two playlist switches. They live from
// start-up to exit and may be read and written from any thread (the engine
// thread reads the volume when a player comes up).

#include <cstdint>

namespace qf::player {

inline constexpr uint32_t kDefaultPlayerVolume = 50;
inline constexpr uint32_t kMaxPlayerVolume = 100;

// 0..100; default 50. Larger values are stored as 100.
uint32_t playerVolume();
void setPlayerVolume(uint32_t volume);

// Play the next entry when one ends; default false.
bool autoPlay();
void setAutoPlay(bool on);

// Start again at the end of the list, or repeat the entry when autoPlay is
// off; default false.
bool loopPlay();
void setLoopPlay(bool on);

} // namespace qf::player
