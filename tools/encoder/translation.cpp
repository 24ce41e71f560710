#include "translation.h"

#include <utility>

#include "container_tables.h"
#include "progress.h"
#include "sound_beside.h"
#include "stream_mapping.h"
#include "value_syntax.h"
#include "video_arguments.h"
#include "video_encoders.h"

namespace qf::encoder {
namespace {

bool isBareCopy(const Command& c)
{
    return (c.container == ContainerKind::RawVideo && c.video == VideoMode::Copy)
        || (c.container == ContainerKind::RawAudio && c.audio == AudioMode::Copy);
}

Translation failed(Translation t, std::string reason)
{
    t.failure = FailureKind::Runtime;
    t.error = std::move(reason);
    return t;
}

// Logging with levels, and progress as key=value blocks on the standard output.
std::vector<std::string> progressHead()
{
    return {"-hide_banner", "-nostdin",  "-y",     "-nostats",      "-loglevel",
            "level+info",   "-progress", "pipe:1", "-stats_period", "0.1"};
}

// The seconds of source this run reads, when known.
std::optional<double> sourceSeconds(const Command& c, const SourceFacts* facts)
{
    if (facts == nullptr)
        return c.lengthSeconds;
    return effectiveDuration(facts->durationSeconds, c.startSeconds.value_or(0), c.lengthSeconds);
}

std::vector<std::string> inputArguments(const Command& c, bool audioWritten)
{
    std::vector<std::string> input;
    if (c.startSeconds)
        input.insert(input.end(), {"-ss", formatDecimal(*c.startSeconds)});
    int channelLimit = c.channels.value_or(2);
    if (audioWritten && c.audio != AudioMode::Copy && channelLimit <= 2) {
        // Downmixing in the AC-3 decoder gives MEncoder's exact levels; other
        // decoders ignore the request and the filter chain limits the channels.
        input.insert(input.end(), {"-downmix", channelLimit == 1 ? "mono" : "stereo"});
    }
    input.insert(input.end(), {"-i", "file:" + c.source});
    return input;
}

// The limits, the muxer and the file; a first pass writes nothing ("").
std::vector<std::string> outputArguments(const Command& c, const Muxer& muxer, const std::string& tempPath)
{
    std::vector<std::string> output;
    if (c.lengthSeconds)
        output.insert(output.end(), {"-t", formatDecimal(*c.lengthSeconds)});
    if (c.sizeLimitBytes)
        output.insert(output.end(), {"-fs", std::to_string(*c.sizeLimitBytes)});
    output.insert(output.end(), {"-f", muxer.format});
    output.insert(output.end(), muxer.args.begin(), muxer.args.end());
    // The index ahead of the media: a browser starts playing before the file
    // has arrived. Music files (M4A) always get it.
    if (isMp4Muxer(muxer.format) && (c.faststart || muxer.format == "ipod"))
        output.insert(output.end(), {"-movflags", "+faststart"});
    // A first pass keeps the second pass's muxer, so both passes see the same frames.
    output.push_back(tempPath.empty() ? "/dev/null" : "file:" + tempPath);
    return output;
}

} // namespace

bool wantsSourceFacts(const Command& command)
{
    if (needsSourceFacts(command))
        return true;
    // The frame-rate cap, an odd size, HDR and the bit depth are the source's.
    bool writesVideo = command.container != ContainerKind::RawAudio && command.video != VideoMode::Frameno
        && command.video != VideoMode::Copy;
    if (writesVideo && (wantsModernChain(command) || command.lavc.flag("highbitdepth")))
        return true;
    // The probe costs a process start (a tenth of a short encode), so it runs
    // only where the H.264 level needs its facts: the frame size or rate is
    // missing from the command line and x264 cannot be left to choose. The
    // normaliser does without: the sound is made stereo ahead of it, and a
    // crash on a short source is run again without it.
    if (command.container == ContainerKind::RawAudio || command.video != VideoMode::X264
        || !command.x264.has("level_idc")) {
        return false;
    }
    H264Demand demand = x264Demand(command, nullptr, false);
    int requested = static_cast<int>(command.x264.number("level_idc", 0));
    return demand.width <= 0 || (demand.fps <= 0 && !sizeOutgrowsLevel(requested, demand));
}

bool needsSourceFacts(const Command& command)
{
    bool audioWritten = command.container != ContainerKind::RawVideo && !command.noSound;
    if (command.audioId && audioWritten)
        return true;
    return isBareCopy(command) && !bareCopyResolvedByName(command);
}

std::string temporaryPathFor(const std::string& outputPath) { return outputPath + ".part"; }

Translation translate(const Command& command, const SourceFacts* facts, const TranslateOptions& options)
{
    Translation t;
    t.sourcePath = command.source;
    t.outputPath = command.output;
    t.startSeconds = command.startSeconds.value_or(0);
    t.lengthSeconds = command.lengthSeconds;
    if (facts == nullptr && needsSourceFacts(command))
        return failed(std::move(t), "Internal error: the source was not examined");
    StreamChoice streams = chooseStreams(command, facts);
    t.pass = streams.pass;
    if (!streams.error.empty())
        return failed(std::move(t), streams.error);
    MuxerChoice muxer = chooseMuxer(command, facts);
    if (!muxer.error.empty())
        return failed(std::move(t), muxer.error);
    RunParts run;
    run.map = mapStreams(command, facts, streams);
    if (!run.map.error.empty())
        return failed(std::move(t), run.map.error);
    VideoArguments video = videoArguments(
        command, {.written = streams.video, .muxer = muxer.muxer, .source = run.map.videoSource, .pass = t.pass});
    run.audio = audioArguments(command,
                               {.written = streams.audio,
                                .muxerFormat = muxer.muxer.format,
                                .source = run.map.audioSource,
                                .sourceSeconds = sourceSeconds(command, facts),
                                .normalise = options.normalise,
                                .globalHeader = video.audioGlobalHeader});
    run.head = progressHead();
    run.input = inputArguments(command, streams.audio);
    run.video = video.args;
    if (t.pass != 1)
        t.tempPath = temporaryPathFor(command.output);
    run.output = outputArguments(command, muxer.muxer, t.tempPath);
    t.ffmpegArgs = singleRun(run);
    if (options.soundBeside && soundBesideWorthwhile(command, facts, streams, run.map, muxer.muxer.format, run.audio)) {
        SplitRun split = splitRun(run);
        t.feederArgs = std::move(split.feederArgs);
        t.fedArgs = std::move(split.fedArgs);
    }
    t.passLog = video.passLog;
    t.videoKbps = video.kbps;
    t.softPulldown = video.softPulldown;
    t.audioKbps = run.audio.kbps;
    t.normalised = run.audio.normalised;
    t.writesVideo = streams.video;
    t.writesAudio = streams.audio;
    return t;
}

Translation translate(const std::vector<std::string>& args, const SourceFacts* facts)
{
    ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok) {
        Translation t;
        t.failure = FailureKind::CommandLine;
        t.error = parsed.error;
        return t;
    }
    return translate(parsed.command, facts);
}

} // namespace qf::encoder
