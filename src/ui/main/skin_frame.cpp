#include "ui/main/skin_frame.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/shell/qt_shell.h"
#include "ui/skin/skin.h"

namespace qf::ui {

namespace {

constexpr char kTitle[] = "Quillfer3.5";
constexpr uint32_t kTitleColour = 0x006000;

// Source rectangles in bitmap 130 (65 x 122).
void drawPart(QPainter& p, const QImage& parts, QRect target, QRect source) { p.drawImage(target, parts, source); }

} // namespace

SkinFrame::SkinFrame(QSize client) : size_(client) {}

QRegion SkinFrame::windowRegion() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width() + 1, height() + 1), 5.5, 5.5);
    return QRegion(path.toFillPolygon().toPolygon());
}

QRect SkinFrame::contentRect() const
{
    return QRect(QPoint(kEdge, kContentTop), QPoint(width() - kEdge - 1, height() - kBottomBarHeight - 1));
}

QRect SkinFrame::playerRect() const
{
    return QRect(QPoint(kEdge, kContentTop), QPoint(width() - kEdge - 1, height() - 1));
}

const QImage& SkinFrame::image() const
{
    if (image_.isNull())
        image_ = paint(size_);
    return image_;
}

QImage SkinFrame::paint(QSize size)
{
    const int W = size.width();
    const int H = size.height();
    QImage img(size, QImage::Format_RGB32);
    img.fill(skin::skinColor());
    const QImage& parts = skin::bitmap(skin::kFrameParts);
    QPainter p(&img);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);

    // Top corners and edge.
    drawPart(p, parts, QRect(0, 0, 7, 63), QRect(0, 0, 7, 63));
    drawPart(p, parts, QRect(W - 7, 0, 7, 63), QRect(7, 0, 7, 63));
    drawPart(p, parts, QRect(7, 0, W - 14, 63), QRect(14, 0, 1, 63));
    // Side edges.
    drawPart(p, parts, QRect(0, 63, 7, H - 119), QRect(0, 64, 7, 1));
    drawPart(p, parts, QRect(W - 7, 63, 7, H - 119), QRect(7, 64, 7, 1));
    // Bottom corners and edge.
    drawPart(p, parts, QRect(0, H - 56, 7, 56), QRect(0, 66, 7, 56));
    drawPart(p, parts, QRect(W - 7, H - 56, 7, 56), QRect(7, 66, 7, 56));
    drawPart(p, parts, QRect(7, H - 56, W - 14, 56), QRect(14, 66, 1, 56));
    // The decorated strip of the bottom bar.
    drawPart(p, parts, QRect(277, H - 38, 40, 34), QRect(15, 0, 40, 34));
    drawPart(p, parts, QRect(317, H - 38, W - 340, 34), QRect(55, 0, 1, 34));
    drawPart(p, parts, QRect(W - 23, H - 38, 9, 34), QRect(56, 0, 9, 34));

    p.drawImage(QPoint(7, 5), skin::iconImage(16));
    p.setFont(skin::font(QStringLiteral("System"), 9));
    p.setPen(skin::colorRef(kTitleColour));
    const QFontMetrics metrics(p.font());
    p.drawText(QPoint(28, 5 + metrics.ascent()), toQ(kTitle));
    return img;
}

} // namespace qf::ui
