#pragma once
// Whole-file and ranged reads that turn every system failure into a
// ToolError naming the file.

#include <cstdint>
#include <cstdio>
#include <string>

namespace qf::kit {

// An open input file. Reads are exact: a short read is an error ("truncated").
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }
    // Reads n bytes at offset; throws when the file ends first.
    std::string read(uint64_t offset, size_t n);
    // Copies n bytes from offset to an output stream, in blocks.
    void copyTo(std::FILE* out, uint64_t offset, uint64_t n, const std::string& outName);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// The whole file; throws with a clear message when it cannot be read.
std::string readWholeFile(const std::string& path);

// Writes all bytes or throws (disk full, I/O error).
void writeAll(std::FILE* out, const void* data, size_t n, const std::string& outName);

} // namespace qf::kit
