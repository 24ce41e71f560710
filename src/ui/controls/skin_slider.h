#pragma once
// SkinSlider: a horizontal slider in three looks.
//  - Bitmap: track stretched from two columns of bitmap 162 (before and after
//    the thumb centre), a 20 x 10 thumb from its rows (normal, hover,
//    dragged) with magenta see-through; the player's sliders.
//  - Channel: a thin sunken channel and a small drawn thumb over the owning
//    panel's background; the parameter panel's sliders.
//  - Bar: a filled bar up to the thumb over the panel's background; the
//    player's picture sliders.
// The thumb never leaves the control: its centre travels from half a thumb
// in from the left to half a thumb in from the right. Whenever the user
// moves the thumb (drag, click on the track, keys) the slider posts
// WM_PLAYER_NOTIFY with wParam 1 and lParam = the control to its parent.

#include <QAbstractSlider>
#include <QPixmap>

namespace qf::ui {

class SkinSlider : public QAbstractSlider {
    Q_OBJECT
public:
    enum class Variant { Bitmap, Channel, Bar };

    explicit SkinSlider(Variant variant = Variant::Bitmap, QWidget* parent = nullptr);

    Variant variant() const { return variant_; }
    // Channel and Bar draw over this part of the owner's background (the
    // pixmap's pixel at origin lies under the slider's top-left corner).
    void setPanelBackground(const QPixmap& background, QPoint origin);

    int thumbWidth() const;
    // Pure geometry: the thumb's left edge for a value, and the value under
    // an x position, for a control of the given width.
    static int thumbLeft(int value, int minimum, int maximum, int width, int thumbWidth);
    static int valueAt(int x, int minimum, int maximum, int width, int thumbWidth);
    QRect thumbRect() const;
    bool thumbHovered() const { return hoverThumb_; }
    bool dragging() const { return dragging_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void moveByUser(int value);
    void notifyParent();
    void paintBitmap(QPainter& p);
    void paintDrawn(QPainter& p);

    Variant variant_;
    QPixmap background_;
    QPoint backgroundOrigin_;
    bool hoverThumb_ = false;
    bool dragging_ = false;
    int dragOffset_ = 0;
};

} // namespace qf::ui
