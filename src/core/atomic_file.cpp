#include "core/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qf::core {

mode_t currentUmask()
{
    // Setting the umask to read it would race with a file another thread
    // creates meanwhile; the kernel reports it without touching it.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0)
            continue;
        char* end = nullptr;
        const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
        if (end != line.c_str() + 6)
            return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

AtomicFile::AtomicFile(std::string path, mode_t mode) : path_(std::move(path))
{
    if (path_.empty()) {
        error_ = "no file name given";
        errorCode_ = EINVAL;
        return;
    }
    const size_t slash = path_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    if (name.empty()) {
        error_ = "cannot write " + path_ + ": it names a folder";
        errorCode_ = EISDIR;
        return;
    }
    std::string pattern = folder + "." + name + ".part-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        fail("cannot write", path_, errno);
        return;
    }
    temporaryPath_ = pattern;
    // mkstemp makes the file private; the result should look like any file
    // the user creates.
    if (::fchmod(fd, mode & ~currentUmask() & 07777) != 0) {
        fail("cannot set the permissions of", temporaryPath_, errno);
        ::close(fd);
        discard();
        return;
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        fail("cannot write", path_, errno);
        ::close(fd);
        discard();
    }
}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::fail(const char* action, const std::string& path, int code)
{
    error_ = std::string(action) + " " + path + ": " + std::strerror(code);
    errorCode_ = code;
    return false;
}

bool AtomicFile::write(std::string_view bytes)
{
    if (!file_)
        return false;
    if (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size())
        return true;
    return fail("cannot write", path_, errno != 0 ? errno : EIO);
}

bool AtomicFile::commit()
{
    if (!file_) {
        if (error_.empty())
            error_ = "cannot write " + path_ + ": nothing to commit";
        discard();
        return false;
    }
    std::FILE* f = file_;
    file_ = nullptr;
    // Renamed before it is on the disk, a crash could leave an empty file
    // under the name where the old one stood.
    bool ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
    int code = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        fail("cannot write", path_, code != 0 ? code : EIO);
        discard();
        return false;
    }
    temporaryPath_.clear();
    return true;
}

void AtomicFile::discard()
{
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode, std::string* error)
{
    AtomicFile file(path, mode);
    const bool ok = file.isOpen() && file.write(bytes) && file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}

} // namespace qf::core
