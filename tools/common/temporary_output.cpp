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
        if (g_used[i])
            ::unlink(g_cleanup[i]);
    std::signal(signo, SIG_DFL);
    std::raise(signo);
}

void installCleanupHandlers()
{
    static bool installed = false;
    if (installed)
        return;
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
    if (path.size() >= kPathMax)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (!g_used[i]) {
            std::memcpy(g_cleanup[i], path.c_str(), path.size() + 1);
            g_used[i] = 1;
            return i;
        }
    }
    return -1;
}

// Checked before the file is made: a directory under the name would only
// show up at the rename, after all the work.
std::string checkedPath(std::string finalPath)
{
    if (finalPath.empty())
        throw ToolError("no output file given");
    struct stat st {};
    if (::stat(finalPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw ToolError("cannot write " + finalPath + ": it is a directory");
    return finalPath;
}

} // namespace

TemporaryOutput::TemporaryOutput(std::string finalPath) : file_(checkedPath(std::move(finalPath)))
{
    installCleanupHandlers();
    if (!file_.isOpen())
        throw ToolError(file_.error());
    tempPath_ = file_.temporaryPath();
    slot_ = registerForCleanup(tempPath_);
}

TemporaryOutput::~TemporaryOutput()
{
    file_.discard();
    releaseSlot();
}

void TemporaryOutput::releaseSlot()
{
    if (slot_ >= 0)
        g_used[slot_] = 0;
    slot_ = -1;
}

std::FILE* TemporaryOutput::file()
{
    if (!file_.stream())
        throw ToolError("internal error: output file already closed");
    return file_.stream();
}

void TemporaryOutput::commit()
{
    const bool committed = file_.commit();
    releaseSlot();
    if (!committed)
        throw ToolError(file_.error());
}

} // namespace qf::kit
