#pragma once
// PlayerWindow: the preview player's page of the main window (846 x 538
// pixels). It holds the play controls, the position and picture sliders, the
// playlist and the video window, owns the player engine and decides what
// plays next. The engine's reports arrive as WM_PLAYER_NOTIFY messages on
// this window's message table, also while the video window is full screen,
// so a file that ends in full screen is followed by the same rules.
//
// Construction makes the video window's native window, starts the engine
// thread with its id; destruction ends any player and joins the thread
// before the windows go. UI thread only.

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include "player/player_engine.h"
#include "player/playlist_model.h"
#include "ui/shell/message_dispatch.h"
#include "ui/shell/qt_notification_sink.h"

namespace qf::probe {
class MediaSummary;
}

namespace qf::ui {

class PlaylistView;
class SkinButton;
class SkinSlider;
class SmallButton;
class VideoWindow;

class PlayerWindow : public MessageWidget {
    Q_OBJECT
public:
    // Control ids (also the commands the buttons give).
    enum Control : int {
        kPlay = 1011,
        kPause = 1012,
        kStop = 1013,
        kMute = 1014,
        kVolume = 1015,
        kPrevious = 1016,
        kNext = 1017,
        kOpen = 1018,
        kVideoSet = 1019,
        kSpare = 1020,
        kBrightness = 1021,
        kContrast = 1022,
        kUnusedSlider = 1023,
        kHue = 1024,
        kSaturation = 1025,
        kPosition = 1026,
        kForward = 1028,
        kRewind = 1029,
    };
    enum class DisplayMode { ActualSize = 0, FitArea = 1, FullScreen = 2 };

    static constexpr int kWidth = 846;
    static constexpr int kHeight = 538;
    static constexpr int kTopBarHeight = 28;
    static constexpr int kPositionTickMs = 1000;
    static constexpr int kMaxDroppedPath = 1024;
    // How long a closing top-level window waits for the player to quit (it
    // is killed after about 110 ms).
    static constexpr int kSurfaceGoneWaitMs = 1000;

    explicit PlayerWindow(QWidget* parent = nullptr);
    ~PlayerWindow() override;

    // Files dropped or chosen: each existing file is probed and added; every
    // file the probe refuses is named in one message box; then the next
    // available entry plays unless something plays already.
    void addPaths(const QStringList& paths);

    player::PlayerEngine& engine() { return engine_; }
    player::PlaylistModel& playlist() { return playlist_; }
    VideoWindow* videoWindow() const { return video_; }
    PlaylistView* playlistView() const { return list_; }

    // A button's or a menu item's command, as a click or the menu gives it.
    void command(int id);
    QWidget* control(int id) const;
    SkinSlider* slider(int id) const;

    DisplayMode displayMode() const { return displayMode_; }
    // Ticks the VideoSet menu's item of the current display mode (before it
    // is shown).
    void tickVideoSetMenu() const;
    // Client coordinates.
    QRect videoArea() const { return videoArea_; }
    QRect picturePanel() const;
    bool positionTimerRunning() const { return positionTimer_.isActive(); }
    // One tick of the position timer (the timer calls it; public for tests).
    void positionTick();

    // The page's keys, wherever its focus is (and on the full-screen video):
    // Space play/pause, Left/Right seek 10 s, Up/Down volume (in the playlist
    // they move the selection), F or Enter full screen, M mute, Delete the
    // selected playlist rows. True when the key was taken.
    bool handleKey(QKeyEvent* event);
    static constexpr int kSeekKeySeconds = 10;
    static constexpr int kVolumeKeyStep = 5;

    // The elapsed / length readout beside the position bar, "00:01:23 / 00:04:56".
    QString timeText() const;
    static QString formatTime(int seconds);
    static QRect timeReadoutRect();
    // The picture sliders and "全部重置" work only where the video output can
    // apply them; false while it cannot.
    bool pictureControlsEnabled() const { return pictureControls_; }
    // The text of the notice shown once when no sound output works, in the
    // top bar (it takes no focus and covers no picture); the notice while it
    // is shown, else null. A click or kNoSoundNoticeMs takes it away.
    static QString noSoundText();
    QWidget* noSoundNotice() const { return noSoundNotice_; }
    static constexpr int kNoSoundNoticeMs = 15000;
    // What the picture sliders say while the video output cannot apply them.
    static QString noPictureControlsText();

    // The open-file dialog's filters, Qt's form, in order.
    static QStringList openDialogFilters();
    static QString openDialogTitle();

    // The text of the refusal box for these paths.
    static QString refusalText(const QStringList& paths);
    // Replaces the modal parts in tests: the file chooser returns the chosen
    // paths; the message box shows a refusal (mode 1).
    using FileChooser = std::function<QStringList(QWidget*)>;
    using MessageBox = std::function<void(QWidget*, const QString&)>;
    void setFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }
    void setMessageBox(MessageBox box) { messageBox_ = std::move(box); }

Q_SIGNALS:
    // After the window has handled one of the engine's reports (7, 8, 9).
    void engineReported(int code);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // player_window_layout.cpp
    void createControls();
    void connectButton(QWidget* button, int id);
    void showVideoSetMenu();

    // player_window.cpp
    void registerMessages();
    intptr_t playerNotify(const core::Message& message);
    void sliderMoved(const QObject* control);
    // To the engine, and remembered in the configuration for the next run.
    void setVolume(uint32_t volume);
    void openFiles();
    bool addOne(const QString& path, QStringList& refused);

    // player_window_rules.cpp
    bool isActive() const; // Starting, Playing or Paused
    bool started(player::PlaylistEntry* entry);
    void playNextAvailable();
    void play();
    void pause();
    void stopAll();
    void previous();
    void next();
    void rewind();
    void fastForward();
    void resetPicture();
    void setDisplayMode(DisplayMode mode);
    void playEntry(player::PlaylistEntry* entry);
    void entryEnded(player::PlaylistEntry* ended);
    void entryStarting(player::PlaylistEntry* entry);
    void entryPlaying(player::PlaylistEntry* entry);
    // The shape the entry's picture is shown in: the player's own account
    // once the entry plays, else the probe's; empty without video.
    QSize pictureShape(const player::PlaylistEntry* entry) const;
    void sizeVideo(const player::PlaylistEntry* entry);
    void fitVideo(const QSize& shape);
    void fillArea(const QSize& shape);
    void setPositionSlider(int value);
    void setPositionRange(int32_t length);
    bool maySetFullScreen() const;
    void updatePictureControls();
    void tellNoSound();
    // The file is gone (its row deleted, the list cleared): no position,
    // no length.
    void clearPosition();

    // player_window_keys.cpp
    void toggleFullScreen();
    void seekBy(int seconds);
    void changeVolume(int delta);
    void installKeyFilters();

    // Declared first, destroyed last: the engine reports through them.
    QtNotificationSink videoSink_;
    QtNotificationSink playerSink_;
    player::PlaylistModel playlist_;
    player::PlayerEngine engine_;
    std::unique_ptr<probe::MediaSummary> prober_;

    VideoWindow* video_ = nullptr;
    PlaylistView* list_ = nullptr;
    QRect videoArea_;
    DisplayMode displayMode_ = DisplayMode::ActualSize;
    QTimer positionTimer_;
    FileChooser chooseFiles_;
    MessageBox messageBox_;
    QSize sizedShape_; // the shape the video window was last sized for
    // Where fast forward or rewind has got to, in seconds, while it runs.
    int64_t speedClock_ = 0;
    bool speedClockRunning_ = false;
    bool speedClockForward_ = false;
    bool pictureControls_ = true;
    bool toldNoSound_ = false;
    QPointer<QWidget> noSoundNotice_;
};

} // namespace qf::ui
