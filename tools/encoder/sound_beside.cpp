#include "sound_beside.h"

#include <cstdio>
#include <initializer_list>

namespace qf::encoder {
namespace {

std::vector<std::string> concat(std::initializer_list<const std::vector<std::string>*> parts)
{
    std::vector<std::string> all;
    for (const std::vector<std::string>* part : parts)
        all.insert(all.end(), part->begin(), part->end());
    return all;
}

} // namespace

std::vector<std::string> singleRun(const RunParts& p)
{
    std::vector<std::string> audio = audioArgumentList(p.audio);
    return concat({&p.head, &p.input, &p.map.videoMap, &p.map.audioMap, &p.video, &audio, &p.output});
}

// Sound encoded by a second ffmpeg pays where the picture is encoded too and
// ends where the sound does. The AAC priming is known (1024 samples at the
// rate asked for), so the handed-over sound gets the timestamps a single run
// gives it, which these containers keep. A run cut short (-endpos, a size
// limit) would leave the feeder writing to nobody; two passes and copies
// gain nothing.
bool soundBesideWorthwhile(const Command& c, const SourceFacts* facts, const StreamChoice& streams,
                           const StreamMap& map, const std::string& muxerFormat, const AudioArguments& audio)
{
    bool timed = muxerFormat == "mp4" || muxerFormat == "mov" || muxerFormat == "3gp" || muxerFormat == "avi";
    bool noSound = streams.audioOptional && facts != nullptr && map.audioSource == nullptr;
    return streams.video && streams.audio && !noSound && streams.pass == 0 && c.video != VideoMode::Copy
        && c.audio == AudioMode::Faac && timed && audio.rate && *audio.rate > 0 && !c.lengthSeconds
        && !c.sizeLimitBytes;
}

// ffmpeg 5.1 encodes sound on the thread that feeds the video encoder,
// which then waits; a second ffmpeg encodes it on the other core and hands
// it over in NUT, which keeps the decoder's configuration and the
// timestamps. Each ffmpeg counts an input's time from that input's own
// start, so the sound is made to start at zero: a late start is padded with
// silence. Its resampler then keeps the sound continuous, filling gaps over
// 0.1 s with silence too (one run keeps them as jumps in the timestamps;
// players hear the same). NUT moves the encoder's 1024 samples of priming to
// zero; -itsoffset puts them back before it, where an MP4's edit list hides
// them.
SplitRun splitRun(const RunParts& p)
{
    SplitRun split;
    const std::vector<std::string> feederHead = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"};
    const std::vector<std::string> feederAudio = audioArgumentList(p.audio, "aresample=async=1:first_pts=0");
    const std::vector<std::string> feederOutput = {"-f", "nut", "pipe:1"};
    split.feederArgs = concat({&feederHead, &p.input, &p.map.audioMap, &feederAudio, &feederOutput});

    char priming[32];
    std::snprintf(priming, sizeof priming, "-%.6f", 1024.0 / *p.audio.rate);
    const std::vector<std::string> fedInput = {"-itsoffset", priming, "-f", "nut", "-i", "pipe:0"};
    const std::vector<std::string> fedAudioMap = {"-map", "1:a:0"};
    // The rate the encoder was asked for, which an AVI's header states.
    std::vector<std::string> copy = {"-c:a", "copy"};
    if (!p.audio.bitrate.empty())
        copy.insert(copy.end(), {"-b:a", p.audio.bitrate});
    split.fedArgs = concat({&p.head, &p.input, &fedInput, &p.map.videoMap, &fedAudioMap, &p.video, &copy, &p.output});
    return split;
}

} // namespace qf::encoder
