#include "ui/player/video_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <cstdlib>

#include "core/messages.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

// The colour key given to the player: it draws its picture over this colour.
const QColor kBackground(16, 16, 16);
const QColor kLabelFill(204, 204, 204);

QFont labelFont() { return skin::font(QStringLiteral("System"), 20); }

} // namespace

VideoWindow::VideoWindow(QWidget* owner) : QWidget(owner), owner_(owner)
{
    // The player draws into this window by its id: it must be a window of
    // its own, never a part of the owner's backing store.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // While full screen it is a window of its own, but never one that keeps
    // the program running after the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setWindowTitle(QStringLiteral("Quillfer"));
    resize(skin::du(318), skin::du(226));
}

VideoWindow::~VideoWindow() = default;

uint32_t VideoWindow::nativeId() { return static_cast<uint32_t>(winId()); }

void VideoWindow::setSpeedStep(int step)
{
    if (step == speedStep_)
        return;
    speedStep_ = step;
    update(labelRect_);
}

QString VideoWindow::speedText(int step)
{
    if (step == 0)
        return QString();
    return QStringLiteral("%1 x%2").arg(step > 0 ? QStringLiteral(">>") : QStringLiteral("<<")).arg(std::abs(step));
}

void VideoWindow::enterFullScreen()
{
    if (fullScreen_ || !owner_)
        return;
    QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
    fullScreen_ = true;
    idleTicks_ = 0;
    // setParent keeps the native window (and so the id the player draws
    // into); only its parent in the X window tree changes.
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    if (screen)
        setGeometry(screen->geometry());
    showFullScreen();
    // Above every other window. Set on the native window only: a widget
    // whose own flags said so would get a new native window when it goes
    // back into its owner.
    if (QWindow* native = windowHandle())
        native->setFlags(native->flags() | Qt::WindowStaysOnTopHint);
    raise();
    activateWindow();
    if (!cursorTimer_.isActive())
        cursorTimer_.start(kCursorTickMs, this);
}

void VideoWindow::leaveFullScreen()
{
    if (!fullScreen_)
        return;
    cursorTimer_.stop();
    showCursor();
    fullScreen_ = false;
    if (!owner_)
        return;
    // A child keeps a full-screen state it was given as a window.
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setParent(owner_, Qt::Widget);
    setGeometry(returnArea_);
    show();
    // Flushed through the owner's backing store at once, so that the store
    // knows this window again before anything else happens to either.
    repaint();
}

void VideoWindow::cursorTick()
{
    if (!fullScreen_) {
        cursorTimer_.stop();
        return;
    }
    if (++idleTicks_ >= kIdleTicksToHide) {
        cursorTimer_.stop();
        cursorHidden_ = true;
        setCursor(Qt::BlankCursor);
    }
}

intptr_t VideoWindow::engineNotify(uint32_t code)
{
    if (code == core::PLAYER_STOPPED)
        leaveFullScreen();
    return 0;
}

void VideoWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (speedStep_ == 0)
        return;
    p.fillRect(labelRect_, kLabelFill);
    p.setFont(labelFont());
    p.setPen(Qt::black);
    p.drawText(labelRect_, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, speedText(speedStep_));
}

void VideoWindow::resizeEvent(QResizeEvent*)
{
    labelRect_ = QRect(width() - kLabelWidth, height() - kLabelHeight, kLabelWidth, kLabelHeight);
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (fullScreen_) {
        leaveFullScreen();
        return;
    }
    if (sendMessage(owner_, core::WM_PLAYER_NOTIFY, core::PLAYER_ASK_FULL_SCREEN, 0) != 0)
        enterFullScreen();
}

void VideoWindow::mouseMoveEvent(QMouseEvent* event)
{
    userActive();
    QWidget::mouseMoveEvent(event);
}

void VideoWindow::mousePressEvent(QMouseEvent* event)
{
    userActive();
    QWidget::mousePressEvent(event);
}

void VideoWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape is how every full-screen picture is left.
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        leaveFullScreen();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == cursorTimer_.timerId())
        cursorTick();
    else
        QWidget::timerEvent(event);
}

void VideoWindow::userActive()
{
    if (!fullScreen_)
        return;
    idleTicks_ = 0;
    showCursor();
    if (!cursorTimer_.isActive())
        cursorTimer_.start(kCursorTickMs, this);
}

void VideoWindow::showCursor()
{
    if (!cursorHidden_)
        return;
    cursorHidden_ = false;
    unsetCursor();
}

} // namespace qf::ui
