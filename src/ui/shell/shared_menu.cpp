#include "ui/shell/shared_menu.h"

#include <QMenu>

#include <array>
#include <memory>

#include "ui/shell/qt_shell.h"

namespace qf::ui {

namespace {

constexpr MenuItemData kTrayItems[] = {
    {kMenuShowWindow, "显示窗口", false, false},
    {kMenuHomePage, "官方网站", false, false},
    {kMenuCloseProgram, "关闭程序", false, false},
};

constexpr MenuItemData kVideoSetItems[] = {
    {kMenuResetPicture, "全部重置", false, false}, {0, "", false, false},
    {kMenuActualSize, "原始大小", true, true},     {kMenuFitArea, "最大显示", true, false},
    {kMenuFullScreen, "全屏显示", true, false},
};

constexpr MenuItemData kPlayListItems[] = {
    {kMenuAutoPlay, "自动播放", true, false},
    {kMenuLoopPlay, "循环播放", true, false},
    {0, "", false, false},
    {kMenuListAdd, "添加", false, false},
    {kMenuListPlay, "播放", false, false},
    {kMenuListDelete, "删除", false, false},
    {kMenuListClear, "清空列表", false, false},
};

constexpr int kPopupCount = 3;

std::array<std::unique_ptr<QMenu>, kPopupCount>& popups()
{
    static std::array<std::unique_ptr<QMenu>, kPopupCount> menus;
    return menus;
}

std::unique_ptr<QMenu> build(SharedPopup popup)
{
    auto menu = std::make_unique<QMenu>();
    for (const MenuItemData& item : sharedPopupItems(popup)) {
        if (item.id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(toQ(item.text));
        action->setData(item.id);
        action->setCheckable(item.checkable);
        action->setChecked(item.checked);
    }
    return menu;
}

} // namespace

std::span<const MenuItemData> sharedPopupItems(SharedPopup popup)
{
    switch (popup) {
    case SharedPopup::Tray: return kTrayItems;
    case SharedPopup::VideoSet: return kVideoSetItems;
    case SharedPopup::PlayList: return kPlayListItems;
    }
    return {};
}

void loadSharedMenu()
{
    for (SharedPopup popup : {SharedPopup::Tray, SharedPopup::VideoSet, SharedPopup::PlayList})
        sharedPopup(popup);
}

void destroySharedMenu()
{
    for (auto& menu : popups())
        menu.reset();
}

QMenu* sharedPopup(SharedPopup popup)
{
    auto& slot = popups()[static_cast<size_t>(popup)];
    if (!slot)
        slot = build(popup);
    return slot.get();
}

QAction* sharedMenuAction(SharedPopup popup, int id)
{
    for (QAction* action : sharedPopup(popup)->actions())
        if (menuCommandOf(action) == id)
            return action;
    return nullptr;
}

int menuCommandOf(const QAction* action) { return action ? action->data().toInt() : 0; }

} // namespace qf::ui
