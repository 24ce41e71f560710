// quillfer-cli convert: converts files as the task list does. Every file is
// added as a task (refused files are reported and skipped), all tasks are
// checked and started, and each task's state, elapsed time and encoder
// percentage are shown until the queue has finished. Ctrl-C is the stop
// command.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <semaphore.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_selection.h"
#include "convert/command_line_builder.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "core/notification_sink.h"
#include "core/readable_text.h"
#include "core/text_string.h"
#include "settings/settings.h"
#include "tasks/conversion_worker.h"
#include "tasks/output_name.h"
#include "tasks/task_list_model.h"
#include "tasks/worker_pool.h"

namespace qf::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
// Posted by the handler (sem_post may be called there) to wake the thread
// that passes the stop on at once.
sem_t g_interruptPosted;

// Ctrl-C, SIGTERM and SIGHUP are the stop command.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onInterrupt(int signal)
{
    g_interrupted = 1;
    sem_post(&g_interruptPosted);
    // A second one ends the program at once.
    std::signal(signal, SIG_DFL);
}

// With QF_CLI_TIMES set, prints on standard error the wall and CPU time of
// the conversion alone (this process and every program it ran), leaving out
// the library load and the probing that adding the files costs: the window
// pays those when files are added, not when Convert is pressed.
class ConversionClock {
public:
    ConversionClock() : wanted_(std::getenv("QF_CLI_TIMES") != nullptr)
    {
        if (wanted_)
            cpu_ = cpuSeconds();
    }
    void report() const
    {
        if (!wanted_)
            return;
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start_;
        std::fprintf(stderr, "quillfer-cli convert: conversion %.6f s wall, %.6f s CPU\n", wall.count(),
                     cpuSeconds() - cpu_);
    }

private:
    static double cpuSeconds()
    {
        double seconds = 0;
        for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
            rusage used{};
            getrusage(who, &used);
            seconds += static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec)
                + static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
        }
        return seconds;
    }

    bool wanted_;
    double cpu_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Passes a stop signal on to the worker the moment it arrives, whatever the
// main thread is doing: a stop that comes while the last step of a task
// ends must reach the worker before it reports the task done.
class InterruptWatcher {
public:
    explicit InterruptWatcher(tasks::TaskQueue& worker) : worker_(worker)
    {
        sem_init(&g_interruptPosted, 0, 0);
        thread_ = std::thread([this] { watch(); });
    }
    ~InterruptWatcher()
    {
        watching_.store(false);
        sem_post(&g_interruptPosted);
        thread_.join();
        sem_destroy(&g_interruptPosted);
    }
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    void watch()
    {
        for (;;) {
            if (sem_wait(&g_interruptPosted) != 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (!watching_.load())
                return;
            worker_.requestStop();
        }
    }

    tasks::TaskQueue& worker_;
    std::atomic<bool> watching_{true};
    std::thread thread_;
};

// A reason or warning under its task, each of its lines indented.
void printIndented(const char* text)
{
    core::TextString lines(core::readableText(text).c_str());
    lines.replaceAll("\r\n", "\n    ");
    std::printf("    %s\n", lines.c_str());
}

// The choice, then what a batch needs.
constexpr CliOption<SelectionArgs> kOptions[] = {
    kCategoryOption,
    kModelOption,
    kFormatOption,
    kPresetFileOption,
    kStartOption,
    kStopOption,
    kOutputFolderOption,
    kMediaOption,
    kSetOption,
    {"output", 'o', "FILE", "the exact output path (one FILE only)", &SelectionArgs::outputFile},
    {"if-exists", 0, "MODE",
     "when the output's name is taken: number (the next\n"
     "free \" (2)\" name, default), skip (convert nothing)\n"
     "or overwrite",
     &SelectionArgs::ifExists},
    {"recursive", 'r', nullptr, "a FOLDER gives the files of its subfolders too", &SelectionArgs::recursive},
    {"keep-tree", 0, nullptr, "outputs keep their subfolder below the FOLDER", &SelectionArgs::keepTree},
    {"jobs", 'j', "N",
     "convert N files at once, each on its own worker\n"
     "(1..64, default 1)",
     &SelectionArgs::jobs},
    {"progress", 0, "json",
     "one JSON object a line: file, state, percent,\n"
     "elapsed (seconds), output, reason; states: queued,\n"
     "converting, first-pass, second-pass, muxing, done,\n"
     "failed, stopped, skipped, refused; at the end a\n"
     "summary object (state \"summary\": converted,\n"
     "skipped, failed, stopped). A path that is not\n"
     "UTF-8 is shown readably and also given exactly,\n"
     "in hexadecimal, as file_bytes or output_bytes",
     &SelectionArgs::progress},
    {"name", 0, "TEMPLATE",
     "the outputs' file names from {name} (the source's\n"
     "name without its extension), {ext} (its extension),\n"
     "{suffix} (the format's, e.g. -mp3.mp3) and {model};\n"
     "default {name}{ext}{suffix}",
     &SelectionArgs::nameTemplate},
    {"dry-run", 0, nullptr,
     "say what would be converted (and to where), skipped\n"
     "and refused, convert nothing and end with 0",
     &SelectionArgs::dryRun},
    {"quiet", 'q', nullptr, "print the failures and the summary only", &SelectionArgs::quiet},
};

void printHelp()
{
    std::printf("usage: quillfer-cli convert -c CATEGORY -m MODEL -f FORMAT [options] FILE|FOLDER...\n\n"
                "Converts each FILE with the chosen device model and format as the task\n"
                "list does: the encoder and the helper tools from the program directory,\n"
                "the output files in the output folder. A FOLDER gives every media file in\n"
                "it (and in its subfolders with --recursive); its other files are named\n"
                "and skipped, and one with a media file's extension that is no media file\n"
                "fails. Shows every task's state, elapsed time and encoder\n"
                "percentage (a live line on a terminal, plain lines otherwise, or JSON\n"
                "lines). Ctrl-C (or SIGTERM, SIGHUP) stops the conversion: the running and\n"
                "the waiting tasks end as 未完成, and nothing of them is left in the\n"
                "output folder. A failed task's reason is printed under it, and so is the\n"
                "warning of a task whose output is shorter than its source (a damaged\n"
                "source). Any number of conversions, in one process or many, may share an\n"
                "output folder: each claims its output name when it begins. '--' ends\n"
                "the options.\n\n"
                "options:\n%s\n"
                "Every run ends with a summary line: 已转换 N，跳过 N，失败 N，停止 N.\n"
                "Exit status: 0 when every file was converted (已完成) or skipped, 1 when\n"
                "any file was refused, failed or stopped, 2 on a usage error.\n",
                optionHelp(kOptions).c_str());
}

// One file to convert: where it is, and the folder below the given one it
// was found in (kept under the output folder with --keep-tree).
struct SourceFile {
    std::string path;
    std::string subfolder;
    bool fromFolder = false;
};

// The files a FOLDER argument gives, in name order.
void collectFolder(const std::string& folder, bool recursive, bool keepTree, std::vector<SourceFile>& out)
{
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    const auto options = std::filesystem::directory_options::skip_permission_denied;
    if (recursive) {
        for (auto it = std::filesystem::recursive_directory_iterator(folder, options, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec))
                found.push_back(it->path());
    } else {
        for (auto it = std::filesystem::directory_iterator(folder, options, ec);
             !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec))
                found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    for (const auto& path : found) {
        SourceFile file{path.lexically_normal().string(), {}, true};
        if (keepTree) {
            const std::string sub = path.parent_path().lexically_relative(folder).lexically_normal().string();
            if (sub != "." && !sub.empty())
                file.subfolder = sub;
        }
        out.push_back(std::move(file));
    }
}

// Always strict UTF-8: bytes that are not are shown readably (see
// printJson for the exact bytes).
std::string jsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (const char c : core::readableText(bytes)) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

const char* stateKey(int32_t state)
{
    switch (state) {
    case tasks::kStateQueued: return "queued";
    case tasks::kStateConverting: return "converting";
    case tasks::kStateFirstPass: return "first-pass";
    case tasks::kStateSecondPass: return "second-pass";
    case tasks::kStateMuxing: return "muxing";
    case tasks::kStateDone: return "done";
    case tasks::kStateNotDone: return "stopped";
    default: return "failed";
    }
}

// A path that is not UTF-8 also comes as its exact bytes in hexadecimal.
std::string exactBytesField(const char* key, const std::string& path)
{
    return core::isValidUtf8(path) ? std::string() : std::string(",\"") + key + "\":\"" + core::hexBytes(path) + "\"";
}

void printJson(const std::string& file, const char* state, int percent, long elapsed, const std::string& output,
               const std::string& reason)
{
    std::printf("{\"file\":%s,\"state\":\"%s\",\"percent\":%d,\"elapsed\":%ld,\"output\":%s,\"reason\":%s%s%s}\n",
                jsonString(file).c_str(), state, percent, elapsed, jsonString(output).c_str(),
                jsonString(reason).c_str(), exactBytesField("file_bytes", file).c_str(),
                exactBytesField("output_bytes", output).c_str());
    std::fflush(stdout);
}

// The JSON lines: one whenever a task's state or percentage changes.
class JsonProgressView final : public tasks::TaskListObserver {
public:
    explicit JsonProgressView(const tasks::TaskListModel& model) : model_(model) {}

    void cellChanged(int row, int column) override
    {
        if (column != tasks::kColumnState && column != tasks::kColumnProgress)
            return;
        const tasks::TaskRow& entry = model_.row(row);
        const tasks::ConversionTask& task = *entry.task;
        // 未完成 before a task ran is where it starts, not a stop.
        if (!started_ || (task.state == tasks::kStateNotDone && !seen_.count(&task)))
            return;
        seen_.insert(&task);
        const auto key = std::make_pair(task.state, entry.progress);
        auto [at, fresh] = last_.try_emplace(&task, key);
        if (!fresh && at->second == key)
            return;
        at->second = key;
        if (quiet_
            && (tasks::isActiveState(task.state) || task.state == tasks::kStateDone
                || task.state == tasks::kStateNotDone))
            return;
        const long elapsed = task.startTime != 0 ? static_cast<long>(std::time(nullptr) - task.startTime) : 0;
        std::string reason;
        if (!tasks::isActiveState(task.state))
            reason = task.failureReason.empty() ? task.warning.c_str() : task.failureReason.c_str();
        printJson(task.sourcePath.c_str(), stateKey(task.state), entry.progress, elapsed, task.outputPath.c_str(),
                  reason);
    }
    void setStarted() { started_ = true; }
    // -q: the failures alone.
    void setQuiet(bool quiet) { quiet_ = quiet; }

private:
    const tasks::TaskListModel& model_;
    bool started_ = false;
    bool quiet_ = false;
    std::map<const tasks::ConversionTask*, std::pair<int32_t, int>> last_;
    std::set<const tasks::ConversionTask*> seen_; // tasks seen running: a later 未完成 is a stop
};

// The settings the tasks copy, and the messages the task list would show.
class CliHost final : public tasks::TaskListHost {
public:
    explicit CliHost(const convert::ConversionSettings& settings) : settings_(settings) {}
    const convert::ConversionSettings* currentSettings() override { return &settings_; }
    void loadSettings(const tasks::ConversionTask&) override {}
    void allDone() override {}
    void showMessage(const char* text) override
    {
        // The message box texts break lines with CR LF; one terminal line each.
        core::TextString line(text);
        line.replaceAll("\r\n", " ");
        std::fprintf(stderr, "quillfer-cli convert: %s\n", core::printableText(line.view()).c_str());
    }

private:
    const convert::ConversionSettings& settings_;
};

// The media facts of a file as the selection options ask for them (probed,
// or forced by --media). The callers ask about one file several times in a
// row (the settings, the folder filter, the task list); the facts of the
// last file are kept, so that its probe runs once.
class CliProber final : public tasks::MediaProber {
public:
    explicit CliProber(const SelectionArgs& selection) : selection_(selection) {}
    int configure(const std::string& path, convert::CommandLineBuilder& out, std::string& error)
    {
        const int status = configureBuilder(selection_, path, out, error, &modelName_);
        if (status == kExitOk) {
            lastPath_ = path;
            lastFacts_ = out.media;
        } else {
            lastPath_.clear();
        }
        return status;
    }
    bool probe(const char* path, probe::MediaFacts& out) override
    {
        if (!lastPath_.empty() && lastPath_ == path) {
            out = lastFacts_;
            return true;
        }
        convert::CommandLineBuilder builder;
        std::string error;
        if (configure(path, builder, error) != kExitOk)
            return false;
        out = builder.media;
        return true;
    }

    // The chosen model's (or preset's) name, once a file was configured.
    const std::string& modelName() const { return modelName_; }

private:
    const SelectionArgs& selection_;
    std::string modelName_;
    std::string lastPath_;
    probe::MediaFacts lastFacts_;
};

// Shows the tasks: on a terminal one live line for the running task and a
// final line for each task that ends; otherwise a plain line whenever a
// task's state or percentage changes.
class ProgressView final : public tasks::TaskListObserver {
public:
    ProgressView(const tasks::TaskListModel& model, bool live) : model_(model), live_(live) {}

    void cellChanged(int row, int column) override
    {
        if (column != tasks::kColumnState && column != tasks::kColumnProgress && column != tasks::kColumnElapsed)
            return;
        const tasks::TaskRow& entry = model_.row(row);
        const std::string line = describe(entry);
        const int32_t state = entry.task->state;
        const bool ended = !tasks::isActiveState(state) && started_;
        if (live_) {
            if (ended && column == tasks::kColumnState)
                std::printf("\r\033[K%s\n", line.c_str());
            // With several workers the live line carries every running task,
            // not whichever ticked last.
            const std::string running = runningLine();
            if (!running.empty())
                std::printf("\r\033[K%s", running.c_str());
            std::fflush(stdout);
            return;
        }
        if (column == tasks::kColumnElapsed || line == lastPrinted_)
            return;
        lastPrinted_ = line;
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    void setStarted() { started_ = true; }
    void finishLine()
    {
        if (live_)
            std::printf("\r\033[K");
    }

    // The running tasks, cut to the terminal's width so the line never wraps
    // (a wrapped line cannot be redrawn in place).
    std::string runningLine() const
    {
        std::string line;
        for (int row = 0; row < model_.rowCount(); ++row) {
            const tasks::TaskRow& entry = model_.row(row);
            if (!tasks::isActiveState(entry.task->state))
                continue;
            if (!line.empty())
                line += "  |  ";
            // The file's name alone: whole paths would crowd the others out.
            const std::string source = core::printableText(entry.text[tasks::kColumnSource].view());
            line += source.substr(source.find_last_of('/') + 1) + "  " + entry.text[tasks::kColumnState].c_str() + "  "
                + entry.text[tasks::kColumnProgress].c_str();
        }
        return fitToColumns(line, terminalColumns() - 1);
    }

    static int terminalColumns()
    {
        winsize size{};
        if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 10)
            return size.ws_col;
        return 80;
    }

    // UTF-8 cut at a character boundary; East Asian characters take two columns.
    static std::string fitToColumns(const std::string& text, int columns)
    {
        int used = 0;
        size_t i = 0;
        while (i < text.size()) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            const int width = lead >= 0xE2 ? 2 : 1; // U+2000 and up: mostly wide here
            if (used + width > columns)
                return text.substr(0, i);
            used += width;
            i += length;
        }
        return text;
    }

    static std::string describe(const tasks::TaskRow& entry)
    {
        return core::printableText(entry.text[tasks::kColumnSource].view()) + "  "
            + entry.text[tasks::kColumnState].c_str() + "  " + entry.text[tasks::kColumnElapsed].c_str() + "  "
            + entry.text[tasks::kColumnProgress].c_str();
    }

private:
    const tasks::TaskListModel& model_;
    const bool live_;
    bool started_ = false;
    std::string lastPrinted_;
};

// The names a folder's media files carry: the open dialog's, and the other
// containers the probe reads. A file with one of them that the probe refuses
// is damaged, not merely some other file.
bool hasMediaExtension(const std::string& path)
{
    static const std::set<std::string> kExtensions = {
        "3g2",  "3gp", "aac", "ac3",  "aif", "aiff", "amr",  "asf", "avi", "avs", "dat",  "divx", "f4v",  "flac", "flv",
        "m2ts", "m2v", "m4a", "m4v",  "mka", "mkv",  "mod",  "mov", "mp2", "mp3", "mp4",  "mpe",  "mpeg", "mpg",  "mts",
        "oga",  "ogg", "ogv", "opus", "ram", "rm",   "rmvb", "ts",  "vob", "wav", "webm", "wma",  "wmv"};
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return kExtensions.count(extension) > 0;
}

// --name: the output's file name from the source's name ({name}, without its
// extension), its extension ({ext}, with the dot), the format's suffix
// ({suffix}, as in "-mp3.mp3") and the model's name ({model}). The format's
// extension is added when the name does not end in it, so the file stays
// what it holds. False with a message on an unknown placeholder, a '/' or
// an empty name.
bool renderNameTemplate(const std::string& pattern, const std::string& source, const std::string& suffix,
                        const std::string& modelName, std::string& out, std::string& error)
{
    const std::string file = source.substr(source.find_last_of('/') + 1);
    const size_t dot = file.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    const std::string extension = file.substr(stem.size());
    out.clear();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            out += pattern[i];
            continue;
        }
        const size_t close = pattern.find('}', i);
        const std::string key = close == std::string::npos ? pattern.substr(i) : pattern.substr(i + 1, close - i - 1);
        if (key == "name")
            out += stem;
        else if (key == "ext")
            out += extension;
        else if (key == "suffix")
            out += suffix;
        else if (key == "model")
            out += modelName;
        else {
            error = "--name '" + pattern + "'：未知的 {" + key + "}；可用：{name} {ext} {suffix} {model}";
            return false;
        }
        i = close;
    }
    if (out.empty() || out.find('/') != std::string::npos || out == "." || out == "..") {
        error = "--name '" + pattern + "' 给出的 '" + out + "' 不是一个文件名";
        return false;
    }
    const std::string formatExtension = suffix.substr(std::min(suffix.find_last_of('.'), suffix.size()));
    if (out.size() < formatExtension.size()
        || out.compare(out.size() - formatExtension.size(), std::string::npos, formatExtension) != 0)
        out += formatExtension;
    return true;
}

// The output path of a task under --name: its folder as without it (the
// output folder, below the task's subfolder), the name from the template.
std::string templatedOutputPath(const tasks::ConversionTask& task, const std::string& pattern,
                                const std::string& modelName)
{
    const std::string folder = core::fs::directoryPart(tasks::TaskListModel::wantedOutputPath(task).c_str()).c_str();
    std::string name, error;
    renderNameTemplate(pattern, task.sourcePath.c_str(), convert::formatSuffix(task.outputFormat), modelName, name,
                       error);
    return folder + "/" + name;
}

// What became of each file, reported as it is known and summed up at the
// end: converted (已完成), skipped (its output exists, or it is no media
// file in a folder), failed (refused or failed) and stopped (未完成).
class BatchReport {
public:
    BatchReport(bool json, bool quiet) : json_(json), quiet_(quiet) {}

    void refused(const std::string& path, const std::string& reason)
    {
        ++failed_;
        if (json_)
            printJson(path, "refused", 0, 0, "", reason);
        else
            std::fprintf(stderr, "quillfer-cli convert: %s %s\n", reason.c_str(), core::printableText(path).c_str());
    }
    void skipped(const std::string& path, const std::string& output, const std::string& reason)
    {
        ++skipped_;
        if (quiet_)
            return;
        if (json_)
            printJson(path, "skipped", 0, 0, output, reason);
        else if (output.empty())
            std::printf("跳过：%s（%s）\n", core::printableText(path).c_str(), reason.c_str());
        else
            std::printf("跳过：%s（%s %s）\n", core::printableText(path).c_str(), core::printableText(output).c_str(),
                        reason.c_str());
    }
    // A dry run's file that would be converted, and where to.
    void planned(const std::string& path, const std::string& output)
    {
        ++converted_;
        if (json_)
            printJson(path, "planned", 0, 0, output, "");
        else if (!quiet_)
            std::printf("将转换：%s -> %s\n", core::printableText(path).c_str(), core::printableText(output).c_str());
    }
    void ended(int32_t state)
    {
        if (state == tasks::kStateDone)
            ++converted_;
        else if (state == tasks::kStateNotDone)
            ++stopped_;
        else
            ++failed_;
    }
    // One line (or object) for the whole run; a dry run's says what would be.
    void summary(bool dryRun) const
    {
        if (json_) {
            std::printf("{\"state\":\"%s\",\"converted\":%d,\"skipped\":%d,\"failed\":%d,\"stopped\":%d}\n",
                        dryRun ? "dry-run-summary" : "summary", converted_, skipped_, failed_, stopped_);
        } else {
            std::printf("%s%d，跳过 %d，失败 %d，停止 %d\n", dryRun ? "试运行：将转换 " : "已转换 ", converted_,
                        skipped_, failed_, stopped_);
        }
        std::fflush(stdout);
    }
    int failed() const { return failed_; }
    int stopped() const { return stopped_; }

private:
    const bool json_;
    const bool quiet_;
    int converted_ = 0;
    int skipped_ = 0;
    int failed_ = 0;
    int stopped_ = 0;
};

// The batch options' values; false with a message when one is wrong.
bool checkBatchOptions(const SelectionArgs& selection, long& jobs, std::string& error)
{
    if (selection.ifExists != "number" && selection.ifExists != "skip" && selection.ifExists != "overwrite") {
        error = "未知的 --if-exists '" + selection.ifExists + "'；可用：number, skip, overwrite";
        return false;
    }
    char* end = nullptr;
    jobs = std::strtol(selection.jobs.c_str(), &end, 10);
    if (selection.jobs.empty() || !end || *end != 0 || jobs < 1 || jobs > 64) {
        error = "--jobs '" + selection.jobs + "' 不是 1..64 之间的数";
        return false;
    }
    if (!selection.progress.empty() && selection.progress != "json" && selection.progress != "text") {
        error = "未知的 --progress '" + selection.progress + "'；可用：text, json";
        return false;
    }
    if (!selection.outputFile.empty()) {
        std::error_code ec;
        if (selection.files.size() != 1 || std::filesystem::is_directory(selection.files[0], ec)) {
            error = "-o FILE 只能用于一个要转换的文件 FILE";
            return false;
        }
        if (std::filesystem::is_directory(selection.outputFile, ec)) {
            error = "-o " + selection.outputFile + " 是一个文件夹：请给出文件名，或用 --output-folder";
            return false;
        }
    }
    if (!selection.nameTemplate.empty()) {
        std::string name;
        if (!selection.outputFile.empty()) {
            error = "-o 已给出输出文件，不能再用 --name";
            return false;
        }
        if (!renderNameTemplate(selection.nameTemplate, "/a.avi", "-mp3.mp3", "m", name, error))
            return false;
    }
    return true;
}

int runConvert(const std::vector<std::string>& args)
{
    SelectionArgs selection;
    std::string error;
    long jobs = 1;
    switch (parseOptions(kOptions, args, "convert", selection, selection.files, error)) {
    case ParseOutcome::HelpWanted: printHelp(); return kExitOk;
    case ParseOutcome::UsageError: std::fprintf(stderr, "quillfer-cli convert: %s\n", error.c_str()); return kExitUsage;
    case ParseOutcome::Parsed: break;
    }
    if (!checkBatchOptions(selection, jobs, error)) {
        std::fprintf(stderr, "quillfer-cli convert: %s\n", error.c_str());
        return kExitUsage;
    }
    if (selection.files.empty()) {
        std::fprintf(stderr, "quillfer-cli convert: 请至少给出一个要转换的文件 FILE\n");
        return kExitUsage;
    }
    const bool json = selection.progress == "json";
    if (!startUp())
        return kExitFailed;

    std::vector<SourceFile> sources;
    for (const std::string& file : selection.files) {
        std::error_code ec;
        const std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
        if (std::filesystem::is_directory(path, ec))
            collectFolder(path, selection.recursive, selection.keepTree, sources);
        else
            sources.push_back({path, {}, false});
    }

    // The settings come from the first file the selection accepts; a wrong
    // choice of model, format or value is a usage error for every file.
    CliProber prober(selection);
    convert::CommandLineBuilder settings;
    bool haveSettings = false;
    for (const SourceFile& file : sources) {
        const int status = prober.configure(file.path, settings, error);
        if (status == kExitUsage) {
            std::fprintf(stderr, "quillfer-cli convert: %s\n", error.c_str());
            return kExitUsage;
        }
        if (status == kExitOk) {
            haveSettings = true;
            break;
        }
    }
    if (haveSettings)
        settings::current().setOutputFolder(core::fs::directoryPart(settings.outputPath.c_str()));

    CliHost host(settings);
    tasks::WorkerPool pool(static_cast<int>(jobs));
    int queuesFinished = 0;
    tasks::TaskListModel* modelForSink = nullptr;
    core::QueuedSink sink([&](const core::Message& message) {
        if (message.message == core::WM_TASK_NOTIFY
            && core::taskNotifyCode(message.wParam) == core::NOTIFY_QUEUE_FINISHED)
            ++queuesFinished;
        return modelForSink ? modelForSink->handleMessage(message) : intptr_t{0};
    });
    tasks::TaskListModel model(host, prober, pool);
    ProgressView view(model, !json && isatty(STDOUT_FILENO) != 0);
    JsonProgressView jsonView(model);
    modelForSink = &model;

    BatchReport report(json, selection.quiet);
    std::set<const tasks::ConversionTask*> skipped;
    for (const SourceFile& file : sources) {
        const char* path = file.path.c_str();
        if (!core::fs::isFile(path) || probe::isMissing(path)) {
            // The task list's sentence, then the line that names the file.
            report.refused(path, std::string(probe::kMissingFileText) + " no such file:");
            continue;
        }
        probe::MediaFacts facts;
        const bool media = prober.probe(path, facts) && (facts.hasVideo || facts.hasAudio);
        // A folder's other files are left out by name; one that should be
        // media and is not is a failure, as it is when given by itself.
        if (file.fromFolder && !media && !hasMediaExtension(file.path)) {
            report.skipped(path, "", "不是影音文件");
            continue;
        }
        // A file the probe refuses gets the task list's own message.
        tasks::ConversionTask* task = haveSettings && media ? model.addFile(path) : nullptr;
        if (!task) {
            report.refused(path, tasks::kUnrecognisedFileText);
            continue;
        }
        task->outputSubfolder = file.subfolder.c_str();
        if (!selection.outputFile.empty())
            task->fixedOutputPath = std::filesystem::absolute(selection.outputFile).lexically_normal().string().c_str();
        else if (!selection.nameTemplate.empty())
            task->fixedOutputPath = templatedOutputPath(*task, selection.nameTemplate, prober.modelName()).c_str();
        task->replaceOutput = selection.ifExists == "overwrite";
        // The row holds its real path from now on: rows of the same name in
        // other subfolders do not number each other.
        task->outputPath = tasks::TaskListModel::wantedOutputPath(*task);
        if (selection.ifExists == "skip") {
            const core::TextString wanted = tasks::TaskListModel::wantedOutputPath(*task);
            // Outputs get their names only when complete; an empty file (an
            // older version's name holder) holds nothing, and is written over.
            const int64_t size = core::fs::fileSize(wanted.c_str());
            if (size == 0)
                task->replaceOutput = true;
            if (size > 0) {
                skipped.insert(task);
                report.skipped(path, wanted.c_str(), "已存在");
            }
        }
    }
    if (selection.dryRun) {
        // Rows were added on top: the last row is the first file.
        std::set<std::string> planned;
        for (int r = model.rowCount() - 1; r >= 0; --r) {
            const tasks::ConversionTask& task = *model.row(r).task;
            if (skipped.count(&task))
                continue;
            const core::TextString wanted = tasks::TaskListModel::wantedOutputPath(task);
            const core::TextString output
                = task.replaceOutput ? wanted : tasks::firstFreePath(wanted, [&](const core::TextString& candidate) {
                      return core::fs::exists(candidate.c_str()) || planned.count(candidate.c_str()) > 0;
                  });
            planned.insert(output.c_str());
            report.planned(task.sourcePath.c_str(), output.c_str());
        }
        report.summary(true);
        return kExitOk;
    }
    if (model.rowCount() == static_cast<int>(skipped.size())) {
        report.summary(false);
        return model.rowCount() > 0 && report.failed() == 0 ? kExitOk : kExitFailed;
    }

    model.setAllChecks(true);
    for (int r = 0; r < model.rowCount(); ++r)
        if (skipped.count(model.row(r).task.get()))
            model.setChecked(r, false);
    jsonView.setQuiet(selection.quiet);
    if (json)
        model.setObserver(&jsonView);
    else if (!selection.quiet)
        model.setObserver(&view);
    const ConversionClock clock;
    pool.startThreads(sink);
    pool.startTickTimer();
    g_interrupted = 0;
    std::optional<InterruptWatcher> watcher(std::in_place, pool);
    void (*previous[std::size(kStopSignals)])(int) = {};
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        previous[i] = std::signal(kStopSignals[i], onInterrupt);
    view.setStarted();
    jsonView.setStarted();
    bool finished = !model.start();
    bool stopAsked = false;
    while (!finished) {
        sink.waitAndPump(100);
        finished = queuesFinished >= pool.queueFinishedCount();
        if (g_interrupted && !stopAsked) {
            stopAsked = true;
            model.stop();
        }
    }
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        std::signal(kStopSignals[i], previous[i]);
    watcher.reset();
    pool.stopTickTimer();
    sink.shutdown();
    pool.endThreads();
    clock.report();
    view.finishLine();
    model.setObserver(nullptr);

    // Rows were added on top: the last row is the first file.
    for (int r = model.rowCount() - 1; r >= 0; --r) {
        const tasks::TaskRow& entry = model.row(r);
        if (skipped.count(entry.task.get()))
            continue;
        const int32_t state = entry.task->state;
        report.ended(state);
        const bool failed = state != tasks::kStateDone && state != tasks::kStateNotDone;
        if (json || (selection.quiet && !failed))
            continue;
        const char* output = entry.task->outputPath.c_str();
        if (core::fs::isFile(output))
            std::printf("%s -> %s\n", ProgressView::describe(entry).c_str(), core::printableText(output).c_str());
        else
            std::printf("%s\n", ProgressView::describe(entry).c_str());
        if (!entry.task->failureReason.empty())
            printIndented(entry.task->failureReason.c_str());
        if (!entry.task->warning.empty())
            printIndented(entry.task->warning.c_str());
    }
    report.summary(false);
    return report.failed() == 0 && report.stopped() == 0 ? kExitOk : kExitFailed;
}

const CliRegistration registration(Subcommand{"convert", "convert files as the task list does", runConvert});

} // namespace

} // namespace qf::cli
