// Arbitrary bytes as the AVI of a bare-stream copy. Each copy must decline
// (leaving the work to ffmpeg) or write what it reports; the sound it writes
// must be an ADTS stream that our own ADTS reader accepts frame for frame.
// The leading bytes also serve as an AudioSpecificConfig whose ADTS header
// must describe it.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bare_copy.h"
#include "common/adts_reader.h"
#include "common/file_bytes.h"
#include "common/tool_error.h"
#include "fuzz_files.h"

using namespace qf::encoder;

namespace {

void checkConfig(std::string_view bytes)
{
    std::optional<AacConfig> config = readAacConfig(bytes.substr(0, 2));
    if (!config)
        return;
    const size_t payload = bytes.size() > 2 ? static_cast<unsigned char>(bytes[2]) * 32u + 1 : 1;
    const std::string frame = adtsHeader(*config, payload) + std::string(payload, '\x55');
    qf::kit::AacStream stream = qf::kit::parseAdts(frame, "header");
    if (stream.frames.size() != 1 || stream.frames[0].size != payload
        || stream.channels != unsigned(config->channelConfig) || stream.profile != unsigned(config->objectType - 1))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qf::fuzz::MemoryFile input("avi");
    static const std::string video = qf::fuzz::scratchFolder() + "/video.m4v";
    static const std::string audio = qf::fuzz::scratchFolder() + "/audio.aac";
    input.assign(data, size);

    if (std::optional<BareCopyResult> r = copyMpeg4FromAvi(input.path(), video)) {
        const std::string written = qf::kit::readWholeFile(video);
        if (r->frames <= 0 || r->bytes != static_cast<long long>(written.size()) || r->seconds < 0)
            std::abort();
    }
    if (std::optional<BareCopyResult> r = copyAacFromAvi(input.path(), audio)) {
        const std::string written = qf::kit::readWholeFile(audio);
        if (r->bytes != static_cast<long long>(written.size()) || !(r->seconds > 0))
            std::abort();
        try {
            (void)qf::kit::parseAdts(written, audio);
        } catch (const qf::kit::ToolError&) {
            std::abort();
        }
    }
    checkConfig(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
