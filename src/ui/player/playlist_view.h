#pragma once
// PlaylistView: the player window's list (control 1031). It draws the
// PlaylistModel as owner-drawn 16-pixel rows (the current row's text in
// orange on a dark band), keeps the model's selection in step with the user's, and turns
// double clicks and the PlayList pop-up menu into requests to the player
// window. A Qt item model adapts the engine model so that scrolling, the
// keyboard and accessibility come from QListView. UI thread only.

#include <QAbstractListModel>
#include <QListView>
#include <QPointer>

#include <functional>

#include "player/playlist_model.h"

namespace qf::ui {

// The engine model seen by a Qt view: one column, the row's shown name.
class PlaylistItemModel final : public QAbstractListModel, public player::PlaylistListener {
    Q_OBJECT
public:
    explicit PlaylistItemModel(player::PlaylistModel& model, QObject* parent = nullptr);
    ~PlaylistItemModel() override;

    enum Role { CurrentRole = Qt::UserRole + 1, SelectedRole };

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void rowChanged(int row) override;
    void rowVisible(int row) override;
    void rowsChanged() override;

    player::PlaylistModel& model() { return model_; }

Q_SIGNALS:
    void scrollToRow(int row);
    void rowsReset();

private:
    player::PlaylistModel& model_;
};

class PlaylistView : public QListView {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 16;
    static constexpr int kControlId = 1031;

    // Row colours.
    static QColor selectedFill() { return QColor(169, 183, 201); }
    static QColor selectedFrame() { return QColor(86, 72, 54); }
    static QColor currentText() { return QColor(255, 128, 0); }
    // The skin's blue, darkened so the orange reads at 4.5 : 1 (on the skin
    // itself no orange does).
    static QColor currentFill() { return QColor(27, 53, 90); }
    // The same orange, dark enough to read on the pale selection.
    static QColor currentTextOnSelection() { return QColor(102, 51, 0); }
    static QColor selectedText() { return QColor(16, 48, 144); }

    // Where the requests go: the player window's message table (codes 3 and
    // 4 of WM_PLAYER_NOTIFY) and its commands (1018 open, posted; 1013
    // stop, run at once).
    using Command = std::function<void(int command)>;

    PlaylistView(player::PlaylistModel& model, QWidget* playerWindow, Command command);
    ~PlaylistView() override;

    player::PlaylistModel& playlist() { return items_->model(); }

    // Ticks the PlayList pop-up's items from the settings (before showing it).
    static void tickMenu();
    // Runs one of the pop-up's commands, as the menu does.
    void menuCommand(int id);
    // Selects exactly these rows (the mark on the last), as the user would.
    void selectRows(const QList<int>& rows);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void restoreSelection();
    void postPlay(player::PlaylistEntry* entry);

    PlaylistItemModel* items_;
    QPointer<QWidget> playerWindow_;
    Command command_;
    bool syncing_ = false; // the view's selection is being set from the model
};

} // namespace qf::ui
