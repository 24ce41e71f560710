// The run of one task on the worker thread: command lines, output folder,
// encoder passes, the two-pass log, post-processing and the notifications.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "convert/value_tables.h"
#include "core/clock_time.h"
#include "core/external_programs.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "tasks/encoder_output.h"
#include "tasks/failure_reason.h"
#include "tasks/output_claim.h"
#include "tasks/post_processing_commands.h"

namespace qf::tasks {

namespace {

constexpr size_t kProbeLineSize = 1024;
constexpr size_t kToolLineSize = 512;
constexpr int kFolderCheckMs = 250; // how often a running encoder's output folder is looked at

bool isAudioFormat(int32_t format)
{
    const convert::FormatEntry* entry = convert::formatEntry(format);
    return entry && entry->audioOnly;
}

// How a program that printed no reason ended, from its exit status (128 + n
// for an end by signal n, as the runner reports it).
std::string describeEnd(const char* what, int status)
{
    if (status > 128)
        return std::string(what) + " ended by signal " + std::to_string(status - 128);
    return std::string(what) + " ended with exit status " + std::to_string(status);
}

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

void ConversionWorker::fail(ConversionTask& task, uint32_t code, std::string_view reason, FailureCause cause)
{
    if (cause == FailureCause::Unknown) {
        cause = classifyFailure(reason);
        if (cause == FailureCause::None && code == core::NOTIFY_BAD_PARAMETERS)
            cause = FailureCause::BadParameters;
    }
    // Whatever a program says once the output folder has gone, that is
    // why it failed; and a failure of the output is the folder's state.
    std::string said(reason);
    if (code == core::NOTIFY_FAILED && cause != FailureCause::OutputFolderGone && outputFolderMoved(task)) {
        cause = FailureCause::OutputFolderGone;
        // The program only saw its file vanish: name the folder first.
        said = std::string("the output folder ") + core::fs::directoryPart(task.outputPath.c_str()).c_str()
            + " was removed or renamed (" + said + ")";
    }
    if (code == core::NOTIFY_FAILED && failsTheOutput(cause))
        code = core::NOTIFY_FOLDER_FAILED;
    const std::string text = explainFailure(cause, said);
    task.failureReason.assignBytes(text.data(), static_cast<uint32_t>(text.size()));
    notify(code, 0, &task);
}

bool ConversionWorker::refusedBeforeRunning(ConversionTask& task)
{
    const convert::ConversionSettings& settings = task; // its start time, not the task's
    if (!convert::stopFollowsStart(settings)) {
        fail(task, core::NOTIFY_BAD_PARAMETERS,
             std::string("the stop time ") + settings.endPosition.c_str() + " is not after the start time "
                 + settings.startTime.c_str(),
             FailureCause::StopBeforeStart);
        return true;
    }
    // The command line of a format without anything to make it from is
    // refused by the encoder in words no user can act on: say so first.
    if (isAudioFormat(task.outputFormat)) {
        if (task.media.hasAudio)
            return false;
        fail(task, core::NOTIFY_BAD_PARAMETERS, "the source has no audio stream", FailureCause::NoAudio);
        return true;
    }
    if (task.media.hasVideo)
        return false;
    fail(task, core::NOTIFY_BAD_PARAMETERS, "the source has no video stream", FailureCause::NoVideo);
    return true;
}

void ConversionWorker::runTask(ConversionTask& task)
{
    task.failureReason.clear();
    task.warning.clear();
    if (stopCheck(task))
        return;
    task.buildCommands();
    if (refusedBeforeRunning(task))
        return;

    // The task's own folder: the output folder it was given when its output
    // path was made, whatever the folder is now.
    const core::TextString folder = core::fs::directoryPart(task.outputPath.c_str());
    errno = 0;
    if (folder.empty() || !core::fs::makePath(folder.c_str(), true)) {
        std::string reason = std::string("cannot create the output folder ") + folder.c_str();
        if (errno != 0)
            reason.append(": ").append(std::strerror(errno));
        fail(task, core::NOTIFY_FOLDER_FAILED, reason, FailureCause::FolderFailed);
        return;
    }
    holdOutputFolder(folder.c_str());
    struct OutputFolderRelease {
        ConversionWorker& worker;
        ~OutputFolderRelease() { worker.releaseOutputFolder(); }
    } outputFolderRelease{*this};
    if (task.firstCommand().empty()) {
        fail(task, core::NOTIFY_BAD_PARAMETERS, "these settings give no encoder command line");
        return;
    }
    // What runs of ours ended by force (SIGKILL, a crash, a power cut) left
    // here: their owners are gone, so no one else will take it away.
    removeAbandonedWork(folder.c_str());
    // Every file of the run (the output until it is complete, the
    // intermediates, the encoder's fixed-name two-pass log) is made in the
    // claim's own folder, which goes with the claim: any number of
    // conversions can share an output folder, and a name there only ever
    // holds a finished output.
    const std::unique_ptr<OutputClaim> claim = claimOutput(task);
    if (!claim)
        return;
    workFolder_ = claim->folder();
    struct WorkFolderReset {
        std::string& folder;
        ~WorkFolderReset() { folder.clear(); }
    } workFolderReset{workFolder_};
    const bool twoPass = !task.secondCommand().empty();
    notify(core::NOTIFY_STATE_CHANGED, twoPass ? kStateFirstPass : kStateConverting, &task);
    if (!runEncoderPass(task, task.firstCommand().c_str()) || (twoPass && !firstPassLeftItsLog(task)))
        return;
    if (twoPass) {
        notify(core::NOTIFY_STATE_CHANGED, kStateSecondPass, &task);
        const bool passed = runEncoderPass(task, task.secondCommand().c_str());
        deleteTwoPassLogs(task);
        if (!passed)
            return;
    }
    // An encoder ended by a signal has not finished its file, whatever it
    // printed before: nothing may be muxed or kept from it.
    if (lastExitStatus_ > 128) {
        fail(task, core::NOTIFY_FAILED, describeEnd("the encoder", lastExitStatus_), FailureCause::EncoderEnded);
        return;
    }
    notify(core::NOTIFY_STATE_CHANGED, kStateMuxing, &task);
    bool finished = false;
    const convert::FormatEntry* format = convert::formatEntry(task.outputFormat);
    switch (format ? format->postProcessing : convert::PostProcessing::None) {
    case convert::PostProcessing::Mux3gp: finished = postProcess3gp(task); break;
    case convert::PostProcessing::MuxPmp: finished = postProcessPmp(task); break;
    case convert::PostProcessing::MuxMp4WithAtoms: finished = postProcessMp4WithAtoms(task); break;
    case convert::PostProcessing::MuxMp4: finished = postProcessMp4(task); break;
    case convert::PostProcessing::None: finished = checkFinalOutput(task); break;
    }
    // The last step may have ended just as the stop came: a stop that comes
    // before the task is reported done still ends it as not done.
    if (finished && !stopCheck(task) && publishOutput(task, *claim)) {
        warnIfShort(task);
        notify(core::NOTIFY_DONE, 0, &task);
    }
}

std::unique_ptr<OutputClaim> ConversionWorker::claimOutput(ConversionTask& task)
{
    // The name was free when the task was started; another program may
    // have taken it since: then the next free number of the name asked for.
    const std::string wanted = task.outputPath.c_str();
    errno = 0;
    std::unique_ptr<OutputClaim> claim = OutputClaim::make(
        wanted, task.requestedOutputPath.empty() ? wanted : std::string(task.requestedOutputPath.c_str()),
        task.replaceOutput);
    if (!claim) {
        std::string reason = "cannot create the output file " + wanted;
        if (errno != 0)
            reason.append(": ").append(std::strerror(errno));
        fail(task, core::NOTIFY_FAILED, reason);
        return nullptr;
    }
    // The commands name the file in the work folder; the task keeps the
    // output's own name, which the task list shows.
    outputBeingMade_ = claim->workPath();
    task.outputPath = outputBeingMade_.c_str();
    task.buildCommands();
    task.outputPath = claim->finalPath().c_str();
    return claim;
}

bool ConversionWorker::publishOutput(ConversionTask& task, OutputClaim& claim)
{
    if (claim.publish()) {
        // The next free name when someone put a file there during the run.
        task.outputPath = claim.finalPath().c_str();
        return true;
    }
    const std::string reason = "cannot write the output file " + claim.finalPath() + ": " + std::strerror(errno);
    fail(task, core::NOTIFY_FAILED, reason);
    return false;
}

const char* ConversionWorker::encoderFolder(const ConversionTask& task, core::TextString& scratch) const
{
    if (!workFolder_.empty())
        return workFolder_.c_str();
    scratch = core::fs::directoryPart(task.outputPath.c_str());
    return scratch.c_str();
}

bool ConversionWorker::firstPassLeftItsLog(ConversionTask& task)
{
    core::TextString folder;
    core::TextString log;
    log.format("%s/%s", encoderFolder(task, folder), core::external::kTwoPassLog);
    if (core::fs::isFile(log.c_str()))
        return true;
    // A first pass that ended without its statistics (killed, or crashed
    // quietly) has not done its work: the second pass could only fail for
    // want of them, and that is not the reason.
    if (lastExitStatus_ != 0)
        fail(task, core::NOTIFY_FAILED, describeEnd("the encoder", lastExitStatus_) + " during the first pass",
             FailureCause::EncoderEnded);
    else
        fail(task, core::NOTIFY_FAILED,
             std::string("the first pass left no two-pass log ") + core::external::kTwoPassLog,
             FailureCause::EncoderEnded);
    return false;
}

double ConversionWorker::expectedSeconds(const ConversionTask& task)
{
    // The source's length as probed, for the streams the output carries.
    double source = 0;
    if (task.media.hasAudio && task.audioCodec != convert::kAudioCodecNone)
        source = durationSeconds(task.media.audioDuration.view()).value_or(0);
    if (!isAudioFormat(task.outputFormat) && task.media.hasVideo)
        source = std::max(source, durationSeconds(task.media.videoDuration.view()).value_or(0));
    if (source <= 0)
        return 0;
    // The settings' start position, which the task's own start time hides.
    // Both are positions in the source's clock.
    const convert::ConversionSettings& settings = task;
    double end = source;
    if (core::isTimeText(settings.endPosition.c_str()))
        end = std::min(end, static_cast<double>(core::parseTime(settings.endPosition.c_str())));
    if (core::isTimeText(settings.startTime.c_str()))
        end -= core::parseTime(settings.startTime.c_str());
    return end;
}

void ConversionWorker::warnIfShort(ConversionTask& task)
{
    const double expected = expectedSeconds(task);
    if (reachedSeconds_ < 0 || expected <= 0 || expected - reachedSeconds_ <= kShortOutputToleranceSeconds)
        return;
    char reached[16];
    char total[16];
    core::formatSeconds(static_cast<uint32_t>(reachedSeconds_), reached);
    core::formatSeconds(static_cast<uint32_t>(std::lround(expected)), total);
    task.warning.format("%s%s / %s", kDamagedSourceWarning, reached, total);
}

bool ConversionWorker::checkFinalOutput(ConversionTask& task)
{
    // An encoder that ended quietly without writing anything has not
    // converted the file, whatever it did not print.
    if (stopCheck(task))
        return false;
    if (core::fs::fileSize(outputBeingMade_.c_str()) > 0)
        return true;
    if (lastExitStatus_ > 128)
        fail(task, core::NOTIFY_FAILED,
             describeEnd("the encoder", lastExitStatus_) + " without writing the output file",
             FailureCause::EncoderEnded);
    else
        fail(task, core::NOTIFY_FAILED, "the encoder ended without writing the output file");
    return false;
}

void ConversionWorker::deleteTwoPassLogs(const ConversionTask& task)
{
    // Only in the folder the encoder ran in: a log elsewhere may be another
    // conversion's, running now.
    core::TextString scratch;
    const char* folder = encoderFolder(task, scratch);
    for (const char* name : {"divx2pass.log", "divx2pass-0.log", "divx2pass.log.temp", "divx2pass.log.mbtree",
                             "divx2pass.log.mbtree.temp"}) {
        core::TextString path;
        path.format("%s/%s", folder, name);
        core::fs::removePath(path.c_str());
    }
}

bool ConversionWorker::runEncoderPass(ConversionTask& task, const char* commandLine)
{
    if (stopCheck(task))
        return false;
    // Both passes run in the task's work folder (the output folder when
    // run on their own), so the two-pass log is this task's alone.
    core::TextString scratch;
    const char* folder = encoderFolder(task, scratch);
    reachedSeconds_ = -1;
    lastExitStatus_ = 0;
    if (!start(commandLine, folder) || !openStream()) {
        const std::string why = error();
        close();
        fail(task, core::NOTIFY_FAILED, why, FailureCause::ProgramMissing);
        return false;
    }
    // The line before a bad-options "Exiting..." names the option.
    std::string previous;
    char* line = task.lineBuffer.reserve(ConversionTask::kLineBufferSize - 1);
    auto folderCheck = std::chrono::steady_clock::now();
    for (;;) {
        if (stopCheck(task))
            return false;
        // A folder removed or renamed under the encoder would fail it only
        // at its last rename, the whole conversion later.
        if (const auto now = std::chrono::steady_clock::now(); now >= folderCheck) {
            folderCheck = now + std::chrono::milliseconds(kFolderCheckMs);
            if (outputFolderMoved(task)) {
                close();
                fail(task, core::NOTIFY_FAILED,
                     std::string("the output folder ") + core::fs::directoryPart(task.outputPath.c_str()).c_str()
                         + " was removed or renamed",
                     FailureCause::OutputFolderGone);
                return false;
            }
        }
        const ReadResult got = readOutput(line, ConversionTask::kLineBufferSize);
        if (got == ReadResult::Ended) {
            lastExitStatus_ = exitStatus();
            return true;
        }
        if (got == ReadResult::Nothing) {
            waitForOutput(kPollMs);
            continue;
        }
        line[trimLineEnd(line).size()] = 0;
        if (line[0] == 0)
            continue;
        switch (classifyEncoderLine(line)) {
        case EncoderLine::Progress:
            if (const auto seconds = positionFromLine(line))
                reachedSeconds_ = std::max(reachedSeconds_, *seconds);
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
        case EncoderLine::Other: previous = line; break;
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
        fail(task, core::NOTIFY_FAILED, why, FailureCause::ProgramMissing);
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
            waitForOutput(kPollMs);
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
        fail(task, core::NOTIFY_FAILED, why, FailureCause::ProgramMissing);
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
            waitForOutput(kPollMs);
            continue;
        }
        const std::string_view text = trimLineEnd(line);
        if (!text.empty())
            lastToolLine_.assign(text);
    }
}

} // namespace qf::tasks
