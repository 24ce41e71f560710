#pragma once
// MainWindow: the one top-level window. A frameless, skinned 860 x 601 window
// with four views (Convert, Player, Help, Options) switched by sticky tab
// buttons, the four command buttons of the Convert view, the tray icon, the
// close confirmation and the shutdown after the last task. It is the hub of
// WM_MAIN_REQUEST: the parameter panel, the toolbar, the slide panel, the
// task list and the options panel ask it for things through its message
// table (main_window_requests.cpp), never by calling each other.
//
// Child windows are made once, with the window, and live as long as it does.
// Destroying the window stops a running conversion (the task list view ends
// the worker and its programs) and any playback. UI thread only.

#include <QImage>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>

#include "ui/main/skin_frame.h"
#include "ui/shell/message_dispatch.h"

class QMenu;

namespace qf::ui {

class GlowButton;
class HelpPanel;
class OptionsPanel;
class ParameterPanel;
class ParameterToolbar;
class PlayerWindow;
class SkinButton;
class SlidePanel;
class TaskListView;
class TrayIcon;

class MainWindow : public MessageWidget {
    Q_OBJECT
public:
    enum class View { Convert, Player, Help, Options };

    // Control ids of the window's template.
    enum Control : int {
        kClose = 1000,
        kHideToTray = 1001,
        kMinimize = 1002,
        kShowHelp = 1003, // hidden at start and never shown
        kTabConvert = 1004,
        kTabPlayer = 1012,
        kTabHelp = 1006,
        kTabOptions = 1007,
        kOpenFiles = 1008,
        kStart = 1009,
        kStop = 1010,
        kDelete = 1011,
        kTaskList = 1023,
    };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The commands, as the buttons, the tray and the system menu run them.
    void command(int id);
    void showView(View view);
    View currentView() const { return view_; }
    void openFiles();
    void startConversion();
    // Asks when a conversion runs; true when the window is closing.
    bool requestClose();
    void hideToTray();
    void restoreFromTray();
    // Files dropped at a point of the window (client coordinates).
    void dropFiles(const QStringList& paths, QPoint at);
    // The reduced system menu, at a global position.
    void showSystemMenu(QPoint globalPos);

    // The open-file dialog; tests replace it. Returns the chosen paths, or none for cancel.
    using FilePicker = std::function<QStringList(QWidget* parent)>;
    void setFilePicker(FilePicker picker) { filePicker_ = std::move(picker); }
    static QStringList runOpenFileDialog(QWidget* parent);

    const SkinFrame& frame() const { return frame_; }
    SkinButton* tabButton(View view) const;
    QWidget* control(int id) const;
    // The controls and the Convert view are made in the event loop's turn
    // after construction; every accessor makes them first if need be.
    ParameterToolbar* toolbar() const { return ensureContents(), toolbar_; }
    ParameterPanel* parameterPanel() const { return ensureContents(), panel_; }
    SlidePanel* slidePanel() const { return ensureContents(), slide_; }
    TaskListView* taskList() const { return ensureContents(), taskList_; }
    // The pages of the other views; made right after the window's first
    // paint, or at once when asked for earlier.
    PlayerWindow* playerWindow();
    HelpPanel* helpPanel();
    OptionsPanel* optionsPanel();
    TrayIcon* trayIcon() const { return ensureContents(), tray_; }
    QMenu* systemMenu() const { return ensureContents(), systemMenu_; }
    bool pendingSave() const { return pendingSave_; }

Q_SIGNALS:
    // The close was accepted: the application ends with this window.
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // "转换任务正在进行..." with Yes and No; true for Yes, or when the run
    // ends while the box is up.
    bool confirmCloseWhileConverting();
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ensureContents() const;
    void createContents();
    void createTitleButtons();
    void createTabs();
    void createBottomButtons();
    void createViews();
    void ensurePages();
    void createSystemMenu();
    void orderTabStops();
    static void keepQtSettingsInOurFolder();
    void installRequests(); // main_window_requests.cpp
    void applyView(View view);
    void placeTaskList(int top);
    void savePresetFlow();
    void slideStep(int height, bool finished);
    void allDone();
    QImage panelPicture() const;

    SkinFrame frame_;
    View view_ = View::Convert;
    std::array<SkinButton*, 4> tabs_{};
    std::array<SkinButton*, 4> titleButtons_{}; // close, hide to tray, minimize, help
    std::array<GlowButton*, 4> bottomButtons_{}; // open, delete, start, stop

    ParameterToolbar* toolbar_ = nullptr;
    ParameterPanel* panel_ = nullptr;
    SlidePanel* slide_ = nullptr;
    TaskListView* taskList_ = nullptr;
    PlayerWindow* player_ = nullptr;
    HelpPanel* help_ = nullptr;
    OptionsPanel* options_ = nullptr;
    TrayIcon* tray_ = nullptr;
    QMenu* systemMenu_ = nullptr;

    FilePicker filePicker_;
    bool pendingSave_ = false;
    bool pagesScheduled_ = false;
    bool closing_ = false; // the close has been confirmed
};

} // namespace qf::ui
