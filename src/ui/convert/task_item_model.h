#pragma once
// TaskItemModel: the Qt item model over a tasks::TaskListModel, so that a
// QTreeView can show the task list with Qt's own scrolling and keyboard
// navigation. It holds no data of its own: every text and state is read from
// the task list model. It is that model's observer and turns each change into
// the matching Qt model signal.
//
// The task list model reports a change after it has made it, while Qt wants
// to hear of a row before it comes or goes; the row count shown to Qt is
// therefore kept separately and moved between the begin/end calls, and a row
// index past the real rows is answered with nothing.
//
// UI thread only.

#include <QAbstractTableModel>

#include "tasks/task_list_model.h"

namespace qf::ui {

class TaskItemModel final : public QAbstractTableModel, public tasks::TaskListObserver {
    Q_OBJECT
public:
    // The task list model is not owned and must outlive this object (or
    // detach() must be called first).
    explicit TaskItemModel(tasks::TaskListModel& tasks, QObject* parent = nullptr);
    ~TaskItemModel() override;

    // Stops observing the task list model; every later query answers nothing.
    void detach();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString headerText(int column);

signals:
    void headerCheckStateChanged(bool checked);
    void columnWidthsReset();
    // A row came or went: the geometry of the first row may have moved.
    void rowsChanged();

private:
    // TaskListObserver
    void rowInserted(int row) override;
    void rowRemoved(int row) override;
    void cellChanged(int row, int column) override;
    void headerCheckChanged(bool checked) override;
    void columnWidthsChanged() override;

    tasks::TaskListModel* tasks_;
    int shownRows_ = 0; // the row count Qt has been told of
};

} // namespace qf::ui
