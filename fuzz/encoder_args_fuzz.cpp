// The encoder's argument parser: the bytes cut at NUL are its argv. A
// refused command names a reason; an accepted one must translate into an
// ffmpeg run or a stated failure without fault, with and without facts about
// the source. The same bytes are also read as ffprobe's answer.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bare_copy.h"
#include "command_line.h"
#include "source_facts.h"
#include "translation.h"

using namespace qf::encoder;

namespace {

const SourceFacts& sampleFacts()
{
    static const SourceFacts facts
        = parseProbeOutput("format|format_name=avi|duration=12.500000\n"
                           "stream|index=0|codec_name=mpeg4|codec_type=video|width=320|height=240|r_frame_rate=25/1\n"
                           "stream|index=1|codec_name=mp3|codec_type=audio|channels=2\n");
    return facts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    for (size_t start = 0; start < bytes.size() && args.size() < 128;) {
        size_t nul = bytes.find('\0', start);
        if (nul == std::string_view::npos)
            nul = bytes.size();
        args.emplace_back(bytes.substr(start, nul - start));
        start = nul + 1;
    }

    ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok) {
        if (parsed.error.empty())
            std::abort();
    } else {
        const Command& c = parsed.command;
        if (c.source.empty() || c.output.empty())
            std::abort();
        (void)isPlainVideoCopy(c);
        (void)isPlainAudioCopy(c);
        const Translation bare = translate(c, needsSourceFacts(c) ? &sampleFacts() : nullptr);
        const Translation informed = translate(c, &sampleFacts());
        for (const Translation* t : {&bare, &informed})
            if (t->failure == FailureKind::None && t->ffmpegArgs.empty())
                std::abort();
    }

    SourceFacts facts = parseProbeOutput(bytes);
    for (const SourceStream& s : facts.streams)
        (void)s.shownWidth();
    return 0;
}
