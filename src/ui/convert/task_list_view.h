#pragma once
// TaskListView: the task list of the main window. It owns the tasks (through
// its tasks::TaskListModel), the conversion worker with its thread, and a
// media prober; it renders the model row by row in the skin's colours and
// forwards the user's clicks, keys and selection changes to it. The worker's
// notifications arrive through a QtNotificationSink and are handed to the
// model, which tells the view which cells to repaint.
//
// The main window is reached through `hub`, the receiver of WM_MAIN_REQUEST:
// REQ_GET_SETTINGS is sent and answers a `const convert::ConversionSettings*`
// (0 = none), REQ_LOAD_SETTINGS is sent with the ConversionTask* as lParam,
// REQ_ALL_DONE is posted. The view accepts no drops itself: the main window
// accepts them and passes the paths to addFiles().
//
// UI thread only. The media-information library must be loaded before a
// file is added.

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QTreeView>

#include <map>
#include <memory>

#include "ui/convert/file_prober.h"

#include "tasks/conversion_worker.h"
#include "tasks/task_list_model.h"

namespace qf::ui {

class QtNotificationSink;
class SkinHeader;
class TaskItemModel;

class TaskListView : public QTreeView {
    Q_OBJECT
public:
    // The worker takes the process-wide tool paths and program directory.
    explicit TaskListView(QObject* hub, QWidget* parent = nullptr);
    TaskListView(QObject* hub, tasks::ConversionWorker::Environment environment, QWidget* parent = nullptr);
    // Requests a stop, shuts the sink down, ends the worker's thread, closes
    // its program, then destroys the tasks from the last row to the first.
    ~TaskListView() override;

    // Hides QAbstractItemView::model(); that one is the Qt adapter.
    tasks::TaskListModel& model() { return *model_; }
    tasks::ConversionWorker& worker() { return *worker_; }
    TaskItemModel* itemModel() const { return items_; }

    // Adds every path that names an existing file, and every media file
    // under a folder (its subfolders included; each task remembers the
    // subfolder it came from below that folder); missing paths are skipped.
    // The files are probed on a thread of their own: rows appear as they
    // are probed, in the order given (a folder's files in name order), and
    // the window answers meanwhile. The files the probe refuses are named
    // together in one message box at the end, those found in folders only
    // counted there.
    void addFiles(const QStringList& paths);
    // Files given to addFiles are still being probed or added.
    bool addingFiles() const;
    // The box's last line for the files of folders the probe refused.
    static QString skippedInFoldersText(int count);
    // The text of that box: "不能识别的文件类型。" and one refused path a line,
    // cut with "…" after kRefusedPathsShown paths.
    static QString refusalText(const QStringList& refusedPaths);
    static constexpr int kRefusedPathsShown = 20;

    bool start(); // queues the checked rows; false when nothing was queued
    void stop();
    // Removes the checked rows; the rows a run holds stay, and a box says why.
    void deleteChecked();
    static const char* const kKeptRowsText;
    void refreshSelected(int32_t format);
    // An edit in the parameter panel: it reaches the selected rows.
    void applyEdit(const tasks::SettingsEdit& edit);
    // The output folder or the keep-tree option changed: the rows that have
    // not started show the path they will write now.
    void refreshOutputs();
    bool isConverting() const { return worker_->isBusy(); }

    // A row's 13 x 13 check box, in viewport coordinates.
    QRect checkBoxRect(int row) const;
    // A row's band (kRowHeight high) across the columns, in viewport coordinates.
    QRect rowRect(int row) const;
    SkinHeader* skinHeader() const { return header_; }

    // The right-click tip text: the task's media summary text, then the
    // reason of its last failure, if any.
    static QString tipText(const tasks::ConversionTask& task);
    // The hover tip of a row: the whole state text (the column is narrow),
    // the reason of a failure, and the output path.
    static QString hoverText(const tasks::ConversionTask& task);
    // The row whose hover tip is shown, or -1.
    int hoveredRow() const { return hoveredRow_; }
    // Shows a finished row's output selected in the file manager; false for
    // a row that has not finished.
    bool revealOutput(int row);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    class Host;
    class FirstRowStrip;
    friend class FirstRowStrip;

    void setUp();
    // The centre of the header's first item, in viewport coordinates.
    QPoint headerItemCentre() const;
    // The row whose check-box column holds the point, searched from the last
    // row upward; -1 when none.
    int checkColumnRowAt(QPoint point) const;
    bool toggleCheckAt(QPoint point);
    void showTipAt(QPoint point);
    void hoverAt(QPoint point);
    void endHover();
    // The row whose band holds the point, or -1.
    int rowAt(QPoint point) const;
    // Qt reports a click as a selection change and a current change apart;
    // the model must see the row's state once both have happened.
    void scheduleSelectionSync();
    void syncSelection();
    void applyColumnWidths();

    // One addFiles call while its files are probed: where its next row goes
    // while idle, and what the probe refused.
    struct AddJob {
        int position = 0;
        QStringList refused;
        QStringList missing; // the refused files that are not there at all
        int refusedInFolders = 0;
    };
    void fileProbed(int job, const FileProber::Result& result);
    void addingFinished(int job);

    QPointer<QObject> hub_;
    std::unique_ptr<Host> host_;
    tasks::LibraryMediaProber prober_;
    std::unique_ptr<tasks::ConversionWorker> worker_;
    std::unique_ptr<tasks::TaskListModel> model_;
    std::unique_ptr<QtNotificationSink> sink_;
    TaskItemModel* items_ = nullptr; // child object
    SkinHeader* header_ = nullptr; // child widget
    FirstRowStrip* strip_ = nullptr; // child widget between the header and the rows
    QTimer tick_;
    // The hover tip is placed under this invisible stand-in for the row.
    QWidget* hoverAnchor_ = nullptr;
    int hoveredRow_ = -1;

    bool syncScheduled_ = false;
    bool syncing_ = false;
    bool applyingWidths_ = false;
    bool inGeometry_ = false;
    FileProber* fileProber_ = nullptr; // child object
    std::map<int, AddJob> addJobs_;
};

} // namespace qf::ui
