// The player window's rules through the window itself, with the real player
// on null drivers and clips made by ffmpeg.

#include <QAction>
#include <QFileInfo>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "core/messages.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_slider.h"
#include "ui/player/support/player_window_fixture.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/shared_menu.h"
#include "ui/ui_test_support.h"

namespace qf::ui::test {
namespace {

using player::PlayerState;

void doubleClick(QWidget* w) { mouse(w, QEvent::MouseButtonDblClick, QPoint(0, 0)); }

TEST_F(PlayerWindowTest, AddingProbesRefusesInOneBoxAndStartsTheFirstPlayableRow)
{
    const QString a = videoClip(8, QStringLiteral("add_a"));
    const QString b = videoClip(8, QStringLiteral("add_b"), 320, 240);
    const QString tone = audioClip(8, QStringLiteral("add_tone"));
    const QString broken = brokenClip();
    const QString missing = playerDataDir() + QStringLiteral("/no_such_file.avi");

    window->addPaths({broken, a, missing, playerDataDir(), b, tone, broken});
    // The missing file and the folder are skipped without a word; both
    // refusals share one box.
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("不能识别的文件类型。\r\n%1\r\n%1").arg(broken));
    ASSERT_EQ(playlist().rowCount(), 3);
    EXPECT_STREQ(playlist().shownName(1), "add_b_8s_320x240.avi");
    EXPECT_EQ(playlist().entryAt(1)->width, 320);
    EXPECT_FALSE(playlist().entryAt(2)->hasVideo);
    EXPECT_EQ(playlist().entryAt(2)->width, 0);

    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(state(), PlayerState::Starting);
    ASSERT_TRUE(waitReport(9, 1));
    EXPECT_EQ(state(), PlayerState::Playing);
    EXPECT_TRUE(window->positionTimerRunning());
    // The slider runs over the player's length (8 s, or the probe's).
    EXPECT_EQ(window->slider(PlayerWindow::kPosition)->maximum(), 8);
    // At code 8 the video of an entry is shown at its own size, centred.
    EXPECT_EQ(window->videoWindow()->geometry(), QRect(318 - 80, 256 - 60, 160, 120));

    // Adding while something plays starts nothing new.
    const int starts = count(8);
    window->addPaths({b});
    pumpFor(100);
    EXPECT_EQ(count(8), starts);
    EXPECT_EQ(currentPath(), a);

    // Stopped, with nothing current: the next add starts the first row
    // again, not the added file.
    window->command(PlayerWindow::kStop);
    EXPECT_EQ(playlist().currentEntry(), nullptr);
    EXPECT_FALSE(window->positionTimerRunning());
    window->addPaths({tone});
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(playlist().rowCount(), 5);
}

TEST_F(PlayerWindowTest, NextWrapsAndPreviousOnTheFirstRowChangesNothing)
{
    const QString a = videoClip(20, QStringLiteral("next_a"));
    const QString b = videoClip(20, QStringLiteral("next_b"));
    const QString c = videoClip(20, QStringLiteral("next_c"));
    window->addPaths({a, b, c});
    ASSERT_TRUE(waitReport(9, 1));

    const std::string line = engine().lastCommandLine();
    window->command(PlayerWindow::kPrevious);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(state(), PlayerState::Playing);
    EXPECT_EQ(engine().lastCommandLine(), line);
    EXPECT_EQ(count(8), 1);

    window->command(PlayerWindow::kNext);
    EXPECT_EQ(currentPath(), b);
    window->command(PlayerWindow::kNext);
    EXPECT_EQ(currentPath(), c);
    window->command(PlayerWindow::kNext);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(state(), PlayerState::Starting);
    EXPECT_NE(engine().lastCommandLine().find("next_a"), std::string::npos);
    window->command(PlayerWindow::kPrevious);
    EXPECT_EQ(currentPath(), a);

    ASSERT_TRUE(waitUntil([&] { return state() == PlayerState::Playing; }, 8000));
    window->command(PlayerWindow::kNext);
    window->command(PlayerWindow::kPrevious);
    EXPECT_EQ(currentPath(), a);
    EXPECT_EQ(state(), PlayerState::Starting);
}

TEST_F(PlayerWindowTest, FastForwardAndRewindDoubleUpToSixtyFourAndShowTheLabel)
{
    VideoWindow* video = window->videoWindow();
    // Nothing plays: the buttons do nothing.
    window->command(PlayerWindow::kForward);
    EXPECT_EQ(video->speedStep(), 0);

    window->addPaths({videoClip(30, QStringLiteral("speed"))});
    ASSERT_TRUE(waitReport(9, 1));
    for (int expected : {2, 4, 8}) {
        window->command(PlayerWindow::kForward);
        EXPECT_EQ(video->speedStep(), expected);
    }
    EXPECT_EQ(VideoWindow::speedText(video->speedStep()), QStringLiteral(">> x8"));
    const QImage shown = video->grab().toImage();
    const QRect label = video->speedLabelRect();
    // At the bottom right, at least 90 x 40 and as wide as its whole text.
    EXPECT_EQ(label.bottomRight(), QPoint(video->width() - 1, video->height() - 1));
    EXPECT_EQ(label.height(), 40);
    EXPECT_GE(label.width(), 90);
    EXPECT_GE(label.width(), QFontMetrics(VideoWindow::labelFont()).horizontalAdvance(QStringLiteral(">> x8")) + 8);
    EXPECT_EQ(shown.pixelColor(label.right() - 2, label.top() + 2), QColor(204, 204, 204));
    EXPECT_EQ(shown.pixelColor(label.left() - 2, label.top() + 2), QColor(16, 16, 16));

    window->command(PlayerWindow::kRewind);
    EXPECT_EQ(video->speedStep(), -2);
    EXPECT_EQ(VideoWindow::speedText(-2), QStringLiteral("<< x2"));
    for (int expected : {-4, -8, -16, -32, -64, -64}) {
        window->command(PlayerWindow::kRewind);
        EXPECT_EQ(video->speedStep(), expected);
    }
    for (int expected : {2, 4, 8, 16, 32, 64, 64}) {
        window->command(PlayerWindow::kForward);
        EXPECT_EQ(video->speedStep(), expected);
    }
    window->command(PlayerWindow::kStop);
    EXPECT_EQ(video->speedStep(), 0);
    EXPECT_TRUE(video->grab().toImage().pixelColor(label.right() - 2, label.top() + 2) == QColor(16, 16, 16));
}

TEST_F(PlayerWindowTest, SpeedStepSeeksOnEveryTickAndPlayOrPauseEndsIt)
{
    window->addPaths({videoClip(30, QStringLiteral("tick"))});
    ASSERT_TRUE(waitReport(9, 1));
    window->command(PlayerWindow::kForward);
    window->command(PlayerWindow::kForward);
    ASSERT_EQ(window->videoWindow()->speedStep(), 4);
    window->positionTick();
    window->positionTick();
    // Two relative seeks of 4 s: the slider is past 8 s at once.
    EXPECT_GE(window->slider(PlayerWindow::kPosition)->value(), 8);
    window->command(PlayerWindow::kPlay);
    EXPECT_EQ(window->videoWindow()->speedStep(), 0);
    window->command(PlayerWindow::kForward);
    window->command(PlayerWindow::kPause);
    EXPECT_EQ(state(), PlayerState::Paused);
    EXPECT_EQ(window->videoWindow()->speedStep(), 0);
}

struct EndCase {
    bool autoPlay;
    bool loopPlay;
};

class EndOfFile : public PlayerWindowTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndOfFile, FollowsAutoPlayAndLoopPlay)
{
    const EndCase c = GetParam();
    settings::current().setAutoPlay(c.autoPlay);
    settings::current().setLoopPlay(c.loopPlay);
    const QString a = videoClip(1, QStringLiteral("end_a"));
    const QString b = videoClip(1, QStringLiteral("end_b"));
    window->addPaths({a, b});
    ASSERT_TRUE(waitReport(7, 1, 10000));
    // The first file ended by itself: the timer stopped, and what follows
    // depends on the two switches.
    if (c.autoPlay) {
        EXPECT_EQ(currentPath(), b);
        EXPECT_EQ(state(), PlayerState::Starting);
        ASSERT_TRUE(waitReport(7, 2, 10000));
        if (c.loopPlay) {
            EXPECT_EQ(currentPath(), a); // from the top again
            EXPECT_EQ(state(), PlayerState::Starting);
        } else {
            EXPECT_EQ(playlist().currentEntry(), nullptr);
            EXPECT_EQ(state(), PlayerState::Idle);
            EXPECT_FALSE(window->positionTimerRunning());
        }
    } else if (c.loopPlay) {
        EXPECT_EQ(currentPath(), a); // the same file again
        EXPECT_EQ(state(), PlayerState::Starting);
        EXPECT_TRUE(waitReport(8, 2));
    } else {
        EXPECT_EQ(playlist().currentEntry(), nullptr);
        EXPECT_EQ(state(), PlayerState::Idle);
        EXPECT_FALSE(window->positionTimerRunning());
        pumpFor(300);
        EXPECT_EQ(count(8), 1);
    }
    EXPECT_EQ(window->slider(PlayerWindow::kPosition)->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(Switches, EndOfFile,
                         ::testing::Values(EndCase{false, false}, EndCase{false, true}, EndCase{true, false},
                                           EndCase{true, true}),
                         [](const ::testing::TestParamInfo<EndCase>& info) {
                             return std::string(info.param.autoPlay ? "Auto" : "NoAuto")
                                 + (info.param.loopPlay ? "Loop" : "NoLoop");
                         });

TEST_F(PlayerWindowTest, PictureSlidersHueAtTheEndAndResetAll)
{
    SkinSlider* hue = window->slider(PlayerWindow::kHue);
    ASSERT_EQ(hue->minimum(), 0);
    ASSERT_EQ(hue->maximum(), 100);
    EXPECT_EQ(window->slider(PlayerWindow::kBrightness)->value(), 1);
    EXPECT_FALSE(window->slider(PlayerWindow::kUnusedSlider)->isVisible());

    // The user clicks the hue track at its right end: the slider posts
    // code 1 and the window passes the position on.
    click(hue, QPoint(hue->width() - 1, hue->height() / 2));
    pumpFor(50);
    EXPECT_EQ(hue->value(), 100);
    EXPECT_EQ(engine().hue(), -1);
    click(window->slider(PlayerWindow::kBrightness), QPoint(0, 5));
    pumpFor(50);
    EXPECT_EQ(engine().brightness(), -100);

    window->command(kMenuResetPicture);
    EXPECT_EQ(engine().brightness(), -84);
    EXPECT_EQ(engine().contrast(), 1);
    EXPECT_EQ(engine().hue(), -100);
    EXPECT_EQ(engine().saturation(), 1);
    EXPECT_EQ(window->slider(PlayerWindow::kBrightness)->value(), 1);
    EXPECT_EQ(window->slider(PlayerWindow::kContrast)->value(), 1);
    EXPECT_EQ(hue->value(), 0);
    EXPECT_EQ(window->slider(PlayerWindow::kSaturation)->value(), 1);
    // The volume is left alone.
    EXPECT_EQ(window->slider(PlayerWindow::kVolume)->value(), 50);
}

TEST_F(PlayerWindowTest, PositionSliderSeeksWhilePlayingButOnlyMovesWhilePaused)
{
    window->addPaths({videoClip(30, QStringLiteral("seek"))});
    ASSERT_TRUE(waitReport(9, 1));
    SkinSlider* position = window->slider(PlayerWindow::kPosition);
    ASSERT_EQ(position->maximum(), 30);

    click(position, QPoint(position->width() / 2, 5));
    pumpFor(50);
    EXPECT_NEAR(position->value(), 15, 1);
    EXPECT_NEAR(engine().position(), position->value(), 1);

    window->command(PlayerWindow::kPause);
    ASSERT_EQ(state(), PlayerState::Paused);
    window->command(PlayerWindow::kForward);
    click(position, QPoint(position->width() - 30, 5));
    pumpFor(50);
    EXPECT_GT(position->value(), 25);
    EXPECT_NEAR(engine().position(), 15, 1); // the player was not told
    EXPECT_EQ(window->videoWindow()->speedStep(), 0); // but fast forward ended

    window->command(PlayerWindow::kPlay);
    EXPECT_EQ(state(), PlayerState::Playing);
    EXPECT_LT(position->value(), 25); // back at the player's position
}

TEST_F(PlayerWindowTest, VolumeAndMuteReachThePlayer)
{
    SkinSlider* volume = window->slider(PlayerWindow::kVolume);
    click(volume, QPoint(volume->width() - 1, 5));
    pumpFor(50);
    EXPECT_EQ(settings::current().playerVolume(), 100u);
    auto* mute = window->control(PlayerWindow::kMute);
    click(mute, QPoint(5, 5));
    EXPECT_TRUE(static_cast<SkinButton*>(mute)->isSelected());
    click(mute, QPoint(5, 5));
    EXPECT_FALSE(static_cast<SkinButton*>(mute)->isSelected());
}

TEST_F(PlayerWindowTest, DisplayModesSizeTheVideoWindow)
{
    window->addPaths({videoClip(20, QStringLiteral("mode"))});
    ASSERT_TRUE(waitReport(9, 1));
    VideoWindow* video = window->videoWindow();
    EXPECT_EQ(window->videoArea(), QRect(0, 31, 636, 451));
    // 4:3 in the 636 x 451 area: as high as the area, centred.
    const QRect filled(17, 31, 601, 451);
    window->command(kMenuFitArea);
    EXPECT_EQ(video->geometry(), filled);
    window->command(kMenuActualSize);
    EXPECT_EQ(video->geometry().size(), QSize(160, 120));
    window->command(kMenuFitArea);
    window->tickVideoSetMenu();
    EXPECT_TRUE(sharedMenuAction(SharedPopup::VideoSet, kMenuFitArea)->isChecked());
    EXPECT_FALSE(sharedMenuAction(SharedPopup::VideoSet, kMenuActualSize)->isChecked());

    const uint32_t id = video->nativeId();
    window->command(kMenuFullScreen);
    EXPECT_TRUE(video->isFullScreen());
    EXPECT_NE(video->fullScreenWindow(), nullptr);
    EXPECT_EQ(video->nativeId(), id);
    EXPECT_EQ(window->displayMode(), PlayerWindow::DisplayMode::FullScreen);

    // Stop: code 6 reaches the video window, which comes back filling the
    // area in the picture's shape.
    window->command(PlayerWindow::kStop);
    EXPECT_TRUE(waitUntil([&] { return !video->isFullScreen(); }, 3000));
    EXPECT_EQ(video->parentWidget(), window.get());
    EXPECT_EQ(video->geometry(), filled);
    EXPECT_EQ(video->nativeId(), id);

    // The next file goes full screen at code 9, the mode being kept.
    const int playing = count(9);
    window->command(PlayerWindow::kPlay);
    ASSERT_TRUE(waitReport(9, playing + 1));
    EXPECT_TRUE(video->isFullScreen());
}

TEST_F(PlayerWindowTest, AFileEndingInFullScreenIsFollowedByTheNextOne)
{
    settings::current().setAutoPlay(true);
    window->addPaths({videoClip(2, QStringLiteral("fs_a")), videoClip(20, QStringLiteral("fs_b"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1));
    VideoWindow* video = window->videoWindow();
    const uint32_t id = video->nativeId();
    ASSERT_NE(sendMessage(window.get(), core::WM_PLAYER_NOTIFY, core::PLAYER_ASK_FULL_SCREEN, 0), 0);
    video->enterFullScreen();
    const QRect screen = video->geometry();

    ASSERT_TRUE(waitReport(7, 1, 10000));
    // The end-of-file rules ran: the next entry starts and keeps the screen.
    EXPECT_STREQ(playlist().shownName(playlist().currentIndex()), "fs_b_20s_320x240.avi");
    ASSERT_TRUE(waitReport(9, 2));
    EXPECT_TRUE(video->isFullScreen());
    EXPECT_EQ(video->geometry(), screen);
    EXPECT_EQ(video->nativeId(), id);
    EXPECT_TRUE(window->positionTimerRunning());
    EXPECT_EQ(window->slider(PlayerWindow::kPosition)->maximum(), 20);
}

TEST_F(PlayerWindowTest, DoubleClickGoesFullScreenOnlyForPlayingVideo)
{
    VideoWindow* video = window->videoWindow();
    doubleClick(video);
    EXPECT_FALSE(video->isFullScreen()); // nothing plays

    window->addPaths({audioClip(20, QStringLiteral("dbl_tone"))});
    ASSERT_TRUE(waitReport(9, 1));
    EXPECT_EQ(video->size(), QSize(0, 0)); // no picture: shrunk at the centre
    doubleClick(video);
    EXPECT_FALSE(video->isFullScreen());

    window->addPaths({videoClip(20, QStringLiteral("dbl_clip"))});
    window->command(PlayerWindow::kNext);
    ASSERT_TRUE(waitReport(9, 2));
    doubleClick(video);
    EXPECT_TRUE(video->isFullScreen());
    doubleClick(video);
    EXPECT_FALSE(video->isFullScreen());
    EXPECT_EQ(video->geometry(), QRect(17, 31, 601, 451));
}

TEST_F(PlayerWindowTest, EveryShapeIsKeptInBothModesAndFullScreen)
{
    // Clips as the player shows them: stored size, pixel aspect, turn.
    struct Clip {
        const char* tag;
        int width, height;
        const char* filters; // ffmpeg's, after the test source
        QRect fitArea, actualSize;
    };
    const Clip clips[] = {
        {"portrait", 180, 320, "", QRect(191, 31, 253, 451), QRect(228, 96, 180, 320)},
        {"wide", 320, 180, "", QRect(0, 78, 636, 357), QRect(158, 166, 320, 180)},
        {"scope", 478, 200, "", QRect(0, 123, 636, 266), QRect(79, 156, 478, 200)},
        // 160 x 120 stored, shown 16:9 (the player's 214 x 120).
        {"anamorphic", 160, 120, ",setsar=4/3", QRect(0, 78, 636, 356), QRect(211, 196, 214, 120)},
    };
    VideoWindow* video = window->videoWindow();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const Clip& c : clips) {
        SCOPED_TRACE(c.tag);
        playlist().clear();
        window->addPaths({shapedClip(c.tag, c.width, c.height, c.filters)});
        ASSERT_TRUE(waitUntil([&] { return state() == PlayerState::Playing; }, 10000));
        window->command(kMenuFitArea);
        EXPECT_EQ(video->geometry(), c.fitArea);
        window->command(kMenuActualSize);
        EXPECT_EQ(video->geometry(), c.actualSize);
        window->command(kMenuFullScreen);
        ASSERT_TRUE(video->isFullScreen());
        const QRect inScreen = VideoWindow::fitted(screen, c.fitArea.size(), true);
        const QSize surface = video->surface()->size();
        EXPECT_NEAR(double(surface.width()) / surface.height(), double(c.fitArea.width()) / c.fitArea.height(), 0.02);
        EXPECT_TRUE(surface.width() == screen.width() || surface.height() == screen.height()) << surface.width();
        EXPECT_LE(std::abs(video->surface()->x() - inScreen.x()), 1);
        video->leaveFullScreen();
        EXPECT_EQ(video->geometry(), c.fitArea);
    }
}

TEST_F(PlayerWindowTest, FastForwardReachesTheEndAndRewindTheStart)
{
    // Past the last keyframe (20 s) no seek goes forward: the player alone
    // replayed 20-21 s for ever. With autoplay the next entry follows.
    settings::current().setAutoPlay(true);
    window->addPaths({keyframeClip(QStringLiteral("ff_a")), keyframeClip(QStringLiteral("ff_b")),
                      keyframeClip(QStringLiteral("ff_c"))});
    ASSERT_TRUE(waitReport(9, 1));
    VideoWindow* video = window->videoWindow();
    for (int presses : {1, 6}) {
        SCOPED_TRACE(presses);
        const int ended = count(7), playing = count(9);
        engine().seekAbsolute(25);
        for (int i = 0; i < presses; ++i)
            window->command(PlayerWindow::kForward);
        EXPECT_EQ(video->speedStep(), presses == 1 ? 2 : 64);
        ASSERT_TRUE(waitReport(7, ended + 1, 15000)) << "the file never ended";
        ASSERT_TRUE(waitReport(9, playing + 1));
        EXPECT_EQ(video->speedStep(), 0);
    }
    EXPECT_EQ(playlist().currentIndex(), 2);
    // Rewind from 10 s: at the start it plays on at normal speed.
    engine().seekAbsolute(10);
    window->command(PlayerWindow::kRewind);
    ASSERT_TRUE(waitUntil([&] { return video->speedStep() == 0; }, 15000)) << "still rewinding";
    EXPECT_EQ(state(), PlayerState::Playing);
    pumpFor(1500);
    EXPECT_GE(engine().queryPosition(), 1) << "not playing on from the start";
    EXPECT_EQ(count(7), 2);
}

TEST_F(PlayerWindowTest, DroppedFilesAreAdded)
{
    const QString clip = videoClip(20, QStringLiteral("drop"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(clip), QUrl::fromLocalFile(brokenClip())});
    QDragEnterEvent enterEvent(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enterEvent);
    EXPECT_TRUE(enterEvent.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    ASSERT_TRUE(waitUntil([&] { return playlist().rowCount() == 1; }, 2000));
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(currentPath(), clip);

    // Names of any bytes: a GBK name (not UTF-8) and one holding a
    // backslash are played under their exact bytes and shown readably.
    const std::string folder = QFileInfo(clip).absolutePath().toStdString();
    const std::string gbk = folder + "/\xd1\xdd\xca\xbe drop.avi"; // 演示 in GBK
    const std::string backslash = folder + "/a\\b drop.avi";
    for (const std::string& name : {gbk, backslash}) {
        std::remove(name.c_str());
        ASSERT_EQ(::link(clip.toStdString().c_str(), name.c_str()), 0) << std::strerror(errno);
    }
    QMimeData odd;
    odd.setData(QStringLiteral("text/uri-list"),
                "file://" + QByteArray::fromStdString(gbk).toPercentEncoding("/") + "\r\nfile://"
                    + QByteArray::fromStdString(backslash).toPercentEncoding("/") + "\r\n");
    window->command(PlayerWindow::kStop);
    QDragEnterEvent oddEnter(QPoint(100, 100), Qt::CopyAction, &odd, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &oddEnter);
    QDropEvent oddDrop(QPointF(100, 100), Qt::CopyAction, &odd, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &oddDrop);
    ASSERT_TRUE(waitUntil([&] { return playlist().rowCount() == 3; }, 2000));
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(playlist().entryAt(1)->path.c_str(), gbk);
    EXPECT_EQ(playlist().entryAt(2)->path.c_str(), backslash);
    const QAbstractItemModel* rows = window->playlistView()->model();
    EXPECT_EQ(rows->index(1, 0).data().toString(), QStringLiteral("演示 drop.avi"));
    EXPECT_EQ(rows->index(2, 0).data().toString(), QStringLiteral("a\\b drop.avi"));
    for (int row : {1, 2}) {
        window->command(PlayerWindow::kStop); // the drop started the first row
        window->playlistView()->selectRows({row});
        window->command(PlayerWindow::kPlay);
        ASSERT_TRUE(waitUntil([&] { return state() == PlayerState::Playing; }, 10000)) << "row " << row;
        EXPECT_EQ(playlist().currentEntry(), playlist().entryAt(row));
    }
}

TEST_F(PlayerWindowTest, DestroyingTheWindowWhilePlayingEndsThePlayer)
{
    window->addPaths({videoClip(20, QStringLiteral("destroy"))});
    ASSERT_TRUE(waitReport(9, 1));
    ASSERT_EQ(processesWith("destroy_20s"), 1);
    window.reset();
    EXPECT_EQ(processesWith("destroy_20s"), 0);
}

TEST(PlayerWindowDialog, TitleAndFiltersInOrder)
{
    EXPECT_EQ(PlayerWindow::openDialogTitle(), QStringLiteral("选择影音文件"));
    const QStringList filters = PlayerWindow::openDialogFilters();
    ASSERT_EQ(filters.size(), 4);
    EXPECT_EQ(filters[0],
              QStringLiteral("Media Files (影音文件) (*.asf *.avi *.avs *.dat *.flv *.mkv *.mp4 *.mts "
                             "*.m2ts *.mpg *.mpeg *.mov *.ram *.rm *.rmvb *.ts *.vob *.wmv "
                             "*.aac *.ac3 *.flac *.mp2 *.mp3 *.ogg *.wav *.wma)"));
    EXPECT_EQ(filters[1], QStringLiteral("Video Files (视频文件) (*.m2v *.m4v)"));
    EXPECT_EQ(filters[2],
              QStringLiteral("Audio Files (音频文件) (*.aac *ac3 *.asf *.flac *.mp2 *.mp3 *.ogg *.wav *.wma)"));
    EXPECT_EQ(filters[3], QStringLiteral("* All Files (所有文件) (*)"));
}

} // namespace
} // namespace qf::ui::test
