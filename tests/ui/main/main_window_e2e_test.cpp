// The main window through real conversions with the real helper kit and
// ffmpeg: a file dropped, a device chosen, its row checked and started,
// answered and finished; a stop; a close in the middle of a run; the
// shutdown after the last task; the save flow from a shut panel.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "core/program_directory.h"
#include "settings/configuration_file.h"
#include "tasks/task_list_model.h"
#include "tasks/task_state.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_header.h"
#include "ui/controls/small_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/save_preset_dialog.h"
#include "ui/convert/task_item_model.h"
#include "ui/convert/task_list_view.h"
#include "ui/main/main_window.h"
#include "ui/main/options_panel.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/slide_panel.h"
#include "ui/main/support/main_window_fixture.h"
#include "ui/notify/confirm_box.h"
#include "ui/shell/qt_shell.h"
#include "ui/support/window_test_support.h"

using namespace qf::ui;
using namespace qf::ui::test;
namespace stdfs = std::filesystem;

namespace {

class MainWindowRun : public MainWindowFixture {
protected:
    qf::tasks::TaskListModel& list() const { return window->taskList()->model(); }
    QString cell(int row, int column) const { return toQ(list().row(row).text[static_cast<size_t>(column)]); }

    // A drop on the list, where a user lets go of files.
    void dropOnList(const std::string& path)
    {
        const QPoint at = window->taskList()->geometry().center();
        dropOn(window.get(), {q(path)}, at);
    }
    // Clicks the row's check box as a user does (which selects the row too).
    void clickCheckBox(int row)
    {
        TaskListView* view = window->taskList();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->checkBoxRect(row).center());
    }
    // Picks a combo row with the keyboard, as a user does.
    void choose(int comboId, int row)
    {
        auto* combo = qobject_cast<QComboBox*>(window->parameterPanel()->control(comboId));
        ASSERT_NE(combo, nullptr) << comboId;
        ASSERT_LT(row, combo->count());
        combo->setFocus();
        while (combo->currentIndex() < row)
            QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > row)
            QTest::keyClick(combo, Qt::Key_Up);
    }
    void startAnswering(bool shutdownChoice)
    {
        BoxAnswerer answers({{0, shutdownChoice}});
        QTest::mouseClick(window->control(MainWindow::kStart), Qt::LeftButton);
        ASSERT_EQ(answers.seen().size(), 1u);
        ASSERT_EQ(answers.seen()[0].lines.join(QString()), q("提示信息"));
    }
    bool waitForState(int row, const char* text, int timeoutMs)
    {
        return pumpUntil([&] { return list().rowCount() > row && cell(row, qf::tasks::kColumnState) == q(text); },
                         timeoutMs);
    }
    int encodersRunning() const { return countProcesses(outputFolder()); }
    QWidget* listViewport() const { return window->taskList()->viewport(); }
    // A point in the row's source column, away from its check box.
    QPoint inRow(int row) const
    {
        TaskListView* view = window->taskList();
        return QPoint(view->header()->sectionViewportPosition(5) + 5, view->rowRect(row).center().y());
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(listViewport(), Qt::LeftButton, modifiers, inRow(row));
        pumpFor(20);
    }
    void clickEmptyPartOfTheList()
    {
        TaskListView* view = window->taskList();
        QTest::mouseClick(listViewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(inRow(0).x(), view->rowRect(list().rowCount() - 1).bottom() + 30));
        pumpFor(20);
    }
    bool allDone() const
    {
        for (int r = 0; r < list().rowCount(); ++r)
            if (cell(r, qf::tasks::kColumnState) != q("已完成"))
                return false;
        return !window->taskList()->isConverting();
    }
};

std::string probeFormat(const std::string& path)
{
    return shell("ffprobe -v error -show_entries format=format_name -of default=noprint_wrappers=1:nokey=1 '" + path
                 + "'");
}

// The brand of an MP4-family file ("3gp5", "isom", ...), or the container's name.
std::string probeBrand(const std::string& path)
{
    const std::string brand = shell("ffprobe -v error -show_entries format_tags=major_brand -of "
                                    "default=noprint_wrappers=1:nokey=1 '"
                                    + path + "'");
    return brand.empty() ? probeFormat(path) : brand;
}

std::string probeField(const std::string& path, const std::string& entries)
{
    return shell("ffprobe -v error -select_streams v:0 -show_entries " + entries
                 + " -of default=noprint_wrappers=1:nokey=1 '" + path + "'");
}

} // namespace

TEST_F(MainWindowRun, DropChooseCheckStartAndFinish)
{
    dropOnList(shortClip());
    ASSERT_EQ(list().rowCount(), 1);
    EXPECT_EQ(cell(0, qf::tasks::kColumnState), q("未完成"));

    clickCheckBox(0);
    EXPECT_TRUE(list().row(0).checked);
    EXPECT_TRUE(list().row(0).selected);
    // PSP, its one model, then mp4-X264,AAC (the format list's second row).
    choose(1019, 2);
    choose(1020, 0);
    choose(1021, 1);
    EXPECT_EQ(window->parameterPanel()->currentSettings()->outputFormat, 2);
    EXPECT_EQ(cell(0, qf::tasks::kColumnFormat), q("mp4-X264,AAC"));

    startAnswering(false);
    EXPECT_FALSE(qf::settings::current().shutdownWhenDone());
    ASSERT_TRUE(waitForState(0, "已完成", 180000)) << cell(0, qf::tasks::kColumnState).toStdString();
    EXPECT_EQ(cell(0, qf::tasks::kColumnProgress), QStringLiteral("100%"));
    const std::string output = list().task(0)->outputPath.c_str();
    EXPECT_EQ(output.rfind(outputFolder(), 0), 0u) << output;
    ASSERT_TRUE(stdfs::exists(output)) << output;
    EXPECT_EQ(probeField(output, "stream=codec_name"), "h264\n");
    EXPECT_FALSE(window->taskList()->isConverting());
}

TEST_F(MainWindowRun, StopButtonStopsTheRunAndLeavesNothingRunning)
{
    dropOnList(longClip());
    clickCheckBox(0);
    choose(1019, 4); // DVD: two passes, slow enough to stop in the middle
    startAnswering(false);
    ASSERT_TRUE(
        pumpUntil([&] { return qf::tasks::isActiveState(list().task(0)->state) && encodersRunning() > 0; }, 30000));
    {
        // Delete keeps the running row and says why.
        BoxAnswerer answers({{0, false}});
        QTest::mouseClick(window->control(MainWindow::kDelete), Qt::LeftButton);
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()), q(TaskListView::kKeptRowsText));
        EXPECT_EQ(list().rowCount(), 1);
    }
    QTest::mouseClick(window->control(MainWindow::kStop), Qt::LeftButton);
    ASSERT_TRUE(waitForState(0, "未完成", 20000)) << cell(0, qf::tasks::kColumnState).toStdString();
    EXPECT_TRUE(pumpUntil([&] { return !window->taskList()->isConverting(); }, 5000));
    EXPECT_EQ(encodersRunning(), 0);
    EXPECT_FALSE(stdfs::exists(list().task(0)->outputPath.c_str()));
}

TEST_F(MainWindowRun, CloseDuringARunAsksThenStopsEverything)
{
    dropOnList(longClip());
    clickCheckBox(0);
    choose(1019, 3); // Flash Player
    startAnswering(false);
    ASSERT_TRUE(pumpUntil([&] { return encodersRunning() > 0; }, 30000));
    const std::string output = list().task(0)->outputPath.c_str();

    {
        // No: the window stays and the run goes on.
        BoxAnswerer answers({{1, false}});
        EXPECT_FALSE(window->requestClose());
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines.join(QString()), q("转换任务正在进行,你确认要关闭程序？"));
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->taskList()->isConverting());
    }
    {
        BoxAnswerer answers({{0, false}});
        QTest::mouseClick(window->control(MainWindow::kClose), Qt::LeftButton);
        ASSERT_EQ(answers.seen().size(), 1u);
    }
    EXPECT_FALSE(window->isVisible());
    window.reset(); // what the program does when its window has closed
    EXPECT_EQ(encodersRunning(), 0);
    EXPECT_FALSE(stdfs::exists(output)) << "a half-written output was left: " << output;
    for (const auto& entry : stdfs::directory_iterator(outputFolder()))
        ADD_FAILURE() << "left in the output folder: " << entry.path();
}

TEST_F(MainWindowRun, ACloseAskedDuringARunGoesAheadWhenTheRunEndsFirst)
{
    dropOnList(shortClip());
    clickCheckBox(0);
    choose(1019, 7); // MP3
    startAnswering(false);
    ASSERT_TRUE(window->taskList()->isConverting());
    bool asked = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, &look,
                     [&] { asked = asked || qobject_cast<ConfirmBox*>(QApplication::activeModalWidget()); });
    look.start(20);
    // Nobody answers: the box goes when the run has ended, and the window with it.
    EXPECT_TRUE(window->requestClose());
    EXPECT_TRUE(asked);
    EXPECT_EQ(cell(0, qf::tasks::kColumnState), q("已完成"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowRun, ShutdownAfterTheLastTaskWhenChosen)
{
    dropOnList(shortClip());
    clickCheckBox(0);
    choose(1019, 7); // MP3: the quickest run
    startAnswering(true);
    EXPECT_TRUE(qf::settings::current().shutdownWhenDone());
    ASSERT_TRUE(waitForState(0, "已完成", 120000));
    EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }, 5000));
    const std::string calls = shutdownLog();
    EXPECT_EQ(calls.rfind("-P +1 ", 0), 0u) << calls;
    EXPECT_NE(calls.find("全部转换任务已经完成"), std::string::npos) << calls;
    EXPECT_NE(calls.find("shutdown -c"), std::string::npos) << calls;
}

TEST_F(MainWindowRun, AFailedShutdownLeavesTheWindowOpen)
{
    setShutdownStatus(1);
    dropOnList(shortClip());
    clickCheckBox(0);
    choose(1019, 7);
    startAnswering(true);
    ASSERT_TRUE(waitForState(0, "已完成", 120000));
    pumpFor(300);
    EXPECT_FALSE(shutdownLog().empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowRun, SaveFromAShutPanelSlidesItOpenFirst)
{
    SmallButton* toggle = window->toolbar()->toggleButton();
    QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return !window->slidePanel()->isOpen() && !window->slidePanel()->sliding(); }, 3000));
    EXPECT_FALSE(window->parameterPanel()->isVisible());
    EXPECT_EQ(window->taskList()->geometry().top(), 91);

    // The dialog must not open before the panel is open again.
    bool panelWasOpen = false;
    QString typed = QStringLiteral("我的预设");
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
        auto* dialog = qobject_cast<SavePresetDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        panelWasOpen = window->parameterPanel()->isVisible();
        auto* edit = dialog->findChild<QLineEdit*>();
        if (!edit || !edit->isVisible())
            return;
        answer.stop();
        edit->setText(typed);
        QTest::keyClick(edit, Qt::Key_Return);
        if (dialog->isVisible())
            dialog->accept();
    });
    answer.start();
    QTest::mouseClick(window->toolbar()->saveButton(), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return !answer.isActive(); }, 10000));
    pumpFor(50);
    EXPECT_TRUE(panelWasOpen);
    EXPECT_TRUE(window->slidePanel()->isOpen());
    EXPECT_EQ(window->toolbar()->toggleButton()->state(), 1);
    EXPECT_EQ(window->taskList()->geometry().top(), window->parameterPanel()->geometry().bottom() + 1);
    ASSERT_EQ(qf::settings::current().record().presets.size(), 1);
    EXPECT_EQ(toQ(qf::settings::current().record().presets.at(0)->name), typed);
    // On disk at once: a crash or a kill from now on loses nothing.
    const std::string dir = qf::core::programDirectory();
    qf::settings::Configuration onDisk;
    ASSERT_TRUE(qf::settings::loadConfigurationFile(onDisk, (dir + "/cfg").c_str(), dir.c_str(),
                                                    qf::settings::LoadMode::ReadOnly));
    ASSERT_EQ(onDisk.presets.size(), 1);
    EXPECT_EQ(toQ(onDisk.presets.at(0)->name), typed);
    EXPECT_NE(dir, kProgramDir) << "a test must not write the build's cfg";
}

TEST_F(MainWindowRun, EditsWithSeveralRowsSelectedReachEveryRowAndARerunNeverOverwrites)
{
    for (int i = 0; i < 4; ++i)
        dropOnList(shortClip());
    ASSERT_EQ(list().rowCount(), 4);
    TaskListView* view = window->taskList();

    // Ctrl+A, Windows Media, then the selection ends.
    clickRow(0);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    pumpFor(20);
    choose(1019, 6);
    clickEmptyPartOfTheList();
    // Click and Ctrl+click, MP3, then the selection ends.
    clickRow(0);
    clickRow(2, Qt::ControlModifier);
    choose(1019, 7);
    clickEmptyPartOfTheList();
    // Click and Shift+click, Flash Player, and the run starts while they are selected.
    clickRow(1);
    clickRow(2, Qt::ShiftModifier);
    choose(1019, 3);
    QTest::mouseClick(view->skinHeader()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->skinHeader()->checkBoxRect().center());
    ASSERT_TRUE(list().row(3).checked);
    startAnswering(false);

    const char* formats[] = {"mp3", "flv-Flash", "flv-Flash", "wmv-WMVideo"};
    const char* probed[] = {"mp3\n", "flv\n", "flv\n", "asf\n"};
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(cell(r, qf::tasks::kColumnFormat), q(formats[r])) << r;
    ASSERT_TRUE(pumpUntil([&] { return allDone(); }, 240000));
    std::vector<std::string> outputs;
    for (int r = 0; r < 4; ++r) {
        const std::string output = list().task(r)->outputPath.c_str();
        outputs.push_back(output);
        EXPECT_EQ(cell(r, qf::tasks::kColumnOutput), q(output)) << r;
        ASSERT_TRUE(stdfs::exists(output)) << output;
        EXPECT_EQ(probeFormat(output), probed[r]) << output;
    }

    // The same rows again: each gets the next free name (" (2)" where the
    // plain name was its only one) and the first results stay.
    std::vector<uintmax_t> sizes;
    for (const std::string& output : outputs)
        sizes.push_back(stdfs::file_size(output));
    startAnswering(false);
    ASSERT_TRUE(pumpUntil([&] { return allDone(); }, 240000));
    for (int r = 0; r < 4; ++r) {
        const std::string output = list().task(r)->outputPath.c_str();
        const size_t dot = outputs[r].rfind('.');
        if (r == 0 || r == 3) {
            EXPECT_EQ(output, outputs[r].substr(0, dot) + " (2)" + outputs[r].substr(dot)) << r;
        }
        EXPECT_EQ(std::count(outputs.begin(), outputs.end(), output), 0) << output;
        EXPECT_NE(output.find(" ("), std::string::npos) << output;
        ASSERT_TRUE(stdfs::exists(output)) << output;
        EXPECT_EQ(cell(r, qf::tasks::kColumnOutput), q(output));
        EXPECT_EQ(probeFormat(output), probed[r]) << output;
        EXPECT_EQ(stdfs::file_size(outputs[r]), sizes[static_cast<size_t>(r)]) << "the first result was left alone";
    }
}

TEST_F(MainWindowRun, TwoPassProgressRunsOnceFromZeroToAHundred)
{
    dropOnList(shortClip());
    clickCheckBox(0);
    choose(1019, 4); // DVD: two passes
    std::vector<std::pair<QString, int>> seen; // state text, percentage
    QObject::connect(window->taskList()->itemModel(), &QAbstractItemModel::dataChanged, window.get(), [&] {
        const QString progress = cell(0, qf::tasks::kColumnProgress);
        const int percent = progress.chopped(1).toInt();
        if (seen.empty() || seen.back().second != percent || seen.back().first != cell(0, qf::tasks::kColumnState))
            seen.emplace_back(cell(0, qf::tasks::kColumnState), percent);
    });
    startAnswering(false);
    ASSERT_TRUE(waitForState(0, "已完成", 240000)) << cell(0, qf::tasks::kColumnState).toStdString();
    ASSERT_FALSE(seen.empty());
    bool secondPass = false;
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].second, seen[i - 1].second)
            << "fell from " << seen[i - 1].second << " to " << seen[i].second << " in " << seen[i].first.toStdString();
        if (seen[i].first == q("一次编码")) {
            EXPECT_LE(seen[i].second, 50);
        }
        if (seen[i].first == q("二次编码")) {
            secondPass = true;
            EXPECT_GE(seen[i].second, 50);
        }
    }
    EXPECT_TRUE(secondPass) << "a DVD output is made in two passes";
    EXPECT_EQ(seen.back().second, 100);
}

TEST_F(MainWindowRun, SelectingRowsByMouseAndKeyboardNeverChangesThem)
{
    for (int i = 0; i < 3; ++i)
        dropOnList(shortClip());
    ASSERT_EQ(list().rowCount(), 3);
    TaskListView* view = window->taskList();
    // Three formats, each given to its row alone: 3gp, mp4 (XviD), mp3.
    clickRow(0);
    choose(1019, 0);
    clickRow(1);
    choose(1019, 0);
    const int xvid = qobject_cast<QComboBox*>(window->parameterPanel()->control(1021))->findText(q("mp4-XVID,AAC"));
    ASSERT_GE(xvid, 0);
    choose(1021, xvid);
    clickRow(2);
    choose(1019, 7);
    clickEmptyPartOfTheList();
    std::vector<QString> formats;
    for (int r = 0; r < 3; ++r)
        formats.push_back(cell(r, qf::tasks::kColumnFormat));
    ASSERT_NE(formats[0], formats[1]);
    auto keys = [&](std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>> presses) {
        view->setFocus();
        for (const auto& [key, modifiers] : presses) {
            QTest::keyClick(view, key, modifiers);
            pumpFor(20);
        }
    };

    // Each route twice, the second time in another order; no edit at all.
    for (const auto& [first, last] : {std::pair{0, 2}, std::pair{2, 0}}) {
        clickRow(first);
        clickRow(1, Qt::ControlModifier);
        clickRow(last, Qt::ControlModifier);
        clickEmptyPartOfTheList();
        clickRow(first);
        clickRow(last, Qt::ShiftModifier);
        clickEmptyPartOfTheList();
        clickRow(first);
        const Qt::Key toward = first == 0 ? Qt::Key_Down : Qt::Key_Up;
        const Qt::Key back = first == 0 ? Qt::Key_Up : Qt::Key_Down;
        keys({{toward, Qt::ShiftModifier},
              {toward, Qt::ShiftModifier},
              {back, Qt::NoModifier},
              {Qt::Key_A, Qt::ControlModifier},
              {toward, Qt::NoModifier}});
        clickEmptyPartOfTheList();
        for (int r = 0; r < 3; ++r)
            ASSERT_EQ(cell(r, qf::tasks::kColumnFormat), formats[static_cast<size_t>(r)])
                << "row " << r << " from " << first;
    }

    QTest::mouseClick(view->skinHeader()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->skinHeader()->checkBoxRect().center());
    startAnswering(false);
    ASSERT_TRUE(pumpUntil([&] { return allDone(); }, 240000));
    std::vector<std::string> outputs;
    for (int r = 0; r < 3; ++r) {
        outputs.push_back(list().task(r)->outputPath.c_str());
        EXPECT_EQ(cell(r, qf::tasks::kColumnFormat), formats[static_cast<size_t>(r)]);
        ASSERT_TRUE(stdfs::exists(outputs.back())) << outputs.back();
    }
    EXPECT_EQ(probeBrand(outputs[0]).substr(0, 3), "3gp") << outputs[0];
    EXPECT_EQ(probeField(outputs[1], "stream=codec_name"), "mpeg4\n") << outputs[1];
    EXPECT_NE(probeBrand(outputs[1]).substr(0, 3), "3gp") << outputs[1];
    EXPECT_EQ(probeFormat(outputs[2]), "mp3\n") << outputs[2];
}

TEST_F(MainWindowRun, EveryOutputGoesWhereItsRowSaysAfterTheFolderChanges)
{
    // A tree with the same name in two folders, kept below the output folder.
    const std::string tree = outputFolder() + "-tree";
    stdfs::remove_all(tree);
    stdfs::create_directories(tree + "/sub");
    for (const std::string& to : {tree + "/clip.avi", tree + "/sub/clip.avi", tree + "/zz.avi"})
        stdfs::copy_file(shortClip(), to);
    qf::settings::current().setKeepFolderTree(true);
    choose(1019, 7); // MP3: the quickest
    dropOnList(tree);
    ASSERT_EQ(list().rowCount(), 3);
    // In name order, each showing where it will write.
    const std::string first = outputFolder() + "-first";
    const std::string second = outputFolder() + "-second";
    stdfs::create_directories(second);
    // A file of the plain name stands in the second folder already.
    std::ofstream(second + "/zz.avi-mp3.mp3") << "taken";
    auto chooseFolder = [&](const std::string& folder) {
        window->toolbar()->setFolderPicker([folder](QWidget*, const QString&) { return q(folder); });
        QTest::mouseClick(window->toolbar()->folderButton(), Qt::LeftButton);
        // The last row has not started in either case: it follows the folder.
        EXPECT_TRUE(pumpUntil(
            [&] { return cell(list().rowCount() - 1, qf::tasks::kColumnOutput).startsWith(q(folder + "/")); }, 5000))
            << folder;
    };
    chooseFolder(first);
    const std::vector<std::string> before
        = {first + "/clip.avi-mp3.mp3", first + "/sub/clip.avi-mp3.mp3", first + "/zz.avi-mp3.mp3"};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(cell(r, qf::tasks::kColumnOutput), q(before[static_cast<size_t>(r)])) << r;
        EXPECT_TRUE(TaskListView::hoverText(*list().task(r)).endsWith(q(before[static_cast<size_t>(r)])));
    }
    // Without the tree the two clips share a name: the second is numbered.
    QTest::mouseClick(window->tabButton(MainWindow::View::Options), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return window->optionsPanel()->isVisible(); }, 5000));
    QWidget* keepTree = window->optionsPanel()->control(OptionsPanel::kKeepTreeId);
    ASSERT_NE(keepTree, nullptr);
    QTest::mouseClick(keepTree, Qt::LeftButton);
    EXPECT_FALSE(qf::settings::current().keepFolderTree());
    EXPECT_EQ(cell(1, qf::tasks::kColumnOutput), q(first + "/clip.avi-mp3 (2).mp3"));
    QTest::mouseClick(keepTree, Qt::LeftButton);
    EXPECT_EQ(cell(1, qf::tasks::kColumnOutput), q(before[1]));
    QTest::mouseClick(window->tabButton(MainWindow::View::Convert), Qt::LeftButton);
    ASSERT_TRUE(pumpUntil([&] { return window->taskList()->isVisible(); }, 5000));

    // Started, then the folder changes while the first row runs: the rows
    // still queued follow it.
    QTest::mouseClick(window->taskList()->skinHeader()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      window->taskList()->skinHeader()->checkBoxRect().center());
    startAnswering(false);
    chooseFolder(second);
    const std::vector<std::string> planned
        = {before[0], second + "/sub/clip.avi-mp3.mp3", second + "/zz.avi-mp3 (2).mp3"};
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(cell(r, qf::tasks::kColumnOutput), q(planned[static_cast<size_t>(r)])) << r;
    ASSERT_TRUE(pumpUntil([&] { return allDone(); }, 240000));
    for (int r = 0; r < 3; ++r) {
        const std::string& output = planned[static_cast<size_t>(r)];
        EXPECT_EQ(std::string(list().task(r)->outputPath.c_str()), output);
        EXPECT_EQ(probeFormat(output), "mp3\n") << output;
    }
    std::error_code ec;
    stdfs::remove_all(tree, ec);
    stdfs::remove_all(first, ec);
    stdfs::remove_all(second, ec);
}
