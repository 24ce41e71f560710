// The main window as a user meets it: the views and their tabs, the Start
// prompts, the close confirmation, drop routing, the open-file dialog and
// the request hub. Real children, real probe; no conversion runs here.
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTextBrowser>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "core/messages.h"
#include "player/playlist_model.h"
#include "settings/settings.h"
#include "tasks/task_list_model.h"
#include "ui/controls/glow_button.h"
#include "ui/controls/skin_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/help_panel.h"
#include "ui/main/main_window.h"
#include "ui/main/options_panel.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/support/main_window_fixture.h"
#include "ui/notify/tray_icon.h"
#include "ui/player/player_window.h"
#include "ui/shell/message_dispatch.h"
#include "ui/support/window_test_support.h"
#include "ui/ui_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;
using View = MainWindow::View;

namespace {

class MainWindowTest : public MainWindowFixture {
protected:
    QPoint centreOf(int id) const { return window->control(id)->geometry().center(); }
    void press(int id) { QTest::mouseClick(window->control(id), Qt::LeftButton); }
    int rows() const { return window->taskList()->model().rowCount(); }
};

} // namespace

TEST_F(MainWindowTest, FrameTitleAndStartingView)
{
    EXPECT_EQ(window->size(), QSize(860, 601));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillfer3.5"));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    // The rounded region cuts the corners.
    EXPECT_FALSE(window->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window->mask().contains(QPoint(430, 300)));
    EXPECT_EQ(window->currentView(), View::Convert);
    EXPECT_TRUE(window->tabButton(View::Convert)->isSelected());
    EXPECT_FALSE(window->control(MainWindow::kShowHelp)->isVisible());
    EXPECT_TRUE(window->taskList()->isVisible());
    EXPECT_TRUE(window->parameterPanel()->isVisible());
    EXPECT_TRUE(window->toolbar()->isVisible());
    EXPECT_FALSE(window->playerWindow()->isVisible());
    // The frame: skin colour inside, the title drawn in the caption strip.
    const QImage shot = window->grab().toImage();
    EXPECT_EQ(shot.pixelColor(430, 590), shot.pixelColor(431, 590));
    EXPECT_EQ(window->control(MainWindow::kClose)->geometry(), QRect(826, 8, 30, 30));
    EXPECT_EQ(window->control(MainWindow::kOpenFiles)->geometry(), QRect(30, 560, 37, 37));
}

TEST_F(MainWindowTest, TabsSwitchViewsAndTheSelectedTabOnlyPlaysItsSound)
{
    SoundLog sounds;
    press(MainWindow::kTabHelp);
    EXPECT_EQ(window->currentView(), View::Help);
    EXPECT_TRUE(window->helpPanel()->isVisible());
    EXPECT_FALSE(window->taskList()->isVisible());
    EXPECT_FALSE(window->control(MainWindow::kStart)->isVisible());
    EXPECT_TRUE(window->tabButton(View::Help)->isSelected());
    EXPECT_FALSE(window->tabButton(View::Convert)->isSelected());

    press(MainWindow::kTabOptions);
    EXPECT_TRUE(window->optionsPanel()->isVisible());
    EXPECT_FALSE(window->helpPanel()->isVisible());

    press(MainWindow::kTabPlayer);
    EXPECT_TRUE(window->playerWindow()->isVisible());
    EXPECT_EQ(window->playerWindow()->geometry(), QRect(7, 63, 846, 538));
    EXPECT_FALSE(window->optionsPanel()->isVisible());

    // Pressing the tab that is already selected: the sound, nothing else.
    window->playerWindow()->hide();
    press(MainWindow::kTabPlayer);
    EXPECT_FALSE(window->playerWindow()->isVisible());
    window->playerWindow()->show();

    press(MainWindow::kTabConvert);
    EXPECT_TRUE(window->taskList()->isVisible());
    EXPECT_TRUE(window->parameterPanel()->isVisible());
    for (int id : {MainWindow::kOpenFiles, MainWindow::kDelete, MainWindow::kStart, MainWindow::kStop})
        EXPECT_TRUE(window->control(id)->isVisible());
    EXPECT_FALSE(window->playerWindow()->isVisible());
    EXPECT_EQ(sounds.played, std::vector<Sound>(5, Sound::Start));
}

TEST_F(MainWindowTest, StartPromptsAndTheirCheckBoxes)
{
    {
        BoxAnswerer answers({{0, true}});
        window->command(MainWindow::kStart);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()),
                  q("请先打开要转换的文件或直接将文件拖拽到列表中,再进行转换。"));
        EXPECT_EQ(answers.seen()[0].checkText, q("以后不要再弹出这个提示。"));
    }
    EXPECT_FALSE(qf::settings::current().promptNoFiles());
    {
        // Ticked once: the box stays away.
        BoxAnswerer answers;
        window->command(MainWindow::kStart);
        pumpFor(60);
        EXPECT_TRUE(answers.seen().empty());
    }

    window->taskList()->addFiles({q(longClip())});
    ASSERT_TRUE(waitForAddedFiles());
    ASSERT_EQ(rows(), 1);
    {
        BoxAnswerer answers({{0, false}});
        window->command(MainWindow::kStart);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()), q("请在列表中勾选要转换的条目,再点击开始。"));
        EXPECT_TRUE(qf::settings::current().promptNoneChecked());
        EXPECT_FALSE(window->taskList()->isConverting());
    }

    // A checked row: the start-time box with its shutdown choice, then the run.
    window->taskList()->model().setChecked(0, true);
    // But not with a stop time before the start: that is said, and nothing starts.
    qf::convert::ConversionSettings* times[]
        = {window->taskList()->model().task(0), window->parameterPanel()->currentSettings()};
    for (qf::convert::ConversionSettings* record : times) {
        record->startTime = "00:02:00";
        record->endPosition = "00:01:00";
    }
    {
        BoxAnswerer answers({{0, false}});
        window->command(MainWindow::kStart);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()), q("停止时间必须晚于开始时间。"));
        EXPECT_FALSE(window->taskList()->isConverting());
    }
    for (qf::convert::ConversionSettings* record : times) {
        record->startTime.clear();
        record->endPosition.clear();
    }
    {
        BoxAnswerer answers({{0, true}});
        window->command(MainWindow::kStart);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()), q("提示信息"));
        EXPECT_EQ(answers.seen()[0].checkText, q("转换任务完成后关闭计算机。"));
    }
    EXPECT_TRUE(qf::settings::current().shutdownWhenDone());
    EXPECT_TRUE(window->taskList()->isConverting());
    EXPECT_EQ(sendMessage(window.get(), qf::core::WM_MAIN_REQUEST, qf::core::REQ_IS_CONVERTING, 0), 1);
    // Start while converting does nothing at all: no box.
    {
        BoxAnswerer answers;
        window->command(MainWindow::kStart);
        pumpFor(60);
        EXPECT_TRUE(answers.seen().empty());
    }
    qf::settings::current().setShutdownWhenDone(false);
    window->command(MainWindow::kStop);
    EXPECT_TRUE(pumpUntil([&] { return !window->taskList()->isConverting(); }, 20000));
}

TEST_F(MainWindowTest, DropsGoWhereTheCursorSays)
{
    const QString clip = q(shortClip());
    const QPoint playerTab = window->tabButton(View::Player)->geometry().center();
    const QPoint convertTab = window->tabButton(View::Convert)->geometry().center();

    // Convert view: anywhere but the "播放" tab adds tasks.
    dropOn(window.get(), {clip}, QPoint(400, 400));
    EXPECT_EQ(rows(), 1);
    dropOn(window.get(), {clip}, playerTab);
    EXPECT_EQ(window->currentView(), View::Player);
    EXPECT_EQ(window->playerWindow()->playlist().rowCount(), 1);
    EXPECT_EQ(rows(), 1);

    // Another view: only the two tabs take a drop.
    press(MainWindow::kTabHelp);
    dropOn(window.get(), {clip}, QPoint(400, 300));
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(window->currentView(), View::Help);
    dropOn(window.get(), {clip}, convertTab);
    EXPECT_EQ(window->currentView(), View::Convert);
    EXPECT_EQ(rows(), 2);
    window->playerWindow()->engine().stopPlayback();
}

TEST_F(MainWindowTest, EveryChosenFileReachesTheListHoweverLongTheSelection)
{
    // Forty names of 120 bytes each: far more than a 260-character buffer.
    const std::string folder = kDataDir + "/many-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    QStringList chosen;
    for (int i = 0; i < 40; ++i) {
        const std::string path = folder + "/" + std::string(100, 'n') + "-" + std::to_string(i) + ".avi";
        std::filesystem::copy_file(shortClip(), path, std::filesystem::copy_options::overwrite_existing);
        chosen.push_back(q(path));
    }
    window->setFilePicker([&](QWidget*) { return chosen; });
    press(MainWindow::kOpenFiles);
    ASSERT_TRUE(waitForAddedFiles());
    EXPECT_EQ(rows(), 40);
    std::filesystem::remove_all(folder);

    window->setFilePicker([](QWidget*) { return QStringList(); });
    press(MainWindow::kOpenFiles);
    EXPECT_EQ(rows(), 40);
}

TEST_F(MainWindowTest, RefusedFilesOfOneDropShareOneBox)
{
    const QString text = q(writeFile("notes.txt", "just words\n"));
    const QString empty = q(writeFile("empty.avi", ""));
    // A folder adds the media under it: one that holds none adds nothing.
    const std::string folder = kDataDir + "/no media here";
    std::filesystem::create_directories(folder);
    BoxAnswerer answers;
    dropOn(window.get(), {text, q(shortClip()), empty, q(folder)}, QPoint(400, 400));
    EXPECT_EQ(rows(), 1);
    ASSERT_EQ(answers.seen().size(), 1u);
    const QString said = answers.seen()[0].lines.join(QStringLiteral("\n"));
    EXPECT_TRUE(said.startsWith(q("不能识别的文件类型。"))) << said.toStdString();
    EXPECT_TRUE(said.contains(text));
    EXPECT_TRUE(said.contains(empty));
}

TEST_F(MainWindowTest, RequestsReachTheirReceivers)
{
    using namespace qf::core;
    EXPECT_EQ(sendMessage(window.get(), WM_MAIN_REQUEST, REQ_GET_SETTINGS, 0),
              reinterpret_cast<intptr_t>(window->parameterPanel()->currentSettings()));
    EXPECT_EQ(sendMessage(window.get(), WM_MAIN_REQUEST, REQ_IS_CONVERTING, 0), 0);
    EXPECT_EQ(sendMessage(window.get(), WM_MAIN_REQUEST, 77, 0), 1);
    // REQ_ALL_DONE without the shutdown choice leaves the window open.
    qf::settings::current().setShutdownWhenDone(false);
    postMessage(window.get(), WM_MAIN_REQUEST, REQ_ALL_DONE, 0);
    pumpFor(50);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, CloseWithNothingRunningNeedsNoAnswer)
{
    BoxAnswerer answers;
    EXPECT_TRUE(window->requestClose());
    EXPECT_TRUE(answers.seen().empty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, SystemMenuAndTray)
{
    QMenu* menu = window->systemMenu();
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions()[2]->text(), q("隐藏到托盘(&D)"));
    EXPECT_TRUE(menu->actions()[3]->isSeparator());
    window->command(MainWindow::kHideToTray);
    pumpFor(20);
    EXPECT_TRUE(window->isMinimized() || !window->isVisible());
    window->command(qf::ui::kCmdShowWindow);
    pumpFor(20);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, HelpViewShowsTheShippedPage)
{
    press(MainWindow::kTabHelp);
    HelpPanel* help = window->helpPanel();
    EXPECT_TRUE(QFileInfo::exists(help->page().toLocalFile())) << help->page().toString().toStdString();
    EXPECT_TRUE(help->busy());
    const QString text = help->browser()->toPlainText();
    EXPECT_TRUE(text.contains(q("添加要转换的文件"))) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(q("使用播放器")));
    pumpUntil([&] { return !help->busy(); }, 3000);
    EXPECT_FALSE(help->busy());
}
