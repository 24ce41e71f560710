// Arbitrary bytes as a ByteBuffer of blocks, read the way the configuration
// loader reads them (fixed-size values, texts, nested buffers), and as a
// command line for the splitter, whose quoting must round-trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/byte_buffer.h"
#include "core/platform/command_line.h"
#include "core/text_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace qf::core;
    ByteBuffer buffer;
    buffer.appendBytes(data, static_cast<uint32_t>(size));
    buffer.rewind();
    for (int i = 0; i < 64; ++i) {
        uint32_t fixed = 0;
        TextString text;
        ByteBuffer nested;
        bool ok;
        switch (i % 3) {
        case 0: ok = buffer.readFixed(&fixed, 4); break;
        case 1: ok = buffer.readBlock(text); break;
        default: ok = buffer.readBlock(nested) && (nested.readBlock(text) || true); break;
        }
        if (!ok)
            break;
    }

    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto args = qf::platform::splitCommandLine(line);
    if (args.size() > 1) {
        std::string rebuilt = "prog";
        for (size_t i = 1; i < args.size(); ++i)
            rebuilt += " " + qf::platform::quoteArgument(args[i]);
        const auto again = qf::platform::splitCommandLine(rebuilt);
        if (again.size() != args.size())
            std::abort();
        for (size_t i = 1; i < args.size(); ++i)
            if (again[i] != args[i] && args[i].find('\0') == std::string::npos)
                std::abort();
    }
    return 0;
}
