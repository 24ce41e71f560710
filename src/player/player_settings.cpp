#include "player/player_settings.h"

#include <algorithm>

#include "convert/configuration.h"

namespace qf::player {

uint32_t playerVolume() { return convert::settings().playerVolume(); }
void setPlayerVolume(uint32_t volume) { convert::settings().setPlayerVolume(volume); }

bool autoPlay() { return convert::settings().autoPlay(); }
void setAutoPlay(bool on) { convert::settings().setAutoPlay(on); }

bool loopPlay() { return convert::settings().loopPlay(); }
void setLoopPlay(bool on) { convert::settings().setLoopPlay(on); }

void EngineSettings::setVolume(uint32_t volume)
{
    volume = std::min(volume, kMaxPlayerVolume);
    setPlayerVolume(volume);
    volume_.store(volume);
}

} // namespace qf::player
