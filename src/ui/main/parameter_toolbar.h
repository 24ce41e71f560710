#pragma once
// ParameterToolbar: the 28-pixel strip above the parameter panel of the
// Convert view. Three small buttons (show or hide the panel, save the
// current parameters as a preset, change the output folder) and a link that
// shows the output folder: a left click opens it in the file manager, a
// right click picks another one. It talks to the main window only through
// WM_MAIN_REQUEST posts to the hub. UI thread only.

#include <QString>
#include <QWidget>

#include <functional>

namespace qf::ui {

class LinkLabel;
class SmallButton;

class ParameterToolbar : public QWidget {
    Q_OBJECT
public:
    enum ControlId : int { kToggleId = 1007, kSaveId = 1008, kFolderId = 1009 };

    using FolderPicker = std::function<QString(QWidget* parent, const QString& title)>;
    using FolderOpener = std::function<void(const QString& folder)>;

    static constexpr int kHeight = 28;
    static constexpr int kLinkMaximumWidth = 750;

    // hub: the main window's WM_MAIN_REQUEST receiver (may be null). Button
    // 1007 posts REQ_TOGGLE_PANEL with lParam = its new state (1 = open);
    // 1008 posts REQ_SAVE_PRESET with lParam 0.
    explicit ParameterToolbar(QObject* hub, QWidget* parent = nullptr);

    SmallButton* toggleButton() const { return toggle_; }
    SmallButton* saveButton() const { return save_; }
    SmallButton* folderButton() const { return folder_; }
    LinkLabel* folderLink() const { return link_; }

    // The save flow flips 1007 to its open look without a click.
    void setToggleState(int open);

    // Asks for a new output folder (the link's right click and button 1009):
    // the picked folder becomes the settings' output folder, normalised, and the
    // link follows. A cancelled dialog changes nothing.
    void chooseOutputFolder();
    // Shows the settings' output folder again (after the configuration changed it).
    void refreshFolderLink();

    // Replace the folder dialog (returns the path, empty for cancel) and the
    // file manager; empty functions restore the real ones.
    void setFolderPicker(FolderPicker picker);
    void setFolderOpener(FolderOpener opener);

    // Backslashes become slashes and trailing slashes go, but a root stays a
    // root: "/" stays "/", "D:\" gives "D:".
    static QString normalisedFolder(const QString& picked);

Q_SIGNALS:
    // The user picked another output folder.
    void outputFolderChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openFolder(const QString& folder);

    QObject* hub_;
    SmallButton* toggle_;
    SmallButton* save_;
    SmallButton* folder_;
    LinkLabel* link_;
    FolderPicker picker_;
    FolderOpener defaultOpener();
    FolderOpener opener_;
};

} // namespace qf::ui
