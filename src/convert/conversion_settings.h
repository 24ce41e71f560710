#pragma once
// ConversionSettings: every parameter of one conversion. Most members are the
// row indexes of the parameter panel's combo boxes (value_tables.h gives the
// texts). The panel owns one record that it edits; every task owns a copy.
//
// A plain record: no locking. A task's record is touched by the UI thread
// until the task is queued and by the worker while it runs.

#include <cstdint>

#include "core/byte_buffer.h"
#include "core/text_string.h"
#include "probe/media_summary.h"

namespace qf::convert {

class ConversionSettings {
public:
    ConversionSettings();
    ConversionSettings(const ConversionSettings&) = default;
    ConversionSettings& operator=(const ConversionSettings&) = default;
    virtual ~ConversionSettings();

    // The 27 parameter integers, in the order presets store them.
    int32_t videoCodec = 0; // kVideoCodecs
    int32_t videoBitrateIndex = 0; // kVideoBitrates
    int32_t frameSizeIndex = 0; // kFrameSizes; 0 keeps the source size
    int32_t frameRateIndex = 0; // kFrameRates; 0 keeps the source rate
    int32_t aspectIndex = 0; // kAspects; 0 keeps the source aspect
    int32_t twoPass = 0; // 0/1
    int32_t turbo = 0; // 0/1: fast first pass
    int32_t deinterlace = 0; // 0/1: yadif
    int32_t inverseTelecine = 0; // 0/1: filmdint
    int32_t qualityIndex = 0; // kQualities
    int32_t pictureAdjust = 0; // 0/1: eq2
    int32_t gamma = 10; // tenths
    int32_t contrast = 10; // tenths, signed
    int32_t brightness = 0; // tenths, signed
    int32_t saturation = 10; // tenths
    int32_t audioCodec = 0; // kAudioCodecs
    int32_t sampleRateIndex = 0; // kSampleRates
    int32_t audioStreamId = 0; // 0: the encoder's default stream
    int32_t channelMode = 0; // kChannelModes
    int32_t volumeNormalize = 0; // 0/1: volnorm
    int32_t audioBitrateIndex = 0; // kAudioBitrates
    int32_t mp3VbrQuality = 0; // 0..9
    int32_t mp3Volume = 0; // 0 default, n: gain n-1
    int32_t mp3Mode = 0; // kMp3Modes
    int32_t mp3Method = 0; // kMp3Methods
    int32_t mp3AlgorithmQuality = 0; // 0 default, n: quality n-1
    int32_t aacObjectType = 0; // object type minus one

    // Option strings. startTime .. extraAudioFilters are the seven that
    // copyFrom takes; containerOptions .. extraAudioFilters the five that
    // presets store and that selecting a model empties.
    core::TextString startTime; // HH:MM:SS or empty
    core::TextString endPosition; // HH:MM:SS or empty
    core::TextString containerOptions; // stands right after the source path
    core::TextString extraVideoCodecOptions; // continues the video codec options
    core::TextString extraVideoFilters; // the last video filter
    core::TextString extraAudioCodecOptions; // continues the AAC options
    core::TextString extraAudioFilters; // carries its own leading comma
    core::TextString sourcePath;
    core::TextString outputPath;

    int32_t category = -1; // 0..7; -1 until a model is selected
    int32_t model = 0; // model index within the category (device_models.h)
    int32_t outputFormat = 0;

    // The probed facts of the source. A record that never saw a probe
    // assumes a source with video and audio.
    probe::MediaFacts media;

    static constexpr int kParameterCount = 27;
    static constexpr int kPresetStringCount = 5;

    // The 27 integers by position (0..26) and by member name.
    int32_t& parameter(int index);
    const int32_t& parameter(int index) const;
    static const char* parameterName(int index);
    int32_t* parameterByName(const char* name);

    // Copies the model choice, the 27 integers and the seven option strings;
    // the two paths only while this record's source path is empty, so that
    // applying the panel to a task keeps the task's own files.
    void copyFrom(const ConversionSettings& other);
    // Copies the texts and flags of a probed file.
    void takeMediaSummary(const probe::MediaFacts& facts);

    // The preset block: 27 four-byte items, then the five preset strings.
    void saveParameters(core::ByteBuffer& out) const;
    // Reads a block from its start; on any failure the record is unchanged
    // and false is returned.
    bool loadParameters(const core::ByteBuffer& in);

    // Stores the choice, empties the five preset strings and applies the
    // defaults of the category, model and format (device_defaults.cpp).
    void selectModel(int32_t category, int32_t model, int32_t format);
    // As selectModel, but takes the preset's block when it reads completely.
    void selectModelFromPreset(int32_t category, int32_t model, int32_t format, const core::ByteBuffer& presetBytes);

    // The defaults alone, for the current category, model and format.
    void applyDefaults();

private:
    void storeChoice(int32_t category, int32_t model, int32_t format);
};

} // namespace qf::convert
