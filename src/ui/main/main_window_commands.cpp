// The main window's commands: the buttons, the tray and system menus, the
// open-file dialog, Start, the close request, drops and the caption.
#include "ui/main/main_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

#include "convert/command_line_builder.h"
#include "settings/settings.h"
#include "tasks/task_state.h"
#include "ui/controls/skin_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/help_panel.h"
#include "ui/main/media_open_dialog.h"
#include "ui/notify/confirm_box.h"
#include "ui/notify/tray_icon.h"
#include "ui/player/player_window.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/skin/sounds.h"

namespace qf::ui {

namespace {

constexpr char kOpenTitle[] = "选择影音文件";
// Name, then the patterns joined by spaces as Qt expects them.
constexpr const char* kOpenFilters[][2] = {
    {"Media Files (影音文件)",
     "*.asf *.avi *.avs *.dat *.flv *.mkv *.mp4 *.mts *.m2ts *.mpg *.mpeg *.mov *.ram *.rm *.rmvb *.ts *.vob *.wmv"},
    {"Video Files (视频文件)", "*.m2v *.m4v"},
    {"Audio Files (音频文件)", "*.aac *ac3 *.asf *.mp2 *.mp3 *.ogg *.wav *.wma"},
    // "*.*" would hide names without a dot.
    {"* All Files (所有文件)", "*"},
};

constexpr char kNoFilesText[] = "请先打开要转换的文件或直接将文件拖拽到列表中,再进行转换。";
constexpr char kNoneCheckedText[] = "请在列表中勾选要转换的条目,再点击开始。";
constexpr char kDontAskAgainText[] = "以后不要再弹出这个提示。";
constexpr char kStartText[] = "提示信息";
constexpr char kShutdownChoiceText[] = "转换任务完成后关闭计算机。";
constexpr char kCloseWhileConvertingText[] = "转换任务正在进行,你确认要关闭程序？";
constexpr int kCloseConfirmMode = 12;
// How often the open close-confirmation looks whether the run has ended.
constexpr int kCloseWatchMs = 200;

QStringList localPaths(const QMimeData* mime) { return localPathsOf(mime); }

} // namespace

void MainWindow::command(int id)
{
    ensureContents();
    switch (id) {
    case kTabConvert:
        playSound(Sound::Start);
        showView(View::Convert);
        break;
    case kTabPlayer:
        playSound(Sound::Start);
        showView(View::Player);
        break;
    case kTabHelp:
        playSound(Sound::Start);
        showView(View::Help);
        break;
    case kTabOptions:
        playSound(Sound::Start);
        showView(View::Options);
        break;
    case kOpenFiles: openFiles(); break;
    case kStart: startConversion(); break;
    case kDelete: taskList_->deleteChecked(); break;
    case kStop: taskList_->stop(); break;
    case kClose:
    case kCmdCloseProgram: requestClose(); break;
    case kHideToTray:
    case kCmdHideToTray: hideToTray(); break;
    case kMinimize: showMinimized(); break;
    case kCmdShowWindow: restoreFromTray(); break;
    case kCmdHomePage: QDesktopServices::openUrl(HelpPanel::defaultPage()); break;
    default: break;
    }
}

QStringList MainWindow::runOpenFileDialog(QWidget* parent)
{
    QStringList filters;
    for (const auto& filter : kOpenFilters)
        filters.push_back(toQ(filter[0]) + QStringLiteral(" (") + toQ(filter[1]) + QStringLiteral(")"));
    MediaOpenDialog dialog(parent, toQ(kOpenTitle), filters);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.chosen();
}

void MainWindow::openFiles()
{
    ensureContents();
    // Qt hands back every chosen path, however many: no selection buffer
    // can overflow and silently drop the whole choice.
    const QStringList paths = filePicker_ ? filePicker_(this) : runOpenFileDialog(this);
    if (!paths.isEmpty())
        taskList_->addFiles(paths);
}

void MainWindow::startConversion()
{
    ensureContents();
    if (taskList_->isConverting())
        return;
    const tasks::TaskListModel& list = taskList_->model();
    if (list.rowCount() == 0) {
        if (settings::current().promptNoFiles()) {
            bool ticked = false;
            ConfirmBox::ask(this, toQ(kNoFilesText), kConfirmOk, toQ(kDontAskAgainText), &ticked);
            if (ticked)
                settings::current().setPromptNoFiles(false);
        }
        return;
    }
    // A stop time that is not after its start cannot be converted: said
    // before anything starts (a panel edit has already reached its rows).
    for (int row = 0; row < list.rowCount(); ++row) {
        if (!list.row(row).checked || tasks::isActiveState(list.task(row)->state))
            continue;
        if (!convert::stopFollowsStart(*list.task(row))) {
            ConfirmBox::ask(this, toQ(convert::kStopBeforeStartText), kConfirmOk);
            return;
        }
    }
    for (int row = list.rowCount() - 1; row >= 0; --row) {
        if (!list.row(row).checked || tasks::isActiveState(list.task(row)->state))
            continue;
        bool ticked = false;
        ConfirmBox::ask(this, toQ(kStartText), kConfirmOk, toQ(kShutdownChoiceText), &ticked);
        if (ticked)
            settings::current().setShutdownWhenDone(true);
        if (!taskList_->start())
            settings::current().setShutdownWhenDone(false);
        return;
    }
    if (settings::current().promptNoneChecked()) {
        bool ticked = false;
        ConfirmBox::ask(this, toQ(kNoneCheckedText), kConfirmOk, toQ(kDontAskAgainText), &ticked);
        if (ticked)
            settings::current().setPromptNoneChecked(false);
    }
}

bool MainWindow::requestClose()
{
    close();
    return closing_;
}

bool MainWindow::confirmCloseWhileConverting()
{
    ConfirmBox box(this, toQ(kCloseWhileConvertingText), kCloseConfirmMode);
    // The question holds only while the run goes on: a run that ends while
    // the box is up leaves nothing to confirm, and the close goes ahead.
    QTimer watch;
    watch.setInterval(kCloseWatchMs);
    connect(&watch, &QTimer::timeout, &box, [this, &box] {
        if (!taskList_->isConverting())
            box.done(kConfirmYes);
    });
    watch.start();
    return box.exec() == kConfirmYes;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    ensureContents();
    if (!closing_ && taskList_->isConverting() && !confirmCloseWhileConverting()) {
        event->ignore();
        return;
    }
    closing_ = true;
    event->accept();
    Q_EMIT closed();
}

void MainWindow::hideToTray() { trayIcon()->hideToTray(); }

void MainWindow::restoreFromTray() { trayIcon()->restore(); }

void MainWindow::dropFiles(const QStringList& paths, QPoint at)
{
    ensureContents();
    if (view_ != View::Player && tabButton(View::Player)->geometry().contains(at)) {
        playSound(Sound::Start);
        showView(View::Player);
        playerWindow()->addPaths(paths);
        return;
    }
    if (view_ != View::Convert) {
        if (!tabButton(View::Convert)->geometry().contains(at))
            return;
        playSound(Sound::Start);
        showView(View::Convert);
    }
    taskList_->addFiles(paths);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QStringList paths = localPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    dropFiles(paths, event->position().toPoint());
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->position().y() >= SkinFrame::kCaptionHeight) {
        MessageWidget::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
    } else if (event->button() == Qt::RightButton) {
        showSystemMenu(event->globalPosition().toPoint());
    }
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // A frameless window has no window-manager menu; Alt+Space opens ours.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
        showSystemMenu(mapToGlobal(QPoint(0, SkinFrame::kCaptionHeight)));
        return;
    }
    MessageWidget::keyPressEvent(event);
}

void MainWindow::createSystemMenu()
{
    systemMenu_ = new QMenu(this);
    QAction* restore = systemMenu_->addAction(toQ("还原(&R)"));
    connect(restore, &QAction::triggered, this, [this] { showNormal(); });
    QAction* minimize = systemMenu_->addAction(toQ("最小化(&N)"));
    connect(minimize, &QAction::triggered, this, [this] { showMinimized(); });
    QAction* hide = systemMenu_->addAction(toQ("隐藏到托盘(&D)"));
    hide->setIcon(QIcon(QPixmap::fromImage(skin::bitmap(skin::kTrayMenuItem))));
    hide->setData(kCmdHideToTray);
    connect(hide, &QAction::triggered, this, [this] { command(kCmdHideToTray); });
    systemMenu_->addSeparator();
    QAction* closeAction = systemMenu_->addAction(toQ("关闭(&C)\tAlt+F4"));
    connect(closeAction, &QAction::triggered, this, [this] { requestClose(); });
}

void MainWindow::showSystemMenu(QPoint globalPos)
{
    ensureContents();
    // Restore means something only while the window is not normal.
    systemMenu_->actions().at(0)->setEnabled(isMinimized() || isMaximized());
    systemMenu_->popup(globalPos);
}

} // namespace qf::ui
