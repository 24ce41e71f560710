#pragma once
// Bytes of a file at any offset through one bounded buffer, so that scanning
// or copying a file of any size takes a fixed amount of memory. Reads that
// move forward mostly hit the buffer.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qf::kit {

// What the stream scanners read from: a file, or bytes in memory in tests.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // At most n bytes at offset (fewer at the end); valid until the next call.
    virtual std::string_view viewUpTo(uint64_t offset, size_t n) = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    std::string_view viewUpTo(uint64_t offset, size_t n) override
    {
        return offset >= bytes_.size() ? std::string_view() : bytes_.substr(static_cast<size_t>(offset), n);
    }

private:
    std::string_view bytes_;
};

class WindowReader : public ByteSource {
public:
    static constexpr size_t kWindow = (1u << 20) + 64;

    // Throws ToolError when the file cannot be opened or is a directory.
    explicit WindowReader(const std::string& path);
    ~WindowReader() override;
    WindowReader(const WindowReader&) = delete;
    WindowReader& operator=(const WindowReader&) = delete;

    const std::string& path() const { return path_; }
    uint64_t size() const override { return size_; }
    // n is capped at kWindow.
    std::string_view viewUpTo(uint64_t offset, size_t n) override;
    // Copies n bytes at offset to out; throws when the file ends first or a
    // write fails.
    void copyTo(std::FILE* out, uint64_t offset, uint64_t n, const std::string& outName);

private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    std::string buffer_;
    uint64_t bufferStart_ = 0;
    size_t bufferLength_ = 0;
};

} // namespace qf::kit
