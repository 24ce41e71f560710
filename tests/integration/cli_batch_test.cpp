// Several quillfer-cli processes converting into one output folder at once,
// as a job scheduler runs them: each output whole, no name taken twice, and
// nothing of any run left beside the outputs.

#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "integration/support/integration_support.h"

namespace {

using namespace qf::integration;
namespace stdfs = std::filesystem;

const std::string kCli = kProgramDir + "/quillfer-cli";

// A short small clip of its own: four two-pass runs at once on a shared
// machine must stay quick.
std::string shortClip(const std::string& folder)
{
    const std::string path = folder + "/short.avi";
    int status = -1;
    const std::string out = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=1.5"
                                " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.5 -ac 2 -c:v mpeg4"
                                " -q:v 5 -c:a mp3 -b:a 96k " + quote(path),
                                &status);
    EXPECT_EQ(status, 0) << out;
    return path;
}

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : stdfs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(CliBatch, FourProcessesConvertingTwoPassDvdIntoOneFolderAtOnce)
{
    const std::string base = kDataDir + "/cli-batch-dvd";
    const std::string out = base + "/out";
    stdfs::remove_all(base);
    stdfs::create_directories(out);
    const std::string source = shortClip(base);
    const std::string scratch = base + "/tmp";
    stdfs::create_directories(scratch);

    constexpr int kProcesses = 4;
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const std::string log = base + "/log" + std::to_string(i) + ".txt";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // All four share one temporary folder too, as on one machine.
            ::setenv("TMPDIR", scratch.c_str(), 1);
            const std::string command = quote(kCli) + " convert -c 4 -m 0 -f 10 --output-folder " + quote(out) + " "
                + quote(source) + " >" + quote(log) + " 2>&1";
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        children.push_back(pid);
    }
    for (int i = 0; i < kProcesses; ++i) {
        int status = 0;
        ASSERT_EQ(waitpid(children[static_cast<size_t>(i)], &status, 0), children[static_cast<size_t>(i)]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << run("cat " + quote(base + "/log" + std::to_string(i) + ".txt"));
    }

    // Four outputs with four names, and nothing else: no log, no partial
    // file, no scratch folder, in the output folder or the temporary one.
    const std::vector<std::string> names = namesIn(out);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"short.avi-mpg.mpg", "short.avi-mpg (2).mpg", "short.avi-mpg (3).mpg",
                                     "short.avi-mpg (4).mpg"}));
    EXPECT_TRUE(namesIn(scratch).empty());
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string file = out + "/" + name;
        int status = -1;
        const std::string streams = run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(file), &status);
        EXPECT_EQ(status, 0) << streams;
        EXPECT_NE(streams.find("mpeg2video"), std::string::npos) << streams;
        // A DVD program stream that the authoring tool takes as a title.
        const std::string dvd = base + "/dvd-" + std::to_string(&name - names.data());
        const std::string authored = run("cd " + quote(base) + " && VIDEO_FORMAT=NTSC dvdauthor -o " + quote(dvd) + " -t "
                                             + quote(file) + " 2>&1 && VIDEO_FORMAT=NTSC dvdauthor -o " + quote(dvd) + " -T 2>&1",
                                         &status);
        EXPECT_EQ(status, 0) << authored;
        EXPECT_TRUE(stdfs::exists(dvd + "/VIDEO_TS/VTS_01_1.VOB")) << authored;
    }
}

} // namespace
