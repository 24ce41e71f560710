#include "ui/main/options_panel.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <string>
#include <type_traits>

#include "core/file_system.h"
#include "core/messages.h"
#include "core/platform/desktop_shortcut.h"
#include "core/platform/system_shutdown.h"
#include "core/platform/user_folders.h"
#include "core/program_directory.h"
#include "settings/settings.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/notify/confirm_box.h"
#include "ui/notify/floating_tip.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr char kNoDesktopText[] = "找不到桌面文件夹,无法创建快捷方式:";
constexpr char kShortcutFailedText[] = "无法创建桌面快捷方式:";

template <class Control> Control* place(Control* control, int id, int x, int y)
{
    control->setObjectName(QString::number(id));
    control->setFont(skin::smallFont());
    // The layout's width, widened for a caption that needs more: squeezed
    // into the layout's width a caption would run into the frame.
    const int width = std::max(skin::du(62), control->sizeHint().width());
    control->setGeometry(skin::du(x), skin::du(y), width, skin::du(11));
    return control;
}

} // namespace

OptionsPanel::OptionsPanel(QObject* hub, QWidget* parent)
    : QWidget(parent), hub_(hub), messageColour_(skin::kSkinColour)
{
    resize(skin::du(423), skin::du(241));
    setAttribute(Qt::WA_OpaquePaintEvent);

    shortcut_ = place(new SkinButton(QStringLiteral("创建桌面快捷方式"), this), kShortcutId, 10, 10);
    shortcut_->setTextColours(0xFFFFFF, 0x80FFFF, 0xFFFFAA);
    floatingTips_ = place(new SkinCheckBox(QStringLiteral("显示浮动提示"), this), kFloatingTipsId, 10, 25);
    prompts_ = place(new SkinCheckBox(QStringLiteral("显示提示信息"), this), kPromptsId, 10, 40);
    shutdown_ = place(new SkinCheckBox(QStringLiteral("转换完成自动关机"), this), kShutdownId, 10, 65);
    keepTree_ = place(new SkinCheckBox(QStringLiteral("保持文件夹结构"), this), kKeepTreeId, 10, 80);
    floatingTips_->setChecked(settings::current().showFloatingTips());
    keepTree_->setChecked(settings::current().keepFolderTree());

    connect(shortcut_, &QAbstractButton::clicked, this, [this] { createShortcut(); });
    connect(floatingTips_, &QAbstractButton::clicked, this, [this](bool checked) {
        settings::current().setShowFloatingTips(checked);
        setFloatingTipsEnabled(checked);
    });
    connect(keepTree_, &QAbstractButton::clicked, this, [this](bool checked) {
        settings::current().setKeepFolderTree(checked);
        Q_EMIT keepFolderTreeChanged();
    });
    connect(prompts_, &QAbstractButton::clicked, this, [](bool checked) {
        settings::current().setPromptNoFiles(checked);
        settings::current().setPromptNoneChecked(checked);
    });
    // The box shows that a conversion runs; clearing it cancels the
    // shutdown that the Start prompt may have asked for, and ticking it asks
    // for one, so what it shows after a click is what will happen. Once the
    // conversion has ended there is nothing left to shut down after.
    connect(shutdown_, &QAbstractButton::clicked, this, [this](bool checked) {
        if (converting())
            settings::current().setShutdownWhenDone(checked);
        else
            refresh();
    });
}

QWidget* OptionsPanel::control(int id) const
{
    switch (id) {
    case kShortcutId: return shortcut_;
    case kFloatingTipsId: return floatingTips_;
    case kPromptsId: return prompts_;
    case kShutdownId: return shutdown_;
    case kKeepTreeId: return keepTree_;
    default: return nullptr;
    }
}

bool OptionsPanel::converting() const
{
    return sendMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_IS_CONVERTING, 0) != 0;
}

void OptionsPanel::refresh()
{
    const bool running = converting();
    shutdown_->setEnabled(running);
    shutdown_->setChecked(running);
    prompts_->setChecked(settings::current().promptNoFiles() && settings::current().promptNoneChecked());
    floatingTips_->setChecked(settings::current().showFloatingTips());
    keepTree_->setChecked(settings::current().keepFolderTree());
}

void OptionsPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void OptionsPanel::createShortcut()
{
    std::string error;
    const std::string desktop = platform::desktopFolder();
    if (!core::fs::isDirectory(desktop.c_str())) {
        ConfirmBox::ask(this, toQ(kNoDesktopText) + QStringLiteral("\r\n") + toQ(desktop), 1);
        return;
    }
    if (!platform::createDesktopShortcut(desktop, core::programLocation().executablePath.c_str(), &error)) {
        ConfirmBox::ask(this, toQ(kShortcutFailedText) + QStringLiteral("\r\n") + toQ(error), 1);
        return;
    }
    startFade();
}

void OptionsPanel::startFade()
{
    messageColour_ = kFadeStart;
    update(kMessageRect);
    if (!fadeTimer_.isActive())
        fadeTimer_.start(kFadePeriodMs, this);
}

uint32_t OptionsPanel::nextFadeColour(uint32_t c)
{
    c -= c < 0xE0E0E1 ? 0x090909 : 0x020202;
    return c < 0xA0A0A0 ? skin::kSkinColour : c;
}

void OptionsPanel::stepFade()
{
    if (!fadeTimer_.isActive())
        return;
    messageColour_ = nextFadeColour(messageColour_);
    if (messageColour_ == skin::kSkinColour)
        fadeTimer_.stop();
    update(kMessageRect);
}

QColor OptionsPanel::messageColour() const { return skin::colorRef(messageColour_); }

void OptionsPanel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == fadeTimer_.timerId())
        stepFade();
    else
        QWidget::timerEvent(event);
}

void OptionsPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::skinColor());
    if (messageColour_ == skin::kSkinColour)
        return;
    p.setFont(skin::mediumFont());
    p.setPen(messageColour());
    p.drawText(kMessageRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, QStringLiteral("已创建成功！！！"));
}

bool runShutdownSequence()
{
    std::string error;
    if (platform::requestSystemShutdown(&error))
        return true;
    qWarning("shutdown: %s", error.c_str());
    return false;
}

} // namespace qf::ui
