#pragma once
// SkinFrame: the main window's frame. It knows the client size, the regions
// of the client area (caption strip, content, player rectangle, bottom bar)
// and paints the frame image once from bitmap 130; the window copies that
// image on every paint. UI thread only.

#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>

namespace qf::ui {

class SkinFrame {
public:
    // The client size: the template's 860 x 600 pixels, one pixel taller.
    static constexpr QSize kClientSize{860, 601};
    static constexpr int kCaptionHeight = 62; // a press above this drags the window
    static constexpr int kBottomBarHeight = 56;
    static constexpr int kEdge = 7;
    static constexpr int kContentTop = 63;

    explicit SkinFrame(QSize client = kClientSize);

    QSize size() const { return size_; }
    int width() const { return size_.width(); }
    int height() const { return size_.height(); }

    // The rounded window region, (0, 0) to (W + 1, H + 1) with 11 x 11 corners.
    QRegion windowRegion() const;
    QRect captionStrip() const { return QRect(0, 0, width(), kCaptionHeight); }
    // Where the active view lies: (7, 63) to (W - 7, H - 56).
    QRect contentRect() const;
    // The Player view covers the bottom bar too: (7, 63) to (W - 7, H).
    QRect playerRect() const;
    QRect bottomBar() const { return QRect(0, height() - kBottomBarHeight, width(), kBottomBarHeight); }

    // The frame image, painted on first use.
    const QImage& image() const;
    static QImage paint(QSize size);

private:
    QSize size_;
    mutable QImage image_;
};

} // namespace qf::ui
