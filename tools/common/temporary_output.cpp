#include "common/temporary_output.h"

#include "common/tool_error.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qf::kit {

namespace {

// Paths a signal handler may unlink. Plain char arrays: the handler may only
// make async-signal-safe calls.
constexpr int kSlots = 4;
constexpr size_t kPathMax = 4096;
char g_cleanup[kSlots][kPathMax];
volatile std::sig_atomic_t g_used[kSlots];

extern "C" void removePartialOutputs(int signo)
{
    for (int i = 0; i < kSlots; ++i)
        if (g_used[i]) ::unlink(g_cleanup[i]);
    std::signal(signo, SIG_DFL);
    std::raise(signo);
}

void installCleanupHandlers()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction sa {};
        sa.sa_handler = removePartialOutputs;
        sigemptyset(&sa.sa_mask);
        ::sigaction(signo, &sa, nullptr);
    }
}

int registerForCleanup(const std::string& path)
{
    if (path.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (!g_used[i]) {
            std::memcpy(g_cleanup[i], path.c_str(), path.size() + 1);
            g_used[i] = 1;
            return i;
        }
    }
    return -1;
}

mode_t currentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

TemporaryOutput::TemporaryOutput(std::string finalPath) : finalPath_(std::move(finalPath))
{
    if (finalPath_.empty()) throw ToolError("no output file given");
    struct stat st {};
    if (::stat(finalPath_.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw ToolError("cannot write " + finalPath_ + ": it is a directory");

    auto slash = finalPath_.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : finalPath_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? finalPath_ : finalPath_.substr(slash + 1);
    std::string pattern = dir + "." + name + ".part-XXXXXX";

    installCleanupHandlers();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw ToolError("cannot write " + finalPath_ + ": " + std::strerror(errno));
    tempPath_ = pattern;
    slot_ = registerForCleanup(tempPath_);
    // mkstemp makes the file private; the result should look like any file
    // the user creates.
    ::fchmod(fd, 0666 & ~currentUmask());
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        throw ToolError("cannot write " + finalPath_ + ": " + std::strerror(errno));
    }
}

TemporaryOutput::~TemporaryOutput()
{
    if (file_) std::fclose(file_);
    if (!committed_ && !tempPath_.empty()) ::unlink(tempPath_.c_str());
    if (slot_ >= 0) g_used[slot_] = 0;
}

std::FILE* TemporaryOutput::file()
{
    if (!file_) throw ToolError("internal error: output file already closed");
    return file_;
}

void TemporaryOutput::closeFile()
{
    if (!file_) return;
    std::FILE* f = file_;
    file_ = nullptr;
    bool ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) throw ToolError("cannot write " + finalPath_ + ": " + std::strerror(err));
}

void TemporaryOutput::commit()
{
    closeFile();
    if (::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
        throw ToolError("cannot create " + finalPath_ + ": " + std::strerror(errno));
    committed_ = true;
    if (slot_ >= 0) g_used[slot_] = 0;
    slot_ = -1;
}

} // namespace qf::kit
