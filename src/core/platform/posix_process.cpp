#include "core/platform/process.h"

#include <cstring>
#include <unistd.h>
#include <vector>

#include "core/platform/command_line.h"

namespace qf::platform {

namespace {

// Clearer words than the exec's errno for the two usual mistakes.
bool checkProgram(const std::string& path, std::string& error)
{
    if (::access(path.c_str(), F_OK) != 0) {
        error = "no such program: " + path;
        return false;
    }
    if (::access(path.c_str(), X_OK) != 0) {
        error = "not executable: " + path;
        return false;
    }
    return true;
}

} // namespace

bool ChildProcess::start(std::string_view commandLine, const Options& options)
{
    error_.clear();
    if (started()) {
        error_ = "already started";
        return false;
    }
    const std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) {
        error_ = "empty command line";
        return false;
    }
    if (!checkProgram(args[0], error_))
        return false;
    SubprocessOptions spawn;
    spawn.ownProcessGroup = true;
    spawn.endWithParent = true;
    spawn.stdinPipe = options.stdinPipe;
    spawn.errors = options.mergeStderr ? SubprocessOptions::Errors::Merge : SubprocessOptions::Errors::Inherit;
    spawn.workingDirectory = options.workingDirectory;
    if (const int rc = child_.start(args, spawn); rc != 0) {
        error_ = "cannot start " + args[0] + ": " + std::strerror(rc);
        return false;
    }
    return true;
}

} // namespace qf::platform
