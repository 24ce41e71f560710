#include "common/window_reader.h"

#include "common/file_bytes.h"
#include "common/tool_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qf::kit {

WindowReader::WindowReader(const std::string& path) : path_(path), buffer_(kWindow, '\0')
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw ToolError("cannot open " + path + ": it is a directory");
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw ToolError("cannot open " + path + ": " + std::strerror(errno));
    size_ = static_cast<uint64_t>(st.st_size);
}

WindowReader::~WindowReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string_view WindowReader::viewUpTo(uint64_t offset, size_t n)
{
    if (offset >= size_)
        return {};
    n = static_cast<size_t>(std::min<uint64_t>({n, kWindow, size_ - offset}));
    if (offset < bufferStart_ || offset + n > bufferStart_ + bufferLength_) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kWindow, size_ - offset));
        size_t got = 0;
        while (got < want) {
            ssize_t r = ::pread(fd_, buffer_.data() + got, want - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                throw ToolError("cannot read " + path_ + ": " + std::strerror(errno));
            if (r == 0)
                throw ToolError(path_ + " is truncated or corrupt");
            got += static_cast<size_t>(r);
        }
        bufferStart_ = offset;
        bufferLength_ = got;
    }
    return std::string_view(buffer_.data() + (offset - bufferStart_), n);
}

void WindowReader::copyTo(std::FILE* out, uint64_t offset, uint64_t n, const std::string& outName)
{
    if (offset > size_ || n > size_ - offset)
        throw ToolError(path_ + " is truncated or corrupt");
    while (n > 0) {
        std::string_view part = viewUpTo(offset, static_cast<size_t>(std::min<uint64_t>(n, kWindow)));
        writeAll(out, part.data(), part.size(), outName);
        offset += part.size();
        n -= part.size();
    }
}

} // namespace qf::kit
