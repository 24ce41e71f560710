#include "player/player_settings.h"

#include <algorithm>
#include <atomic>

namespace qf::player {

namespace {
std::atomic<uint32_t> volume{kDefaultPlayerVolume};
std::atomic<bool> autoPlayOn{false};
std::atomic<bool> loopPlayOn{false};
} // namespace

uint32_t playerVolume() { return volume.load(); }
void setPlayerVolume(uint32_t v) { volume.store(std::min(v, kMaxPlayerVolume)); }

bool autoPlay() { return autoPlayOn.load(); }
void setAutoPlay(bool on) { autoPlayOn.store(on); }

bool loopPlay() { return loopPlayOn.load(); }
void setLoopPlay(bool on) { loopPlayOn.store(on); }

} // namespace qf::player
