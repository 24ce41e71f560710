// quillfer-cli probe, run as a user runs it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "probe/support/probe_media.h"

namespace qf::probe {
namespace {

namespace stdfs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const stdfs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program under the C locale with the given arguments (already
// quoted for the shell).
Outcome runCli(const std::string& arguments, const std::string& program = QF_PROGRAM_DIR "/quillfer-cli")
{
    char dir[] = "/tmp/qf-cli-probe-XXXXXX";
    EXPECT_NE(::mkdtemp(dir), nullptr);
    const stdfs::path out = stdfs::path(dir) / "out";
    const stdfs::path err = stdfs::path(dir) / "err";
    const std::string command
        = "LC_ALL=C '" + program + "' " + arguments + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    stdfs::remove_all(dir);
    return outcome;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

TEST(CliProbeTest, PrintsTheSummaryWithLineFeeds)
{
    const Outcome r = runCli("probe " + quoted(testing::probeMedia().videoAndAudio));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("源文件格式:AVI\n标准扩展名:avi\n\n视频编码:MPEG-4 Visual\n视频大小:160 x 120 pixels\n"
                          "视频帧速:25.000 fps\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\n\n音频编码:MPEG Audio\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_TRUE(r.out.ends_with("\n"));
    EXPECT_EQ(r.err, "");
}

TEST(CliProbeTest, ChineseFileNameUnderTheCLocale)
{
    const Outcome r = runCli("probe " + quoted(testing::probeMedia().chineseName));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("源文件格式:AVI\n", 0), 0u) << r.out;
}

TEST(CliProbeTest, RefusedAndMissingFilesAreReportedAndFailTheRun)
{
    const auto& media = testing::probeMedia();
    const std::string missing = media.dir + "/missing.avi";
    const Outcome r = runCli("probe " + quoted(media.audioOnly) + " " + quoted(media.text) + " " + quoted(missing) + " "
                             + quoted(media.videoOnly));
    EXPECT_EQ(r.status, 1);
    // Several files: each summary is headed by its path.
    EXPECT_EQ(r.out.rfind(media.audioOnly + "\n源文件格式:MPEG Audio\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n\n" + media.videoOnly + "\n源文件格式:AVI\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("\n无音频\n")) << r.out;
    EXPECT_NE(r.err.find("不能识别的文件类型。\n" + media.text + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
}

TEST(CliProbeTest, UsageAndHelp)
{
    const Outcome help = runCli("probe --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: quillfer-cli probe FILE..."), std::string::npos);
    const Outcome none = runCli("probe");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("usage:"), std::string::npos);
}

TEST(CliProbeTest, MissingLibraryFailsStartUp)
{
    // The program copied alone into a folder: no OLIVE.dll beside it.
    char dir[] = "/tmp/qf-cli-nolib-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const stdfs::path program = stdfs::path(dir) / "quillfer-cli";
    stdfs::copy_file(QF_PROGRAM_DIR "/quillfer-cli", program);
    const Outcome r = runCli("probe " + quoted(testing::probeMedia().videoAndAudio), program.string());
    stdfs::remove_all(dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("程序初始化失败"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace qf::probe
