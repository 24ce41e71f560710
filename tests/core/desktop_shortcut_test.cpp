// The desktop shortcut: its keys, its quoting, its run bit, replacement of
// an older one, and what desktop-file-validate makes of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "core/file_system.h"
#include "core/platform/desktop_shortcut.h"

using namespace qf::platform;
namespace fs = qf::core::fs;

namespace {

std::string scratch(const std::string& name)
{
    // std::filesystem, since these folders hold names with backslashes,
    // which the engine's path helpers take for separators.
    const std::string dir = QF_TEST_DATA_DIR "/core/shortcut/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::string makeFile(const std::string& path, const std::string& text = "#!/bin/sh\n")
{
    std::ofstream(path) << text;
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> listFolder(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// desktop-file-validate's verdict: its exit status and everything it printed.
std::pair<int, std::string> validate(const std::string& file)
{
    const std::string command = "desktop-file-validate '" + file + "' 2>&1";
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return {-1, "cannot run desktop-file-validate"};
    std::string out;
    char buf[256];
    while (const size_t n = std::fread(buf, 1, sizeof buf, p))
        out.append(buf, n);
    const int status = ::pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

} // namespace

TEST(DesktopShortcut, ExecQuotesAndEscapesThePath)
{
    // Quoting escapes " ` $ \ with a backslash; the string rules then double
    // every backslash; a literal % is written %%.
    struct Case {
        const char* path;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/quillfer", R"("/usr/bin/quillfer")"},
        {"/opt/my app/quillfer", R"("/opt/my app/quillfer")"},
        {"/opt/q$fer", R"("/opt/q\\$fer")"},
        {"/opt/a\\b", R"("/opt/a\\\\b")"},
        {"/opt/a\"b", R"("/opt/a\\"b")"},
        {"/opt/a`b", R"("/opt/a\\`b")"},
        {"/opt/100%/q", R"("/opt/100%%/q")"},
        {"/opt/转换/程序", R"("/opt/转换/程序")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(desktopExecValue(c.path), c.exec) << c.path;
}

TEST(DesktopShortcut, RefusesPathsADesktopEntryCannotHold)
{
    EXPECT_EQ(desktopEntryText("/opt/a\nb"), "");
    EXPECT_EQ(desktopEntryText("/opt/a\tb"), "");
    EXPECT_EQ(desktopEntryText("/opt/\xC3("), ""); // cut sequence
    EXPECT_EQ(desktopEntryText("/opt/\xC0\xAF"), ""); // overlong slash
    EXPECT_EQ(desktopEntryText("/opt/\xE4\xB8"), ""); // truncated at the end
    EXPECT_EQ(desktopEntryText(""), "");
    EXPECT_NE(desktopEntryText("/opt/中文"), "");
}

TEST(DesktopShortcut, WritesAnExecutableEntryThatStartsTheProgram)
{
    const std::string desk = scratch("writes");
    const std::string programs = scratch("writes-programs");
    const std::string exe = makeFile(programs + "/quillfer");

    std::string error;
    ASSERT_TRUE(createDesktopShortcut(desk, exe, &error)) << error;
    const std::string file = desk + "/Tarnwell3.5.desktop";
    EXPECT_EQ(desktopShortcutPath(desk), file);
    EXPECT_EQ(readFile(file), "[Desktop Entry]\nType=Application\nName=Tarnwell3.5\nExec=\"" + exe + "\"\n");
    EXPECT_EQ(modeOf(file) & 0111, 0111u) << std::oct << modeOf(file);
    EXPECT_EQ(listFolder(desk), std::vector<std::string>{"Tarnwell3.5.desktop"}); // no temporary left

    const auto [status, output] = validate(file);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "");
}

TEST(DesktopShortcut, ValidatesWithAwkwardProgramPaths)
{
    const std::string desk = scratch("awkward");
    const std::string base = scratch("awkward-programs");
    const char* folders[] = {"/my app", "/q$fer", "/a\\b", "/a\"b", "/100%", "/转换 程序"};
    for (const char* folder : folders) {
        const std::string dir = base + folder;
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0) << dir; // not makePath: it splits at backslashes
        const std::string exe = makeFile(dir + "/quillfer");
        ASSERT_TRUE(createDesktopShortcut(desk, exe)) << exe;
        const auto [status, output] = validate(desk + "/Tarnwell3.5.desktop");
        EXPECT_EQ(status, 0) << folder << ": " << output;
        EXPECT_EQ(output, "") << folder;
    }
}

TEST(DesktopShortcut, ReplacesOneOfTheSameName)
{
    const std::string desk = scratch("replace");
    const std::string exe = makeFile(scratch("replace-programs") + "/quillfer");
    const std::string file
        = makeFile(desk + "/Tarnwell3.5.desktop", "[Desktop Entry]\nType=Application\nName=old\nExec=/old\n");
    ::chmod(file.c_str(), 0644);
    const std::string neighbour = makeFile(desk + "/notes.txt", "mine");

    ASSERT_TRUE(createDesktopShortcut(desk, exe));
    EXPECT_NE(readFile(file).find("Exec=\"" + exe + "\""), std::string::npos);
    EXPECT_EQ(readFile(file).find("old"), std::string::npos);
    EXPECT_EQ(modeOf(file) & 0111, 0111u);
    EXPECT_EQ(readFile(neighbour), "mine");
    EXPECT_EQ(listFolder(desk).size(), 2u);
}

TEST(DesktopShortcut, FailsWithoutTouchingAnything)
{
    const std::string base = scratch("fails");
    const std::string exe = makeFile(base + "/quillfer");
    std::string error;

    // No desktop folder: it is not created.
    EXPECT_FALSE(createDesktopShortcut(base + "/Desktop", exe, &error));
    EXPECT_NE(error.find("desktop folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists((base + "/Desktop").c_str()));

    const std::string desk = base + "/desk";
    fs::makePath(desk.c_str(), true);
    EXPECT_FALSE(createDesktopShortcut(desk, base + "/missing", &error));
    EXPECT_FALSE(createDesktopShortcut(desk, base, &error)); // a folder is no program
    EXPECT_TRUE(listFolder(desk).empty());

    // A folder that happens to have the shortcut's name stays as it is.
    const std::string taken = desk + "/Tarnwell3.5.desktop";
    fs::makePath((taken + "/inside").c_str(), false);
    EXPECT_FALSE(createDesktopShortcut(desk, exe, &error));
    EXPECT_TRUE(fs::isFile((taken + "/inside").c_str()));
    EXPECT_EQ(listFolder(desk), std::vector<std::string>{"Tarnwell3.5.desktop"});
}
