#include "ui/convert/task_item_model.h"

#include "ui/convert/task_row_painter.h"
#include "ui/shell/qt_shell.h"

namespace qf::ui {

TaskItemModel::TaskItemModel(tasks::TaskListModel& tasks, QObject* parent)
    : QAbstractTableModel(parent), tasks_(&tasks), shownRows_(tasks.rowCount())
{
    tasks_->setObserver(this);
}

TaskItemModel::~TaskItemModel() { detach(); }

void TaskItemModel::detach()
{
    if (!tasks_)
        return;
    tasks_->setObserver(nullptr);
    beginResetModel();
    tasks_ = nullptr;
    shownRows_ = 0;
    endResetModel();
}

QString TaskItemModel::headerText(int column)
{
    static const char* const kTexts[tasks::kColumnCount] = {"", "编码", "状态", "耗时", "进度", "资源", "输出"};
    return column >= 0 && column < tasks::kColumnCount ? toQ(kTexts[column]) : QString();
}

int TaskItemModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int TaskItemModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : tasks::kColumnCount; }

QVariant TaskItemModel::data(const QModelIndex& index, int role) const
{
    if (!tasks_ || !index.isValid() || index.row() >= tasks_->rowCount() || index.column() >= tasks::kColumnCount)
        return QVariant();
    const tasks::TaskRow& row = tasks_->row(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        if (index.column() == tasks::kColumnCheck)
            return QVariant();
        return toQ(row.text[static_cast<size_t>(index.column())]);
    case Qt::CheckStateRole:
        if (index.column() == tasks::kColumnCheck)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    case Qt::TextAlignmentRole: return QVariant::fromValue(tasklist::cellAlignment(index.column()) | Qt::AlignVCenter);
    default: return QVariant();
    }
}

QVariant TaskItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole)
        return headerText(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section == tasks::kColumnCheck ? Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter)
                                                                  : Qt::Alignment(Qt::AlignCenter));
    return QVariant();
}

void TaskItemModel::rowInserted(int row)
{
    beginInsertRows(QModelIndex(), row, row);
    ++shownRows_;
    endInsertRows();
    emit rowsChanged();
}

void TaskItemModel::rowRemoved(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    --shownRows_;
    endRemoveRows();
    emit rowsChanged();
}

void TaskItemModel::cellChanged(int row, int column)
{
    if (row < 0 || row >= shownRows_)
        return;
    // A check-box change repaints the whole row: the box is part of its fill.
    const QModelIndex first = index(row, column == tasks::kColumnCheck ? 0 : column);
    const QModelIndex last = index(row, column == tasks::kColumnCheck ? tasks::kColumnCount - 1 : column);
    emit dataChanged(first, last);
}

void TaskItemModel::headerCheckChanged(bool checked) { emit headerCheckStateChanged(checked); }

void TaskItemModel::columnWidthsChanged() { emit columnWidthsReset(); }

} // namespace qf::ui
