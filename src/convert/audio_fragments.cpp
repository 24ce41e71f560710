// The audio fragments of the encoder command line: filter chain, sample rate,
// stream selection and codec options. Texts are exact; each option starts
// with a blank.

#include "convert/command_line_builder.h"
#include "convert/value_tables.h"

namespace qf::convert {

void CommandLineBuilder::appendAudioFilters()
{
    const RowValue* mode = tableEntry(kChannelModes, channelMode);
    if (channelMode != 0 && mode) {
        // A channel mapping replaces the extra filters: the resampling of
        // the disc defaults only follows volume normalisation.
        scratch_.append(mode->value);
        if (volumeNormalize)
            scratch_.append(",volnorm");
        return;
    }
    if (volumeNormalize) {
        scratch_.append(" -af volnorm");
        // The extra filters carry their own leading comma and continue the chain.
        scratch_.append(extraAudioFilters);
        return;
    }
    if (extraAudioFilters.empty())
        return;
    // Without volnorm the chain starts with the extra filters themselves;
    // their leading comma would otherwise stand alone as an argument.
    core::TextString filters(extraAudioFilters);
    filters.trimLeft(',');
    if (filters.empty())
        return;
    scratch_.append(" -af ");
    scratch_.append(filters);
}

void CommandLineBuilder::appendSampleRate()
{
    if (const SampleRateEntry* rate = tableEntry(kSampleRates, sampleRateIndex))
        scratch_.append(rate->option);
}

void CommandLineBuilder::appendAudioStream()
{
    if (audioStreamId != 0)
        scratch_.appendFormat(" -aid %d", audioStreamId);
}

void CommandLineBuilder::appendAudioBitrate() { scratch_.append(tableText(kAudioBitrates, audioBitrateIndex)); }

void CommandLineBuilder::appendAudioCodec()
{
    const AudioCodecEntry* codec = tableEntry(kAudioCodecs, audioCodec);
    if (!codec)
        return;
    scratch_.append(codec->head);
    switch (audioCodec) {
    case kAudioCodecMp3:
        if (const RowValue* method = tableEntry(kMp3Methods, mp3Method))
            scratch_.append(method->value);
        if (mp3Method > kMp3LastBitrateMethod) {
            scratch_.appendFormat(":q=%d", mp3VbrQuality);
        } else {
            scratch_.append(":br=");
            appendAudioBitrate();
        }
        scratch_.appendFormat(":mode=%d", mp3Mode + 1);
        if (mp3Volume != 0)
            scratch_.appendFormat(":vol=%d", mp3Volume - 1);
        if (mp3AlgorithmQuality != 0)
            scratch_.appendFormat(":aq=%d", mp3AlgorithmQuality - 1);
        break;
    case kAudioCodecAacMpeg2:
    case kAudioCodecAacMpeg4:
        scratch_.append("br=");
        appendAudioBitrate();
        scratch_.append(audioCodec == kAudioCodecAacMpeg2 ? ":mpeg=2" : ":mpeg=4");
        scratch_.appendFormat(":object=%d", aacObjectType + 1);
        scratch_.append(extraAudioCodecOptions);
        break;
    case kAudioCodecCopy:
    case kAudioCodecNone:
    case kAudioCodecFlac: break;
    default: appendAudioBitrate(); break;
    }
}

} // namespace qf::convert
