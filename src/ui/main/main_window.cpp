#include "ui/main/main_window.h"

#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QTimer>

#include "core/platform/user_folders.h"
#include "ui/controls/glow_button.h"
#include "ui/controls/skin_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/help_panel.h"
#include "ui/main/options_panel.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/slide_panel.h"
#include "ui/notify/floating_tip.h"
#include "ui/notify/tray_icon.h"
#include "ui/player/player_window.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/skin/sounds.h"

namespace qf::ui {

namespace {

constexpr char kWindowTitle[] = "Quillfer3.5";

struct TitleButtonData {
    int id;
    int x; // template x in dialog units
    int imageColumn; // x in bitmap 132
    const char* tip;
};
constexpr TitleButtonData kTitleButtons[] = {
    {MainWindow::kClose, 413, 0, "关闭"},
    {MainWindow::kHideToTray, 396, 60, "隐藏到托盘"},
    {MainWindow::kMinimize, 379, 30, "最小化"},
    {MainWindow::kShowHelp, 362, 90, "显示帮助"},
};

struct TabData {
    MainWindow::View view;
    int id;
    int x;
    const char* text;
};
constexpr TabData kTabs[] = {
    {MainWindow::View::Convert, MainWindow::kTabConvert, 7, "转换"},
    {MainWindow::View::Player, MainWindow::kTabPlayer, 71, "播放"},
    {MainWindow::View::Help, MainWindow::kTabHelp, 135, "帮助"},
    {MainWindow::View::Options, MainWindow::kTabOptions, 199, "设置"},
};

// In the order the Convert view shows them.
struct BottomButtonData {
    int id;
    int x;
    QPoint cell; // in bitmap 140
    const char* tip;
};
const BottomButtonData kBottomButtons[] = {
    {MainWindow::kOpenFiles, 30, QPoint(0, 37), "选择要转换的影音文件"},
    {MainWindow::kDelete, 92, QPoint(0, 0), "删除任务(列表中勾选的任务)"},
    {MainWindow::kStart, 154, QPoint(37, 0), "开始转换(列表中勾选的任务)"},
    {MainWindow::kStop, 216, QPoint(37, 37), "停止转换"},
};

constexpr int kTabY = 25;
constexpr QSize kTabSize(64, 38);
constexpr int kBottomButtonY = 560;
constexpr int kToolbarHeight = 28;
constexpr int kPanelTop = 91;

} // namespace

MainWindow::MainWindow(QWidget* parent) : MessageWidget(parent)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(frame_.size());
    setMask(frame_.windowRegion());
    setWindowTitle(toQ(kWindowTitle));
    setWindowIcon(skin::programIcon());
    setFont(skin::dialogFont());
    setAcceptDrops(true);
    // It takes keys that its controls leave (Alt+Space) but is no Tab stop:
    // it has no focus mark of its own.
    setFocusPolicy(Qt::ClickFocus);
    setTipMainWindow(this);
    keepQtSettingsInOurFolder();
    installRequests();
    // The window is mapped as soon as it is shown; its controls are made in
    // the next turn of the event loop, before its first paint, or at once
    // when something asks for them.
    QTimer::singleShot(0, this, [this] { ensureContents(); });
}

void MainWindow::keepQtSettingsInOurFolder()
{
    // Qt's file dialogs remember their last folder and history through
    // QSettings, which would otherwise write ~/.config/QtProject.conf beside
    // everybody else's files; the program keeps its things in its own folder.
    const QString folder = toQ(platform::configFolder()) + QStringLiteral("/quillfer");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

void MainWindow::ensureContents() const { const_cast<MainWindow*>(this)->createContents(); }

void MainWindow::createContents()
{
    if (tray_)
        return;
    tray_ = new TrayIcon(this);
    connect(tray_, &TrayIcon::command, this, [this](int id) { command(id); });

    createTitleButtons();
    createTabs();
    createBottomButtons();
    createViews();
    createSystemMenu();

    tabs_[0]->select();
    // Children made after their parent was shown must be shown themselves.
    for (SkinButton* b : titleButtons_)
        b->setVisible(isVisible() && b != titleButtons_[3]);
    for (SkinButton* tab : tabs_)
        tab->setVisible(isVisible());
    applyView(View::Convert);
}

MainWindow::~MainWindow()
{
    // The task list goes first: it stops the worker, which may still report
    // to the other windows' requests through this window.
    delete taskList_;
    taskList_ = nullptr;
    delete player_;
    player_ = nullptr;
    setTipMainWindow(nullptr);
}

void MainWindow::createTitleButtons()
{
    const QImage& images = skin::bitmap(skin::kTitleButtons);
    for (size_t i = 0; i < std::size(kTitleButtons); ++i) {
        const TitleButtonData& data = kTitleButtons[i];
        auto* button = new SkinButton(this);
        button->setImages(images, QPoint(data.imageColumn, 0), QSize(30, 30), 3);
        button->setTooltip(toQ(data.tip), false);
        button->setAccessibleName(toQ(data.tip));
        button->setGeometry(skin::du(data.x), skin::du(4), 30, 30);
        const int id = data.id;
        connect(button, &SkinButton::clicked, this, [this, id] { command(id); });
        // Caption buttons are for the mouse, as a window's caption is; the
        // keyboard has Alt+Space and the system menu.
        button->setFocusPolicy(Qt::NoFocus);
        titleButtons_[i] = button;
    }
    titleButtons_[3]->hide();
}

void MainWindow::createTabs()
{
    const QImage& strip = skin::bitmap(skin::kTabStrip);
    for (size_t i = 0; i < std::size(kTabs); ++i) {
        const TabData& data = kTabs[i];
        auto* tab = new SkinButton(toQ(data.text), this);
        tab->setImages(strip, QPoint(0, 0), kTabSize, 3);
        tab->setSticky(true);
        tab->setFont(skin::smallFont());
        tab->setGeometry(QRect(QPoint(data.x, kTabY), kTabSize));
        const int id = data.id;
        connect(tab, &SkinButton::clicked, this, [this, id] { command(id); });
        // Reached by Tab, not taken by a click: a click leaves the focus
        // (and its mark) where the keyboard had it.
        tab->setFocusPolicy(Qt::TabFocus);
        tabs_[i] = tab;
    }
}

void MainWindow::createBottomButtons()
{
    const QImage& cells = skin::bitmap(skin::kBottomButtons);
    for (size_t i = 0; i < std::size(kBottomButtons); ++i) {
        const BottomButtonData& data = kBottomButtons[i];
        auto* button = new GlowButton(this);
        button->setImages(cells, data.cell);
        button->setTooltip(toQ(data.tip), true);
        button->setAccessibleName(toQ(data.tip));
        button->setGeometry(data.x, kBottomButtonY, 37, 37);
        const int id = data.id;
        connect(button, &GlowButton::clicked, this, [this, id] { command(id); });
        button->setFocusPolicy(Qt::TabFocus);
        bottomButtons_[i] = button;
    }
}

void MainWindow::createViews()
{
    const int W = frame_.width();
    toolbar_ = new ParameterToolbar(this, this);
    toolbar_->setGeometry(SkinFrame::kEdge, SkinFrame::kContentTop, W - 2 * SkinFrame::kEdge, kToolbarHeight);

    panel_ = new ParameterPanel(this, this);
    panel_->move(SkinFrame::kEdge, kPanelTop);
    slide_ = new SlidePanel(this, panel_->geometry(), this);
    slide_->hide();

    taskList_ = new TaskListView(this, this);
    placeTaskList(panel_->geometry().bottom() + 1);
    connect(panel_, &ParameterPanel::edited, taskList_, &TaskListView::applyEdit);
    connect(toolbar_, &ParameterToolbar::outputFolderChanged, taskList_, &TaskListView::refreshOutputs);

    // The slide panel lies over the parameter panel.
    slide_->raise();
}

void MainWindow::ensurePages()
{
    ensureContents();
    // The Convert view is all a user sees at start; the other pages (the
    // player with its engine thread among them) are made once the window
    // has been painted, so that it appears sooner.
    if (player_)
        return;
    player_ = new PlayerWindow(this);
    player_->setGeometry(frame_.playerRect());
    player_->hide();

    help_ = new HelpPanel(HelpPanel::defaultPage(), this);
    help_->setGeometry(frame_.contentRect());
    help_->hide();

    options_ = new OptionsPanel(this, this);
    options_->setGeometry(frame_.contentRect());
    options_->hide();
    connect(options_, &OptionsPanel::keepFolderTreeChanged, taskList_, &TaskListView::refreshOutputs);
    slide_->raise();
    orderTabStops();
}

void MainWindow::orderTabStops()
{
    // Screen order: the tabs, then the active view from top to bottom. The
    // controls were made in another order (bottom buttons before the views,
    // the pages last); hidden views are skipped by Qt when Tab moves.
    QList<QWidget*> chain(tabs_.begin(), tabs_.end());
    auto add = [this, &chain](QWidget* container) {
        if (!container)
            return;
        if (container->focusPolicy() & Qt::TabFocus)
            chain.push_back(container);
        for (QWidget* child : container->findChildren<QWidget*>())
            // Controls of another top-level (the full-screen video window)
            // keep their own order.
            if ((child->focusPolicy() & Qt::TabFocus) && child->window() == this)
                chain.push_back(child);
    };
    add(toolbar_);
    add(panel_);
    chain.push_back(taskList_);
    for (GlowButton* button : bottomButtons_)
        chain.push_back(button);
    add(player_);
    add(help_);
    add(options_);
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

PlayerWindow* MainWindow::playerWindow()
{
    ensurePages();
    return player_;
}

HelpPanel* MainWindow::helpPanel()
{
    ensurePages();
    return help_;
}

OptionsPanel* MainWindow::optionsPanel()
{
    ensurePages();
    return options_;
}

void MainWindow::placeTaskList(int top)
{
    const int W = frame_.width();
    const int bottom = frame_.height() - SkinFrame::kBottomBarHeight;
    taskList_->setGeometry(QRect(QPoint(SkinFrame::kEdge, top), QPoint(W - SkinFrame::kEdge - 1, bottom - 1)));
    taskList_->update();
}

SkinButton* MainWindow::tabButton(View view) const
{
    ensureContents();
    return tabs_[static_cast<size_t>(view)];
}

QWidget* MainWindow::control(int id) const
{
    ensureContents();
    for (size_t i = 0; i < std::size(kTitleButtons); ++i)
        if (kTitleButtons[i].id == id)
            return titleButtons_[i];
    for (size_t i = 0; i < std::size(kTabs); ++i)
        if (kTabs[i].id == id)
            return tabs_[i];
    for (size_t i = 0; i < std::size(kBottomButtons); ++i)
        if (kBottomButtons[i].id == id)
            return bottomButtons_[i];
    if (id == kTaskList)
        return taskList_;
    return nullptr;
}

void MainWindow::showView(View view)
{
    ensureContents();
    if (tabButton(view)->isSelected())
        return;
    for (size_t i = 0; i < tabs_.size(); ++i) {
        if (static_cast<View>(i) == view)
            tabs_[i]->select();
        else
            tabs_[i]->deselect();
    }
    applyView(view);
}

void MainWindow::applyView(View view)
{
    view_ = view;
    const bool convert = view == View::Convert;
    if (!convert) {
        toolbar_->hide();
        panel_->hide();
        slide_->hide();
        taskList_->hide();
        for (GlowButton* b : bottomButtons_)
            b->hide();
    }
    if (view != View::Convert)
        ensurePages();
    if (player_) {
        player_->setVisible(view == View::Player);
        help_->setVisible(view == View::Help);
        options_->setVisible(view == View::Options);
    }

    switch (view) {
    case View::Convert:
        toolbar_->show();
        panel_->setVisible(slide_->isOpen() && !slide_->sliding());
        taskList_->show();
        for (GlowButton* b : bottomButtons_)
            b->show();
        break;
    default: break;
    }
}

void MainWindow::paintEvent(QPaintEvent*)
{
    ensureContents();
    QPainter p(this);
    p.drawImage(0, 0, frame_.image());
    if (!pagesScheduled_) {
        pagesScheduled_ = true;
        QTimer::singleShot(0, this, &MainWindow::ensurePages);
    }
}

QImage MainWindow::panelPicture() const { return panel_->grab().toImage(); }

} // namespace qf::ui
