#include "stream_mapping.h"

namespace qf::encoder {
namespace {

int videoPassOf(const Command& c)
{
    switch (c.video) {
    case VideoMode::Lavc: return static_cast<int>(c.lavc.number("vpass", 0));
    case VideoMode::Xvid: return static_cast<int>(c.xvid.number("pass", c.xvid.number("vpass", 0)));
    case VideoMode::X264: return static_cast<int>(c.x264.number("pass", c.x264.number("vpass", 0)));
    default: return 0;
    }
}

// The source's audio stream that -aid names, and its -map specifier.
StreamMap mapAudioId(const SourceFacts& facts, int aid, StreamMap map)
{
    const std::string& format = facts.formatName;
    const SourceStream* chosen = nullptr;
    std::string spec;
    if (format.find("avi") != std::string::npos) {
        for (const SourceStream& s : facts.streams) {
            if (s.index == aid)
                chosen = &s;
        }
        spec = "0:" + std::to_string(aid);
    } else if (format == "mpeg" || format == "mpegts" || format == "mpegvideo") {
        int id = format == "mpeg" && aid < 32 ? 0x1c0 + aid : aid;
        for (const SourceStream& s : facts.streams) {
            if (s.id == id)
                chosen = &s;
        }
        spec = "0:i:" + std::to_string(id);
    } else {
        int n = 0;
        for (const SourceStream& s : facts.streams) {
            if (s.type == "audio" && n++ == aid)
                chosen = &s;
        }
        spec = "0:a:" + std::to_string(aid);
    }
    if (chosen == nullptr || chosen->type != "audio") {
        map.error = "The source has no audio stream with -aid " + std::to_string(aid);
        return map;
    }
    map.audioSource = chosen;
    map.audioMap = {"-map", spec};
    return map;
}

} // namespace

StreamChoice chooseStreams(const Command& c, const SourceFacts* facts)
{
    StreamChoice s;
    bool rawVideo = c.container == ContainerKind::RawVideo;
    bool rawAudio = c.container == ContainerKind::RawAudio;
    s.video = !rawAudio && c.video != VideoMode::Frameno;
    s.audio = !rawVideo && !c.noSound;
    if (s.video && c.video == VideoMode::Unset) {
        s.error = "No video encoder (-ovc) selected. Select one (see -ovc help).";
        return s;
    }
    if (s.audio && c.audio == AudioMode::Unset) {
        s.error = "No audio encoder (-oac) selected. Select one (see -oac help) or use -nosound.";
        return s;
    }
    s.pass = s.video ? videoPassOf(c) : 0;
    // The first pass only gathers video statistics: nothing else is written.
    if (s.pass == 1)
        s.audio = false;
    if (!s.video && !s.audio) {
        s.error = "Nothing to write: no video and no audio selected";
        return s;
    }
    s.audioOptional = s.audio && s.video && !c.audioId;
    if (facts != nullptr) {
        if (s.video && facts->countOfType("video") == 0) {
            s.error = "Video stream is mandatory!";
            return s;
        }
        if (s.audio && facts->countOfType("audio") == 0) {
            if (!s.video) {
                s.error = "The source has no audio stream";
                return s;
            }
            s.audio = false; // MEncoder writes the video alone
        }
    }
    return s;
}

StreamMap mapStreams(const Command& c, const SourceFacts* facts, const StreamChoice& streams)
{
    StreamMap map;
    if (streams.video)
        map.videoMap = {"-map", "0:v:0"};
    if (facts != nullptr)
        map.videoSource = facts->firstOfType("video");
    if (!streams.audio)
        return map;
    if (!c.audioId) {
        map.audioMap = {"-map", streams.audioOptional ? "0:a:0?" : "0:a:0"};
        if (facts != nullptr)
            map.audioSource = facts->firstOfType("audio");
        return map;
    }
    return mapAudioId(*facts, *c.audioId, std::move(map));
}

} // namespace qf::encoder
