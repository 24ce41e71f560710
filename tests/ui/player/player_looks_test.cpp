// The player window and the video window as drawn, and the video window's
// full screen and cursor, without a player.

#include <QKeyEvent>
#include <QWindow>

#include "core/messages.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_slider.h"
#include "ui/controls/small_button.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/video_window.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"
#include "ui/ui_test_support.h"

#include <gtest/gtest.h>

namespace qf::ui::test {
namespace {

TEST(PlayerWindowLooks, BarsLinesPanelAndLabels)
{
    PlayerWindow w;
    w.show();
    EXPECT_EQ(w.size(), QSize(846, 538));
    const QImage img = w.grab().toImage();
    const QColor skin = skin::skinColor();
    const QColor light = skin::lighter(skin, 48);
    EXPECT_EQ(img.pixelColor(400, 10), skin);
    EXPECT_EQ(img.pixelColor(300, 28), light);
    EXPECT_EQ(img.pixelColor(300, 29), skin::darker(skin, 32));
    EXPECT_EQ(img.pixelColor(300, 30), light);
    EXPECT_EQ(img.pixelColor(300, 200), QColor(16, 16, 16));
    EXPECT_EQ(w.picturePanel(), QRect(QPoint(636, 28), QPoint(845, 481)));
    EXPECT_EQ(img.pixelColor(636, 10), light);
    EXPECT_EQ(img.pixelColor(637, 10), QColor(80, 80, 80));
    EXPECT_EQ(img.pixelColor(638, 100), light);
    EXPECT_EQ(img.pixelColor(700, 140), light);
    EXPECT_EQ(img.pixelColor(700, 142), light);
    EXPECT_NE(img.pixelColor(700, 141), light);
    int white = 0;
    for (int y = 40; y < 54; ++y)
        for (int x = 646; x < 672; ++x)
            white += img.pixelColor(x, y).lightness() > 200;
    EXPECT_GT(white, 10) << "the label 亮度";
}

TEST(PlayerWindowLooks, ControlsStandWhereTheSkinPutsThem)
{
    PlayerWindow w;
    struct Place {
        int id;
        QRect rect;
    };
    const Place places[] = {
        {PlayerWindow::kPlay, {6, 502, 29, 29}},          {PlayerWindow::kPause, {39, 502, 29, 29}},
        {PlayerWindow::kStop, {72, 502, 29, 29}},         {PlayerWindow::kPrevious, {114, 505, 22, 23}},
        {PlayerWindow::kNext, {136, 505, 22, 23}},        {PlayerWindow::kMute, {170, 505, 22, 23}},
        {PlayerWindow::kVolume, {194, 508, 82, 18}},      {PlayerWindow::kOpen, {8, 6, 18, 18}},
        {PlayerWindow::kVideoSet, {644, 6, 18, 18}},      {PlayerWindow::kBrightness, {676, 36, 170, 22}},
        {PlayerWindow::kContrast, {676, 62, 170, 22}},    {PlayerWindow::kHue, {676, 88, 170, 22}},
        {PlayerWindow::kSaturation, {676, 114, 170, 22}}, {PlayerWindow::kRewind, {0, 486, 24, 10}},
        {PlayerWindow::kPosition, {24, 486, 798, 10}},    {PlayerWindow::kForward, {822, 486, 24, 10}},
        {PlaylistView::kControlId, {644, 144, 202, 338}},
    };
    for (const Place& p : places) {
        ASSERT_NE(w.control(p.id), nullptr) << p.id;
        EXPECT_EQ(w.control(p.id)->geometry(), p.rect) << p.id;
    }
    EXPECT_TRUE(w.control(PlayerWindow::kSpare)->isHidden());
    EXPECT_EQ(w.slider(PlayerWindow::kUnusedSlider)->minimum(), -300);
    EXPECT_EQ(w.slider(PlayerWindow::kVolume)->maximum(), 100);
    EXPECT_EQ(w.slider(PlayerWindow::kBrightness)->minimum(), -100);
}

TEST(PlayerWindowLooks, TheCloseRequestIsIgnored)
{
    PlayerWindow w;
    w.show();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
}

TEST(VideoWindowFullScreen, KeepsItsNativeWindowAndHidesTheIdleCursor)
{
    PlayerWindow w;
    w.show();
    VideoWindow* video = w.videoWindow();
    const uint32_t id = video->nativeId();
    EXPECT_EQ(id, w.engine().videoWindowId());
    // Nothing plays: the question is answered no.
    EXPECT_EQ(sendMessage(&w, core::WM_PLAYER_NOTIFY, core::PLAYER_ASK_FULL_SCREEN, 0), 0);

    video->enterFullScreen();
    ASSERT_TRUE(video->isFullScreen());
    // The surface the player draws into moves to a top-most window of its own.
    ASSERT_NE(video->fullScreenWindow(), nullptr);
    EXPECT_TRUE(video->fullScreenWindow()->flags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(video->surface()->parent(), video->fullScreenWindow());
    EXPECT_EQ(video->nativeId(), id);
    const QSize full = video->surface()->size();
    EXPECT_EQ(video->speedLabelRect(), QRect(full.width() - 90, full.height() - 40, 90, 40));
    EXPECT_TRUE(video->cursorTimerRunning());

    video->cursorTick();
    video->cursorTick();
    EXPECT_FALSE(video->cursorHidden());
    mouse(video, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton);
    EXPECT_EQ(video->idleTicks(), 0);
    for (int i = 0; i < 3; ++i)
        video->cursorTick();
    EXPECT_TRUE(video->cursorHidden());
    EXPECT_FALSE(video->cursorTimerRunning());
    mouse(video, QEvent::MouseMove, QPoint(12, 12), Qt::NoButton);
    EXPECT_FALSE(video->cursorHidden());
    EXPECT_TRUE(video->cursorTimerRunning());

    // Code 7 keeps full screen; code 6 leaves it.
    video->engineNotify(core::PLAYER_ENDED);
    EXPECT_TRUE(video->isFullScreen());
    video->engineNotify(core::PLAYER_STOPPED);
    EXPECT_FALSE(video->isFullScreen());
    EXPECT_FALSE(video->cursorTimerRunning());
    EXPECT_EQ(video->parentWidget(), &w);
    EXPECT_EQ(video->geometry(), w.videoArea());
    EXPECT_EQ(video->nativeId(), id);
    EXPECT_EQ(video->surface()->parent(), video->windowHandle());
    EXPECT_EQ(video->fullScreenWindow(), nullptr);
    EXPECT_EQ(video->speedLabelRect(), QRect(636 - 90, 451 - 40, 90, 40));

    // Closing the full-screen window gives the picture back to the page.
    video->enterFullScreen();
    ASSERT_NE(video->fullScreenWindow(), nullptr);
    video->fullScreenWindow()->close();
    EXPECT_FALSE(video->isFullScreen());
    EXPECT_EQ(video->surface()->parent(), video->windowHandle());
    EXPECT_EQ(video->nativeId(), id);

    video->enterFullScreen();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(video, &escape);
    EXPECT_FALSE(video->isFullScreen());
}

} // namespace
} // namespace qf::ui::test
