// The run of one task against fake programs: every line the encoder may
// print, every file a tool may fail to leave, every program that may be
// missing, and what is left in the output folder afterwards.

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "tasks/support/fake_programs.h"
#include "tasks/conversion_worker.h"
#include "tasks/encoder_output.h"
#include "tasks/output_claim.h"
#include "tasks/failure_reason.h"
#include "support/format_table.h"

namespace qf::tasks {
namespace {

using testing::FakePrograms;
using testing::fileExists;
using testing::listDir;
using testing::readFile;
using testing::writeFile;
using Events = std::vector<std::string>;

std::string describe(const core::Message& m)
{
    const uint32_t code = core::taskNotifyCode(m.wParam);
    const uint32_t detail = core::taskNotifyDetail(m.wParam);
    const auto* task = reinterpret_cast<const ConversionTask*>(m.lParam);
    switch (code) {
    case core::NOTIFY_QUEUE_FINISHED: return "finished " + std::to_string(detail);
    case core::NOTIFY_PROGRESS_LINE:
        return "progress " + std::string(progressText(task->lineBuffer.view()).value_or("?"));
    case core::NOTIFY_STATE_CHANGED: return "state " + std::to_string(detail);
    case core::NOTIFY_DONE: return "done";
    case core::NOTIFY_STOPPED: return "stopped";
    case core::NOTIFY_FAILED: return "failed";
    case core::NOTIFY_BAD_PARAMETERS: return "bad";
    case core::NOTIFY_FOLDER_FAILED: return "folder";
    default: return "code " + std::to_string(code);
    }
}

class TaskJobTest : public ::testing::Test {
protected:
    TaskJobTest()
    {
        programs.writeStandardSet();
        convert::CommandLineBuilder::setEncoderPath(("\"" + programs.dir() + "/ALDER.DAT\"").c_str());
        worker.setOwner(&sink);
    }

    void prepare(int32_t category, int32_t model, int32_t format, const std::string& sourceName = "clip.avi")
    {
        task.sourcePath = (programs.dir() + "/in/" + sourceName).c_str();
        task.selectModel(category, model, format);
        task.media.hasVideo = true;
        task.media.hasAudio = true;
        task.media.videoFrameRate = "12.500 fps";
        task.makeOutputPath(outDir().c_str());
    }
    std::string outDir() const { return programs.dir() + "/out dir"; }
    std::string base() const
    {
        const std::string out = task.outputPath.c_str();
        return out.substr(0, out.rfind('.'));
    }
    // The base of the intermediates, as the first program was told: the
    // run's own work folder beside the output.
    std::string workBase() const
    {
        const std::string first = programs.calls().at(0);
        const size_t at = first.find("[-o] [") + 6;
        const std::string out = first.substr(at, first.find(']', at) - at);
        return out.substr(0, out.rfind('.'));
    }
    Events run()
    {
        events.clear();
        worker.runTask(task);
        return events;
    }

    FakePrograms programs;
    Events events;
    core::QueuedSink sink{[this](const core::Message& m) {
        events.push_back(describe(m));
        return intptr_t{0};
    }};
    ConversionWorker worker{programs.environment()};
    ConversionTask task;
};

TEST_F(TaskJobTest, EncoderOutputDecidesTheSinglePassResult)
{
    struct Case {
        const char* name;
        const char* encoder; // body of the fake encoder
        Events expected;
    } cases[] = {
        {"progress",
         "echo 'Pos: 1s (50%)'; echo 'Pos: 2s (100%)'; printf x > \"$OUT\"",
         {"state 5", "progress 50%", "progress 100%", "state 8", "done"}},
        {"crlf and blanks",
         "printf '\\r\\n\\n   \\nPos: 1s ( 7%%)\\r\\n'; printf x > \"$OUT\"",
         {"state 5", "progress 7%", "state 8", "done"}},
        {"blank lines only", "echo; echo; printf x > \"$OUT\"", {"state 5", "state 8", "done"}},
        {"rewritten progress",
         "printf 'Pos: 1s (10%%)\\rPos: 2s (20%%)\\r'; printf x > \"$OUT\"",
         {"state 5", "progress 10%", "progress 20%", "state 8", "done"}},
        {"refused options",
         "echo 'Unknown option'; echo 'Exiting... (error parsing command line)'; sleep 5",
         {"state 5", "bad"}},
        {"fatal error",
         "echo 'Pos: 1s (3%)'; echo 'Exiting... (End of file)'; printf x > \"$OUT\"",
         {"state 5", "progress 3%", "failed"}},
        {"fatal error without line feed", "printf 'Exiting...'", {"state 5", "failed"}},
        {"fatal error on standard error", "echo 'Exiting...' >&2", {"state 5", "failed"}},
        {"quiet run without output file", "exit 0", {"state 5", "state 8", "failed"}},
        {"empty output file", ": > \"$OUT\"", {"state 5", "state 8", "failed"}},
        {"exit code is ignored", "printf x > \"$OUT\"; exit 3", {"state 5", "state 8", "done"}},
    };
    for (const Case& c : cases) {
        programs.write("ALDER.DAT", c.encoder);
        prepare(3, 0, 9);
        std::filesystem::remove_all(outDir());
        EXPECT_EQ(run(), c.expected) << c.name;
    }
}

TEST_F(TaskJobTest, MissingEncoderFails)
{
    programs.remove("ALDER.DAT");
    prepare(3, 0, 9);
    EXPECT_EQ(run(), (Events{"state 5", "failed"}));
    EXPECT_FALSE(worker.holdsChild());
}

TEST_F(TaskJobTest, StatusLinesRewrittenWithCarriageReturnsComeOneByOne)
{
    // 3000 bytes of progress rewritten with carriage returns only.
    programs.write("ALDER.DAT",
                   "i=0; while [ $i -lt 100 ]; do printf 'Pos: %3ds (%2d%%) abcdefghijk\\r' $i $i; i=$((i+1)); done\n"
                   "printf x > \"$OUT\"");
    prepare(3, 0, 9);
    const Events got = run();
    // State, 100 status lines, muxing state, done.
    ASSERT_EQ(got.size(), 1u + 100u + 2u);
    EXPECT_EQ(got[1], "progress 0%");
    EXPECT_EQ(got[100], "progress 99%");
    EXPECT_EQ(got.back(), "done");
}

TEST_F(TaskJobTest, OutputFolderAndParameterFailures)
{
    prepare(3, 0, 9);
    writeFile(programs.dir() + "/blocker", "file");
    task.outputPath = (programs.dir() + "/blocker/sub/clip.avi-flv.flv").c_str();
    EXPECT_EQ(run(), (Events{"folder"}));

    prepare(3, 0, 9);
    task.outputFormat = convert::kFormatCount; // no command line for it
    EXPECT_EQ(run(), (Events{"bad"}));

    prepare(4, 0, 10);
    task.twoPass = 0; // mpg without two passes has no first command
    EXPECT_EQ(run(), (Events{"bad"}));
    EXPECT_TRUE(programs.calls().empty());
}

TEST_F(TaskJobTest, TwoPassesAndTheirLogs)
{
    const std::string programLog = programs.dir() + "/divx2pass.log";
    const std::string sourceLog = programs.dir() + "/in/divx2pass.log";
    programs.write("ALDER.DAT",
                   "printf log > divx2pass.log\ncp divx2pass.log divx2pass.seen\n"
                   "case \"$*\" in *vpass=1*) echo 'Pos: 1s (40%)';; *) echo 'Pos: 2s (90%)';; esac\n"
                   "printf x > \"$OUT\"");
    prepare(4, 0, 10);
    writeFile(programLog, "old");
    writeFile(sourceLog, "old");
    EXPECT_EQ(run(), (Events{"state 6", "progress 40%", "state 7", "progress 90%", "state 8", "done"}));
    // Logs elsewhere may be other conversions' own: they are left alone.
    EXPECT_EQ(readFile(programLog), "old");
    EXPECT_EQ(readFile(sourceLog), "old");
    // The encoder runs in a folder of the task's own, which goes with
    // everything in it: the output folder holds the output alone.
    EXPECT_EQ(listDir(outDir()), (Events{std::filesystem::path(task.outputPath.c_str()).filename().string()}));
    EXPECT_FALSE(fileExists("divx2pass.log"));
    ASSERT_EQ(programs.calls().size(), 2u);
    EXPECT_NE(programs.calls()[0].find("vpass=1"), std::string::npos);
    EXPECT_NE(programs.calls()[1].find("vpass=2"), std::string::npos);

    // A failed first pass never runs the second and still removes both logs.
    programs.write("ALDER.DAT", "echo 'Exiting...'");
    writeFile(programLog, "old");
    writeFile(sourceLog, "old");
    prepare(4, 0, 10);
    std::filesystem::remove_all(outDir());
    EXPECT_EQ(run(), (Events{"state 6", "failed"}));
    EXPECT_EQ(readFile(programLog), "old");
    EXPECT_EQ(listDir(outDir()), Events{});
    EXPECT_EQ(programs.calls().size(), 3u);
}

TEST_F(TaskJobTest, ThreeGpRunsEveryToolWithItsCommandLine)
{
    prepare(0, 0, 0);
    writeFile(base() + ".3gp", "stale");
    EXPECT_EQ(run(), (Events{"state 5", "progress 50%", "progress 100%", "state 8", "done"}));
    const std::string d = programs.dir();
    const std::string b = workBase();
    EXPECT_EQ(b, outDir() + "/.clip.avi-3gp (2).3gp.quillfer/clip.avi-3gp (2)");
    const Events expected = {
        "ALDER.DAT [" + d
            + "/in/clip.avi] [-srate] [22050] [-vf-add] [scale=176:144,harddup] [-ofps] [10] [-oac] [faac] "
              "[-faacopts] [br=32:mpeg=4:object=2] [-ovc] [xvid] [-xvidencopts] [bitrate=100:max_bframes=0] [-o] ["
            + b + ".avi]",
        "BIRCH.DLL [" + b + ".avi]",
        "ALDER.DAT [-ovc] [copy] [-nosound] [-of] [rawvideo] [-o] [" + b + ".m4v] [" + b + ".avi]",
        "ALDER.DAT [-ovc] [frameno] [-oac] [copy] [-of] [rawaudio] [-o] [" + b + ".aac] [" + b + ".avi]",
        "CEDAR.DLL [-force3GPCompliance] [-c] [" + b + ".m4v] [-rate=25] [" + b + ".3gp]",
        "CEDAR.DLL [-force3GPCompliance] [-c] [" + b + ".aac] [" + b + ".3gp]",
    };
    const Events calls = programs.calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_EQ(calls[i], expected[i]) << i;
    EXPECT_EQ(calls[0].substr(0, calls[0].find("[-srate]")), expected[0].substr(0, expected[0].find("[-srate]")));
    EXPECT_EQ(readFile(base() + ".3gp"), "+v+a");
    // A file that took the name before the run began is never touched.
    EXPECT_EQ(base(), outDir() + "/clip.avi-3gp (2)");
    EXPECT_EQ(readFile(outDir() + "/clip.avi-3gp.3gp"), "stale");
    EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-3gp (2).3gp", "clip.avi-3gp.3gp"}));
}

TEST_F(TaskJobTest, FrameRateComesFromTheProbeOrTheSource)
{
    struct Case {
        const char* probe;
        const char* sourceRate;
        const char* rateArgument;
    } cases[] = {
        {"echo 'Video frame rate: 23.976'; echo 'Video frame rate: 50'", "12.500 fps", "[-rate=23]"},
        {"echo 'no rate here'", "12.500 fps", "[-rate=12]"},
        {"printf 'Video frame rate: 30'", "12.500 fps", "[-rate=30]"},
        {"exit 0", "", "[-rate=0]"},
    };
    for (const Case& c : cases) {
        programs.write("BIRCH.DLL", c.probe);
        std::filesystem::remove(programs.dir() + "/calls.log");
        std::filesystem::remove_all(outDir());
        prepare(0, 0, 6);
        task.media.videoFrameRate = c.sourceRate;
        EXPECT_EQ(run().back(), "done") << c.probe;
        const Events calls = programs.calls();
        ASSERT_EQ(calls.size(), 6u);
        EXPECT_EQ(calls[1], "BIRCH.DLL [" + workBase() + ".avi]") << "the probe's MP4 form";
        EXPECT_NE(calls[4].find(c.rateArgument), std::string::npos) << calls[4];
        EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-mp4.mp4"}));
    }
}

TEST_F(TaskJobTest, ToolFailuresRemoveTheIntermediates)
{
    struct Case {
        const char* name;
        const char* program;
        const char* body; // null: the program is missing
        const char* format;
        int32_t formatIndex;
        Events left;
    } cases[] = {
        {"probe missing", "BIRCH.DLL", nullptr, "3gp", 0, {}},
        {"no m4v",
         "ALDER.DAT",
         "case \"$*\" in *rawvideo*) ;; *'-oac copy'*) printf a > \"$OUT\";; *) printf x > \"$OUT\";; esac",
         "3gp",
         0,
         {}},
        {"no aac",
         "ALDER.DAT",
         "case \"$*\" in *rawvideo*) printf v > \"$OUT\";; *'-oac copy'*) ;; *) printf x > \"$OUT\";; esac",
         "3gp",
         0,
         {}},
        {"muxer missing", "CEDAR.DLL", nullptr, "3gp", 0, {}},
        {"muxer writes nothing", "CEDAR.DLL", "exit 0", "mp4", 6, {}},
        {"atom editor missing", "MAPLE.DLL", nullptr, "mp4", 3, {}},
        {"atom editor writes nothing", "MAPLE.DLL", "exit 0", "mp4", 3, {}},
        {"pmp muxer missing", "LARCH.DAT", nullptr, "pmp", 1, {}},
        {"pmp muxer writes nothing", "LARCH.DAT", "printf log > \"$OUT.log\"", "pmp", 1, {}},
        {"pmp without aac",
         "ALDER.DAT",
         "case \"$*\" in *'-oac copy'*) ;; *) printf x > \"$OUT\";; esac",
         "pmp",
         1,
         {}},
    };
    for (const Case& c : cases) {
        programs.writeStandardSet();
        if (c.body)
            programs.write(c.program, c.body);
        else
            programs.remove(c.program);
        prepare(c.formatIndex == 0 || c.formatIndex == 6 ? 0 : 2, 0, c.formatIndex);
        std::filesystem::remove_all(outDir());
        EXPECT_EQ(run().back(), "failed") << c.name;
        EXPECT_EQ(listDir(outDir()), c.left) << c.name;
        EXPECT_FALSE(fileExists(programs.dir() + "/SPRUCE.ini")) << c.name;
    }
}

TEST_F(TaskJobTest, PmpLeavesOnlyTheFinalFile)
{
    prepare(2, 0, 1);
    EXPECT_EQ(run().back(), "done");
    const Events calls = programs.calls();
    ASSERT_EQ(calls.size(), 3u);
    const std::string b = workBase();
    EXPECT_NE(calls[0].find("[crf=22"), std::string::npos);
    EXPECT_EQ(calls[1],
              "ALDER.DAT [-ovc] [frameno] [-oac] [copy] [-of] [rawaudio] [-o] [" + b + ".aac] [" + b + ".avi]");
    EXPECT_EQ(calls[2], "LARCH.DAT [-v] [" + b + ".avi] [-a] [" + b + ".aac] [-o] [" + b + ".pmp]");
    EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-pmp.pmp"}));
}

TEST_F(TaskJobTest, AtomEditingReplacesTheMp4AndRemovesTheScript)
{
    prepare(2, 0, 3, "my clip.avi");
    EXPECT_EQ(run().back(), "done");
    const std::string b = workBase();
    const Events calls = programs.calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[1], "BIRCH.DLL [" + b + ".avi]");
    // The script stands in the task's own work folder, never in the program
    // directory (which an installed program cannot write to).
    const std::string head = "MAPLE.DLL [" + b + ".mp4] [" + b + ".tmp] [";
    ASSERT_EQ(calls[6].rfind(head, 0), 0u) << calls[6];
    const std::string script = calls[6].substr(head.size(), calls[6].size() - head.size() - 1);
    EXPECT_EQ(script, outDir() + "/.my clip.avi-mp4.mp4.quillfer/SPRUCE.ini");
    EXPECT_EQ(readFile(base() + ".mp4"), "+v+aedited");
    EXPECT_EQ(listDir(outDir()), (Events{"my clip.avi-mp4.mp4"}));
    EXPECT_FALSE(fileExists(programs.dir() + "/SPRUCE.ini"));
    EXPECT_EQ(readFile(programs.dir() + "/script-seen"),
              "[Config]\r\nTitle=PSP MPEG-4 SP/ASP\r\nMQV=2\r\nCODEC=1\r\nBuild_edts=1\r\n\r\n"
              "[DeleteAtom]\r\nItem0=ftyp\r\nItem1=free\r\nItem2=udta\r\nItem3=iods\r\n\r\n"
              "[InsertAtom]\r\nItem0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n");
}

TEST_F(TaskJobTest, TheOutputsNameHoldsNothingUntilTheRunEndsAndAKilledRunsLeftoversGoFirst)
{
    prepare(3, 0, 9);
    std::filesystem::create_directories(outDir());
    // A run of the same output killed by force: its claim, its partial file.
    const pid_t killed = ::fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        auto claim = OutputClaim::make(task.outputPath.c_str(), task.outputPath.c_str(), false);
        if (claim)
            writeFile(claim->workPath() + ".part", "half");
        ::_exit(claim ? 0 : 1); // no destructor runs, as under SIGKILL
    }
    int status = -1;
    ASSERT_EQ(::waitpid(killed, &status, 0), killed);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(listDir(outDir()), (Events{".clip.avi-flv.flv.quillfer"}));
    programs.write("ALDER.DAT",
                   "ls -A \"$(dirname \"$(dirname \"$OUT\")\")\" > '" + programs.dir()
                       + "/seen'; ls -A \"$(dirname \"$OUT\")\" >> '" + programs.dir() + "/seen'; printf x > \"$OUT\"");
    EXPECT_EQ(run().back(), "done");
    // While the encoder ran, the folder held the run's own claim alone, with
    // nothing of the killed run in it.
    EXPECT_EQ(readFile(programs.dir() + "/seen"), ".clip.avi-flv.flv.quillfer\nowner\n");
    EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-flv.flv"}));
    EXPECT_EQ(readFile(outDir() + "/clip.avi-flv.flv"), "x");
}

TEST_F(TaskJobTest, DirectFormatsNeedNoPostProcessing)
{
    for (int32_t format : {2, 4}) {
        prepare(2, 0, format);
        std::filesystem::remove_all(outDir());
        std::filesystem::remove(programs.dir() + "/calls.log");
        EXPECT_EQ(run(), (Events{"state 5", "progress 50%", "progress 100%", "state 8", "done"}));
        EXPECT_EQ(programs.calls().size(), 1u);
        EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-mp4.mp4"}));
    }
}

TEST_F(TaskJobTest, EveryFailureKeepsItsReasonUntilTheNextRun)
{
    struct Case {
        const char* name;
        const char* program;
        const char* body; // null: the program is missing
        int32_t category, format;
        const char* last;
        const char* reason; // "" : any non-empty text
    } cases[] = {
        {"encoder reason", "ALDER.DAT", "echo 'Pos: 1s (3%)'; echo 'Exiting... (The source has no audio stream)'", 3, 9,
         "failed", "The source has no audio stream"},
        {"refused option names it", "ALDER.DAT",
         "echo '-badoption is not an MEncoder option' >&2; echo 'Exiting... (error parsing command line)'", 3, 9, "bad",
         "-badoption is not an MEncoder option"},
        {"bare exiting takes the line before", "ALDER.DAT", "echo 'Cannot open output file'; echo 'Exiting...'", 3, 9,
         "failed", "Cannot open output file"},
        {"encoder missing", "ALDER.DAT", nullptr, 3, 9, "failed", ""},
        {"quiet encoder", "ALDER.DAT", "exit 0", 3, 9, "failed", "the encoder ended without writing the output file"},
        {"tool's own line", "CEDAR.DLL", "echo 'mp4-muxer: B.m4v holds no MPEG-4 video' >&2", 0, 0, "failed",
         "mp4-muxer: B.m4v holds no MPEG-4 video"},
        {"silent tool names the file", "LARCH.DAT", "exit 0", 2, 1, "failed", ".pmp was not made"},
    };
    for (const Case& c : cases) {
        programs.writeStandardSet();
        if (c.body)
            programs.write(c.program, c.body);
        else
            programs.remove(c.program);
        prepare(c.category, 0, c.format);
        std::filesystem::remove_all(outDir());
        EXPECT_EQ(run().back(), c.last) << c.name;
        const std::string reason = task.failureReason.c_str();
        if (*c.reason)
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
        else
            EXPECT_FALSE(reason.empty()) << c.name;
    }
    // A new run starts without the old reason.
    programs.writeStandardSet();
    prepare(3, 0, 9);
    EXPECT_EQ(run().back(), "done");
    EXPECT_TRUE(task.failureReason.empty());
}

TEST_F(TaskJobTest, AFailedOrStoppedRunLeavesNothingOfItsOwn)
{
    // The encoder's partial output and every log a two-pass encoder writes.
    programs.write("ALDER.DAT",
                   "printf x > \"$OUT.part\"; printf s > divx2pass-0.log; printf s > divx2pass.log; "
                   "printf m > divx2pass.log.mbtree; printf t > divx2pass.log.mbtree.temp; "
                   "echo 'Exiting... (rc buffer underflow)'");
    for (int32_t format : {10, 9, 0}) {
        prepare(format == 10 ? 4 : format == 9 ? 3 : 0, 0, format);
        std::filesystem::remove_all(outDir());
        std::filesystem::create_directories(outDir());
        writeFile(outDir() + "/other.mpg", "not ours");
        EXPECT_EQ(run().back(), "failed") << format;
        EXPECT_EQ(listDir(outDir()), (Events{"other.mpg"})) << format;
    }
    // A finished run's own output, there before this run, stays.
    prepare(3, 0, 9);
    const std::string earlier = task.outputPath.c_str();
    writeFile(earlier, "an earlier result");
    EXPECT_EQ(run().back(), "failed");
    EXPECT_EQ(readFile(earlier), "an earlier result");
    // The run worked towards the next name, and its claim went with the failure.
    EXPECT_EQ(listDir(outDir()), (Events{std::filesystem::path(earlier).filename().string(), "other.mpg"}));
}

TEST_F(TaskJobTest, VideoOnlySourcesSkipTheAudioSteps)
{
    struct Case {
        int32_t category, format;
        const char* final;
        size_t calls; // the encoder, then the tools
    } cases[] = {
        {0, 0, "clip.avi-3gp.3gp", 4}, // probe, extract video, mux video
        {0, 6, "clip.avi-mp4.mp4", 4},
        {2, 3, "clip.avi-mp4.mp4", 5}, // and the atom editor
        {2, 1, "clip.avi-pmp.pmp", 2}, // the PMP muxer alone, with a silent track
    };
    for (const Case& c : cases) {
        programs.writeStandardSet();
        std::filesystem::remove(programs.dir() + "/calls.log");
        prepare(c.category, 0, c.format);
        task.media.hasAudio = false;
        std::filesystem::remove_all(outDir());
        EXPECT_EQ(run().back(), "done") << c.format;
        const Events calls = programs.calls();
        EXPECT_EQ(calls.size(), c.calls) << c.format;
        for (const std::string& call : calls) {
            EXPECT_EQ(call.find("[-oac] [copy]"), std::string::npos) << call;
            EXPECT_EQ(call.find(".aac]"), std::string::npos) << call;
        }
        EXPECT_EQ(listDir(outDir()), (Events{c.final})) << c.format;
    }
    const std::string b = workBase();
    EXPECT_EQ(programs.calls().back(), "LARCH.DAT [-v] [" + b + ".avi] [-o] [" + b + ".pmp]");
}

TEST_F(TaskJobTest, AFirstPassThatLeftNoLogNeverRunsTheSecond)
{
    struct Case {
        const char* name;
        const char* firstPass; // what the fake does on its first pass
        const char* reason;
    } cases[] = {
        {"killed", "printf x > \"$OUT.part\"; kill -9 $$", "the encoder ended by signal 9 during the first pass"},
        {"quiet without a log", "exit 0", "the first pass left no two-pass log divx2pass.log"},
    };
    for (const Case& c : cases) {
        programs.write("ALDER.DAT",
                       std::string("case \"$*\" in *vpass=1*) ") + c.firstPass + ";; esac\nprintf x > \"$OUT\"");
        std::filesystem::remove(programs.dir() + "/calls.log");
        std::filesystem::remove_all(outDir());
        std::filesystem::create_directories(outDir());
        // A log someone left there must not pass for this run's.
        writeFile(outDir() + "/divx2pass.log", "stale");
        prepare(4, 0, 10);
        EXPECT_EQ(run(), (Events{"state 6", "failed"})) << c.name;
        EXPECT_EQ(programs.calls().size(), 1u) << c.name;
        EXPECT_EQ(std::string(task.failureReason.c_str()),
                  std::string(failureSentence(FailureCause::EncoderEnded)) + "\r\n" + c.reason);
        // The stale log was not this task's: it stays, and did not pass for one.
        EXPECT_EQ(listDir(outDir()), (Events{"divx2pass.log"})) << c.name;
    }
}

TEST_F(TaskJobTest, AFormatWithNothingToMakeItFromFailsBeforeAnythingRuns)
{
    struct Case {
        int32_t category, format;
        bool hasVideo, hasAudio;
        FailureCause cause;
    } cases[] = {
        {3, 9, false, true, FailureCause::NoVideo}, // flv from a song
        {0, 0, false, true, FailureCause::NoVideo}, // 3gp
        {4, 0 + 10, false, true, FailureCause::NoVideo},
        {7, 8, true, false, FailureCause::NoAudio}, // mp3 from a silent film
        {6, 13, true, false, FailureCause::NoAudio}, // wma
    };
    for (const Case& c : cases) {
        std::filesystem::remove(programs.dir() + "/calls.log");
        std::filesystem::remove_all(outDir());
        prepare(c.category, 0, c.format);
        task.media.hasVideo = c.hasVideo;
        task.media.hasAudio = c.hasAudio;
        EXPECT_EQ(run(), (Events{"bad"})) << c.format;
        EXPECT_TRUE(programs.calls().empty()) << c.format;
        EXPECT_FALSE(fileExists(outDir())) << "nothing is made: " << c.format;
        EXPECT_EQ(std::string(task.failureReason.c_str()).rfind(failureSentence(c.cause), 0), 0u)
            << task.failureReason.c_str();
    }
    // The formats that fit such sources still convert.
    prepare(7, 0, 8);
    task.media.hasVideo = false;
    EXPECT_EQ(run().back(), "done");
    prepare(3, 0, 9);
    task.media.hasAudio = false;
    EXPECT_EQ(run().back(), "done");
}

TEST_F(TaskJobTest, AnAddedFormatRowIsRunByItsOwnFacts)
{
    const qf::convert::test::ExtendedFormatTable table{qf::convert::test::kTestAudioFormat,
                                                       qf::convert::test::kTestMuxedFormat};
    const int32_t audio = qf::convert::test::ExtendedFormatTable::added(0);
    const int32_t muxed = qf::convert::test::ExtendedFormatTable::added(1);

    // Audio only: nothing to make it from without audio, one encoder run without muxing otherwise.
    prepare(7, 0, audio);
    task.media.hasAudio = false;
    EXPECT_EQ(run(), (Events{"bad"}));
    EXPECT_TRUE(programs.calls().empty());
    prepare(7, 0, audio);
    task.media.hasVideo = false;
    EXPECT_EQ(run(), (Events{"state 5", "progress 50%", "progress 100%", "state 8", "done"}));
    ASSERT_EQ(programs.calls().size(), 1u);
    EXPECT_NE(programs.calls()[0].find("[frameno]"), std::string::npos) << programs.calls()[0];
    EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-m4a.m4a"}));

    // Through an AVI muxed to MP4: the probe, both extractions and both muxer runs.
    std::filesystem::remove(programs.dir() + "/calls.log");
    std::filesystem::remove_all(outDir());
    prepare(0, 0, 6);
    task.outputFormat = muxed;
    task.makeOutputPath(outDir().c_str());
    EXPECT_EQ(run().back(), "done");
    const Events calls = programs.calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_NE(calls[0].find("harddup,crop=16:16"), std::string::npos) << calls[0];
    EXPECT_EQ(calls[1], "BIRCH.DLL [" + workBase() + ".avi]");
    EXPECT_EQ(calls[4].rfind("CEDAR.DLL", 0), 0u) << calls[4];
    EXPECT_EQ(listDir(outDir()), (Events{"clip.avi-tab.mp4"}));
}

TEST_F(TaskJobTest, ReasonsStartWithAChineseSentenceAndKeepTheProgramsLine)
{
    struct Case {
        const char* name;
        const char* encoder; // null: the encoder is missing
        const char* expected;
    } cases[] = {
        {"disk full", "echo \"Exiting... (Cannot open output file 'o.flv': No space left on device)\"",
         "磁盘空间不足,输出文件没能写完。\r\nCannot open output file 'o.flv': No space left on device"},
        {"refused option",
         "echo '-badoption is not an MEncoder option'; echo 'Exiting... (error parsing command line)'",
         "编码器不接受这些转换参数。\r\n-badoption is not an MEncoder option"},
        {"damaged", "echo 'Exiting... (Cannot read the source: Invalid data found when processing input)'",
         "源文件已损坏,或者无法读取。\r\nCannot read the source: Invalid data found when processing input"},
        {"no known cause", "echo 'Exiting... (rc buffer underflow)'", "rc buffer underflow"},
        {"no write permission", "echo \"Exiting... (Cannot open output file 'o.flv': Permission denied)\"",
         "没有权限写入输出文件夹,请另选一个输出文件夹。\r\nCannot open output file 'o.flv': Permission denied"},
        {"missing encoder", nullptr, "缺少转换所需的程序,请重新安装本软件。\r\nno such program: "},
    };
    for (const Case& c : cases) {
        if (c.encoder)
            programs.write("ALDER.DAT", c.encoder);
        else
            programs.remove("ALDER.DAT");
        prepare(3, 0, 9);
        run();
        EXPECT_EQ(std::string(task.failureReason.c_str()).rfind(c.expected, 0), 0u)
            << c.name << ": " << task.failureReason.c_str();
    }
    // The folder's own failure says why the system refused it.
    prepare(3, 0, 9);
    writeFile(programs.dir() + "/blocker", "file");
    task.outputPath = (programs.dir() + "/blocker/sub/clip.avi-flv.flv").c_str();
    EXPECT_EQ(run(), (Events{"folder"}));
    const std::string reason = task.failureReason.c_str();
    EXPECT_EQ(reason.rfind("不能创建输出文件夹,请另选一个输出文件夹。\r\ncannot create the output folder ", 0), 0u)
        << reason;
    EXPECT_NE(reason.find("Not a directory"), std::string::npos) << reason;
}

TEST_F(TaskJobTest, AnOutputShorterThanTheSourceIsDoneWithAWarning)
{
    struct Case {
        const char* name;
        int32_t category, format;
        const char* position; // of the encoder's last status line
        const char* start;
        const char* length;
        const char* warning; // "" : none
    } cases[] = {
        {"cut in half", 3, 9, "5.4", "", "", "源文件可能已损坏:只转换了 00:00:05 / 00:00:11"},
        {"within a second", 3, 9, "10.2", "", "", ""},
        {"from a start position", 3, 9, "5.0", "00:00:06", "", ""},
        {"cut to a length", 3, 9, "5.0", "", "00:00:05", ""},
        {"short of a length", 3, 9, "2.0", "", "00:00:05", "源文件可能已损坏:只转换了 00:00:02 / 00:00:05"},
        // The stop time is a position in the source: from 2 to 5 is 3 seconds.
        {"from a start to a stop", 3, 9, "3.0", "00:00:02", "00:00:05", ""},
        {"short of a stop", 3, 9, "1.0", "00:00:02", "00:00:05", "源文件可能已损坏:只转换了 00:00:01 / 00:00:03"},
        {"after muxing", 0, 0, "3.0", "", "", "源文件可能已损坏:只转换了 00:00:03 / 00:00:11"},
        {"audio only", 7, 8, "3.0", "", "", "源文件可能已损坏:只转换了 00:00:03 / 00:00:09"},
    };
    for (const Case& c : cases) {
        programs.writeStandardSet();
        programs.write("ALDER.DAT",
                       std::string("case \"$*\" in *'-of rawvideo'*|*'-oac copy'*) printf s > \"$OUT\"; exit;; esac\n"
                                   "echo 'Pos:   1.0s   25f (10%)'; printf 'Pos: %5ss  100f (100%%)\\r\\n' ")
                           + c.position + "; printf x > \"$OUT\"");
        prepare(c.category, 0, c.format);
        task.media.videoDuration = "00:00:11.040";
        task.media.audioDuration = "00:00:09.000";
        task.startTime = 0;
        static_cast<convert::ConversionSettings&>(task).startTime = c.start;
        task.endPosition = c.length;
        std::filesystem::remove_all(outDir());
        EXPECT_EQ(run().back(), "done") << c.name;
        EXPECT_STREQ(task.warning.c_str(), c.warning) << c.name;
        EXPECT_TRUE(task.failureReason.empty()) << c.name;
    }
    // Without a probed length there is nothing to compare with; a new run
    // starts without the old warning.
    prepare(3, 0, 9);
    task.media.videoDuration = "";
    task.media.audioDuration = "";
    static_cast<convert::ConversionSettings&>(task).startTime = "";
    task.endPosition = "";
    task.warning = "old";
    EXPECT_EQ(run().back(), "done");
    EXPECT_TRUE(task.warning.empty());
}

// A stop that comes just as the last step ends, before the task is reported
// done, still ends it as not done and leaves nothing.
class StopAfterMuxing : public ConversionWorker {
public:
    using ConversionWorker::ConversionWorker;
    bool postProcessMp4(ConversionTask& task) override
    {
        const bool made = ConversionWorker::postProcessMp4(task);
        requestStop();
        return made;
    }
};

TEST_F(TaskJobTest, AStopAsTheLastStepEndsLeavesNothing)
{
    StopAfterMuxing stopping(programs.environment());
    stopping.setOwner(&sink);
    stopping.markBusy();
    prepare(0, 0, 6);
    events.clear();
    stopping.runTask(task);
    EXPECT_EQ(events, (Events{"state 5", "progress 50%", "progress 100%", "state 8", "stopped"}));
    EXPECT_EQ(listDir(outDir()), Events{});
}

} // namespace
} // namespace qf::tasks
