#pragma once
// The power-off after the last conversion: the system's `shutdown` command
// schedules a power-off in one minute with a message to every terminal, and
// the user can still cancel it with `shutdown -c`. Blocks the caller until
// the command has answered (it returns as soon as the power-off is
// scheduled). Any thread; the folder list below belongs to the UI thread.

#include <string>
#include <vector>

namespace qf::platform {

// What the users are told.
inline constexpr const char* kShutdownMessage
    = "Tarnwell 3.5  全部转换任务已经完成,WINDOWS 即将关机！\n\n如果要取消这个操作请打开终端,运行 shutdown -c";

// The arguments after the program name: "-P", "+1", the message.
std::vector<std::string> shutdownArguments(const std::string& message);

// Where `shutdown` is looked for after the folders of $PATH: an ordinary
// user's PATH on Debian lacks the sbin folders that hold it. Process-wide;
// a test that must not reach the real command empties it.
std::vector<std::string>& shutdownFallbackFolders();

// The first executable "shutdown" in the folders of pathVariable (a
// colon-separated list; empty entries are skipped), then in the fallbacks.
// Empty when there is none.
std::string findShutdownCommand(const std::string& pathVariable, const std::vector<std::string>& fallbacks);

// Runs `program -P +1 message` (no shell) and waits up to timeoutMs for it.
// True only when it ran and exited with status 0; a program that cannot be
// started, fails, dies or hangs (it is then killed) gives false, with
// *error saying why when given.
bool scheduleShutdown(const std::string& program, const std::string& message, std::string* error = nullptr,
                      int timeoutMs = 15000);

// The whole request: `shutdown` looked up through $PATH and the fallbacks,
// then scheduled with kShutdownMessage. False when it is missing or fails.
bool requestSystemShutdown(std::string* error = nullptr);

} // namespace qf::platform
