#include "ui/main/slide_panel.h"

#include <QPainter>
#include <QTimerEvent>

#include "core/messages.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"

namespace qf::ui {

SlidePanel::SlidePanel(QObject* hub, const QRect& full, QWidget* parent)
    : QWidget(parent), hub_(hub), full_(full), height_(full.height())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(full_);
    hide();
}

bool SlidePanel::toggle()
{
    open_ = !open_;
    if (timer_.isActive())
        return false;
    show();
    raise();
    timer_.start(kPeriodMs, this);
    return true;
}

void SlidePanel::capture(QWidget* panel)
{
    if (!snapshot_.isNull() || !panel)
        return;
    // The panel may be smaller than the rectangle given at creation; what it
    // does not cover shows the skin colour.
    const qreal ratio = panel->devicePixelRatioF();
    QPixmap image(full_.size() * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(skin::skinColor());
    QPainter painter(&image);
    panel->render(&painter, QPoint(), QRegion(0, 0, full_.width(), full_.height()), QWidget::DrawChildren);
    painter.end();
    snapshot_ = image;
    update();
}

void SlidePanel::step()
{
    if (!timer_.isActive())
        return;
    height_ += open_ ? kStep : -kStep;
    bool finished = false;
    if (height_ < 0) {
        height_ = 0;
        finished = true;
    } else if (height_ > full_.height()) {
        height_ = full_.height();
        finished = true;
    }
    if (finished)
        timer_.stop();
    resize(full_.width(), height_);
    update();
    sendMessage(hub_, core::WM_MAIN_REQUEST, core::REQ_SLIDE_STEP, stepParam(height_, finished));
    if (finished)
        hide();
}

void SlidePanel::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == timer_.timerId())
        step();
    else
        QWidget::timerEvent(event);
}

void SlidePanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (snapshot_.isNull()) {
        p.fillRect(rect(), skin::skinColor());
        return;
    }
    const qreal ratio = snapshot_.devicePixelRatio();
    const QRectF source(0, (full_.height() - height_) * ratio, full_.width() * ratio, height_ * ratio);
    p.drawPixmap(QRectF(0, 0, full_.width(), height_), snapshot_, source);
}

} // namespace qf::ui
