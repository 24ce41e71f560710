// The player page's keys and its elapsed / length readout, with the real
// player on null drivers.

#include <QKeyEvent>

#include "ui/controls/skin_button.h"
#include "ui/controls/skin_slider.h"
#include "ui/player/support/player_window_fixture.h"
#include "ui/ui_test_support.h"

namespace qf::ui::test {
namespace {

using player::PlayerState;

void key(QWidget* w, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

TEST(PlayerReadout, TimesReadAsHoursMinutesSeconds)
{
    EXPECT_EQ(PlayerWindow::formatTime(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(PlayerWindow::formatTime(83), QStringLiteral("00:01:23"));
    EXPECT_EQ(PlayerWindow::formatTime(296), QStringLiteral("00:04:56"));
    EXPECT_EQ(PlayerWindow::formatTime(36000 + 61), QStringLiteral("10:01:01"));
    EXPECT_EQ(PlayerWindow::formatTime(-5), QStringLiteral("00:00:00"));
}

TEST_F(PlayerWindowTest, SpacePlaysAndPausesWhereverTheFocusIs)
{
    window->addPaths({videoClip(30, QStringLiteral("keys_space"))});
    ASSERT_TRUE(waitReport(9, 1));
    // The skinned buttons never hold the focus, so Space never presses one.
    key(window.get(), Qt::Key_Space);
    EXPECT_EQ(state(), PlayerState::Paused);
    key(window->playlistView(), Qt::Key_Space);
    EXPECT_EQ(state(), PlayerState::Playing);
    key(window->videoWindow(), Qt::Key_Space);
    EXPECT_EQ(state(), PlayerState::Paused);
    key(window->videoWindow(), Qt::Key_Space);
    EXPECT_EQ(state(), PlayerState::Playing);
    EXPECT_EQ(count(8), 1) << "Space restarted the file";
}

TEST_F(PlayerWindowTest, ArrowsSeekAndChangeTheVolumeAndTheReadoutFollows)
{
    window->addPaths({videoClip(60, QStringLiteral("keys_seek"))});
    ASSERT_TRUE(waitReport(9, 1));
    EXPECT_EQ(window->timeText(), QStringLiteral("00:00:00 / 00:01:00"));
    key(window.get(), Qt::Key_Right);
    key(window.get(), Qt::Key_Right);
    EXPECT_GE(engine().position(), 20);
    EXPECT_GE(window->slider(PlayerWindow::kPosition)->value(), 20);
    EXPECT_TRUE(window->timeText().startsWith(QStringLiteral("00:00:2"))) << window->timeText().toStdString();
    // The player is there too: its own answers come back past 20 s.
    EXPECT_TRUE(waitUntil([&] { return engine().queryPosition() >= 20; }, 5000));
    key(window.get(), Qt::Key_Left);
    EXPECT_LT(engine().position(), 20);
    EXPECT_GE(engine().position(), 10);

    SkinSlider* volume = window->slider(PlayerWindow::kVolume);
    const int before = volume->value();
    key(window.get(), Qt::Key_Up);
    EXPECT_EQ(volume->value(), std::min(before + 5, 100));
    EXPECT_EQ(settings::current().playerVolume(), static_cast<uint32_t>(volume->value()));
    key(window.get(), Qt::Key_Down);
    key(window.get(), Qt::Key_Down);
    EXPECT_EQ(volume->value(), std::min(before + 5, 100) - 10);
    for (int i = 0; i < 30; ++i)
        key(window.get(), Qt::Key_Down);
    EXPECT_EQ(volume->value(), 0);
}

TEST_F(PlayerWindowTest, MMutesAndDeleteRemovesTheSelectedRows)
{
    window->addPaths({videoClip(30, QStringLiteral("keys_a")), videoClip(30, QStringLiteral("keys_b")),
                      videoClip(30, QStringLiteral("keys_c"))});
    ASSERT_TRUE(waitReport(9, 1));
    auto* mute = qobject_cast<SkinButton*>(window->control(PlayerWindow::kMute));
    key(window.get(), Qt::Key_M);
    EXPECT_TRUE(mute->isSelected());
    key(window.get(), Qt::Key_M);
    EXPECT_FALSE(mute->isSelected());

    // In the list, Up and Down move the selection, not the volume.
    const int volume = window->slider(PlayerWindow::kVolume)->value();
    window->playlistView()->selectRows({1});
    key(window->playlistView(), Qt::Key_Up);
    EXPECT_EQ(window->slider(PlayerWindow::kVolume)->value(), volume);

    window->playlistView()->selectRows({1, 2});
    key(window->playlistView(), Qt::Key_Delete);
    ASSERT_EQ(playlist().rowCount(), 1);
    EXPECT_TRUE(currentPath().contains(QStringLiteral("keys_a"))) << "the playing row went";
    EXPECT_EQ(state(), PlayerState::Playing);
}

TEST_F(PlayerWindowTest, FAndEnterToggleFullScreenOnlyForAPicture)
{
    window->addPaths({audioClip(20, QStringLiteral("keys_tone"))});
    ASSERT_TRUE(waitReport(9, 1));
    key(window.get(), Qt::Key_F);
    EXPECT_FALSE(window->videoWindow()->isFullScreen()) << "sound alone went full screen";

    window->addPaths({videoClip(30, QStringLiteral("keys_full"))});
    window->command(PlayerWindow::kNext);
    ASSERT_TRUE(waitReport(9, 2));
    key(window.get(), Qt::Key_F);
    ASSERT_TRUE(window->videoWindow()->isFullScreen());
    // Full screen, the video window is a window of its own: it still hears them.
    key(window->videoWindow(), Qt::Key_Space);
    EXPECT_EQ(state(), PlayerState::Paused);
    key(window->videoWindow(), Qt::Key_Enter);
    EXPECT_FALSE(window->videoWindow()->isFullScreen());
}

TEST_F(PlayerWindowTest, SkinnedControlsNeverTakeTheFocus)
{
    for (int id : {PlayerWindow::kPlay, PlayerWindow::kPause, PlayerWindow::kStop, PlayerWindow::kMute,
                   PlayerWindow::kVolume, PlayerWindow::kOpen, PlayerWindow::kBrightness, PlayerWindow::kPosition,
                   PlayerWindow::kForward, PlayerWindow::kRewind}) {
        QWidget* control = window->control(id);
        ASSERT_NE(control, nullptr) << id;
        EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << id;
        if (id == PlayerWindow::kOpen)
            continue; // its click opens the file dialog
        mouse(control, QEvent::MouseButtonPress, QPoint(2, 2));
        mouse(control, QEvent::MouseButtonRelease, QPoint(2, 2));
        EXPECT_FALSE(control->hasFocus()) << id;
    }
}

} // namespace
} // namespace qf::ui::test
