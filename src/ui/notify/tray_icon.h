#pragma once
// The main window's tray icon: hide to tray, restore, and the tray menu
// ("显示窗口" 32772, "官方网站" 32776, "关闭程序" 32773). The icon exists only
// while the window is hidden in the tray. Where the desktop has no system
// tray, hiding minimizes instead, since a hidden window without a tray icon
// could never be reached again, and a box says why. The desktop is asked at
// each hide: a tray that appears after the start is used. UI thread only.

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>

#include "ui/shell/shared_menu.h"

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace qf::ui {

inline constexpr int kCmdShowWindow = kMenuShowWindow;
inline constexpr int kCmdHomePage = kMenuHomePage;
inline constexpr int kCmdCloseProgram = kMenuCloseProgram;
inline constexpr int kCmdHideToTray = 32771;
// The mouse messages that WM_TRAY_NOTIFY carries in its second parameter.
inline constexpr intptr_t kTrayDoubleClick = 515; // WM_LBUTTONDBLCLK
inline constexpr intptr_t kTrayRightButton = 516; // WM_RBUTTONDOWN
inline constexpr char kNoTrayText[] = "桌面没有系统托盘,不能隐藏到托盘;窗口已改为最小化。";
// The icon's tip, at most 63 bytes.
inline constexpr char kTrayTip[] = "Tarnwell\nQuillfer3.5";

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QWidget* mainWindow);
    ~TrayIcon() override;

    // Hides the window into the tray (or minimizes it where there is none).
    void hideToTray();
    // Removes the icon and shows the window again.
    void restore();
    bool iconShown() const { return iconShown_; }
    // The WM_TRAY_NOTIFY handler: a double click restores, a right press
    // opens the menu at the cursor; other mouse messages are ignored.
    void handleNotify(intptr_t mouseMessage);

    // The tray pop-up of the shared menu.
    QMenu* menu() const { return menu_; }
    // Overrides the desktop's answer, for tests and for platforms that lie.
    void setTrayAvailable(bool available) { trayOverride_ = available; }
    bool trayAvailable() const;

Q_SIGNALS:
    // A tray menu command for the main window (kCmdShowWindow, ...).
    void command(int id);

private:
    QPointer<QWidget> window_;
    QMenu* menu_; // the shared menu's, not owned
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool iconShown_ = false;
    std::optional<bool> trayOverride_;
};

} // namespace qf::ui
