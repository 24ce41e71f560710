#pragma once
// An output file that appears under its final name only when complete: it is
// written under a unique hidden name in the same directory and renamed over
// the final name by commit(), after it is on the disk. Until then the final
// name is untouched; if the program fails, is destroyed or is told to stop
// (see signal_cleanup.h), the partial file is removed.
//
// Other programs may write the file by its path() meanwhile (ffmpeg does):
// they write the same file in place, and commit() still flushes it.
//
// One thread; a few objects at a time (the signal clean-up keeps a small
// fixed table).

#include <cstdio>
#include <new>
#include <string>

#include "common/signal_cleanup.h"
#include "core/atomic_file.h"

namespace qf::kit {

class TemporaryOutput {
public:
    // Creates the temporary file beside finalPath. Throws ToolError when the
    // directory cannot be written or finalPath names a directory.
    explicit TemporaryOutput(std::string finalPath);
    // The same for a program that reports its own failures: check isOpen(),
    // and errorCode() for why not.
    TemporaryOutput(std::string finalPath, std::nothrow_t);
    ~TemporaryOutput() { file_.discard(); }
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return tempPath_; }
    const std::string& finalPath() const { return file_.path(); }

    // The open temporary file, for writers in this process. Owned here.
    std::FILE* file();
    // Flushes the file to the disk and renames it over the final name.
    // Throws on failure (the temporary file is then removed).
    void commit();
    // The same; false on failure, with error() and errorCode() telling why.
    bool commit(std::nothrow_t);

    // Why the last step failed: a sentence, and the errno value behind it.
    const std::string& error() const { return error_.empty() ? file_.error() : error_; }
    int errorCode() const { return error_.empty() ? file_.errorCode() : errorCode_; }

private:
    void refuse(std::string why, int code);

    core::AtomicFile file_;
    std::string error_; // why finalPath was refused before any work
    int errorCode_ = 0;
    std::string tempPath_; // kept for path() after the commit
    RemovedOnStop removal_;
};

} // namespace qf::kit
