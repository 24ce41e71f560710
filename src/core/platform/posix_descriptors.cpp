#include "core/platform/descriptors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cstdlib>
#include <vector>

namespace qf::platform {

namespace {

bool raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur == limit.rlim_max)
        return true;
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

bool markInheritedCloseOnExec()
{
    // Collect first: changing flags while reading /proc/self/fd would also
    // touch the directory's own descriptor.
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return false;
    const int own = ::dirfd(dir);
    std::vector<int> inherited;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd <= 2 || fd == own)
            continue;
        inherited.push_back(int(fd));
    }
    ::closedir(dir);
    bool ok = true;
    for (const int fd : inherited) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC) && ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC) != 0)
            ok = false;
    }
    return ok;
}

} // namespace

bool adoptInheritedDescriptors()
{
    const bool raised = raiseOpenFileLimit();
    return markInheritedCloseOnExec() && raised;
}

} // namespace qf::platform
