#include "video_encoders.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "container_tables.h"
#include "value_syntax.h"

namespace qf::encoder {
namespace {

// The codecs of today, by their own libraries: constant quality as -crf,
// the encoder's speed settings, no MPEG-era macroblock options.
bool isModernVideoCodec(const std::string& codec)
{
    return codec == "libx265" || codec == "libvpx-vp9" || codec == "libsvtav1" || codec == "libaom-av1";
}

std::string kiloOrBits(long long value, long long kiloLimit)
{
    return value > kiloLimit ? std::to_string(value) : std::to_string(value) + "k";
}

// A constant-quality request (an x264-style crf) as the nearest fixed quantizer.
std::string fixedQuantizer(double crf)
{
    long q = std::lround(crf / 5.5);
    return std::to_string(std::max(2L, std::min(31L, q)));
}

const char* mbdName(double mbd)
{
    if (mbd >= 2)
        return "rd";
    if (mbd >= 1)
        return "bits";
    return "simple";
}

std::optional<int> bFrames(const SubOptions& o)
{
    if (o.has("bframes"))
        return static_cast<int>(o.number("bframes", 0));
    if (o.has("max_bframes"))
        return static_cast<int>(o.number("max_bframes", 0));
    return std::nullopt;
}

void addRateControl(const SubOptions& o, VideoEncoding& out)
{
    // MEncoder's vrc_* values are in kbit.
    if (o.has("vrc_buf_size"))
        out.add({"-bufsize", *o.get("vrc_buf_size") + "k"});
    if (o.has("vrc_minrate"))
        out.add({"-minrate", *o.get("vrc_minrate") + "k"});
    if (o.has("vrc_maxrate")) {
        out.add({"-maxrate", *o.get("vrc_maxrate") + "k"});
    } else if (o.has("vrc_buf_size")) {
        // ffmpeg wants a maximum with a buffer; MEncoder's VCD settings give only
        // the minimum, meaning a constant rate.
        long long top = std::max(static_cast<long long>(o.number("vrc_minrate", 0)), static_cast<long long>(out.kbps));
        if (top > 0)
            out.add({"-maxrate", std::to_string(top) + "k"});
    }
    if (o.number("vglobal", 0) >= 1 || o.flag("global_header"))
        out.flags.push_back("+global_header");
    if (o.number("aglobal", 0) >= 1)
        out.audioGlobalHeader = true;
}

void addPass(int pass, PassLog log, VideoEncoding& out)
{
    if (pass == 0)
        return;
    out.passLog = log;
    out.add({"-pass", std::to_string(pass)});
    if (log == PassLog::FfmpegPrefix)
        out.add({"-passlogfile", kPassLogPrefix});
}

VideoEncoding lavcArguments(const Command& c, const EncoderContext& context)
{
    const SubOptions& o = c.lavc;
    VideoEncoding out;
    std::string codec = encodedVideoCodec(c);
    out.add({"-c:v", codec});
    bool modern = isModernVideoCodec(codec);
    if (o.has("vcrf") && modern) {
        out.add({"-crf", formatDecimal(std::round(o.number("vcrf", 28)))});
        // VP9 is constant quality only without a target rate (ffmpeg's default is 200k).
        if (codec == "libvpx-vp9")
            out.add({"-b:v", "0"});
    } else if (o.has("vcrf")) {
        out.add({"-q:v", fixedQuantizer(o.number("vcrf", 23))});
    } else {
        long long kbit = static_cast<long long>(o.number("vbitrate", 800));
        out.kbps = static_cast<int>(kbit > 16000 ? kbit / 1000 : kbit);
        out.add({"-b:v", kiloOrBits(kbit, 16000)});
    }
    out.add({"-g", std::to_string(static_cast<long long>(o.number("keyint", 250)))});
    if (o.flag("turbo") && context.pass == 1) {
        out.add({"-precmp",
                 "sad",
                 "-cmp",
                 "sad",
                 "-subcmp",
                 "sad",
                 "-mbcmp",
                 "satd",
                 "-pre_dia_size",
                 "0",
                 "-dia_size",
                 "1",
                 "-mbd",
                 "simple",
                 "-trellis",
                 "0",
                 "-noise_reduction",
                 "0",
                 "-mpv_flags",
                 "-mv0-qp_rd-cbp_rd"});
    } else if (!modern) {
        if (o.has("mbd"))
            out.add({"-mbd", mbdName(o.number("mbd", 0))});
        if (o.flag("trell"))
            out.add({"-trellis", "1"});
        if (o.flag("mv0"))
            out.add({"-mpv_flags", "+mv0"});
    }
    // Only the MPEG encoders take B-frames; the others refuse any.
    bool bCapable = codec == "mpeg4" || codec == "mpeg1video" || codec == "mpeg2video";
    if (auto bf = bFrames(o); bf && (bCapable || *bf == 0))
        out.add({"-bf", std::to_string(*bf)});
    addRateControl(o, out);
    if (const std::string* settings = o.get("o"); settings != nullptr && modern) {
        for (const std::string& item : splitText(*settings, ',')) {
            std::size_t eq = item.find('=');
            out.add({"-" + item.substr(0, eq), item.substr(eq + 1)});
        }
    }
    if (const std::string* aspect = o.get("aspect")) {
        out.add({"-aspect", *aspect});
    } else if (isDiscMuxer(context.muxerFormat) && (codec == "mpeg1video" || codec == "mpeg2video")) {
        // A disc player knows only its standard display aspects: the filter
        // chain flags the one nearer the source's, not the square pixels of the
        // disc's odd frame size.
        out.discAspect = true;
    } else {
        out.squarePixels = true;
    }
    addPass(context.pass, PassLog::FfmpegPrefix, out);
    return out;
}

VideoEncoding xvidArguments(const Command& c, const EncoderContext& context)
{
    const SubOptions& o = c.xvid;
    VideoEncoding out;
    out.add({"-c:v", "libxvid"});
    if (o.has("crf")) {
        out.add({"-q:v", fixedQuantizer(o.number("crf", 23))});
    } else {
        long long kbit = static_cast<long long>(o.number("bitrate", 687));
        out.kbps = static_cast<int>(kbit > 16000 ? kbit / 1000 : kbit);
        out.add({"-b:v", kiloOrBits(kbit, 16000)});
    }
    out.add({"-bf", std::to_string(bFrames(o).value_or(2))});
    long long gop = 250;
    if (o.has("keyint")) {
        gop = static_cast<long long>(o.number("keyint", 250));
    } else if (auto fps = parseRatio(c.outputFps)) {
        gop = std::llround(*fps * 10); // MEncoder's xvid default: ten seconds
    }
    out.add({"-g", std::to_string(gop)});
    out.add({"-trellis", "1", "-me_quality", "6", "-mbd", o.has("mbd") ? mbdName(o.number("mbd", 2)) : "rd"});
    out.flags.push_back("+cgop");
    addRateControl(o, out);
    if (const std::string* aspect = o.get("aspect"))
        out.add({"-aspect", *aspect});
    addPass(context.pass, PassLog::FfmpegPrefix, out);
    return out;
}

// x264's own B-frame count when none is given.
constexpr int kX264DefaultBframes = 3;

const char* x264Profile(const SubOptions& o, bool noCabac, int bframes)
{
    if (o.flag("8x8dct"))
        return "high";
    if (noCabac && bframes == 0)
        return "baseline";
    return "main";
}

// The level asked for, raised as far as the stream needs: a player that
// checks the level refuses a stream beyond its limits (640x480 at 29.97 fps
// is level 3, not 1.3). nullopt leaves the choice to x264, which knows the
// frame rate when nobody else does.
std::optional<int> x264Level(const Command& c, const SourceStream* source, int requested, bool highProfile)
{
    H264Demand demand = x264Demand(c, source, highProfile);
    if (demand.fps <= 0 && sizeOutgrowsLevel(requested, demand))
        return std::nullopt;
    return fittingH264Level(requested, demand);
}

VideoEncoding x264Arguments(const Command& c, const EncoderContext& context)
{
    const SubOptions& o = c.x264;
    VideoEncoding out;
    out.add({"-c:v", "libx264"});
    if (o.has("crf")) {
        out.add({"-crf", *o.get("crf")});
    } else if (o.has("bitrate")) {
        out.kbps = static_cast<int>(o.number("bitrate", 0));
        out.add({"-b:v", *o.get("bitrate") + "k"}); // x264 takes kbit/s only
    }
    bool noCabac = o.flag("nocabac") || (o.has("cabac") && !o.flag("cabac"));
    auto bf = bFrames(o);
    // MEncoder's x264 leaves the 8x8 transform off unless asked, so its
    // streams are Baseline without CABAC and B-frames, Main otherwise: what
    // phones and the PSP can play. ffmpeg's libx264 would make High.
    const char* profile = x264Profile(o, noCabac, bf.value_or(kX264DefaultBframes));
    if (const std::string* asked = o.get("profile"))
        profile = asked->c_str();
    if (const std::string* preset = o.get("preset"))
        out.add({"-preset", *preset});
    if (o.has("level_idc")) {
        int requested = static_cast<int>(o.number("level_idc", 0));
        if (auto level = x264Level(c, context.source, requested, std::string_view(profile) == "high"))
            out.add({"-level", std::to_string(*level)});
    }
    if (noCabac)
        out.add({"-coder", "0"});
    if (bf)
        out.add({"-bf", std::to_string(*bf)});
    out.add({"-profile:v", profile});
    if (o.has("frameref"))
        out.add({"-refs", *o.get("frameref")});
    if (o.has("keyint"))
        out.add({"-g", *o.get("keyint")});
    addRateControl(o, out);
    // The builder puts the display aspect the user chose under "sar"; MEncoder
    // would drop it, ffmpeg applies it as the display aspect.
    if (const std::string* sar = o.get("sar"))
        out.add({"-aspect", *sar});
    std::string params;
    auto param = [&params](const std::string& p) { params += (params.empty() ? "" : ":") + p; };
    if (std::string_view(profile) != "high")
        param("8x8dct=0");
    if (const std::string* partitions = o.get("partitions"))
        param("partitions=" + *partitions);
    if (o.flag("pictiming"))
        param("pic-struct=1");
    if (o.flag("nopsnr"))
        param("psnr=0");
    if (o.flag("nossim"))
        param("ssim=0");
    if (context.pass != 0)
        param(std::string("stats=") + kPassLogName);
    if (!params.empty())
        out.add({"-x264-params", params});
    addPass(context.pass, PassLog::X264Stats, out);
    return out;
}

} // namespace

H264Demand x264Demand(const Command& c, const SourceStream* videoSource, bool highProfile)
{
    const SubOptions& o = c.x264;
    H264Demand demand;
    const FilterSpec* frame = nullptr;
    for (const FilterSpec& f : c.videoFilters) {
        if (f.name == "scale")
            frame = &f;
    }
    if (frame != nullptr) {
        demand.width = static_cast<int>(parseInteger(frame->params[0], 1, 8192).value_or(0));
        demand.height = static_cast<int>(parseInteger(frame->params[1], 1, 8192).value_or(0));
    } else if (videoSource != nullptr) {
        demand.width = videoSource->shownWidth();
        demand.height = videoSource->shownHeight();
    }
    if (auto fps = parseRatio(c.outputFps)) {
        demand.fps = *fps;
    } else if (videoSource != nullptr) {
        demand.fps = videoSource->frameRate;
    }
    if (!o.has("crf"))
        demand.kbps = static_cast<int>(o.number("bitrate", 0));
    demand.kbps = std::max(demand.kbps, static_cast<int>(o.number("vrc_maxrate", 0)));
    int refs = static_cast<int>(o.number("frameref", 3)); // x264's default
    demand.dpbFrames = x264DecodedPictureFrames(refs, bFrames(o).value_or(kX264DefaultBframes));
    demand.highProfile = highProfile;
    return demand;
}

bool sizeOutgrowsLevel(int requested, const H264Demand& demand)
{
    return demand.width > 0 && fittingH264Level(requested, demand) > requested;
}

VideoEncoding videoEncoding(const Command& c, const EncoderContext& context)
{
    switch (c.video) {
    case VideoMode::Lavc: return lavcArguments(c, context);
    case VideoMode::Xvid: return xvidArguments(c, context);
    case VideoMode::X264: return x264Arguments(c, context);
    default: return {};
    }
}

} // namespace qf::encoder
