// quillfer-cli formats / commands, run as the user runs them: a copy of the
// program in a program directory of its own, with its own "cfg" file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "core/byte_buffer.h"
#include "core/file_system.h"
#include "settings/configuration_file.h"

namespace qf::convert {
namespace {

namespace stdfs = std::filesystem;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string shellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string cli = std::string(QF_PROGRAM_DIR) + "/quillfer-cli";
        ASSERT_TRUE(core::fs::isFile(cli.c_str())) << "build quillfer-cli first: " << cli;
        char pattern[] = "/tmp/qf-cli-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        prog_ = dir_ + "/prog";
        stdfs::create_directories(prog_);
        // A copy, not a link: the program directory is where the executable is.
        stdfs::copy_file(cli, prog_ + "/quillfer-cli");
        stdfs::permissions(prog_ + "/quillfer-cli", stdfs::perms::owner_all);
        stdfs::create_symlink(stdfs::canonical(std::string(QF_PROGRAM_DIR) + "/OLIVE.dll"), prog_ + "/OLIVE.dll");
        stdfs::create_directories(dir_ + "/home");
        clip_ = dir_ + "/clip one.avi";
        std::ofstream(clip_) << "not media";
    }
    void TearDown() override { stdfs::remove_all(dir_); }

    CliRun run(const std::string& args) const
    {
        const std::string cmd = "cd " + shellQuote(dir_) + " && HOME=" + shellQuote(dir_ + "/home")
            + " XDG_CONFIG_HOME=" + shellQuote(dir_ + "/xdg") + " " + shellQuote(prog_ + "/quillfer-cli") + " " + args
            + " >" + shellQuote(dir_ + "/out") + " 2>" + shellQuote(dir_ + "/err");
        CliRun r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(dir_ + "/out");
        r.err = readFile(dir_ + "/err");
        return r;
    }

    std::string enc() const { return "\"" + prog_ + "/ALDER.DAT\""; }

    std::string dir_, prog_, clip_;
};

TEST_F(CliTest, CommandsPrintsBothLinesOfADiscConversion)
{
    const CliRun r = run("commands -c DVD -m 0 -f 10 --media av --output-folder out " + shellQuote(clip_));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string head = enc() + " \"" + clip_ + "\" -of mpeg -mpegopts format=dvd";
    const std::string out = " -o \"" + dir_ + "/out/clip one.avi-mpg.mpg\"";
    EXPECT_EQ(r.out,
              head
                  + " -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts "
                    "vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:"
                    "vrc_maxrate=9600:vpass=1 -nosound -o \""
                  + dir_ + "/out/clip one.avi-mpg.mpg\"\n" + head
                  + " -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 "
                    "-oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:"
                    "aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2"
                  + out + "\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, CommandsAppliesSetsTimesAndMediaFlags)
{
    const CliRun r = run("commands -c 3 -m 0 -f 9 --media video --start 00:01:00 --stop 00:02:30 --set "
                         "videoBitrateIndex=9 --set frameSizeIndex=0 --output-folder /o "
                         + shellQuote(clip_));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              enc() + " \"" + clip_
                  + "\" -of lavf -lavfopts format=flv -ss 00:01:00 -endpos 00:01:30 -af volnorm -srate 44100 "
                    "-vf-add  -nosound -of rawvideo -ovc lavc -lavcopts vcodec=flv:vbitrate=600 -o \"/o/clip "
                    "one.avi-flv.flv\"\n\n");
}

TEST_F(CliTest, ModelAndFormatByName)
{
    const CliRun byName
        = run("commands -c 网页\\ WebM -m 720p -f WEBM-vp9,opus --media audio --output-folder /o " + shellQuote(clip_));
    const CliRun byIndex = run("commands -c 11 -m 1 -f 18 --media audio --output-folder /o " + shellQuote(clip_));
    ASSERT_EQ(byName.status, 0) << byName.err;
    EXPECT_EQ(byName.out, byIndex.out);
    EXPECT_NE(byName.out.find("clip one.avi-webm.webm"), std::string::npos) << byName.out;
}

TEST_F(CliTest, WrongChoicesNameTheValidOnes)
{
    struct Case {
        const char* args;
        const char* mentions;
    };
    const Case cases[] = {
        {"commands -c 13 -m 0 -f 9 --media av", "7 MP3, 8 通用高清"},
        {"commands -c Zune -m 0 -f 9 --media av", "0 手机"},
        {"commands -c ipod -m 4 -f 8 --media av", "3 Shuffle"},
        {"commands -c IPOD -m 3 -f 5 --media av", "8 mp3"},
        {"commands -c 4 -m 0 -f x --media av", "10 mpg-NTSC, 11 mpg-PAL"},
        {"commands -c 12 -m 0 -f webm-VP9,Opus --media av", "19 m4a-AAC, 20 flac, 21 opus"},
        {"commands -c 4 -m 0 -f 10 --media av --set colour=1", "videoBitrateIndex (0..39)"},
        {"commands -c 4 -m 0 -f 10 --media av --set videoCodec=13", "0..12"},
        {"commands -c 4 -m 0 -f 10 --media av --start 24:00:00", "HH:MM:SS"},
        {"commands -c 4 -m 0 -f 10 --media sound", "auto, av, video, audio"},
        {"commands -c 4 -m 0 --media av", "-f FORMAT"},
        {"commands -c 4 -m 0 -f 10 --bogus", "未知的选项 --bogus"},
        // Each subcommand takes the options it lists, and no other's.
        {"commands -c 4 -m 0 -f 10 --media av -o x", "未知的选项 -o；可用的选项见 'quillfer-cli commands --help'"},
        {"commands -c 4 -m 0 -f 10 --media av --jobs 2", "未知的选项 --jobs"},
        {"commands -c 4 -m 0 -f 10 --media av --if-exists skip", "未知的选项 --if-exists"},
        {"commands -c 4 -m 0 -f 10 --media av -r", "未知的选项 -r"},
        {"convert -c 4 -m 0 -f 10 --media av --out x", "选项 --out 有歧义：--output-folder、--output"},
        {"convert -c 4 -m 0 -f 10 --media av --dry-run=yes", "选项 --dry-run 不带值"},
        {"convert -c 4 -m 0 -f 10 --media av --jobs=0", "--jobs '0' 不是 1..64"},
        {"presets export 新 x.preset -c 1 -m 0 -f 5 -j 2", "未知的选项 -j"},
        {"formats --members=1", "选项 --members 不带值"},
        {"probe -x", "未知的选项 -x；可用的选项见 'quillfer-cli probe --help'"},
        // The file names the category and model: -c or -m beside it is a mistake.
        {"commands --preset-file x.preset -c 1 -f 5 --media av", "不能再用 -c 或 -m"},
        {"commands --preset-file x.preset -m 0 -f 5 --media av", "不能再用 -c 或 -m"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = run(std::string(c.args) + " " + shellQuote(clip_));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
    }
    EXPECT_EQ(run("commands -c 4 -m 0 -f 10 --media av").status, 2); // no file
    for (const char* args : {"commands -c 4 -m 0 -f", "convert -c 4 -m 0 --format"}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(std::string("选项") + std::strrchr(args, ' ') + " 需要一个值"), std::string::npos)
            << r.err;
    }
    const CliRun missing = run("commands -c 4 -m 0 -f 10 --media av /no/such.avi");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/no/such.avi"), std::string::npos);
}

TEST_F(CliTest, ValuesFollowAnEqualsSignOrTheNextWord)
{
    const std::string file = shellQuote(clip_);
    const CliRun apart
        = run("commands -c 4 -m 0 -f 10 --media av --output-folder /o --set videoBitrateIndex=9 " + file);
    const CliRun joined
        = run("commands -c4 --model=0 -f10 --media=av --output-folder=/o --set=videoBitrateIndex=9 -- " + file);
    ASSERT_EQ(joined.status, 0) << joined.err;
    EXPECT_EQ(joined.out, apart.out);

    const CliRun dry = run("convert --jobs=2 -c 4 -m 0 -f 10 --media=av --output-folder=/o --dry-run " + file);
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.out, "将转换：" + clip_ + " -> /o/clip one.avi-mpg.mpg\n试运行：将转换 1，跳过 0，失败 0，停止 0\n");
}

// Each subcommand's --help lists exactly the options it takes; Tab offers
// those, and the man page describes each of convert's.
TEST_F(CliTest, HelpListsTheOptionsThatBashAndTheManPageOffer)
{
    const std::string choice = "-c --category -m --model -f --format --preset-file --start --stop ";
    const std::pair<const char*, std::string> cases[] = {
        {"commands", choice + "--output-folder --media --set"},
        {"convert",
         choice
             + "--output-folder --media --set -o --output --if-exists -r --recursive --keep-tree -j --jobs "
               "--progress --name --dry-run -q --quiet"},
        {"presets", choice + "--set"},
        {"formats", "--members"},
        {"probe", ""},
    };
    const std::string completion = std::string(QF_SOURCE_DIR) + "/packaging/quillfer-cli.bash-completion";
    const std::string tab = ". /usr/share/bash-completion/bash_completion && . \"$1\" && COMP_WORDS=(\"$2\" \"$3\" -) "
                            "COMP_CWORD=2 COMP_LINE=\"$2 $3 -\" COMP_POINT=${#COMP_LINE} && _quillfer_cli \"$2\" - "
                            "\"$3\" && printf '%s\\n' \"${COMPREPLY[@]}\"";
    const std::string man = readFile(std::string(QF_SOURCE_DIR) + "/packaging/quillfer-cli.1");
    const size_t from = man.find(".SH CONVERT OPTIONS\n");
    const std::string convertOptions = man.substr(from, man.find("\n.SH ", from + 1) - from);
    for (const auto& [sub, expected] : cases) {
        SCOPED_TRACE(sub);
        const CliRun help = run(std::string(sub) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find(std::string("usage: quillfer-cli ") + sub), std::string::npos) << help.out;
        // The forms stand on lines that start with "  -", before the description.
        std::string listed;
        std::istringstream lines(help.out);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream forms(line.starts_with("  -") ? line.substr(0, line.find("  ", 2)) : "");
            for (std::string word; forms >> word;)
                if (word[0] == '-')
                    listed += (listed.empty() ? "" : " ") + word.substr(0, word.find(','));
        }
        EXPECT_EQ(listed, expected);

        const std::string offered = dir_ + "/offered";
        ASSERT_EQ(std::system(("ASAN_OPTIONS=detect_leaks=0 bash -c " + shellQuote(tab) + " _ " + shellQuote(completion)
                               + " " + shellQuote(prog_ + "/quillfer-cli") + " " + sub + " >" + shellQuote(offered))
                                  .c_str()),
                  0);
        std::multiset<std::string> got, want{"--help"};
        std::istringstream offeredWords(readFile(offered)), expectedWords(expected);
        for (std::string word; offeredWords >> word;)
            got.insert(word);
        for (std::string word; expectedWords >> word;)
            want.insert(word);
        EXPECT_EQ(got, want);

        if (std::string(sub) == "convert") {
            std::istringstream options(expected);
            for (std::string option; options >> option;) {
                std::string troff;
                for (const char c : option)
                    troff += c == '-' ? std::string("\\-") : std::string(1, c);
                EXPECT_TRUE(convertOptions.find(troff + " ") != std::string::npos
                            || convertOptions.find(troff + "\n") != std::string::npos)
                    << "the man page's CONVERT OPTIONS lack " << option;
            }
        }
    }
}

TEST_F(CliTest, PresetsFromTheCfgFileComeFirstAndAreNeverRewritten)
{
    settings::Configuration c;
    DeviceModelList panel;
    ConversionSettings s;
    s.selectModel(1, 0, 5);
    s.videoBitrateIndex = 12;
    addPreset("我的 Touch", s, c.presets, panel);
    c.outputFolder = (dir_ + "/输出").c_str();
    ASSERT_TRUE(settings::saveConfigurationFile(c, (prog_ + "/cfg").c_str()));
    const std::string before = readFile(prog_ + "/cfg");

    const CliRun list = run("formats");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("1 IPOD\n  0 我的 Touch (preset)\n    5 mp4-X264,AAC\n  1 Touch\n    5 mp4-X264,AAC\n"),
              std::string::npos)
        << list.out;
    EXPECT_NE(list.out.find("3 Flash Player\n  0 默认参数\n    9 flv\n"), std::string::npos);

    const CliRun preset = run("commands -c 1 -m 0 -f 5 --media av " + shellQuote(clip_));
    ASSERT_EQ(preset.status, 0) << preset.err;
    EXPECT_NE(preset.out.find("bitrate=800:level_idc=13"), std::string::npos) << preset.out;
    EXPECT_NE(preset.out.find(" -o \"" + dir_ + "/输出/clip one.avi-mp4.mp4\"\n\n"), std::string::npos);
    EXPECT_EQ(run("commands -c 1 -m 0 -f 6 --media av " + shellQuote(clip_)).status, 2);

    EXPECT_EQ(readFile(prog_ + "/cfg"), before);
    // Read only: the output folder is not made by merely printing commands.
    EXPECT_FALSE(stdfs::exists(dir_ + "/输出"));

    std::ofstream(prog_ + "/cfg", std::ios::trunc) << "garbage";
    EXPECT_EQ(run("formats").status, 0);
    EXPECT_EQ(readFile(prog_ + "/cfg"), "garbage");
    EXPECT_FALSE(stdfs::exists(prog_ + "/cfg.bad"));
}

// The default media mode probes the file with the real library.
TEST_F(CliTest, AutoMediaProbesTheFile)
{
    const std::string audio = dir_ + "/tone.wav";
    const std::string gen = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=duration=1 " + shellQuote(audio);
    ASSERT_EQ(std::system(gen.c_str()), 0) << "ffmpeg is needed";
    const CliRun r = run("commands -c 3 -m 0 -f 9 --output-folder /o " + shellQuote(audio));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" -ovc frameno -of rawaudio -o \"/o/tone.wav-flv.flv\"\n"), std::string::npos) << r.out;

    const CliRun refused = run("commands -c 3 -m 0 -f 9 " + shellQuote(clip_));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("不能识别的文件类型。"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
}

} // namespace
} // namespace qf::convert

namespace qf::convert {
namespace {

TEST_F(CliTest, APresetTravelsThroughAFileAndConvertsAsBefore)
{
    settings::Configuration c;
    DeviceModelList panel;
    ConversionSettings s;
    s.selectModel(1, 0, 5);
    s.videoBitrateIndex = 12;
    addPreset("我的 Touch", s, c.presets, panel);
    c.outputFolder = (dir_ + "/输出").c_str();
    ASSERT_TRUE(settings::saveConfigurationFile(c, (prog_ + "/cfg").c_str()));
    const std::string file = dir_ + "/touch.preset";

    EXPECT_EQ(run("presets export 没有 " + shellQuote(file)).status, 2);
    ASSERT_EQ(run("presets export '我的 Touch' " + shellQuote(file)).status, 0);
    // Never over a file that stands there.
    EXPECT_EQ(run("presets export '我的 Touch' " + shellQuote(file)).status, 1);

    // The file alone gives the preset's command lines, as its row does.
    const CliRun byRow = run("commands -c 1 -m 0 -f 5 --media av " + shellQuote(clip_));
    const CliRun byFile = run("commands --preset-file " + shellQuote(file) + " -f 5 --media av " + shellQuote(clip_));
    ASSERT_EQ(byFile.status, 0) << byFile.err;
    EXPECT_EQ(byFile.out, byRow.out);
    EXPECT_NE(byFile.out.find("bitrate=800:level_idc=13"), std::string::npos) << byFile.out;
    // And by its name.
    EXPECT_EQ(run("commands -c 1 -m '我的 Touch' -f 5 --media av " + shellQuote(clip_)).out, byRow.out);

    // A person can read it: the category and format by name, each member by its own.
    const std::string text = readFile(file);
    EXPECT_EQ(text.find("[quillfer-preset 1]\nname = 我的 Touch\ncategory = IPOD\nformat = mp4-X264,AAC\n"),
              text.find("[quillfer-preset 1]"))
        << text;
    EXPECT_NE(text.find("\nvideoBitrateIndex = 12\n"), std::string::npos) << text;
    EXPECT_EQ(run("presets show '我的 Touch'").out, text);
    EXPECT_EQ(run("presets list").out, "IPOD\t我的 Touch\tmp4-X264,AAC\n");

    // Imported where it is not yet: the cfg gains it, readable by the program,
    // and written out again as the same text (text, then the cfg's binary
    // record, then text: another user gets what the first one wrote).
    settings::Configuration empty;
    empty.outputFolder = (dir_ + "/输出").c_str();
    ASSERT_TRUE(settings::saveConfigurationFile(empty, (prog_ + "/cfg").c_str()));
    ASSERT_EQ(run("presets import " + shellQuote(file)).status, 0);
    EXPECT_EQ(run("presets import " + shellQuote(file)).status, 1); // there already
    settings::Configuration back;
    ASSERT_TRUE(
        settings::loadConfigurationFile(back, (prog_ + "/cfg").c_str(), prog_.c_str(), settings::LoadMode::ReadOnly));
    ASSERT_EQ(back.presets.size(), 1);
    EXPECT_STREQ(back.presets.at(0)->name.c_str(), "我的 Touch");
    EXPECT_EQ(run("commands -c 1 -m 0 -f 5 --media av " + shellQuote(clip_)).out, byRow.out);
    ASSERT_EQ(run("presets export '我的 Touch' " + shellQuote(dir_ + "/again.preset")).status, 0);
    EXPECT_EQ(readFile(dir_ + "/again.preset"), text);

    // Made from options alone, without the window: the same settings.
    ASSERT_EQ(run("presets export 新的 " + shellQuote(dir_ + "/new.preset")
                  + " -c IPOD -m Touch -f 5 --set videoBitrateIndex=12")
                  .status,
              0);
    EXPECT_EQ(
        run("commands --preset-file " + shellQuote(dir_ + "/new.preset") + " -f 5 --media av " + shellQuote(clip_)).out,
        byRow.out);

    // Deleted by name, once.
    EXPECT_EQ(run("presets delete '我的 Touch'").status, 0);
    EXPECT_EQ(run("presets list").out, "");
    EXPECT_EQ(run("presets delete '我的 Touch'").status, 2);

    // An older binary preset file (the header line, the record's length, the
    // record as the cfg stores it, its FNV-1a check) still reads; a cut or
    // altered one is refused, and an unreadable cfg is never replaced.
    core::ByteBuffer record;
    back.presets.at(0)->encode(record);
    std::string binary = "QUILLFER-PRESET 1\n";
    uint32_t check = 2166136261u;
    const auto le = [&binary](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            binary += static_cast<char>(v >> (8 * i));
    };
    le(record.length());
    for (uint32_t i = 0; i < record.length(); ++i) {
        binary += static_cast<char>(record.data()[i]);
        check = (check ^ record.data()[i]) * 16777619u;
    }
    le(check);
    std::ofstream(dir_ + "/old.preset", std::ios::binary) << binary;
    EXPECT_EQ(
        run("commands --preset-file " + shellQuote(dir_ + "/old.preset") + " -f 5 --media av " + shellQuote(clip_)).out,
        byRow.out);
    std::ofstream(dir_ + "/cut.preset", std::ios::binary) << binary.substr(0, binary.size() - 3);
    binary[binary.size() / 2] ^= 1;
    std::ofstream(dir_ + "/bad.preset", std::ios::binary) << binary;
    // A text file with a key the program does not know, or a value outside
    // its range, is refused with the line that holds it.
    std::ofstream(dir_ + "/key.preset") << text << "colour = 3\n";
    std::string high = text;
    high.replace(high.find("videoBitrateIndex = 12"), 22, "videoBitrateIndex = 99");
    std::ofstream(dir_ + "/high.preset") << high;
    for (const char* name : {"/cut.preset", "/bad.preset", "/key.preset", "/high.preset"}) {
        SCOPED_TRACE(name);
        const CliRun r = run("presets import " + shellQuote(dir_ + name));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(dir_ + name), std::string::npos) << r.err;
        EXPECT_EQ(run("commands --preset-file " + shellQuote(dir_ + name) + " -f 5 " + shellQuote(clip_)).status, 2);
    }
    EXPECT_NE(run("presets import " + shellQuote(dir_ + "/key.preset")).err.find("未知的键 'colour'"),
              std::string::npos);
    std::ofstream(prog_ + "/cfg", std::ios::trunc) << "garbage";
    EXPECT_EQ(run("presets import " + shellQuote(file)).status, 1);
    EXPECT_EQ(readFile(prog_ + "/cfg"), "garbage");
}

} // namespace
} // namespace qf::convert
