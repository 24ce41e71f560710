// Quitting during a conversion, as the main window does when it closes:
// requestStop, the receiver shut down, endThread. With the real encoder and
// tools, during each pass: afterwards no program of the task runs and
// nothing of it is left in the output folder.

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/command_line_builder.h"
#include "core/messages.h"
#include "core/notification_sink.h"
#include "integration/support/integration_support.h"
#include "tasks/conversion_worker.h"

namespace {

using namespace qf;
using namespace qf::integration;
namespace stdfs = std::filesystem;

// Live (not zombie) processes whose command line mentions `text`.
std::vector<std::string> processesMentioning(const std::string& text)
{
    std::vector<std::string> found;
    for (const auto& entry : stdfs::directory_iterator("/proc")) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string line((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
        for (char& c : line)
            if (c == 0)
                c = ' ';
        if (line.find(text) == std::string::npos)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string statLine;
        std::getline(stat, statLine);
        const size_t close = statLine.rfind(')');
        if (close != std::string::npos && close + 2 < statLine.size() && statLine[close + 2] == 'Z')
            continue;
        found.push_back(pid + ": " + line);
    }
    return found;
}

TEST(WorkerQuit, DuringEachPassLeavesNoProgramAndNoFile)
{
    struct Case {
        const char* name;
        int32_t category, model, format;
        uint32_t stopInState;
    } cases[] = {
        {"dvd-pass1", 4, 0, 10, tasks::kStateFirstPass},
        {"dvd-pass2", 4, 0, 10, tasks::kStateSecondPass},
        {"psp-mp4", 2, 0, 2, tasks::kStateConverting},
        {"3gp", 0, 0, 0, tasks::kStateConverting},
    };
    tasks::ConversionWorker::Environment environment;
    environment.tools.build(kProgramDir.c_str());
    environment.programDirectory = kProgramDir.c_str();
    convert::CommandLineBuilder::setEncoderPath(environment.tools.encoderPath.c_str());
    // A copy of the clip under a name no other test's programs mention.
    const std::string source = kDataDir + "/quit source.avi";
    stdfs::copy_file(clip(), source, stdfs::copy_options::overwrite_existing);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = kDataDir + "/quit-" + c.name;
        stdfs::remove_all(out);
        tasks::ConversionTask task;
        task.sourcePath = source.c_str();
        task.selectModel(c.category, c.model, c.format);
        task.media.hasVideo = true;
        task.media.hasAudio = true;
        task.makeOutputPath(out.c_str());

        tasks::ConversionWorker worker(environment);
        uint32_t state = 0;
        bool encoding = false;  // a progress line in the pass to stop
        core::QueuedSink sink([&](const core::Message& m) {
            const uint32_t code = core::taskNotifyCode(m.wParam);
            if (code == core::NOTIFY_STATE_CHANGED)
                state = core::taskNotifyDetail(m.wParam);
            if (code == core::NOTIFY_PROGRESS_LINE && state == c.stopInState)
                encoding = true;
            return intptr_t{0};
        });
        worker.startThread(sink);
        worker.markBusy();
        worker.enqueue(&task);
        worker.enqueueEnd();
        for (int i = 0; i < 6000 && !encoding; ++i)
            sink.waitAndPump(5);
        ASSERT_TRUE(encoding) << "the pass never showed progress";

        worker.requestStop();
        sink.shutdown();
        worker.endThread();

        EXPECT_EQ(processesMentioning("quit source.avi"), std::vector<std::string>{});
        std::vector<std::string> left;
        for (const auto& entry : stdfs::directory_iterator(out))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{});
    }
    stdfs::remove(source);
}

} // namespace
