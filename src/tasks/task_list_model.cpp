#include "tasks/task_list_model.h"

#include <algorithm>

#include "core/clock_time.h"
#include "core/file_system.h"
#include "core/messages.h"
#include "settings/settings.h"
#include "tasks/encoder_output.h"
#include "tasks/output_name.h"

namespace qf::tasks {

namespace {

constexpr std::time_t kSecondsPerDay = 24 * 60 * 60;

} // namespace

void SettingsEdit::applyTo(convert::ConversionSettings& target, const convert::ConversionSettings& from) const
{
    if (choice) {
        // The times are the task's own: a device or format choice keeps them.
        const core::TextString start = target.startTime;
        const core::TextString end = target.endPosition;
        target.copyFrom(from);
        target.startTime = start;
        target.endPosition = end;
    }
    for (Member member : members)
        target.*member = from.*member;
    if (startTime)
        target.startTime = from.startTime;
    if (endPosition)
        target.endPosition = from.endPosition;
}

bool LibraryMediaProber::probe(const char* path, probe::MediaFacts& out)
{
    if (!probe::probeFile(path, summary_))
        return false;
    out = summary_;
    return true;
}

TaskListModel::TaskListModel(TaskListHost& host, MediaProber& prober, TaskQueue& queue, TaskListObserver* observer)
    : host_(host), prober_(prober), queue_(queue), observer_(observer), clock_([] { return std::time(nullptr); })
{}

TaskListModel::~TaskListModel()
{
    while (!rows_.empty())
        rows_.pop_back();
}

int TaskListModel::rowOf(const ConversionTask* task) const
{
    const auto it = rowIndex_.find(task);
    return it == rowIndex_.end() ? -1 : static_cast<int>(it->second);
}

void TaskListModel::reindexFrom(size_t first)
{
    for (size_t i = first; i < rows_.size(); ++i)
        rowIndex_[rows_[i].task.get()] = i;
}

void TaskListModel::setText(int row, int column, const char* text)
{
    rows_[static_cast<size_t>(row)].text[static_cast<size_t>(column)] = text;
    if (observer_)
        observer_->cellChanged(row, column);
}

void TaskListModel::showState(int row) { setText(row, kColumnState, stateText(*task(row))); }

void TaskListModel::showTaskOutput(int row)
{
    const ConversionTask& t = *task(row);
    setText(row, kColumnFormat, t.formatLabel());
    setText(row, kColumnOutput, t.outputPath.c_str());
}

void TaskListModel::showProgress(int row, int percent)
{
    rows_[static_cast<size_t>(row)].progress = percent;
    core::TextString text;
    text.appendFormat("%d%%", percent);
    setText(row, kColumnProgress, text.c_str());
}

core::TextString TaskListModel::wantedOutputPath(const ConversionTask& task)
{
    if (!task.fixedOutputPath.empty())
        return task.fixedOutputPath;
    core::TextString wanted = task.outputPathForFormat(task.outputFormat);
    if (task.outputSubfolder.empty())
        return wanted;
    // The format's name keeps the folder of the path it is made from: a path
    // that holds the subfolder already gets it once.
    const std::string folder = core::fs::directoryPart(wanted.c_str()).c_str();
    const std::string below = std::string("/") + task.outputSubfolder.c_str();
    if (folder.size() >= below.size() && folder.compare(folder.size() - below.size(), below.size(), below) == 0)
        return wanted;
    core::TextString kept = folder.c_str();
    kept.appendFormat("%s/%s", below.c_str(), core::fs::fileNamePart(wanted.c_str()));
    return kept;
}

void TaskListModel::claimOutputPath(ConversionTask& task) const
{
    // Numbered names go before the extension, after the last "-", so the
    // format's own name gives back the plain one.
    const core::TextString wanted = plannedOutputPath(task);
    task.requestedOutputPath = wanted;
    task.outputPath = task.replaceOutput ? wanted : uniquePath(wanted, task);
}

core::TextString TaskListModel::plannedOutputPath(ConversionTask& task) const
{
    if (followFolder_ && task.fixedOutputPath.empty()) {
        task.outputSubfolder = settings::current().keepFolderTree() ? task.sourceSubfolder : core::TextString();
        task.makeOutputPath(settings::current().outputFolder().c_str());
    }
    return wantedOutputPath(task);
}

void TaskListModel::planOutputPath(ConversionTask& task, const char* ownFile) const
{
    const core::TextString wanted = plannedOutputPath(task);
    task.outputPath = task.replaceOutput ? wanted : uniquePath(wanted, task, ownFile);
}

void TaskListModel::refreshPlannedOutputs()
{
    if (!followFolder_)
        return;
    // A done row shows the file it wrote; the row the worker holds writes
    // where its run began.
    auto follows = [this](const TaskRow& entry) {
        const ConversionTask& t = *entry.task;
        return t.state != kStateDone && &t != handedOut_;
    };
    // Cleared first, so that no row is numbered against another's old path.
    for (TaskRow& entry : rows_)
        if (follows(entry))
            entry.task->outputPath.clear();
    for (int r = 0; r < rowCount(); ++r) {
        if (!follows(rows_[static_cast<size_t>(r)]))
            continue;
        planOutputPath(*task(r), nullptr);
        setText(r, kColumnOutput, task(r)->outputPath.c_str());
    }
}

void TaskListModel::applySettings(ConversionTask& task, const convert::ConversionSettings& settings)
{
    task.copyFrom(settings);
    task.makeOutputPath(settings::current().outputFolder().c_str());
}

void TaskListModel::applySettingsToRow(ConversionTask& task, const convert::ConversionSettings& settings)
{
    // A finished task may keep the name of the file it wrote itself.
    const core::TextString own = task.state == kStateDone ? task.outputPath : core::TextString();
    applySettings(task, settings);
    task.outputPath = uniqueOutputPath(task, own.c_str());
}

core::TextString TaskListModel::uniqueOutputPath(const ConversionTask& task, const char* ownFile) const
{
    return uniquePath(task.outputPath, task, ownFile);
}

core::TextString TaskListModel::uniquePath(const core::TextString& wanted, const ConversionTask& task,
                                           const char* ownFile) const
{
    auto taken = [&](const core::TextString& candidate) {
        if (core::fs::exists(candidate.c_str()) && !(ownFile && *ownFile && candidate == ownFile))
            return true;
        for (const TaskRow& entry : rows_)
            if (entry.task.get() != &task && entry.task->outputPath == candidate)
                return true;
        return false;
    };
    // The number goes before the extension of the file name itself; a name
    // without one gets it at the end.
    return firstFreePath(wanted, taken);
}

ConversionTask* TaskListModel::addFile(const char* path)
{
    const convert::ConversionSettings* settings = host_.currentSettings();
    if (!settings || !path)
        return nullptr;
    probe::MediaFacts facts;
    if (!prober_.probe(path, facts)) {
        core::TextString message = probe::isMissing(path) ? probe::kMissingFileText : kUnrecognisedFileText;
        message.append("\r\n");
        message.append(path);
        host_.showMessage(message.c_str());
        return nullptr;
    }
    return addProbedFile(path, facts);
}

ConversionTask* TaskListModel::addProbedFile(const char* path, const probe::MediaFacts& facts,
                                             const char* sourceSubfolder, int position)
{
    const convert::ConversionSettings* settings = host_.currentSettings();
    if (!settings || !path)
        return nullptr;
    auto owned = std::make_unique<ConversionTask>();
    ConversionTask* task = owned.get();
    task->sourcePath = path;
    task->sourceSubfolder = sourceSubfolder ? sourceSubfolder : "";
    task->copyFrom(*settings);
    task->takeMediaSummary(facts);

    const size_t at
        = queue_.isBusy() ? rows_.size() : std::min(static_cast<size_t>(std::max(position, 0)), rows_.size());
    TaskRow row;
    row.task = std::move(owned);
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    reindexFrom(at);
    const int r = static_cast<int>(at);
    if (observer_)
        observer_->rowInserted(r);

    task->makeOutputPath(settings::current().outputFolder().c_str());
    planOutputPath(*task, nullptr);
    setText(r, kColumnFormat, task->formatLabel());
    showState(r);
    setText(r, kColumnElapsed, "00:00:00");
    setText(r, kColumnProgress, "0%");
    setText(r, kColumnSource, task->sourcePath.c_str());
    setText(r, kColumnOutput, task->outputPath.c_str());
    return task;
}

void TaskListModel::setChecked(int row, bool checked)
{
    rows_.at(static_cast<size_t>(row)).checked = checked;
    if (observer_)
        observer_->cellChanged(row, kColumnCheck);
}

void TaskListModel::setAllChecks(bool checked)
{
    for (int r = 0; r < rowCount(); ++r)
        setChecked(r, checked);
    // The header's box is what asked for this: keep our copy of it in step,
    // or deleteChecked would think an already-cleared box needs no change
    // and leave a ticked box over an empty list.
    if (checked != headerChecked_) {
        headerChecked_ = checked;
        if (observer_)
            observer_->headerCheckChanged(headerChecked_);
    }
}

void TaskListModel::setSelection(int row, bool selected, bool focused)
{
    TaskRow& entry = rows_.at(static_cast<size_t>(row));
    const bool wasSelected = entry.selected;
    entry.selected = selected;
    entry.focused = focused;
    if (!wasSelected && selected && focused)
        onSelectionGained(row);
}

void TaskListModel::onSelectionGained(int row) { host_.loadSettings(*task(row)); }

void TaskListModel::applyEdit(const SettingsEdit& edit)
{
    const convert::ConversionSettings* settings = host_.currentSettings();
    if (!settings)
        return;
    for (int r = 0; r < rowCount(); ++r) {
        TaskRow& entry = rows_[static_cast<size_t>(r)];
        ConversionTask& t = *entry.task;
        if (!entry.selected || heldByWorker(t))
            continue;
        // A finished task may keep the name of the file it wrote itself.
        const core::TextString own = t.state == kStateDone ? t.outputPath : core::TextString();
        edit.applyTo(t, *settings);
        planOutputPath(t, own.c_str());
        showTaskOutput(r);
    }
}

int TaskListModel::deleteChecked()
{
    int kept = 0;
    bool keptChecked = false;
    bool removedAny = false;
    for (size_t i = rows_.size(); i-- > 0;) {
        TaskRow& entry = rows_[i];
        if (!entry.checked)
            continue;
        if (heldByWorker(*entry.task)) {
            keptChecked = true;
            ++kept;
            continue;
        }
        rowIndex_.erase(entry.task.get());
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(i));
        removedAny = true;
        if (observer_)
            observer_->rowRemoved(static_cast<int>(i));
    }
    if (removedAny)
        reindexFrom(0);
    if (keptChecked != headerChecked_) {
        headerChecked_ = keptChecked;
        if (observer_)
            observer_->headerCheckChanged(headerChecked_);
    }
    // A name a removed row held may be free now.
    if (removedAny && followFolder_)
        refreshPlannedOutputs();
    if (rows_.empty()) {
        for (int column = kColumnFormat; column < kColumnCount; ++column)
            columnWidths_[static_cast<size_t>(column)] = kResetColumnWidths[static_cast<size_t>(column)];
        if (observer_)
            observer_->columnWidthsChanged();
    }
    return kept;
}

bool TaskListModel::start()
{
    if (queue_.isBusy() || rows_.empty())
        return false;
    const convert::ConversionSettings* settings = host_.currentSettings();
    if (!settings)
        return false;
    std::vector<int> run;
    for (int r = 0; r < rowCount(); ++r)
        if (rows_[static_cast<size_t>(r)].checked)
            run.push_back(r);
    if (run.empty())
        return false;
    stopRequested_ = false;
    waiting_.clear();
    handedOut_ = nullptr;
    for (int r : run) {
        ConversionTask& t = *task(r);
        t.state = r == run.front() ? kStateConverting : kStateQueued;
        showState(r);
        setText(r, kColumnElapsed, "00:00:00");
        showProgress(r, 0);
    }
    queue_.markBusy();
    if (followFolder_) {
        // Every row shows where it will write; the first one claims its name
        // now, the others when their turn comes.
        for (size_t i = 1; i < run.size(); ++i)
            waiting_.push_back(task(run[i]));
        refreshPlannedOutputs();
        ConversionTask& first = *task(run.front());
        claimOutputPath(first);
        showTaskOutput(run.front());
        handedOut_ = &first;
        queue_.enqueue(&first);
        return true;
    }
    for (int r : run) {
        // A run never replaces a file that stands there, not even the
        // task's own result from an earlier run.
        claimOutputPath(*task(r));
        showTaskOutput(r);
        queue_.enqueue(task(r));
    }
    queue_.enqueueEnd();
    return true;
}

void TaskListModel::stop()
{
    if (queue_.isBusy())
        stopRequested_ = true;
    queue_.requestStop();
}

void TaskListModel::handOutNext(bool stopped)
{
    handedOut_ = nullptr;
    while (!waiting_.empty()) {
        ConversionTask* next = waiting_.front();
        waiting_.pop_front();
        const int r = rowOf(next);
        if (r < 0)
            continue;
        if (stopped || stopRequested_) {
            // What the worker would have done with a queued task after a stop.
            next->state = kStateNotDone;
            showState(r);
            showProgress(r, 0);
            continue;
        }
        claimOutputPath(*next);
        showTaskOutput(r);
        handedOut_ = next;
        queue_.enqueue(next);
        return;
    }
    queue_.enqueueEnd();
}

intptr_t TaskListModel::handleMessage(const core::Message& message)
{
    if (message.message == core::WM_TASK_NOTIFY)
        onNotification(core::taskNotifyCode(message.wParam), core::taskNotifyDetail(message.wParam),
                       reinterpret_cast<ConversionTask*>(message.lParam));
    return 0;
}

void TaskListModel::onNotification(uint32_t code, uint32_t detail, ConversionTask* task)
{
    if (code == core::NOTIFY_TICK) {
        onTick();
        return;
    }
    if (code == core::NOTIFY_QUEUE_FINISHED) {
        if (detail == 0)
            host_.allDone();
        return;
    }
    if (code < core::NOTIFY_PROGRESS_LINE || code > core::NOTIFY_FOLDER_FAILED)
        return;
    const int r = rowOf(task);
    if (r < 0)
        return;
    ConversionTask& t = *task;
    switch (code) {
    case core::NOTIFY_PROGRESS_LINE:
        if (const auto text = progressText(t.lineBuffer.view())) {
            onProgressText(r, *text);
            return;
        }
        break;
    case core::NOTIFY_STATE_CHANGED:
        t.state = static_cast<int32_t>(detail);
        if (detail == kStateConverting || detail == kStateFirstPass) {
            recordStart(t);
            // The worker claims the name when the run begins: another
            // program may have taken it since, and the next free one is shown.
            showTaskOutput(r);
        }
        // The second pass starts where the first one's share ends.
        if (detail == kStateSecondPass && rows_[static_cast<size_t>(r)].progress < 50)
            showProgress(r, 50);
        break;
    case core::NOTIFY_DONE:
        t.state = kStateDone;
        showProgress(r, 100);
        // The name is given when the output is complete: a file put there
        // during the run moved it to the next free one.
        showTaskOutput(r);
        break;
    case core::NOTIFY_STOPPED:
        t.state = kStateNotDone;
        // A stopped run starts over from nothing next time.
        showProgress(r, 0);
        break;
    case core::NOTIFY_FAILED: t.state = kStateUnreadable; break;
    case core::NOTIFY_BAD_PARAMETERS: t.state = kStateBadParameters; break;
    default: // 5 and NOTIFY_FOLDER_FAILED
        t.state = kStateError;
        break;
    }
    showState(r);
    if (&t == handedOut_ && !isActiveState(t.state))
        handOutNext(code == core::NOTIFY_STOPPED);
}

void TaskListModel::onProgressText(int row, std::string_view text)
{
    // The encoder counts each pass from 0 to 100; the row counts the run.
    if (text.empty() || text.back() != '%' || text.find_first_not_of(" 0123456789%") != std::string_view::npos) {
        core::TextString shown;
        shown.assignBytes(text.data(), static_cast<uint32_t>(text.size()));
        setText(row, kColumnProgress, shown.c_str());
        return;
    }
    int percent = std::clamp(leadingInteger(text), 0, 100);
    const int32_t state = task(row)->state;
    if (state == kStateFirstPass)
        percent /= 2;
    else if (state == kStateSecondPass)
        percent = 50 + percent / 2;
    if (percent >= rows_[static_cast<size_t>(row)].progress)
        showProgress(row, percent);
}

void TaskListModel::onTick()
{
    for (int r = rowCount() - 1; r >= 0; --r) {
        const ConversionTask& t = *task(r);
        if (t.state >= kStateConverting && t.state <= kStateMuxing) {
            setText(r, kColumnElapsed, elapsedText(t).c_str());
            return;
        }
    }
}

core::TextString TaskListModel::elapsedText(const ConversionTask& task) const
{
    std::time_t span = clock_() - task.startTime;
    span = ((span % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    char buffer[16];
    core::formatSeconds(static_cast<uint32_t>(span), buffer);
    return core::TextString(buffer);
}

} // namespace qf::tasks
