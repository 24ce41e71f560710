#pragma once
// A folder only one task writes to (its two-pass log, scripts, the files its
// programs leave in their working directory), removed with everything in it
// when the object goes. In the temporary folder; beside the output (which is
// known to be writable) when that one cannot be had.

#include <string>

namespace qf::tasks {

class ScratchFolder {
public:
    explicit ScratchFolder(const char* outputPath);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    bool made() const { return !path_.empty(); }
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

} // namespace qf::tasks
