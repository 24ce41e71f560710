// The task list view: the rows as painted (colours and check-box geometry at
// exact pixels), check clicks against selection, the selection rules fed to
// the model, the right-click tip, dropped files with one refusal box, and real
// conversions through the view with the helper kit: done, stopped, and the
// view destroyed mid-run.

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "core/clock_time.h"
#include "core/messages.h"
#include "settings/settings.h"
#include "tasks/task_state.h"
#include "ui/controls/skin_header.h"
#include "ui/convert/support/task_list_support.h"
#include "ui/convert/task_item_model.h"
#include "ui/convert/task_list_view.h"
#include "ui/convert/task_row_painter.h"
#include "ui/notify/floating_tip.h"
#include "ui/shell/file_manager.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"
#include "ui/support/window_test_support.h"
#include "ui/ui_test_support.h"

namespace qf::ui {
namespace {

namespace stdfs = std::filesystem;
using namespace tasklist;
using test::FakeHub;

QColor rgb(uint32_t bgr) { return skin::colorRef(bgr); }
// Text is drawn with grey levels at its edges: the cores of the strokes count.
bool isBlackInk(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; }
bool isYellowInk(QColor c) { return c.red() > 220 && c.green() > 220 && c.blue() < 140; }

class TaskListViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::setUpRealTools(); }

    TaskListViewTest()
    {
        outDir
            = test::dataDir() + "/out-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        stdfs::remove_all(outDir);
        settings::current().setOutputFolder(outDir.c_str());
        clip = test::makeClip("short clip", 2);
        view = std::make_unique<TaskListView>(&hub, test::realEnvironment());
        view->resize(900, 300);
        view->show();
    }

    // Adds the clip n times.
    void addRows(int n)
    {
        QStringList paths;
        for (int i = 0; i < n; ++i)
            paths << toQ(clip);
        addFiles(paths);
        ASSERT_EQ(view->model().rowCount(), n);
    }
    // As a drop does, then waits until the probing thread is through.
    void addFiles(const QStringList& paths)
    {
        view->addFiles(paths);
        ASSERT_TRUE(test::pumpUntil([&] { return !view->addingFiles(); }, 60000));
    }
    QString cell(int row, int column) const { return toQ(view->model().row(row).text[static_cast<size_t>(column)]); }
    QWidget* vp() const { return view->viewport(); }
    QImage rows() const { return vp()->grab().toImage(); }
    // A point in the row's source column, away from the check box.
    QPoint inText(int row) const
    {
        return QPoint(view->header()->sectionViewportPosition(5) + 5, view->rowRect(row).center().y());
    }

    FakeHub hub;
    std::string outDir;
    std::string clip;
    std::unique_ptr<TaskListView> view;
};

TEST_F(TaskListViewTest, ColumnsHeaderAndInitialWidths)
{
    const char* texts[] = {"", "编码", "状态", "耗时", "进度", "资源", "输出"};
    const int widths[] = {22, 80, 60, 60, 60, 270, 270};
    ASSERT_EQ(view->header()->count(), 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(view->itemModel()->headerData(c, Qt::Horizontal).toString(), toQ(texts[c])) << c;
        EXPECT_EQ(view->header()->sectionSize(c), widths[c]) << c;
    }
    EXPECT_EQ(view->header(), view->skinHeader());
    EXPECT_FALSE(view->acceptDrops()) << "the main window takes every drop";

    addRows(1);
    EXPECT_EQ(cell(0, 1), toQ(view->model().task(0)->formatLabel()));
    EXPECT_EQ(cell(0, 2), QStringLiteral("未完成"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("00:00:00"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("0%"));
    EXPECT_EQ(cell(0, 5), toQ(clip));
    EXPECT_TRUE(cell(0, 6).endsWith(QStringLiteral("-flv.flv"))) << cell(0, 6).toStdString();
    EXPECT_EQ(view->rowRect(0).height(), kRowHeight);
    EXPECT_EQ(view->visualRect(view->itemModel()->index(1, 0)), QRect()) << "one row only";
}

TEST_F(TaskListViewTest, RowsPaintedInTheListColoursWithTheCheckBoxInPlace)
{
    addRows(3);
    view->model().setChecked(0, true);
    test::click(vp(), inText(1));
    ASSERT_TRUE(view->model().row(1).selected);
    const QImage img = rows();

    const QHeaderView* header = view->header();
    const int cx = header->sectionViewportPosition(0) + header->sectionSize(0) / 2;
    const int cy = header->height() / 2;
    for (int row = 0; row < 3; ++row) {
        const QRect band = view->rowRect(row);
        const QRect box = view->checkBoxRect(row);
        EXPECT_EQ(band.top(), row * kRowHeight);
        EXPECT_EQ(box.size(), QSize(13, 13));
        EXPECT_EQ(box.left(), cx - 7) << "the header box's left edge";
        EXPECT_EQ(box.right() + 1, cx + 6) << "and its right edge";
        // cy - 4 below the row's top; the header is taller than the rows
        // allow for, so the box stays centred in the row proper.
        EXPECT_EQ(box.top() - band.top(), std::min(cy - 4, 4)) << cy;
        EXPECT_GE(box.top() - 1, band.top() + 1) << "the white margin stays inside the row";
        EXPECT_LE(box.bottom() + 1, band.top() + 18);

        const bool selected = row == 1;
        const QColor fill = rgb(selected ? kSelectedRowColour : kRowColour);
        const int quietX = header->sectionViewportPosition(4) + 3; // left of the centred "0%"
        EXPECT_EQ(img.pixelColor(quietX, band.top() + 10), fill) << row;
        EXPECT_EQ(img.pixelColor(quietX, band.top() + 20), rgb(kBackgroundColour)) << "the gap below row " << row;
        if (selected) {
            EXPECT_EQ(img.pixelColor(quietX, band.top()), rgb(kEdgeLightColour));
            EXPECT_EQ(img.pixelColor(band.left(), band.top() + 10), rgb(kEdgeLightColour));
            EXPECT_EQ(img.pixelColor(quietX, band.top() + 19), rgb(kEdgeDarkColour));
            EXPECT_EQ(img.pixelColor(band.right(), band.top() + 10), rgb(kEdgeDarkColour));
        } else {
            EXPECT_EQ(img.pixelColor(quietX, band.top()), fill);
            EXPECT_EQ(img.pixelColor(quietX, band.top() + 19), fill);
        }
        // The white margin, the 2-pixel border, the white inside.
        EXPECT_EQ(img.pixelColor(box.left() - 1, box.top() - 1), QColor(Qt::white));
        EXPECT_EQ(img.pixelColor(box.left() - 2, box.top() + 6), fill);
        for (const QPoint p :
             {box.topLeft(), box.topLeft() + QPoint(1, 1), box.bottomRight(), box.bottomRight() - QPoint(1, 1),
              QPoint(box.left() + 6, box.top() + 1), QPoint(box.right() - 1, box.top() + 6)})
            EXPECT_EQ(img.pixelColor(p), rgb(kCheckBorderColour)) << row << " at " << p.x() << "," << p.y();
        EXPECT_EQ(img.pixelColor(box.left() + 2, box.top() + 2), QColor(Qt::white));
        int black = 0;
        for (int y = box.top() + 2; y <= box.bottom() - 2; ++y)
            for (int x = box.left() + 2; x <= box.right() - 2; ++x)
                black += img.pixelColor(x, y) == QColor(Qt::black);
        if (row == 0)
            EXPECT_GE(black, 8) << "the tick of the checked row";
        else
            EXPECT_EQ(black, 0) << "no tick in row " << row;

        // Text colour by selection, within the state column.
        const QRect state(header->sectionViewportPosition(2), band.top(), header->sectionSize(2), 20);
        int selectedInk = 0, normalInk = 0;
        for (int y = state.top(); y <= state.bottom(); ++y)
            for (int x = state.left(); x <= state.right(); ++x) {
                selectedInk += isYellowInk(img.pixelColor(x, y));
                normalInk += isBlackInk(img.pixelColor(x, y));
            }
        EXPECT_EQ(selectedInk > 0, selected) << row;
        EXPECT_EQ(normalInk > 0, !selected) << row;
    }
    // Right of the columns and below the rows: background.
    EXPECT_EQ(img.pixelColor(header->length() + 5, 10), rgb(kBackgroundColour));
    EXPECT_EQ(img.pixelColor(100, 3 * kRowHeight + 5), rgb(kBackgroundColour));

    // The line two pixels above the first row, across the columns only.
    const QImage whole = view->grab().toImage();
    const int firstRowTop = vp()->geometry().top();
    EXPECT_EQ(whole.pixelColor(100, firstRowTop - 2), rgb(kFirstRowLineColour));
    EXPECT_EQ(whole.pixelColor(100, firstRowTop - 1), rgb(kBackgroundColour));
    EXPECT_EQ(whole.pixelColor(header->length() + 5, firstRowTop - 2), rgb(kBackgroundColour));

    view->model().setAllChecks(true);
    view->deleteChecked();
    const QImage empty = view->grab().toImage();
    EXPECT_EQ(empty.pixelColor(100, firstRowTop - 2), rgb(kBackgroundColour)) << "no line without rows";
    EXPECT_EQ(empty.pixelColor(100, firstRowTop + 10), rgb(kBackgroundColour));
}

TEST_F(TaskListViewTest, LongPathsEndInAnEllipsisWithinTheirColumn)
{
    const std::string longName = std::string(120, 'x') + " 很长的文件名.avi";
    const std::string longClip = test::copyAs(clip, longName);
    addFiles({toQ(longClip)});
    ASSERT_EQ(view->model().rowCount(), 1);
    const QHeaderView* header = view->header();
    const int width = header->sectionSize(5) - 2;
    const QString shown = elidedCellText(cell(0, 5), skin::smallFont(), width);
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(skin::smallFont()).horizontalAdvance(shown), width);
    EXPECT_EQ(elidedCellText(QStringLiteral("0%"), skin::smallFont(), 58), QStringLiteral("0%"));

    // The ink stops inside the source column: the output column's first
    // pixels and the source column's last one show the row fill.
    const QImage img = rows();
    const int sourceEnd = header->sectionViewportPosition(6);
    int inkNearEnd = 0;
    for (int y = 2; y < 18; ++y) {
        EXPECT_EQ(img.pixelColor(sourceEnd - 1, y), rgb(kRowColour)) << y;
        EXPECT_EQ(img.pixelColor(sourceEnd, y), rgb(kRowColour)) << y;
        for (int x = sourceEnd - 20; x < sourceEnd - 1; ++x)
            inkNearEnd += isBlackInk(img.pixelColor(x, y));
    }
    EXPECT_GT(inkNearEnd, 0) << "the ellipsis at the end of the cell";
    EXPECT_EQ(cellAlignment(5), Qt::AlignLeft);
    EXPECT_EQ(cellAlignment(3), Qt::AlignHCenter);
}

TEST_F(TaskListViewTest, ACheckClickTogglesOnlyThatRowAndOtherClicksOnlySelect)
{
    addRows(3);
    const int cx = view->header()->sectionViewportPosition(0) + view->header()->sectionSize(0) / 2;
    auto checks = [this] {
        std::string s;
        for (int r = 0; r < view->model().rowCount(); ++r)
            s += view->model().row(r).checked ? '1' : '0';
        return s;
    };
    auto selection = [this] {
        std::string s;
        for (int r = 0; r < view->model().rowCount(); ++r)
            s += view->model().row(r).selected ? (view->model().row(r).focused ? 'F' : 'S') : '-';
        return s;
    };

    test::click(vp(), view->checkBoxRect(1).center());
    EXPECT_EQ(checks(), "010");
    EXPECT_EQ(selection(), "-F-") << "the click selects as usual";
    ASSERT_EQ(hub.loaded.size(), 1u);
    EXPECT_EQ(hub.loaded[0], view->model().task(1)) << "REQ_LOAD_SETTINGS names the newly selected task";

    test::click(vp(), inText(2));
    EXPECT_EQ(checks(), "010") << "a click on the text only selects";
    EXPECT_EQ(selection(), "--F");

    test::click(vp(), QPoint(cx + 7, view->rowRect(0).top() + 1));
    EXPECT_EQ(checks(), "110") << "left of cx + 8 still toggles, even above the box";
    test::click(vp(), QPoint(cx + 8, view->rowRect(0).center().y()));
    EXPECT_EQ(checks(), "110") << "cx + 8 is outside the zone";
    test::click(vp(), QPoint(2, view->rowRect(2).bottom()));
    EXPECT_EQ(checks(), "111") << "the gap below a row belongs to it";
    test::click(vp(), QPoint(5, 3 * kRowHeight + 5));
    EXPECT_EQ(checks(), "111") << "below the rows nothing toggles";

    // A quick second click on a box arrives as a double click: it toggles back.
    test::mouse(vp(), QEvent::MouseButtonPress, view->checkBoxRect(1).center());
    test::mouse(vp(), QEvent::MouseButtonRelease, view->checkBoxRect(1).center());
    test::mouse(vp(), QEvent::MouseButtonDblClick, view->checkBoxRect(1).center());
    test::mouse(vp(), QEvent::MouseButtonRelease, view->checkBoxRect(1).center());
    EXPECT_EQ(checks(), "111");

    // Space toggles the focused row.
    test::click(vp(), inText(0));
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(view.get(), &space);
    EXPECT_EQ(checks(), "011");

    // The header's box sets every row; deleting the checked rows keeps none.
    SkinHeader* header = view->skinHeader();
    test::click(header->viewport(), header->checkBoxRect().center());
    EXPECT_EQ(checks(), "111");
    EXPECT_TRUE(header->checkAll());
    view->header()->resizeSection(1, 150);
    view->deleteChecked();
    EXPECT_EQ(view->model().rowCount(), 0);
    EXPECT_FALSE(header->checkAll());
    const int reset[] = {22, 60, 60, 60, 60, 270, 270};
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(view->header()->sectionSize(c), reset[c]) << "column widths reset with the last row, column " << c;
}

TEST_F(TaskListViewTest, MovingTheSelectionLoadsTheNewRowAndChangesNoRow)
{
    addRows(2);
    test::click(vp(), inText(0));
    const int32_t bitrate = view->model().task(0)->videoBitrateIndex;
    hub.settings.selectModel(3, 0, 9);
    hub.settings.videoBitrateIndex = bitrate + 3;
    hub.log.clear();
    test::click(vp(), inText(1));
    const std::vector<std::string> expected = {"load"};
    EXPECT_EQ(hub.log, expected) << "only the gained row loads; the panel is not read";
    EXPECT_EQ(view->model().task(0)->videoBitrateIndex, bitrate) << "the row that lost the selection is unchanged";
    EXPECT_TRUE(view->model().row(1).selected && view->model().row(1).focused);
    EXPECT_FALSE(view->model().row(0).selected);

    // A programmatic move (keyboard) feeds the model the same way.
    hub.log.clear();
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &up);
    EXPECT_EQ(hub.log, expected);
    EXPECT_TRUE(view->model().row(0).selected && view->model().row(0).focused);
    EXPECT_EQ(hub.loaded.back(), view->model().task(0));
}

TEST_F(TaskListViewTest, RowsComingAndGoingKeepTheSelectionInStepWithTheModel)
{
    addRows(2);
    tasks::ConversionTask* chosen = view->model().task(1);
    test::click(vp(), inText(1));
    hub.log.clear();
    auto inStep = [this] {
        for (int r = 0; r < view->model().rowCount(); ++r)
            if (view->selectionModel()->isRowSelected(r, QModelIndex()) != view->model().row(r).selected)
                return false;
        return true;
    };

    addFiles({toQ(clip)}); // idle: the new row goes on top
    ASSERT_EQ(view->model().rowCount(), 3);
    test::pumpEvents(10);
    EXPECT_EQ(view->model().task(2), chosen);
    EXPECT_TRUE(view->model().row(2).selected);
    EXPECT_TRUE(inStep());
    EXPECT_EQ(view->currentIndex().row(), 2);
    EXPECT_EQ(std::count(hub.log.begin(), hub.log.end(), "load"), 0) << "moving down is no new selection";

    view->model().setChecked(0, true);
    view->deleteChecked();
    test::pumpEvents(10);
    ASSERT_EQ(view->model().rowCount(), 2);
    EXPECT_EQ(view->model().task(1), chosen);
    EXPECT_TRUE(view->model().row(1).selected);
    EXPECT_TRUE(inStep());
    EXPECT_EQ(std::count(hub.log.begin(), hub.log.end(), "load"), 0);

    // The selected row itself goes: nothing is left selected, and the paint
    // of the remaining row is the unselected fill.
    view->model().setChecked(1, true);
    view->deleteChecked();
    test::pumpEvents(10);
    ASSERT_EQ(view->model().rowCount(), 1);
    EXPECT_TRUE(inStep());
    EXPECT_FALSE(view->model().row(0).selected);
    EXPECT_EQ(rows().pixelColor(view->header()->sectionViewportPosition(4) + 3, 10), rgb(kRowColour));
}

TEST_F(TaskListViewTest, RightClickShowsTheTipOfTheSelectedRowUnderIt)
{
    setFloatingTipsEnabled(true);
    addRows(2);
    test::click(vp(), QPoint(100, 2 * kRowHeight + 30), Qt::RightButton);
    EXPECT_EQ(currentInfoPopup(), nullptr) << "nothing on empty space";

    test::click(vp(), inText(1), Qt::RightButton);
    EXPECT_TRUE(view->model().row(1).selected) << "the row under the pointer is selected first";
    FloatingTip* tip = currentInfoPopup();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->text(), TaskListView::tipText(*view->model().task(1)));
    EXPECT_EQ(tip->text(), toQ(probe::formatMediaSummaryText(view->model().task(1)->media)));
    EXPECT_TRUE(tip->text().contains(QStringLiteral("320"))) << tip->text().toStdString();
    delete tip;
}

TEST_F(TaskListViewTest, DroppedPathsAddFilesSkipFoldersAndRefuseInOneBox)
{
    const std::string folder = test::dataDir() + "/a folder";
    stdfs::create_directories(folder);
    const std::string other = test::makeClip("other clip", 1);
    // A link to nothing is missing, not of an unknown type.
    const std::string dangling = test::dataDir() + "/gone.avi";
    stdfs::remove(dangling);
    stdfs::create_symlink(test::dataDir() + "/nothing.avi", dangling);
    QStringList paths = {toQ(folder),
                         toQ(clip),
                         toQ(test::makeTextFile("notes one.txt")),
                         toQ(other),
                         toQ(test::makeTextFile("notes two.txt")),
                         toQ(test::dataDir() + "/missing.avi"),
                         toQ(dangling)};
    {
        test::BoxAnswerer answerer;
        addFiles(paths);
        ASSERT_EQ(answerer.seen().size(), 1u) << "one box for every refusal of the drop";
        const QStringList said = answerer.seen()[0].lines;
        const qsizetype gone = said.indexOf(QStringLiteral("找不到源文件,它可能已被移动或删除。"));
        ASSERT_GT(gone, 0) << said.join(QStringLiteral("\n")).toStdString();
        EXPECT_EQ(said.value(gone + 1), toQ(dangling));
        EXPECT_EQ(said.front(), QStringLiteral("不能识别的文件类型。"));
        EXPECT_FALSE(said.mid(0, gone).contains(toQ(dangling)));
    }
    ASSERT_EQ(view->model().rowCount(), 2);
    EXPECT_EQ(cell(0, 5), toQ(clip)) << "while idle a drop's rows go to the top, in the drop's order";
    EXPECT_EQ(cell(1, 5), toQ(other));

    {
        test::BoxAnswerer answerer;
        addFiles({toQ(clip), toQ(folder)});
        test::pumpEvents(50);
        EXPECT_EQ(answerer.seen().size(), 0u) << "no box when nothing is refused";
    }

    QStringList refused;
    for (int i = 0; i < 25; ++i)
        refused << QStringLiteral("/media/file %1.txt").arg(i);
    const QStringList lines = TaskListView::refusalText(refused).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + TaskListView::kRefusedPathsShown + 1);
    EXPECT_EQ(lines.front(), QStringLiteral("不能识别的文件类型。"));
    EXPECT_EQ(lines[1], refused[0]);
    EXPECT_EQ(lines[TaskListView::kRefusedPathsShown], refused[TaskListView::kRefusedPathsShown - 1]);
    EXPECT_EQ(lines.back(), QStringLiteral("…"));
    EXPECT_EQ(TaskListView::refusalText({QStringLiteral("/a b.txt")}),
              QStringLiteral("不能识别的文件类型。\r\n/a b.txt"));

    hub.haveSettings = false;
    addFiles({toQ(clip)});
    EXPECT_EQ(view->model().rowCount(), 3) << "without the panel's settings nothing is added";
}

TEST_F(TaskListViewTest, ADroppedFolderTreeAddsEveryMediaFileAndCountsTheOthersInOneBox)
{
    // 3 folders, 7 media files (two named alike), 3 files that are not media.
    const std::string tree = test::dataDir() + "/dropped tree";
    stdfs::remove_all(tree);
    stdfs::create_directories(tree + "/a/b");
    stdfs::create_directories(tree + "/c");
    const std::string other = test::makeClip("other clip", 1);
    for (const char* name : {"1.avi", "2.avi", "a/1.avi", "a/3.avi", "a/b/1.avi", "c/4.avi", "c/5.avi"})
        stdfs::copy_file(other, tree + "/" + name);
    for (const char* name : {"readme.txt", "a/notes.txt", "c/cover.txt"})
        std::ofstream(tree + "/" + name) << "not media\n";
    {
        test::BoxAnswerer answerer;
        addFiles({toQ(tree), toQ(test::makeTextFile("notes one.txt"))});
        ASSERT_EQ(answerer.seen().size(), 1u) << "one box for the whole drop";
        const QStringList& lines = answerer.seen().front().lines;
        // The file dropped by itself is named; the folder's are counted.
        EXPECT_TRUE(lines.join(QStringLiteral("\n")).contains(QStringLiteral("notes one.txt")))
            << lines.join(QStringLiteral("|")).toStdString();
        EXPECT_TRUE(lines.join(QStringLiteral("\n")).contains(TaskListView::skippedInFoldersText(3)));
        EXPECT_FALSE(lines.join(QStringLiteral("\n")).contains(QStringLiteral("cover.txt")));
    }
    ASSERT_EQ(view->model().rowCount(), 7);
    std::multiset<std::string> below;
    for (int r = 0; r < 7; ++r)
        below.insert(view->model().task(r)->sourceSubfolder.c_str());
    EXPECT_EQ(below, (std::multiset<std::string>{"", "", "a", "a", "a/b", "c", "c"}));
    // A folder of nothing but other files: the box counts them alone.
    stdfs::remove_all(tree);
    stdfs::create_directories(tree);
    std::ofstream(tree + "/x.txt") << "x";
    test::BoxAnswerer answerer;
    addFiles({toQ(tree)});
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_TRUE(
        answerer.seen().front().lines.join(QStringLiteral("\n")).contains(TaskListView::skippedInFoldersText(1)));
    EXPECT_EQ(view->model().rowCount(), 7);
}

TEST_F(TaskListViewTest, WithTheFolderTreeOptionOutputsMirrorTheDroppedTree)
{
    test::requireHelperKit();
    const bool saved = settings::current().keepFolderTree();
    const std::string tree = test::dataDir() + "/mirrored tree";
    stdfs::remove_all(tree);
    stdfs::create_directories(tree + "/a/b");
    const std::string other = test::makeClip("other clip", 1);
    for (const char* name : {"x.avi", "a/x.avi", "a/b/x.avi"})
        stdfs::copy_file(other, tree + "/" + name);
    addFiles({toQ(tree)});
    ASSERT_EQ(view->model().rowCount(), 3);

    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        stdfs::remove_all(outDir);
        settings::current().setKeepFolderTree(keep);
        view->model().setAllChecks(true);
        ASSERT_TRUE(view->start());
        ASSERT_TRUE(test::pumpUntil([&] { return !view->isConverting(); }, 120000));
        std::set<std::string> made;
        for (const auto& entry : stdfs::recursive_directory_iterator(outDir))
            if (entry.is_regular_file())
                made.insert(entry.path().lexically_relative(outDir).string());
        std::set<std::string> outputs;
        for (int r = 0; r < 3; ++r) {
            const tasks::ConversionTask& task = *view->model().task(r);
            EXPECT_EQ(task.state, tasks::kStateDone);
            const std::string rel = stdfs::path(task.outputPath.c_str()).lexically_relative(outDir).string();
            outputs.insert(rel);
            // Kept: the subfolder the source came from; else all side by side.
            EXPECT_EQ(stdfs::path(rel).parent_path().string(), keep ? task.sourceSubfolder.c_str() : "") << rel;
        }
        // Three files under three names: same-named sources never collide.
        EXPECT_EQ(made, outputs);
        EXPECT_EQ(made.size(), 3u);
    }
    settings::current().setKeepFolderTree(saved);
}

TEST_F(TaskListViewTest, ARealConversionThroughTheView)
{
    test::requireHelperKit();
    addRows(1);
    test::click(vp(), view->checkBoxRect(0).center());
    ASSERT_TRUE(view->model().row(0).checked);
    const std::string output = view->model().task(0)->outputPath.c_str();
    ASSERT_TRUE(view->start());
    EXPECT_TRUE(view->isConverting());
    EXPECT_EQ(cell(0, 2), QStringLiteral("正在转换"));
    EXPECT_FALSE(view->start()) << "a start while busy is ignored";

    // Until the run ends, however it ends.
    ASSERT_TRUE(test::pumpUntil([&] { return !view->isConverting() && hub.allDone == 1; }, 120000))
        << cell(0, 2).toStdString() << " " << cell(0, 4).toStdString();
    ASSERT_EQ(cell(0, 2), QStringLiteral("已完成"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("100%"));
    EXPECT_FALSE(view->isConverting());
    EXPECT_EQ(view->model().task(0)->state, tasks::kStateDone);

    const test::ProbeFacts facts = test::ffprobe(output);
    EXPECT_EQ(facts.formatName, "flv") << output;
    EXPECT_FALSE(facts.videoCodec.empty());
    EXPECT_FALSE(facts.audioCodec.empty());
    EXPECT_NEAR(facts.duration, 2.0, 0.5);
}

// Names that are not UTF-8 (GBK from a Windows archive) or hold a backslash,
// dropped as the file manager sends them: readable rows, and each converts
// under its exact bytes. A name Qt has already decoded lossily (an open
// dialog, a command line) is found in its folder.
TEST_F(TaskListViewTest, DroppedNamesOfAnyBytesShowReadablyAndConvertUnderTheirExactNames)
{
    test::requireHelperKit();
    const std::string folder = test::dataDir() + "/any names";
    stdfs::remove_all(folder);
    stdfs::create_directories(folder);
    const std::string gbk = folder + "/\xc4\xe3\xba\xc3.avi";
    const std::string backslash = folder + "/back\\slash.avi";
    stdfs::copy_file(clip, gbk);
    stdfs::copy_file(clip, backslash);
    QMimeData dropped;
    dropped.setData(QStringLiteral("text/uri-list"),
                    "file://" + QByteArray::fromStdString(gbk).toPercentEncoding("/") + "\r\nfile://"
                        + QByteArray::fromStdString(backslash).toPercentEncoding("/") + "\r\n");
    view->addFiles(localPathsOf(&dropped));
    ASSERT_TRUE(test::pumpUntil([&] { return view->model().rowCount() == 2; }, 10000));
    // The drop's rows go on top in the drop's order.
    EXPECT_EQ(view->model().task(0)->sourcePath, gbk.c_str());
    EXPECT_EQ(view->model().task(1)->sourcePath, backslash.c_str());
    EXPECT_EQ(cell(0, 5), toQ(folder) + QStringLiteral("/你好.avi"));
    EXPECT_EQ(cell(1, 5), toQ(backslash));
    EXPECT_EQ(view->model().task(0)->outputPath, (outDir + "/\xc4\xe3\xba\xc3.avi-flv.flv").c_str());
    EXPECT_EQ(view->model().task(1)->outputPath, (outDir + "/back\\slash.avi-flv.flv").c_str());

    view->addFiles({QFile::decodeName(QByteArray::fromStdString(gbk))});
    ASSERT_TRUE(test::pumpUntil([&] { return view->model().rowCount() == 3; }, 10000));
    EXPECT_EQ(view->model().task(0)->sourcePath, gbk.c_str());

    for (int row : {1, 2})
        test::click(vp(), view->checkBoxRect(row).center());
    ASSERT_TRUE(view->start());
    ASSERT_TRUE(test::pumpUntil([&] { return !view->isConverting() && hub.allDone == 1; }, 120000))
        << cell(1, 2).toStdString() << " " << cell(2, 2).toStdString();
    for (int row : {1, 2}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(cell(row, 2), QStringLiteral("已完成"));
        const std::string output = view->model().task(row)->outputPath.c_str();
        EXPECT_EQ(test::ffprobe(output).formatName, "flv") << output;
    }
    // Row 0 holds the same source and may take the plain name first: row 1's
    // output keeps the exact bytes of its source's name, numbered or not.
    const std::string gbkOutput = view->model().task(1)->outputPath.c_str();
    EXPECT_EQ(gbkOutput.rfind(outDir + "/\xc4\xe3\xba\xc3.avi", 0), 0u) << gbkOutput;
    EXPECT_TRUE(stdfs::exists(gbkOutput)) << gbkOutput;
    EXPECT_TRUE(stdfs::exists(outDir + "/back\\slash.avi-flv.flv"));
}

TEST_F(TaskListViewTest, StopMidConversionAndDestroyMidConversionLeaveNoEncoder)
{
    test::requireHelperKit();
    const std::string longClip = test::makeClip("long clip for stopping", 900, "160x120");
    const std::string marker = "long clip for stopping";
    addFiles({toQ(longClip)});
    ASSERT_EQ(view->model().rowCount(), 1);
    view->model().setChecked(0, true);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(view->start());
    ASSERT_TRUE(test::pumpUntil([&] { return cell(0, 4) != QStringLiteral("0%") || !view->isConverting(); }, 60000));
    ASSERT_TRUE(view->isConverting()) << "ended before a stop: " << cell(0, 2).toStdString();
    EXPECT_EQ(cell(0, 2), QStringLiteral("正在转换"));
    EXPECT_GT(test::processesMentioning(marker), 0) << "the encoder runs";
    // The tick moves the elapsed time of the running row.
    EXPECT_TRUE(
        test::pumpUntil([&] { return cell(0, 3) != QStringLiteral("00:00:00") || !view->isConverting(); }, 30000));
    // Calendar seconds since the start: at least one, and never more than
    // have passed (one more for the calendar's whole seconds).
    const QString elapsed = cell(0, 3);
    const auto passed
        = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(qf::core::isTimeText(elapsed.toStdString().c_str())) << elapsed.toStdString();
    const uint32_t shown = qf::core::parseTime(elapsed.toStdString().c_str());
    EXPECT_GE(shown, 1u) << elapsed.toStdString();
    EXPECT_LE(shown, static_cast<uint32_t>(passed) + 1) << elapsed.toStdString();
    ASSERT_TRUE(view->isConverting()) << "the clip must outlast the checks";
    view->stop();
    ASSERT_TRUE(test::pumpUntil([&] { return !view->isConverting(); }, 10000));
    EXPECT_EQ(cell(0, 2), QStringLiteral("未完成"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("0%")) << "a stopped row keeps no percentage";
    EXPECT_EQ(hub.allDone, 0) << "a stopped run is not all done";
    EXPECT_TRUE(test::pumpUntil([&] { return test::processesMentioning(marker) == 0; }, 30000))
        << "the encoder was ended";

    // Again, and this time the view goes away while the encoder runs.
    ASSERT_TRUE(view->start());
    ASSERT_TRUE(test::pumpUntil([&] { return test::processesMentioning(marker) > 0; }, 30000));
    view.reset();
    // The encoder's group is ended at once; its members are reaped by the
    // system, which may take a moment on a busy machine.
    EXPECT_TRUE(test::pumpUntil([&] { return test::processesMentioning(marker) == 0; }, 30000))
        << "the destructor ends the encoder";
}

// Every row's texts name what its task has, once its selection has ended.
::testing::AssertionResult rowsTellTheTruth(TaskListView& view)
{
    for (int r = 0; r < view.model().rowCount(); ++r) {
        const tasks::TaskRow& row = view.model().row(r);
        if (row.selected)
            continue;
        if (row.text[tasks::kColumnFormat] != row.task->formatLabel()
            || row.text[tasks::kColumnOutput] != row.task->outputPath)
            return ::testing::AssertionFailure()
                << "row " << r << " shows " << row.text[tasks::kColumnFormat].c_str() << " "
                << row.text[tasks::kColumnOutput].c_str() << " but its task has " << row.task->formatLabel() << " "
                << row.task->outputPath.c_str();
    }
    return ::testing::AssertionSuccess();
}

TEST_F(TaskListViewTest, AnEditReachesEveryRowSelectedByCtrlShiftOrCtrlA)
{
    addRows(4);
    const QPoint empty(inText(0).x(), view->rowRect(3).bottom() + 40);
    auto format = [this](int row) { return view->model().task(row)->outputFormat; };

    // Click, Ctrl+click, an edit, then a click on an empty part of the list.
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(0));
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::ControlModifier, inText(2));
    test::pumpEvents(10);
    hub.settings.selectModel(7, 0, 8); // MP3
    view->refreshSelected(8);
    EXPECT_EQ(cell(0, tasks::kColumnFormat), QStringLiteral("mp3"));
    EXPECT_EQ(cell(2, tasks::kColumnFormat), QStringLiteral("mp3"));
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, empty);
    test::pumpEvents(10);
    EXPECT_EQ(format(0), 8);
    EXPECT_EQ(format(2), 8) << "the row that kept the focus";
    EXPECT_NE(format(1), 8);
    EXPECT_TRUE(rowsTellTheTruth(*view));

    // Shift+click, an edit, then the keyboard moves on.
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(1));
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::ShiftModifier, inText(3));
    test::pumpEvents(10);
    hub.settings.selectModel(6, 0, 12); // wmv
    view->refreshSelected(12);
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(0));
    test::pumpEvents(10);
    for (int r : {1, 2, 3})
        EXPECT_EQ(format(r), 12) << r;
    EXPECT_TRUE(rowsTellTheTruth(*view));

    // Ctrl+A, an edit, then the selection ends.
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
    test::pumpEvents(10);
    for (int r = 0; r < 4; ++r)
        ASSERT_TRUE(view->model().row(r).selected) << r;
    hub.settings.selectModel(3, 0, 9); // flv
    view->refreshSelected(9);
    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, empty);
    test::pumpEvents(10);
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(format(r), 9) << r;
    EXPECT_TRUE(rowsTellTheTruth(*view));
}

TEST_F(TaskListViewTest, HoverTipShowsAReasonsBothLinesAndAShortOutputsWarning)
{
    addRows(2);
    tasks::ConversionTask& failed = *view->model().task(0);
    failed.state = tasks::kStateBadParameters;
    failed.failureReason = "没有权限写入输出文件夹。\r\nPermission denied";
    EXPECT_EQ(TaskListView::hoverText(failed),
              QStringLiteral("状态:错误的转换参数\n失败原因:没有权限写入输出文件夹。\nPermission denied\n输出:")
                  + toQ(failed.outputPath));

    tasks::ConversionTask& shortOne = *view->model().task(1);
    shortOne.state = tasks::kStateDone;
    shortOne.warning = "源文件可能已损坏:只转换了 00:00:05 / 00:00:11";
    EXPECT_TRUE(TaskListView::hoverText(shortOne).contains(
        QStringLiteral("\n源文件可能已损坏:只转换了 00:00:05 / 00:00:11\n")));
}

TEST_F(TaskListViewTest, HoveringARowShowsItsWholeStateAndReason)
{
    setFloatingTipsEnabled(true);
    addRows(2);
    tasks::ConversionTask& failed = *view->model().task(1);
    failed.state = tasks::kStateBadParameters;
    failed.failureReason = "the encoder refused -vf scale";
    const QString text = TaskListView::hoverText(failed);
    EXPECT_EQ(text,
              QStringLiteral("状态:错误的转换参数\n失败原因:the encoder refused -vf scale\n输出:")
                  + toQ(failed.outputPath));

    test::mouse(vp(), QEvent::MouseMove, inText(1), Qt::NoButton);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), text);
    EXPECT_EQ(view->hoveredRow(), 1);
    // Hanging below the pointer, and moving with it along the row.
    const auto expectBelowPointer = [&](QPoint at) {
        const QRect tip = currentHoverTip()->geometry();
        const QPoint pointer = vp()->mapToGlobal(at);
        EXPECT_GT(tip.top(), pointer.y());
        EXPECT_LT(tip.top(), pointer.y() + 30);
        EXPECT_TRUE(tip.left() <= pointer.x() && pointer.x() <= tip.right());
        return tip.top() - pointer.y();
    };
    const int gap = expectBelowPointer(inText(1));
    const QPoint along = inText(1) + QPoint(40, 3);
    test::mouse(vp(), QEvent::MouseMove, along, Qt::NoButton);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(expectBelowPointer(along), gap);

    test::mouse(vp(), QEvent::MouseMove, inText(0), Qt::NoButton);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), TaskListView::hoverText(*view->model().task(0)));
    EXPECT_FALSE(currentHoverTip()->text().contains(QStringLiteral("失败原因")));
    // A leave with the pointer still on a row (it went onto the tip) keeps
    // the tip, for that row; a leave off the rows ends it.
    QEvent leave(QEvent::Leave);
    QCursor::setPos(vp()->mapToGlobal(inText(1)));
    QApplication::sendEvent(view.get(), &leave);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), text);
    QCursor::setPos(vp()->mapToGlobal(QPoint(-50, -50)));
    QApplication::sendEvent(view.get(), &leave);
    EXPECT_EQ(currentHoverTip(), nullptr);
    test::mouse(vp(), QEvent::MouseMove, inText(0), Qt::NoButton);
    test::mouse(vp(), QEvent::MouseMove, QPoint(inText(0).x(), view->rowRect(1).bottom() + 40), Qt::NoButton);
    EXPECT_EQ(currentHoverTip(), nullptr) << "gone over the empty part";
    EXPECT_EQ(view->hoveredRow(), -1);
}

TEST_F(TaskListViewTest, DeleteKeyDeletesTheCheckedRowsAndEnterShowsAFinishedFile)
{
    addRows(3);
    tasks::ConversionTask* kept = view->model().task(1);
    view->model().setChecked(0, true);
    view->model().setChecked(2, true);
    view->setFocus();
    QTest::keyClick(view.get(), Qt::Key_Delete);
    ASSERT_EQ(view->model().rowCount(), 1);
    EXPECT_EQ(view->model().task(0), kept);
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(view->model().rowCount(), 1) << "nothing checked, nothing deleted";

    QStringList shown;
    FileManagerAccess access;
    access.showItems = [&](const QString& method, const QStringList& urls, std::function<void(bool)> done) {
        shown << method + QLatin1Char(' ') + urls.join(QLatin1Char(','));
        done(true);
    };
    setFileManagerAccess(access);
    stdfs::create_directories(outDir);
    const std::string output = kept->outputPath.c_str();
    std::FILE* f = std::fopen(output.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);

    QTest::mouseClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(0));
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::mouseDClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(0));
    EXPECT_TRUE(shown.isEmpty()) << "a row that has not finished shows nothing";
    kept->state = tasks::kStateDone;
    QTest::keyClick(view.get(), Qt::Key_Return);
    QTest::mouseDClick(vp(), Qt::LeftButton, Qt::NoModifier, inText(0));
    const QString expected = QStringLiteral("ShowItems ") + QUrl::fromLocalFile(toQ(output)).toString();
    EXPECT_EQ(shown, (QStringList{expected, expected}));
    setFileManagerAccess({});
}

} // namespace
} // namespace qf::ui
