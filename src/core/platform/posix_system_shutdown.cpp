#include "core/platform/system_shutdown.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qf::platform {

namespace {

bool isExecutableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

std::vector<std::string> shutdownArguments(const std::string& message) { return {"-P", "+1", message}; }

std::vector<std::string>& shutdownFallbackFolders()
{
    static std::vector<std::string> folders = {"/usr/sbin", "/sbin"};
    return folders;
}

std::string findShutdownCommand(const std::string& pathVariable, const std::vector<std::string>& fallbacks)
{
    std::vector<std::string> folders;
    size_t start = 0;
    while (start <= pathVariable.size()) {
        const size_t colon = pathVariable.find(':', start);
        const size_t end = colon == std::string::npos ? pathVariable.size() : colon;
        if (end > start)
            folders.push_back(pathVariable.substr(start, end - start));
        start = end + 1;
    }
    folders.insert(folders.end(), fallbacks.begin(), fallbacks.end());
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/shutdown";
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

bool scheduleShutdown(const std::string& program, const std::string& message, std::string* error, int timeoutMs)
{
    std::vector<std::string> args = shutdownArguments(message);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The command must not wait for input from whatever terminal started us.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return fail(error, "cannot start " + program + ": " + std::strerror(spawned));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return fail(error, program + " vanished: " + std::strerror(errno));
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return fail(error, program + " did not answer in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFEXITED(status))
        return fail(error, program + " failed with status " + std::to_string(WEXITSTATUS(status)));
    return fail(error, program + " was ended by a signal");
}

bool requestSystemShutdown(std::string* error)
{
    const char* path = std::getenv("PATH");
    const std::string program = findShutdownCommand(path ? path : "", shutdownFallbackFolders());
    if (program.empty())
        return fail(error, "there is no shutdown command");
    return scheduleShutdown(program, kShutdownMessage, error);
}

} // namespace qf::platform
