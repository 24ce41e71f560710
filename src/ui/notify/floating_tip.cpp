#include "ui/notify/floating_tip.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>

#include "core/window_fade.h"
#include "settings/settings.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr int kFadeTimerMs = 20;

QPointer<QWidget> g_mainWindow;
QPointer<FloatingTip> g_hover;
QPointer<FloatingTip> g_popup;

// A rounded rectangle with 3 x 3 corners: only the corner pixels go.
QRegion tipRegion(QSize size)
{
    QRegion region(0, 0, size.width(), size.height());
    const int r = size.width() - 1, b = size.height() - 1;
    for (const QPoint& corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
        region -= QRegion(corner.x(), corner.y(), 1, 1);
    return region;
}

void destroyTip(QPointer<FloatingTip>& tip)
{
    if (tip) {
        tip->hide();
        tip->deleteLater();
    }
    tip = nullptr;
}

} // namespace

QSize tipSizeForText(QSize textSize) { return QSize(textSize.width() + 16, textSize.height() + 12); }

QSize tipSizeFor(const QString& text)
{
    const QFontMetrics fm(skin::mediumFont());
    const QRect r = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, text);
    return tipSizeForText(r.size());
}

QPoint hoverTipPosition(QSize tip, const QRect& owner, bool above, bool atCursor, QPoint cursor,
                        const QRect& mainWindow)
{
    // Right and bottom edges are exclusive, as window rectangles are.
    int extentLeft = owner.x(), extentRight = owner.x() + owner.width();
    if (atCursor) {
        extentLeft = cursor.x() - 1;
        extentRight = cursor.x() + 1;
    }
    int left = (extentLeft + extentRight) / 2 - tip.width() / 2;
    const int top = above ? owner.y() - tip.height() - 8 : owner.y() + owner.height() + 8;
    const int boundLeft = mainWindow.x() + 10;
    const int boundRight = mainWindow.x() + mainWindow.width() - 10;
    if (left < boundLeft)
        left += boundLeft - left;
    else if (left + tip.width() > boundRight)
        left -= left + tip.width() - boundRight;
    return QPoint(left, top);
}

QPoint infoPopupPosition(QSize popup, QPoint cursor, int screenHeight)
{
    int left = cursor.x() - popup.width();
    if (left < 0)
        left = cursor.x();
    int top = cursor.y();
    if (cursor.y() + popup.height() > screenHeight - 60)
        top = screenHeight - popup.height() - 60;
    return QPoint(left, top);
}

// The option lives in the configuration, so the options panel and the cfg
// file see the same value.
void setFloatingTipsEnabled(bool enabled) { settings::current().setShowFloatingTips(enabled); }
bool floatingTipsEnabled() { return settings::current().showFloatingTips(); }
void setTipMainWindow(QWidget* mainWindow) { g_mainWindow = mainWindow; }

FloatingTip* currentHoverTip() { return g_hover.data(); }
FloatingTip* currentInfoPopup() { return g_popup.data(); }

void hideHoverTip() { destroyTip(g_hover); }

void moveHoverTipBelow(QPoint pointer)
{
    FloatingTip* tip = g_hover.data();
    if (!tip)
        return;
    QWidget* main = g_mainWindow ? g_mainWindow.data() : tip->parentWidget();
    const QRect mainRect = main ? QRect(main->mapToGlobal(QPoint(0, 0)), main->size()) : QRect(pointer, QSize(1, 1));
    // The arrow's own height, so that the tip starts below its tip and tail.
    constexpr int kPointerHeight = 12;
    tip->move(hoverTipPosition(tip->size(), QRect(pointer, QSize(1, kPointerHeight)), false, false, pointer, mainRect));
}

void showHoverTip(QWidget* owner, const QString& text, bool above, bool atCursor)
{
    hideHoverTip();
    if (!floatingTipsEnabled() || !owner || text.isEmpty())
        return;
    auto* tip = new FloatingTip(FloatingTip::Kind::Hover, owner, text);
    const QRect ownerRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    QWidget* main = g_mainWindow ? g_mainWindow.data() : owner->window();
    const QRect mainRect(main->mapToGlobal(QPoint(0, 0)), main->size());
    tip->move(hoverTipPosition(tip->size(), ownerRect, above, atCursor, QCursor::pos(), mainRect));
    g_hover = tip;
    tip->show();
}

void showInfoPopup(QWidget* owner, const QString& text)
{
    destroyTip(g_popup);
    if (!floatingTipsEnabled() || !owner || text.isEmpty())
        return;
    auto* popup = new FloatingTip(FloatingTip::Kind::Popup, owner, text);
    const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : 768;
    popup->move(infoPopupPosition(popup->size(), QCursor::pos(), screenHeight));
    g_popup = popup;
    popup->show();
    popup->activateWindow();
    popup->raise();
}

FloatingTip::FloatingTip(Kind kind, QWidget* owner, const QString& text)
    : QWidget(owner ? owner->window() : nullptr,
              kind == Kind::Hover ? Qt::ToolTip | Qt::FramelessWindowHint : Qt::Tool | Qt::FramelessWindowHint),
      kind_(kind), text_(text)
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (kind == Kind::Hover) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    setFont(skin::mediumFont());
    setFixedSize(tipSizeFor(text));
    setMask(tipRegion(size()));
    setAccessibleName(text);
    startFade();
}

FloatingTip::~FloatingTip() = default;

void FloatingTip::startFade()
{
    if (kind_ == Kind::Hover)
        core::WindowFade::shared().start(this, 8, 220);
    else
        core::WindowFade::shared().start(this, 10, 230);
    if (core::layeredBound())
        fadeTimer_.start(kFadeTimerMs, this);
}

void FloatingTip::stepFade()
{
    if (core::WindowFade::shared().tick(this))
        fadeTimer_.stop();
}

void FloatingTip::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == fadeTimer_.timerId())
        stepFade();
    else
        QWidget::timerEvent(event);
}

void FloatingTip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QColor fill = skin::colorRef(kind_ == Kind::Hover ? skin::kFrameColour : skin::kPopupColour);
    p.fillRect(rect(), Qt::black);
    p.fillRect(rect().adjusted(1, 1, -1, -1), fill);
    p.setPen(Qt::black);
    p.setFont(skin::mediumFont());
    p.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop, text_);
}

void FloatingTip::mousePressEvent(QMouseEvent* event)
{
    if (kind_ == Kind::Popup && event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - pos();
    }
}

void FloatingTip::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging_)
        move(event->globalPosition().toPoint() - dragOffset_);
}

void FloatingTip::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void FloatingTip::changeEvent(QEvent* event)
{
    // The popup goes away as soon as the user turns to another window.
    if (kind_ == Kind::Popup && event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        hide();
    QWidget::changeEvent(event);
}

} // namespace qf::ui
