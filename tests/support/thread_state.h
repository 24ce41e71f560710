#pragma once
// Test helper: whether another thread of this process has come to sleep, read
// from /proc. Tests use it to know a thread waits where they expect (in a
// send, on a condition) before they act, instead of sleeping a fixed time.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace qf::test {

// True once the thread whose id is (or will be) stored in tid is asleep;
// false after a generous 30 s. A tid of 0 means the thread has not started.
inline bool threadComesToSleep(const std::atomic<pid_t>& tid)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        if (const pid_t id = tid.load(); id != 0) {
            std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
            std::string text;
            std::getline(stat, text);
            // The state letter follows the command name, which may hold spaces.
            const size_t paren = text.rfind(')');
            if (paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'S')
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace qf::test
