#include "player/player_settings.h"

#include <algorithm>
#include <atomic>

#include "convert/configuration.h"

namespace qf::player {

// The values live in the configuration, which the "cfg" file loads and saves
// on the UI thread while no engine thread runs; in between, the engine thread
// reads the volume while the UI thread may change it, hence the atomic views.

namespace {

convert::ApplicationOptions& options() { return convert::applicationOptions(); }

} // namespace

uint32_t playerVolume()
{
    const int32_t v = std::atomic_ref<int32_t>(options().playerVolume).load();
    return static_cast<uint32_t>(std::clamp<int32_t>(v, 0, int32_t(kMaxPlayerVolume)));
}

void setPlayerVolume(uint32_t v)
{
    std::atomic_ref<int32_t>(options().playerVolume).store(int32_t(std::min(v, kMaxPlayerVolume)));
}

bool autoPlay() { return std::atomic_ref<bool>(options().autoPlay).load(); }
void setAutoPlay(bool on) { std::atomic_ref<bool>(options().autoPlay).store(on); }

bool loopPlay() { return std::atomic_ref<bool>(options().loopPlay).load(); }
void setLoopPlay(bool on) { std::atomic_ref<bool>(options().loopPlay).store(on); }

} // namespace qf::player
