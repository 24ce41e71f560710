#include "tasks/task_list_model.h"

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>
#include <unistd.h>

#include <fstream>
#include <gtest/gtest.h>

#include "core/messages.h"
#include "settings/settings.h"
#include "tasks/support/fake_task_surroundings.h"

namespace qf::tasks {
namespace {

using testing::FakeHost;
using testing::FakeProber;
using testing::FakeQueue;

struct RecordingObserver : TaskListObserver {
    void rowInserted(int row) override { events.push_back("insert " + std::to_string(row)); }
    void rowRemoved(int row) override { events.push_back("remove " + std::to_string(row)); }
    void headerCheckChanged(bool checked) override { events.push_back(checked ? "header on" : "header off"); }
    void columnWidthsChanged() override { events.push_back("widths"); }
    std::vector<std::string> events;
};

class TaskListModelTest : public ::testing::Test {
protected:
    TaskListModelTest()
    {
        settings::current().setOutputFolder("/out");
        host.settings.selectModel(3, 0, 9); // Flash Player, flv
        model.setClock([this] { return now; });
    }

    ConversionTask* add(const char* path) { return model.addFile(path); }
    std::string text(int row, int column) const { return std::string(model.row(row).text[column].view()); }
    void notify(uint32_t code, uint32_t detail, ConversionTask* task)
    {
        model.handleMessage(
            {core::WM_TASK_NOTIFY, core::makeTaskNotifyParam(code, detail), reinterpret_cast<intptr_t>(task)});
    }

    FakeHost host;
    FakeProber prober;
    FakeQueue queue;
    RecordingObserver observer;
    TaskListModel model{host, prober, queue, &observer};
    std::time_t now = 1000;
};

TEST_F(TaskListModelTest, AddFillsTheRowAndPutsNewRowsOnTopWhileIdle)
{
    ConversionTask* first = add("/in/a.avi");
    ConversionTask* second = add("/in/b.avi");
    ASSERT_TRUE(first && second);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.task(0), second);
    EXPECT_EQ(model.task(1), first);
    EXPECT_EQ(model.rowOf(first), 1);
    EXPECT_EQ(model.rowOf(second), 0);
    EXPECT_EQ(text(1, kColumnFormat), "flv-Flash");
    EXPECT_EQ(text(1, kColumnState), "未完成");
    EXPECT_EQ(text(1, kColumnElapsed), "00:00:00");
    EXPECT_EQ(text(1, kColumnProgress), "0%");
    EXPECT_EQ(text(1, kColumnSource), "/in/a.avi");
    EXPECT_EQ(text(1, kColumnOutput), "/out/a.avi-flv.flv");
    EXPECT_EQ(first->outputFormat, 9);
    EXPECT_TRUE(first->media.hasVideo);
    EXPECT_EQ(first->lineBuffer.capacity(), ConversionTask::kLineBufferSize);
}

TEST_F(TaskListModelTest, AddWhileBusyAppends)
{
    ConversionTask* first = add("/in/a.avi");
    add("/in/b.avi");
    queue.busy = true;
    ConversionTask* third = add("/in/c.avi");
    EXPECT_EQ(model.task(2), third);
    EXPECT_EQ(model.rowOf(third), 2);
    EXPECT_EQ(model.rowOf(first), 1);
}

TEST_F(TaskListModelTest, RefusedFileAndMissingSettingsAddNothing)
{
    // A file that is there is not recognised; one that is not (a link to
    // nothing too) is missing, not of an unknown type.
    const std::string folder = ::testing::TempDir() + "/model-refused";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string notes = folder + "/notes.txt";
    const std::string dangling = folder + "/gone.avi";
    std::ofstream(notes) << "not media\n";
    std::filesystem::create_symlink(folder + "/nothing.avi", dangling);
    for (const std::string& path : {notes, dangling, folder + "/never.avi"})
        prober.refused.insert(path);
    EXPECT_EQ(add(notes.c_str()), nullptr);
    EXPECT_EQ(add(dangling.c_str()), nullptr);
    EXPECT_EQ(add((folder + "/never.avi").c_str()), nullptr);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0], "不能识别的文件类型。\r\n" + notes);
    EXPECT_EQ(host.messages[1], "找不到源文件,它可能已被移动或删除。\r\n" + dangling);
    EXPECT_EQ(host.messages[2], "找不到源文件,它可能已被移动或删除。\r\n" + folder + "/never.avi");
    host.hasSettings = false;
    EXPECT_EQ(add("/in/a.avi"), nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(host.messages.size(), 3u);
    std::filesystem::remove_all(folder);
}

TEST_F(TaskListModelTest, DeleteKeepsTheRowsTheBusyWorkerHolds)
{
    // Rows top to bottom: e(done) d(queued) c(converting) b(failed) a(idle)
    ConversionTask* a = add("/in/a.avi");
    ConversionTask* b = add("/in/b.avi");
    ConversionTask* c = add("/in/c.avi");
    ConversionTask* d = add("/in/d.avi");
    ConversionTask* e = add("/in/e.avi");
    b->state = kStateUnreadable;
    c->state = kStateConverting;
    d->state = kStateQueued;
    e->state = kStateDone;
    for (int r = 0; r < model.rowCount(); ++r)
        model.setChecked(r, true);
    queue.busy = true;
    observer.events.clear();
    model.deleteChecked();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.task(0), d);
    EXPECT_EQ(model.task(1), c);
    EXPECT_EQ(model.rowOf(d), 0);
    EXPECT_EQ(model.rowOf(c), 1);
    EXPECT_TRUE(model.headerChecked());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"remove 4", "remove 3", "remove 0", "header on"}));

    // Once idle the same tasks go, and the header box clears.
    queue.busy = false;
    model.deleteChecked();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.headerChecked());
    EXPECT_EQ(model.rowOf(c), -1);
    (void)a;
    (void)e;
}

TEST_F(TaskListModelTest, HeaderBoxFollowsCheckAllAndDelete)
{
    // Ticking the header box checks every row; deleting them all while idle
    // must clear the box again, not leave it ticked over an empty list.
    add("/in/a.avi");
    add("/in/b.avi");
    model.setAllChecks(true);
    EXPECT_TRUE(model.headerChecked());
    EXPECT_TRUE(model.row(0).checked && model.row(1).checked);
    observer.events.clear();
    model.deleteChecked();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.headerChecked());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"remove 1", "remove 0", "header off", "widths"}));

    // Check-all while a task converts: the kept row leaves the box ticked,
    // which is no change, so the header is not told (no sound).
    ConversionTask* c = add("/in/c.avi");
    add("/in/d.avi");
    c->state = kStateConverting;
    queue.busy = true;
    model.setAllChecks(true);
    observer.events.clear();
    model.deleteChecked();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_TRUE(model.headerChecked());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"remove 0"}));
}

TEST_F(TaskListModelTest, ActiveTasksGoWhenTheWorkerIsIdle)
{
    ConversionTask* a = add("/in/a.avi");
    a->state = kStateConverting; // left over: the worker is not busy
    model.setChecked(0, true);
    model.deleteChecked();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(TaskListModelTest, DeletingTheLastRowResetsTheColumnWidths)
{
    add("/in/a.avi");
    add("/in/b.avi");
    EXPECT_EQ(model.columnWidth(1), 80);
    model.setChecked(1, true);
    model.deleteChecked();
    EXPECT_EQ(model.columnWidth(1), 80); // a row is left
    model.setColumnWidth(5, 500);
    model.setColumnWidth(0, 30); // not one of the columns that are reset
    model.setChecked(0, true);
    model.deleteChecked();
    const int expected[] = {30, 60, 60, 60, 60, 270, 270};
    for (int col = 0; col < kColumnCount; ++col)
        EXPECT_EQ(model.columnWidth(col), expected[col]) << col;
}

TEST_F(TaskListModelTest, DeleteWithNothingCheckedKeepsEverything)
{
    add("/in/a.avi");
    model.deleteChecked();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.columnWidth(1), 80);
}

TEST_F(TaskListModelTest, SelectingNeverChangesARowOnlyAnEditDoes)
{
    ConversionTask* a = add("/in/a.avi"); // row 1
    ConversionTask* b = add("/in/b.avi"); // row 0
    model.setSelection(1, true, true);
    ASSERT_EQ(host.loaded.size(), 1u);
    EXPECT_EQ(host.loaded[0], a);
    // The panel shows another record without an edit (another row was
    // loaded into it): ending the selection leaves the task alone.
    host.settings.selectModel(6, 0, 12);
    model.setSelection(1, false, false);
    EXPECT_EQ(a->outputFormat, 9);
    EXPECT_EQ(text(1, kColumnFormat), "flv-Flash");

    // A format choice reaches the selected row at once, paths included.
    model.setSelection(1, true, true);
    model.refreshSelected(12);
    EXPECT_EQ(a->outputFormat, 12);
    EXPECT_EQ(a->outputPath, "/out/a.avi-wmv.wmv");
    EXPECT_EQ(a->sourcePath, "/in/a.avi");
    EXPECT_EQ(text(1, kColumnFormat), "wmv-WMVideo");
    EXPECT_EQ(text(1, kColumnOutput), "/out/a.avi-wmv.wmv");
    EXPECT_EQ(b->outputFormat, 9);

    // With rows of two formats selected, a value edit reaches both and
    // each keeps its own format and times.
    auto start = [](ConversionTask* t) -> core::TextString& {
        return static_cast<convert::ConversionSettings&>(*t).startTime;
    };
    start(a) = "00:00:05";
    model.setSelection(0, true, false);
    host.settings.videoBitrateIndex = 7;
    host.settings.startTime = "00:00:09";
    SettingsEdit bitrate;
    bitrate.members = {&convert::ConversionSettings::videoBitrateIndex};
    model.applyEdit(bitrate);
    EXPECT_EQ(a->videoBitrateIndex, 7);
    EXPECT_EQ(b->videoBitrateIndex, 7);
    EXPECT_EQ(a->outputFormat, 12);
    EXPECT_EQ(b->outputFormat, 9);
    EXPECT_EQ(start(a), "00:00:05");
    // A device choice keeps each row's times; a time edit sets them.
    model.refreshSelected(12);
    EXPECT_EQ(b->outputFormat, 12);
    EXPECT_EQ(start(a), "00:00:05");
    SettingsEdit time;
    time.startTime = true;
    model.applyEdit(time);
    EXPECT_EQ(start(b), "00:00:09");
    EXPECT_EQ(start(a), "00:00:09");
}

TEST_F(TaskListModelTest, SelectionLostKeepsActiveTasksAndNeedsSettings)
{
    ConversionTask* a = add("/in/a.avi");
    model.setSelection(0, true, true);
    a->state = kStateFirstPass;
    queue.busy = true;
    host.settings.selectModel(6, 0, 12);
    model.refreshSelected(12);
    EXPECT_EQ(a->outputFormat, 9);
    a->state = kStateDone;
    queue.busy = false;
    host.hasSettings = false;
    model.refreshSelected(12);
    EXPECT_EQ(a->outputFormat, 9);
}

TEST_F(TaskListModelTest, AnEditSkipsRowsTheBusyWorkerHolds)
{
    ConversionTask* a = add("/in/a.avi"); // row 2
    ConversionTask* b = add("/in/b.avi"); // row 1
    add("/in/c.avi"); // row 0, not selected
    model.setSelection(2, true, true);
    model.setSelection(1, true, false);
    b->state = kStateQueued;
    queue.busy = true;
    host.settings.selectModel(6, 0, 12);
    model.refreshSelected(12);
    EXPECT_EQ(text(2, kColumnFormat), "wmv-WMVideo");
    EXPECT_EQ(text(2, kColumnOutput), "/out/a.avi-wmv.wmv");
    EXPECT_EQ(a->outputFormat, 12);
    EXPECT_EQ(b->outputFormat, 9);
    EXPECT_EQ(text(1, kColumnFormat), "flv-Flash");
    EXPECT_EQ(text(0, kColumnFormat), "flv-Flash");
}

TEST_F(TaskListModelTest, StartQueuesCheckedRowsTopToBottom)
{
    ConversionTask* a = add("/in/a.avi"); // row 2
    ConversionTask* b = add("/in/b.avi"); // row 1
    ConversionTask* c = add("/in/c.avi"); // row 0
    EXPECT_FALSE(model.start()); // nothing checked
    EXPECT_FALSE(queue.busy);
    EXPECT_EQ(queue.ends, 0);
    model.setChecked(0, true);
    model.setChecked(2, true);
    c->state = kStateDone;
    model.setSelection(2, true, true);
    host.settings.selectModel(6, 0, 12);
    model.refreshSelected(12);
    ASSERT_TRUE(model.start());
    EXPECT_EQ(queue.queued, (std::vector<ConversionTask*>{c, a}));
    EXPECT_EQ(queue.ends, 1);
    EXPECT_TRUE(queue.busy);
    EXPECT_EQ(text(0, kColumnState), "正在转换");
    EXPECT_EQ(text(2, kColumnState), "排队");
    EXPECT_EQ(a->outputFormat, 12); // the selected row took the edit
    EXPECT_EQ(c->outputFormat, 9);
    EXPECT_EQ(b->state, kStateNotDone);
    EXPECT_FALSE(model.start()); // busy
    EXPECT_EQ(queue.ends, 1);
    host.hasSettings = false;
    queue.busy = false;
    EXPECT_FALSE(model.start());
}

TEST_F(TaskListModelTest, NotificationsSetStatesAndTexts)
{
    ConversionTask* t = add("/in/a.avi");
    struct Step {
        uint32_t code;
        uint32_t detail;
        int32_t state;
        const char* stateText;
    } steps[] = {
        {core::NOTIFY_STATE_CHANGED, kStateFirstPass, kStateFirstPass, "一次编码"},
        {core::NOTIFY_STATE_CHANGED, kStateSecondPass, kStateSecondPass, "二次编码"},
        {core::NOTIFY_STATE_CHANGED, kStateMuxing, kStateMuxing, "正在合成"},
        {core::NOTIFY_DONE, 0, kStateDone, "已完成"},
        {core::NOTIFY_STOPPED, 0, kStateNotDone, "未完成"},
        {core::NOTIFY_FAILED, 0, kStateUnreadable, "无法解析资源文件"},
        {core::NOTIFY_BAD_PARAMETERS, 0, kStateBadParameters, "错误的转换参数"},
        {core::NOTIFY_FOLDER_FAILED, 0, kStateError, "错误"},
        {5, 0, kStateError, "错误"},
    };
    for (const Step& s : steps) {
        notify(s.code, s.detail, t);
        EXPECT_EQ(t->state, s.state) << s.code;
        EXPECT_EQ(text(0, kColumnState), s.stateText) << s.code;
    }
}

TEST_F(TaskListModelTest, ProgressLinesAndDone)
{
    ConversionTask* t = add("/in/a.avi");
    t->lineBuffer = "Pos:   1.0s   25f ( 7%) 25fps";
    notify(core::NOTIFY_PROGRESS_LINE, 0, t);
    EXPECT_EQ(text(0, kColumnProgress), "7%");
    t->state = kStateConverting;
    t->lineBuffer = "Pos: 2.0s no parenthesis";
    notify(core::NOTIFY_PROGRESS_LINE, 0, t);
    EXPECT_EQ(text(0, kColumnProgress), "7%");
    EXPECT_EQ(text(0, kColumnState), "正在转换"); // the state column is refreshed instead
    notify(core::NOTIFY_DONE, 0, t);
    EXPECT_EQ(text(0, kColumnProgress), "100%");
}

TEST_F(TaskListModelTest, NotificationsForUnknownTasksAndCodesAreIgnored)
{
    ConversionTask* t = add("/in/a.avi");
    ConversionTask stranger;
    notify(core::NOTIFY_DONE, 0, &stranger);
    notify(core::NOTIFY_DONE, 0, nullptr);
    notify(11, 0, t);
    notify(0, 0, t);
    EXPECT_EQ(t->state, kStateNotDone);
    EXPECT_EQ(stranger.state, kStateNotDone);
    model.handleMessage({core::WM_PLAY_ENTRY, core::NOTIFY_DONE, reinterpret_cast<intptr_t>(t)});
    EXPECT_EQ(t->state, kStateNotDone);
    // A removed row's task: its pointer may even be reused; nothing happens.
    model.setChecked(0, true);
    model.deleteChecked();
    EXPECT_EQ(model.rowOf(t), -1);
}

TEST_F(TaskListModelTest, QueueFinishedPostsAllDoneOnlyWithoutStop)
{
    notify(core::NOTIFY_QUEUE_FINISHED, 1, nullptr);
    EXPECT_EQ(host.allDoneCount, 0);
    notify(core::NOTIFY_QUEUE_FINISHED, 0, nullptr);
    EXPECT_EQ(host.allDoneCount, 1);
}

TEST_F(TaskListModelTest, TickUpdatesTheLowestRunningRowOnly)
{
    ConversionTask* a = add("/in/a.avi"); // row 2
    ConversionTask* b = add("/in/b.avi"); // row 1
    ConversionTask* c = add("/in/c.avi"); // row 0
    now = 5000;
    notify(core::NOTIFY_STATE_CHANGED, kStateConverting, c);
    notify(core::NOTIFY_STATE_CHANGED, kStateFirstPass, b);
    a->state = kStateQueued;
    now = 5000 + 3725;
    notify(core::NOTIFY_TICK, 0, nullptr);
    EXPECT_EQ(text(1, kColumnElapsed), "01:02:05");
    EXPECT_EQ(text(0, kColumnElapsed), "00:00:00");
    EXPECT_EQ(text(2, kColumnElapsed), "00:00:00");
    // A span past a day shows hours within the day.
    now = 5000 + 86400 + 61;
    EXPECT_EQ(std::string(model.elapsedText(*b).view()), "00:01:01");
    // Later steps keep the time the encoding started.
    notify(core::NOTIFY_STATE_CHANGED, kStateSecondPass, b);
    notify(core::NOTIFY_STATE_CHANGED, kStateMuxing, b);
    notify(core::NOTIFY_TICK, 0, nullptr);
    EXPECT_EQ(text(1, kColumnElapsed), "00:01:01");
    b->state = kStateDone;
    c->state = kStateDone;
    now += 10;
    notify(core::NOTIFY_TICK, 0, nullptr);
    EXPECT_EQ(text(1, kColumnElapsed), "00:01:01");
}

TEST_F(TaskListModelTest, RowLookupStaysInStepThroughInsertsAndDeletes)
{
    std::vector<ConversionTask*> tasks;
    for (int i = 0; i < 20; ++i)
        tasks.push_back(add(("/in/" + std::to_string(i) + ".avi").c_str()));
    for (int r = 0; r < model.rowCount(); r += 3)
        model.setChecked(r, true);
    model.deleteChecked();
    queue.busy = true;
    tasks.push_back(add("/in/late.avi"));
    for (int r = 0; r < model.rowCount(); ++r)
        EXPECT_EQ(model.rowOf(model.task(r)), r);
    EXPECT_EQ(model.rowOf(tasks.back()), model.rowCount() - 1);
}

TEST_F(TaskListModelTest, NewOutputPathsNameNoExistingFileAndNoOtherRowsOutput)
{
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("qf-unique-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    settings::current().setOutputFolder(dir.string().c_str());
    const std::string out = dir.string() + "/clip.avi-mp4";
    // A finished iPod conversion already stands in the folder.
    std::FILE* done = std::fopen((out + ".mp4").c_str(), "wb");
    ASSERT_NE(done, nullptr);
    std::fclose(done);

    host.settings.selectModel(2, 0, 2); // PSP, mp4 (x264): the same suffix as the iPod's
    ConversionTask* psp = add("/in/clip.avi");
    ConversionTask* again = add("/in/clip.avi"); // the same source and format twice
    ASSERT_TRUE(psp && again);
    EXPECT_EQ(std::string(psp->outputPath.c_str()), out + " (2).mp4");
    EXPECT_EQ(std::string(again->outputPath.c_str()), out + " (3).mp4");
    EXPECT_EQ(text(0, kColumnOutput), out + " (3).mp4");

    // Colliding with nothing: the path keeps its exact bytes.
    ConversionTask* other = add("/in/其他 clip.avi");
    ASSERT_TRUE(other);
    EXPECT_EQ(std::string(other->outputPath.c_str()), dir.string() + "/其他 clip.avi-mp4.mp4");

    // Settings applied at the start keep the rule; a finished task keeps the
    // name of the file it wrote itself.
    model.setAllChecks(true);
    model.setSelection(model.rowOf(psp), true, true);
    ASSERT_TRUE(model.start());
    EXPECT_EQ(std::string(psp->outputPath.c_str()), out + " (2).mp4");
    psp->state = kStateDone;
    std::FILE* own = std::fopen((out + " (2).mp4").c_str(), "wb");
    ASSERT_NE(own, nullptr);
    std::fclose(own);
    queue.busy = false;
    model.setSelection(model.rowOf(psp), false, false);
    EXPECT_EQ(std::string(psp->outputPath.c_str()), out + " (2).mp4");
    std::filesystem::remove_all(dir);
}

TEST_F(TaskListModelTest, AnEditReachesEveryRowSelectedWhenItWasMade)
{
    ConversionTask* a = add("/in/a.avi"); // row 1
    ConversionTask* b = add("/in/b.avi"); // row 0
    // Click row 0, Ctrl+click row 1: row 0 keeps its selection, not the focus.
    model.setSelection(0, true, true);
    model.setSelection(0, true, false);
    model.setSelection(1, true, true);
    host.settings.selectModel(7, 0, 8); // MP3
    model.refreshSelected(8);
    EXPECT_EQ(text(0, kColumnFormat), "mp3");
    EXPECT_EQ(text(1, kColumnOutput), "/out/a.avi-mp3.mp3");
    // A click on an empty part clears the selection; the focus stays on row 1.
    model.setSelection(0, false, false);
    model.setSelection(1, false, true);
    for (ConversionTask* t : {a, b})
        EXPECT_EQ(t->outputFormat, 8) << t->sourcePath.c_str();
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(text(r, kColumnFormat), "mp3");
        EXPECT_EQ(text(r, kColumnOutput), model.task(r)->outputPath.c_str());
    }
    // Clicking the focused row again loads it into the panel.
    const size_t loads = host.loaded.size();
    model.setSelection(1, true, true);
    EXPECT_EQ(host.loaded.size(), loads + 1);
}

TEST_F(TaskListModelTest, RowsSweptIntoASelectionKeepTheirOwnUntilAnEdit)
{
    ConversionTask* a = add("/in/a.avi"); // row 2
    ConversionTask* b = add("/in/b.avi"); // row 1
    ConversionTask* c = add("/in/c.avi"); // row 0
    model.setSelection(0, true, true);
    // Ctrl+A: the other rows become selected without the focus.
    model.setSelection(1, true, false);
    model.setSelection(2, true, false);
    host.settings.selectModel(6, 0, 12); // the panel differs, unedited
    model.setSelection(1, false, false);
    EXPECT_EQ(b->outputFormat, 9);
    EXPECT_EQ(text(1, kColumnFormat), "flv-Flash");

    // Now an edit with rows 0 and 2 selected: both take it at once.
    model.refreshSelected(12);
    model.setChecked(2, true);
    model.setChecked(1, true);
    ASSERT_TRUE(model.start());
    EXPECT_EQ(a->outputFormat, 12);
    EXPECT_EQ(text(2, kColumnFormat), "wmv-WMVideo");
    EXPECT_EQ(text(2, kColumnOutput), a->outputPath.c_str());
    EXPECT_EQ(b->outputFormat, 9);
    EXPECT_EQ(text(1, kColumnFormat), "flv-Flash");
    EXPECT_EQ(c->outputFormat, 12); // unchecked, still selected
    EXPECT_EQ(text(0, kColumnOutput), "/out/c.avi-wmv.wmv");
}

TEST_F(TaskListModelTest, FollowingTheFolderHandsOutOneTaskAtATime)
{
    model.setOutputsFollowFolder(true);
    ConversionTask* a = add("/in/a.avi"); // row 2
    ConversionTask* b = add("/in/b.avi"); // row 1
    ConversionTask* c = add("/in/c.avi"); // row 0
    model.setAllChecks(true);
    ASSERT_TRUE(model.start());
    EXPECT_EQ(queue.queued, (std::vector<ConversionTask*>{c}));
    EXPECT_EQ(queue.ends, 0);
    EXPECT_EQ(text(1, kColumnState), "排队");
    // The folder changes during the run: the queued rows follow it, the
    // running one writes where it began.
    settings::current().setOutputFolder("/elsewhere");
    model.refreshPlannedOutputs();
    EXPECT_EQ(text(0, kColumnOutput), "/out/c.avi-flv.flv");
    EXPECT_EQ(text(1, kColumnOutput), "/elsewhere/b.avi-flv.flv");
    notify(core::NOTIFY_DONE, 0, c);
    EXPECT_EQ(queue.queued, (std::vector<ConversionTask*>{c, b}));
    EXPECT_EQ(std::string(b->outputPath.c_str()), "/elsewhere/b.avi-flv.flv");
    // A done row keeps the path of the file it wrote.
    model.refreshPlannedOutputs();
    EXPECT_EQ(text(0, kColumnOutput), "/out/c.avi-flv.flv");
    // A stop: the rows not handed out are not done, and the run ends.
    model.stop();
    notify(core::NOTIFY_STOPPED, 0, b);
    EXPECT_EQ(queue.queued.size(), 2u);
    EXPECT_EQ(queue.ends, 1);
    EXPECT_EQ(a->state, kStateNotDone);
    EXPECT_EQ(text(2, kColumnState), "未完成");
    settings::current().setOutputFolder("/out");
}

TEST_F(TaskListModelTest, ARerunNeverReplacesTheFileOfTheLastRun)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qf-rerun-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    settings::current().setOutputFolder(dir.string().c_str());
    const std::string plain = dir.string() + "/clip.avi-flv";
    auto touch = [](const std::string& path) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    };

    ConversionTask* t = add("/in/clip.avi");
    model.setChecked(0, true);
    ASSERT_TRUE(model.start());
    EXPECT_EQ(std::string(t->outputPath.c_str()), plain + ".flv");
    touch(plain + ".flv");
    notify(core::NOTIFY_DONE, 0, t);
    queue.busy = false;

    for (const char* expected : {" (2).flv", " (3).flv"}) {
        ASSERT_TRUE(model.start());
        EXPECT_EQ(std::string(t->outputPath.c_str()), plain + expected);
        EXPECT_EQ(text(0, kColumnOutput), plain + expected);
        touch(t->outputPath.c_str());
        notify(core::NOTIFY_DONE, 0, t);
        queue.busy = false;
    }
    // Once the old results are gone, the plain name is free again.
    std::filesystem::remove(plain + ".flv");
    ASSERT_TRUE(model.start());
    EXPECT_EQ(std::string(t->outputPath.c_str()), plain + ".flv");
    std::filesystem::remove_all(dir);
}

TEST_F(TaskListModelTest, TwoPassProgressRunsOnceAndAStopShowsNothingDone)
{
    ConversionTask* t = add("/in/a.avi");
    model.setChecked(0, true);
    ASSERT_TRUE(model.start());
    auto line = [&](const char* percent) {
        t->lineBuffer = (std::string("Pos:   1.0s   25f (") + percent + ") 25fps").c_str();
        notify(core::NOTIFY_PROGRESS_LINE, 0, t);
        return text(0, kColumnProgress);
    };
    std::vector<int> shown;
    auto record = [&](const std::string& s) { shown.push_back(std::stoi(s)); };
    notify(core::NOTIFY_STATE_CHANGED, kStateFirstPass, t);
    for (const char* p : {" 0%", "10%", "96%", "99%"})
        record(line(p));
    notify(core::NOTIFY_STATE_CHANGED, kStateSecondPass, t);
    record(text(0, kColumnProgress));
    for (const char* p : {" 0%", " 2%", "50%", "100%"})
        record(line(p));
    notify(core::NOTIFY_STATE_CHANGED, kStateMuxing, t);
    record(text(0, kColumnProgress));
    EXPECT_EQ(shown, (std::vector<int>{0, 5, 48, 49, 50, 50, 51, 75, 100, 100}));
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));

    // A single pass shows the encoder's figure; a stop shows 0%.
    queue.busy = false;
    notify(core::NOTIFY_DONE, 0, t);
    ASSERT_TRUE(model.start());
    notify(core::NOTIFY_STATE_CHANGED, kStateConverting, t);
    EXPECT_EQ(line(" 6%"), "6%");
    notify(core::NOTIFY_STOPPED, 0, t);
    EXPECT_EQ(text(0, kColumnState), "未完成");
    EXPECT_EQ(text(0, kColumnProgress), "0%");
}

} // namespace
} // namespace qf::tasks
