#include "audio_arguments.h"

#include <algorithm>
#include <iterator>

#include "container_tables.h"
#include "filter_chains.h"
#include "translation.h"

namespace qf::encoder {
namespace {

// One encoder's options, and what it asks of the filter chain.
struct AudioCodec {
    std::vector<std::string> args;
    std::string bitrate;
    int kbps = 0;
    bool mixToMono = false;
    std::optional<double> volume;
};

AudioCodec lameCodec(const SubOptions& o)
{
    AudioCodec codec;
    codec.args = {"-c:a", "libmp3lame"};
    int br = static_cast<int>(o.number("br", 128));
    int vbr = static_cast<int>(o.number("vbr", 2));
    if (o.flag("cbr") || (!o.flag("abr") && vbr == 0)) {
        codec.bitrate = std::to_string(br) + "k";
        codec.args.insert(codec.args.end(), {"-b:a", codec.bitrate});
        codec.kbps = br;
    } else if (o.flag("abr") || vbr == 3) {
        codec.bitrate = std::to_string(br) + "k";
        codec.args.insert(codec.args.end(), {"-b:a", codec.bitrate, "-abr", "1"});
        codec.kbps = br;
    } else {
        codec.args.insert(codec.args.end(), {"-q:a", std::to_string(static_cast<int>(o.number("q", 0)))});
    }
    int mode = static_cast<int>(o.number("mode", 4));
    if (mode == 1)
        codec.args.insert(codec.args.end(), {"-joint_stereo", "1"});
    if (mode == 0 || mode == 2)
        codec.args.insert(codec.args.end(), {"-joint_stereo", "0"});
    codec.mixToMono = mode == 3;
    if (o.has("vol"))
        codec.volume = o.number("vol", 1);
    // LAME's own defaults: a float input doubles the size of a VBR file.
    codec.args.insert(
        codec.args.end(),
        {"-compression_level", std::to_string(static_cast<int>(o.number("aq", 5))), "-sample_fmt", "s16p"});
    return codec;
}

AudioCodec faacCodec(const SubOptions& o)
{
    AudioCodec codec;
    int br = static_cast<int>(o.number("br", 128));
    if (br == 0)
        br = 128;
    codec.kbps = br;
    codec.bitrate = std::to_string(br) + "k";
    codec.args = {"-c:a", "aac", "-b:a", codec.bitrate};
    int object = static_cast<int>(o.number("object", 2));
    if (object == 1)
        codec.args.insert(codec.args.end(), {"-profile:a", "aac_main"});
    if (object == 2 || object == 3)
        codec.args.insert(codec.args.end(), {"-profile:a", "aac_low"});
    if (object == 4)
        codec.args.insert(codec.args.end(), {"-profile:a", "aac_ltp", "-strict", "-2"});
    return codec;
}

AudioCodec lavcCodec(const Command& c)
{
    AudioCodec codec;
    long long rate = static_cast<long long>(c.lavc.number("abitrate", 224));
    std::string name = encodedAudioCodec(c);
    if (name == "flac") {
        codec.args = {"-c:a", "flac"}; // lossless: no rate to ask for
        return codec;
    }
    codec.kbps = static_cast<int>(rate >= 1000 ? rate / 1000 : rate);
    codec.bitrate = rate >= 1000 ? std::to_string(rate) : std::to_string(rate) + "k";
    codec.args = {"-c:a", name, "-b:a", codec.bitrate};
    return codec;
}

AudioCodec audioCodec(const Command& c)
{
    if (c.audio == AudioMode::Lame)
        return lameCodec(c.lame);
    if (c.audio == AudioMode::Faac)
        return faacCodec(c.faac);
    return lavcCodec(c);
}

} // namespace

AudioArguments audioArguments(const Command& c, const AudioContext& context)
{
    AudioArguments audio;
    audio.written = context.written;
    // Filters and resampling cannot apply to a copied stream; MEncoder ignores them too.
    audio.copied = c.audio == AudioMode::Copy;
    if (!audio.written || audio.copied)
        return audio;
    AudioCodec codec = audioCodec(c);
    AudioChainOptions chainOptions;
    chainOptions.channelLimit = c.channels.value_or(2);
    if (context.source != nullptr && context.source->channels > 0)
        chainOptions.sourceChannels = context.source->channels;
    const std::optional<double>& seconds = context.sourceSeconds;
    chainOptions.normalise = context.normalise && !(seconds && *seconds < kShortestNormalisedSeconds);
    const std::string& format = context.muxerFormat;
    chainOptions.continuousTimestamps = isDiscMuxer(format) || format == "vob" || format == "mpeg";
    chainOptions.mixToMono = codec.mixToMono;
    chainOptions.volume = codec.volume;
    AudioChain chain = buildAudioChain(c, chainOptions);
    audio.graph = chain.graph;
    audio.normalised = chain.normalised;
    if (c.sampleRate) {
        audio.rate = *c.sampleRate;
    } else if (chain.resampleRate) {
        audio.rate = *chain.resampleRate;
    }
    if (c.audio == AudioMode::Lavc && encodedAudioCodec(c) == "libopus") {
        // Opus codes 48000 Hz (or 8000..24000); any other rate would refuse to open.
        static constexpr int kOpusRates[] = {48000, 24000, 16000, 12000, 8000};
        if (!audio.rate || std::find(std::begin(kOpusRates), std::end(kOpusRates), *audio.rate) == std::end(kOpusRates))
            audio.rate = 48000;
    }
    audio.codecArgs = std::move(codec.args);
    audio.bitrate = std::move(codec.bitrate);
    audio.kbps = codec.kbps;
    audio.globalHeader = context.globalHeader;
    return audio;
}

std::vector<std::string> audioArgumentList(const AudioArguments& audio, const std::string& extraFilter)
{
    if (!audio.written)
        return {"-an"};
    if (audio.copied)
        return {"-c:a", "copy"};
    std::vector<std::string> out;
    std::string graph = audio.graph;
    if (!extraFilter.empty())
        graph += (graph.empty() ? "" : ",") + extraFilter;
    if (!graph.empty())
        out.insert(out.end(), {"-af", graph});
    if (audio.rate)
        out.insert(out.end(), {"-ar", std::to_string(*audio.rate)});
    out.insert(out.end(), audio.codecArgs.begin(), audio.codecArgs.end());
    if (audio.globalHeader)
        out.insert(out.end(), {"-flags:a", "+global_header"});
    return out;
}

} // namespace qf::encoder
