#include "core/platform/subprocess.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <system_error>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qf::platform {

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// What the child needs before it executes the program, prepared beforehand:
// the child may only make async-signal-safe calls.
struct ChildSetup {
    const char* program = nullptr;
    char* const* argv = nullptr;
    bool searchPath = false;
    bool ownGroup = true;
    bool endWithParent = true;
    int stdinFd = -1; // -1: /dev/null
    int stdoutFd = -1;
    int stderrFd = -1; // -1: ours
    const char* workingDirectory = nullptr;
    pid_t parent = 0;
    int reportFd = -1; // close-on-exec; carries the errno of a failed step
};

// The child runs on a stack of its own in our memory, which the sanitizers
// do not know as a thread's: they must not instrument its code.
#define QF_CHILD_CODE __attribute__((no_sanitize_address, no_sanitize("undefined")))

[[noreturn]] QF_CHILD_CODE void failChild(int reportFd, int error)
{
    [[maybe_unused]] const ssize_t n = ::write(reportFd, &error, sizeof error);
    ::_exit(127);
}

// Runs in the child with every signal blocked.
[[noreturn]] QF_CHILD_CODE void execChild(const ChildSetup& s)
{
    // Our handlers must never run here, and what we ignore the child must not.
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current {};
        if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN)
            ::signal(sig, SIG_DFL);
    }
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        ::signal(sig, SIG_DFL);
    if (s.ownGroup && ::setpgid(0, 0) != 0)
        failChild(s.reportFd, errno);
    if (s.endWithParent) {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
            failChild(s.reportFd, errno);
        // The parent may have died before the request was made.
        if (::getppid() != s.parent)
            ::_exit(127);
    }
    // Lift the pipe ends clear of 0..2 first, so that no dup2 below can
    // overwrite one that another still needs.
    const int in = s.stdinFd >= 0 ? ::fcntl(s.stdinFd, F_DUPFD_CLOEXEC, 3) : ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = ::fcntl(s.stdoutFd, F_DUPFD_CLOEXEC, 3);
    const int err = s.stderrFd >= 0 ? ::fcntl(s.stderrFd, F_DUPFD_CLOEXEC, 3) : STDERR_FILENO;
    if (in < 0 || out < 0 || err < 0)
        failChild(s.reportFd, errno);
    if (::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0
        || (err != STDERR_FILENO && ::dup2(err, STDERR_FILENO) < 0))
        failChild(s.reportFd, errno);
    // dup2 onto itself keeps close-on-exec (/dev/null opened as 0).
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::fcntl(fd, F_SETFD, 0);
    if (s.workingDirectory && ::chdir(s.workingDirectory) != 0)
        failChild(s.reportFd, errno);
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    if (s.searchPath)
        ::execvp(s.program, s.argv);
    else
        ::execv(s.program, s.argv);
    failChild(s.reportFd, errno);
}

QF_CHILD_CODE int childMain(void* setup) { execChild(*static_cast<const ChildSetup*>(setup)); }

// Starts the child with every signal blocked in the calling thread. Like
// posix_spawn it shares our memory until the program is executed, with
// this thread waiting: no copy of our page tables, however large we are.
// Returns the pid, or -errno.
pid_t cloneChild(const ChildSetup& setup)
{
    constexpr size_t kStackBytes = 256 * 1024;
    void* stack = ::mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return -errno;
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &old);
    const pid_t pid = ::clone(childMain, static_cast<char*>(stack) + kStackBytes, CLONE_VM | CLONE_VFORK | SIGCHLD,
                              const_cast<ChildSetup*>(&setup));
    const int error = errno;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ::munmap(stack, kStackBytes);
    return pid < 0 ? -error : pid;
}

// The kernel's death signal follows the thread that started the child, not
// the process: a child started by a worker thread would be killed when that
// thread ends. Children of threads other than the main one are therefore
// started by this thread, which lives as long as the process and takes no
// signals.
class Spawner {
public:
    // Null when no thread can be made. A process forked from ours (and not
    // yet executed) has no spawner thread: it makes its own.
    static Spawner* instance()
    {
        static std::mutex made;
        static Spawner* spawner = nullptr; // never destroyed: its thread waits on it
        std::lock_guard lock(made);
        if (spawner && spawner->owner_ == ::getpid())
            return spawner;
        auto* s = new Spawner;
        try {
            std::thread([s] { s->serve(); }).detach();
        } catch (const std::system_error&) {
            delete s;
            return nullptr;
        }
        spawner = s;
        return spawner;
    }

    pid_t start(const ChildSetup& setup)
    {
        std::lock_guard one(callers_);
        std::unique_lock lock(mutex_);
        request_ = &setup;
        ready_.notify_all();
        ready_.wait(lock, [this] { return request_ == nullptr; });
        return result_;
    }

private:
    void serve()
    {
        sigset_t all;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
        std::unique_lock lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return request_ != nullptr; });
            result_ = cloneChild(*request_);
            request_ = nullptr;
            ready_.notify_all();
        }
    }

    const pid_t owner_ = ::getpid();
    std::mutex callers_; // one request at a time
    std::mutex mutex_;
    std::condition_variable ready_;
    const ChildSetup* request_ = nullptr; // guarded by mutex_
    pid_t result_ = 0; // guarded by mutex_
};

bool onMainThread() { return ::gettid() == ::getpid(); }

} // namespace

Subprocess::~Subprocess()
{
    if (started() && !exited_)
        terminate(0);
    closeFd(outFd_);
    closeFd(errFd_);
    closeFd(inFd_);
}

int Subprocess::start(const std::vector<std::string>& argv, const SubprocessOptions& options)
{
    if (started())
        return EBUSY;
    if (argv.empty() || argv[0].empty())
        return EINVAL;
    std::string program = argv[0];
    const bool pathLookup = options.searchPath && program.find('/') == std::string::npos;
    if (options.workingDirectory && !pathLookup && program[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            program = std::string(cwd) + "/" + program;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // [0] read ends, [1] write ends; all close-on-exec so no other child holds them.
    int out[2] = {-1, -1}, err[2] = {-1, -1}, in[2] = {-1, -1}, report[2] = {-1, -1};
    const auto closeAll = [&] {
        for (int* p : {out, err, in, report}) {
            closeFd(p[0]);
            closeFd(p[1]);
        }
    };
    const bool errorPipe = options.errors == SubprocessOptions::Errors::Pipe && options.errorsTo < 0;
    if ((options.outputTo < 0 && ::pipe2(out, O_CLOEXEC) != 0) || ::pipe2(report, O_CLOEXEC) != 0
        || (errorPipe && ::pipe2(err, O_CLOEXEC) != 0)
        || (options.stdinPipe && options.inputFrom < 0 && ::pipe2(in, O_CLOEXEC) != 0)) {
        const int error = errno;
        closeAll();
        return error;
    }

    ChildSetup setup;
    setup.program = program.c_str();
    setup.argv = args.data();
    setup.searchPath = pathLookup;
    setup.ownGroup = options.ownProcessGroup;
    setup.endWithParent = options.endWithParent;
    setup.stdinFd = options.inputFrom >= 0 ? options.inputFrom : in[0];
    setup.stdoutFd = options.outputTo >= 0 ? options.outputTo : out[1];
    switch (options.errors) {
    case SubprocessOptions::Errors::Merge: setup.stderrFd = setup.stdoutFd; break;
    case SubprocessOptions::Errors::Pipe: setup.stderrFd = err[1]; break;
    case SubprocessOptions::Errors::Inherit: setup.stderrFd = -1; break;
    }
    if (options.errorsTo >= 0)
        setup.stderrFd = options.errorsTo;
    setup.workingDirectory = options.workingDirectory;
    setup.parent = ::getpid();
    setup.reportFd = report[1];

    pid_t pid;
    if (options.endWithParent && !onMainThread()) {
        Spawner* spawner = Spawner::instance();
        pid = spawner ? spawner->start(setup) : -EAGAIN;
    } else {
        pid = cloneChild(setup);
    }
    if (pid < 0) {
        closeAll();
        return -pid;
    }
    closeFd(out[1]);
    closeFd(err[1]);
    closeFd(in[0]);
    closeFd(report[1]);
    // The report pipe closes at a successful exec; an errno means none happened.
    int error = 0;
    ssize_t got;
    do
        got = ::read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof error) && error != 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        closeAll();
        return error;
    }
    closeFd(report[0]);

    pid_ = pid;
    outFd_ = out[0];
    errFd_ = err[0];
    inFd_ = in[1];
    // Our end of its input too: a child that stops reading must not hold
    // the writer for ever (write() waits as long as it is told).
    for (int fd : {outFd_, errFd_, inFd_})
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ownGroup_ = options.ownProcessGroup;
    exited_ = reaped_ = wifexited_ = false;
    exitCode_ = -1;
    termSignal_ = 0;
    return 0;
}

bool Subprocess::waitReadable(int timeoutMs) const
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

ptrdiff_t Subprocess::readFd(int fd, char* buffer, size_t n)
{
    if (fd < 0)
        return 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, n);
        if (got >= 0)
            return got;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return -1;
        return 0;
    }
}

bool Subprocess::write(std::string_view bytes, int timeoutMs)
{
    if (inFd_ < 0)
        return false;
    // A child that has gone away must not take us with it: hold SIGPIPE for
    // this thread while writing and swallow one that the write raised.
    sigset_t pipeSet, old, pendingBefore;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    sigpending(&pendingBefore);
    const bool alreadyPending = sigismember(&pendingBefore, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    bool ok = true;
    while (!bytes.empty()) {
        const ssize_t put = ::write(inFd_, bytes.data(), bytes.size());
        if (put >= 0) {
            bytes.remove_prefix(static_cast<size_t>(put));
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            ok = false;
            break;
        }
        // The pipe is full: wait for the child to read, as long as allowed.
        int waitMs = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ok = false;
                break;
            }
            waitMs = static_cast<int>(left.count());
        }
        pollfd p{inFd_, POLLOUT, 0};
        if (::poll(&p, 1, waitMs) < 0 && errno != EINTR) {
            ok = false;
            break;
        }
    }
    if (!ok && !alreadyPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeSet, nullptr, &zero) < 0 && errno == EINTR) {}
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

void Subprocess::closeInput() { closeFd(inFd_); }

void Subprocess::noteStatus(int status)
{
    exited_ = reaped_ = true;
    wifexited_ = WIFEXITED(status);
    exitCode_ = wifexited_ ? WEXITSTATUS(status) : -1;
    termSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

bool Subprocess::hasExited()
{
    if (!started() || exited_)
        return true;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_)
        noteStatus(status);
    else if (r < 0 && errno == ECHILD)
        exited_ = true;
    return exited_;
}

bool Subprocess::waitExit(int timeoutMs, const std::function<bool()>& stop)
{
    if (hasExited())
        return true;
    if (timeoutMs < 0) {
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, 0);
            if (r == pid_) {
                noteStatus(status);
                return true;
            }
            if (r < 0 && errno == EINTR) {
                if (stop && stop())
                    return false;
                continue;
            }
            exited_ = true; // ECHILD: reaped elsewhere
            return true;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!hasExited()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void Subprocess::signal(int sig) const
{
    if (!started())
        return;
    if (ownGroup_)
        ::kill(-pid_, sig); // the group outlives its leader when the leader's children linger
    else if (!exited_)
        ::kill(pid_, sig); // a reaped pid may already name another process
}

void Subprocess::terminate(int graceMs)
{
    if (!started())
        return;
    signal(SIGTERM);
    if (!waitExit(graceMs)) {
        signal(SIGKILL);
        waitExit(-1);
    } else if (ownGroup_) {
        signal(SIGKILL);
    }
}

bool drainOutput(Subprocess& child, const OutputSink& onOutput, const OutputSink& onErrors, int wakeFd,
                 const std::function<bool()>& stop)
{
    int fds[2] = {child.outputFd(), child.errorFd()};
    const OutputSink* sinks[2] = {&onOutput, &onErrors};
    char buffer[65536];
    while (fds[0] >= 0 || fds[1] >= 0) {
        if (stop && stop())
            return false;
        pollfd p[3] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(p, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return true;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k] < 0 || (p[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const ptrdiff_t got = Subprocess::readFd(fds[k], buffer, sizeof buffer);
            if (got == 0)
                fds[k] = -1;
            else if (got > 0 && *sinks[k])
                (*sinks[k])(std::string_view(buffer, static_cast<size_t>(got)));
        }
    }
    return true;
}

void LineSplitter::push(std::string_view bytes, const Handler& handler)
{
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            if (!pending_.empty())
                handler(pending_);
            pending_.clear();
        } else {
            pending_ += c;
        }
    }
}

void LineSplitter::finish(const Handler& handler)
{
    if (!pending_.empty())
        handler(pending_);
    pending_.clear();
}

} // namespace qf::platform
