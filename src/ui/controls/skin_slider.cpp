#include "ui/controls/skin_slider.h"

#include <QMouseEvent>
#include <QPainter>

#include "core/messages.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr int kBitmapThumbWidth = 20;
constexpr int kBitmapThumbHeight = 10;
constexpr int kDrawnThumbWidth = 9;

// The slider bitmap's thumbs with magenta turned see-through, made once.
const QImage& thumbImages()
{
    static const QImage thumbs = [] {
        QImage img = skin::bitmap(skin::kSliderParts)
                         .copy(2, 0, kBitmapThumbWidth, 3 * kBitmapThumbHeight)
                         .convertToFormat(QImage::Format_ARGB32);
        const QRgb key = skin::colorRef(skin::kTransparentKey).rgb();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF))
                    img.setPixel(x, y, 0);
        return img;
    }();
    return thumbs;
}

} // namespace

SkinSlider::SkinSlider(Variant variant, QWidget* parent) : QAbstractSlider(parent), variant_(variant)
{
    setOrientation(Qt::Horizontal);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setCursor(skin::handCursor());
    // Keys and the wheel move the thumb as the user does.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int) {
        QMetaObject::invokeMethod(
            this, [this] { notifyParent(); }, Qt::QueuedConnection);
    });
}

void SkinSlider::setPanelBackground(const QPixmap& background, QPoint origin)
{
    background_ = background;
    backgroundOrigin_ = origin;
    update();
}

int SkinSlider::thumbWidth() const { return variant_ == Variant::Bitmap ? kBitmapThumbWidth : kDrawnThumbWidth; }

int SkinSlider::thumbLeft(int value, int minimum, int maximum, int width, int thumbWidth)
{
    const int travel = std::max(width - thumbWidth, 0);
    if (maximum <= minimum)
        return 0;
    const int v = std::clamp(value, minimum, maximum);
    const long long offset = static_cast<long long>(v - minimum) * travel;
    return static_cast<int>((offset + (maximum - minimum) / 2) / (maximum - minimum));
}

int SkinSlider::valueAt(int x, int minimum, int maximum, int width, int thumbWidth)
{
    const int travel = std::max(width - thumbWidth, 1);
    const int pos = std::clamp(x - thumbWidth / 2, 0, travel);
    const long long span = static_cast<long long>(maximum - minimum) * pos;
    return minimum + static_cast<int>((span + travel / 2) / travel);
}

QRect SkinSlider::thumbRect() const
{
    const int tw = thumbWidth();
    const int th = variant_ == Variant::Bitmap ? kBitmapThumbHeight : std::min(height(), 14);
    const int left = thumbLeft(value(), minimum(), maximum(), width(), tw);
    return QRect(left, std::max((height() - th) / 2, 0), tw, std::min(th, height()));
}

QSize SkinSlider::sizeHint() const { return QSize(146, variant_ == Variant::Bitmap ? 18 : 22); }

void SkinSlider::notifyParent()
{
    postMessage(parentWidget(), core::WM_PLAYER_NOTIFY, core::PLAYER_SLIDER_MOVED, controlParam(this));
}

void SkinSlider::moveByUser(int value)
{
    setValue(value);
    notifyParent();
}

void SkinSlider::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    const int x = qRound(event->position().x());
    const QRect thumb = thumbRect();
    if (thumb.contains(event->position().toPoint())) {
        dragOffset_ = x - thumb.center().x();
    } else {
        dragOffset_ = 0;
        moveByUser(valueAt(x, minimum(), maximum(), width(), thumbWidth()));
    }
    dragging_ = true;
    setSliderDown(true);
    update();
}

void SkinSlider::mouseMoveEvent(QMouseEvent* event)
{
    const int x = qRound(event->position().x());
    if (dragging_) {
        const int v = valueAt(x - dragOffset_, minimum(), maximum(), width(), thumbWidth());
        if (v != value())
            moveByUser(v);
        return;
    }
    const bool over = thumbRect().contains(event->position().toPoint());
    if (over != hoverThumb_) {
        hoverThumb_ = over;
        update();
    }
}

void SkinSlider::mouseReleaseEvent(QMouseEvent*)
{
    if (!dragging_)
        return;
    dragging_ = false;
    setSliderDown(false);
    update();
}

void SkinSlider::leaveEvent(QEvent* event)
{
    hoverThumb_ = false;
    update();
    QAbstractSlider::leaveEvent(event);
}

void SkinSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (variant_ == Variant::Bitmap)
        paintBitmap(p);
    else
        paintDrawn(p);
    if (hasFocus()) {
        // Only the ring: the thumb's fill must not cover the track.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void SkinSlider::paintBitmap(QPainter& p)
{
    const QImage& parts = skin::bitmap(skin::kSliderParts);
    p.fillRect(rect(), skin::skinColor());
    const QRect thumb = thumbRect();
    const int split = thumb.center().x() + 1;
    const int trackTop = (height() - kBitmapThumbHeight) / 2;
    p.drawImage(QRect(0, trackTop, split, kBitmapThumbHeight), parts, QRect(0, 0, 1, kBitmapThumbHeight));
    p.drawImage(QRect(split, trackTop, width() - split, kBitmapThumbHeight), parts, QRect(1, 0, 1, kBitmapThumbHeight));
    const int row = dragging_ ? 2 : hoverThumb_ ? 1 : 0;
    if (!isEnabled())
        p.setOpacity(0.5);
    p.drawImage(thumb.topLeft(), thumbImages(),
                QRect(0, row * kBitmapThumbHeight, kBitmapThumbWidth, kBitmapThumbHeight));
    p.setOpacity(1);
}

void SkinSlider::paintDrawn(QPainter& p)
{
    if (!background_.isNull())
        p.drawPixmap(rect(), background_, QRect(backgroundOrigin_, size()));
    else
        p.fillRect(rect(), skin::skinColor());
    const bool enabled = isEnabled();
    const QRect thumb = thumbRect();
    const int cy = height() / 2;
    const int half = thumbWidth() / 2;
    const QColor dark = skin::colorRef(skin::kHeaderDarkColour);
    const QColor light = skin::colorRef(skin::kHeaderLightColour);
    if (variant_ == Variant::Channel) {
        const QRect channel(half, cy - 2, width() - 2 * half, 4);
        p.fillRect(channel, dark);
        p.fillRect(channel.adjusted(1, 1, -1, -1),
                   enabled ? skin::skinColor().darker(130) : skin::colorRef(skin::kDisabledColour));
        p.fillRect(QRect(channel.left(), channel.bottom(), channel.width(), 1), light);
    } else {
        const QRect bar(half, cy - 3, width() - 2 * half, 6);
        p.fillRect(bar, dark);
        const QRect filled(bar.left(), bar.top(), thumb.center().x() - bar.left(), bar.height());
        p.fillRect(filled, enabled ? skin::colorRef(skin::kFrameColour) : skin::colorRef(skin::kDisabledColour));
    }
    p.setRenderHint(QPainter::Antialiasing);
    QColor face = !enabled ? skin::colorRef(skin::kDisabledColour)
        : dragging_        ? skin::colorRef(skin::kButtonPressedTextColour)
        : hoverThumb_      ? skin::colorRef(skin::kFrameColour)
                           : QColor(Qt::white);
    p.setPen(QPen(dark, 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(thumb).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
}

} // namespace qf::ui
