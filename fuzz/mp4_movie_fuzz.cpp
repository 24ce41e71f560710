// Arbitrary bytes as the MP4 file the muxer adds a track to: declined with
// a reason, or read into one track whose samples lie inside the file; such a
// track written out again reads back as the same samples. Never a fault.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/tool_error.h"
#include "common/window_reader.h"
#include "fuzz_files.h"
#include "mp4-muxer/mp4_movie.h"

using namespace qf::kit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static qf::fuzz::MemoryFile input("mp4");
    static qf::fuzz::MemoryFile output("mp4-out");
    input.assign(data, size);
    try {
        WindowReader file(input.path());
        ExistingMovie movie = readMovie(file);
        if (!movie.doubt.empty()) {
            if (!movie.tracks.empty())
                std::abort();
            return 0;
        }
        if (movie.tracks.size() != 1 || movie.tracks[0].timescale == 0)
            std::abort();
        for (const Mp4Sample& s : movie.tracks[0].samples)
            if (s.size == 0 || s.offset > size || s.size > size - s.offset)
                std::abort();

        output.assign(nullptr, 0);
        std::FILE* out = std::fopen(output.path().c_str(), "wb");
        if (!out)
            std::abort();
        try {
            writeMovie(out, "out", movie.tracks, {&file}, false);
        } catch (const ToolError&) {
            std::abort();
        }
        std::fclose(out);
        WindowReader written(output.path());
        ExistingMovie again = readMovie(written);
        if (!again.doubt.empty() || again.tracks.size() != 1)
            std::abort();
        const auto& a = movie.tracks[0].samples;
        const auto& b = again.tracks[0].samples;
        if (a.size() != b.size())
            std::abort();
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i].size != b[i].size || a[i].duration != b[i].duration || a[i].sync != b[i].sync)
                std::abort();
            if (file.viewUpTo(a[i].offset, a[i].size) != std::string(written.viewUpTo(b[i].offset, b[i].size)))
                std::abort();
        }
    } catch (const ToolError&) {}
    return 0;
}
