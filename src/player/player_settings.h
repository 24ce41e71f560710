#pragma once
// The player's remembered settings: the volume and the two playlist
// switches. They are options of the configuration (convert::settings()),
// loaded from and saved in the "cfg" file with the other user settings, and
// like the whole configuration they belong to the UI thread: the functions
// below are the player's typed access to them, for the UI thread only. The engine thread never reads them: the engine
// keeps its own copy of what it sends (EngineSettings).

#include <atomic>
#include <cstdint>

namespace qf::player {

inline constexpr uint32_t kDefaultPlayerVolume = 50;
inline constexpr uint32_t kMaxPlayerVolume = 100;

// 0..100; default 50. Larger values are stored as 100; a stored value out of
// range reads as the nearest end.
uint32_t playerVolume();
void setPlayerVolume(uint32_t volume);

// Play the next entry when one ends; default false.
bool autoPlay();
void setAutoPlay(bool on);

// Start again at the end of the list, or repeat the entry when autoPlay is
// off; default false.
bool loopPlay();
void setLoopPlay(bool on);

// The settings the engine thread sends to a player, as the engine's own
// copy. The UI thread takes them from the remembered settings before each
// launch and changes both together; the engine thread only reads.
class EngineSettings {
public:
    // UI thread.
    void take() { volume_.store(playerVolume()); }
    // Stores min(volume, 100) here and as the remembered volume.
    void setVolume(uint32_t volume);

    // Any thread.
    uint32_t volume() const { return volume_.load(); }

private:
    std::atomic<uint32_t> volume_{kDefaultPlayerVolume};
};

} // namespace qf::player
