// quillfer-cli convert: converts files as the task list does. Every file is
// added as a task (refused files are reported and skipped), all tasks are
// checked and started, and each task's state, elapsed time and encoder
// percentage are shown until the queue has finished. Ctrl-C is the stop
// command.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <semaphore.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/cli/cli.h"
#include "app/cli/cli_selection.h"
#include "convert/configuration.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "core/notification_sink.h"
#include "core/text_string.h"
#include "tasks/conversion_worker.h"
#include "tasks/task_list_model.h"

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

// Passes a stop signal on to the worker the moment it arrives, whatever the
// main thread is doing: a stop that comes while the last step of a task
// ends must reach the worker before it reports the task done.
class InterruptWatcher {
public:
    explicit InterruptWatcher(tasks::ConversionWorker& worker) : worker_(worker)
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

    tasks::ConversionWorker& worker_;
    std::atomic<bool> watching_{true};
    std::thread thread_;
};

// A reason or warning under its task, each of its lines indented.
void printIndented(const char* text)
{
    core::TextString lines(text);
    lines.replaceAll("\r\n", "\n    ");
    std::printf("    %s\n", lines.c_str());
}

void printHelp()
{
    std::printf("usage: quillfer-cli convert -c CATEGORY -m MODEL -f FORMAT [options] FILE...\n\n"
                "Converts each FILE with the chosen device model and format, one after\n"
                "another, as the task list does: the encoder and the helper tools from the\n"
                "program directory, the output files in the output folder. Shows every\n"
                "task's state, elapsed time and encoder percentage (a live line on a\n"
                "terminal, plain lines otherwise). Ctrl-C (or SIGTERM, SIGHUP) stops the\n"
                "conversion: the running and the waiting tasks end as 未完成, and\n"
                "nothing of them is left in the output folder. A failed task's reason\n"
                "is printed under it, and so is the warning of a task whose output is\n"
                "shorter than its source (a damaged source). '--' ends the options.\n\n"
                "options:\n%s\n"
                "Exit status: 0 when every file was converted (已完成), 1 when any file was\n"
                "refused, failed or stopped, 2 on a usage error.\n",
                selectionUsage());
}

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
        std::fprintf(stderr, "quillfer-cli convert: %s\n", line.c_str());
    }

private:
    const convert::ConversionSettings& settings_;
};

// The media facts of a file as the selection options ask for them (probed,
// or forced by --media).
class CliProber final : public tasks::MediaProber {
public:
    explicit CliProber(const SelectionArgs& selection) : selection_(selection) {}
    bool probe(const char* path, probe::MediaFacts& out) override
    {
        convert::CommandLineBuilder builder;
        std::string error;
        if (configureBuilder(selection_, path, builder, error) != kExitOk)
            return false;
        out = builder.media;
        return true;
    }

private:
    const SelectionArgs& selection_;
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
            if (ended && column == tasks::kColumnState) {
                std::printf("\r\033[K%s\n", line.c_str());
            } else if (tasks::isActiveState(state)) {
                std::printf("\r\033[K%s", line.c_str());
            }
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

    static std::string describe(const tasks::TaskRow& entry)
    {
        return std::string(entry.text[tasks::kColumnSource].c_str()) + "  " + entry.text[tasks::kColumnState].c_str() + "  "
            + entry.text[tasks::kColumnElapsed].c_str() + "  " + entry.text[tasks::kColumnProgress].c_str();
    }

private:
    const tasks::TaskListModel& model_;
    const bool live_;
    bool started_ = false;
    std::string lastPrinted_;
};

int runConvert(const std::vector<std::string>& args)
{
    if (wantsHelp(args)) {
        printHelp();
        return kExitOk;
    }
    SelectionArgs selection;
    std::string error;
    if (!parseSelectionArgs(args, selection, error)) {
        std::fprintf(stderr, "quillfer-cli convert: %s\n", error.c_str());
        return kExitUsage;
    }
    if (selection.files.empty()) {
        std::fprintf(stderr, "quillfer-cli convert: give at least one FILE\n");
        return kExitUsage;
    }
    if (!startUp())
        return kExitFailed;

    // The settings come from the first file the selection accepts; a wrong
    // choice of model, format or value is a usage error for every file.
    convert::CommandLineBuilder settings;
    bool haveSettings = false;
    for (const std::string& file : selection.files) {
        const int status = configureBuilder(selection, file, settings, error);
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
        convert::outputFolder() = core::fs::directoryPart(settings.outputPath.c_str());

    CliHost host(settings);
    CliProber prober(selection);
    tasks::ConversionWorker worker;
    bool finished = false;
    tasks::TaskListModel* modelForSink = nullptr;
    core::QueuedSink sink([&](const core::Message& message) {
        if (message.message == core::WM_TASK_NOTIFY && core::taskNotifyCode(message.wParam) == core::NOTIFY_QUEUE_FINISHED)
            finished = true;
        return modelForSink ? modelForSink->handleMessage(message) : intptr_t{0};
    });
    tasks::TaskListModel model(host, prober, worker);
    ProgressView view(model, isatty(STDOUT_FILENO) != 0);
    modelForSink = &model;

    bool refused = false;
    for (const std::string& file : selection.files) {
        std::error_code ec;
        const std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
        if (!core::fs::isFile(path.c_str())) {
            std::fprintf(stderr, "quillfer-cli convert: no such file: %s\n", path.c_str());
            refused = true;
            continue;
        }
        // A file the probe refuses gets the task list's own message.
        if (!haveSettings) {
            probe::MediaFacts facts;
            if (!prober.probe(path.c_str(), facts)) {
                core::TextString message = tasks::kUnrecognisedFileText;
                message.append("\r\n");
                message.append(path.c_str());
                host.showMessage(message.c_str());
            }
            refused = true;
            continue;
        }
        if (!model.addFile(path.c_str()))
            refused = true;
    }
    if (model.rowCount() == 0)
        return kExitFailed;

    model.setAllChecks(true);
    model.setObserver(&view);
    worker.startThread(sink);
    worker.startTickTimer();
    g_interrupted = 0;
    std::optional<InterruptWatcher> watcher(std::in_place, worker);
    void (*previous[std::size(kStopSignals)])(int) = {};
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        previous[i] = std::signal(kStopSignals[i], onInterrupt);
    view.setStarted();
    model.start();
    bool stopAsked = false;
    while (!finished) {
        sink.waitAndPump(100);
        if (g_interrupted && !stopAsked) {
            stopAsked = true;
            model.stop();
        }
    }
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        std::signal(kStopSignals[i], previous[i]);
    watcher.reset();
    worker.stopTickTimer();
    sink.shutdown();
    worker.endThread();
    view.finishLine();
    model.setObserver(nullptr);

    // Rows were added on top: the last row is the first file.
    bool allDone = !refused;
    for (int r = model.rowCount() - 1; r >= 0; --r) {
        const tasks::TaskRow& entry = model.row(r);
        const char* output = entry.task->outputPath.c_str();
        if (core::fs::isFile(output))
            std::printf("%s -> %s\n", ProgressView::describe(entry).c_str(), output);
        else
            std::printf("%s\n", ProgressView::describe(entry).c_str());
        if (!entry.task->failureReason.empty())
            printIndented(entry.task->failureReason.c_str());
        if (!entry.task->warning.empty())
            printIndented(entry.task->warning.c_str());
        allDone = allDone && entry.task->state == tasks::kStateDone;
    }
    return allDone ? kExitOk : kExitFailed;
}

const CliRegistration registration(Subcommand{"convert", "convert files as the task list does", runConvert});

} // namespace

} // namespace qf::cli
