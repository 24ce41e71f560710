#pragma once
// What the X server shows, for the player tests under Xvfb: the player's
// drawing lives only on the screen, never in Qt's backing store.

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace qf::ui::test {

inline QImage grabScreen(const QRect& r)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

inline bool isKeyColour(const QColor& c)
{
    return std::abs(c.red() - 16) + std::abs(c.green() - 16) + std::abs(c.blue() - 16) <= 30;
}

// Shares of the pixels (every second one each way) that are of a kind.
template <typename Kind> double shareOf(const QImage& image, Kind kind)
{
    if (image.isNull() || image.width() == 0)
        return 0;
    int hits = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            hits += kind(image.pixelColor(x, y));
    return static_cast<double>(hits) / (((image.height() + 1) / 2) * ((image.width() + 1) / 2));
}

// A picture: strongly coloured pixels (the clips' colour bars, or red and
// blue). Neither the colour key nor a black screen nor grey counts.
inline bool isColourful(const QColor& c)
{
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) > 80;
}
inline double pictureShare(const QImage& image) { return shareOf(image, isColourful); }
inline double keyShare(const QImage& image) { return shareOf(image, isKeyColour); }

// The framed clip's red border shows along all four edges of the image: the
// whole picture is scaled into it, not cropped or left small in the middle.
inline bool pictureReachesEdges(const QImage& image, int band = 4)
{
    if (image.isNull())
        return false;
    const auto red = [](const QColor& c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; };
    const int w = image.width(), h = image.height();
    return shareOf(image.copy(0, 0, w, band), red) > 0.8 && shareOf(image.copy(0, h - band, w, band), red) > 0.8
        && shareOf(image.copy(0, 0, band, h), red) > 0.8 && shareOf(image.copy(w - band, 0, band, h), red) > 0.8;
}

inline QRect onScreen(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

inline void doubleClick(QWidget* w)
{
    QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(w->mapToGlobal(QPoint(5, 5))), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// The X window exists and is mapped and viewable, as the X server (not Qt) says.
inline bool xWindowViewable(uint32_t id)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)});
    if (!info.waitForFinished(10000) || info.exitCode() != 0)
        return false;
    return QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("IsViewable"));
}

} // namespace qf::ui::test
