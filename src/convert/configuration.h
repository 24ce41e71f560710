#pragma once
// The settings have a layer of their own (settings/settings.h). The player's
// typed access still reaches them under this name until it is handed its
// options; nothing new should include this.

#include "settings/settings.h"

namespace qf::convert {

inline settings::Settings& settings() { return settings::current(); }

} // namespace qf::convert
