// The player page's keys and its elapsed / length readout.

#include <QKeyEvent>

#include <algorithm>

#include "player/player_settings.h"
#include "ui/controls/skin_slider.h"
#include "ui/player/player_window.h"
#include "ui/player/playlist_view.h"
#include "ui/player/video_window.h"

namespace qf::ui {

using player::PlayerState;

namespace {

bool isListNavigation(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown
        || key == Qt::Key_Home || key == Qt::Key_End;
}

} // namespace

bool PlayerWindow::handleKey(QKeyEvent* event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Space: command(engine_.state() == PlayerState::Playing ? kPause : kPlay); return true;
    case Qt::Key_Left: seekBy(-kSeekKeySeconds); return true;
    case Qt::Key_Right: seekBy(kSeekKeySeconds); return true;
    case Qt::Key_Up: changeVolume(kVolumeKeyStep); return true;
    case Qt::Key_Down: changeVolume(-kVolumeKeyStep); return true;
    case Qt::Key_F:
    case Qt::Key_Return:
    case Qt::Key_Enter: toggleFullScreen(); return true;
    case Qt::Key_M: command(kMute); return true;
    case Qt::Key_Delete: playlist_.deleteSelected(); return true;
    default: return false;
    }
}

void PlayerWindow::toggleFullScreen()
{
    if (video_->isFullScreen())
        video_->leaveFullScreen();
    else if (maySetFullScreen())
        video_->enterFullScreen();
}

void PlayerWindow::seekBy(int seconds)
{
    if (engine_.state() != PlayerState::Playing)
        return;
    video_->setSpeedStep(0);
    const int32_t length = engine_.length() != 0 ? engine_.length() : slider(kPosition)->maximum();
    if (seconds > 0 && length > 0 && engine_.position() + seconds >= length) {
        // Past the end: the file ends as it would by playing on.
        engine_.endOfFile();
        setPositionSlider(length);
        return;
    }
    // From where the player is: back always goes back by the step or more,
    // forward always forward.
    engine_.seekStep(seconds);
    setPositionSlider(engine_.position());
}

void PlayerWindow::changeVolume(int delta)
{
    SkinSlider* volume = slider(kVolume);
    const int value = std::clamp(volume->value() + delta, 0, static_cast<int>(player::kMaxPlayerVolume));
    volume->setValue(value);
    setVolume(static_cast<uint32_t>(value));
}

void PlayerWindow::keyPressEvent(QKeyEvent* event)
{
    if (handleKey(event))
        event->accept();
    else
        MessageWidget::keyPressEvent(event);
}

void PlayerWindow::installKeyFilters()
{
    // The skinned controls never take the focus (a focused one would draw
    // its dotted frame over the skin, and Space would press it instead of
    // playing); the page, the video and the list do.
    setFocusPolicy(Qt::ClickFocus);
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != list_ && child != video_)
            child->setFocusPolicy(Qt::NoFocus);
    }
    list_->installEventFilter(this);
    video_->setKeyHandler([this](QKeyEvent* event) { return handleKey(event); });
}

bool PlayerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The list keeps its own moving about.
        if (isListNavigation(key->key()))
            return false;
        return handleKey(key);
    }
    return MessageWidget::eventFilter(watched, event);
}

QString PlayerWindow::formatTime(int seconds)
{
    seconds = std::max(seconds, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString PlayerWindow::timeText() const
{
    const SkinSlider* position = slider(kPosition);
    return formatTime(position->value()) + QStringLiteral(" / ") + formatTime(position->maximum());
}

// Right of the volume slider, on the row of the play buttons just under the
// position bar.
QRect PlayerWindow::timeReadoutRect() { return QRect(292, 506, 170, 20); }

QString PlayerWindow::noPictureControlsText()
{
    return QStringLiteral("当前的视频输出不能调节亮度、对比、色调和饱和度。");
}

QString PlayerWindow::noSoundText() { return QStringLiteral("没有可用的声音输出设备，播放时将没有声音。"); }

} // namespace qf::ui
