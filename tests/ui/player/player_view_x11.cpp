// The player view under a real X server: the real player draws a clip into
// the video window by its X11 id, the picture goes full screen and back in
// the same native window, and screenshots of both are saved for a person
// to look at. Run under xvfb-run (see CMakeLists.txt).

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/messages.h"
#include "player/player_settings.h"
#include "player/slave_protocol.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/support/player_view_support.h"
#include "ui/player/support/x11_player_fixture.h"
#include "ui/player/support/x11_screen.h"
#include "ui/player/video_window.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/shared_menu.h"
#include "ui/skin/skin.h"

namespace qf::ui::test {
namespace {

TEST_F(PlayerViewX11, TheClipIsDrawnIntoTheVideoWindowAndGoesFullScreenInTheSameWindow)
{
    window->command(kMenuFitArea);
    window->addPaths({videoClip(30, QStringLiteral("x11"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1)) << window->engine().lastCommandLine();
    VideoWindow* video = window->videoWindow();
    const uint32_t id = video->nativeId();
    EXPECT_NE(window->engine().lastCommandLine().find(" -wid " + std::to_string(id)), std::string::npos);

    EXPECT_TRUE(waitPicture(onScreen(video))) << "the player drew nothing into the video window";
    pumpFor(300);
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, window->width(), window->height())
        .save(QStringLiteral(QF_SHOT_DIR "/player_view_embedded.png"));

    // Full screen: asked of the player window, then the same native window
    // covers the screen and the picture goes on.
    doubleClick(video);
    ASSERT_TRUE(video->isFullScreen());
    EXPECT_EQ(video->nativeId(), id);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // 4:3 on the 5:4 screen: as wide as the screen, centred.
    const QRect picture(0, (screen.height() - screen.width() * 3 / 4) / 2, screen.width(), screen.width() * 3 / 4);
    ASSERT_TRUE(waitUntil([&] { return video->surfaceOnScreen() == picture; }, 3000)) << "not over the screen";
    EXPECT_EQ(video->fullScreenWindow()->geometry(), screen);
    EXPECT_TRUE(waitPicture(screen)) << "no picture in full screen";
    const QImage first = grabScreen(screen);
    pumpFor(600);
    const QImage later = grabScreen(screen);
    EXPECT_NE(first, later) << "the picture stood still";
    // Fast forward over the full-screen picture: the label at the bottom right.
    window->command(PlayerWindow::kForward);
    pumpFor(300);
    const QImage labelled = grabScreen(screen);
    EXPECT_EQ(labelled.pixelColor(picture.right() - 4, picture.bottom() - 4), QColor(204, 204, 204));
    labelled.save(QStringLiteral(QF_SHOT_DIR "/player_view_fullscreen.png"));
    EXPECT_EQ(count(8), 1); // never restarted

    doubleClick(video);
    ASSERT_FALSE(video->isFullScreen());
    EXPECT_EQ(video->nativeId(), id);
    EXPECT_EQ(video->geometry(), QRect(17, 31, 601, 451));
    EXPECT_TRUE(waitPicture(onScreen(video))) << "no picture after leaving full screen";
    EXPECT_EQ(count(8), 1);
    EXPECT_EQ(window->engine().state(), player::PlayerState::Playing);
}

TEST_F(PlayerViewX11, SoundAloneNeverGoesFullScreen)
{
    window->addPaths({audioClip(20, QStringLiteral("x11_tone"))});
    ASSERT_TRUE(waitReport(9, 1));
    doubleClick(window->videoWindow());
    EXPECT_FALSE(window->videoWindow()->isFullScreen());
    window->command(kMenuFullScreen);
    EXPECT_FALSE(window->videoWindow()->isFullScreen());
}

TEST_F(PlayerViewX11, ClosingWhilePlayingLeavesNoPlayer)
{
    window->addPaths({videoClip(30, QStringLiteral("x11_close"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1));
    window->videoWindow()->enterFullScreen();
    pumpFor(200);
    ASSERT_EQ(processesWith("x11_close"), 1);
    window.reset();
    EXPECT_EQ(processesWith("x11_close"), 0);
}

TEST(PlayerViewInAPage, TheVideoWindowHidesAndShowsWithItsPage)
{
    // As the main window holds it: a page among others in one top-level window.
    QWidget main;
    main.resize(860, 600);
    auto* page = new PlayerWindow(&main);
    page->move(7, 63);
    main.show();
    ASSERT_TRUE(waitUntil([&] { return main.isVisible(); }, 2000));
    QWindow* native = page->videoWindow()->windowHandle();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(page->videoWindow()->nativeId(), page->engine().videoWindowId());
    EXPECT_TRUE(native->isVisible());
    page->hide();
    EXPECT_FALSE(native->isVisible());
    page->show();
    EXPECT_TRUE(native->isVisible());
    // The X window stands where the widget is, 31 pixels into the page.
    EXPECT_EQ(native->mapToGlobal(QPoint(0, 0)), main.mapToGlobal(QPoint(7, 63 + 31)));
}

} // namespace
} // namespace qf::ui::test

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qf::ui::skin::installFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace qf::ui::test {
namespace {

TEST(PlayerViewInAPage, ClosingTheTopWindowWhilePlayingQuitsThePlayerFirst)
{
    useRealPlayer("-vo x11 -ao null");
    auto main = std::make_unique<QWidget>();
    main->resize(860, 600);
    auto* page = new PlayerWindow(main.get());
    page->setMessageBox([](QWidget*, const QString&) {});
    page->move(7, 63);
    main->show();
    page->addPaths({videoClip(30, QStringLiteral("x11_top_close"), 320, 240)});
    ASSERT_TRUE(waitUntil([&] { return page->engine().state() == player::PlayerState::Playing; }, 10000));
    ASSERT_TRUE(waitUntil([&] { return pictureShare(grabScreen(onScreen(page->videoWindow()))) > 0.1; }, 5000));
    // Closing destroys the X windows: the player has gone by then (else it
    // dies drawing into a window that is gone).
    main->close();
    EXPECT_EQ(processesWith("x11_top_close"), 0);
    EXPECT_EQ(page->engine().state(), player::PlayerState::Idle);
    EXPECT_FALSE(page->positionTimerRunning());
    main.reset();
    EXPECT_EQ(processesWith("x11_top_close"), 0);
}

} // namespace
} // namespace qf::ui::test
