#include "tasks/child_process_runner.h"

#include <chrono>
#include <thread>

namespace qf::tasks {

namespace {

constexpr size_t kChunk = 4096;

} // namespace

ChildProcessRunner::~ChildProcessRunner() { close(); }

bool ChildProcessRunner::start(std::string_view commandLine, const char* workingDirectory)
{
    close();
    error_.clear();
    auto child = std::make_unique<platform::ChildProcess>();
    platform::ChildProcess::Options options;
    options.stdinPipe = false;
    // Tools on this platform print their failures on standard error; a
    // failure line must reach the owner like any other.
    options.mergeStderr = true;
    options.workingDirectory = workingDirectory;
    if (!child->start(commandLine, options)) {
        error_ = child->error();
        return false;
    }
    child_ = std::move(child);
    reader_.reset();
    streamOpen_ = false;
    lineBytes_ = kLineSize - 1;
    return true;
}

bool ChildProcessRunner::openStream()
{
    if (!child_)
        return false;
    reader_.reset();
    streamOpen_ = true;
    return true;
}

void ChildProcessRunner::pump(size_t maxBytes)
{
    char chunk[kChunk];
    while (!reader_.finished() && !reader_.lineReady(maxBytes)) {
        const ptrdiff_t got = child_->read(chunk, sizeof chunk);
        if (got < 0)
            return; // nothing pending now
        if (got == 0)
            reader_.finish();
        else
            reader_.append(std::string_view(chunk, static_cast<size_t>(got)));
    }
}

bool ChildProcessRunner::readLine(char* buffer, size_t size)
{
    if (!streamOpen_ || !child_ || buffer == nullptr || size < 2)
        return false;
    lineBytes_ = size - 1;
    pump(lineBytes_);
    return reader_.nextLine(buffer, size);
}

bool ChildProcessRunner::readLine(core::TextString& line, size_t size)
{
    if (size < 2 || size > UINT32_MAX)
        return false;
    return readLine(line.reserve(static_cast<uint32_t>(size - 1)), size);
}

void ChildProcessRunner::waitForOutput(int timeoutMs)
{
    if (!child_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    // Once the pipe has reached its end it is always "readable": wait for the
    // program itself then.
    if (streamOpen_ && !reader_.finished())
        child_->waitReadable(timeoutMs);
    else
        child_->waitExit(timeoutMs);
}

bool ChildProcessRunner::hasExited()
{
    if (!child_)
        return true;
    if (!child_->hasExited())
        return false;
    if (!streamOpen_)
        return true;
    pump(lineBytes_);
    return !reader_.lineReady(lineBytes_);
}

bool ChildProcessRunner::outputStillHeld()
{
    // Unread output is of no use once the owner closes: drain it to learn
    // whether the pipe has reached its end.
    char chunk[kChunk];
    if (reader_.finished())
        return false;
    for (;;) {
        const ptrdiff_t got = child_->read(chunk, sizeof chunk);
        if (got < 0)
            return true;
        if (got == 0)
            return false;
    }
}

void ChildProcessRunner::close()
{
    if (!child_)
        return;
    // No window to ask politely (findWindow); a program that has not ended
    // within the polls is ended with its whole group.
    bool ended = child_->hasExited();
    for (int poll = 0; poll < kClosePolls && !ended; ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kClosePollMs));
        ended = child_->hasExited();
    }
    // A program that ended by itself may leave children behind that still
    // hold its output pipe. While one holds it the group still exists, so
    // signalling the group cannot reach anyone else.
    if (!ended || outputStillHeld())
        child_->terminate(0);
    child_.reset();
    reader_.reset();
    streamOpen_ = false;
}

} // namespace qf::tasks
