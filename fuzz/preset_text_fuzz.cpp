// Arbitrary bytes as a text preset file: the reader must refuse or accept
// them without crashing, and what it accepts must write back to text that
// reads to the same text again.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/preset_text.h"

using namespace qf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    convert::DeviceModel preset;
    std::string error;
    if (!settings::looksLikePresetText(text) || !settings::presetFromText(text, preset, error))
        return 0;
    const std::string written = settings::presetToText(preset);
    convert::DeviceModel again;
    if (!settings::presetFromText(written, again, error) || settings::presetToText(again) != written)
        std::abort();
    return 0;
}
