#include "integration/support/integration_support.h"

#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qf::integration {

namespace stdfs = std::filesystem;

std::string quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string run(const std::string& command, int* status)
{
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int raw = pclose(pipe);
    if (status)
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

const std::string& clip()
{
    static const std::string path = [] {
        const std::string target = kDataDir + "/clip 640x480.avi";
        if (stdfs::exists(target))
            return target;
        stdfs::create_directories(kDataDir);
        const std::string scratch = kDataDir + "/clip." + std::to_string(getpid()) + ".avi";
        int status = -1;
        const std::string out
            = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=640x480:rate=25:duration="
                      + std::to_string(kClipSeconds) + " -f lavfi -i sine=frequency=440:sample_rate=44100:duration="
                      + std::to_string(kClipSeconds) + " -ac 2 -c:v mpeg4 -q:v 5 -c:a mp3 -b:a 128k " + quote(scratch),
                  &status);
        if (status != 0) {
            ADD_FAILURE() << "ffmpeg could not make the clip: " << out;
            return target;
        }
        stdfs::rename(scratch, target);
        return target;
    }();
    return path;
}

} // namespace qf::integration
