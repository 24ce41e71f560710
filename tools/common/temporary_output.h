#pragma once
// An output file that appears under its final name only when complete: it is
// written under a unique hidden name in the same directory and renamed over
// the final name by commit(). Until then the final name is untouched; if the
// program fails, is destroyed or is ended by SIGTERM/SIGINT/SIGHUP, the
// partial file is removed.
//
// One thread; a few objects at a time (the signal cleanup keeps a small
// fixed table).

#include <cstdio>
#include <string>

#include "core/atomic_file.h"

namespace qf::kit {

class TemporaryOutput {
public:
    // Creates the temporary file beside finalPath. Throws ToolError when the
    // directory cannot be written or finalPath names a directory.
    explicit TemporaryOutput(std::string finalPath);
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const std::string& path() const { return tempPath_; }
    const std::string& finalPath() const { return file_.path(); }

    // The open temporary file, for writers in this process. Owned here.
    std::FILE* file();
    // Renames the temporary file over the final name. Throws on failure (the
    // temporary file is then removed by the destructor).
    void commit();

private:
    void releaseSlot();

    core::AtomicFile file_;
    std::string tempPath_; // kept for path() after the commit
    int slot_ = -1; // entry in the signal cleanup table
};

} // namespace qf::kit
