// The run of one task on the worker thread: command lines, output folder,
// encoder passes, the two-pass log, post-processing and the notifications.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

#include "convert/value_tables.h"
#include "core/clock_time.h"
#include "core/external_programs.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "tasks/encoder_output.h"
#include "tasks/failure_reason.h"
#include "tasks/output_name.h"
#include "tasks/post_processing_commands.h"
#include "tasks/scratch_folder.h"

namespace qf::tasks {

namespace {

constexpr size_t kProbeLineSize = 1024;
constexpr size_t kToolLineSize = 512;
constexpr int kFolderCheckMs = 250;   // how often a running encoder's output folder is looked at

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
    if (code == core::NOTIFY_FAILED && outputFolderMoved(task))
        cause = FailureCause::OutputFolderGone;
    if (code == core::NOTIFY_FAILED && failsTheOutput(cause))
        code = core::NOTIFY_FOLDER_FAILED;
    const std::string text = explainFailure(cause, reason);
    task.failureReason.assignBytes(text.data(), static_cast<uint32_t>(text.size()));
    notify(code, 0, &task);
}

bool ConversionWorker::refusedBeforeRunning(ConversionTask& task)
{
    const convert::ConversionSettings& settings = task;   // its start time, not the task's
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
    // Every file the encoder leaves in its working directory (the two-pass
    // log above all, whose name is fixed) is the task's own, so that any
    // number of conversions can share an output folder.
    ScratchFolder scratch(task.outputPath.c_str());
    if (!scratch.made()) {
        fail(task, core::NOTIFY_FOLDER_FAILED, std::string("cannot create a scratch folder: ") + std::strerror(errno),
             FailureCause::FolderFailed);
        return;
    }
    workFolder_ = scratch.path();
    struct WorkFolderReset {
        std::string& folder;
        ~WorkFolderReset() { folder.clear(); }
    } workFolderReset{workFolder_};
    if (!claimOutput(task))
        return;
    const bool twoPass = !task.secondCommand().empty();
    notify(core::NOTIFY_STATE_CHANGED, twoPass ? kStateFirstPass : kStateConverting, &task);
    if (!runEncoderPass(task, task.firstCommand().c_str()) || (twoPass && !firstPassLeftItsLog(task))) {
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
    // An encoder ended by a signal has not finished its file, whatever it
    // printed before: nothing may be muxed or kept from it.
    if (lastExitStatus_ > 128) {
        fail(task, core::NOTIFY_FAILED, describeEnd("the encoder", lastExitStatus_), FailureCause::EncoderEnded);
        removeLeftovers(task);
        return;
    }
    notify(core::NOTIFY_STATE_CHANGED, kStateMuxing, &task);
    bool finished = false;
    const convert::FormatEntry* format = convert::formatEntry(task.outputFormat);
    switch (format ? format->postProcessing : convert::PostProcessing::None) {
    case convert::PostProcessing::Mux3gp:
        finished = postProcess3gp(task);
        break;
    case convert::PostProcessing::MuxPmp:
        finished = postProcessPmp(task);
        break;
    case convert::PostProcessing::MuxMp4WithAtoms:
        finished = postProcessMp4WithAtoms(task);
        break;
    case convert::PostProcessing::MuxMp4:
        finished = postProcessMp4(task);
        break;
    case convert::PostProcessing::None:
        finished = checkFinalOutput(task);
        break;
    }
    // The last step may have ended just as the stop came: a stop that comes
    // before the task is reported done still ends it as not done.
    if (finished && !stopCheck(task)) {
        warnIfShort(task);
        notify(core::NOTIFY_DONE, 0, &task);
        return;
    }
    removeLeftovers(task);
}

bool ConversionWorker::claimOutput(ConversionTask& task)
{
    if (task.replaceOutput) {
        // Asked to write over what stands there: that file is not ours to
        // remove when the run fails.
        outputExistedAtStart_ = core::fs::exists(task.outputPath.c_str());
        return true;
    }
    // The name was free when the task was started; another program may
    // have taken it since. The empty file holds the name until the output
    // is renamed over it.
    errno = 0;
    std::optional<core::TextString> claimed;
    const int fd = ::open(task.outputPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
        claimed = task.outputPath;
    } else if (errno == EEXIST) {
        claimed = claimFreePath(task.requestedOutputPath.empty() ? task.outputPath : task.requestedOutputPath, nullptr);
    }
    if (!claimed) {
        std::string reason = std::string("cannot create the output file ") + task.outputPath.c_str();
        if (errno != 0)
            reason.append(": ").append(std::strerror(errno));
        fail(task, core::NOTIFY_FAILED, reason);
        return false;
    }
    if (!(*claimed == task.outputPath)) {
        task.outputPath = *claimed;
        task.buildCommands();
    }
    outputExistedAtStart_ = false;
    return true;
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
        fail(task, core::NOTIFY_FAILED, std::string("the first pass left no two-pass log ") + core::external::kTwoPassLog,
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

void ConversionWorker::removeHiddenTemporaries(const char* folder, const std::vector<std::string>& names)
{
    // The helper tools write under ".<name>.part-XXXXXX" and rename at the
    // end; one ended by force leaves that file behind.
    std::error_code error;
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string file = entry.path().filename().string();
        for (const std::string& name : names) {
            const std::string prefix = "." + name + ".part-";
            if (file.size() == prefix.size() + 6 && file.compare(0, prefix.size(), prefix) == 0)
                found.push_back(entry.path());
        }
    }
    for (const auto& path : found)
        core::fs::removePath(path.string().c_str());
}

void ConversionWorker::removeLeftovers(const ConversionTask& task)
{
    // Each program is closed (its whole group ended) before this runs, so
    // nothing writes these any more. New tasks get output paths that name no
    // file, so an output standing there now is this run's, unless it stood
    // there before the run began.
    // A folder moved away under the run holds what the run wrote where it
    // is now.
    const std::string folderNow = outputFolderNow(task);
    const core::TextString moved = (folderNow + "/" + core::fs::fileNamePart(task.outputPath.c_str())).c_str();
    const core::TextString movedBase =
        task.intermediateBase().empty()
            ? core::TextString()
            : core::TextString((folderNow + "/" + core::fs::fileNamePart(task.intermediateBase().c_str())).c_str());
    const char* out = moved.c_str();
    if (!outputExistedAtStart_)
        core::fs::removePath(out);
    core::fs::removePath(withSuffix(out, ".part").c_str());
    const core::TextString& base = movedBase;
    if (!base.empty()) {
        removeFiles(base.c_str(), {".avi", ".avi.part", ".m4v", ".m4v.part", ".aac", ".aac.part", ".tmp",
                                   ".tmp.part", core::external::kPmpLogSuffix, ".pmp.part", ".pmp.log.part"});
    }
    const core::TextString folder = core::fs::directoryPart(out);
    std::vector<std::string> names = {core::fs::fileNamePart(out)};
    if (!base.empty()) {
        const std::string baseName = core::fs::fileNamePart(base.c_str());
        for (const char* suffix : {".avi", ".m4v", ".aac", ".tmp", ".mp4", ".3gp", ".pmp", ".pmp.log"})
            names.push_back(baseName + suffix);
    }
    removeHiddenTemporaries(folder.c_str(), names);
    // What the encoder's two-pass rate control leaves beside its log.
    deleteTwoPassLogs(task);
}

bool ConversionWorker::checkFinalOutput(ConversionTask& task)
{
    // An encoder that ended quietly without writing anything has not
    // converted the file, whatever it did not print.
    if (stopCheck(task))
        return false;
    if (core::fs::fileSize(task.outputPath.c_str()) > 0)
        return true;
    if (lastExitStatus_ > 128)
        fail(task, core::NOTIFY_FAILED, describeEnd("the encoder", lastExitStatus_) + " without writing the output file",
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
    // Both passes run in the task's scratch folder (the output folder when
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
