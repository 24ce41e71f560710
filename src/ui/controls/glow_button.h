#pragma once
// GlowButton: a circular command button (37 x 37) with a highlight that
// sweeps across it once when the mouse enters, and a ripple of rings when it
// is pressed. An animation that runs is never restarted by entering again.

#include <QAbstractButton>
#include <QBasicTimer>
#include <QImage>
#include <QPainterPath>

#include "ui/notify/hover_tip_spec.h"

namespace qf::ui {

class GlowButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Animation { None, Sweep, Ripple };
    static constexpr int kSweepTicks = 20; // every 10 ms
    static constexpr int kRippleTicks = 30; // every 18 ms

    explicit GlowButton(QWidget* parent = nullptr);

    void setImages(const QImage& source, QPoint origin, QSize size = QSize(37, 37), int stateCount = 1,
                   bool redrawNow = true);
    void setTooltip(const QString& text, bool above = true);

    Animation animation() const { return animation_; }
    int counter() const { return counter_; }
    // One timer tick (the timer calls it; tests may too).
    void advance();

    // Ring boxes of the press ripple at a counter value, for a button of the
    // given size: the first ring, then the two inner ones below 20.
    static QList<QRect> rippleRings(QSize size, int counter);
    // The sweep's offset at a counter value.
    static QPoint sweepOffset(int counter) { return QPoint(24 - counter, counter - 24); }

    QSize sizeHint() const override { return QSize(37, 37); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void rebuildHighlight();
    void stopAnimation();

    QImage image_;
    QPainterPath lens_; // highlight shape at offset 0
    QImage lensFill_; // its gradient, over the lens's bounding box
    QBasicTimer timer_;
    Animation animation_ = Animation::None;
    int counter_ = 0;
    HoverTipSpec tip_;
};

} // namespace qf::ui
