#include "ui/convert/task_list_view.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "core/file_system.h"
#include "core/messages.h"
#include "probe/media_summary.h"
#include "settings/settings.h"
#include "ui/controls/skin_header.h"
#include "ui/convert/task_item_model.h"
#include "ui/convert/task_row_painter.h"
#include "ui/notify/confirm_box.h"
#include "ui/notify/floating_tip.h"
#include "ui/shell/file_manager.h"
#include "ui/shell/local_path.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_notification_sink.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

using tasklist::kRowHeight;

const char* const TaskListView::kKeptRowsText = "正在转换或排队的任务不能删除,请先停止转换。";

namespace {

// Every row is kRowHeight high, whatever the font.
class RowHeightDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), kRowHeight);
    }
};

// The strip between the header and the rows that carries the line above the
// first row.
constexpr int kStripHeight = tasklist::kFirstRowLineGap + 1;

} // namespace

// The main window's side of the task list model, through the hub.
class TaskListView::Host final : public tasks::TaskListHost {
public:
    explicit Host(TaskListView& view) : view_(view) {}

    const convert::ConversionSettings* currentSettings() override
    {
        const intptr_t answer = sendMessage(view_.hub_, core::WM_MAIN_REQUEST, core::REQ_GET_SETTINGS, 0);
        return reinterpret_cast<const convert::ConversionSettings*>(answer);
    }
    void loadSettings(const tasks::ConversionTask& task) override
    {
        sendMessage(view_.hub_, core::WM_MAIN_REQUEST, core::REQ_LOAD_SETTINGS, reinterpret_cast<intptr_t>(&task));
    }
    void allDone() override { postMessage(view_.hub_, core::WM_MAIN_REQUEST, core::REQ_ALL_DONE, 0); }
    void showMessage(const char* text) override { ConfirmBox::ask(&view_, toQ(text), 1); }

private:
    TaskListView& view_;
};

// Background, and the 255,255,0 line two pixels above the first row while
// that row is scrolled into view.
class TaskListView::FirstRowStrip final : public QWidget {
public:
    explicit FirstRowStrip(TaskListView& view) : QWidget(&view), view_(view) { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), skin::colorRef(tasklist::kBackgroundColour));
        if (view_.model_->rowCount() == 0 || view_.verticalScrollBar()->value() != 0)
            return;
        const QHeaderView* header = view_.header();
        const int left = header->sectionViewportPosition(0);
        p.fillRect(QRect(left, height() - tasklist::kFirstRowLineGap, header->length(), 1),
                   skin::colorRef(tasklist::kFirstRowLineColour));
    }

private:
    TaskListView& view_;
};

TaskListView::TaskListView(QObject* hub, QWidget* parent)
    : QTreeView(parent), hub_(hub), host_(std::make_unique<Host>(*this)),
      worker_(std::make_unique<tasks::ConversionWorker>())
{
    setUp();
}

TaskListView::TaskListView(QObject* hub, tasks::ConversionWorker::Environment environment, QWidget* parent)
    : QTreeView(parent), hub_(hub), host_(std::make_unique<Host>(*this)),
      worker_(std::make_unique<tasks::ConversionWorker>(std::move(environment)))
{
    setUp();
}

void TaskListView::setUp()
{
    model_ = std::make_unique<tasks::TaskListModel>(*host_, prober_, *worker_);
    model_->setOutputsFollowFolder(true);
    sink_ = std::make_unique<QtNotificationSink>(
        [this](const core::Message& message) { return model_ ? model_->handleMessage(message) : 0; });

    setAccessibleName(QStringLiteral("任务列表"));
    setFont(skin::smallFont());
    setFrameShape(QFrame::NoFrame);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowHeightDelegate(this));
    QPalette colours = palette();
    colours.setColor(QPalette::Base, skin::colorRef(tasklist::kBackgroundColour));
    colours.setColor(QPalette::Window, skin::colorRef(tasklist::kBackgroundColour));
    setPalette(colours);
    viewport()->setAutoFillBackground(true);

    header_ = new SkinHeader(this);
    header_->setStretchLastSection(false);
    header_->setSectionsMovable(false);
    header_->setCheckAllAction([this](bool on) { model_->setAllChecks(on); });
    setHeader(header_);
    strip_ = new FirstRowStrip(*this);
    hoverAnchor_ = new QWidget(viewport());
    hoverAnchor_->hide();
    viewport()->setMouseTracking(true);

    items_ = new TaskItemModel(*model_, this);
    setModel(items_);
    for (int column = 0; column < tasks::kColumnCount; ++column)
        header_->resizeSection(column, model_->columnWidth(column));

    connect(items_, &TaskItemModel::headerCheckStateChanged, header_, &SkinHeader::setCheckAll);
    connect(items_, &TaskItemModel::columnWidthsReset, this, &TaskListView::applyColumnWidths);
    connect(items_, &TaskItemModel::rowsChanged, strip_, qOverload<>(&QWidget::update));
    connect(header_, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!applyingWidths_ && column >= 0 && column < tasks::kColumnCount)
            model_->setColumnWidth(column, width);
        strip_->update();
    });

    fileProber_ = new FileProber([this](int job, const FileProber::Result& result) { fileProbed(job, result); },
                                 [this](int job) { addingFinished(job); }, this);

    worker_->startThread(*sink_);
    tick_.setInterval(tasks::ConversionWorker::kTickIntervalMs);
    connect(&tick_, &QTimer::timeout, this, [this] { worker_->onTimer(); });
    tick_.start();
}

TaskListView::~TaskListView()
{
    // The probing thread ends before the rows it adds to go.
    delete fileProber_;
    fileProber_ = nullptr;
    tick_.stop();
    worker_->requestStop();
    // A worker waiting in a send is released before the join.
    sink_->shutdown();
    worker_->endThread();
    worker_->close();
    items_->detach();
    model_.reset();
}

QPoint TaskListView::headerItemCentre() const
{
    const int left = header_->sectionViewportPosition(0);
    return QPoint(left + header_->sectionSize(0) / 2, header_->height() / 2);
}

QRect TaskListView::rowRect(int row) const
{
    if (row < 0 || row >= items_->rowCount())
        return QRect();
    const QRect cell = visualRect(items_->index(row, 0));
    return QRect(header_->sectionViewportPosition(0), cell.top(), header_->length(), kRowHeight);
}

QRect TaskListView::checkBoxRect(int row) const
{
    const QRect band = rowRect(row);
    if (band.isNull())
        return QRect();
    const QPoint centre = headerItemCentre();
    return tasklist::rowCheckBoxRect(band.top(), centre.x(), centre.y());
}

void TaskListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int row = index.row();
    if (!model_ || row < 0 || row >= model_->rowCount())
        return;
    const tasks::TaskRow& entry = model_->row(row);
    const int top = option.rect.top();
    painter->fillRect(QRect(0, top, viewport()->width(), kRowHeight), skin::colorRef(tasklist::kBackgroundColour));

    tasklist::TaskRowLook look;
    look.row = QRect(header_->sectionViewportPosition(0), top, header_->length(), kRowHeight);
    const QPoint centre = headerItemCentre();
    look.checkBox = tasklist::rowCheckBoxRect(top, centre.x(), centre.y());
    for (int column = 1; column < tasks::kColumnCount; ++column) {
        const auto c = static_cast<size_t>(column);
        look.cells[c] = QRect(header_->sectionViewportPosition(column), top, header_->sectionSize(column), kRowHeight);
        look.texts[c] = toQ(entry.text[c]);
    }
    look.selected = selectionModel() && selectionModel()->isRowSelected(row, QModelIndex());
    look.checked = entry.checked;
    tasklist::paintTaskRow(*painter, look, skin::smallFont());
    // The keyboard's place in the list.
    if (hasFocus() && currentIndex().isValid() && currentIndex().row() == row) {
        painter->save();
        painter->setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(look.row.adjusted(1, 1, -2, -3));
        painter->restore();
    }
}

void TaskListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    // Without a current row the keyboard's place is the list itself.
    if (!hasFocus() || (currentIndex().isValid() && currentIndex().row() < model_->rowCount()))
        return;
    QPainter p(viewport());
    p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
    p.drawRect(viewport()->rect().adjusted(1, 1, -2, -2));
}

int TaskListView::checkColumnRowAt(QPoint point) const
{
    const int left = header_->sectionViewportPosition(0);
    if (point.x() < left || point.x() >= left + header_->sectionSize(0))
        return -1;
    for (int row = model_->rowCount() - 1; row >= 0; --row)
        if (rowRect(row).contains(point))
            return row;
    return -1;
}

bool TaskListView::toggleCheckAt(QPoint point)
{
    if (model_->rowCount() == 0 || !tasklist::inCheckClickZone(point.x(), headerItemCentre().x()))
        return false;
    const int row = checkColumnRowAt(point);
    if (row < 0)
        return false;
    model_->setChecked(row, !model_->row(row).checked);
    return true;
}

void TaskListView::showTipAt(QPoint point)
{
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (selectionModel()->isRowSelected(row, QModelIndex()) && rowRect(row).contains(point)) {
            showInfoPopup(this, tipText(*model_->task(row)));
            return;
        }
    }
}

QString TaskListView::tipText(const tasks::ConversionTask& task)
{
    QString text = toQ(probe::formatMediaSummaryText(task.media));
    // The worker writes the reason only while it holds the task (an active
    // state), so it is read here only when the task is not active.
    if (!tasks::isActiveState(task.state) && !task.failureReason.empty())
        text += toQ("\r\n\r\n失败原因:") + toQ(task.failureReason);
    if (!tasks::isActiveState(task.state) && !task.warning.empty())
        text += toQ("\r\n\r\n") + toQ(task.warning);
    return text;
}

QString TaskListView::hoverText(const tasks::ConversionTask& task)
{
    QString text = toQ("状态:") + toQ(tasks::taskStateText(task.state));
    if (!tasks::isActiveState(task.state) && !task.failureReason.empty())
        text += toQ("\n失败原因:") + toQ(task.failureReason);
    if (!tasks::isActiveState(task.state) && !task.warning.empty())
        text += toQ("\n") + toQ(task.warning);
    text += toQ("\n输出:") + toQ(task.outputPath);
    // Reasons carry the tool's own line after a CR LF.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

int TaskListView::rowAt(QPoint point) const
{
    for (int row = 0; row < model_->rowCount(); ++row)
        if (rowRect(row).contains(point))
            return row;
    return -1;
}

void TaskListView::hoverAt(QPoint point)
{
    const int row = rowAt(point);
    if (row != hoveredRow_) {
        endHover();
        if (row < 0)
            return;
        hoveredRow_ = row;
        hoverAnchor_->setGeometry(rowRect(row));
        showHoverTip(hoverAnchor_, hoverText(*model_->task(row)), false, true);
    }
    // Below the row, the tip would hide the next one wherever the pointer
    // is; it follows the pointer instead.
    moveHoverTipBelow(viewport()->mapToGlobal(point));
}

void TaskListView::endHover()
{
    if (hoveredRow_ < 0)
        return;
    hoveredRow_ = -1;
    hideHoverTip();
}

void TaskListView::leaveEvent(QEvent* event)
{
    // A quick move down can put the pointer on the tip below it, which the
    // window system reports as leaving the list: the tip then moves on
    // below the pointer, and only a pointer off the rows ends it.
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(at))
        hoverAt(at);
    else
        endHover();
    QTreeView::leaveEvent(event);
}

void TaskListView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void TaskListView::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

bool TaskListView::revealOutput(int row)
{
    if (row < 0 || row >= model_->rowCount() || model_->task(row)->state != tasks::kStateDone)
        return false;
    revealFile(this, pathToQ(model_->task(row)->outputPath.view()));
    return true;
}

void TaskListView::mousePressEvent(QMouseEvent* event)
{
    endHover();
    syncSelection();
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        toggleCheckAt(at);
    QTreeView::mousePressEvent(event);
    syncSelection();
    if (event->button() == Qt::RightButton)
        showTipAt(at);
}

void TaskListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a quick double click on a box toggles it again, as
    // a second single click would.
    const QPoint at = event->position().toPoint();
    const bool onBox = event->button() == Qt::LeftButton && toggleCheckAt(at);
    QTreeView::mouseDoubleClickEvent(event);
    syncSelection();
    if (!onBox && event->button() == Qt::LeftButton)
        revealOutput(rowAt(at));
}

void TaskListView::mouseMoveEvent(QMouseEvent* event)
{
    QTreeView::mouseMoveEvent(event);
    syncSelection();
    if (event->buttons() == Qt::NoButton)
        hoverAt(event->position().toPoint());
}

void TaskListView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    syncSelection();
}

void TaskListView::keyPressEvent(QKeyEvent* event)
{
    // Space toggles the focused row's box, as a check-box list has always done.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && currentIndex().isValid()) {
        const int row = currentIndex().row();
        model_->setChecked(row, !model_->row(row).checked);
    }
    // Delete is the delete command: the checked rows, by the same rules.
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        deleteChecked();
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        revealOutput(currentIndex().row());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
    syncSelection();
}

void TaskListView::updateGeometries()
{
    // QTreeView puts the rows right under the header; the strip for the line
    // above the first row goes in between. Resizes caused by the margins
    // come back here and are ignored.
    if (inGeometry_)
        return;
    inGeometry_ = true;
    QTreeView::updateGeometries();
    if (header_ && strip_) {
        // The height QTreeView gives its header.
        const int headerHeight = header_->isHidden()
            ? 0
            : std::min(std::max(header_->minimumHeight(), header_->sizeHint().height()), header_->maximumHeight());
        setViewportMargins(0, headerHeight + kStripHeight, 0, 0);
        const QRect vg = viewport()->geometry();
        header_->setGeometry(vg.left(), vg.top() - kStripHeight - headerHeight, vg.width(), headerHeight);
        strip_->setGeometry(vg.left(), vg.top() - kStripHeight, vg.width(), kStripHeight);
        strip_->raise();
        strip_->update();
    }
    inGeometry_ = false;
}

void TaskListView::scrollContentsBy(int dx, int dy)
{
    QTreeView::scrollContentsBy(dx, dy);
    strip_->update();
}

void TaskListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    scheduleSelectionSync();
}

void TaskListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    scheduleSelectionSync();
}

void TaskListView::scheduleSelectionSync()
{
    if (syncScheduled_)
        return;
    syncScheduled_ = true;
    QMetaObject::invokeMethod(
        this, [this] { syncSelection(); }, Qt::QueuedConnection);
}

void TaskListView::syncSelection()
{
    syncScheduled_ = false;
    // The main window answers REQ_LOAD_SETTINGS by loading the panel, which
    // may come back here through refreshSelected.
    if (syncing_ || !model_ || !selectionModel())
        return;
    syncing_ = true;
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int rows = std::min(model_->rowCount(), items_->rowCount());
    // Losses first: the panel's settings go to the row that was selected
    // before the newly selected row loads its own into the panel.
    for (const bool gains : {false, true}) {
        for (int row = 0; row < rows; ++row) {
            const bool selected = selectionModel()->isRowSelected(row, QModelIndex());
            const bool focused = row == current;
            const tasks::TaskRow& entry = model_->row(row);
            if (selected != gains || (entry.selected == selected && entry.focused == focused))
                continue;
            model_->setSelection(row, selected, focused);
        }
    }
    syncing_ = false;
}

void TaskListView::applyColumnWidths()
{
    applyingWidths_ = true;
    for (int column = tasks::kColumnFormat; column < tasks::kColumnCount; ++column)
        header_->resizeSection(column, model_->columnWidth(column));
    applyingWidths_ = false;
}

QString TaskListView::refusalText(const QStringList& refusedPaths)
{
    QString text = toQ(tasks::kUnrecognisedFileText);
    const int shown = std::min<int>(static_cast<int>(refusedPaths.size()), kRefusedPathsShown);
    for (int i = 0; i < shown; ++i)
        text += QStringLiteral("\r\n") + refusedPaths.at(i);
    if (refusedPaths.size() > shown)
        text += QStringLiteral("\r\n…");
    return text;
}

QString TaskListView::skippedInFoldersText(int count)
{
    return QStringLiteral("文件夹中有 %1 个文件不能识别,已跳过。").arg(count);
}

void TaskListView::addFiles(const QStringList& paths)
{
    syncSelection();
    addJobs_[fileProber_->add(paths)] = AddJob();
}

bool TaskListView::addingFiles() const { return fileProber_->busy(); }

void TaskListView::fileProbed(int job, const FileProber::Result& result)
{
    AddJob& state = addJobs_[job];
    if (!result.recognised) {
        if (result.file.inFolder)
            ++state.refusedInFolders;
        else
            (result.missing ? state.missing : state.refused).append(result.file.shown);
        return;
    }
    // While idle the rows of one addition go on top, in its order.
    if (model_->addProbedFile(result.file.path.c_str(), result.facts, result.file.subfolder.c_str(), state.position))
        ++state.position;
}

void TaskListView::addingFinished(int job)
{
    const AddJob state = addJobs_[job];
    addJobs_.erase(job);
    if (state.refused.isEmpty() && state.missing.isEmpty() && state.refusedInFolders == 0)
        return;
    QString text;
    if (!state.refused.isEmpty() || state.missing.isEmpty())
        text = state.refused.isEmpty() ? toQ(tasks::kUnrecognisedFileText) : refusalText(state.refused);
    if (!state.missing.isEmpty()) {
        // Missing files are not of an unknown type: they get their own sentence.
        QString gone = refusalText(state.missing);
        gone.replace(0, static_cast<int>(toQ(tasks::kUnrecognisedFileText).size()), toQ(probe::kMissingFileText));
        text += (text.isEmpty() ? QString() : QStringLiteral("\r\n")) + gone;
    }
    if (state.refusedInFolders > 0)
        text += QStringLiteral("\r\n") + skippedInFoldersText(state.refusedInFolders);
    ConfirmBox::ask(this, text, 1);
}

bool TaskListView::start()
{
    syncSelection();
    return model_->start();
}

void TaskListView::stop() { model_->stop(); }

void TaskListView::deleteChecked()
{
    endHover();
    syncSelection();
    const int kept = model_->deleteChecked();
    strip_->update();
    // A delete that leaves rows must say why, or it looks broken.
    if (kept > 0)
        ConfirmBox::ask(this, toQ(kKeptRowsText), 1);
}

void TaskListView::refreshSelected(int32_t format)
{
    syncSelection();
    model_->refreshSelected(format);
}

void TaskListView::applyEdit(const tasks::SettingsEdit& edit)
{
    syncSelection();
    model_->applyEdit(edit);
}

void TaskListView::refreshOutputs()
{
    endHover();
    model_->refreshPlannedOutputs();
}

} // namespace qf::ui
