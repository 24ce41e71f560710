// The main window from the keyboard: Tab walks the Convert view in screen
// order with a visible focus mark on every stop and never reaches the
// caption buttons or a hidden page; and the file dialogs keep their memory in
// the program's own folder.
#include <QApplication>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>

#include "ui/controls/skin_button.h"
#include "ui/convert/parameter_panel.h"
#include "ui/convert/task_list_view.h"
#include "ui/controls/skin_time_picker.h"
#include "ui/main/main_window.h"
#include "ui/main/parameter_toolbar.h"
#include "ui/main/support/main_window_fixture.h"
#include "ui/skin/skin.h"
#include "ui/support/contrast.h"

using namespace qf::ui;
using namespace qf::ui::test;

namespace {

using test::contrastRatio;

class KeyboardTest : public MainWindowFixture {
protected:
    void activate()
    {
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Which group of the screen a stop belongs to, top to bottom.
    int band(QWidget* w) const
    {
        for (int i = 0; i < 4; ++i)
            if (w == window->tabButton(static_cast<MainWindow::View>(i)))
                return 0;
        if (window->toolbar()->isAncestorOf(w))
            return 1;
        if (window->parameterPanel()->isAncestorOf(w))
            return 2;
        if (w == window->taskList())
            return 3;
        for (int id : {MainWindow::kOpenFiles, MainWindow::kDelete, MainWindow::kStart, MainWindow::kStop})
            if (w == window->control(id))
                return 4;
        return -1;
    }
};

} // namespace

TEST_F(KeyboardTest, TabWalksTheConvertViewInScreenOrderWithAVisibleMark)
{
    window->dropFiles({q(shortClip())}, window->taskList()->geometry().center());
    ASSERT_TRUE(waitForAddedFiles());
    activate();
    QWidget* first = window->tabButton(MainWindow::View::Convert);
    first->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();

    std::vector<QWidget*> stops;
    std::vector<QImage> focused;
    for (int i = 0; i < 80; ++i) {
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        if (!stops.empty() && now == stops.front())
            break;
        stops.push_back(now);
        focused.push_back(now->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QTest::keyClick(now, Qt::Key_Tab);
        QApplication::processEvents();
    }
    ASSERT_EQ(QApplication::focusWidget(), first) << "Tab comes round to the first tab";
    window->setFocus();
    QApplication::processEvents();

    int last = 0;
    int tabs = 0, bottom = 0;
    for (size_t i = 0; i < stops.size(); ++i) {
        QWidget* w = stops[i];
        const int b = band(w);
        EXPECT_GE(b, 0) << "a stop outside the Convert view: " << w->metaObject()->className() << " "
                        << w->objectName().toStdString();
        EXPECT_TRUE(w->isVisible()) << "stop " << i;
        EXPECT_GE(b, last) << "stop " << i << " goes back up the screen";
        last = std::max(last, b);
        tabs += b == 0;
        bottom += b == 4;
        // The mark: the control looks different with the focus, and clearly so.
        const QImage without = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        double best = 1;
        int changed = 0;
        for (int y = 0; y < without.height(); ++y)
            for (int x = 0; x < without.width(); ++x)
                if (without.pixel(x, y) != focused[i].pixel(x, y)) {
                    ++changed;
                    best = std::max(best, contrastRatio(without.pixelColor(x, y), focused[i].pixelColor(x, y)));
                }
        EXPECT_GE(changed, 8) << "no focus mark on stop " << i << " " << w->metaObject()->className();
        EXPECT_GE(best, 3.0) << "a faint focus mark on stop " << i << " " << w->metaObject()->className();
    }
    EXPECT_EQ(tabs, 4);
    EXPECT_EQ(bottom, 4);
    // Each time picker is one stop, ticked or not.
    EXPECT_EQ(std::count_if(stops.begin(), stops.end(),
                            [](QWidget* w) { return qobject_cast<SkinTimePicker*>(w->parentWidget()) != nullptr; }),
              2);
    EXPECT_GT(stops.size(), 20u) << "the parameter panel's controls take part";
    EXPECT_EQ(window->control(MainWindow::kClose)->focusPolicy(), Qt::NoFocus);

    // With the panel slid shut its controls are no stops.
    window->parameterPanel()->hide();
    first->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_NE(band(QApplication::focusWidget()), 2) << "a hidden panel's control took the focus";
        if (QApplication::focusWidget() == first)
            break;
    }
}

TEST_F(KeyboardTest, AnEmptyListShowsItHasTheFocus)
{
    activate();
    TaskListView* list = window->taskList();
    ASSERT_EQ(list->model().rowCount(), 0);
    window->setFocus();
    QApplication::processEvents();
    const QImage without = list->viewport()->grab().toImage();
    list->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QImage with = list->viewport()->grab().toImage();
    int marked = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            marked += with.pixelColor(x, y) != without.pixelColor(x, y)
                && contrastRatio(with.pixelColor(x, y), without.pixelColor(x, y)) >= 3.0;
    EXPECT_GT(marked, 100);
}

TEST(FileDialogMemory, StaysInTheProgramsOwnFolder)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    {
        MainWindow window;
        QFileDialog dialog(&window, QStringLiteral("选择影音文件"));
        dialog.setDirectory(config.path());
    }
    EXPECT_TRUE(QSettings(QSettings::UserScope, QStringLiteral("QtProject"))
                    .fileName()
                    .startsWith(config.path() + QStringLiteral("/quillfer/")));
    EXPECT_FALSE(QFileInfo::exists(config.path() + QStringLiteral("/QtProject.conf")));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}
