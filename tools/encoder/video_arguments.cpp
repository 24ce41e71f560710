#include "video_arguments.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "filter_chains.h"
#include "value_syntax.h"
#include "video_encoders.h"

namespace qf::encoder {
namespace {

// The rate a stream of about `fps` frames per second plays at: the standard
// rate within 1 % (a phone's variable-rate clip averages 29.87), else the
// average itself to the thousandth.
std::string nominalRate(double fps)
{
    static constexpr std::pair<double, const char*> kRates[] = {{24000.0 / 1001, "24000/1001"},
                                                                {24, "24"},
                                                                {25, "25"},
                                                                {30000.0 / 1001, "30000/1001"},
                                                                {30, "30"},
                                                                {48, "48"},
                                                                {50, "50"},
                                                                {60000.0 / 1001, "60000/1001"},
                                                                {60, "60"},
                                                                {100, "100"},
                                                                {120, "120"}};
    const char* best = nullptr;
    double bestDistance = 0.01;
    for (const auto& [rate, text] : kRates) {
        double distance = std::fabs(fps / rate - 1);
        if (distance <= bestDistance) {
            best = text;
            bestDistance = distance;
        }
    }
    if (best != nullptr)
        return best;
    return std::to_string(std::llround(fps * 1000)) + "/1000";
}
// The filter chain's settings for this encoder and source.
VideoChainOptions chainOptionsFor(const Command& c, const VideoContext& context, const VideoEncoding& codec)
{
    const SourceStream* source = context.source;
    // Pulldown flags exist in MPEG-2 only.
    bool mpeg2Video = c.video == VideoMode::Lavc && encodedVideoCodec(c) == "mpeg2video";
    // No aspect asked for keeps the source's shape: the devices ignore a
    // stored pixel aspect, so the picture is fitted into the frame with bars.
    bool aspectAsked = (c.video == VideoMode::Lavc && c.lavc.has("aspect"))
        || (c.video == VideoMode::Xvid && c.xvid.has("aspect")) || (c.video == VideoMode::X264 && c.x264.has("sar"));
    bool scaled = std::any_of(c.videoFilters.begin(), c.videoFilters.end(),
                              [](const FilterSpec& f) { return f.name == "scale" && !scalesToDisplaySize(f); });
    VideoChainOptions options;
    options.fitFrame = scaled && !aspectAsked;
    bool displaySize = std::any_of(c.videoFilters.begin(), c.videoFilters.end(), scalesToDisplaySize);
    options.squarePixels = codec.squarePixels || (options.fitFrame && !codec.discAspect) || displaySize;
    options.discAspect = codec.discAspect;
    // Whatever the decoder gives (RGB, 4:2:2, 4:4:4, 10-bit, alpha), these
    // codecs and the devices' profiles take 8-bit 4:2:0.
    options.pixelFormat = "yuv420p";
    bool deepSource = source != nullptr && source->highBitDepth();
    bool keepsDepth = c.video == VideoMode::Lavc && c.lavc.flag("highbitdepth") && deepSource
        && (encodedVideoCodec(c) == "libx265" || encodedVideoCodec(c) == "libsvtav1");
    if (keepsDepth)
        options.pixelFormat = "yuv420p10le"; // HEVC Main 10, AV1 Main
    else if (source != nullptr && source->hdr() && wantsModernChain(c))
        options.toneMap = true;
    if (source != nullptr && wantsModernChain(c)) {
        options.evenSize = source->shownWidth() % 2 != 0 || source->shownHeight() % 2 != 0;
        const FilterSpec* cap = nullptr;
        for (const FilterSpec& f : c.videoFilters) {
            if (f.name == "fpscap")
                cap = &f;
        }
        if (cap != nullptr && source->frameRate > 0) {
            double limit = parseRatio(cap->params[0]).value_or(60);
            options.cappedRate = source->frameRate > limit * 1.001 ? cap->params[0] : nominalRate(source->frameRate);
        }
    }
    const std::string& format = context.muxer.format;
    options.telecine = c.mpegTelecine && mpeg2Video && (format == "dvd" || format == "vob" || format == "svcd");
    return options;
}

VideoArguments copiedVideo(const Command& c, const Muxer& muxer)
{
    VideoArguments video;
    video.args = {"-c:v", "copy"};
    if (muxer.unpackBframes)
        video.args.insert(video.args.end(), {"-bsf:v", "mpeg4_unpack_bframes"});
    if (muxer.format == "avi" && !c.fourcc.empty())
        video.args.insert(video.args.end(), {"-vtag", c.fourcc});
    return video;
}

} // namespace

bool wantsModernChain(const Command& c)
{
    return std::any_of(c.videoFilters.begin(), c.videoFilters.end(),
                       [](const FilterSpec& f) { return f.name == "dsize" || f.name == "fpscap"; });
}

VideoArguments videoArguments(const Command& c, const VideoContext& context)
{
    if (!context.written)
        return {{"-vn"}};
    if (c.video == VideoMode::Copy)
        return copiedVideo(c, context.muxer);
    VideoEncoding codec = videoEncoding(c, {context.muxer.format, context.source, context.pass});
    VideoChain chain = buildVideoChain(c, chainOptionsFor(c, context, codec));
    VideoArguments video;
    std::vector<std::string>& out = video.args;
    if (!chain.graph.empty())
        out.insert(out.end(), {"-vf", chain.graph});
    if (c.sws)
        out.insert(out.end(), {"-sws_flags", scalerName(c.sws)});
    if (chain.hardDup)
        out.insert(out.end(), {"-fps_mode", "cfr"});
    out.insert(out.end(), codec.args.begin(), codec.args.end());
    std::string fourcc = c.fourcc.empty() && c.video == VideoMode::Xvid ? "XVID" : c.fourcc;
    if (context.muxer.format == "avi" && !fourcc.empty())
        out.insert(out.end(), {"-vtag", fourcc});
    // Apple's players take HEVC in MP4 only under the "hvc1" tag (ffmpeg writes "hev1").
    if (isMp4Muxer(context.muxer.format) && (fourcc == "hvc1" || fourcc == "hev1") && encodedVideoCodec(c) == "libx265")
        out.insert(out.end(), {"-tag:v", fourcc});
    if (!codec.flags.empty()) {
        std::string flags;
        for (const std::string& f : codec.flags)
            flags += f;
        out.insert(out.end(), {"-flags:v", flags});
    }
    video.kbps = codec.kbps;
    video.passLog = codec.passLog;
    video.softPulldown = chain.telecine;
    video.audioGlobalHeader = codec.audioGlobalHeader;
    return video;
}

} // namespace qf::encoder
