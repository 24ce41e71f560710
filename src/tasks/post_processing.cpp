// Post-processing: the AVI intermediate of the 3GP, PMP and MP4-via-XVID
// formats becomes the final file. Every step is judged by the file it
// leaves; intermediates are removed on every path.

#include <cstdio>

#include "core/file_system.h"
#include "core/messages.h"
#include "tasks/conversion_worker.h"
#include "tasks/post_processing_commands.h"

namespace qf::tasks {

namespace fs = core::fs;

namespace {

bool present(const char* base, const char* suffix) { return fs::isFile(withSuffix(base, suffix).c_str()); }

} // namespace

void ConversionWorker::removeFiles(const char* base, std::initializer_list<const char*> suffixes)
{
    for (const char* suffix : suffixes)
        fs::removePath(withSuffix(base, suffix).c_str());
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
    if (!runFrameRateProbe(task, toolCommand(is3gp ? ToolCommand::Probe3gp : ToolCommand::ProbeMp4, tools, base).c_str(), rate)) {
        removeFiles(base, {".avi"});
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::ExtractVideo, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v"});
        return false;
    }
    if (!present(base, ".m4v")) {
        removeFiles(base, {".avi"});
        notify(core::NOTIFY_FAILED, 0, &task);
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::ExtractAudio, tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac"});
        return false;
    }
    if (!present(base, ".aac")) {
        removeFiles(base, {".avi", ".m4v"});
        notify(core::NOTIFY_FAILED, 0, &task);
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
        notify(core::NOTIFY_FAILED, 0, &task);
        return false;
    }
    if (!runTool(task, toolCommand(is3gp ? ToolCommand::Audio3gp : ToolCommand::AudioMp4, tools, base).c_str())) {
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

bool ConversionWorker::writeAtomScript()
{
    std::FILE* file = std::fopen(environment_.tools.atomScriptFile.c_str(), "wb");
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
    const char* script = environment_.tools.atomScriptFile.c_str();
    if (!writeAtomScript()) {
        notify(core::NOTIFY_FAILED, 0, &task);
        removeFiles(base, {".avi", ".m4v", ".aac", ".mp4", ".tmp"});
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::AtomEdit, environment_.tools, base).c_str())) {
        removeFiles(base, {".avi", ".m4v", ".aac", ".mp4", ".tmp"});
        fs::removePath(script);
        return false;
    }
    fs::removePath(script);
    removeFiles(base, {".mp4"});
    bool renamed = false;
    if (present(base, ".tmp"))
        renamed = std::rename(withSuffix(base, ".tmp").c_str(), withSuffix(base, ".mp4").c_str()) == 0;
    removeFiles(base, {".avi", ".m4v", ".aac"});
    if (renamed)
        return true;
    removeFiles(base, {".mp4", ".tmp"});
    notify(core::NOTIFY_FAILED, 0, &task);
    return false;
}

bool ConversionWorker::postProcessPmp(ConversionTask& task)
{
    if (stoppedBeforeMuxing(task))
        return false;
    const core::TextString baseText = task.intermediateBase();
    const char* base = baseText.c_str();
    if (!runTool(task, toolCommand(ToolCommand::ExtractAudio, environment_.tools, base).c_str())) {
        removeFiles(base, {".avi", ".aac"});
        return false;
    }
    if (!present(base, ".aac")) {
        removeFiles(base, {".avi"});
        notify(core::NOTIFY_FAILED, 0, &task);
        return false;
    }
    if (!runTool(task, toolCommand(ToolCommand::PmpMux, environment_.tools, base).c_str())) {
        removeFiles(base, {".avi", ".aac", ".pmp", ".pmp.log"});
        return false;
    }
    removeFiles(base, {".avi", ".aac", ".pmp.log"});
    if (present(base, ".pmp"))
        return true;
    notify(core::NOTIFY_FAILED, 0, &task);
    return false;
}

} // namespace qf::tasks
