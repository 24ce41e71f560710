#include "core/platform/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "core/platform/command_line.h"

extern char** environ;

namespace qf::platform {

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// The program must exist and be executable before we fork: posix_spawn
// reports a failed exec only through the child's exit status.
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

ChildProcess::~ChildProcess()
{
    if (started() && !exited_)
        terminate(0);
    closeFd(outFd_);
    closeFd(inFd_);
}

bool ChildProcess::start(std::string_view commandLine, const Options& options)
{
    error_.clear();
    if (started()) {
        error_ = "already started";
        return false;
    }
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) {
        error_ = "empty command line";
        return false;
    }
    if (!checkProgram(args[0], error_))
        return false;
    // The program was found from our working directory; it must still be
    // found when the child starts in another one.
    if (options.workingDirectory && args[0][0] != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            args[0] = std::string(cwd) + "/" + args[0];
    }

    int outPipe[2] = {-1, -1};
    int inPipe[2] = {-1, -1};
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || (options.stdinPipe && ::pipe2(inPipe, O_CLOEXEC) != 0)) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        for (int fd : {outPipe[0], outPipe[1], inPipe[0], inPipe[1]})
            if (fd >= 0)
                ::close(fd);
        return false;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    if (options.mergeStderr)
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDERR_FILENO);
    if (options.stdinPipe)
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (options.workingDirectory)
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that ending it ends whatever it started; and
    // default signal handling whatever the parent ignores.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &noneBlocked);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0].c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(outPipe[1]);
    if (options.stdinPipe)
        ::close(inPipe[0]);
    if (rc != 0) {
        error_ = "cannot start " + args[0] + ": " + std::strerror(rc);
        ::close(outPipe[0]);
        if (options.stdinPipe)
            ::close(inPipe[1]);
        return false;
    }
    pid_ = pid;
    outFd_ = outPipe[0];
    inFd_ = options.stdinPipe ? inPipe[1] : -1;
    ::fcntl(outFd_, F_SETFL, ::fcntl(outFd_, F_GETFL) | O_NONBLOCK);
    exited_ = false;
    exitStatus_ = -1;
    return true;
}

bool ChildProcess::readable() const { return waitReadable(0); }

bool ChildProcess::waitReadable(int timeoutMs) const
{
    if (outFd_ < 0)
        return false;
    pollfd p{outFd_, POLLIN, 0};
    int rc;
    do
        rc = ::poll(&p, 1, timeoutMs);
    while (rc < 0 && errno == EINTR);
    return rc > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR));
}

ptrdiff_t ChildProcess::read(char* buffer, size_t n)
{
    if (outFd_ < 0)
        return 0;
    for (;;) {
        const ssize_t got = ::read(outFd_, buffer, n);
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        return 0;
    }
}

bool ChildProcess::write(std::string_view bytes)
{
    if (inFd_ < 0)
        return false;
    // A child that has gone away must not take us with it: hold SIGPIPE for
    // this thread while writing and swallow one that the write raised.
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    bool ok = true;
    while (!bytes.empty()) {
        const ssize_t put = ::write(inFd_, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    if (!ok && !alreadyPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

void ChildProcess::closeInput() { closeFd(inFd_); }

bool ChildProcess::hasExited()
{
    if (!started())
        return true;
    if (exited_)
        return true;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
        exited_ = true;
        exitStatus_ = r == pid_ ? (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) : -1;
    }
    return exited_;
}

bool ChildProcess::waitExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!hasExited()) {
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ChildProcess::terminate(int graceMs)
{
    if (!started())
        return;
    // The group outlives its leader when the leader's children linger.
    ::kill(-pid_, SIGTERM);
    if (!waitExit(graceMs)) {
        ::kill(-pid_, SIGKILL);
        waitExit(-1);
    } else {
        ::kill(-pid_, SIGKILL);
    }
}

} // namespace qf::platform
