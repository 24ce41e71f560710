#include "convert/conversion_settings.h"

#include <array>
#include <cstring>

namespace qf::convert {

namespace {

using IntMember = int32_t ConversionSettings::*;

struct ParameterSlot {
    IntMember member;
    const char* name;
};

// The preset block's order; changing it breaks every saved preset.
constexpr std::array<ParameterSlot, ConversionSettings::kParameterCount> kParameters = {{
    {&ConversionSettings::videoCodec, "videoCodec"},
    {&ConversionSettings::videoBitrateIndex, "videoBitrateIndex"},
    {&ConversionSettings::frameSizeIndex, "frameSizeIndex"},
    {&ConversionSettings::frameRateIndex, "frameRateIndex"},
    {&ConversionSettings::aspectIndex, "aspectIndex"},
    {&ConversionSettings::twoPass, "twoPass"},
    {&ConversionSettings::turbo, "turbo"},
    {&ConversionSettings::deinterlace, "deinterlace"},
    {&ConversionSettings::inverseTelecine, "inverseTelecine"},
    {&ConversionSettings::qualityIndex, "qualityIndex"},
    {&ConversionSettings::pictureAdjust, "pictureAdjust"},
    {&ConversionSettings::gamma, "gamma"},
    {&ConversionSettings::contrast, "contrast"},
    {&ConversionSettings::brightness, "brightness"},
    {&ConversionSettings::saturation, "saturation"},
    {&ConversionSettings::audioCodec, "audioCodec"},
    {&ConversionSettings::sampleRateIndex, "sampleRateIndex"},
    {&ConversionSettings::audioStreamId, "audioStreamId"},
    {&ConversionSettings::channelMode, "channelMode"},
    {&ConversionSettings::volumeNormalize, "volumeNormalize"},
    {&ConversionSettings::audioBitrateIndex, "audioBitrateIndex"},
    {&ConversionSettings::mp3VbrQuality, "mp3VbrQuality"},
    {&ConversionSettings::mp3Volume, "mp3Volume"},
    {&ConversionSettings::mp3Mode, "mp3Mode"},
    {&ConversionSettings::mp3Method, "mp3Method"},
    {&ConversionSettings::mp3AlgorithmQuality, "mp3AlgorithmQuality"},
    {&ConversionSettings::aacObjectType, "aacObjectType"},
}};

using TextMember = core::TextString ConversionSettings::*;

constexpr std::array<TextMember, ConversionSettings::kPresetStringCount> kPresetStrings
    = {&ConversionSettings::containerOptions, &ConversionSettings::extraVideoCodecOptions,
       &ConversionSettings::extraVideoFilters, &ConversionSettings::extraAudioCodecOptions,
       &ConversionSettings::extraAudioFilters};

} // namespace

ConversionSettings::ConversionSettings()
{
    media.hasVideo = true;
    media.hasAudio = true;
}

ConversionSettings::~ConversionSettings() = default;

int32_t& ConversionSettings::parameter(int index) { return this->*kParameters[static_cast<size_t>(index)].member; }

const int32_t& ConversionSettings::parameter(int index) const
{
    return this->*kParameters[static_cast<size_t>(index)].member;
}

const char* ConversionSettings::parameterName(int index)
{
    return index >= 0 && index < kParameterCount ? kParameters[static_cast<size_t>(index)].name : nullptr;
}

int32_t* ConversionSettings::parameterByName(const char* name)
{
    if (!name)
        return nullptr;
    for (const ParameterSlot& slot : kParameters)
        if (std::strcmp(slot.name, name) == 0)
            return &(this->*slot.member);
    return nullptr;
}

void ConversionSettings::copyFrom(const ConversionSettings& other)
{
    if (&other == this)
        return;
    category = other.category;
    model = other.model;
    outputFormat = other.outputFormat;
    for (const ParameterSlot& slot : kParameters)
        this->*slot.member = other.*slot.member;
    startTime = other.startTime;
    endPosition = other.endPosition;
    for (TextMember text : kPresetStrings)
        this->*text = other.*text;
    if (sourcePath.empty()) {
        sourcePath = other.sourcePath;
        outputPath = other.outputPath;
    }
}

void ConversionSettings::takeMediaSummary(const probe::MediaFacts& facts)
{
    media.format = facts.format;
    media.extensions = facts.extensions;
    media.hasVideo = facts.hasVideo;
    media.videoFormat = facts.videoFormat;
    media.videoSize = facts.videoSize;
    media.videoFrameRate = facts.videoFrameRate;
    media.videoBitRate = facts.videoBitRate;
    media.videoAspectRatio = facts.videoAspectRatio;
    media.videoDuration = facts.videoDuration;
    media.hasAudio = facts.hasAudio;
    media.audioFormat = facts.audioFormat;
    media.audioBitRate = facts.audioBitRate;
    media.audioSamplingRate = facts.audioSamplingRate;
    media.audioStreamKindId = facts.audioStreamKindId;
    media.audioDuration = facts.audioDuration;
}

void ConversionSettings::saveParameters(core::ByteBuffer& out) const
{
    for (const ParameterSlot& slot : kParameters)
        out.appendIntItem(this->*slot.member);
    for (TextMember text : kPresetStrings)
        out.appendBlock(this->*text);
}

bool ConversionSettings::loadParameters(const core::ByteBuffer& in)
{
    // Read into a copy of the buffer (own cursor) and into temporaries, so a
    // block that breaks off half-way leaves the record as it was.
    core::ByteBuffer reader(in);
    reader.rewind();
    std::array<int32_t, kParameterCount> values{};
    for (int32_t& value : values)
        if (!reader.readIntItem(value))
            return false;
    std::array<core::TextString, kPresetStringCount> texts;
    for (core::TextString& text : texts)
        if (!reader.readBlock(text))
            return false;
    for (size_t i = 0; i < kParameters.size(); ++i)
        this->*kParameters[i].member = values[i];
    for (size_t i = 0; i < kPresetStrings.size(); ++i)
        this->*kPresetStrings[i] = texts[i];
    return true;
}

void ConversionSettings::storeChoice(int32_t newCategory, int32_t newModel, int32_t format)
{
    category = newCategory;
    model = newModel;
    outputFormat = format;
    for (TextMember text : kPresetStrings)
        (this->*text).clear();
}

void ConversionSettings::selectModel(int32_t newCategory, int32_t newModel, int32_t format)
{
    storeChoice(newCategory, newModel, format);
    applyDefaults();
}

void ConversionSettings::selectModelFromPreset(int32_t newCategory, int32_t newModel, int32_t format,
                                               const core::ByteBuffer& presetBytes)
{
    storeChoice(newCategory, newModel, format);
    if (!loadParameters(presetBytes))
        applyDefaults();
}

} // namespace qf::convert
