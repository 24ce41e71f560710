#include "ui/player/video_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QRasterWindow>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

#include "core/messages.h"
#include "ui/shell/message_dispatch.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

// The colour key given to the player: it draws its picture over this colour.
const QColor kBackground(16, 16, 16);
const QColor kLabelFill(204, 204, 204);

void paintLabel(QPainter& p, const QRect& r, const QString& text)
{
    p.fillRect(r, kLabelFill);
    p.setFont(VideoWindow::labelFont());
    p.setPen(Qt::black);
    p.drawText(r.adjusted(VideoWindow::kLabelMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               text);
}

} // namespace

// The X window the player draws into. Its input is the video window's.
class VideoSurface final : public QRasterWindow {
public:
    VideoSurface(VideoWindow* video, QWindow* parent) : QRasterWindow(parent), video_(video)
    {
        setTitle(QStringLiteral("Quillfer"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(QRect(QPoint(0, 0), size()), kBackground);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        event->accept();
        video_->surfaceDoubleClicked();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        video_->surfaceUserActive();
        QRasterWindow::mouseMoveEvent(event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        video_->surfaceUserActive();
        QRasterWindow::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!video_->surfaceKey(event))
            QRasterWindow::keyPressEvent(event);
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::PlatformSurface
            && static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType()
                == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
            video_->surfaceAboutToGo();
        return QRasterWindow::event(event);
    }

private:
    VideoWindow* video_;
};

// The speed label: an X window above the surface, so that the X server
// clips the player's drawing around it.
class SpeedLabel final : public QRasterWindow {
public:
    explicit SpeedLabel(QWindow* parent) : QRasterWindow(parent) { setFlag(Qt::WindowTransparentForInput); }
    void setText(const QString& text)
    {
        text_ = text;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        paintLabel(p, QRect(QPoint(0, 0), size()), text_);
    }

private:
    QString text_;
};

// The frameless top-most window over the whole screen that holds the
// surface while full screen.
class FullScreenHost final : public QRasterWindow {
public:
    explicit FullScreenHost(VideoWindow* video) : video_(video)
    {
        setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setTitle(QStringLiteral("Quillfer"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(QRect(QPoint(0, 0), size()), kBackground);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!video_->surfaceKey(event))
            QRasterWindow::keyPressEvent(event);
    }
    void resizeEvent(QResizeEvent*) override
    {
        // The screen's size may come only with the window manager's answer.
        if (video_->fullScreen_)
            video_->fitSurface();
    }
    bool event(QEvent* event) override
    {
        // Closed from outside (the window manager's close): the picture goes
        // back into the page rather than vanishing with this window.
        if (event->type() == QEvent::Close) {
            event->ignore();
            video_->leaveFullScreen();
            return true;
        }
        return QRasterWindow::event(event);
    }

private:
    VideoWindow* video_;
};

VideoWindow::VideoWindow(QWidget* owner) : QWidget(owner), owner_(owner)
{
    // The surface needs a native window to stand in; the owner does not.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    resize(skin::du(318), skin::du(226));
    winId();
    surface_ = std::make_unique<VideoSurface>(this, windowHandle());
    surface_->setGeometry(QRect(QPoint(0, 0), size()));
    surface_->show();
    label_ = std::make_unique<SpeedLabel>(surface_.get());
    placeLabel();
}

VideoWindow::~VideoWindow()
{
    surfaceGoing_ = nullptr;
    // The label and the surface go before the windows they stand in.
    label_.reset();
    surface_.reset();
    host_.reset();
}

QFont VideoWindow::labelFont() { return skin::font(QStringLiteral("System"), 20); }

uint32_t VideoWindow::nativeId() { return static_cast<uint32_t>(surface_->winId()); }

QWindow* VideoWindow::surface() const { return surface_.get(); }

QRect VideoWindow::surfaceOnScreen() const { return QRect(surface_->mapToGlobal(QPoint(0, 0)), surface_->size()); }

QWindow* VideoWindow::fullScreenWindow() const { return fullScreen_ ? host_.get() : nullptr; }

void VideoWindow::setSpeedStep(int step)
{
    if (step == speedStep_)
        return;
    speedStep_ = step;
    label_->setText(speedText(step));
    placeLabel();
    label_->setVisible(step != 0);
    if (step != 0)
        label_->raise();
    update();
}

void VideoWindow::placeLabel()
{
    const QSize area = surface_->size();
    const int textWidth = QFontMetrics(labelFont()).horizontalAdvance(speedText(speedStep_));
    const int w = std::min(area.width(), std::max(kLabelWidth, textWidth + 2 * kLabelMargin));
    labelRect_ = QRect(area.width() - w, area.height() - kLabelHeight, w, kLabelHeight);
    label_->setGeometry(labelRect_);
}

QString VideoWindow::speedText(int step)
{
    if (step == 0)
        return QString();
    return QStringLiteral("%1 x%2").arg(step > 0 ? QStringLiteral(">>") : QStringLiteral("<<")).arg(std::abs(step));
}

QRect VideoWindow::fitted(const QRect& area, const QSize& shape, bool enlarge)
{
    if (shape.width() <= 0 || shape.height() <= 0 || area.isEmpty())
        return area;
    QSize size = shape;
    if (enlarge || size.width() > area.width() || size.height() > area.height())
        size = shape.scaled(area.size(), Qt::KeepAspectRatio);
    size = size.expandedTo(QSize(1, 1));
    return QRect(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2,
                 size.width(), size.height());
}

void VideoWindow::setPictureShape(const QSize& shape)
{
    if (shape == shape_)
        return;
    shape_ = shape;
    if (fullScreen_)
        fitSurface();
}

void VideoWindow::enterFullScreen()
{
    if (fullScreen_ || !owner_)
        return;
    QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
    if (!host_)
        host_ = std::make_unique<FullScreenHost>(this);
    fullScreen_ = true;
    idleTicks_ = 0;
    if (screen) {
        host_->setScreen(screen);
        host_->setGeometry(screen->geometry());
    }
    // The same X window moves; the player keeps drawing into it.
    surface_->setParent(host_.get());
    fitSurface();
    surface_->show();
    host_->showFullScreen();
    host_->raise();
    host_->requestActivate();
    surface_->requestActivate();
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
    surface_->setParent(windowHandle());
    if (owner_)
        setGeometry(returnArea_);
    fitSurface();
    surface_->show();
    if (host_)
        host_->hide();
    if (owner_)
        owner_->activateWindow();
}

void VideoWindow::fitSurface()
{
    // Embedded, the owner gives this widget the picture's shape; full
    // screen, the host is the whole screen and the surface its picture.
    if (fullScreen_)
        surface_->setGeometry(fitted(QRect(QPoint(0, 0), host_->size()), shape_, true));
    else
        surface_->setGeometry(QRect(QPoint(0, 0), size()));
    placeLabel();
    // Whatever the player drew at the old size is not the picture any more.
    surface_->update();
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
        surface_->setCursor(Qt::BlankCursor);
        setCursor(Qt::BlankCursor);
    }
}

intptr_t VideoWindow::engineNotify(uint32_t code)
{
    if (code == core::PLAYER_STOPPED)
        leaveFullScreen();
    // The player is gone; its last picture must not look like a paused one.
    if (code == core::PLAYER_STOPPED || code == core::PLAYER_ENDED)
        clearPicture();
    return 0;
}

void VideoWindow::clearPicture()
{
    surface_->update();
    update();
}

void VideoWindow::paintEvent(QPaintEvent*)
{
    // Under the surface; what a grab of the widget shows.
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (speedStep_ != 0 && !fullScreen_)
        paintLabel(p, labelRect_, speedText(speedStep_));
}

void VideoWindow::resizeEvent(QResizeEvent*) { fitSurface(); }

void VideoWindow::surfaceDoubleClicked()
{
    if (fullScreen_) {
        leaveFullScreen();
        return;
    }
    if (sendMessage(owner_, core::WM_PLAYER_NOTIFY, core::PLAYER_ASK_FULL_SCREEN, 0) != 0)
        enterFullScreen();
}

bool VideoWindow::surfaceKey(QKeyEvent* event)
{
    // Escape is how every full-screen picture is left.
    if (fullScreen_ && event->key() == Qt::Key_Escape) {
        leaveFullScreen();
        return true;
    }
    if (keyHandler_ && keyHandler_(event)) {
        event->accept();
        return true;
    }
    return false;
}

void VideoWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    surfaceDoubleClicked();
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
    if (!surfaceKey(event))
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
    surface_->unsetCursor();
    unsetCursor();
}

} // namespace qf::ui
