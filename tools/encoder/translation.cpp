#include "translation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "filter_chains.h"
#include "h264_level.h"
#include "progress.h"
#include "value_syntax.h"

namespace qf::encoder {
namespace {

struct Muxer {
    std::string format; // ffmpeg -f
    std::vector<std::string> args; // muxer options
    bool unpackBframes = false; // copying MPEG-4 into a bare stream
};

// Extensions that name a container: a bare-stream -of with such an output
// name would make a file nothing can read, so the container is written.
std::optional<std::string> containerForExtension(const std::string& ext)
{
    if (ext == "avi")
        return "avi";
    if (ext == "mp4")
        return "mp4";
    if (ext == "m4a")
        return "ipod"; // brand "M4A ", what music players look for
    if (ext == "mkv")
        return "matroska";
    if (ext == "webm")
        return "webm";
    if (ext == "opus" || ext == "ogg" || ext == "oga")
        return "ogg";
    if (ext == "3gp")
        return "3gp";
    if (ext == "mov")
        return "mov";
    if (ext == "flv")
        return "flv";
    if (ext == "wmv" || ext == "wma" || ext == "asf")
        return "asf";
    if (ext == "mpg" || ext == "mpeg" || ext == "vob")
        return "mpeg";
    return std::nullopt;
}

std::optional<std::string> lavfMuxerFor(const std::string& format)
{
    if (format == "mp4" || format == "flv" || format == "3gp" || format == "mov" || format == "avi" || format == "ipod"
        || format == "matroska" || format == "webm")
        return format;
    if (format == "wmv" || format == "asf")
        return std::string("asf"); // no muxer is named "wmv"
    return std::nullopt;
}

Muxer mpegMuxer(const std::string& format)
{
    if (format == "dvd")
        return {"dvd", {"-packetsize", "2048", "-muxrate", "10080000"}};
    if (format == "xsvcd" || format == "svcd")
        return {"svcd", {"-packetsize", "2324", "-muxrate", "2788800"}};
    if (format == "xvcd" || format == "vcd")
        return {"vcd", {"-packetsize", "2324", "-muxrate", "1411200"}};
    if (format == "mpeg1")
        return {"mpeg", {}};
    return {"vob", {}};
}

std::optional<std::string> rawVideoForExtension(const std::string& ext)
{
    if (ext == "m4v" || ext == "mp4v" || ext == "cmp")
        return "m4v";
    if (ext == "h264" || ext == "264" || ext == "avc")
        return "h264";
    if (ext == "hevc" || ext == "h265" || ext == "265")
        return "hevc";
    if (ext == "m1v")
        return "mpeg1video";
    if (ext == "m2v" || ext == "mpv")
        return "mpeg2video";
    return std::nullopt;
}

std::optional<std::string> rawVideoForCodec(const std::string& codec)
{
    if (codec == "mpeg4")
        return "m4v";
    if (codec == "h264" || codec == "hevc" || codec == "mpeg1video" || codec == "mpeg2video" || codec == "mjpeg")
        return codec;
    if (codec == "libx265")
        return "hevc";
    if (codec == "flv" || codec == "flv1")
        return "flv"; // no bare form exists
    if (codec == "wmv1" || codec == "wmv2" || codec == "wmv3" || codec == "vc1")
        return "asf";
    return std::nullopt;
}

std::optional<std::string> rawAudioForExtension(const std::string& ext)
{
    if (ext == "aac" || ext == "adts")
        return "adts";
    if (ext == "mp3")
        return "mp3";
    if (ext == "mp2" || ext == "mpa" || ext == "m2a")
        return "mp2";
    if (ext == "ac3")
        return "ac3";
    if (ext == "eac3")
        return "eac3";
    return std::nullopt;
}

std::optional<std::string> rawAudioForCodec(const std::string& codec)
{
    if (codec == "aac")
        return "adts"; // bare AAC without ADTS headers is unreadable
    if (codec == "mp3" || codec == "ac3" || codec == "eac3" || codec == "flac")
        return codec;
    if (codec == "mp2" || codec == "mp1")
        return "mp2";
    if (codec == "wmav1" || codec == "wmav2")
        return "asf";
    if (codec == "vorbis" || codec == "opus" || codec == "libopus")
        return "ogg";
    if (codec.starts_with("pcm_"))
        return "wav";
    return std::nullopt;
}

bool isDiscMuxer(const std::string& format) { return format == "dvd" || format == "svcd" || format == "vcd"; }

bool isMp4Muxer(const std::string& format) { return format == "mp4" || format == "mov" || format == "ipod"; }

// The codecs of today, by their own libraries: constant quality as -crf,
// the encoder's speed settings, no MPEG-era macroblock options.
bool isModernVideoCodec(const std::string& codec)
{
    return codec == "libx265" || codec == "libvpx-vp9" || codec == "libsvtav1" || codec == "libaom-av1";
}

// The size, rate and colour rules of today's players: a box (dsize) or a
// frame-rate cap asks for them.
bool wantsModernChain(const Command& c)
{
    return std::any_of(c.videoFilters.begin(), c.videoFilters.end(),
                       [](const FilterSpec& f) { return f.name == "dsize" || f.name == "fpscap"; });
}

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

bool isBareCopy(const Command& c)
{
    return (c.container == ContainerKind::RawVideo && c.video == VideoMode::Copy)
        || (c.container == ContainerKind::RawAudio && c.audio == AudioMode::Copy);
}

bool bareCopyResolvedByName(const Command& c)
{
    std::string ext = extensionOf(c.output);
    if (containerForExtension(ext))
        return true;
    return c.container == ContainerKind::RawVideo ? rawVideoForExtension(ext).has_value()
                                                  : rawAudioForExtension(ext).has_value();
}

// The codec an encoded stream will have, as a raw-format lookup key.
std::string encodedVideoCodec(const Command& c)
{
    if (c.video == VideoMode::Xvid)
        return "mpeg4";
    if (c.video == VideoMode::X264)
        return "h264";
    const std::string* codec = c.lavc.get("vcodec");
    return codec ? *codec : "mpeg4";
}

std::string encodedAudioCodec(const Command& c)
{
    if (c.audio == AudioMode::Lame)
        return "mp3";
    if (c.audio == AudioMode::Faac)
        return "aac";
    const std::string* codec = c.lavc.get("acodec");
    return codec ? *codec : "mp2";
}

struct Plan {
    Plan(const Command& command, const SourceFacts* sourceFacts, const TranslateOptions& translateOptions)
        : c(command), facts(sourceFacts), options(translateOptions)
    {}

    const Command& c;
    const SourceFacts* facts;
    const TranslateOptions& options;
    Translation t;
    const SourceStream* videoSource = nullptr; // the streams read, when the facts are known
    const SourceStream* audioSource = nullptr;
    bool video = false; // a video stream is written
    bool audio = false;
    bool audioOptional = false; // written when the source has one
    Muxer muxer;
    std::vector<std::string> videoFlags;
    std::vector<std::string> audioFlags;
    std::optional<int> audioRate; // the sample rate the sound is encoded at, when the run names it
    bool squarePixels = false;
    bool discAspect = false; // flag 4:3 or 16:9, whichever the source's display aspect is nearer

    bool fail(FailureKind kind, std::string message)
    {
        t.failure = kind;
        t.error = std::move(message);
        return false;
    }

    bool chooseStreams();
    bool chooseMuxer();
    bool mapStreams(std::vector<std::string>& out);
    bool soundBesideWorthwhile() const;
    void videoArgs(std::vector<std::string>& out);
    void lavcVideoArgs(std::vector<std::string>& out);
    void xvidVideoArgs(std::vector<std::string>& out);
    void x264VideoArgs(std::vector<std::string>& out);
    void rateControlArgs(const SubOptions& o, std::vector<std::string>& out);
    void passArgs(int pass, PassLog log, std::vector<std::string>& out);
    void audioArgs(std::vector<std::string>& out);
    std::optional<int> x264Level(int requested, bool highProfile);
    std::optional<double> sourceSeconds() const;
};

std::vector<std::string> concat(std::initializer_list<const std::vector<std::string>*> parts)
{
    std::vector<std::string> all;
    for (const std::vector<std::string>* part : parts)
        all.insert(all.end(), part->begin(), part->end());
    return all;
}

// Sound encoded by a second ffmpeg pays where the picture is encoded too and
// ends where the sound does. The AAC priming is known (1024 samples at the
// rate asked for), so the handed-over sound gets the timestamps a single run
// gives it, which these containers keep. A run cut short (-endpos, a size
// limit) would leave the feeder writing to nobody; two passes and copies
// gain nothing.
bool Plan::soundBesideWorthwhile() const
{
    bool timed = muxer.format == "mp4" || muxer.format == "mov" || muxer.format == "3gp" || muxer.format == "avi";
    bool noSound = audioOptional && facts != nullptr && audioSource == nullptr;
    return video && audio && !noSound && t.pass == 0 && c.video != VideoMode::Copy && c.audio == AudioMode::Faac
        && timed && audioRate && *audioRate > 0 && !c.lengthSeconds && !c.sizeLimitBytes;
}

std::string kiloOrBits(long long value, long long kiloLimit)
{
    return value > kiloLimit ? std::to_string(value) : std::to_string(value) + "k";
}

int videoPassOf(const Command& c)
{
    switch (c.video) {
    case VideoMode::Lavc: return static_cast<int>(c.lavc.number("vpass", 0));
    case VideoMode::Xvid: return static_cast<int>(c.xvid.number("pass", c.xvid.number("vpass", 0)));
    case VideoMode::X264: return static_cast<int>(c.x264.number("pass", c.x264.number("vpass", 0)));
    default: return 0;
    }
}

bool Plan::chooseStreams()
{
    bool rawVideo = c.container == ContainerKind::RawVideo;
    bool rawAudio = c.container == ContainerKind::RawAudio;
    video = !rawAudio && c.video != VideoMode::Frameno;
    audio = !rawVideo && !c.noSound;
    if (video && c.video == VideoMode::Unset) {
        return fail(FailureKind::Runtime, "No video encoder (-ovc) selected. Select one (see -ovc help).");
    }
    if (audio && c.audio == AudioMode::Unset) {
        return fail(FailureKind::Runtime,
                    "No audio encoder (-oac) selected. Select one (see -oac help) or use -nosound.");
    }
    t.pass = video ? videoPassOf(c) : 0;
    // The first pass only gathers video statistics: nothing else is written.
    if (t.pass == 1)
        audio = false;
    if (!video && !audio)
        return fail(FailureKind::Runtime, "Nothing to write: no video and no audio selected");
    audioOptional = audio && video && !c.audioId;
    if (facts != nullptr) {
        if (video && facts->countOfType("video") == 0)
            return fail(FailureKind::Runtime, "Video stream is mandatory!");
        if (audio && facts->countOfType("audio") == 0) {
            if (!video)
                return fail(FailureKind::Runtime, "The source has no audio stream");
            audio = false; // MEncoder writes the video alone
        }
    }
    return true;
}

bool Plan::chooseMuxer()
{
    std::string ext = extensionOf(c.output);
    switch (c.container) {
    case ContainerKind::Avi: muxer = {"avi", {}}; return true;
    case ContainerKind::Lavf: {
        std::string format = c.lavfFormat;
        if (format.empty()) {
            auto byName = containerForExtension(ext);
            if (!byName || *byName == "mpeg") {
                return fail(FailureKind::Runtime, "Cannot tell the libavformat output format; give -lavfopts format=");
            }
            format = *byName;
        }
        muxer = {*lavfMuxerFor(format), {}};
        return true;
    }
    case ContainerKind::Mpeg: muxer = mpegMuxer(c.mpegFormat); return true;
    case ContainerKind::RawVideo:
    case ContainerKind::RawAudio: break;
    }
    if (auto container = containerForExtension(ext)) {
        muxer = *container == "mpeg" ? mpegMuxer(c.mpegFormat) : Muxer{*container, {}};
        return true;
    }
    bool rawVideo = c.container == ContainerKind::RawVideo;
    bool copy = rawVideo ? c.video == VideoMode::Copy : c.audio == AudioMode::Copy;
    std::optional<std::string> format;
    std::string codec;
    if (!copy) {
        codec = rawVideo ? encodedVideoCodec(c) : encodedAudioCodec(c);
        format = rawVideo ? rawVideoForCodec(codec) : rawAudioForCodec(codec);
    } else {
        format = rawVideo ? rawVideoForExtension(ext) : rawAudioForExtension(ext);
        if (!format && facts != nullptr) {
            const SourceStream* s = facts->firstOfType(rawVideo ? "video" : "audio");
            if (s == nullptr) {
                return fail(FailureKind::Runtime,
                            rawVideo ? "Video stream is mandatory!" : "The source has no audio stream");
            }
            codec = s->codec;
            format = rawVideo ? rawVideoForCodec(codec) : rawAudioForCodec(codec);
        }
    }
    if (!format)
        return fail(FailureKind::Runtime, "Cannot write a bare stream of codec '" + codec + "'");
    muxer = {*format, {}};
    if (*format == "m4v" && copy)
        muxer.unpackBframes = true; // Xvid packed B-frames
    if (*format == "mp3")
        muxer.args = {"-id3v2_version", "0"};
    if (*format == "adts" && c.audio == AudioMode::Faac && c.faac.number("mpeg", 4) == 2) {
        muxer.args = {"-write_mpeg2", "1"};
    }
    return true;
}

bool Plan::mapStreams(std::vector<std::string>& out)
{
    if (video)
        out.insert(out.end(), {"-map", "0:v:0"});
    if (facts != nullptr)
        videoSource = facts->firstOfType("video");
    if (!audio)
        return true;
    if (!c.audioId) {
        out.insert(out.end(), {"-map", audioOptional ? "0:a:0?" : "0:a:0"});
        if (facts != nullptr)
            audioSource = facts->firstOfType("audio");
        return true;
    }
    int aid = *c.audioId;
    // -aid means the container's own stream number, so it is resolved here.
    const std::string& format = facts->formatName;
    const SourceStream* chosen = nullptr;
    std::string spec;
    if (format.find("avi") != std::string::npos) {
        for (const SourceStream& s : facts->streams) {
            if (s.index == aid)
                chosen = &s;
        }
        spec = "0:" + std::to_string(aid);
    } else if (format == "mpeg" || format == "mpegts" || format == "mpegvideo") {
        int id = format == "mpeg" && aid < 32 ? 0x1c0 + aid : aid;
        for (const SourceStream& s : facts->streams) {
            if (s.id == id)
                chosen = &s;
        }
        spec = "0:i:" + std::to_string(id);
    } else {
        int n = 0;
        for (const SourceStream& s : facts->streams) {
            if (s.type == "audio" && n++ == aid)
                chosen = &s;
        }
        spec = "0:a:" + std::to_string(aid);
    }
    if (chosen == nullptr || chosen->type != "audio") {
        return fail(FailureKind::Runtime, "The source has no audio stream with -aid " + std::to_string(aid));
    }
    audioSource = chosen;
    out.insert(out.end(), {"-map", spec});
    return true;
}

void Plan::rateControlArgs(const SubOptions& o, std::vector<std::string>& out)
{
    // MEncoder's vrc_* values are in kbit.
    if (o.has("vrc_buf_size"))
        out.insert(out.end(), {"-bufsize", *o.get("vrc_buf_size") + "k"});
    if (o.has("vrc_minrate"))
        out.insert(out.end(), {"-minrate", *o.get("vrc_minrate") + "k"});
    if (o.has("vrc_maxrate")) {
        out.insert(out.end(), {"-maxrate", *o.get("vrc_maxrate") + "k"});
    } else if (o.has("vrc_buf_size")) {
        // ffmpeg wants a maximum with a buffer; MEncoder's VCD settings give only
        // the minimum, meaning a constant rate.
        long long top
            = std::max(static_cast<long long>(o.number("vrc_minrate", 0)), static_cast<long long>(t.videoKbps));
        if (top > 0)
            out.insert(out.end(), {"-maxrate", std::to_string(top) + "k"});
    }
    if (o.number("vglobal", 0) >= 1 || o.flag("global_header"))
        videoFlags.push_back("+global_header");
    if (o.number("aglobal", 0) >= 1)
        audioFlags.push_back("+global_header");
}

void Plan::passArgs(int pass, PassLog log, std::vector<std::string>& out)
{
    if (pass == 0)
        return;
    t.passLog = log;
    out.insert(out.end(), {"-pass", std::to_string(pass)});
    if (log == PassLog::FfmpegPrefix)
        out.insert(out.end(), {"-passlogfile", kPassLogPrefix});
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

void Plan::lavcVideoArgs(std::vector<std::string>& out)
{
    const SubOptions& o = c.lavc;
    std::string codec = encodedVideoCodec(c);
    out.insert(out.end(), {"-c:v", codec});
    bool modern = isModernVideoCodec(codec);
    if (o.has("vcrf") && modern) {
        out.insert(out.end(), {"-crf", formatDecimal(std::round(o.number("vcrf", 28)))});
        // VP9 is constant quality only without a target rate (ffmpeg's default is 200k).
        if (codec == "libvpx-vp9")
            out.insert(out.end(), {"-b:v", "0"});
    } else if (o.has("vcrf")) {
        out.insert(out.end(), {"-q:v", fixedQuantizer(o.number("vcrf", 23))});
    } else {
        long long kbit = static_cast<long long>(o.number("vbitrate", 800));
        t.videoKbps = static_cast<int>(kbit > 16000 ? kbit / 1000 : kbit);
        out.insert(out.end(), {"-b:v", kiloOrBits(kbit, 16000)});
    }
    out.insert(out.end(), {"-g", std::to_string(static_cast<long long>(o.number("keyint", 250)))});
    if (o.flag("turbo") && t.pass == 1) {
        out.insert(out.end(),
                   {"-precmp",
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
            out.insert(out.end(), {"-mbd", mbdName(o.number("mbd", 0))});
        if (o.flag("trell"))
            out.insert(out.end(), {"-trellis", "1"});
        if (o.flag("mv0"))
            out.insert(out.end(), {"-mpv_flags", "+mv0"});
    }
    // Only the MPEG encoders take B-frames; the others refuse any.
    bool bCapable = codec == "mpeg4" || codec == "mpeg1video" || codec == "mpeg2video";
    if (auto bf = bFrames(o); bf && (bCapable || *bf == 0))
        out.insert(out.end(), {"-bf", std::to_string(*bf)});
    rateControlArgs(o, out);
    if (const std::string* settings = o.get("o"); settings != nullptr && modern) {
        for (const std::string& item : splitText(*settings, ',')) {
            std::size_t eq = item.find('=');
            out.insert(out.end(), {"-" + item.substr(0, eq), item.substr(eq + 1)});
        }
    }
    if (const std::string* aspect = o.get("aspect")) {
        out.insert(out.end(), {"-aspect", *aspect});
    } else if (isDiscMuxer(muxer.format) && (codec == "mpeg1video" || codec == "mpeg2video")) {
        // A disc player knows only its standard display aspects: the filter
        // chain flags the one nearer the source's, not the square pixels of the
        // disc's odd frame size.
        discAspect = true;
    } else {
        squarePixels = true;
    }
    passArgs(t.pass, PassLog::FfmpegPrefix, out);
}

void Plan::xvidVideoArgs(std::vector<std::string>& out)
{
    const SubOptions& o = c.xvid;
    out.insert(out.end(), {"-c:v", "libxvid"});
    if (o.has("crf")) {
        out.insert(out.end(), {"-q:v", fixedQuantizer(o.number("crf", 23))});
    } else {
        long long kbit = static_cast<long long>(o.number("bitrate", 687));
        t.videoKbps = static_cast<int>(kbit > 16000 ? kbit / 1000 : kbit);
        out.insert(out.end(), {"-b:v", kiloOrBits(kbit, 16000)});
    }
    out.insert(out.end(), {"-bf", std::to_string(bFrames(o).value_or(2))});
    long long gop = 250;
    if (o.has("keyint")) {
        gop = static_cast<long long>(o.number("keyint", 250));
    } else if (auto fps = parseRatio(c.outputFps)) {
        gop = std::llround(*fps * 10); // MEncoder's xvid default: ten seconds
    }
    out.insert(out.end(), {"-g", std::to_string(gop)});
    out.insert(out.end(),
               {"-trellis", "1", "-me_quality", "6", "-mbd", o.has("mbd") ? mbdName(o.number("mbd", 2)) : "rd"});
    videoFlags.push_back("+cgop");
    rateControlArgs(o, out);
    if (const std::string* aspect = o.get("aspect"))
        out.insert(out.end(), {"-aspect", *aspect});
    passArgs(t.pass, PassLog::FfmpegPrefix, out);
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

void Plan::x264VideoArgs(std::vector<std::string>& out)
{
    const SubOptions& o = c.x264;
    out.insert(out.end(), {"-c:v", "libx264"});
    if (o.has("crf")) {
        out.insert(out.end(), {"-crf", *o.get("crf")});
    } else if (o.has("bitrate")) {
        t.videoKbps = static_cast<int>(o.number("bitrate", 0));
        out.insert(out.end(), {"-b:v", *o.get("bitrate") + "k"}); // x264 takes kbit/s only
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
        out.insert(out.end(), {"-preset", *preset});
    if (o.has("level_idc")) {
        int requested = static_cast<int>(o.number("level_idc", 0));
        auto level = x264Level(requested, std::string_view(profile) == "high");
        if (level)
            out.insert(out.end(), {"-level", std::to_string(*level)});
    }
    if (noCabac)
        out.insert(out.end(), {"-coder", "0"});
    if (bf)
        out.insert(out.end(), {"-bf", std::to_string(*bf)});
    out.insert(out.end(), {"-profile:v", profile});
    if (o.has("frameref"))
        out.insert(out.end(), {"-refs", *o.get("frameref")});
    if (o.has("keyint"))
        out.insert(out.end(), {"-g", *o.get("keyint")});
    rateControlArgs(o, out);
    // The builder puts the display aspect the user chose under "sar"; MEncoder
    // would drop it, ffmpeg applies it as the display aspect.
    if (const std::string* sar = o.get("sar"))
        out.insert(out.end(), {"-aspect", *sar});
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
    if (t.pass != 0)
        param(std::string("stats=") + kPassLogName);
    if (!params.empty())
        out.insert(out.end(), {"-x264-params", params});
    passArgs(t.pass, PassLog::X264Stats, out);
}

// What an x264 stream demands of its level, as far as the command line and
// the source (when known) tell.
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

// The frame size alone needs more than the level asked for: x264's own
// choice, made from the real rate, is then at least as high.
bool sizeOutgrowsLevel(int requested, const H264Demand& demand)
{
    return demand.width > 0 && fittingH264Level(requested, demand) > requested;
}

// The level asked for, raised as far as the stream needs: a player that
// checks the level refuses a stream beyond its limits (640x480 at 29.97 fps
// is level 3, not 1.3). nullopt leaves the choice to x264, which knows the
// frame rate when nobody else does.
std::optional<int> Plan::x264Level(int requested, bool highProfile)
{
    H264Demand demand = x264Demand(c, videoSource, highProfile);
    if (demand.fps <= 0 && sizeOutgrowsLevel(requested, demand))
        return std::nullopt;
    return fittingH264Level(requested, demand);
}

void Plan::videoArgs(std::vector<std::string>& out)
{
    if (!video) {
        out.push_back("-vn");
        return;
    }
    if (c.video == VideoMode::Copy) {
        out.insert(out.end(), {"-c:v", "copy"});
        if (muxer.unpackBframes)
            out.insert(out.end(), {"-bsf:v", "mpeg4_unpack_bframes"});
        if (muxer.format == "avi" && !c.fourcc.empty())
            out.insert(out.end(), {"-vtag", c.fourcc});
        return;
    }
    std::vector<std::string> codecArgs;
    if (c.video == VideoMode::Lavc)
        lavcVideoArgs(codecArgs);
    if (c.video == VideoMode::Xvid)
        xvidVideoArgs(codecArgs);
    if (c.video == VideoMode::X264)
        x264VideoArgs(codecArgs);

    // Pulldown flags exist in MPEG-2 only.
    bool mpeg2Video = c.video == VideoMode::Lavc && encodedVideoCodec(c) == "mpeg2video";
    // No aspect asked for keeps the source's shape: the devices ignore a
    // stored pixel aspect, so the picture is fitted into the frame with bars.
    bool aspectAsked = (c.video == VideoMode::Lavc && c.lavc.has("aspect"))
        || (c.video == VideoMode::Xvid && c.xvid.has("aspect")) || (c.video == VideoMode::X264 && c.x264.has("sar"));
    bool scaled = std::any_of(c.videoFilters.begin(), c.videoFilters.end(),
                              [](const FilterSpec& f) { return f.name == "scale" && !scalesToDisplaySize(f); });
    VideoChainOptions chainOptions;
    chainOptions.fitFrame = scaled && !aspectAsked;
    bool displaySize = std::any_of(c.videoFilters.begin(), c.videoFilters.end(), scalesToDisplaySize);
    chainOptions.squarePixels = squarePixels || (chainOptions.fitFrame && !discAspect) || displaySize;
    chainOptions.discAspect = discAspect;
    // Whatever the decoder gives (RGB, 4:2:2, 4:4:4, 10-bit, alpha), these
    // codecs and the devices' profiles take 8-bit 4:2:0.
    chainOptions.pixelFormat = "yuv420p";
    bool deepSource = videoSource != nullptr && videoSource->highBitDepth();
    bool keepsDepth = c.video == VideoMode::Lavc && c.lavc.flag("highbitdepth") && deepSource
        && (encodedVideoCodec(c) == "libx265" || encodedVideoCodec(c) == "libsvtav1");
    if (keepsDepth)
        chainOptions.pixelFormat = "yuv420p10le"; // HEVC Main 10, AV1 Main
    else if (videoSource != nullptr && videoSource->hdr() && wantsModernChain(c))
        chainOptions.toneMap = true;
    if (videoSource != nullptr && wantsModernChain(c)) {
        chainOptions.evenSize = videoSource->shownWidth() % 2 != 0 || videoSource->shownHeight() % 2 != 0;
        const FilterSpec* cap = nullptr;
        for (const FilterSpec& f : c.videoFilters) {
            if (f.name == "fpscap")
                cap = &f;
        }
        if (cap != nullptr && videoSource->frameRate > 0) {
            double limit = parseRatio(cap->params[0]).value_or(60);
            chainOptions.cappedRate
                = videoSource->frameRate > limit * 1.001 ? cap->params[0] : nominalRate(videoSource->frameRate);
        }
    }
    chainOptions.telecine
        = c.mpegTelecine && mpeg2Video && (muxer.format == "dvd" || muxer.format == "vob" || muxer.format == "svcd");
    VideoChain chain = buildVideoChain(c, chainOptions);
    if (!chain.graph.empty())
        out.insert(out.end(), {"-vf", chain.graph});
    if (c.sws)
        out.insert(out.end(), {"-sws_flags", scalerName(c.sws)});
    if (chain.hardDup)
        out.insert(out.end(), {"-fps_mode", "cfr"});
    out.insert(out.end(), codecArgs.begin(), codecArgs.end());
    t.softPulldown = chain.telecine;
    std::string fourcc = c.fourcc.empty() && c.video == VideoMode::Xvid ? "XVID" : c.fourcc;
    if (muxer.format == "avi" && !fourcc.empty())
        out.insert(out.end(), {"-vtag", fourcc});
    // Apple's players take HEVC in MP4 only under the "hvc1" tag (ffmpeg writes "hev1").
    if (isMp4Muxer(muxer.format) && (fourcc == "hvc1" || fourcc == "hev1") && encodedVideoCodec(c) == "libx265")
        out.insert(out.end(), {"-tag:v", fourcc});
    if (!videoFlags.empty()) {
        std::string flags;
        for (const std::string& f : videoFlags)
            flags += f;
        out.insert(out.end(), {"-flags:v", flags});
    }
}

void Plan::audioArgs(std::vector<std::string>& out)
{
    if (!audio) {
        out.push_back("-an");
        return;
    }
    if (c.audio == AudioMode::Copy) {
        // Filters and resampling cannot apply to a copied stream; MEncoder ignores them too.
        out.insert(out.end(), {"-c:a", "copy"});
        return;
    }
    AudioChainOptions chainOptions;
    chainOptions.channelLimit = c.channels.value_or(2);
    if (audioSource != nullptr && audioSource->channels > 0)
        chainOptions.sourceChannels = audioSource->channels;
    auto seconds = sourceSeconds();
    chainOptions.normalise = options.normalise && !(seconds && *seconds < kShortestNormalisedSeconds);
    chainOptions.continuousTimestamps = isDiscMuxer(muxer.format) || muxer.format == "vob" || muxer.format == "mpeg";
    std::vector<std::string> codecArgs;
    if (c.audio == AudioMode::Lame) {
        const SubOptions& o = c.lame;
        codecArgs = {"-c:a", "libmp3lame"};
        int br = static_cast<int>(o.number("br", 128));
        int vbr = static_cast<int>(o.number("vbr", 2));
        if (o.flag("cbr") || (!o.flag("abr") && vbr == 0)) {
            codecArgs.insert(codecArgs.end(), {"-b:a", std::to_string(br) + "k"});
            t.audioKbps = br;
        } else if (o.flag("abr") || vbr == 3) {
            codecArgs.insert(codecArgs.end(), {"-b:a", std::to_string(br) + "k", "-abr", "1"});
            t.audioKbps = br;
        } else {
            codecArgs.insert(codecArgs.end(), {"-q:a", std::to_string(static_cast<int>(o.number("q", 0)))});
        }
        int mode = static_cast<int>(o.number("mode", 4));
        if (mode == 1)
            codecArgs.insert(codecArgs.end(), {"-joint_stereo", "1"});
        if (mode == 0 || mode == 2)
            codecArgs.insert(codecArgs.end(), {"-joint_stereo", "0"});
        chainOptions.mixToMono = mode == 3;
        if (o.has("vol"))
            chainOptions.volume = o.number("vol", 1);
        // LAME's own defaults: a float input doubles the size of a VBR file.
        codecArgs.insert(
            codecArgs.end(),
            {"-compression_level", std::to_string(static_cast<int>(o.number("aq", 5))), "-sample_fmt", "s16p"});
    } else if (c.audio == AudioMode::Faac) {
        const SubOptions& o = c.faac;
        int br = static_cast<int>(o.number("br", 128));
        if (br == 0)
            br = 128;
        t.audioKbps = br;
        codecArgs = {"-c:a", "aac", "-b:a", std::to_string(br) + "k"};
        int object = static_cast<int>(o.number("object", 2));
        if (object == 1)
            codecArgs.insert(codecArgs.end(), {"-profile:a", "aac_main"});
        if (object == 2 || object == 3)
            codecArgs.insert(codecArgs.end(), {"-profile:a", "aac_low"});
        if (object == 4)
            codecArgs.insert(codecArgs.end(), {"-profile:a", "aac_ltp", "-strict", "-2"});
    } else {
        const SubOptions& o = c.lavc;
        long long rate = static_cast<long long>(o.number("abitrate", 224));
        std::string codec = encodedAudioCodec(c);
        if (codec == "flac") {
            codecArgs = {"-c:a", "flac"}; // lossless: no rate to ask for
        } else {
            t.audioKbps = static_cast<int>(rate >= 1000 ? rate / 1000 : rate);
            codecArgs = {"-c:a", codec, "-b:a", rate >= 1000 ? std::to_string(rate) : std::to_string(rate) + "k"};
        }
    }
    AudioChain chain = buildAudioChain(c, chainOptions);
    t.normalised = chain.normalised;
    if (!chain.graph.empty())
        out.insert(out.end(), {"-af", chain.graph});
    if (c.sampleRate) {
        audioRate = *c.sampleRate;
    } else if (chain.resampleRate) {
        audioRate = *chain.resampleRate;
    }
    if (c.audio == AudioMode::Lavc && encodedAudioCodec(c) == "libopus") {
        // Opus codes 48000 Hz (or 8000..24000); any other rate would refuse to open.
        static constexpr int kOpusRates[] = {48000, 24000, 16000, 12000, 8000};
        if (!audioRate || std::find(std::begin(kOpusRates), std::end(kOpusRates), *audioRate) == std::end(kOpusRates))
            audioRate = 48000;
    }
    if (audioRate)
        out.insert(out.end(), {"-ar", std::to_string(*audioRate)});
    out.insert(out.end(), codecArgs.begin(), codecArgs.end());
    if (!audioFlags.empty()) {
        std::string flags;
        for (const std::string& f : audioFlags)
            flags += f;
        out.insert(out.end(), {"-flags:a", flags});
    }
}

// The seconds of source this run reads, when known.
std::optional<double> Plan::sourceSeconds() const
{
    if (facts == nullptr)
        return c.lengthSeconds;
    return effectiveDuration(facts->durationSeconds, c.startSeconds.value_or(0), c.lengthSeconds);
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
    Plan plan(command, facts, options);
    Translation& t = plan.t;
    t.sourcePath = command.source;
    t.outputPath = command.output;
    t.startSeconds = command.startSeconds.value_or(0);
    t.lengthSeconds = command.lengthSeconds;
    if (facts == nullptr && needsSourceFacts(command)) {
        plan.fail(FailureKind::Runtime, "Internal error: the source was not examined");
        return t;
    }
    if (!plan.chooseStreams() || !plan.chooseMuxer())
        return t;

    const std::vector<std::string> head = {"-hide_banner", "-nostdin",  "-y",     "-nostats",      "-loglevel",
                                           "level+info",   "-progress", "pipe:1", "-stats_period", "0.1"};
    std::vector<std::string> input;
    if (command.startSeconds)
        input.insert(input.end(), {"-ss", formatDecimal(*command.startSeconds)});
    bool decodesAudio = plan.audio && command.audio != AudioMode::Copy;
    int channelLimit = command.channels.value_or(2);
    if (decodesAudio && channelLimit <= 2) {
        // Downmixing in the AC-3 decoder gives MEncoder's exact levels; other
        // decoders ignore the request and the filter chain limits the channels.
        input.insert(input.end(), {"-downmix", channelLimit == 1 ? "mono" : "stereo"});
    }
    input.insert(input.end(), {"-i", "file:" + command.source});
    std::vector<std::string> maps;
    if (!plan.mapStreams(maps))
        return t;
    std::vector<std::string> videoPart;
    plan.videoArgs(videoPart);
    std::vector<std::string> audioPart;
    plan.audioArgs(audioPart);
    std::vector<std::string> tail;
    if (command.lengthSeconds)
        tail.insert(tail.end(), {"-t", formatDecimal(*command.lengthSeconds)});
    if (command.sizeLimitBytes)
        tail.insert(tail.end(), {"-fs", std::to_string(*command.sizeLimitBytes)});
    tail.insert(tail.end(), {"-f", plan.muxer.format});
    tail.insert(tail.end(), plan.muxer.args.begin(), plan.muxer.args.end());
    // The index ahead of the media: a browser starts playing before the file
    // has arrived. Music files (M4A) always get it.
    if (isMp4Muxer(plan.muxer.format) && (command.faststart || plan.muxer.format == "ipod"))
        tail.insert(tail.end(), {"-movflags", "+faststart"});
    if (t.pass == 1) {
        // The same muxer as the second pass, so both passes see the same frames.
        tail.push_back("/dev/null");
    } else {
        t.tempPath = temporaryPathFor(command.output);
        tail.push_back("file:" + t.tempPath);
    }
    t.ffmpegArgs = concat({&head, &input, &maps, &videoPart, &audioPart, &tail});
    if (options.soundBeside && plan.soundBesideWorthwhile()) {
        // ffmpeg 5.1 encodes sound on the thread that feeds the video encoder,
        // which then waits; a second ffmpeg encodes it on the other core and
        // hands it over in NUT, which keeps the decoder's configuration and
        // the timestamps. Each ffmpeg counts an input's time from that
        // input's own start, so the sound is made to start at zero: a late
        // start is padded with silence. Its resampler then keeps the sound
        // continuous, filling gaps over 0.1 s with silence too (one run keeps
        // them as jumps in the timestamps; players hear the same). NUT moves
        // the encoder's 1024 samples of priming to zero; -itsoffset puts them
        // back before it, where an MP4's edit list hides them.
        std::vector<std::string> feederPart = audioPart;
        auto graph = std::find(feederPart.begin(), feederPart.end(), "-af");
        const std::string fromZero = "aresample=async=1:first_pts=0";
        if (graph != feederPart.end())
            *(graph + 1) += "," + fromZero;
        else
            feederPart.insert(feederPart.begin(), {"-af", fromZero});
        const std::vector<std::string> feederHead = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
        const std::vector<std::string> audioMap(maps.end() - 2, maps.end());
        const std::vector<std::string> feederTail = {"-f", "nut", "pipe:1"};
        t.feederArgs = concat({&feederHead, &input, &audioMap, &feederPart, &feederTail});

        char priming[32];
        std::snprintf(priming, sizeof priming, "-%.6f", 1024.0 / *plan.audioRate);
        const std::vector<std::string> fedInput = {"-itsoffset", priming, "-f", "nut", "-i", "pipe:0"};
        const std::vector<std::string> fedMaps = {maps[0], maps[1], "-map", "1:a:0"};
        // The rate the encoder was asked for, which an AVI's header states.
        std::vector<std::string> copy = {"-c:a", "copy"};
        auto rate = std::find(audioPart.begin(), audioPart.end(), "-b:a");
        if (rate != audioPart.end())
            copy.insert(copy.end(), {"-b:a", *(rate + 1)});
        t.fedArgs = concat({&head, &input, &fedInput, &fedMaps, &videoPart, &copy, &tail});
    }
    t.writesVideo = plan.video;
    t.writesAudio = plan.audio;
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
