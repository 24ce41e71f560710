#include "ui/main/parameter_toolbar.h"

#include <QFileDialog>
#include <QPainter>
#include <QUrl>

#include "core/messages.h"
#include "settings/settings.h"
#include "ui/controls/link_label.h"
#include "ui/controls/small_button.h"
#include "ui/shell/file_manager.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/skin/sounds.h"

namespace qf::ui {

namespace {

const QString& changeFolderText()
{
    static const QString text = QStringLiteral("更改转换输出目录");
    return text;
}

QString pickFolderWithDialog(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title, toQ(settings::current().outputFolder()),
                                             QFileDialog::ShowDirsOnly);
}

SmallButton* makeButton(QWidget* parent, int id, QPoint origin, int stateCount, const QString& tip, int x)
{
    auto* button = new SmallButton(parent);
    button->setObjectName(QString::number(id));
    button->setImages(skin::bitmap(skin::kSmallButtons), origin, QSize(16, 16), stateCount, false);
    button->setTooltip(tip);
    button->setGeometry(skin::du(x), skin::du(3), skin::du(9), skin::du(9));
    return button;
}

} // namespace

ParameterToolbar::ParameterToolbar(QObject* hub, QWidget* parent)
    : QWidget(parent), hub_(hub), picker_(pickFolderWithDialog), opener_(defaultOpener())
{
    resize(skin::du(423), kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);

    toggle_ = makeButton(this, kToggleId, QPoint(0, 0), 2, QStringLiteral("显示(隐藏)参数窗口"), 4);
    toggle_->setToggleMode(true);
    toggle_->setState(1); // open, as the slide panel starts
    save_ = makeButton(this, kSaveId, QPoint(0, 32), 1, QStringLiteral("保存当前参数"), 16);
    folder_ = makeButton(this, kFolderId, QPoint(32, 32), 1, changeFolderText(), 28);

    // The button has already flipped its state when clicked() arrives.
    connect(toggle_, &QAbstractButton::clicked, this, [this] {
        playSound(Sound::Chimes);
        postMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_TOGGLE_PANEL, toggle_->state());
    });
    connect(save_, &QAbstractButton::clicked, this,
            [this] { postMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_SAVE_PRESET, 0); });
    // Its tip promises a change of folder, so it keeps that promise.
    connect(folder_, &QAbstractButton::clicked, this, [this] { chooseOutputFolder(); });

    const QString folder = toQ(settings::current().outputFolder());
    link_ = new LinkLabel(QPoint(90, 7), kLinkMaximumWidth, this, folder, folder, skin::mediumFont());
    link_->setColours(skin::kSkinColour, 0xFFFF00, 0x00FFFF);
    link_->setTooltip(QStringLiteral("打开转换输出目录"));
    link_->setLeftAction([this](QWidget*, const QString& target) { openFolder(target); });
    link_->setRightAction([this](QWidget*, const QString&) { chooseOutputFolder(); });
}

void ParameterToolbar::setToggleState(int open) { toggle_->setState(open); }

void ParameterToolbar::setFolderPicker(FolderPicker picker)
{
    picker_ = picker ? std::move(picker) : FolderPicker(pickFolderWithDialog);
}

ParameterToolbar::FolderOpener ParameterToolbar::defaultOpener()
{
    // A missing folder or file manager is told in a message box on the bar.
    return [this](const QString& folder) { qf::ui::openFolder(this, folder); };
}

void ParameterToolbar::setFolderOpener(FolderOpener opener) { opener_ = opener ? std::move(opener) : defaultOpener(); }

QString ParameterToolbar::normalisedFolder(const QString& picked)
{
    QString folder = picked;
    folder.replace(u'\\', u'/');
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

void ParameterToolbar::chooseOutputFolder()
{
    const QString picked = picker_(this, changeFolderText());
    if (picked.isEmpty())
        return;
    settings::current().setOutputFolder(toText(normalisedFolder(picked)));
    refreshFolderLink();
    Q_EMIT outputFolderChanged();
}

void ParameterToolbar::refreshFolderLink()
{
    const QString folder = toQ(settings::current().outputFolder());
    link_->setTextAndTarget(folder, folder);
}

void ParameterToolbar::openFolder(const QString& folder)
{
    opener_(folder);
    playSound(Sound::Notify);
}

void ParameterToolbar::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), skin::skinColor()); }

} // namespace qf::ui
