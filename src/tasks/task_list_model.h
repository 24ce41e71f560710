#pragma once
// TaskListModel: the task list without a window. It owns the tasks, one per
// row in row order, with each row's check, selection and focus and the texts
// of its seven columns; the list view renders it and forwards user input and
// the worker's notifications to it.
//
// UI thread only. The worker reaches the model only through notifications
// that the host hands to handleMessage()/onNotification() while the worker
// waits, so a task's fields may be read there.
//
// The model talks to its surroundings through four small interfaces so that
// tests can stand in for each: the main window (TaskListHost), the media
// probe (MediaProber), the worker (TaskQueue) and the view
// (TaskListObserver).

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <deque>
#include <unordered_map>
#include <vector>

#include "convert/conversion_settings.h"
#include "core/notification_sink.h"
#include "core/text_string.h"
#include "probe/media_summary.h"
#include "tasks/conversion_task.h"

namespace qf::tasks {

enum TaskColumn : int {
    kColumnCheck = 0, // check box only, no text
    kColumnFormat = 1, // output format name
    kColumnState = 2, // state text
    kColumnElapsed = 3, // "00:00:00" until the task runs
    kColumnProgress = 4, // "0%" until the first progress line
    kColumnSource = 5,
    kColumnOutput = 6,
    kColumnCount = 7,
};

inline constexpr std::array<int, kColumnCount> kInitialColumnWidths = {22, 80, 60, 60, 60, 270, 270};
// After the last row is deleted: the text columns 1..6 only; the check-box
// column keeps whatever width it has.
inline constexpr std::array<int, kColumnCount> kResetColumnWidths = {0, 60, 60, 60, 60, 270, 270};

inline constexpr const char* kUnrecognisedFileText = "不能识别的文件类型。";

// The main window's side.
class TaskListHost {
public:
    virtual ~TaskListHost() = default;
    // REQ_GET_SETTINGS: the parameter panel's record, or null when there is none.
    virtual const convert::ConversionSettings* currentSettings() = 0;
    // REQ_LOAD_SETTINGS: this task is now the selected one.
    virtual void loadSettings(const ConversionTask& task) = 0;
    // REQ_ALL_DONE: every queued task finished without a stop. A window
    // posts it; called from within the queue-finished notification.
    virtual void allDone() = 0;
    // The single-button message box: "不能识别的文件类型。\r\n<path>".
    virtual void showMessage(const char* text) = 0;
};

// The media probe. A file with neither video nor audio is refused.
class MediaProber {
public:
    virtual ~MediaProber() = default;
    virtual bool probe(const char* path, probe::MediaFacts& out) = 0;
};

// The prober of the real media-information library (which must be loaded).
class LibraryMediaProber final : public MediaProber {
public:
    bool probe(const char* path, probe::MediaFacts& out) override;

private:
    probe::MediaSummary summary_;
};

// The worker's side, as the task list uses it (ConversionWorker implements it).
class TaskQueue {
public:
    virtual ~TaskQueue() = default;
    virtual bool isBusy() const = 0;
    virtual void markBusy() = 0; // the first task of a run is being queued
    virtual void enqueue(ConversionTask* task) = 0;
    virtual void enqueueEnd() = 0;
    virtual void requestStop() = 0;
};

// What a view needs to repaint. Every call comes after the model has changed.
class TaskListObserver {
public:
    virtual ~TaskListObserver() = default;
    virtual void rowInserted(int /*row*/) {}
    virtual void rowRemoved(int /*row*/) {}
    virtual void cellChanged(int /*row*/, int /*column*/) {}
    virtual void headerCheckChanged(bool /*checked*/) {}
    virtual void columnWidthsChanged() {}
};

// One edit the user made in the parameter panel: which parts of the panel's
// record it changed. Choosing a device or a format brings that model's
// defaults along, so a choice stands for the whole record but the two times.
struct SettingsEdit {
    using Member = int32_t convert::ConversionSettings::*;
    bool choice = false;
    std::vector<Member> members;
    bool startTime = false;
    bool endPosition = false;

    static SettingsEdit deviceChoice()
    {
        SettingsEdit edit;
        edit.choice = true;
        return edit;
    }
    // Copies what the edit changed from the panel's record into the target.
    void applyTo(convert::ConversionSettings& target, const convert::ConversionSettings& from) const;
};

struct TaskRow {
    std::unique_ptr<ConversionTask> task;
    bool checked = false;
    bool selected = false;
    bool focused = false;
    // The percentage on show for the current run, 0..100; a two-pass run
    // spends 0..50 on the first pass and 50..100 on the second.
    int progress = 0;
    std::array<core::TextString, kColumnCount> text; // text[0] stays empty
};

class TaskListModel {
public:
    using Clock = std::function<std::time_t()>;

    // None of the four is owned; each must outlive the model. The observer
    // may be null. The clock defaults to std::time.
    TaskListModel(TaskListHost& host, MediaProber& prober, TaskQueue& queue, TaskListObserver* observer = nullptr);
    TaskListModel(const TaskListModel&) = delete;
    TaskListModel& operator=(const TaskListModel&) = delete;
    // Destroys the tasks from the last row to the first. The worker must have
    // stopped and ended its thread before (nothing of it may run a task).
    ~TaskListModel();

    void setObserver(TaskListObserver* observer) { observer_ = observer; }
    void setClock(Clock clock) { clock_ = std::move(clock); }

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const TaskRow& row(int index) const { return rows_.at(static_cast<size_t>(index)); }
    ConversionTask* task(int index) const { return rows_.at(static_cast<size_t>(index)).task.get(); }
    // The row holding the task, or -1. Constant time.
    int rowOf(const ConversionTask* task) const;
    int columnWidth(int column) const { return columnWidths_.at(static_cast<size_t>(column)); }
    void setColumnWidth(int column, int width) { columnWidths_.at(static_cast<size_t>(column)) = width; }
    bool headerChecked() const { return headerChecked_; }
    bool isBusy() const { return queue_.isBusy(); }

    // Probes the file and adds a row for it (at the top while idle, at the
    // end while busy). Null when there are no settings or the file is refused
    // (the message box has been shown).
    ConversionTask* addFile(const char* path);
    // Adds a row for a file probed already. sourceSubfolder: the folder below
    // a dropped folder that the file was found in ("" none). at: the row to
    // insert at while idle (-1: the top); a busy list appends. Null when
    // there are no settings.
    ConversionTask* addProbedFile(const char* path, const probe::MediaFacts& facts, const char* sourceSubfolder = "",
                                  int position = -1);

    // The window's list: a row's output follows the output folder and the
    // keep-folder-tree option until its run begins, and the worker is given
    // each task only when the one before it has ended, so that a queued row
    // still writes where the folder is when its turn comes. Off (the
    // default), every checked task is queued at the start with the path it
    // has then.
    void setOutputsFollowFolder(bool on) { followFolder_ = on; }
    // The output folder or the keep-tree option changed: every row that has
    // not started shows, and will write, the path its run would take now.
    void refreshPlannedOutputs();

    // Copies the settings into the task and recomputes its output path.
    static void applySettings(ConversionTask& task, const convert::ConversionSettings& settings);
    // The same, then makes the path name neither an existing file nor
    // another row's output (see uniqueOutputPath).
    void applySettingsToRow(ConversionTask& task, const convert::ConversionSettings& settings);
    // The task's output path, or, when a file of that name exists or another
    // row writes it, the path with " (2)", " (3)", ... before its extension.
    // A path that collides with nothing is given back byte for byte.
    // ownFile: a file the task wrote itself, which does not count as taken.
    core::TextString uniqueOutputPath(const ConversionTask& task, const char* ownFile = nullptr) const;
    // The same rule for any path the task might write.
    core::TextString uniquePath(const core::TextString& wanted, const ConversionTask& task,
                                const char* ownFile = nullptr) const;

    // User input on rows.
    void setChecked(int row, bool checked);
    // The header's check-all box: every row, and the box itself.
    void setAllChecks(bool checked);
    // A row's selection and focus change. Gaining (not selected -> selected
    // and focused) loads the row's task into the panel. Selecting, moving
    // the focus and ending a selection never change a task: only an edit
    // made in the panel does (applyEdit).
    void setSelection(int row, bool selected, bool focused);
    void onSelectionGained(int row);
    // An edit in the panel reaches every selected row that the worker does
    // not hold, at once: the task takes the edited parts of the panel's
    // record and its output path is made again.
    void applyEdit(const SettingsEdit& edit);
    // The panel's device or format choice changed (REQ_REFRESH_SELECTED).
    void refreshSelected(int32_t /*formatIndex*/) { applyEdit(SettingsEdit::deviceChoice()); }
    // Removes the checked rows, keeping those the busy worker holds; returns
    // how many checked rows were kept.
    int deleteChecked();

    // Queues every checked task, then the end-of-queue marker. False when
    // busy, empty, without settings or without a checked row.
    bool start();
    void stop();

    // WM_TASK_NOTIFY: code and detail packed in wParam, the task in lParam.
    // Other messages are ignored. Returns 0.
    intptr_t handleMessage(const core::Message& message);
    void onNotification(uint32_t code, uint32_t detail, ConversionTask* task);
    void onTick();
    // A progress text of the encoder ("7%") on the row, as a share of the run.
    void onProgressText(int row, std::string_view text);

    // The elapsed time of a task as HH:MM:SS (hours within a day).
    core::TextString elapsedText(const ConversionTask& task) const;
    void recordStart(ConversionTask& task) const { task.startTime = clock_(); }
    static const char* stateText(const ConversionTask& task) { return taskStateText(task.state); }
    // The path a run of the task asks for before numbering: its exact path,
    // or the format's name in the output folder (below its subfolder).
    static core::TextString wantedOutputPath(const ConversionTask& task);

private:
    bool heldByWorker(const ConversionTask& task) const { return isActiveState(task.state) && queue_.isBusy(); }
    void setText(int row, int column, const char* text);
    void showState(int row);
    // The format and output columns from the task itself.
    void showTaskOutput(int row);
    void showProgress(int row, int percent);
    // Before a run: the plain name of the task's output, or the next free
    // numbered one when a file of that name stands there (its own earlier
    // result included) or another row writes it.
    void claimOutputPath(ConversionTask& task) const;
    // The path a run of the task would ask for now; with outputs following
    // the folder, made again from the output folder and the keep-tree option.
    core::TextString plannedOutputPath(ConversionTask& task) const;
    // The task's output path as planned now, numbered when taken.
    void planOutputPath(ConversionTask& task, const char* ownFile) const;
    // The task that ended was the one the worker held: give it the next one
    // of the run, or end the run.
    void handOutNext(bool stopped);
    void reindexFrom(size_t first);

    TaskListHost& host_;
    MediaProber& prober_;
    TaskQueue& queue_;
    TaskListObserver* observer_;
    Clock clock_;

    std::vector<TaskRow> rows_;
    std::unordered_map<const ConversionTask*, size_t> rowIndex_; // task -> its row, always in step with rows_
    std::array<int, kColumnCount> columnWidths_ = kInitialColumnWidths;
    bool headerChecked_ = false;
    bool followFolder_ = false;
    // With outputs following the folder: the task the worker holds, and the
    // rest of the run in order (not yet given to the worker).
    ConversionTask* handedOut_ = nullptr;
    std::deque<ConversionTask*> waiting_;
    bool stopRequested_ = false;
};

} // namespace qf::tasks
