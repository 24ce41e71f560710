// The player view as users meet it on a plain X desktop (no XVideo, no sound
// device): full screen any number of times by every route in the same live
// X window, a scaled picture, no stale frames, a seekable sound file and a
// readable speed label. Screenshots of each state go next to the tests.

#include <QFontMetrics>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "core/messages.h"
#include "settings/settings.h"
#include "player/slave_protocol.h"
#include "ui/controls/skin_slider.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/support/player_view_support.h"
#include "ui/player/support/x11_player_fixture.h"
#include "ui/player/support/x11_screen.h"
#include "ui/player/video_window.h"
#include "ui/shell/shared_menu.h"

namespace qf::ui::test {
namespace {

QString shot(const char* name) { return QStringLiteral(QF_SHOT_DIR "/%1.png").arg(QString::fromUtf8(name)); }

QRect screenRect() { return QGuiApplication::primaryScreen()->geometry(); }

// Sets the player's drivers for one test and puts back what was there.
class DriversFor {
public:
    explicit DriversFor(const char* drivers)
    {
        if (const char* old = std::getenv(player::kPlayerDriversVariable))
            saved_ = old;
        if (drivers)
            ::setenv(player::kPlayerDriversVariable, drivers, 1);
        else
            ::unsetenv(player::kPlayerDriversVariable);
    }
    ~DriversFor()
    {
        if (saved_.empty())
            ::unsetenv(player::kPlayerDriversVariable);
        else
            ::setenv(player::kPlayerDriversVariable, saved_.c_str(), 1);
    }

private:
    std::string saved_;
};

class PlayerDesktopX11 : public PlayerViewX11 {
protected:
    VideoWindow* video() { return window->videoWindow(); }
    QRect videoAreaOnScreen()
    {
        return QRect(window->mapToGlobal(window->videoArea().topLeft()), window->videoArea().size());
    }
    // Nothing but the colour key in the video area, as X shows it.
    bool waitBackground(const QRect& r, int timeoutMs = 5000)
    {
        return waitUntil([&] { return keyShare(grabScreen(r)) > 0.995; }, timeoutMs);
    }
    // Where the picture stands in full screen: its shape, as large as the
    // screen allows, centred.
    QRect fullScreenPicture() { return VideoWindow::fitted(screenRect(), video()->pictureShape(), true); }
    // In full screen, with the same live window and a moving picture.
    void expectFullScreenPicture(uint32_t id, const char* route, int round)
    {
        ASSERT_TRUE(video()->isFullScreen()) << route << " round " << round;
        EXPECT_EQ(video()->nativeId(), id) << route << " round " << round;
        EXPECT_TRUE(xWindowViewable(id)) << route << " round " << round;
        ASSERT_TRUE(waitUntil([&] { return video()->surfaceOnScreen() == fullScreenPicture(); }, 5000))
            << route << " round " << round;
        EXPECT_TRUE(waitUntil([&] { return pictureShare(grabScreen(screenRect())) > 0.4; }, 5000))
            << "no picture over the screen, " << route << " round " << round;
    }
    void expectEmbeddedPicture(uint32_t id, const char* route, int round)
    {
        ASSERT_FALSE(video()->isFullScreen()) << route << " round " << round;
        EXPECT_EQ(video()->nativeId(), id) << route << " round " << round;
        EXPECT_EQ(video()->parentWidget(), window.get());
        EXPECT_EQ(video()->surfaceOnScreen(), onScreen(video()));
        EXPECT_TRUE(xWindowViewable(id)) << route << " round " << round;
        EXPECT_TRUE(waitPicture(onScreen(video()))) << "no picture back in the page, " << route << " round " << round;
    }
};

TEST_F(PlayerDesktopX11, TenFullScreenRoundsByEveryRouteKeepTheSameLiveWindow)
{
    window->addPaths({videoClip(120, QStringLiteral("rounds"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1)) << window->engine().lastCommandLine();
    const uint32_t id = video()->nativeId();
    ASSERT_TRUE(waitPicture(onScreen(video())));

    struct Route {
        const char* name;
        std::function<void()> enter, leave;
    };
    const Route routes[] = {
        {"double click", [&] { doubleClick(video()); }, [&] { doubleClick(video()); }},
        {"Escape", [&] { doubleClick(video()); }, [&] { pressKey(video(), Qt::Key_Escape); }},
        {"menu", [&] { window->command(kMenuFullScreen); },
         [&] {
             pressKey(video(), Qt::Key_Escape);
             window->command(kMenuActualSize);
         }},
        {"keys F and Enter", [&] { pressKey(window.get(), Qt::Key_F); }, [&] { pressKey(video(), Qt::Key_Return); }},
    };
    for (const Route& route : routes) {
        for (int round = 1; round <= 10; ++round) {
            route.enter();
            expectFullScreenPicture(id, route.name, round);
            if (round == 10 && std::string(route.name) == "menu")
                grabScreen(screenRect()).save(shot("player_fullscreen_round10"));
            route.leave();
            expectEmbeddedPicture(id, route.name, round);
            if (HasFatalFailure())
                return;
        }
    }
    QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, window->width(), window->height())
        .save(shot("player_after_40_fullscreen_rounds"));
    EXPECT_EQ(window->engine().videoWindowId(), id);
    EXPECT_EQ(count(8), 1) << "the player was restarted";
    EXPECT_EQ(count(7), 0) << "the player died";
    EXPECT_EQ(window->engine().state(), player::PlayerState::Playing);
}

TEST_F(PlayerDesktopX11, FullScreenEndsWithTheFileAndWithStopTenTimesEach)
{
    window->command(kMenuFullScreen);
    const uint32_t id = video()->nativeId();
    // End of file in full screen: the page takes the window back.
    window->addPaths({videoClip(2, QStringLiteral("eof"), 320, 240)});
    for (int round = 1; round <= 10; ++round) {
        if (round > 1)
            window->command(PlayerWindow::kPlay);
        ASSERT_TRUE(waitReport(9, round)) << "round " << round;
        expectFullScreenPicture(id, "end of file", round);
        ASSERT_TRUE(waitReport(7, round)) << "round " << round;
        EXPECT_FALSE(video()->isFullScreen()) << "round " << round;
        EXPECT_TRUE(xWindowViewable(id)) << "round " << round;
        if (HasFatalFailure())
            return;
    }
    EXPECT_TRUE(waitBackground(videoAreaOnScreen())) << "the last frame stayed after the end of the file";
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_after_end_of_file"));

    // A requested stop (code 6) in full screen.
    window->playlist().markCurrent(nullptr);
    window->addPaths({videoClip(30, QStringLiteral("stop6"), 320, 240)});
    const int started = count(9);
    for (int round = 1; round <= 10; ++round) {
        if (round > 1)
            window->command(PlayerWindow::kPlay);
        ASSERT_TRUE(waitReport(9, started + round)) << "round " << round;
        expectFullScreenPicture(id, "stop", round);
        window->command(PlayerWindow::kStop);
        ASSERT_TRUE(waitUntil([&] { return !video()->isFullScreen(); }, 5000)) << "round " << round;
        EXPECT_TRUE(xWindowViewable(id)) << "round " << round;
        EXPECT_TRUE(waitBackground(videoAreaOnScreen())) << "a frame stayed after Stop, round " << round;
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(count(7), 10) << "a player died";
}

TEST_F(PlayerDesktopX11, ALargeClipFillsItsShapeInTheAreaAndTheScreenWithoutXVideo)
{
    // The program's own video outputs; this X server has no XVideo.
    DriversFor drivers("-vo xv,x11, -ao null");
    window->command(kMenuFitArea);
    window->addPaths({framedClip(30, QStringLiteral("large"), 1280, 720)});
    ASSERT_TRUE(waitReport(9, 1)) << window->engine().lastCommandLine();
    ASSERT_TRUE(waitPicture(onScreen(video())));
    ASSERT_TRUE(waitUntil([&] { return window->engine().videoOutput() == "x11"; }, 5000))
        << "the player chose " << window->engine().videoOutput();
    EXPECT_TRUE(waitUntil([&] { return pictureReachesEdges(grabScreen(onScreen(video()))); }, 5000))
        << "the picture does not fill the video area";
    EXPECT_EQ(video()->geometry(), QRect(0, 78, 636, 357)) << "not 16:9 across the area";
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_large_clip_fit_area"));

    // x11 applies no picture settings: the sliders say so.
    window->positionTick();
    EXPECT_FALSE(window->pictureControlsEnabled());
    EXPECT_FALSE(window->slider(PlayerWindow::kBrightness)->isEnabled());
    EXPECT_FALSE(window->slider(PlayerWindow::kSaturation)->isEnabled());
    EXPECT_TRUE(window->slider(PlayerWindow::kVolume)->isEnabled());
    // A disabled slider says why when the mouse comes over it.
    setFloatingTipsEnabled(true);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(window->slider(PlayerWindow::kHue), &enter);
    ASSERT_NE(currentHoverTip(), nullptr);
    EXPECT_EQ(currentHoverTip()->text(), PlayerWindow::noPictureControlsText());
    hideHoverTip();
    setFloatingTipsEnabled(false);

    doubleClick(video());
    ASSERT_TRUE(video()->isFullScreen());
    ASSERT_TRUE(waitUntil([&] { return video()->surfaceOnScreen() == fullScreenPicture(); }, 5000));
    EXPECT_EQ(fullScreenPicture().width(), screenRect().width());
    EXPECT_TRUE(waitUntil([&] { return pictureReachesEdges(grabScreen(fullScreenPicture())); }, 5000))
        << "a small picture in the middle of the screen";
    grabScreen(screenRect()).save(shot("player_large_clip_fullscreen"));
    doubleClick(video());
    EXPECT_TRUE(waitUntil([&] { return pictureReachesEdges(grabScreen(onScreen(video()))); }, 5000));
}

// The X server offers XVideo (Xvfb does not).
bool xvOffered()
{
    QProcess info;
    info.start(QStringLiteral("xvinfo"), {});
    if (!info.waitForFinished(10000) || info.exitCode() != 0)
        return false;
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    return out.contains(QStringLiteral("Adaptor #")) && !out.contains(QStringLiteral("no adaptors present"));
}

// The rectangle of everything that is not the background colour.
QRect pictureBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!isKeyColour(image.pixelColor(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST_F(PlayerDesktopX11, EveryPictureKeepsItsShapeCentredOnTheBackground)
{
    struct Clip {
        const char* tag;
        int width, height;
    };
    // 1080 x 1920 scaled down, still higher than the area. (A portrait
    // picture small enough to start at its own size makes the player's x11
    // output abort at the first resize: a fault of the player.)
    const Clip clips[] = {{"portrait", 360, 640}, {"wide16x9", 320, 180}, {"tv4x3", 320, 240}, {"scope", 478, 200}};
    for (const char* output : {"x11", "xv"}) {
        if (std::string(output) == "xv" && !xvOffered()) {
            std::cout << "[ NOTE ] this X server offers no XVideo: -vo xv not measured\n";
            continue;
        }
        DriversFor drivers((std::string("-vo ") + output + " -ao null").c_str());
        for (const Clip& c : clips) {
            const double shape = double(c.width) / c.height;
            window->playlist().clear();
            window->command(kMenuActualSize);
            const int playing = count(9);
            window->addPaths({shapedClip(c.tag, c.width, c.height)});
            ASSERT_TRUE(waitReport(9, playing + 1)) << c.tag;
            ASSERT_TRUE(waitUntil([&] { return window->engine().videoOutput() == output; }, 5000)) << output;
            // The player's x11 output scales up when its window grows, not
            // down when it shrinks: the modes go from small to large.
            for (int mode : {kMenuActualSize, kMenuFitArea, kMenuFullScreen}) {
                window->command(mode);
                const bool full = mode == kMenuFullScreen;
                const QRect where = full ? screenRect() : videoAreaOnScreen();
                const std::string what = std::string(output) + " " + c.tag
                    + (full                       ? " full screen"
                           : mode == kMenuFitArea ? " 最大显示"
                                                  : " 原始大小");
                // Once the player has drawn at the new size: the picture's
                // shape within 2 %, its red border at its edges, centred on
                // the background, at its own size or as large as fits.
                const bool ownSize = mode == kMenuActualSize && c.height <= where.height() && c.width <= where.width();
                QImage image;
                QRect r;
                const auto placed = [&] {
                    const int w = image.width(), h = image.height();
                    return r.isValid() && std::abs(double(r.width()) / r.height() - shape) / shape < 0.02
                        && pictureReachesEdges(image.copy(r), 2) && std::abs(r.left() - (w - 1 - r.right())) <= 2
                        && std::abs(r.top() - (h - 1 - r.bottom())) <= 2
                        && (ownSize ? std::abs(r.width() - c.width) <= 2 : r.width() >= w - 2 || r.height() >= h - 2);
                };
                EXPECT_TRUE(waitUntil(
                    [&] {
                        image = grabScreen(where);
                        r = pictureBounds(image);
                        return placed();
                    },
                    5000))
                    << what << ": picture " << r.width() << "x" << r.height() << " at " << r.x() << "," << r.y()
                    << " in " << where.width() << "x" << where.height();
                std::cout << "[ SHAPE ] " << what << ": " << r.width() << "x" << r.height() << " at " << r.x() << ","
                          << r.y() << " in " << where.width() << "x" << where.height() << ", shape "
                          << double(r.width()) / r.height() << " for " << shape << "\n";
                if (std::string(c.tag) == "portrait")
                    image.save(shot((std::string("player_shape_portrait_") + output
                                     + (full                       ? "_fullscreen"
                                            : mode == kMenuFitArea ? "_fit_area"
                                                                   : "_actual_size"))
                                        .c_str()));
                if (full)
                    pressKey(video(), Qt::Key_Escape);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}

TEST_F(PlayerDesktopX11, StopClearListAndDeletingThePlayingRowLeaveTheBackground)
{
    const QString clip = videoClip(30, QStringLiteral("stale"), 320, 240);
    window->addPaths({clip});
    ASSERT_TRUE(waitReport(9, 1));
    ASSERT_TRUE(waitPicture(onScreen(video())));
    window->command(PlayerWindow::kStop);
    EXPECT_TRUE(waitBackground(videoAreaOnScreen())) << "the last frame stayed after Stop";
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_after_stop"));

    window->command(PlayerWindow::kPlay);
    ASSERT_TRUE(waitReport(9, 2));
    ASSERT_TRUE(waitPicture(onScreen(video())));
    window->playlistView()->menuCommand(kMenuListClear);
    EXPECT_EQ(window->playlist().rowCount(), 0);
    EXPECT_TRUE(waitBackground(videoAreaOnScreen())) << "the last frame stayed after 清空列表";
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_after_clear_list"));

    window->addPaths({clip});
    ASSERT_TRUE(waitReport(9, 3));
    ASSERT_TRUE(waitPicture(onScreen(video())));
    window->playlistView()->selectRows({0});
    pressKey(window->playlistView(), Qt::Key_Delete);
    EXPECT_EQ(window->playlist().rowCount(), 0);
    EXPECT_TRUE(waitBackground(videoAreaOnScreen())) << "the last frame stayed after deleting the playing row";
}

TEST_F(PlayerDesktopX11, ASmallerPictureLeavesNoPiecesOfTheLargerOne)
{
    window->command(kMenuFitArea);
    window->addPaths({framedClip(30, QStringLiteral("shrink"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1));
    ASSERT_TRUE(waitUntil([&] { return pictureReachesEdges(grabScreen(onScreen(video()))); }, 5000));
    window->command(kMenuActualSize);
    // Outside the picture's own rectangle the area is the background again.
    const QRect area = videoAreaOnScreen();
    const QRect left(area.left(), area.top(), onScreen(video()).left() - area.left() - 2, area.height());
    EXPECT_TRUE(waitBackground(left)) << "pieces of the filled picture stayed";
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_back_to_actual_size"));
}

TEST_F(PlayerDesktopX11, ASoundFileSeeksToTheMiddleByAClickOnTheBar)
{
    window->addPaths({audioClip(20, QStringLiteral("seek_tone"))});
    ASSERT_TRUE(waitReport(9, 1));
    SkinSlider* bar = window->slider(PlayerWindow::kPosition);
    EXPECT_EQ(bar->maximum(), 20);
    const QPoint middle(bar->width() / 2, bar->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(middle), QPointF(bar->mapToGlobal(middle)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(middle), QPointF(bar->mapToGlobal(middle)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QApplication::sendEvent(bar, &release);
    EXPECT_GE(bar->value(), 9);
    EXPECT_LE(bar->value(), 11);
    // The player itself went there: its position answers say so.
    EXPECT_TRUE(waitUntil([&] { return window->engine().position() >= 10 && bar->value() >= 10; }, 6000))
        << "position " << window->engine().position();
    EXPECT_TRUE(window->timeText().endsWith(QStringLiteral(" / 00:00:20"))) << window->timeText().toStdString();
    grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_sound_seeked"));
}

TEST_F(PlayerDesktopX11, TheSpeedLabelShowsItsWholeTextOverThePicture)
{
    // The starting display mode: the video window is exactly the picture.
    window->addPaths({videoClip(120, QStringLiteral("label"), 320, 240)});
    ASSERT_TRUE(waitReport(9, 1));
    ASSERT_TRUE(waitPicture(onScreen(video())));
    const QFontMetrics metrics(VideoWindow::labelFont());
    for (int presses : {1, 6}) {
        while (video()->speedStep() < (presses == 1 ? 2 : 64))
            window->command(PlayerWindow::kForward);
        const QString text = VideoWindow::speedText(video()->speedStep());
        pumpFor(800); // a score of frames drawn meanwhile
        const QRect label(video()->surface()->mapToGlobal(video()->speedLabelRect().topLeft()),
                          video()->speedLabelRect().size());
        const QImage image = grabScreen(label);
        int grey = 0, dark = 0, other = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == QColor(204, 204, 204))
                    ++grey;
                else if (c.red() == c.green() && c.green() == c.blue())
                    ++dark; // the text, smoothed
                else
                    ++other;
            }
        EXPECT_GT(grey, image.width() * image.height() / 2) << text.toStdString();
        EXPECT_GT(dark, 0) << "no text in " << text.toStdString();
        EXPECT_EQ(other, 0) << "the picture painted over " << text.toStdString();
        // The text's right end stands inside the label.
        int rightmostText = -1;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y).red() < 100)
                    rightmostText = x;
        EXPECT_LT(rightmostText, image.width() - 1) << text.toStdString() << " is cut";
        EXPECT_GE(video()->speedLabelRect().width(), 2 * VideoWindow::kLabelMargin + metrics.horizontalAdvance(text));
        grabScreen(QRect(0, 0, window->width(), window->height()))
            .save(shot(presses == 1 ? "player_speed_label_x2" : "player_speed_label_x64"));
    }
}

TEST(PlayerWithoutSound, TheSoundOutputIsFoundOnceAndNoSoundIsToldOnce)
{
    // The program's own choice of drivers: the sound output is searched for.
    useRealPlayer("-vo x11 -ao null");
    DriversFor drivers(nullptr);
    setFloatingTipsEnabled(true);
    settings::current().setAutoPlay(false);
    auto window = std::make_unique<PlayerWindow>();
    window->setMessageBox([](QWidget*, const QString&) {});
    window->move(0, 0);
    window->show();
    using Status = player::SoundOutputFinder::Status;
    const auto searched = [&] {
        const Status s = window->engine().soundOutputStatus();
        return s == Status::Found || s == Status::NoneWorks;
    };
    ASSERT_TRUE(waitUntil(searched, 20000)) << "the search for a sound output never ended";
    const bool none = window->engine().soundOutputStatus() == Status::NoneWorks;

    const QString clip = videoClip(30, QStringLiteral("nosound"), 320, 240);
    window->addPaths({clip});
    ASSERT_TRUE(waitUntil([&] { return window->engine().state() == player::PlayerState::Playing; }, 10000));
    const std::string line = window->engine().lastCommandLine();
    EXPECT_EQ(line.find("pulse,alsa"), std::string::npos) << "the outputs are tried again: " << line;
    if (none) {
        EXPECT_NE(line.find("-ao null"), std::string::npos) << line;
        // Told when the window handles the player's start (code 9), in the
        // page's top bar: the keys stay with the page, the picture uncovered.
        window->activateWindow();
        window->setFocus();
        ASSERT_TRUE(waitUntil([&] { return window->noSoundNotice() != nullptr; }, 5000)) << "the user was not told";
        QWidget* notice = window->noSoundNotice();
        EXPECT_EQ(notice->accessibleName(), PlayerWindow::noSoundText());
        EXPECT_TRUE(notice->isVisible());
        EXPECT_EQ(notice->parentWidget(), window.get());
        EXPECT_FALSE(notice->geometry().intersects(window->videoArea()));
        EXPECT_EQ(currentInfoPopup(), nullptr);
        EXPECT_TRUE(window->hasFocus()) << "the notice took the keyboard";
        grabScreen(QRect(0, 0, window->width(), window->height())).save(shot("player_no_sound_tip"));
        delete notice;
        window->command(PlayerWindow::kNext);
        ASSERT_TRUE(waitUntil([&] { return window->engine().state() == player::PlayerState::Playing; }, 10000));
        pumpFor(1500); // its code 9 and a position tick
        EXPECT_EQ(window->noSoundNotice(), nullptr) << "told twice";
    }
    window.reset();
    setFloatingTipsEnabled(false);
}

} // namespace
} // namespace qf::ui::test
