#include "ui/notify/tray_icon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include "ui/notify/confirm_box.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

TrayIcon::TrayIcon(QWidget* mainWindow)
    : QObject(mainWindow), window_(mainWindow), menu_(sharedPopup(SharedPopup::Tray))
{
    connect(menu_, &QMenu::triggered, this, [this](QAction* action) {
        if (const int id = menuCommandOf(action))
            Q_EMIT command(id);
    });
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::trayAvailable() const
{
    return trayOverride_ ? *trayOverride_ : QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::hideToTray()
{
    if (!window_)
        return;
    if (!window_->isMinimized())
        window_->showMinimized();
    if (!trayAvailable()) {
        // Not modal: the window may not even minimize where no window
        // manager runs, and the user must still be able to go on.
        auto* box = new ConfirmBox(window_, toQ(kNoTrayText), 1);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    window_->hide();
    icon_ = std::make_unique<QSystemTrayIcon>(skin::programIcon());
    icon_->setToolTip(toQ(std::string_view(kTrayTip).substr(0, 63)));
    connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick)
            handleNotify(kTrayDoubleClick);
        else if (reason == QSystemTrayIcon::Context)
            handleNotify(kTrayRightButton);
    });
    icon_->show();
    iconShown_ = true;
}

void TrayIcon::restore()
{
    if (iconShown_) {
        icon_.reset();
        iconShown_ = false;
    }
    if (!window_)
        return;
    window_->show();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void TrayIcon::handleNotify(intptr_t mouseMessage)
{
    if (mouseMessage == kTrayDoubleClick) {
        restore();
    } else if (mouseMessage == kTrayRightButton) {
        if (window_)
            window_->activateWindow();
        menu_->popup(QCursor::pos());
    }
}

} // namespace qf::ui
