#include "pmp_muxer.h"

#include "common/adts_reader.h"
#include "common/avi_reader.h"
#include "common/byte_order.h"
#include "common/file_bytes.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"
#include "pmp_layout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <numeric>

namespace qf::kit {

namespace {

constexpr uint32_t kSilentSampleRate = 44100;

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Reduces scale/rate and keeps scale within the 24 bits readers allow.
void normaliseRate(uint32_t& scale, uint32_t& rate)
{
    uint32_t g = std::gcd(scale, rate);
    scale /= g;
    rate /= g;
    while (scale > 0xFFFFFF) {
        scale = (scale + 1) / 2;
        rate = (rate + 1) / 2;
    }
}

std::vector<bool> keyframeFlags(InputFile& avi, const AviHeader& header, int stream, int format,
                                const std::vector<AviChunk>& chunks)
{
    std::vector<bool> keys = indexKeyframes(avi, header, stream);
    if (keys.size() == chunks.size())
        return keys;
    // No usable index (none, or only for the first RIFF): ask the bitstream.
    keys.assign(chunks.size(), false);
    for (size_t i = 0; i < chunks.size(); ++i)
        keys[i] = isKeyframe(format, avi.read(chunks[i].offset, chunks[i].size));
    return keys;
}

} // namespace

int pmpVideoFormat(const std::string& fourccText)
{
    static const char* const kMpeg4[]
        = {"XVID", "DIVX", "DX50", "FMP4", "MP4V", "3IV2", "M4S2", "MP4S", "RMP4", "BLZ0"};
    static const char* const kH264[] = {"H264", "X264", "AVC1", "VSSH", "DAVC"};
    std::string code = upper(fourccText);
    for (const char* c : kMpeg4)
        if (code == c)
            return 0;
    for (const char* c : kH264)
        if (code == c)
            return 1;
    return -1;
}

bool isKeyframe(int videoFormat, const std::string& frame)
{
    const auto* p = reinterpret_cast<const uint8_t*>(frame.data());
    for (size_t i = 0; i + 4 < frame.size(); ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1)
            continue;
        uint8_t code = p[i + 3];
        if (videoFormat == 0 && code == 0xB6)
            return (p[i + 4] >> 6) == 0;
        if (videoFormat == 1) {
            int type = code & 0x1f;
            if (type == 5)
                return true;
            if (type == 1)
                return false;
        }
    }
    return false;
}

PmpMuxSummary muxPmp(const PmpMuxOptions& options)
{
    InputFile avi(options.videoPath);
    AviHeader header = readAviHeader(avi);
    int stream = header.firstVideoStream();
    if (stream < 0)
        throw ToolError(options.videoPath + " has no video stream");
    const AviStream& vs = header.streams[static_cast<size_t>(stream)];
    int format = pmpVideoFormat(vs.compression);
    if (format < 0)
        format = pmpVideoFormat(vs.handler);
    if (format < 0)
        throw ToolError(options.videoPath + ": video codec '" + (vs.compression.empty() ? vs.handler : vs.compression)
                        + "' is neither MPEG-4 part 2 nor H.264");

    PmpMuxSummary s;
    s.videoCodec = format == 0 ? "MPEG-4" : "H.264";
    s.width = vs.width ? vs.width : header.width;
    s.height = vs.height ? vs.height : header.height;
    if (s.width == 0 || s.height == 0)
        throw ToolError(options.videoPath + " states no picture size");
    s.videoScale = options.videoScale ? options.videoScale : vs.scale;
    s.videoRate = options.videoRate ? options.videoRate : vs.rate;
    if (s.videoScale == 0 || s.videoRate == 0) {
        if (header.microSecPerFrame == 0)
            throw ToolError(options.videoPath + " states no video frame rate");
        s.videoScale = header.microSecPerFrame;
        s.videoRate = 1000000;
    }
    normaliseRate(s.videoScale, s.videoRate);

    std::vector<AviChunk> chunks = streamChunks(avi, header, stream);
    if (chunks.empty())
        throw ToolError(options.videoPath + " holds no video frames");
    std::vector<bool> keys = keyframeFlags(avi, header, stream, format, chunks);
    s.videoFrames = static_cast<uint32_t>(chunks.size());
    s.keyFrames = static_cast<uint32_t>(std::count(keys.begin(), keys.end(), true));
    s.emptyFrames = static_cast<uint32_t>(
        std::count_if(chunks.begin(), chunks.end(), [](const AviChunk& c) { return c.size == 0; }));

    std::string audioBytes;
    AacStream aac;
    if (options.audioPath.empty()) {
        // A video-only source: silence for the whole video, as readers need an audio stream.
        s.sampleRate = kSilentSampleRate;
        s.channels = 2;
        const uint64_t samples
            = (uint64_t{s.videoFrames} * s.videoScale * s.sampleRate + s.videoRate - 1) / s.videoRate;
        s.audioFrames = static_cast<uint32_t>(std::max<uint64_t>(1, (samples + 1023) / 1024));
    } else {
        audioBytes = readWholeFile(options.audioPath);
        aac = parseAdts(audioBytes, options.audioPath);
        if (aac.channels > 2)
            throw ToolError(options.audioPath + ": only mono or stereo audio fits a PMP file");
        s.sampleRate = aac.sampleRate;
        s.channels = aac.channels;
        s.audioFrames = static_cast<uint32_t>(aac.frames.size());
    }

    PacketSchedule schedule
        = schedulePackets(s.videoFrames, s.videoScale, s.videoRate, s.audioFrames, 1024, s.sampleRate);
    s.fillerFrames = schedule.fillerFrames;
    s.droppedFrames = schedule.droppedFrames;
    const std::string silence = silentAacFrame(s.channels);
    auto audioFrame = [&](uint32_t k) -> std::string_view {
        if (k >= aac.frames.size())
            return silence;
        return std::string_view(audioBytes).substr(aac.frames[k].offset, aac.frames[k].size);
    };

    // Every packet's size goes into the index ahead of the packets.
    std::vector<std::string> packetHeads;
    packetHeads.reserve(chunks.size());
    std::string index;
    uint64_t total = kPmpHeaderSize + 4ull * chunks.size();
    for (size_t i = 0; i < chunks.size(); ++i) {
        const PacketPlan& plan = schedule.packets[i];
        s.maxAudioPerPacket = std::max(s.maxAudioPerPacket, plan.audioCount);
        std::vector<uint32_t> lengths;
        for (uint32_t k = plan.firstAudio; k < plan.firstAudio + plan.audioCount; ++k)
            lengths.push_back(static_cast<uint32_t>(audioFrame(k).size()));
        packetHeads.push_back(encodePacketHeader(plan, chunks[i].size, lengths));
        uint64_t size = packetHeads.back().size() + chunks[i].size;
        for (uint32_t l : lengths)
            size += l;
        if (size >= (1ull << 31))
            throw ToolError(options.videoPath + ": a video frame is too large for a PMP file");
        appendLe32(index, static_cast<uint32_t>(size << 1) | (keys[i] ? 1u : 0u));
        total += size;
    }

    PmpHeader ph;
    ph.videoFormat = static_cast<uint32_t>(format);
    ph.frames = s.videoFrames;
    ph.width = s.width;
    ph.height = s.height;
    ph.videoScale = s.videoScale;
    ph.videoRate = s.videoRate;
    ph.audioFormat = 1;
    ph.audioStreams = 1;
    ph.maxAudioPerPacket = s.maxAudioPerPacket;
    ph.audioScale = 1024;
    ph.audioRate = s.sampleRate;
    ph.channels = s.channels;

    TemporaryOutput out(options.outputPath);
    std::FILE* f = out.file();
    const std::string& name = options.outputPath;
    std::string head = encodePmpHeader(ph);
    writeAll(f, head.data(), head.size(), name);
    writeAll(f, index.data(), index.size(), name);
    for (size_t i = 0; i < chunks.size(); ++i) {
        const PacketPlan& plan = schedule.packets[i];
        writeAll(f, packetHeads[i].data(), packetHeads[i].size(), name);
        avi.copyTo(f, chunks[i].offset, chunks[i].size, name);
        for (uint32_t k = plan.firstAudio; k < plan.firstAudio + plan.audioCount; ++k) {
            std::string_view frame = audioFrame(k);
            writeAll(f, frame.data(), frame.size(), name);
        }
    }
    out.commit();
    s.fileSize = total;
    return s;
}

std::string pmpLogText(const PmpMuxOptions& o, const PmpMuxSummary& s)
{
    using std::to_string;
    return "PMP muxer log\n"
           "video: "
        + o.videoPath
        + "\n"
          "  "
        + s.videoCodec + " " + to_string(s.width) + "x" + to_string(s.height) + ", " + to_string(s.videoRate) + "/"
        + to_string(s.videoScale) + " frames per second, " + to_string(s.videoFrames) + " frames ("
        + to_string(s.emptyFrames) + " empty), " + to_string(s.keyFrames)
        + " keyframes\n"
          "audio: "
        + (o.audioPath.empty() ? std::string("(silence)") : o.audioPath)
        + "\n"
          "  AAC "
        + to_string(s.sampleRate) + " Hz, " + to_string(s.channels) + " channel(s), " + to_string(s.audioFrames)
        + " frames\n"
          "packets: "
        + to_string(s.videoFrames) + ", at most " + to_string(s.maxAudioPerPacket) + " audio frames each, "
        + to_string(s.fillerFrames) + " silent filler frames, " + to_string(s.droppedFrames)
        + " audio frames dropped after the video\n"
          "output: "
        + o.outputPath + ", " + to_string(s.fileSize) + " bytes\n";
}

} // namespace qf::kit
