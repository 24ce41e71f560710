#include "ui/controls/switch_button.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "core/messages.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"

namespace qf::ui {

SwitchButton::SwitchButton(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(skin::handCursor());
    setAccessibleName(QStringLiteral("开关"));
}

void SwitchButton::setState(bool on)
{
    on_ = on;
    update();
}

void SwitchButton::flip()
{
    if (!toggleEnabled_ || !isEnabled())
        return;
    on_ = !on_;
    update();
    postMessage(parentWidget(), core::WM_SWITCH_NOTIFY, on_ ? 1 : 0, controlParam(this));
}

void SwitchButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), skin::skinColor());
    const QImage& check = skin::bitmap(on_ ? skin::kCheckOn : skin::kCheckOff);
    const QRect box(QPoint((width() - check.width()) / 2, (height() - check.height()) / 2), check.size());
    p.drawImage(box.topLeft(), check);
    if (hasFocus()) {
        p.setPen(QPen(skin::colorRef(skin::kHoverTextColour), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void SwitchButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        flip();
}

void SwitchButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space)
        flip();
    else
        QWidget::keyPressEvent(event);
}

} // namespace qf::ui
