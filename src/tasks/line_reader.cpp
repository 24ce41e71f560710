#include "tasks/line_reader.h"

#include <cstring>

namespace qf::tasks {

void LineReader::reset()
{
    buffer_.clear();
    start_ = 0;
    afterCarriageReturn_ = false;
    finished_ = false;
}

void LineReader::append(std::string_view bytes)
{
    if (finished_)
        return;
    buffer_.reserve(buffer_.size() + bytes.size() + 1);
    for (char c : bytes) {
        const bool partner = afterCarriageReturn_ && c == '\n';
        afterCarriageReturn_ = c == '\r';
        if (!partner)
            buffer_.push_back(c == '\r' ? '\n' : c);
    }
}

void LineReader::finish()
{
    afterCarriageReturn_ = false;
    finished_ = true;
}

size_t LineReader::readyLength(size_t maxBytes) const
{
    const size_t available = buffer_.size() - start_;
    if (maxBytes == 0 || available == 0)
        return 0;
    const size_t window = available < maxBytes ? available : maxBytes;
    const void* feed = std::memchr(buffer_.data() + start_, '\n', window);
    if (feed != nullptr)
        return static_cast<size_t>(static_cast<const char*>(feed) - (buffer_.data() + start_)) + 1;
    if (available >= maxBytes)
        return maxBytes;
    // Until the input ends, a partial line waits for the rest.
    return finished_ ? available : 0;
}

void LineReader::consume(size_t count)
{
    start_ += count;
    // Drop taken bytes once they outweigh the rest, keeping appends cheap.
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096 && start_ > buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
}

bool LineReader::nextLine(std::string& out, size_t maxBytes)
{
    const size_t length = readyLength(maxBytes);
    if (length == 0)
        return false;
    out.assign(buffer_, start_, length);
    consume(length);
    return true;
}

bool LineReader::nextLine(char* buffer, size_t size)
{
    if (buffer == nullptr || size < 2)
        return false;
    const size_t length = readyLength(size - 1);
    if (length == 0)
        return false;
    std::memcpy(buffer, buffer_.data() + start_, length);
    buffer[length] = '\0';
    consume(length);
    return true;
}

} // namespace qf::tasks
