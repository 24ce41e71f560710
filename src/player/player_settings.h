#pragma once
// The player's options as the engine takes them from its owner. Where they
// are remembered (the user's configuration, for the player window) is the
// owner's business: the engine is handed them when it is made and keeps its
// own copy, which the engine thread reads.
//
// Kept free of other headers: the configuration record uses the volume's
// range and default from here.

#include <cstdint>

namespace qf::player {

inline constexpr uint32_t kDefaultPlayerVolume = 50;
inline constexpr uint32_t kMaxPlayerVolume = 100;

struct PlayerOptions {
    uint32_t volume = kDefaultPlayerVolume; // 0..kMaxPlayerVolume; more counts as the maximum
};

} // namespace qf::player
