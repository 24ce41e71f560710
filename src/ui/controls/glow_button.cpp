#include "ui/controls/glow_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include "ui/notify/floating_tip.h"
#include "ui/skin/skin.h"
#include "ui/skin/sounds.h"

namespace qf::ui {

GlowButton::GlowButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(skin::handCursor());
    setFocusPolicy(Qt::StrongFocus);
    resize(37, 37);
    rebuildHighlight();
}

void GlowButton::setImages(const QImage& source, QPoint origin, QSize size, int stateCount, bool redrawNow)
{
    image_ = source.copy(origin.x(), origin.y(), size.width(), size.height() * std::max(stateCount, 1));
    if (redrawNow)
        update();
}

void GlowButton::setTooltip(const QString& text, bool above)
{
    tip_.text = text;
    tip_.above = above;
    if (accessibleName().isEmpty())
        setAccessibleName(text);
}

void GlowButton::resizeEvent(QResizeEvent* event)
{
    setMask(QRegion(rect().adjusted(-1, -1, 1, 1), QRegion::Ellipse));
    rebuildHighlight();
    QAbstractButton::resizeEvent(event);
}

void GlowButton::rebuildHighlight()
{
    // The client rectangle moved 8 left and 8 down; the lens is where the
    // ellipse having it as right half meets the one having it as lower half.
    const QRectF r = QRectF(rect()).translated(-8, 8);
    QPainterPath rightHalf, lowerHalf;
    rightHalf.addEllipse(QRectF(r.left() - r.width(), r.top(), 2 * r.width(), r.height()));
    lowerHalf.addEllipse(QRectF(r.left(), r.top() - r.height(), r.width(), 2 * r.height()));
    lens_ = rightHalf.intersected(lowerHalf);
    const QRect box = lens_.boundingRect().toAlignedRect();
    // 64 bands from white to the glow colour.
    QImage fill(box.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    const int span = std::max(box.width() + box.height(), 1);
    const QColor from = Qt::white, to = skin::colorRef(0xC67A42);
    for (int y = 0; y < fill.height(); ++y)
        for (int x = 0; x < fill.width(); ++x) {
            const int band = (x + y) * 64 / span;
            auto mix = [band](int a, int b) { return a + (b - a) * band / 63; };
            fill.setPixel(x, y,
                          qRgb(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue())));
        }
    lensFill_ = fill;
}

QList<QRect> GlowButton::rippleRings(QSize size, int counter)
{
    QList<QRect> rings;
    int d = counter - 43;
    const int count = counter < 20 ? 3 : 1;
    for (int i = 0; i < count; ++i, d -= 5)
        rings.append(QRect(QPoint(0, 0), size).adjusted(-d, -d, d, d).normalized());
    return rings;
}

void GlowButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::skinColor());
    if (!image_.isNull())
        p.drawImage(rect(), image_, QRect(0, 0, image_.width(), std::min(image_.height(), 37)));
    if (animation_ == Animation::Sweep) {
        p.save();
        p.setClipRect(rect());
        p.translate(sweepOffset(counter_));
        p.setClipPath(lens_, Qt::IntersectClip);
        // Half see-through, so the glyph stays readable under the sweep.
        p.setOpacity(0.5);
        p.drawImage(lens_.boundingRect().toAlignedRect().topLeft(), lensFill_);
        p.restore();
    } else if (animation_ == Animation::Ripple) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(counter_ > 20 ? QColor(Qt::white) : skin::colorRef(0xFCE2D2), 2));
        p.setBrush(Qt::NoBrush);
        for (const QRect& ring : rippleRings(size(), counter_))
            p.drawEllipse(ring);
    }
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawEllipse(QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5));
    }
}

void GlowButton::stopAnimation()
{
    timer_.stop();
    animation_ = Animation::None;
    counter_ = 0;
}

void GlowButton::advance()
{
    if (animation_ == Animation::None)
        return;
    if (--counter_ <= 0)
        stopAnimation();
    update();
}

void GlowButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId())
        advance();
    else
        QAbstractButton::timerEvent(event);
}

void GlowButton::enterEvent(QEnterEvent* event)
{
    if (animation_ == Animation::None) {
        playSound(Sound::Wave154);
        animation_ = Animation::Sweep;
        counter_ = kSweepTicks;
        timer_.start(10, this);
        tip_.show(this);
        update();
    }
    QAbstractButton::enterEvent(event);
}

void GlowButton::leaveEvent(QEvent* event)
{
    hideHoverTip();
    QAbstractButton::leaveEvent(event);
}

void GlowButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        stopAnimation();
        playSound(Sound::DingFile);
        animation_ = Animation::Ripple;
        counter_ = kRippleTicks;
        timer_.start(18, this);
        update();
    }
    QAbstractButton::mousePressEvent(event);
}

} // namespace qf::ui
