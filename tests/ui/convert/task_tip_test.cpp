// The right-click tip of a row: the media summary, then the reason of the
// task's last failure, which is read only while the worker does not hold the task.
#include <gtest/gtest.h>

#include "tasks/conversion_task.h"
#include "ui/convert/task_list_view.h"

using qf::ui::TaskListView;

TEST(TaskTip, SummaryThenTheFailureReasonOfAnIdleTask)
{
    qf::tasks::ConversionTask task;
    task.media.format = "AVI";
    task.media.extensions = "avi";
    task.media.hasVideo = true;
    task.media.videoFormat = "MPEG-4 Visual";
    task.media.hasAudio = false;

    const QString summary = TaskListView::tipText(task);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("源文件格式:AVI\r\n标准扩展名:avi"))) << summary.toStdString();
    EXPECT_TRUE(summary.endsWith(QStringLiteral("\r\n无音频")));

    task.state = qf::tasks::kStateUnreadable;
    task.failureReason = "the source has no audio stream";
    EXPECT_EQ(TaskListView::tipText(task), summary + QStringLiteral("\r\n\r\n失败原因:the source has no audio stream"));

    // Queued again: the worker may rewrite the reason, so the tip leaves it out.
    task.state = qf::tasks::kStateQueued;
    EXPECT_EQ(TaskListView::tipText(task), summary);
    task.state = qf::tasks::kStateDone;
    task.failureReason = "";
    EXPECT_EQ(TaskListView::tipText(task), summary);
}

TEST(TaskTip, AFinishedTasksWarningFollowsTheSummary)
{
    qf::tasks::ConversionTask task;
    task.media.format = "AVI";
    const QString summary = TaskListView::tipText(task);
    task.state = qf::tasks::kStateDone;
    task.warning = "源文件可能已损坏:只转换了 00:00:05 / 00:00:11";
    EXPECT_EQ(TaskListView::tipText(task),
              summary + QStringLiteral("\r\n\r\n源文件可能已损坏:只转换了 00:00:05 / 00:00:11"));
    task.state = qf::tasks::kStateConverting;
    EXPECT_EQ(TaskListView::tipText(task), summary);
}
