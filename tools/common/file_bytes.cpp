#include "common/file_bytes.h"

#include "common/tool_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace qf::kit {

namespace {

std::string systemReason() { return std::strerror(errno); }

} // namespace

InputFile::InputFile(const std::string& path) : path_(path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw ToolError("cannot open " + path + ": " + systemReason());
    if (S_ISDIR(st.st_mode))
        throw ToolError("cannot open " + path + ": it is a directory");
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        throw ToolError("cannot open " + path + ": " + systemReason());
    size_ = static_cast<uint64_t>(st.st_size);
}

InputFile::~InputFile()
{
    if (file_)
        std::fclose(file_);
}

std::string InputFile::read(uint64_t offset, size_t n)
{
    if (offset > size_ || n > size_ - offset)
        throw ToolError(path_ + " is truncated or corrupt");
    std::string bytes(n, '\0');
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0 || std::fread(bytes.data(), 1, n, file_) != n)
        throw ToolError("cannot read " + path_ + ": " + systemReason());
    return bytes;
}

void InputFile::copyTo(std::FILE* out, uint64_t offset, uint64_t n, const std::string& outName)
{
    if (offset > size_ || n > size_ - offset)
        throw ToolError(path_ + " is truncated or corrupt");
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        throw ToolError("cannot read " + path_ + ": " + systemReason());
    std::vector<char> block(static_cast<size_t>(std::min<uint64_t>(n, 1 << 20)));
    while (n > 0) {
        size_t chunk = n < block.size() ? static_cast<size_t>(n) : block.size();
        if (std::fread(block.data(), 1, chunk, file_) != chunk)
            throw ToolError("cannot read " + path_ + ": " + systemReason());
        writeAll(out, block.data(), chunk, outName);
        n -= chunk;
    }
}

std::string readWholeFile(const std::string& path)
{
    InputFile in(path);
    return in.read(0, static_cast<size_t>(in.size()));
}

void writeAll(std::FILE* out, const void* data, size_t n, const std::string& outName)
{
    if (n > 0 && std::fwrite(data, 1, n, out) != n)
        throw ToolError("cannot write " + outName + ": " + systemReason());
}

} // namespace qf::kit
