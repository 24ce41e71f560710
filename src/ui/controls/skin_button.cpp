#include "ui/controls/skin_button.h"

#include <QPainter>

#include "ui/notify/floating_tip.h"
#include "ui/skin/skin.h"

namespace qf::ui {

void HoverTipSpec::show(QWidget* owner) const
{
    if (!text.isEmpty())
        showHoverTip(owner, text, above, atCursor);
}

SkinButton::SkinButton(QWidget* parent) : SkinButton(QString(), parent) {}

SkinButton::SkinButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent), colours_{skin::kButtonTextColour, skin::kButtonTextColour,
                                        skin::kButtonPressedTextColour}
{
    setText(text);
    setCursor(skin::handCursor());
    setFont(skin::smallFont());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void SkinButton::setImages(const QImage& source, QPoint origin, QSize size, int stateCount, bool redrawNow)
{
    stateCount_ = std::max(stateCount, 0);
    imageSize_ = size;
    images_ = source.copy(origin.x(), origin.y(), size.width(), size.height() * stateCount_);
    if (redrawNow)
        update();
}

void SkinButton::setTooltip(const QString& text, bool above)
{
    tip_.text = text;
    tip_.above = above;
    if (accessibleName().isEmpty() && this->text().isEmpty())
        setAccessibleName(text);
}

void SkinButton::setTextColours(uint32_t normal, uint32_t hover, uint32_t pressed)
{
    colours_[0] = normal;
    colours_[1] = hover;
    colours_[2] = pressed;
    update();
}

void SkinButton::select()
{
    selected_ = true;
    update();
}

void SkinButton::deselect()
{
    selected_ = false;
    update();
}

int SkinButton::imageRow(bool enabled, bool pressed, bool selectedSticky, bool hover, int stateCount)
{
    int row = 0;
    if (!enabled)
        row = 3;
    else if (pressed || selectedSticky)
        row = 2;
    else if (hover)
        row = 1;
    return row < stateCount ? row : 0;
}

int SkinButton::currentRow() const
{
    return imageRow(isEnabled(), isDown(), sticky_ && selected_, hover_, stateCount_);
}

QSize SkinButton::sizeHint() const
{
    if (!imageSize_.isEmpty())
        return imageSize_;
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 16, fm.height() + 8);
}

void SkinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int row = currentRow();
    if (!images_.isNull() && stateCount_ > 0) {
        const QRect source(0, row * imageSize_.height(), imageSize_.width(), imageSize_.height());
        p.drawImage(rect(), images_, source);
    } else {
        p.fillRect(rect(), skin::skinColor());
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(skin::colorRef(skin::kFrameColour), 1));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    const int look = (isEnabled() && (isDown() || (sticky_ && selected_))) ? 2 : (isEnabled() && hover_) ? 1 : 0;
    if (!text().isEmpty()) {
        p.setPen(skin::colorRef(colours_[look]));
        p.setFont(font());
        p.drawText(rect().translated(0, 1), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    if (hasFocus() && focusPolicy() != Qt::NoFocus) {
        // On an image the caption's colour is the one known to stand out
        // from the face; a plain button is drawn on the skin.
        const bool onImage = !images_.isNull() && !text().isEmpty();
        p.setPen(QPen(skin::colorRef(onImage ? colours_[look] : skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void SkinButton::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    tip_.show(this);
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent* event)
{
    hover_ = false;
    hideHoverTip();
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace qf::ui
