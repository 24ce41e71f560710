#include "common/run_program.h"

#include "common/tool_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qf::kit {

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    Pipe()
    {
        if (::pipe2(fd, O_CLOEXEC) != 0) throw ToolError(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    ~Pipe() { closeBoth(); }
    void closeEnd(int i)
    {
        if (fd[i] >= 0) ::close(fd[i]);
        fd[i] = -1;
    }
    void closeBoth() { closeEnd(0); closeEnd(1); }
};

[[noreturn]] void execChild(const std::vector<std::string>& argv, int outFd, int errFd, int statusFd)
{
    int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    int err = errno;
    [[maybe_unused]] auto n = ::write(statusFd, &err, sizeof err);
    ::_exit(127);
}

// Reads both pipes until both reach their end, so that neither side can
// fill up and stall the child.
void drain(int outFd, int errFd, std::string& out, std::string& err)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

std::string ProgramResult::lastErrorLine() const
{
    size_t end = errors.size();
    while (end > 0) {
        while (end > 0 && (errors[end - 1] == '\n' || errors[end - 1] == '\r' || errors[end - 1] == ' ')) --end;
        size_t start = errors.find_last_of("\r\n", end == 0 ? 0 : end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        if (end > start) return errors.substr(start, end - start);
        end = start;
    }
    return {};
}

ProgramResult runProgram(const std::vector<std::string>& argv)
{
    if (argv.empty()) throw ToolError("internal error: empty program argument vector");
    Pipe out, err, status;
    pid_t pid = ::fork();
    if (pid < 0) throw ToolError("cannot run " + argv[0] + ": " + std::strerror(errno));
    if (pid == 0) execChild(argv, out.fd[1], err.fd[1], status.fd[1]);

    out.closeEnd(1);
    err.closeEnd(1);
    status.closeEnd(1);

    ProgramResult result;
    drain(out.fd[0], err.fd[0], result.output, result.errors);

    int execErrno = 0;
    ssize_t got;
    do {
        got = ::read(status.fd[0], &execErrno, sizeof execErrno);
    } while (got < 0 && errno == EINTR);

    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {}

    if (got == static_cast<ssize_t>(sizeof execErrno)) {
        if (execErrno == ENOENT)
            throw ToolError(argv[0] + " not found (is it installed and on PATH?)");
        throw ToolError("cannot run " + argv[0] + ": " + std::strerror(execErrno));
    }
    result.exitCode = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return result;
}

} // namespace qf::kit
