// The atomic writer: the name shows the old bytes or the new ones, never a
// part; the hidden file stands beside the name and is gone after every
// failure; a new file gets the permissions the umask gives any file.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/atomic_file.h"

using qf::core::AtomicFile;
using qf::core::writeFileAtomically;

namespace {

std::string scratch(const std::string& name)
{
    const std::string dir = QF_TEST_DATA_DIR "/core/atomic/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> names(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : saved_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(saved_); }

private:
    mode_t saved_;
};

TEST(AtomicFile, NewFilesGetTheUmasksPermissionsAndReplaceWhatStoodThere)
{
    const std::string dir = scratch("modes");
    const std::string data = dir + "/cfg";
    const struct {
        mode_t umask, requested, expected;
    } cases[] = {{022, 0666, 0644}, {077, 0666, 0600}, {027, 0777, 0750}, {0, 0666, 0666}};
    for (const auto& c : cases) {
        const UmaskGuard guard(c.umask);
        EXPECT_EQ(qf::core::currentUmask(), c.umask);
        std::string error;
        ASSERT_TRUE(writeFileAtomically(data, "bytes " + std::to_string(c.umask), c.requested, &error)) << error;
        EXPECT_EQ(modeOf(data), c.expected) << std::oct << c.umask;
        EXPECT_EQ(readFile(data), "bytes " + std::to_string(c.umask));
    }
    // A read-only file is replaced too: the folder is what is written.
    ::chmod(data.c_str(), 0444);
    const UmaskGuard guard(022);
    ASSERT_TRUE(writeFileAtomically(data, std::string("\0binary\xff", 8)));
    EXPECT_EQ(readFile(data), std::string("\0binary\xff", 8));
    EXPECT_EQ(modeOf(data), 0644u);
    EXPECT_EQ(names(dir), std::set<std::string>{"cfg"});
}

TEST(AtomicFile, TheNameKeepsItsOldBytesUntilTheCommit)
{
    const std::string dir = scratch("commit");
    const std::string path = dir + "/out.bin";
    std::ofstream(path) << "old";
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.isOpen()) << file.error();
        // Beside the name, hidden, under a name of its own.
        const std::filesystem::path temp(file.temporaryPath());
        EXPECT_EQ(temp.parent_path(), std::filesystem::path(dir));
        EXPECT_EQ(temp.filename().string().rfind(".out.bin.part-", 0), 0u) << temp;
        EXPECT_TRUE(file.write("new "));
        std::fputs("streamed", file.stream());
        EXPECT_EQ(readFile(path), "old");
        EXPECT_EQ(names(dir).size(), 2u);
        ASSERT_TRUE(file.commit()) << file.error();
        EXPECT_EQ(file.stream(), nullptr);
    }
    EXPECT_EQ(readFile(path), "new streamed");
    EXPECT_EQ(names(dir), std::set<std::string>{"out.bin"});

    // Dropped without a commit: nothing of it stays.
    {
        AtomicFile file(path);
        file.write("abandoned");
    }
    EXPECT_EQ(readFile(path), "new streamed");
    EXPECT_EQ(names(dir), std::set<std::string>{"out.bin"});
}

TEST(AtomicFile, EveryFailureRemovesTheTemporaryAndKeepsTheOldFile)
{
    const std::string dir = scratch("failures");
    std::string error;

    // No folder to write in: nothing is made, and the reason names the file.
    EXPECT_FALSE(writeFileAtomically(dir + "/missing/cfg", "x", 0666, &error));
    EXPECT_NE(error.find(dir + "/missing/cfg"), std::string::npos) << error;
    EXPECT_FALSE(writeFileAtomically("", "x", 0666, &error));
    EXPECT_FALSE(writeFileAtomically(dir + "/", "x", 0666, &error));
    EXPECT_TRUE(names(dir).empty());

    // A folder under the name: the rename fails after the bytes were written.
    std::filesystem::create_directories(dir + "/taken/inside");
    error.clear();
    EXPECT_FALSE(writeFileAtomically(dir + "/taken", "x", 0666, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(names(dir), std::set<std::string>{"taken"});
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/taken/inside"));

    // The disk refuses the bytes (a file-size limit stands in for a full
    // disk), in a child so that the limit ends with it.
    const std::string path = dir + "/cfg";
    std::ofstream(path) << "old";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string why;
        const bool written = writeFileAtomically(path, std::string(64 * 1024, 'x'), 0666, &why);
        ::_exit(!written && !why.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write error is reported";
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(names(dir), (std::set<std::string>{"cfg", "taken"}));
}

} // namespace
