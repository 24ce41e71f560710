#include "bare_copy.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "common/avi_reader.h"
#include "common/file_bytes.h"
#include "common/tool_error.h"

namespace qf::encoder {

namespace {

// Above this the chunk walk (which holds a 'movi' list in memory) costs more
// than the process start it saves.
constexpr std::uint64_t kLargestCopiedBytes = 256ull << 20;

bool isMpeg4Part2(const qf::kit::AviStream& s) {
  static constexpr std::string_view kTags[] = {"FMP4", "fmp4", "XVID", "xvid", "DIVX",
                                               "divx", "DX50", "dx50", "MP4V", "mp4v"};
  for (std::string_view tag : kTags) {
    if (s.compression == tag || s.handler == tag) return true;
  }
  return false;
}

bool isVideoData(std::uint32_t id) {
  char c = static_cast<char>((id >> 16) & 0xff), d = static_cast<char>((id >> 24) & 0xff);
  return c == 'd' && (d == 'c' || d == 'b');
}

}  // namespace

bool isPlainVideoCopy(const Command& c) {
  return c.container == ContainerKind::RawVideo && c.video == VideoMode::Copy && !c.startSeconds &&
         !c.lengthSeconds && !c.sizeLimitBytes && c.videoFilters.empty() && c.outputFps.empty();
}

int countVops(std::string_view chunk) {
  int n = 0;
  for (std::size_t at = chunk.find(std::string_view("\0\0\1\xb6", 4)); at != std::string_view::npos;
       at = chunk.find(std::string_view("\0\0\1\xb6", 4), at + 4)) {
    ++n;
  }
  return n;
}

std::optional<BareCopyResult> copyMpeg4FromAvi(const std::string& source, const std::string& destination) {
  std::vector<std::string> frames;
  double rate = 0;
  try {
    qf::kit::InputFile in(source);
    if (in.size() < 12 || in.read(0, 4) != "RIFF" || in.read(8, 4) != "AVI ") return std::nullopt;
    qf::kit::AviHeader header = qf::kit::readAviHeader(in);
    int video = header.firstVideoStream();
    if (video < 0 || !isMpeg4Part2(header.streams[static_cast<std::size_t>(video)])) return std::nullopt;
    std::uint64_t total = 0;
    for (const auto& range : header.movi) total += range.size;
    if (total > kLargestCopiedBytes) return std::nullopt;
    rate = qf::kit::videoFrameRate(header, source);
    for (const qf::kit::AviChunk& chunk : qf::kit::streamChunks(in, header, video)) {
      if (!isVideoData(chunk.id) || chunk.size == 0) continue;
      std::string data = in.read(chunk.offset, chunk.size);
      // Two VOPs in one chunk are packed B-frames, and a DivX tag may mark
      // them packed: ffmpeg unpacks both.
      if (countVops(data) > 1 || data.find("DivX") != std::string::npos) return std::nullopt;
      frames.push_back(std::move(data));
    }
  } catch (const qf::kit::ToolError&) {
    return std::nullopt;  // ffmpeg reads what our reader does not, or says why it cannot
  }
  if (frames.empty()) return std::nullopt;

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(destination.c_str(), "wbe"), &std::fclose);
  if (!out) throw std::runtime_error("Cannot open output file '" + destination + "'");
  BareCopyResult result;
  for (const std::string& f : frames) {
    qf::kit::writeAll(out.get(), f.data(), f.size(), destination);
    ++result.frames;
    result.bytes += static_cast<long long>(f.size());
  }
  if (std::fflush(out.get()) != 0 || std::fclose(out.release()) != 0) {
    throw std::runtime_error("Cannot write output file '" + destination + "'");
  }
  result.seconds = rate > 0 ? static_cast<double>(result.frames) / rate : 0;
  return result;
}

}  // namespace qf::encoder
