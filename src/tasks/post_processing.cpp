// Post-processing: the AVI intermediate of the 3GP, PMP and MP4-via-XVID
// formats becomes the final file. Every step is judged by the file it
// leaves; intermediates are removed on every path.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/file_system.h"
#include "convert/value_tables.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "tasks/post_processing_commands.h"

namespace qf::tasks {

namespace fs = core::fs;

namespace {

bool present(const char* base, const char* suffix) { return fs::isFile(withSuffix(base, suffix).c_str()); }

// The intermediate holds audio only when the source has some and the
// settings keep it; otherwise the audio steps are skipped.
bool carriesAudio(const ConversionTask& task)
{
    return task.media.hasAudio && task.audioCodec != convert::kAudioCodecNone;
}

} // namespace

void ConversionWorker::removeFiles(const char* base, std::initializer_list<const char*> suffixes)
{
    for (const char* suffix : suffixes)
        fs::removePath(withSuffix(base, suffix).c_str());
}

void ConversionWorker::failMissing(ConversionTask& task, const char* base, const char* suffix)
{
    // The tool's own last line says why; a silent tool gets the file's name.
    if (!lastToolLine_.empty()) {
        fail(task, core::NOTIFY_FAILED, lastToolLine_);
        return;
    }
    core::TextString reason;
    reason.format("%s was not made", withSuffix(base, suffix).c_str());
    fail(task, core::NOTIFY_FAILED, reason.view());
}

bool ConversionWorker::stoppedBeforeMuxing(ConversionTask& task)
{
    if (!stopCheck(task))
        return false;
    // The intermediate is of no use to anyone once the run is over.
    removeFiles(task.intermediateBase().c_str(), {".avi"});
    return true;
}

// Steps 1-5 shared by the 3GP and both MP4 procedures: probe the rate,
// extract both streams, mux the video, add the audio. On success the
// intermediates are still there.
bool ConversionWorker::muxMp4Style(ConversionTask& task, bool is3gp)
{
    const core::ToolPaths& tools = environment_.tools;
    const core::TextString baseText = task.intermediateBase();
    const char* base = baseText.c_str();
    const char* final = is3gp ? ".3gp" : ".mp4";

    int32_t rate = 0;
    if (!runFrameRateProbe(
            task, toolCommand(is3gp ? ToolCommand::Probe3gp : ToolCommand::ProbeMp4, tools, base).c_str(), rate)) {
        removeFiles(base, {".avi"});
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::ExtractVideo, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v"});
        return false;
    }
    if (!present(base, ".m4v")) {
        removeFiles(base, {".avi"});
        failMissing(task, base, ".m4v");
        return false;
    }
    const bool audio = carriesAudio(task);
    if (audio && !runTool(task, toolCommand(ToolCommand::ExtractAudio, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac"});
        return false;
    }
    if (audio && !present(base, ".aac")) {
        removeFiles(base, {".avi", ".m4v"});
        failMissing(task, base, ".aac");
        return false;
    }
    // The muxer adds to an existing file: start from none.
    removeFiles(base, {final});
    if (!runTool(task, toolCommand(is3gp ? ToolCommand::Video3gp : ToolCommand::VideoMp4, tools, base, rate).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac", final});
        return false;
    }
    if (!present(base, final)) {
        removeFiles(base, {".avi", ".m4v", ".aac"});
        failMissing(task, base, final);
        return false;
    }
    if (audio
        && !runTool(task, toolCommand(is3gp ? ToolCommand::Audio3gp : ToolCommand::AudioMp4, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac", final});
        return false;
    }
    return true;
}

bool ConversionWorker::postProcess3gp(ConversionTask& task)
{
    if (stoppedBeforeMuxing(task) || !muxMp4Style(task, true))
        return false;
    removeFiles(task.intermediateBase().c_str(), {".avi", ".m4v", ".aac"});
    return true;
}

bool ConversionWorker::postProcessMp4(ConversionTask& task)
{
    if (stoppedBeforeMuxing(task) || !muxMp4Style(task, false))
        return false;
    removeFiles(task.intermediateBase().c_str(), {".avi", ".m4v", ".aac"});
    return true;
}

bool ConversionWorker::writeAtomScript(const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fputs(kAtomEditScript, file) >= 0;
    return std::fclose(file) == 0 && written;
}

bool ConversionWorker::postProcessMp4WithAtoms(ConversionTask& task)
{
    if (stoppedBeforeMuxing(task) || !muxMp4Style(task, false))
        return false;
    const core::TextString baseText = task.intermediateBase();
    const char* base = baseText.c_str();
    // The script is the task's own, in its work folder: never in the
    // program directory, which an installed program cannot write to.
    core::TextString folder;
    core::ToolPaths tools = environment_.tools;
    tools.placeAtomScript(encoderFolder(task, folder));
    const char* script = tools.atomScriptFile.c_str();
    if (!writeAtomScript(script)) {
        core::TextString reason;
        reason.format("cannot write the atom-edit script %s", script);
        fail(task, core::NOTIFY_FAILED, reason.view());
        removeFiles(base, {".avi", ".m4v", ".aac", ".mp4", ".tmp"});
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::AtomEdit, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac", ".mp4", ".tmp"});
        fs::removePath(script);
        return false;
    }
    fs::removePath(script);
    // Renamed over the muxed file, so that the output's name is never free
    // for another program to take in between.
    bool renamed = false;
    if (present(base, ".tmp"))
        renamed = std::rename(withSuffix(base, ".tmp").c_str(), withSuffix(base, ".mp4").c_str()) == 0;
    removeFiles(base, {".avi", ".m4v", ".aac"});
    if (renamed)
        return true;
    removeFiles(base, {".mp4", ".tmp"});
    failMissing(task, base, ".tmp");
    return false;
}

bool ConversionWorker::postProcessPmp(ConversionTask& task)
{
    if (stoppedBeforeMuxing(task))
        return false;
    const core::TextString baseText = task.intermediateBase();
    const char* base = baseText.c_str();
    // Without audio the muxer makes a silent track: PMP readers need one.
    const bool audio = carriesAudio(task);
    if (audio && !runTool(task, toolCommand(ToolCommand::ExtractAudio, environment_.tools, base).c_str())) {
        removeFiles(base, {".avi", ".aac"});
        return false;
    }
    if (audio && !present(base, ".aac")) {
        removeFiles(base, {".avi"});
        failMissing(task, base, ".aac");
        return false;
    }
    if (!runTool(
            task,
            toolCommand(audio ? ToolCommand::PmpMux : ToolCommand::PmpMuxSilent, environment_.tools, base).c_str())) {
        removeFiles(base, {".avi", ".aac", ".pmp", ".pmp.log"});
        return false;
    }
    removeFiles(base, {".avi", ".aac", ".pmp.log"});
    // An empty file is no output.
    if (fs::fileSize(withSuffix(base, ".pmp").c_str()) > 0)
        return true;
    failMissing(task, base, ".pmp");
    return false;
}

} // namespace qf::tasks
