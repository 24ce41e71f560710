#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/byte_buffer.h"
#include "core/clock_time.h"
#include "core/file_system.h"

namespace fs = qf::core::fs;
using qf::core::TextString;

namespace {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/qf-fs-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::removePath(path_.c_str()); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path) << bytes; }

} // namespace

TEST(FileSystem, ExistenceAndSize)
{
    TempDir dir;
    writeFile(dir / "a.txt", "12345");
    EXPECT_TRUE(fs::exists((dir / "a.txt").c_str()));
    EXPECT_TRUE(fs::isFile((dir / "a.txt").c_str()));
    EXPECT_FALSE(fs::isDirectory((dir / "a.txt").c_str()));
    EXPECT_TRUE(fs::isDirectory(dir.path().c_str()));
    EXPECT_FALSE(fs::isFile(dir.path().c_str()));
    EXPECT_EQ(fs::fileSize((dir / "a.txt").c_str()), 5);
    EXPECT_EQ(fs::fileSize(dir.path().c_str()), -1);
    EXPECT_EQ(fs::fileSize((dir / "missing").c_str()), -1);
    EXPECT_EQ(fs::fileSize(nullptr), -1);
    EXPECT_FALSE(fs::exists(nullptr));
}

TEST(FileSystem, ReadWholeFileKeepsTheBufferOnEveryFailure)
{
    TempDir dir;
    writeFile(dir / "a.bin", std::string("ab\0cd", 5));
    qf::core::ByteBuffer out;
    out.appendBytes("old", 3);
    ASSERT_TRUE(fs::readWholeFile((dir / "a.bin").c_str(), out));
    ASSERT_EQ(out.length(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), 5), std::string("ab\0cd", 5));
    EXPECT_EQ(out.remaining(), 5u);
    ASSERT_TRUE(fs::readWholeFile("/dev/null", out)); // no size to trust
    EXPECT_EQ(out.length(), 0u);

    out.appendBytes("old", 3);
    const struct {
        std::string path;
        uint32_t limit;
        int error;
    } failures[] = {
        {dir / "a.bin", 4, EFBIG},
        {dir.path(), 100, EISDIR},
        {dir / "missing", 100, ENOENT},
    };
    for (const auto& f : failures) {
        errno = 0;
        EXPECT_FALSE(fs::readWholeFile(f.path.c_str(), out, f.limit)) << f.path;
        EXPECT_EQ(errno, f.error) << f.path;
        EXPECT_EQ(out.length(), 3u) << f.path;
    }
}

TEST(FileSystem, NameAndDirectoryParts)
{
    EXPECT_STREQ(fs::fileNamePart("C:/a\\b/c.avi"), "c.avi");
    EXPECT_STREQ(fs::fileNamePart("C:\\a/b\\c.avi"), "c.avi");
    EXPECT_STREQ(fs::fileNamePart("plain"), "plain");
    EXPECT_EQ(fs::directoryPart("C:/Tools/Conv/x.avi"), "C:/Tools/Conv");
    EXPECT_EQ(fs::directoryPart("/home/u/x.avi"), "/home/u");
    char cwd[1024];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    EXPECT_EQ(fs::directoryPart("rel/x.avi"), (std::string(cwd) + "/rel").c_str());

    TextString s("a\\b/c");
    fs::setSeparators(s, '/');
    EXPECT_EQ(s, "a/b/c");
    fs::setSeparators(s, '\\');
    EXPECT_EQ(s, "a\\b\\c");
}

TEST(FileSystem, MakePathCreatesEveryLevel)
{
    TempDir dir;
    const std::string deep = dir / "输出/x/y";
    EXPECT_TRUE(fs::makePath(deep.c_str(), true));
    EXPECT_TRUE(fs::isDirectory(deep.c_str()));
    EXPECT_TRUE(fs::makePath(deep.c_str(), true)); // already there

    const std::string file = dir / "f/g/h.txt";
    EXPECT_TRUE(fs::makePath(file.c_str(), false));
    EXPECT_TRUE(fs::isFile(file.c_str()));
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // In a Linux path a backslash is a byte of the name, never a separator.
    const std::string named = dir / "f\\g\\h.txt";
    EXPECT_TRUE(fs::makePath(named.c_str(), false));
    EXPECT_EQ(::stat(named.c_str(), &st), 0);
    EXPECT_TRUE(fs::isFile(named.c_str()));
    EXPECT_EQ(fs::fileSize(named.c_str()), 0);
    EXPECT_STREQ(fs::fileNamePart(named.c_str()), "f\\g\\h.txt");
    EXPECT_EQ(fs::directoryPart(named.c_str()), dir.path().c_str());
    EXPECT_TRUE(fs::removePath(named.c_str()));
    EXPECT_FALSE(fs::exists(named.c_str()));
    EXPECT_TRUE(fs::isFile(file.c_str()));

    writeFile(dir / "blocker", "x");
    EXPECT_FALSE(fs::makePath((dir / "blocker/sub").c_str(), true));
}

TEST(FileSystem, RemovePathIsRecursiveButNeverFollowsLinks)
{
    TempDir dir;
    TempDir precious;
    writeFile(precious / "keep.txt", "user data");
    ASSERT_TRUE(fs::makePath((dir / "tree/a/b").c_str(), true));
    writeFile(dir / "tree/a/b/f.txt", "x");
    writeFile(dir / "tree/top.txt", "y");
    ASSERT_EQ(::symlink(precious.path().c_str(), (dir / "tree/a/link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "nowhere").c_str(), (dir / "tree/dangling").c_str()), 0);

    EXPECT_TRUE(fs::removePath((dir / "tree").c_str()));
    EXPECT_FALSE(fs::exists((dir / "tree").c_str()));
    EXPECT_TRUE(fs::isFile((precious / "keep.txt").c_str()));

    EXPECT_FALSE(fs::removePath((dir / "tree").c_str())); // missing fails
    writeFile(dir / "single", "z");
    EXPECT_TRUE(fs::removePath((dir / "single").c_str()));
}

TEST(ClockTime, TextRules)
{
    struct Case {
        const char* text;
        bool valid;
        uint32_t seconds;
    };
    const Case cases[] = {
        {"00:00:00", true, 0},  {"01:02:05", true, 3725}, {"23:59:59", true, 86399},
        {"24:00:00", false, 0}, {"00:60:00", false, 0},   {"00:00:60", false, 0},
        {"1:02:03", false, 0},  {"01:02:033", false, 0},  {"01-02-03", false, 0},
        {"0a:00:00", false, 0}, {"", false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(qf::core::isTimeText(c.text), c.valid) << c.text;
        EXPECT_EQ(qf::core::parseTime(c.text), c.seconds) << c.text;
    }
    EXPECT_FALSE(qf::core::isTimeText(nullptr));
    char buffer[16];
    qf::core::formatSeconds(3725, buffer);
    EXPECT_STREQ(buffer, "01:02:05");
    qf::core::formatSeconds(0, buffer);
    EXPECT_STREQ(buffer, "00:00:00");
    qf::core::formatSeconds(99 * 3600 + 59 * 60 + 59, buffer);
    EXPECT_STREQ(buffer, "99:59:59");
}
