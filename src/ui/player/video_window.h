#pragma once
// VideoWindow: the native window the external player draws into. Its X11
// window id is handed to the player once, when the engine thread starts, so
// the window must keep that id for the life of the player window: full
// screen takes the very same native window out of the player window and puts
// it back (Qt reparents an existing native window with XReparentWindow, it
// does not recreate it).
//
// The window paints the colour key the player was given (16,16,16) and, while
// the player fast-forwards or rewinds, the speed label at its bottom right.
// It asks its owner (the player window) before going full screen on a double
// click (WM_PLAYER_NOTIFY 2, sent) and leaves full screen when the engine
// reports a requested stop (code 6). UI thread only; the engine's code 6 and
// 7 reach it through engineNotify(), called by the owner's video-window sink.

#include <QBasicTimer>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>

namespace qf::ui {

class VideoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLabelWidth = 90;
    static constexpr int kLabelHeight = 40;
    static constexpr int kMaxSpeedStep = 64;
    static constexpr int kCursorTickMs = 1000;
    static constexpr int kIdleTicksToHide = 3;

    // owner receives the full-screen question; it is also the parent the
    // window returns to when it leaves full screen.
    explicit VideoWindow(QWidget* owner);
    ~VideoWindow() override;

    // The id given to the player (-wid). Creates the native window on first use.
    uint32_t nativeId();

    // Seconds applied per second: 0, or +-2, 4, 8, 16, 32, 64.
    int speedStep() const { return speedStep_; }
    void setSpeedStep(int step);
    // The label's text for a step: ">> x8", "<< x2"; empty for 0.
    static QString speedText(int step);
    // Bottom-right 90 x 40 of the client area.
    QRect speedLabelRect() const { return labelRect_; }

    bool isFullScreen() const { return fullScreen_; }
    // Detaches the window and shows it over the whole screen, above every
    // other window. Nothing when already full screen.
    void enterFullScreen();
    // Gives the window back to its owner and places it on `area` (owner
    // coordinates). Nothing when not full screen.
    void leaveFullScreen();
    // Where leaveFullScreen puts the window.
    void setReturnArea(const QRect& area) { returnArea_ = area; }

    bool cursorHidden() const { return cursorHidden_; }
    bool cursorTimerRunning() const { return cursorTimer_.isActive(); }
    int idleTicks() const { return idleTicks_; }
    // One tick of the cursor timer (the timer calls it; public for tests).
    void cursorTick();

    // The engine's reports addressed to this window: 6 leaves full screen,
    // 7 changes nothing here. Returns the message result (0).
    intptr_t engineNotify(uint32_t code);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void userActive();
    void showCursor();

    QPointer<QWidget> owner_;   // the player window; null only while it is being destroyed
    QRect returnArea_;
    QRect labelRect_;
    int speedStep_ = 0;
    bool fullScreen_ = false;
    bool cursorHidden_ = false;
    int idleTicks_ = 0;
    QBasicTimer cursorTimer_;
};

} // namespace qf::ui
