#pragma once
// Files that appear under their name only when complete. The bytes go to a
// unique hidden file in the same folder (".<name>.part-XXXXXX", so that the
// rename never crosses a file system), which is flushed to the disk, given
// the permissions of any new file (the requested mode less the umask) and
// renamed over the name. On every failure the hidden file is removed and
// whatever stood under the name stays as it was.
//
// Plain POSIX and the standard library: the engine and the helper programs
// both link it. An object belongs to one thread; distinct objects may be
// used on distinct threads.

#include <cstdio>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qf::core {

class AtomicFile {
public:
    // Creates the hidden file beside `path`. `mode` is what a new file of
    // this kind is asked for (0666 for data, 0777 for something to run); the
    // umask takes its bits away as it does for any file. Check isOpen().
    explicit AtomicFile(std::string path, mode_t mode = 0666);
    // Removes the hidden file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporaryPath_; }
    // The open hidden file, for writers that stream; null once committed
    // or when creating it failed. Owned here: never closed by the caller.
    std::FILE* stream() const { return file_; }

    // Appends bytes; false (and the reason kept) on a write error.
    bool write(std::string_view bytes);
    // Flushes to the disk, closes and renames over the name. False when any
    // step fails: the hidden file is then removed and the name untouched.
    bool commit();
    // Removes the hidden file now.
    void discard();

    // Why the last step failed: the action, the path and the system's words.
    const std::string& error() const { return error_; }
    // The errno value behind error(); 0 when there was none.
    int errorCode() const { return errorCode_; }

private:
    bool fail(const char* action, const std::string& path, int code);

    std::string path_;
    std::string temporaryPath_;
    std::FILE* file_ = nullptr;
    std::string error_;
    int errorCode_ = 0;
};

// Writes `bytes` as the whole content of `path` through an AtomicFile.
// False on any failure, with the reason in *error when it is given.
bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0666,
                         std::string* error = nullptr);

// The process's umask, read without leaving it changed.
mode_t currentUmask();

} // namespace qf::core
