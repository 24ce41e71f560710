#include "bare_copy.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "common/avi_reader.h"
#include "common/byte_order.h"
#include "common/file_bytes.h"
#include "common/tool_error.h"

namespace qf::encoder {

namespace {

// The chunk walk holds a 'movi' list and then the frames in memory; above
// this a long film is better streamed by ffmpeg than held twice here.
constexpr std::uint64_t kLargestCopiedBytes = 64ull << 20;

bool isMpeg4Part2(const qf::kit::AviStream& s)
{
    static constexpr std::string_view kTags[]
        = {"FMP4", "fmp4", "XVID", "xvid", "DIVX", "divx", "DX50", "dx50", "MP4V", "mp4v"};
    for (std::string_view tag : kTags) {
        if (s.compression == tag || s.handler == tag)
            return true;
    }
    return false;
}

bool isVideoData(std::uint32_t id)
{
    char c = static_cast<char>((id >> 16) & 0xff), d = static_cast<char>((id >> 24) & 0xff);
    return c == 'd' && (d == 'c' || d == 'b');
}

constexpr std::uint16_t kAacFormatTag = 0x00ff;

// One frame per chunk, or nothing: any failure to read leaves the job to ffmpeg.
using Frames = std::vector<std::string>;

void writeFrames(const Frames& frames, const std::string& destination, BareCopyResult& result)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(destination.c_str(), "wbe"), &std::fclose);
    if (!out)
        throw std::runtime_error("Cannot open output file '" + destination + "'");
    for (const std::string& f : frames) {
        qf::kit::writeAll(out.get(), f.data(), f.size(), destination);
        result.bytes += static_cast<long long>(f.size());
    }
    if (std::fflush(out.get()) != 0 || std::fclose(out.release()) != 0) {
        throw std::runtime_error("Cannot write output file '" + destination + "'");
    }
}

bool tooLarge(const qf::kit::AviHeader& header)
{
    std::uint64_t total = 0;
    for (const auto& range : header.movi)
        total += range.size;
    return total > kLargestCopiedBytes;
}

} // namespace

bool isPlainAudioCopy(const Command& c)
{
    return c.container == ContainerKind::RawAudio && c.audio == AudioMode::Copy && !c.startSeconds && !c.lengthSeconds
        && !c.sizeLimitBytes && c.audioFilters.empty() && !c.sampleRate && !c.channels && !c.audioId;
}

std::optional<AacConfig> readAacConfig(std::string_view asc)
{
    if (asc.size() < 2)
        return std::nullopt;
    unsigned bits = qf::kit::readBe16(qf::kit::bytesOf(asc));
    AacConfig c;
    c.objectType = static_cast<int>(bits >> 11);
    c.frequencyIndex = static_cast<int>((bits >> 7) & 0xf);
    c.channelConfig = static_cast<int>((bits >> 3) & 0xf);
    if (c.objectType < 1 || c.objectType > 4 || c.frequencyIndex > 12 || c.channelConfig < 1 || c.channelConfig > 7) {
        return std::nullopt;
    }
    return c;
}

std::string adtsHeader(const AacConfig& c, std::size_t payloadBytes)
{
    std::size_t length = payloadBytes + 7;
    if (length > 0x1fff)
        return {};
    unsigned profile = static_cast<unsigned>(c.objectType - 1);
    unsigned freq = static_cast<unsigned>(c.frequencyIndex);
    unsigned channels = static_cast<unsigned>(c.channelConfig);
    unsigned len = static_cast<unsigned>(length);
    std::string h(7, '\0');
    h[0] = static_cast<char>(0xff);
    h[1] = static_cast<char>(0xf1); // MPEG-4, layer 0, no CRC
    h[2] = static_cast<char>(profile << 6 | freq << 2 | channels >> 2);
    h[3] = static_cast<char>((channels & 3) << 6 | len >> 11);
    h[4] = static_cast<char>((len >> 3) & 0xff);
    h[5] = static_cast<char>((len & 7) << 5 | 0x1f); // buffer fullness 0x7ff: variable rate
    h[6] = static_cast<char>(0xfc); // ... and one raw data block
    return h;
}

std::optional<BareCopyResult> copyAacFromAvi(const std::string& source, const std::string& destination)
{
    Frames frames;
    double frameSeconds = 0;
    try {
        qf::kit::InputFile in(source);
        if (in.size() < 12 || in.read(0, 4) != "RIFF" || in.read(8, 4) != "AVI ")
            return std::nullopt;
        qf::kit::AviHeader header = qf::kit::readAviHeader(in);
        int audio = -1;
        for (std::size_t i = 0; i < header.streams.size() && audio < 0; ++i) {
            if (header.streams[i].type == "auds")
                audio = static_cast<int>(i);
        }
        if (audio < 0 || tooLarge(header))
            return std::nullopt;
        const qf::kit::AviStream& s = header.streams[static_cast<std::size_t>(audio)];
        std::optional<AacConfig> config = readAacConfig(s.extradata);
        // A chunk is one frame of 1024 samples when the stream's unit is.
        if (s.formatTag != kAacFormatTag || !config || s.samplesPerSec == 0 || s.rate == 0
            || static_cast<std::uint64_t>(s.scale) * s.samplesPerSec != 1024ull * s.rate) {
            return std::nullopt;
        }
        frameSeconds = 1024.0 / s.samplesPerSec;
        for (const qf::kit::AviChunk& chunk : qf::kit::streamChunks(in, header, audio)) {
            if (chunk.size == 0)
                continue;
            std::string data = in.read(chunk.offset, chunk.size);
            // A frame that already has a header is not what the config describes.
            if (data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xff
                && (static_cast<unsigned char>(data[1]) & 0xf0) == 0xf0) {
                return std::nullopt;
            }
            std::string head = adtsHeader(*config, data.size());
            if (head.empty())
                return std::nullopt;
            frames.push_back(head + data);
        }
    } catch (const qf::kit::ToolError&) {
        return std::nullopt;
    }
    if (frames.empty())
        return std::nullopt;
    BareCopyResult result;
    writeFrames(frames, destination, result);
    result.seconds = static_cast<double>(frames.size()) * frameSeconds;
    return result;
}

bool isPlainVideoCopy(const Command& c)
{
    return c.container == ContainerKind::RawVideo && c.video == VideoMode::Copy && !c.startSeconds && !c.lengthSeconds
        && !c.sizeLimitBytes && c.videoFilters.empty() && c.outputFps.empty();
}

int countVops(std::string_view chunk)
{
    int n = 0;
    for (std::size_t at = chunk.find(std::string_view("\0\0\1\xb6", 4)); at != std::string_view::npos;
         at = chunk.find(std::string_view("\0\0\1\xb6", 4), at + 4)) {
        ++n;
    }
    return n;
}

std::optional<BareCopyResult> copyMpeg4FromAvi(const std::string& source, const std::string& destination)
{
    Frames frames;
    double rate = 0;
    try {
        qf::kit::InputFile in(source);
        if (in.size() < 12 || in.read(0, 4) != "RIFF" || in.read(8, 4) != "AVI ")
            return std::nullopt;
        qf::kit::AviHeader header = qf::kit::readAviHeader(in);
        int video = header.firstVideoStream();
        if (video < 0 || !isMpeg4Part2(header.streams[static_cast<std::size_t>(video)]))
            return std::nullopt;
        if (tooLarge(header))
            return std::nullopt;
        rate = qf::kit::videoFrameRate(header, source);
        for (const qf::kit::AviChunk& chunk : qf::kit::streamChunks(in, header, video)) {
            if (!isVideoData(chunk.id) || chunk.size == 0)
                continue;
            std::string data = in.read(chunk.offset, chunk.size);
            // Two VOPs in one chunk are packed B-frames, and a DivX tag may mark
            // them packed: ffmpeg unpacks both.
            if (countVops(data) > 1 || data.find("DivX") != std::string::npos)
                return std::nullopt;
            frames.push_back(std::move(data));
        }
    } catch (const qf::kit::ToolError&) {
        return std::nullopt; // ffmpeg reads what our reader does not, or says why it cannot
    }
    if (frames.empty())
        return std::nullopt;
    BareCopyResult result;
    writeFrames(frames, destination, result);
    result.frames = static_cast<long long>(frames.size());
    result.seconds = rate > 0 ? static_cast<double>(result.frames) / rate : 0;
    return result;
}

} // namespace qf::encoder
