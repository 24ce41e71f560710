#pragma once
// SlidePanel: the animation that shows and hides the parameter panel. It
// lies exactly over the panel, holds a snapshot of it and grows or shrinks
// by 12 pixels every 10 ms, drawing the bottom part of the snapshot, so the
// panel is seen sliding down out of the toolbar and back up into it. Each
// step is sent to the hub, which moves the task list to follow the edge and
// shows the real panel when an opening slide ends. A toggle during a slide
// only reverses it; there is never a second timer.
//
// UI thread only: the toggle and the timer step both run there, so they
// need no lock.

#include <QBasicTimer>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <cstdint>

namespace qf::ui {

class SlidePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStep = 12; // pixels per tick
    static constexpr int kPeriodMs = 10;

    // full: the parameter panel's rectangle in the parent's coordinates.
    // Created hidden, open, at the full height.
    SlidePanel(QObject* hub, const QRect& full, QWidget* parent);

    // Flips the direction. True when this started a slide (the panel is
    // then shown and raised); false when one was running, which simply
    // continues the other way.
    bool toggle();
    // The snapshot of the parameter panel, made once: later calls do nothing.
    void capture(QWidget* panel);
    bool hasSnapshot() const { return !snapshot_.isNull(); }

    // The direction of the last toggle (true at start): whether the Convert
    // view shows the real parameter panel.
    bool isOpen() const { return open_; }
    bool sliding() const { return timer_.isActive(); }
    int currentHeight() const { return height_; }
    int fullHeight() const { return full_.height(); }
    int fullWidth() const { return full_.width(); }

    // One tick: moves the edge, resizes, sends REQ_SLIDE_STEP with
    // lParam = height << 16 | finished, and hides the panel when finished.
    // Does nothing while no slide runs.
    void step();

    static intptr_t stepParam(int height, bool finished) { return (intptr_t(height) << 16) | (finished ? 1 : 0); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QObject* hub_;
    const QRect full_;
    int height_;
    bool open_ = true;
    QBasicTimer timer_;
    QPixmap snapshot_;
};

} // namespace qf::ui
