#include "ui/controls/small_button.h"

#include <QPainter>

#include "ui/notify/floating_tip.h"
#include "ui/skin/skin.h"

namespace qf::ui {

SmallButton::SmallButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(skin::handCursor());
    setFocusPolicy(Qt::StrongFocus);
}

void SmallButton::setImages(const QImage& source, QPoint origin, QSize cell, int stateCount, bool redrawNow)
{
    cell_ = cell;
    stateCount_ = std::max(stateCount, 1);
    images_ = source.copy(origin.x(), origin.y(), cell.width() * 2, cell.height() * stateCount_);
    if (redrawNow)
        update();
}

void SmallButton::setTooltip(const QString& text, bool above)
{
    tip_.text = text;
    tip_.above = above;
    if (accessibleName().isEmpty())
        setAccessibleName(text);
}

QPoint SmallButton::imageCell(bool hoverOrPressed, bool toggle, int state, int stateCount)
{
    const int row = (toggle && stateCount > 1 && state == 0) ? 1 : 0;
    return QPoint(hoverOrPressed ? 1 : 0, row);
}

void SmallButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::skinColor());
    if (!images_.isNull()) {
        const QPoint c = imageCell(hover_ || isDown(), isCheckable(), state(), stateCount_);
        const QRect source(c.x() * cell_.width(), c.y() * cell_.height(), cell_.width(), cell_.height());
        const QRect target = rect().adjusted(1, 1, -1, -1).translated(isDown() ? QPoint(1, 1) : QPoint(0, 0));
        p.drawImage(target, images_, source);
    }
    if (hasFocus()) {
        p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void SmallButton::enterEvent(QEnterEvent* event)
{
    hover_ = true;
    tip_.show(this);
    update();
    QAbstractButton::enterEvent(event);
}

void SmallButton::leaveEvent(QEvent* event)
{
    hover_ = false;
    hideHoverTip();
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace qf::ui
