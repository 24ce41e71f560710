#pragma once
// A scratch program directory holding fake helper programs (shell scripts
// under the system's file names), for tests that pin how the job reacts to
// exactly the lines and files a program leaves. Every fake appends its name
// and arguments to calls.log, one call per line, each argument in brackets.

#include <string>
#include <vector>

#include "tasks/conversion_worker.h"

namespace qf::tasks::testing {

class FakePrograms {
public:
    FakePrograms();
    ~FakePrograms();
    FakePrograms(const FakePrograms&) = delete;
    FakePrograms& operator=(const FakePrograms&) = delete;

    const std::string& dir() const { return dir_; }
    // Writes <dir>/<name>: the call logging, then body (POSIX sh; "$OUT" is
    // the argument after -o, "$LAST" the last argument).
    void write(const char* name, const std::string& body);
    void remove(const char* name);
    // The well-behaved set: an encoder that prints progress and writes its
    // -o file (or the extracted stream), a probe printing 25 fps, muxers and
    // an atom editor that write their outputs.
    void writeStandardSet();

    ConversionWorker::Environment environment() const;
    std::vector<std::string> calls() const;
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> listDir(const std::string& dir);

} // namespace qf::tasks::testing
