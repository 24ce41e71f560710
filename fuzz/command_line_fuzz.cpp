// The command-line splitter: arbitrary bytes split without fault, and any
// argument vector (the bytes cut at NUL) survives quoteArgument and
// splitCommandLine unchanged, blanks, quotes and backslashes included.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/command_line.h"

using namespace qf::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> split = splitCommandLine(bytes);
    for (const std::string& arg : split)
        if (arg.size() > size)
            std::abort();

    std::vector<std::string> args;
    for (size_t start = 0;;) {
        size_t nul = bytes.find('\0', start);
        args.emplace_back(bytes.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
        if (nul == std::string_view::npos)
            break;
        start = nul + 1;
    }
    std::string line = "\"C:/P/PROGRAM.EXE\"";
    for (const std::string& arg : args)
        line += " " + quoteArgument(arg);
    const std::vector<std::string> again = splitCommandLine(line);
    if (again.size() != args.size() + 1 || again[0] != "C:/P/PROGRAM.EXE")
        std::abort();
    for (size_t i = 0; i < args.size(); ++i)
        if (again[i + 1] != args[i])
            std::abort();
    return 0;
}
