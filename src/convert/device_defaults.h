#pragma once
// The defaults that selecting a model applies: one row per (category, model
// range, format) with its own values, a shared reset and the five preset
// strings. The first row that matches wins; a combination no row names
// changes nothing (beyond the stored choice and the emptied strings).

#include <cstdint>
#include <span>

namespace qf::convert {

inline constexpr int16_t kKeep = INT16_MIN; // "this row does not set the member"
inline constexpr int32_t kAnyModel = -1;
inline constexpr int32_t kAnyFormat = -1;
inline constexpr int32_t kModelsFrom2 = -2; // model index 2 and above

enum class DefaultsReset : uint8_t {
    None,
    Handheld, // after the row's video codec is set: qualityIndex depends on it
    Disc,
    AudioOnly,
};

// The 27 parameter integers in their order; kKeep leaves a member alone.
struct ParameterValues {
    int16_t videoCodec = kKeep;
    int16_t videoBitrateIndex = kKeep;
    int16_t frameSizeIndex = kKeep;
    int16_t frameRateIndex = kKeep;
    int16_t aspectIndex = kKeep;
    int16_t twoPass = kKeep;
    int16_t turbo = kKeep;
    int16_t deinterlace = kKeep;
    int16_t inverseTelecine = kKeep;
    int16_t qualityIndex = kKeep;
    int16_t pictureAdjust = kKeep;
    int16_t gamma = kKeep;
    int16_t contrast = kKeep;
    int16_t brightness = kKeep;
    int16_t saturation = kKeep;
    int16_t audioCodec = kKeep;
    int16_t sampleRateIndex = kKeep;
    int16_t audioStreamId = kKeep;
    int16_t channelMode = kKeep;
    int16_t volumeNormalize = kKeep;
    int16_t audioBitrateIndex = kKeep;
    int16_t mp3VbrQuality = kKeep;
    int16_t mp3Volume = kKeep;
    int16_t mp3Mode = kKeep;
    int16_t mp3Method = kKeep;
    int16_t mp3AlgorithmQuality = kKeep;
    int16_t aacObjectType = kKeep;
};

struct PresetStrings {
    const char* containerOptions = "";
    const char* extraVideoCodecOptions = "";
    const char* extraVideoFilters = "";
    const char* extraAudioCodecOptions = "";
    const char* extraAudioFilters = "";
};

struct DefaultsRow {
    int32_t category;
    int32_t modelFrom; // kAnyModel, kModelsFrom2, or the first model index
    int32_t modelTo; // last model index (ignored for kAnyModel / kModelsFrom2)
    int32_t format; // kAnyFormat or one format value
    ParameterValues values;
    DefaultsReset reset;
    PresetStrings strings;
};

std::span<const DefaultsRow> defaultsTable();

// The row for a combination, or null.
const DefaultsRow* findDefaults(int32_t category, int32_t model, int32_t format);

} // namespace qf::convert
