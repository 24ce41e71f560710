// PMP muxer: `pmp-muxer -v VIDEO.avi [-a AUDIO.aac] -o OUT.pmp [-s SCALE -r RATE]`
// writes OUT.pmp and a plain-text log OUT.pmp.log beside it. Without -a the
// file gets a silent track as long as the video: PMP readers need audio.

#include "common/file_bytes.h"
#include "common/temporary_output.h"
#include "common/tool_error.h"
#include "common/tool_main.h"
#include "pmp_muxer.h"

#include <charconv>
#include <cstring>

namespace {

constexpr const char* kUsage = "pmp-muxer -v VIDEO.avi [-a AUDIO.aac] -o OUT.pmp [-s SCALE -r RATE]";

uint32_t positiveNumber(const char* text)
{
    uint32_t value = 0;
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || value == 0)
        throw qf::kit::UsageError{kUsage};
    return value;
}

qf::kit::PmpMuxOptions parseArguments(int argc, char** argv)
{
    qf::kit::PmpMuxOptions options;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            throw qf::kit::UsageError{kUsage};
        std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "-v")
            options.videoPath = value;
        else if (option == "-a")
            options.audioPath = value;
        else if (option == "-o")
            options.outputPath = value;
        else if (option == "-s")
            options.videoScale = positiveNumber(value);
        else if (option == "-r")
            options.videoRate = positiveNumber(value);
        else
            throw qf::kit::UsageError{kUsage};
    }
    if (options.videoPath.empty() || options.outputPath.empty())
        throw qf::kit::UsageError{kUsage};
    if ((options.videoScale == 0) != (options.videoRate == 0))
        throw qf::kit::UsageError{kUsage};
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    return qf::kit::runToolMain("pmp-muxer", [&] {
        qf::kit::PmpMuxOptions options = parseArguments(argc, argv);
        qf::kit::PmpMuxSummary summary = qf::kit::muxPmp(options);
        qf::kit::TemporaryOutput log(options.outputPath + ".log");
        std::string text = qf::kit::pmpLogText(options, summary);
        qf::kit::writeAll(log.file(), text.data(), text.size(), log.finalPath());
        log.commit();
    });
}
