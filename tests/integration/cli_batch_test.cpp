// Several quillfer-cli processes converting into one output folder at once,
// as a job scheduler runs them: each output whole, no name taken twice, and
// nothing of any run left beside the outputs.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <utility>
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
    const std::string out
        = run("ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=1.5"
              " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.5 -ac 2 -c:v mpeg4"
              " -q:v 5 -c:a mp3 -b:a 96k "
                  + quote(path),
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
        const std::string streams
            = run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(file), &status);
        EXPECT_EQ(status, 0) << streams;
        EXPECT_NE(streams.find("mpeg2video"), std::string::npos) << streams;
        // A DVD program stream that the authoring tool takes as a title.
        const std::string dvd = base + "/dvd-" + std::to_string(&name - names.data());
        const std::string authored
            = run("cd " + quote(base) + " && VIDEO_FORMAT=NTSC dvdauthor -o " + quote(dvd) + " -t " + quote(file)
                      + " 2>&1 && VIDEO_FORMAT=NTSC dvdauthor -o " + quote(dvd) + " -T 2>&1",
                  &status);
        EXPECT_EQ(status, 0) << authored;
        EXPECT_TRUE(stdfs::exists(dvd + "/VIDEO_TS/VTS_01_1.VOB")) << authored;
    }
}

// A tree of 3 folders with 6 media files (two pairs of the same name) and a
// note that is not media.
std::string makeTree(const std::string& base)
{
    const std::string tree = base + "/tree";
    stdfs::create_directories(tree + "/a/b");
    stdfs::create_directories(tree + "/c");
    const std::string clip = shortClip(base);
    for (const char* name : {"x.avi", "y.avi", "a/x.avi", "a/y.avi", "a/b/x.avi", "c/z.avi"})
        stdfs::copy_file(clip, tree + "/" + name);
    std::ofstream(tree + "/a/notes.txt") << "not media\n";
    return tree;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(CliBatch, AFolderTreeWithThreeJobsKeepsTheTreeAndReportsJsonLines)
{
    const std::string base = kDataDir + "/cli-batch-tree";
    stdfs::remove_all(base);
    stdfs::create_directories(base);
    const std::string tree = makeTree(base);
    const std::string out = base + "/out";
    const std::string mp3 = " -c 7 -m 默认参数 -f 8 --output-folder " + quote(out) + " ";
    const std::string batch = quote(kCli) + " convert" + mp3 + "--recursive --keep-tree --progress json ";
    int status = -1;
    // A dry run first: it converts nothing and says what the run will do.
    const std::string dry = run("(" + batch + "--jobs 3 --dry-run " + quote(tree) + " 2>/dev/null)", &status);
    EXPECT_EQ(status, 0) << dry;
    EXPECT_FALSE(stdfs::exists(out)) << dry;
    // Standard error apart: the JSON lines alone on standard output.
    const std::string log
        = run("(" + batch + "--jobs 3 " + quote(tree) + " 2>" + quote(base + "/err.txt") + ")", &status);
    EXPECT_EQ(status, 0) << log << run("cat " + quote(base + "/err.txt"));
    const std::set<std::string> expected = {"x.avi-mp3.mp3",   "y.avi-mp3.mp3",     "a/x.avi-mp3.mp3",
                                            "a/y.avi-mp3.mp3", "a/b/x.avi-mp3.mp3", "c/z.avi-mp3.mp3"};
    std::set<std::string> made;
    for (const auto& entry : stdfs::recursive_directory_iterator(out))
        if (entry.is_regular_file())
            made.insert(entry.path().lexically_relative(out).string());
    EXPECT_EQ(made, expected);
    for (const std::string& name : expected) {
        const std::string streams
            = run("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 " + quote(out + "/" + name));
        EXPECT_NE(streams.find("mp3"), std::string::npos) << name << ": " << streams;
    }
    // Every line is one JSON object with the six members, the last the
    // summary; the dry run planned exactly the files (and outputs) that ended
    // done, and skipped the same ones (the note, by name).
    const std::string checker
        = "import json,sys\n"
          "load=lambda p:[json.loads(l) for l in open(p,encoding='utf-8')]\n"
          "dry,ran=load(sys.argv[1]),load(sys.argv[2])\n"
          "*rows,total=ran\n"
          "for o in rows:\n"
          "  assert set(o)=={'file','state','percent','elapsed','output','reason'}, o\n"
          "  assert 0<=o['percent']<=100 and o['elapsed']>=0, o\n"
          "pick=lambda rs,st:{(o['file'],o['output'],o['reason']) for o in rs if o['state']==st}\n"
          "assert pick(dry,'planned')==pick(rows,'done'), (pick(dry,'planned'),pick(rows,'done'))\n"
          "assert pick(dry,'skipped')==pick(rows,'skipped'), dry\n"
          "keys=('converted','skipped','failed','stopped')\n"
          "assert dry[-1]['state']=='dry-run-summary' and total['state']=='summary', (dry[-1],total)\n"
          "assert [dry[-1][k] for k in keys]==[total[k] for k in keys], (dry[-1],total)\n"
          "print(len(pick(rows,'done')),[total[k] for k in keys],[o['file'][-9:] for o in rows if "
          "o['state']=='skipped'])\n";
    std::ofstream(base + "/check.py") << checker;
    std::ofstream(base + "/dry.jsonl") << dry;
    std::ofstream(base + "/progress.jsonl") << log;
    const std::string parsed = run("python3 " + quote(base + "/check.py") + " " + quote(base + "/dry.jsonl") + " "
                                       + quote(base + "/progress.jsonl"),
                                   &status);
    EXPECT_EQ(status, 0) << parsed;
    EXPECT_EQ(parsed, "6 [6, 1, 0, 0] ['notes.txt']\n") << log;

    // Run again with skip: nothing is converted, nothing numbered; each
    // file is named as skipped, then the summary.
    const std::string again = run("(" + batch + "--if-exists skip " + quote(tree) + " 2>/dev/null)", &status);
    EXPECT_EQ(status, 0) << again;
    EXPECT_EQ(lines(again).size(), 8u) << again;
    EXPECT_EQ(again.find("\"done\""), std::string::npos) << again;
    EXPECT_NE(again.find("{\"state\":\"summary\",\"converted\":0,\"skipped\":7,\"failed\":0,\"stopped\":0}"),
              std::string::npos)
        << again;
    made.clear();
    for (const auto& entry : stdfs::recursive_directory_iterator(out))
        if (entry.is_regular_file())
            made.insert(entry.path().lexically_relative(out).string());
    EXPECT_EQ(made, expected);

    // A damaged file with a media file's name fails the run by name, as it
    // does when given alone; in text mode the summary counts it.
    std::ofstream(tree + "/a/b/damaged.avi") << std::string(3000, 'x');
    const std::string damaged
        = run(quote(kCli) + " convert" + mp3 + "-r --keep-tree --if-exists skip " + quote(tree) + " 2>&1", &status);
    EXPECT_EQ(status, 1) << damaged;
    EXPECT_NE(damaged.find("不能识别的文件类型。 " + tree + "/a/b/damaged.avi"), std::string::npos) << damaged;
    EXPECT_NE(damaged.find("跳过：" + tree + "/a/notes.txt（不是影音文件）"), std::string::npos) << damaged;
    EXPECT_NE(damaged.find("已转换 0，跳过 7，失败 1，停止 0\n"), std::string::npos) << damaged;
}

TEST(CliBatch, AnExactOutputPathAndWhatHappensWhenItIsTaken)
{
    const std::string base = kDataDir + "/cli-batch-exact";
    stdfs::remove_all(base);
    stdfs::create_directories(base);
    const std::string source = shortClip(base);
    const std::string target = base + "/made/song.mp3";
    const std::string mp3 = " convert -c 7 -m 0 -f 8 ";
    int status = -1;
    std::string log = run(quote(kCli) + mp3 + "-o " + quote(target) + " " + quote(source), &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_GT(stdfs::file_size(target), 0u);
    EXPECT_EQ(log.find("s CPU"), std::string::npos) << log;

    // Taken: the next free number by default, the file itself with overwrite.
    log = run(quote(kCli) + mp3 + "-o " + quote(target) + " " + quote(source), &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_TRUE(stdfs::exists(base + "/made/song (2).mp3")) << log;
    std::ofstream(target) << "old";
    // The benches' clock of the conversion alone counts the programs it ran:
    // ffmpeg's start alone is tens of milliseconds of CPU.
    log = run("QF_CLI_TIMES=1 " + quote(kCli) + mp3 + "--if-exists overwrite -o " + quote(target) + " " + quote(source),
              &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_GT(stdfs::file_size(target), 3u);
    double wall = 0, cpu = 0;
    const size_t at = log.find("conversion ");
    ASSERT_NE(at, std::string::npos) << log;
    ASSERT_EQ(std::sscanf(log.c_str() + at, "conversion %lf s wall, %lf s CPU", &wall, &cpu), 2) << log;
    EXPECT_GT(wall, 0.02) << log;
    EXPECT_GT(cpu, 0.02) << log;
    EXPECT_FALSE(stdfs::exists(base + "/made/song (3).mp3"));
    EXPECT_EQ(namesIn(base + "/made").size(), 2u);
}

// On a terminal, --jobs 2 shows both running tasks on the one live line,
// and no redrawn line is wider than the terminal (a wrapped line cannot be
// redrawn in place).
TEST(CliBatch, TheLiveLineOfATerminalShowsEveryRunningTask)
{
    const std::string base = kDataDir + "/cli-batch-live";
    stdfs::remove_all(base);
    stdfs::create_directories(base);
    int status = -1;
    const std::string made = run(
        "ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=6"
        " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=6 -ac 2 -c:v mpeg4 -q:v 5"
        " -c:a mp3 "
            + quote(base + "/第一段.avi") + " && cp " + quote(base + "/第一段.avi") + " " + quote(base + "/second.avi"),
        &status);
    ASSERT_EQ(status, 0) << made;
    const std::string command = "stty cols 60; " + quote(kCli) + " convert -c 0 -m 0 -f 0 --jobs 2 --output-folder "
        + quote(base + "/out") + " " + quote(base + "/第一段.avi") + " " + quote(base + "/second.avi");
    // script(1) gives the program a terminal of its own.
    const std::string log
        = run("script -qec " + quote(command) + " " + quote(base + "/typescript") + " >/dev/null", &status);
    EXPECT_EQ(status, 0) << log;
    const std::string checker = "import sys,re,unicodedata\n"
                                "text=open(sys.argv[1],encoding='utf-8',newline='').read()\n"
                                "both=widest=0\n"
                                "for part in re.findall(r'\\x1b\\[K([^\\r\\n\\x1b]*)\\r(?!\\n)',text):\n"
                                "  w=sum(2 if unicodedata.east_asian_width(c) in 'WF' else 1 for c in part)\n"
                                "  widest=max(widest,w)\n"
                                "  both+=('第一段' in part and 'second' in part)\n"
                                "print(both>0, widest<60, widest)\n";
    std::ofstream(base + "/check.py") << checker;
    const std::string verdict
        = run("python3 " + quote(base + "/check.py") + " " + quote(base + "/typescript"), &status);
    EXPECT_EQ(status, 0) << verdict;
    EXPECT_EQ(verdict.substr(0, 10), "True True ") << verdict << run("cat -v " + quote(base + "/typescript"));
    EXPECT_TRUE(stdfs::exists(base + "/out/第一段.avi-3gp.3gp"));
    EXPECT_TRUE(stdfs::exists(base + "/out/second.avi-3gp.3gp"));
}

// A copy of the program directory (hard links) whose encoder and MP4/3GP
// muxer are the real ones behind a wrapper: the wrapper of the step named in
// QF_PAUSE_STEP runs the real program to its end, marks QF_PAUSE_MARKER and
// stops itself, so that a kill lands in that step once the step has written
// all it writes.
std::string pausingKit(const std::string& base)
{
    const std::string kit = base + "/kit";
    stdfs::remove_all(kit);
    int status = -1;
    const std::string copied = run("cp -al " + quote(kProgramDir) + " " + quote(kit) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << copied;
    stdfs::remove(kit + "/cfg");
    const std::pair<const char*, const char*> steps[] = {
        {"ALDER.DAT", "case \"$*\" in *vpass=1*) step=pass1;; *vpass=2*) step=pass2;; *) step=encode;; esac"},
        {"CEDAR.DLL", "case \"$*\" in *-rate=*) step=mux;; *) step=mux-audio;; esac"},
    };
    for (const auto& [name, step] : steps) {
        const std::string path = kit + "/" + name;
        stdfs::rename(path, path + ".real");
        std::ofstream(path)
            << "#!/bin/sh\n"
            << step << "\n\"$0.real\" \"$@\"\nstatus=$?\n"
            << "if [ \"$step\" = \"$QF_PAUSE_STEP\" ]; then : > \"$QF_PAUSE_MARKER\"; kill -STOP $$; fi\n"
            << "exit $status\n";
        stdfs::permissions(path, stdfs::perms::owner_all | stdfs::perms::group_read | stdfs::perms::group_exec);
    }
    return kit;
}

// Visible names in a folder, and whether any of them is an empty file.
std::set<std::string> visibleNames(const std::string& folder, bool* anEmptyFile = nullptr)
{
    std::set<std::string> names;
    for (const auto& entry : stdfs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.')
            continue;
        names.insert(name);
        if (anEmptyFile && entry.is_regular_file() && entry.file_size() == 0)
            *anEmptyFile = true;
    }
    return names;
}

TEST(CliBatch, AKilledRunLeavesNoOutputAndARerunWithSkipConvertsExactlyWhatIsMissing)
{
    struct Case {
        const char* phase;
        const char* format; // -c, -m, -f
        const char* suffix; // of the output's name
    } cases[] = {
        {"pass1", "-c 4 -m 0 -f 10", "-mpg.mpg"},
        {"pass2", "-c 4 -m 0 -f 10", "-mpg.mpg"},
        {"mux", "-c 0 -m 0 -f 0", "-3gp.3gp"},
    };
    const std::string base = kDataDir + "/cli-batch-killed";
    stdfs::remove_all(base);
    stdfs::create_directories(base);
    const std::string kit = pausingKit(base);
    const std::string cli = kit + "/quillfer-cli";
    const std::string clip = shortClip(base);
    const std::string marker = base + "/paused";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.phase);
        const std::string out = base + "/out-" + c.phase;
        stdfs::create_directories(out);
        const std::string a = base + "/a.avi";
        const std::string b = base + "/b.avi";
        stdfs::copy_file(clip, a, stdfs::copy_options::overwrite_existing);
        stdfs::copy_file(clip, b, stdfs::copy_options::overwrite_existing);
        const std::string convert = quote(cli) + " convert " + c.format + " --output-folder " + quote(out) + " ";
        const std::string outA = std::string("a.avi") + c.suffix;
        const std::string outB = std::string("b.avi") + c.suffix;
        int status = -1;
        std::string log = run(convert + quote(a) + " 2>&1", &status);
        ASSERT_EQ(status, 0) << log;

        // The run of both, killed as a scheduler or the OOM killer kills it
        // while b is in the phase.
        stdfs::remove(marker);
        const std::string killedLog = base + "/killed-" + c.phase + ".txt";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setenv("QF_PAUSE_STEP", c.phase, 1);
            ::setenv("QF_PAUSE_MARKER", marker.c_str(), 1);
            const std::string command = "exec " + convert + "--if-exists skip " + quote(a) + " " + quote(b) + " >"
                + quote(killedLog) + " 2>&1";
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 1200 && !stdfs::exists(marker); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(stdfs::exists(marker)) << run("cat " + quote(killedLog));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        bool empty = false;
        EXPECT_EQ(visibleNames(out, &empty), std::set<std::string>{outA});
        EXPECT_FALSE(empty);
        // What it left is hidden in its work folder, which names the output.
        EXPECT_TRUE(stdfs::exists(out + "/." + outB + ".quillfer")) << run("ls -laR " + quote(out));

        // An empty file under the name, as an older version left one, holds
        // nothing: it is written over, not counted as converted.
        if (std::string(c.phase) == "mux")
            std::ofstream(out + "/" + outB).close();

        // The resume recipe: a is skipped, b converted; nothing else is left.
        log = run(convert + "--if-exists skip " + quote(a) + " " + quote(b) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << log;
        EXPECT_NE(log.find("（" + out + "/" + outA + " 已存在）"), std::string::npos) << log;
        EXPECT_NE(log.find("-> " + out + "/" + outB), std::string::npos) << log;
        EXPECT_EQ(log.find("（" + out + "/" + outB + " 已存在）"), std::string::npos) << log;
        std::set<std::string> all;
        for (const auto& entry : stdfs::directory_iterator(out))
            all.insert(entry.path().filename().string());
        EXPECT_EQ(all, (std::set<std::string>{outA, outB}));
        const std::string streams
            = run("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 " + quote(out + "/" + outB));
        EXPECT_NE(streams.find("video"), std::string::npos) << streams;
        EXPECT_NE(streams.find("audio"), std::string::npos) << streams;
    }
}

TEST(CliBatch, BatchOptionUsageErrors)
{
    const std::string base = kDataDir + "/cli-batch-usage";
    stdfs::remove_all(base);
    stdfs::create_directories(base);
    const std::string source = shortClip(base);
    const std::string mp3 = " convert -c 7 -m 0 -f 8 --output-folder " + quote(base + "/out") + " ";
    struct Case {
        std::string args;
        const char* says;
    } cases[] = {
        {mp3 + "--jobs 0 " + quote(source), "--jobs"},
        {mp3 + "--jobs many " + quote(source), "--jobs"},
        {mp3 + "--if-exists replace " + quote(source), "number, skip, overwrite"},
        {mp3 + "--progress xml " + quote(source), "text, json"},
        {mp3 + "-o " + quote(base + "/a.mp3") + " " + quote(source) + " " + quote(source), "只能用于一个"},
        {mp3 + "-o " + quote(base) + " " + quote(source), "是一个文件夹"},
        {mp3 + "--name '{title}' " + quote(source), "{title}"},
        {mp3 + "--name 'a/{name}' " + quote(source), "不是一个文件名"},
        {mp3 + "--name x -o " + quote(base + "/a.mp3") + " " + quote(source), "不能再用 --name"},
        {" convert -c 7 -m 没有这个 -f 8 " + quote(source), "默认参数"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string log = run(quote(kCli) + c.args + " 2>&1", &status);
        EXPECT_EQ(status, 2) << c.args << "\n" << log;
        EXPECT_NE(log.find(c.says), std::string::npos) << c.args << "\n" << log;
    }
    EXPECT_FALSE(stdfs::exists(base + "/out"));
    // A model chosen by its name converts as its row does; the name template
    // and -q: the output named from the parts, and nothing said but the summary.
    int status = -1;
    const std::string log
        = run(quote(kCli) + " convert -c 7 -m 默认参数 -f 8 -q --name '{model}-{name}' --output-folder "
                  + quote(base + "/out") + " " + quote(source) + " 2>&1",
              &status);
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(log, "已转换 1，跳过 0，失败 0，停止 0\n");
    EXPECT_TRUE(stdfs::exists(base + "/out/默认参数-short.mp3")) << log;
}

} // namespace
