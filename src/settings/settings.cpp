#include "settings/settings.h"

#include <algorithm>

namespace qf::settings {

Settings& current()
{
    static Settings owner;
    return owner;
}

int32_t addPreset(const char* name, const convert::ConversionSettings& settings, convert::DeviceModelList& list)
{
    return convert::addPreset(name, settings, current().presets(), list);
}

uint32_t Settings::playerVolume() const
{
    return static_cast<uint32_t>(std::clamp<int32_t>(config_.options.playerVolume, 0, kMaxPlayerVolume));
}

void Settings::setPlayerVolume(uint32_t volume)
{
    config_.options.playerVolume = static_cast<int32_t>(std::min<uint32_t>(volume, kMaxPlayerVolume));
}

} // namespace qf::settings
