#include "container_tables.h"

#include <span>

#include "value_syntax.h"

namespace qf::encoder {
namespace {

struct Name {
    std::string_view key;
    const char* value;
};

std::optional<std::string> lookUp(std::span<const Name> table, std::string_view key)
{
    for (const Name& row : table) {
        if (row.key == key)
            return row.value;
    }
    return std::nullopt;
}

// Extensions that name a container: a bare-stream -of with such an output
// name would make a file nothing can read, so the container is written.
// M4A is "ipod" for its brand "M4A ", what music players look for.
constexpr Name kContainerByExtension[] = {
    {"avi", "avi"}, {"mp4", "mp4"}, {"m4a", "ipod"}, {"mkv", "matroska"}, {"webm", "webm"}, {"opus", "ogg"},
    {"ogg", "ogg"}, {"oga", "ogg"}, {"3gp", "3gp"},  {"mov", "mov"},      {"flv", "flv"},   {"wmv", "asf"},
    {"wma", "asf"}, {"asf", "asf"}, {"mpg", "mpeg"}, {"mpeg", "mpeg"},    {"vob", "mpeg"},
};

// -lavfopts format= (or the container the name gives) as ffmpeg's muxer;
// no muxer is named "wmv".
constexpr Name kLavfMuxers[] = {
    {"mp4", "mp4"},           {"flv", "flv"},   {"3gp", "3gp"}, {"mov", "mov"}, {"avi", "avi"}, {"ipod", "ipod"},
    {"matroska", "matroska"}, {"webm", "webm"}, {"ogg", "ogg"}, {"wmv", "asf"}, {"asf", "asf"},
};

struct DiscMuxer {
    std::string_view name; // -mpegopts format=
    const char* format;
    const char* packetSize; // "" = the muxer's own
    const char* muxRate;
};

// Pack size and rate as MEncoder writes them for each disc.
constexpr DiscMuxer kMpegMuxers[] = {
    {"dvd", "dvd", "2048", "10080000"}, {"xsvcd", "svcd", "2324", "2788800"}, {"svcd", "svcd", "2324", "2788800"},
    {"xvcd", "vcd", "2324", "1411200"}, {"vcd", "vcd", "2324", "1411200"},    {"mpeg1", "mpeg", "", ""},
};

constexpr Name kRawVideoByExtension[] = {
    {"m4v", "m4v"},  {"mp4v", "m4v"},       {"cmp", "m4v"},        {"h264", "h264"},
    {"264", "h264"}, {"avc", "h264"},       {"hevc", "hevc"},      {"h265", "hevc"},
    {"265", "hevc"}, {"m1v", "mpeg1video"}, {"m2v", "mpeg2video"}, {"mpv", "mpeg2video"},
};

// FLV and the Windows Media codecs have no bare form: their container is written.
constexpr Name kRawVideoByCodec[] = {
    {"mpeg4", "m4v"},
    {"h264", "h264"},
    {"hevc", "hevc"},
    {"mpeg1video", "mpeg1video"},
    {"mpeg2video", "mpeg2video"},
    {"mjpeg", "mjpeg"},
    {"libx265", "hevc"},
    {"flv", "flv"},
    {"flv1", "flv"},
    {"wmv1", "asf"},
    {"wmv2", "asf"},
    {"wmv3", "asf"},
    {"vc1", "asf"},
};

constexpr Name kRawAudioByExtension[] = {
    {"aac", "adts"}, {"adts", "adts"}, {"mp3", "mp3"}, {"mp2", "mp2"},
    {"mpa", "mp2"},  {"m2a", "mp2"},   {"ac3", "ac3"}, {"eac3", "eac3"},
};

// Bare AAC without ADTS headers is unreadable, so AAC is written as ADTS.
constexpr Name kRawAudioByCodec[] = {
    {"aac", "adts"}, {"mp3", "mp3"},   {"ac3", "ac3"},   {"eac3", "eac3"},  {"flac", "flac"}, {"mp2", "mp2"},
    {"mp1", "mp2"},  {"wmav1", "asf"}, {"wmav2", "asf"}, {"vorbis", "ogg"}, {"opus", "ogg"},  {"libopus", "ogg"},
};

std::optional<std::string> rawAudioForCodec(std::string_view codec)
{
    if (codec.starts_with("pcm_"))
        return "wav";
    return lookUp(kRawAudioByCodec, codec);
}

Muxer mpegMuxer(std::string_view name)
{
    for (const DiscMuxer& row : kMpegMuxers) {
        if (row.name != name)
            continue;
        if (*row.packetSize == '\0')
            return {row.format, {}};
        return {row.format, {"-packetsize", row.packetSize, "-muxrate", row.muxRate}};
    }
    return {"vob", {}};
}

std::optional<std::string> rawForExtension(bool video, std::string_view ext)
{
    return lookUp(video ? std::span<const Name>(kRawVideoByExtension) : std::span<const Name>(kRawAudioByExtension),
                  ext);
}

std::optional<std::string> rawForCodec(bool video, std::string_view codec)
{
    return video ? lookUp(kRawVideoByCodec, codec) : rawAudioForCodec(codec);
}

MuxerChoice failed(std::string reason) { return {{}, std::move(reason)}; }

// A bare stream: the codec's own format, unless the name asks for a container.
MuxerChoice bareStreamMuxer(const Command& c, const SourceFacts* facts, const std::string& ext)
{
    bool rawVideo = c.container == ContainerKind::RawVideo;
    bool copy = rawVideo ? c.video == VideoMode::Copy : c.audio == AudioMode::Copy;
    std::optional<std::string> format;
    std::string codec;
    if (!copy) {
        codec = rawVideo ? encodedVideoCodec(c) : encodedAudioCodec(c);
        format = rawForCodec(rawVideo, codec);
    } else {
        format = rawForExtension(rawVideo, ext);
        if (!format && facts != nullptr) {
            const SourceStream* s = facts->firstOfType(rawVideo ? "video" : "audio");
            if (s == nullptr)
                return failed(rawVideo ? "Video stream is mandatory!" : "The source has no audio stream");
            codec = s->codec;
            format = rawForCodec(rawVideo, codec);
        }
    }
    if (!format)
        return failed("Cannot write a bare stream of codec '" + codec + "'");
    Muxer muxer{*format, {}};
    if (*format == "m4v" && copy)
        muxer.unpackBframes = true; // Xvid packed B-frames
    if (*format == "mp3")
        muxer.args = {"-id3v2_version", "0"};
    if (*format == "adts" && c.audio == AudioMode::Faac && c.faac.number("mpeg", 4) == 2)
        muxer.args = {"-write_mpeg2", "1"};
    return {muxer, ""};
}

} // namespace

std::optional<std::string> containerForExtension(std::string_view ext) { return lookUp(kContainerByExtension, ext); }

bool bareCopyResolvedByName(const Command& c)
{
    std::string ext = extensionOf(c.output);
    if (containerForExtension(ext))
        return true;
    return rawForExtension(c.container == ContainerKind::RawVideo, ext).has_value();
}

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

bool isDiscMuxer(std::string_view format) { return format == "dvd" || format == "svcd" || format == "vcd"; }

bool isMp4Muxer(std::string_view format) { return format == "mp4" || format == "mov" || format == "ipod"; }

MuxerChoice chooseMuxer(const Command& c, const SourceFacts* facts)
{
    std::string ext = extensionOf(c.output);
    switch (c.container) {
    case ContainerKind::Avi: return {{"avi", {}}, ""};
    case ContainerKind::Lavf: {
        std::optional<std::string> muxer
            = lookUp(kLavfMuxers, c.lavfFormat.empty() ? containerForExtension(ext).value_or("") : c.lavfFormat);
        if (!muxer)
            return failed("Cannot tell the libavformat output format; give -lavfopts format=");
        return {{*muxer, {}}, ""};
    }
    case ContainerKind::Mpeg: return {mpegMuxer(c.mpegFormat), ""};
    case ContainerKind::RawVideo:
    case ContainerKind::RawAudio: break;
    }
    if (auto container = containerForExtension(ext))
        return {*container == "mpeg" ? mpegMuxer(c.mpegFormat) : Muxer{*container, {}}, ""};
    return bareStreamMuxer(c, facts, ext);
}

} // namespace qf::encoder
