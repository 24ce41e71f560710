#include "ui/player/playlist_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "core/messages.h"
#include "core/readable_text.h"
#include "settings/settings.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_shell.h"
#include "ui/shell/shared_menu.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr int kTextMargin = 4;

class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const bool selected = index.data(PlaylistItemModel::SelectedRole).toBool();
        const bool current = index.data(PlaylistItemModel::CurrentRole).toBool();
        const QRect r = option.rect;
        p->save();
        if (selected) {
            p->fillRect(r, PlaylistView::selectedFill());
            p->setPen(PlaylistView::selectedFrame());
            p->setBrush(Qt::NoBrush);
            p->drawRect(r.adjusted(0, 0, -1, -1));
        } else {
            p->fillRect(r, current ? PlaylistView::currentFill() : skin::skinColor());
        }
        p->setPen(current && selected ? PlaylistView::currentTextOnSelection()
                      : current       ? PlaylistView::currentText()
                      : selected      ? PlaylistView::selectedText()
                                      : QColor(Qt::white));
        p->setFont(skin::smallFont());
        p->drawText(r.adjusted(kTextMargin, 0, -kTextMargin, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
        p->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width(), PlaylistView::kRowHeight);
    }
};

} // namespace

PlaylistItemModel::PlaylistItemModel(player::PlaylistModel& model, QObject* parent)
    : QAbstractListModel(parent), model_(model)
{
    model_.setListener(this);
}

PlaylistItemModel::~PlaylistItemModel() { model_.setListener(nullptr); }

int PlaylistItemModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : model_.rowCount(); }

QVariant PlaylistItemModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    if (!index.isValid() || row >= model_.rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return toQ(core::printableText(model_.shownName(row)));
    case CurrentRole: return model_.isCurrentRow(row);
    case SelectedRole: return model_.isSelected(row);
    default: return {};
    }
}

void PlaylistItemModel::rowChanged(int row)
{
    if (row >= 0 && row < model_.rowCount())
        Q_EMIT dataChanged(index(row), index(row));
}

void PlaylistItemModel::rowVisible(int row) { Q_EMIT scrollToRow(row); }

void PlaylistItemModel::rowsChanged()
{
    beginResetModel();
    endResetModel();
    Q_EMIT rowsReset();
}

PlaylistView::PlaylistView(player::PlaylistModel& model, QWidget* playerWindow, Command command)
    : QListView(playerWindow), items_(new PlaylistItemModel(model, this)), playerWindow_(playerWindow),
      command_(std::move(command))
{
    setObjectName(QStringLiteral("playlist"));
    setModel(items_);
    setItemDelegate(new RowDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformItemSizes(true);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFont(skin::smallFont());
    // Below the last row (and an empty list) shows the skin.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, skin::skinColor());
    pal.setColor(QPalette::Window, skin::skinColor());
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
    connect(items_, &PlaylistItemModel::scrollToRow, this, [this](int row) { scrollTo(items_->index(row)); });
    connect(items_, &PlaylistItemModel::rowsReset, this, [this] { restoreSelection(); });
}

PlaylistView::~PlaylistView() = default;

void PlaylistView::tickMenu()
{
    if (QAction* a = sharedMenuAction(SharedPopup::PlayList, kMenuAutoPlay))
        a->setChecked(settings::current().autoPlay());
    if (QAction* a = sharedMenuAction(SharedPopup::PlayList, kMenuLoopPlay))
        a->setChecked(settings::current().loopPlay());
}

void PlaylistView::menuCommand(int id)
{
    switch (id) {
    case kMenuListAdd:
        if (command_) {
            QPointer<PlaylistView> self(this);
            QMetaObject::invokeMethod(
                this,
                [self] {
                    if (self && self->command_)
                        self->command_(1018);
                },
                Qt::QueuedConnection);
        }
        break;
    case kMenuListPlay: postPlay(playlist().selectedEntry()); break;
    case kMenuListDelete: playlist().deleteSelected(); break;
    case kMenuListClear: playlist().clear(); break;
    case kMenuAutoPlay: settings::current().setAutoPlay(!settings::current().autoPlay()); break;
    case kMenuLoopPlay: settings::current().setLoopPlay(!settings::current().loopPlay()); break;
    default: break;
    }
}

void PlaylistView::selectRows(const QList<int>& rows)
{
    selectionModel()->clearSelection();
    for (int row : rows)
        selectionModel()->select(items_->index(row), QItemSelectionModel::Select);
    if (!rows.isEmpty())
        selectionModel()->setCurrentIndex(items_->index(rows.back()), QItemSelectionModel::NoUpdate);
}

void PlaylistView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid())
        postPlay(playlist().entryAt(hit.row()));
}

void PlaylistView::contextMenuEvent(QContextMenuEvent* event)
{
    tickMenu();
    QAction* chosen = sharedPopup(SharedPopup::PlayList)->exec(event->globalPos());
    if (chosen)
        menuCommand(menuCommandOf(chosen));
}

void PlaylistView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (syncing_)
        return;
    for (const QModelIndex& i : deselected.indexes())
        playlist().setSelected(i.row(), false);
    for (const QModelIndex& i : selected.indexes()) {
        playlist().setSelected(i.row(), true);
        playlist().setSelectionMark(i.row());
    }
    const QModelIndex focus = currentIndex();
    if (focus.isValid() && playlist().isSelected(focus.row()))
        playlist().setSelectionMark(focus.row());
}

void PlaylistView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (!syncing_ && current.isValid() && playlist().isSelected(current.row()))
        playlist().setSelectionMark(current.row());
}

void PlaylistView::restoreSelection()
{
    // A reset clears the view's selection; the model's is the one that counts.
    syncing_ = true;
    for (int row = 0; row < playlist().rowCount(); ++row)
        if (playlist().isSelected(row))
            selectionModel()->select(items_->index(row), QItemSelectionModel::Select);
    syncing_ = false;
}

void PlaylistView::postPlay(player::PlaylistEntry* entry)
{
    postMessage(playerWindow_, core::WM_PLAYER_NOTIFY, core::PLAYER_PLAY_ENTRY, reinterpret_cast<intptr_t>(entry));
}

} // namespace qf::ui
