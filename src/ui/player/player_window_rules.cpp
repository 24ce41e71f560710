// What the player window plays, and when: the buttons, the engine's
// reports, fast forward and rewind, and the video window's size.

#include "core/messages.h"
#include "player/slave_protocol.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_slider.h"
#include "ui/player/player_window.h"
#include "ui/notify/floating_tip.h"
#include "ui/player/video_window.h"
#include "ui/shell/shared_menu.h"

#include <QAction>
#include <QLabel>
#include <QTimer>

#include "ui/skin/skin.h"

#include <algorithm>

#include "settings/settings.h"

namespace qf::ui {

namespace {

// Right of the open button, left of the VideoSet button.
constexpr int kNoticeLeft = 40;

// A line of text in the information popup's colours that goes when clicked.
class NoticeLabel final : public QLabel {
public:
    NoticeLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
    {
        setObjectName(QStringLiteral("noSoundNotice"));
        setFocusPolicy(Qt::NoFocus);
        setAlignment(Qt::AlignCenter);
        setFont(skin::smallFont());
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, skin::colorRef(skin::kPopupColour));
        palette.setColor(QPalette::WindowText, Qt::black);
        setPalette(palette);
        setAccessibleName(text);
    }

protected:
    void mousePressEvent(QMouseEvent*) override { deleteLater(); }
};

} // namespace

using player::PlayerState;
using player::PlaylistEntry;

void PlayerWindow::command(int id)
{
    switch (id) {
    case kPlay: play(); break;
    case kPause: pause(); break;
    case kStop: stopAll(); break;
    case kMute:
        if (auto* b = qobject_cast<SkinButton*>(control(kMute))) {
            if (b->isSelected())
                b->deselect();
            else
                b->select();
            engine_.setMute(b->isSelected());
        }
        break;
    case kPrevious: previous(); break;
    case kNext: next(); break;
    case kOpen: openFiles(); break;
    case kVideoSet: showVideoSetMenu(); break;
    case kRewind: rewind(); break;
    case kForward: fastForward(); break;
    case kMenuResetPicture: resetPicture(); break;
    case kMenuActualSize: setDisplayMode(DisplayMode::ActualSize); break;
    case kMenuFitArea: setDisplayMode(DisplayMode::FitArea); break;
    case kMenuFullScreen: setDisplayMode(DisplayMode::FullScreen); break;
    default: break;
    }
}

bool PlayerWindow::isActive() const
{
    const PlayerState s = engine_.state();
    return s == PlayerState::Starting || s == PlayerState::Playing || s == PlayerState::Paused;
}

bool PlayerWindow::started(PlaylistEntry* entry)
{
    return entry
        && engine_.startPlayback(entry, entry->path.c_str(), player::rotationFilter(entry->rotation))
        == PlayerState::Starting;
}

void PlayerWindow::playNextAvailable()
{
    if (isActive())
        return;
    // Entries that cannot be started are passed over.
    while (PlaylistEntry* e = playlist_.nextEntry(true)) {
        engine_.stopPlayback();
        if (started(e))
            return;
    }
}

void PlayerWindow::play()
{
    switch (engine_.state()) {
    case PlayerState::Paused:
        engine_.togglePause();
        // The last position the player told; its next answer comes with the
        // timer.
        setPositionSlider(engine_.position());
        break;
    case PlayerState::Starting:
    case PlayerState::Playing: video_->setSpeedStep(0); break;
    default:
        if (PlaylistEntry* e = playlist_.selectedEntry()) {
            if (started(e))
                playlist_.markCurrent(e);
        } else {
            playNextAvailable();
        }
        break;
    }
}

void PlayerWindow::pause()
{
    engine_.togglePause();
    if (engine_.state() == PlayerState::Paused)
        video_->setSpeedStep(0);
}

void PlayerWindow::stopAll()
{
    speedClockRunning_ = false;
    playlist_.markCurrent(nullptr);
    engine_.stopPlayback();
    positionTimer_.stop();
    video_->setSpeedStep(0);
    setPositionSlider(0);
}

void PlayerWindow::previous()
{
    // On the first row nothing changes and the file plays on.
    while (PlaylistEntry* e = playlist_.previousEntry()) {
        engine_.stopPlayback();
        if (started(e))
            return;
    }
}

void PlayerWindow::next()
{
    while (PlaylistEntry* e = playlist_.nextEntry(false)) {
        engine_.stopPlayback();
        if (started(e))
            return;
    }
    // Past the last row (or nothing current): start again at the first.
    stopAll();
    playNextAvailable();
}

void PlayerWindow::rewind()
{
    const PlayerState s = engine_.state();
    if (s != PlayerState::Playing && s != PlayerState::Paused)
        return;
    const int step = video_->speedStep();
    if (step == -VideoWindow::kMaxSpeedStep)
        return;
    video_->setSpeedStep(step < 0 ? step * 2 : -2);
}

void PlayerWindow::fastForward()
{
    const PlayerState s = engine_.state();
    if (s != PlayerState::Playing && s != PlayerState::Paused)
        return;
    const int step = video_->speedStep();
    if (step == VideoWindow::kMaxSpeedStep)
        return;
    video_->setSpeedStep(step > 0 ? step * 2 : 2);
}

void PlayerWindow::resetPicture()
{
    slider(kBrightness)->setValue(1);
    slider(kContrast)->setValue(1);
    slider(kHue)->setValue(0);
    slider(kSaturation)->setValue(1);
    engine_.setBrightness(1);
    engine_.setContrast(1);
    engine_.setHue(0);
    engine_.setSaturation(1);
}

void PlayerWindow::setDisplayMode(DisplayMode mode)
{
    displayMode_ = mode;
    if (!isActive())
        return;
    PlaylistEntry* current = playlist_.currentEntry();
    switch (mode) {
    case DisplayMode::ActualSize:
        if (current)
            fitVideo(pictureShape(current));
        break;
    case DisplayMode::FitArea:
        if (current)
            fillArea(pictureShape(current));
        break;
    case DisplayMode::FullScreen:
        if (current && current->hasVideo)
            video_->enterFullScreen();
        break;
    }
}

void PlayerWindow::playEntry(PlaylistEntry* entry)
{
    if (!entry) {
        if (engine_.state() != PlayerState::Starting)
            playNextAvailable();
        return;
    }
    if (engine_.state() == PlayerState::Starting)
        return;
    stopAll();
    playlist_.markCurrent(entry);
    // The entry stays current even when it cannot be started.
    engine_.startPlayback(entry, entry->path.c_str(), player::rotationFilter(entry->rotation));
}

void PlayerWindow::entryEnded(PlaylistEntry* ended)
{
    positionTimer_.stop();
    video_->setSpeedStep(0);
    setPositionSlider(0);
    if (settings::current().autoPlay()) {
        while (PlaylistEntry* e = playlist_.nextEntry(false))
            if (started(e))
                return;
        playlist_.markCurrent(nullptr);
        if (settings::current().loopPlay())
            while (PlaylistEntry* e = playlist_.nextEntry(true))
                if (started(e))
                    return;
    } else {
        playlist_.markCurrent(nullptr);
        if (settings::current().loopPlay()) {
            if (started(ended)) {
                playlist_.markCurrent(ended);
                return;
            }
        } else {
            stopAll();
        }
    }
    // Nothing plays any more: a full-screen picture would stay black over
    // the whole screen.
    if (!isActive())
        video_->leaveFullScreen();
}

void PlayerWindow::entryStarting(PlaylistEntry* entry)
{
    if (!entry)
        return;
    // A full-screen window keeps the whole screen for the next picture, but
    // sound alone would leave the screen black for its whole length.
    if (video_->isFullScreen() && !entry->hasVideo)
        video_->leaveFullScreen();
    fitVideo(pictureShape(entry));
}

void PlayerWindow::entryPlaying(PlaylistEntry* entry)
{
    if (!entry)
        return;
    if (video_->isFullScreen() && !entry->hasVideo)
        video_->leaveFullScreen();
    sizeVideo(entry);
    // Sound alone has no picture to fill the screen with.
    if (displayMode_ == DisplayMode::FullScreen && entry->hasVideo)
        video_->enterFullScreen();
    // Every player starts with its sound on: the pressed mute button must
    // keep this one silent too.
    if (auto* mute = qobject_cast<SkinButton*>(control(kMute)); mute && mute->isSelected())
        engine_.setMute(true);
    // Announced at start-up as a rule; otherwise asked for, and taken up by
    // the timer.
    int32_t length = engine_.knownLength();
    if (length != 0)
        entry->duration = length;
    else
        length = entry->duration;
    setPositionRange(length);
    setPositionSlider(0);
    speedClockRunning_ = false;
    updatePictureControls();
    tellNoSound();
    if (!positionTimer_.isActive())
        positionTimer_.start();
}

void PlayerWindow::setPositionRange(int32_t length)
{
    SkinSlider* position = slider(kPosition);
    position->setRange(0, std::max<int32_t>(length, 0));
    position->update();
    update(timeReadoutRect());
}

void PlayerWindow::updatePictureControls()
{
    const std::string output = engine_.videoOutput();
    // Until the player names its output (and for sound alone) nothing changes.
    if (output.empty())
        return;
    const bool on = player::videoOutputHasPictureControls(output);
    if (on == pictureControls_)
        return;
    pictureControls_ = on;
    for (int id : {kBrightness, kContrast, kHue, kSaturation})
        slider(id)->setEnabled(on);
    if (QAction* reset = sharedMenuAction(SharedPopup::VideoSet, kMenuResetPicture))
        reset->setEnabled(on);
}

void PlayerWindow::tellNoSound()
{
    // Once per run: every later file plays silently for the same reason.
    if (toldNoSound_ || engine_.soundOutputStatus() != player::SoundOutputFinder::Status::NoneWorks)
        return;
    toldNoSound_ = true;
    if (!floatingTipsEnabled())
        return;
    // A child of the page in the top bar, not a window: it cannot take the
    // keyboard from the page, nor stand over the picture.
    auto* notice = new NoticeLabel(noSoundText(), this);
    notice->setGeometry(kNoticeLeft, 3, control(kVideoSet)->x() - 6 - kNoticeLeft, kTopBarHeight - 6);
    notice->show();
    noSoundNotice_ = notice;
    QTimer::singleShot(kNoSoundNoticeMs, notice, &QObject::deleteLater);
}

void PlayerWindow::clearPosition()
{
    positionTimer_.stop();
    video_->setSpeedStep(0);
    speedClockRunning_ = false;
    setPositionRange(0);
    setPositionSlider(0);
}

void PlayerWindow::positionTick()
{
    // A slow start can leave the length unanswered at code 9, and a file
    // may have no probed length: ask again until there is one. The answer
    // to the question asked at code 9 replaces the probed length.
    if (engine_.length() == 0 && engine_.state() == PlayerState::Playing) {
        const int32_t length = engine_.knownLength(slider(kPosition)->maximum() == 0);
        if (length != 0 && length != slider(kPosition)->maximum()) {
            if (PlaylistEntry* current = playlist_.currentEntry())
                current->duration = length;
            setPositionRange(length);
        }
    }
    updatePictureControls();
    tellNoSound();
    // The player names the picture's shown size once its video output is
    // open, which may come after code 9.
    if (PlaylistEntry* current = playlist_.currentEntry();
        current && isActive() && pictureShape(current) != sizedShape_)
        sizeVideo(current);
    // Never waits for the player: the answer to this tick's question is
    // taken by the next one.
    int32_t p = engine_.pollPosition();
    const int step = video_->speedStep();
    if (step == 0) {
        speedClockRunning_ = false;
    } else {
        // The player's seeks snap to keyframes: forward from within the last
        // stretch between keyframes they snap back, so the player alone
        // would replay that stretch for ever. Fast forward and rewind run on
        // a clock of their own, which reaches the end and the start.
        const bool sameWay = speedClockRunning_ && (speedClockForward_ == (step > 0));
        const int64_t from = sameWay ? speedClock_ : p;
        speedClockForward_ = step > 0;
        speedClock_ = step > 0 ? std::max<int64_t>(from, p) + step : std::min<int64_t>(from, p) + step;
        speedClockRunning_ = true;
        const int32_t length = slider(kPosition)->maximum();
        if (step > 0 && length > 0 && speedClock_ >= length) {
            // The end: stop, or the next entry, as at the end of the file.
            video_->setSpeedStep(0);
            engine_.endOfFile();
            setPositionSlider(length);
            return;
        }
        if (step < 0 && speedClock_ <= 0) {
            // The start: play on from there at normal speed.
            video_->setSpeedStep(0);
            engine_.seekAbsolute(0);
            setPositionSlider(0);
            return;
        }
        engine_.seekRelative(step);
        if (p == 0)
            return;
        p += step;
    }
    if (p != 0)
        setPositionSlider(p);
}

QSize PlayerWindow::pictureShape(const PlaylistEntry* entry) const
{
    if (!entry || !entry->hasVideo)
        return {};
    int32_t width = 0, height = 0;
    if (entry == playlist_.currentEntry() && isActive() && engine_.displaySize(width, height))
        return {width, height};
    return {entry->displayWidth, entry->displayHeight};
}

void PlayerWindow::sizeVideo(const PlaylistEntry* entry)
{
    const QSize shape = pictureShape(entry);
    if (displayMode_ == DisplayMode::ActualSize)
        fitVideo(shape);
    else
        fillArea(shape);
}

void PlayerWindow::fitVideo(const QSize& shape)
{
    sizedShape_ = shape;
    video_->setPictureShape(shape);
    // Full screen is left for the area filled in the picture's shape.
    video_->setReturnArea(VideoWindow::fitted(videoArea_, shape, true));
    if (video_->isFullScreen())
        return;
    if (shape.isEmpty()) {
        // No picture: the window shrinks to nothing at the area's centre.
        const QRect& a = videoArea_;
        video_->setGeometry((2 * a.left() + a.width()) / 2, (2 * a.top() + a.height()) / 2, 0, 0);
        return;
    }
    // At its own size when that fits, else as large as fits; centred on
    // the background either way.
    video_->setGeometry(VideoWindow::fitted(videoArea_, shape, false));
}

void PlayerWindow::fillArea(const QSize& shape)
{
    sizedShape_ = shape;
    video_->setPictureShape(shape);
    const QRect r = VideoWindow::fitted(videoArea_, shape, true);
    video_->setReturnArea(r);
    if (!video_->isFullScreen())
        video_->setGeometry(r);
}

void PlayerWindow::setPositionSlider(int value)
{
    if (SkinSlider* s = slider(kPosition))
        s->setValue(value);
    update(timeReadoutRect());
}

bool PlayerWindow::maySetFullScreen() const
{
    const PlayerState s = engine_.state();
    const PlaylistEntry* current = playlist_.currentEntry();
    return (s == PlayerState::Playing || s == PlayerState::Paused) && current && current->hasVideo;
}

} // namespace qf::ui
