#include "player/player_settings.h"

#include <algorithm>

#include "convert/configuration.h"

namespace qf::player {

namespace {

convert::ApplicationOptions& options() { return convert::applicationOptions(); }

} // namespace

uint32_t playerVolume()
{
    return static_cast<uint32_t>(std::clamp<int32_t>(options().playerVolume, 0, int32_t(kMaxPlayerVolume)));
}

void setPlayerVolume(uint32_t volume) { options().playerVolume = int32_t(std::min(volume, kMaxPlayerVolume)); }

bool autoPlay() { return options().autoPlay; }
void setAutoPlay(bool on) { options().autoPlay = on; }

bool loopPlay() { return options().loopPlay; }
void setLoopPlay(bool on) { options().loopPlay = on; }

void EngineSettings::setVolume(uint32_t volume)
{
    volume = std::min(volume, kMaxPlayerVolume);
    setPlayerVolume(volume);
    volume_.store(volume);
}

} // namespace qf::player
