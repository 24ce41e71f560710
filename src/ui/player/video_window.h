#pragma once
// VideoWindow: where the external player draws. The player is given the X11
// id of the window's surface once, when the engine thread starts, so that
// surface must stay the same live X window for the life of the player
// window, through any number of full-screen rounds. Qt may give a widget a
// new native window whenever it stops or starts being a window of its own,
// so the surface is not a widget: it is a plain QWindow inside the video
// window, and full screen moves that QWindow (XReparentWindow, the X window
// itself kept) into a frameless top-most window over the whole screen and
// back. The video window widget itself never leaves the player window.
//
// The surface paints the colour key the player was given (16,16,16), also
// over the player's last picture once the player has gone and over what a
// resize uncovers. While the player fast-forwards or rewinds, the speed
// label stands at the surface's bottom right: an X window of its own above
// the surface, which the player's drawing cannot cover, as wide as its text.
// The video window asks its owner (the player window) before going full
// screen on a double click (WM_PLAYER_NOTIFY 2, sent) and leaves full screen
// when the engine reports a requested stop (code 6). UI thread only; the
// engine's code 6 and 7 reach it through engineNotify(), called by the
// owner's video-window sink.

#include <QBasicTimer>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QWindow;

namespace qf::ui {

class VideoSurface;
class SpeedLabel;
class FullScreenHost;

class VideoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLabelWidth = 90; // at least; wider when the text needs it
    static constexpr int kLabelHeight = 40;
    static constexpr int kLabelMargin = 4; // left and right of the text
    static constexpr int kMaxSpeedStep = 64;
    static constexpr int kCursorTickMs = 1000;
    static constexpr int kIdleTicksToHide = 3;

    // owner receives the full-screen question and keeps the widget.
    explicit VideoWindow(QWidget* owner);
    ~VideoWindow() override;

    // The id given to the player (-wid): the surface's X window.
    uint32_t nativeId();
    // The surface and where it stands on the screen now.
    QWindow* surface() const;
    QRect surfaceOnScreen() const;
    // The full-screen window while full screen, else null.
    QWindow* fullScreenWindow() const;

    // Seconds applied per second: 0, or +-2, 4, 8, 16, 32, 64.
    int speedStep() const { return speedStep_; }
    void setSpeedStep(int step);
    // The label's text for a step: ">> x8", "<< x2"; empty for 0.
    static QString speedText(int step);
    // Bottom-right 90 x 40 of the surface, or wider for a longer text
    // (surface coordinates; the surface covers the widget while embedded).
    QRect speedLabelRect() const { return labelRect_; }
    // The label's font ("System", 20 points).
    static QFont labelFont();

    // The rectangle of the picture's shape (width x height) in `area`,
    // centred: as large as fits, or, when `enlarge` is false, at its own
    // size if that fits. An empty shape gives the whole area.
    static QRect fitted(const QRect& area, const QSize& shape, bool enlarge);
    // The shape of the picture now played (empty: unknown, fill); in full
    // screen the surface is this shape, as large as the screen allows,
    // centred on the background.
    void setPictureShape(const QSize& shape);
    QSize pictureShape() const { return shape_; }

    bool isFullScreen() const { return fullScreen_; }
    // Shows the picture over the whole screen, above every other window.
    // Nothing when already full screen.
    void enterFullScreen();
    // Puts the surface back into this widget and places the widget on
    // `area` (owner coordinates). Nothing when not full screen.
    void leaveFullScreen();
    // Where leaveFullScreen puts the window.
    void setReturnArea(const QRect& area) { returnArea_ = area; }

    bool cursorHidden() const { return cursorHidden_; }
    bool cursorTimerRunning() const { return cursorTimer_.isActive(); }
    int idleTicks() const { return idleTicks_; }
    // One tick of the cursor timer (the timer calls it; public for tests).
    void cursorTick();

    // The engine's reports addressed to this window: 6 leaves full screen,
    // 7 keeps it; both paint the background over the player's last picture.
    // Returns the message result (0).
    intptr_t engineNotify(uint32_t code);
    // Paints the background over whatever the player left.
    void clearPicture();

    // Keys pressed on the surface (it has the keyboard once clicked, and
    // alone while full screen) go to this handler first; true means it took
    // the key.
    using KeyHandler = std::function<bool(QKeyEvent*)>;
    void setKeyHandler(KeyHandler handler) { keyHandler_ = std::move(handler); }

    // Called when the surface's X window is about to be destroyed (its
    // top-level window closes): the player drawing into it must go first.
    using SurfaceGoing = std::function<void()>;
    void setSurfaceGoingHandler(SurfaceGoing handler) { surfaceGoing_ = std::move(handler); }
    void surfaceAboutToGo()
    {
        if (surfaceGoing_)
            surfaceGoing_();
    }

    // The surface's input, handled as the widget's own.
    void surfaceDoubleClicked();
    void surfaceUserActive() { userActive(); }
    bool surfaceKey(QKeyEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    friend class FullScreenHost;
    void userActive();
    void showCursor();
    void placeLabel();
    void fitSurface();

    QPointer<QWidget> owner_; // the player window; null only while it is being destroyed
    QRect returnArea_;
    QRect labelRect_;
    QSize shape_;
    int speedStep_ = 0;
    bool fullScreen_ = false;
    bool cursorHidden_ = false;
    int idleTicks_ = 0;
    QBasicTimer cursorTimer_;
    // The host is declared first so that it goes last: the surface may
    // stand in it.
    std::unique_ptr<FullScreenHost> host_;
    std::unique_ptr<VideoSurface> surface_;
    std::unique_ptr<SpeedLabel> label_;
    KeyHandler keyHandler_;
    SurfaceGoing surfaceGoing_;
};

} // namespace qf::ui
