#include "core/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/byte_buffer.h"

namespace qf::core::fs {

namespace {

// The system itself uses slashes; a Windows-form path is brought to them.
TextString normalised(const char* path)
{
    TextString p(path);
    if (backslashSeparates(path))
        p.replaceAll("\\", "/");
    return p;
}

bool statPath(const char* path, struct stat& st)
{
    if (!path || !*path)
        return false;
    return ::stat(normalised(path).c_str(), &st) == 0;
}

} // namespace

bool backslashSeparates(const char* path)
{
    if (!path)
        return false;
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
    return drive || path[0] == '\\';
}

bool exists(const char* path)
{
    struct stat st;
    if (statPath(path, st))
        return true;
    // A dangling link is still something that exists (and can be removed).
    return path && *path && ::lstat(normalised(path).c_str(), &st) == 0;
}

bool isDirectory(const char* path)
{
    struct stat st;
    return statPath(path, st) && S_ISDIR(st.st_mode);
}

bool isFile(const char* path) { return exists(path) && !isDirectory(path); }

int64_t fileSize(const char* path)
{
    struct stat st;
    if (!statPath(path, st) || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool readWholeFile(const char* path, ByteBuffer& out, uint32_t maxSize)
{
    if (!path || !*path) {
        errno = ENOENT;
        return false;
    }
    const int fd = ::open(normalised(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || S_ISDIR(st.st_mode)) {
        const int error = statted ? EISDIR : errno;
        ::close(fd);
        errno = error;
        return false;
    }
    // The size is only a hint for the first allocation: a pipe has none.
    const uint64_t hint = st.st_size > 0 ? std::min<uint64_t>(uint64_t(st.st_size), maxSize) : 0;
    ByteBuffer buffer(static_cast<uint32_t>(hint));
    uint8_t chunk[16384];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0)
            break;
        if (uint64_t(buffer.length()) + uint64_t(n) > maxSize) {
            error = EFBIG;
            break;
        }
        buffer.appendBytes(chunk, static_cast<uint32_t>(n));
    }
    ::close(fd);
    if (error) {
        errno = error;
        return false;
    }
    out.assign(buffer);
    out.rewind();
    return true;
}

void setSeparators(TextString& buffer, char ch)
{
    if (ch == '/')
        buffer.replaceAll("\\", "/");
    else {
        const char to[2] = {ch, 0};
        buffer.replaceAll("/", to);
    }
}

const char* fileNamePart(const char* path)
{
    if (!path)
        return nullptr;
    const char* slash = std::strrchr(path, '/');
    const char* backslash = backslashSeparates(path) ? std::strrchr(path, '\\') : nullptr;
    const char* last = slash > backslash ? slash : backslash;
    return last ? last + 1 : path;
}

TextString directoryPart(const char* path)
{
    TextString full;
    const bool hasDrive = path && path[0] && path[1] == ':';
    const bool rooted = path && (path[0] == '/' || path[0] == '\\');
    if (path && !hasDrive && !rooted) {
        char* cwd = full.reserve(4096);
        if (!::getcwd(cwd, 4096))
            full.clear();
        full.trimRight('/');
        full.append("/");
    }
    full.append(path);
    const char* name = fileNamePart(full.c_str());
    const uint32_t cut = static_cast<uint32_t>(name - full.c_str());
    return full.substring(0, cut ? cut - 1 : 0);
}

bool makePath(const char* path, bool asDirectory)
{
    if (!path || !*path)
        return false;
    if (asDirectory ? isDirectory(path) : (exists(path) && !isDirectory(path)))
        return true;
    TextString p = normalised(path);
    for (int32_t slash = p.find('/', 1); slash >= 0; slash = p.find('/', uint32_t(slash) + 1)) {
        TextString prefix = p.substring(0, uint32_t(slash));
        if (!exists(prefix.c_str()) && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    if (asDirectory)
        return ::mkdir(p.c_str(), 0777) == 0 || isDirectory(p.c_str());
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool removePath(const char* path)
{
    if (!path || !*path)
        return false;
    const TextString p = normalised(path);
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0)
        return false;
    // lstat: a link (even one to a directory) is deleted as itself, never walked.
    if (!S_ISDIR(st.st_mode))
        return ::unlink(p.c_str()) == 0;
    DIR* dir = ::opendir(p.c_str());
    if (!dir)
        return false;
    bool ok = true;
    while (ok) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const TextString child = TextString::formatted("%s/%s", p.c_str(), entry->d_name);
        ok = removePath(child.c_str());
    }
    ::closedir(dir);
    return ok && ::rmdir(p.c_str()) == 0;
}

} // namespace qf::core::fs
