#pragma once
// Shared by the end-to-end tests: the generated clip, shell runs, paths.

#include <string>

namespace qf::integration {

inline constexpr double kClipSeconds = 10.0;
inline const std::string kProgramDir = QF_PROGRAM_DIR;
inline const std::string kDataDir = std::string(QF_TEST_DATA_DIR) + "/integration";

// The text as one single-quoted shell word.
std::string quote(const std::string& text);
// Runs a shell command; its standard output and error, and the exit status.
std::string run(const std::string& command, int* status = nullptr);
// 640x480, 25 fps, stereo 44.1 kHz, kClipSeconds long; made once and shared
// by every test process (written under a private name, then renamed).
const std::string& clip();

} // namespace qf::integration
