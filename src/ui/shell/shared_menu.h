#pragma once
// The shared menu (resource 136): the pop-up menus that several windows use,
// kept as data in one place. Start-up loads it once (loadSharedMenu) and the
// exit sequence destroys it; a window that asks earlier gets it built on
// first use (the tests do). Each pop-up is one QMenu shared by whoever shows
// it; an item's command id is its action's data(). UI thread only.

#include <span>

class QAction;
class QMenu;

namespace qf::ui {

// Command ids of the shared menu's items.
enum MenuCommand : int {
    kMenuShowWindow = 32772, // tray: "显示窗口"
    kMenuHomePage = 32776, // tray: "官方网站"
    kMenuCloseProgram = 32773, // tray: "关闭程序"
    kMenuAutoPlay = 32777, // PlayList: "自动播放"
    kMenuLoopPlay = 32778, // PlayList: "循环播放"
    kMenuResetPicture = 32782, // VideoSet: "全部重置"
    kMenuActualSize = 32779, // VideoSet: "原始大小"
    kMenuFitArea = 32780, // VideoSet: "最大显示"
    kMenuFullScreen = 32781, // VideoSet: "全屏显示"
    kMenuListAdd = 32786, // PlayList: "添加"
    kMenuListPlay = 32784, // PlayList: "播放"
    kMenuListDelete = 32783, // PlayList: "删除"
    kMenuListClear = 32785, // PlayList: "清空列表"
};

enum class SharedPopup {
    Tray, // the first pop-up, "dish"
    VideoSet, // the third: the player's picture and display menu
    PlayList, // the fourth: the playlist's menu
};

struct MenuItemData {
    int id; // 0: a separator
    const char* text; // UTF-8
    bool checkable;
    bool checked; // as the resource has it
};

// The items of a pop-up, in order.
std::span<const MenuItemData> sharedPopupItems(SharedPopup popup);

void loadSharedMenu();
void destroySharedMenu();

// The pop-up, built from its items (and kept) on first use.
QMenu* sharedPopup(SharedPopup popup);
// The action of an item of a pop-up; null when the pop-up has no such id.
QAction* sharedMenuAction(SharedPopup popup, int id);
// The command id of an action of the shared menu (0 for a separator).
int menuCommandOf(const QAction* action);

} // namespace qf::ui
