#include "ui/controls/link_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "ui/notify/floating_tip.h"
#include "ui/skin/skin.h"

namespace qf::ui {

LinkLabel::LinkLabel(QPoint position, int maximumWidth, QWidget* parent, const QString& text, const QString& target,
                     const QFont& font)
    : QWidget(parent), maximumWidth_(maximumWidth), background_(skin::kSkinColour)
{
    setFont(font);
    setCursor(skin::handCursor());
    setFocusPolicy(Qt::StrongFocus);
    move(position);
    tip_.atCursor = true;
    setTextAndTarget(text, target);
}

void LinkLabel::setColours(uint32_t background, uint32_t pressedText, uint32_t normalText)
{
    background_ = background;
    pressedColour_ = pressedText;
    normalColour_ = normalText;
    update();
}

void LinkLabel::setTextAndTarget(const QString& text, const QString& target)
{
    text_ = text;
    target_ = target;
    setAccessibleName(text);
    fitToText();
    update();
}

void LinkLabel::setTooltip(const QString& text)
{
    tip_.text = text;
    setAccessibleDescription(text);
}

void LinkLabel::fitToText()
{
    const QFontMetrics fm(font());
    resize(std::min(fm.horizontalAdvance(text_), maximumWidth_), fm.height());
}

void LinkLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::colorRef(background_));
    QFont f = font();
    f.setUnderline(hover_ || pressed_ || hasFocus());
    p.setFont(f);
    p.setPen(skin::colorRef(pressed_ ? pressedColour_ : normalColour_));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QFontMetrics(f).elidedText(text_, Qt::ElideMiddle, width()));
}

void LinkLabel::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    tip_.show(this);
    update();
    QWidget::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event)
{
    hover_ = false;
    hideHoverTip();
    update();
    QWidget::leaveEvent(event);
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        update();
    }
}

void LinkLabel::activate()
{
    if (left_)
        left_(parentWidget(), target_);
    else if (!target_.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(target_));
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool inside = rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        const bool wasPressed = pressed_;
        pressed_ = false;
        update();
        if (wasPressed && inside)
            activate();
    } else if (event->button() == Qt::RightButton && inside && right_) {
        right_(parentWidget(), target_);
    }
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        activate();
    else
        QWidget::keyPressEvent(event);
}

} // namespace qf::ui
