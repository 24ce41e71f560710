// The run of one task on the worker thread: command lines, output folder,
// encoder passes, the two-pass log, post-processing and the notifications.

#include <chrono>
#include <cstring>
#include <thread>

#include "convert/value_tables.h"
#include "core/external_programs.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "tasks/encoder_output.h"
#include "tasks/post_processing_commands.h"

namespace qf::tasks {

namespace {

constexpr size_t kProbeLineSize = 1024;
constexpr size_t kToolLineSize = 512;

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(ConversionWorker::kPollMs)); }

} // namespace

ConversionWorker::ReadResult ConversionWorker::readOutput(char* buffer, size_t size)
{
    if (readLine(buffer, size))
        return ReadResult::Line;
    if (!hasExited())
        return ReadResult::Nothing;
    // What it wrote before it ended is in the pipe by now: take it before
    // calling the run over, so that a last "Exiting..." is never missed.
    return readLine(buffer, size) ? ReadResult::Line : ReadResult::Ended;
}

void ConversionWorker::fail(ConversionTask& task, uint32_t code, std::string_view reason)
{
    task.failureReason.assignBytes(reason.data(), static_cast<uint32_t>(reason.size()));
    notify(code, 0, &task);
}

void ConversionWorker::runTask(ConversionTask& task)
{
    task.failureReason.clear();
    if (stopCheck(task))
        return;
    task.buildCommands();

    // The task's own folder: the output folder it was given when its output
    // path was made, whatever the folder is now.
    const core::TextString folder = core::fs::directoryPart(task.outputPath.c_str());
    if (folder.empty() || !core::fs::makePath(folder.c_str(), true)) {
        core::TextString reason;
        reason.format("cannot create the output folder %s", folder.c_str());
        task.failureReason = reason;
        notify(core::NOTIFY_FOLDER_FAILED, 0, &task);
        return;
    }
    if (task.firstCommand().empty()) {
        fail(task, core::NOTIFY_BAD_PARAMETERS, "these settings give no encoder command line");
        return;
    }
    // A file already standing there is a finished task's own result from an
    // earlier run: a failing run must not take it away.
    outputExistedAtStart_ = core::fs::exists(task.outputPath.c_str());
    const bool twoPass = !task.secondCommand().empty();
    notify(core::NOTIFY_STATE_CHANGED, twoPass ? kStateFirstPass : kStateConverting, &task);
    if (!runEncoderPass(task, task.firstCommand().c_str())) {
        deleteTwoPassLogs(task);
        removeLeftovers(task);
        return;
    }
    if (twoPass) {
        notify(core::NOTIFY_STATE_CHANGED, kStateSecondPass, &task);
        const bool passed = runEncoderPass(task, task.secondCommand().c_str());
        deleteTwoPassLogs(task);
        if (!passed) {
            removeLeftovers(task);
            return;
        }
    }
    notify(core::NOTIFY_STATE_CHANGED, kStateMuxing, &task);
    bool finished = false;
    switch (task.outputFormat) {
    case convert::kFormat3gp:
        finished = postProcess3gp(task);
        break;
    case convert::kFormatPmp:
        finished = postProcessPmp(task);
        break;
    case convert::kFormatPspMp4Xvid:
        finished = postProcessMp4WithAtoms(task);
        break;
    case convert::kFormatMp4Xvid:
        finished = postProcessMp4(task);
        break;
    default:
        finished = checkFinalOutput(task);
        break;
    }
    if (finished) {
        notify(core::NOTIFY_DONE, 0, &task);
        return;
    }
    removeLeftovers(task);
}

void ConversionWorker::removeLeftovers(const ConversionTask& task)
{
    // Each program is closed (its whole group ended) before this runs, so
    // nothing writes these any more. New tasks get output paths that name no
    // file, so an output standing there now is this run's, unless it stood
    // there before the run began.
    const char* out = task.outputPath.c_str();
    if (!outputExistedAtStart_)
        core::fs::removePath(out);
    core::fs::removePath(withSuffix(out, ".part").c_str());
    const core::TextString base = task.intermediateBase();
    if (!base.empty()) {
        removeFiles(base.c_str(), {".avi", ".avi.part", ".m4v", ".m4v.part", ".aac", ".aac.part", ".tmp",
                                   ".tmp.part", core::external::kPmpLogSuffix, ".pmp.part", ".pmp.log.part"});
    }
    // What the encoder's two-pass rate control leaves beside its log.
    const core::TextString folder = core::fs::directoryPart(out);
    for (const char* name : {"divx2pass.log", "divx2pass-0.log", "divx2pass.log.temp", "divx2pass.log.mbtree",
                             "divx2pass.log.mbtree.temp"}) {
        core::TextString path;
        path.format("%s/%s", folder.c_str(), name);
        core::fs::removePath(path.c_str());
    }
}

bool ConversionWorker::checkFinalOutput(ConversionTask& task)
{
    // An encoder that ended quietly without writing anything has not
    // converted the file, whatever it did not print.
    if (stopCheck(task))
        return false;
    if (core::fs::fileSize(task.outputPath.c_str()) > 0)
        return true;
    fail(task, core::NOTIFY_FAILED, "the encoder ended without writing the output file");
    return false;
}

void ConversionWorker::deleteTwoPassLogs(const ConversionTask& task)
{
    const char* log = core::external::kTwoPassLog;
    core::TextString path;
    path.format("%s/%s", environment_.programDirectory.c_str(), log);
    core::fs::removePath(path.c_str());
    const core::TextString sourceFolder = core::fs::directoryPart(task.sourcePath.c_str());
    if (!sourceFolder.empty()) {
        path.format("%s/%s", sourceFolder.c_str(), log);
        core::fs::removePath(path.c_str());
    }
    // The encoder writes its log in its working directory: the output folder.
    const core::TextString outputFolder = core::fs::directoryPart(task.outputPath.c_str());
    path.format("%s/%s", outputFolder.c_str(), log);
    core::fs::removePath(path.c_str());
}

bool ConversionWorker::runEncoderPass(ConversionTask& task, const char* commandLine)
{
    if (stopCheck(task))
        return false;
    // Both passes run in the output folder, which was just made and is
    // writable, so the two-pass log never lands in a folder we may not write
    // to and two programs converting elsewhere never share one log.
    const core::TextString outputFolder = core::fs::directoryPart(task.outputPath.c_str());
    if (!start(commandLine, outputFolder.c_str()) || !openStream()) {
        const std::string why = error();
        close();
        fail(task, core::NOTIFY_FAILED, why);
        return false;
    }
    // The line before a bad-options "Exiting..." names the option.
    std::string previous;
    char* line = task.lineBuffer.reserve(ConversionTask::kLineBufferSize - 1);
    for (;;) {
        if (stopCheck(task))
            return false;
        const ReadResult got = readOutput(line, ConversionTask::kLineBufferSize);
        if (got == ReadResult::Ended)
            return true;
        if (got == ReadResult::Nothing) {
            pause();
            continue;
        }
        line[trimLineEnd(line).size()] = 0;
        if (line[0] == 0)
            continue;
        switch (classifyEncoderLine(line)) {
        case EncoderLine::Progress:
            notify(core::NOTIFY_PROGRESS_LINE, 0, &task);
            break;
        case EncoderLine::BadParameters: {
            const std::string reason = previous.empty() ? std::string(exitReason(line)) : previous;
            close();
            fail(task, core::NOTIFY_BAD_PARAMETERS, reason);
            return false;
        }
        case EncoderLine::Failed: {
            std::string reason(exitReason(line));
            if (reason == line && !previous.empty())
                reason = previous;
            close();
            fail(task, core::NOTIFY_FAILED, reason);
            return false;
        }
        case EncoderLine::Other:
            previous = line;
            break;
        }
    }
}

bool ConversionWorker::runFrameRateProbe(ConversionTask& task, const char* commandLine, int32_t& rate)
{
    if (stopCheck(task))
        return false;
    if (!start(commandLine) || !openStream()) {
        const std::string why = error();
        close();
        fail(task, core::NOTIFY_FAILED, why);
        return false;
    }
    int32_t found = -1;
    char line[kProbeLineSize];
    for (;;) {
        if (stopCheck(task))
            return false;
        const ReadResult got = readOutput(line, sizeof line);
        if (got == ReadResult::Ended) {
            rate = found >= 0 ? found : leadingInteger(task.media.videoFrameRate.view());
            return true;
        }
        if (got == ReadResult::Nothing)
            pause();
        else if (found < 0)
            found = frameRateFromLine(line).value_or(-1);
    }
}

bool ConversionWorker::runTool(ConversionTask& task, const char* commandLine)
{
    if (stopCheck(task))
        return false;
    lastToolLine_.clear();
    if (!start(commandLine) || !openStream()) {
        const std::string why = error();
        close();
        fail(task, core::NOTIFY_FAILED, why);
        return false;
    }
    char line[kToolLineSize];
    for (;;) {
        if (stopCheck(task))
            return false;
        // Only the last line is kept (a tool's reason for leaving no file);
        // a pause only when the tool is silent, so that a chatty tool is
        // never held up by its own output.
        const ReadResult got = readOutput(line, sizeof line);
        if (got == ReadResult::Ended)
            return true;
        if (got == ReadResult::Nothing) {
            pause();
            continue;
        }
        const std::string_view text = trimLineEnd(line);
        if (!text.empty())
            lastToolLine_.assign(text);
    }
}

} // namespace qf::tasks
