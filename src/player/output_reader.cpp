#include "player/output_reader.h"

#include <algorithm>
#include <chrono>

#include "core/platform/process.h"

namespace qf::player {

bool OutputReader::hasLine() const
{
    return buffer_.find('\n') != std::string::npos || buffer_.size() >= kMaxLine || (atEnd_ && !buffer_.empty());
}

bool OutputReader::fill(platform::ChildProcess& process)
{
    if (atEnd_)
        return false;
    char chunk[4096];
    const ptrdiff_t got = process.read(chunk, sizeof chunk);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    if (got < 0)
        return false;
    buffer_.append(chunk, static_cast<size_t>(got));
    return true;
}

bool OutputReader::readLine(platform::ChildProcess& process, std::string& line)
{
    if (!hasLine() && process.readable())
        fill(process);
    if (!hasLine())
        return false;
    size_t end = buffer_.find('\n');
    size_t take;
    if (end != std::string::npos && end < kMaxLine) {
        take = end + 1;
    } else {
        take = std::min(buffer_.size(), kMaxLine);
        end = take;
    }
    line.assign(buffer_, 0, end);
    buffer_.erase(0, take);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool OutputReader::waitForOutput(platform::ChildProcess& process, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (atEnd_)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int wait = left > 0 ? static_cast<int>(left) : 0;
        if (process.waitReadable(wait)) {
            if (fill(process))
                return true;
            if (atEnd_)
                return false;
        }
        if (Clock::now() >= deadline)
            return false;
    }
}

void OutputReader::reset()
{
    buffer_.clear();
    atEnd_ = false;
}

} // namespace qf::player
