#include "ui/controls/skin_check_box.h"

#include <QPainter>

#include "ui/notify/floating_tip.h"
#include "ui/skin/skin.h"

namespace qf::ui {

SkinCheckBox::SkinCheckBox(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setFont(skin::smallFont());
    setFocusPolicy(Qt::StrongFocus);
    setCursor(skin::handCursor());
}

void SkinCheckBox::setTooltip(const QString& text, bool above)
{
    tip_.text = text;
    tip_.above = above;
}

uint32_t SkinCheckBox::captionColour(bool enabled, bool pressed, bool hover)
{
    if (!enabled)
        return skin::kDisabledTextColour;
    if (pressed)
        return skin::kPressedTextColour;
    if (hover)
        return skin::kHoverTextColour;
    return skin::kWhite;
}

QRect SkinCheckBox::boxRect(QSize control, QSize checkImage)
{
    const QSize box = checkImage + QSize(2, 2);
    return QRect(QPoint(3, (control.height() - box.height()) / 2), box);
}

QSize SkinCheckBox::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(23 + fm.horizontalAdvance(text()) + 6, std::max(fm.height() + 6, 21));
}

QFont SkinCheckBox::fittedCaptionFont(const QFont& font, const QString& text, int width)
{
    // A caption a few pixels too long for its box is narrowed a little
    // rather than cut short; a much longer one is still ended with "…".
    constexpr int kNarrowestStretch = 90;
    const int advance = QFontMetrics(font).horizontalAdvance(text);
    if (advance <= width || advance <= 0)
        return font;
    QFont narrowed = font;
    if (font.styleStrategy() & QFont::NoAntialias) {
        // Glyphs drawn from the face's own bitmaps do not stretch cleanly;
        // the next smaller size has bitmaps of its own.
        narrowed.setPixelSize(font.pixelSize() - 1);
        return QFontMetrics(narrowed).horizontalAdvance(text) <= width && advance * 9 <= width * 10 ? narrowed : font;
    }
    for (int stretch = 99; stretch >= kNarrowestStretch; --stretch) {
        narrowed.setStretch(stretch);
        if (QFontMetrics(narrowed).horizontalAdvance(text) <= width)
            return narrowed;
    }
    return font;
}

void SkinCheckBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool enabled = isEnabled();
    p.fillRect(rect(), skin::skinColor());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(skin::colorRef(enabled ? skin::kFrameColour : skin::kDisabledColour), 1));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QImage& check = skin::bitmap(isChecked() ? skin::kCheckOn : skin::kCheckOff);
    const QRect box = boxRect(size(), check.size());
    p.fillRect(box, skin::colorRef(enabled ? skin::kWhite : skin::kDisabledColour));
    p.drawImage(box.topLeft() + QPoint(1, 1), check);
    const QRect caption = rect().adjusted(23, 0, -2, 0);
    const QFont captionFont = fittedCaptionFont(font(), text(), caption.width());
    p.setFont(captionFont);
    p.setPen(skin::colorRef(captionColour(enabled, isDown(), hover_)));
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(captionFont).elidedText(text(), Qt::ElideRight, caption.width()));
    if (hasFocus()) {
        p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawRect(box.adjusted(-2, -2, 1, 1));
    }
}

void SkinCheckBox::nextCheckState()
{
    if (radio_)
        setChecked(true);
    else
        QAbstractButton::nextCheckState();
}

void SkinCheckBox::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    tip_.show(this);
    update();
    QAbstractButton::enterEvent(event);
}

void SkinCheckBox::leaveEvent(QEvent* event)
{
    hover_ = false;
    hideHoverTip();
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace qf::ui
