#include "common/run_program.h"

#include "common/tool_error.h"
#include "core/platform/subprocess.h"

#include <cerrno>
#include <cstring>

namespace qf::kit {

std::string ProgramResult::lastErrorLine() const
{
    size_t end = errors.size();
    while (end > 0) {
        while (end > 0 && (errors[end - 1] == '\n' || errors[end - 1] == '\r' || errors[end - 1] == ' '))
            --end;
        size_t start = errors.find_last_of("\r\n", end == 0 ? 0 : end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        if (end > start)
            return errors.substr(start, end - start);
        end = start;
    }
    return {};
}

ProgramResult runProgram(const std::vector<std::string>& argv)
{
    if (argv.empty())
        throw ToolError("internal error: empty program argument vector");
    platform::Subprocess child;
    if (const int rc = child.start(argv, platform::SubprocessOptions::toolChild()); rc != 0) {
        if (rc == ENOENT)
            throw ToolError(argv[0] + " not found (is it installed and on PATH?)");
        throw ToolError("cannot run " + argv[0] + ": " + std::strerror(rc));
    }

    // Both pipes are read to their end, so that neither can fill up and stall the child.
    ProgramResult result;
    platform::drainOutput(
        child, [&](std::string_view bytes) { result.output.append(bytes); },
        [&](std::string_view bytes) { result.errors.append(bytes); });
    child.waitExit(-1);
    result.exitCode = child.exitCode();
    return result;
}

} // namespace qf::kit
