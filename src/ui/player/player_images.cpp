#include "ui/player/player_images.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <functional>

#include "ui/skin/skin.h"

namespace qf::ui::player_images {

namespace {

enum Look { Normal, Hover, Pressed, Disabled };

QString key(const char* kind, Glyph glyph, QSize size)
{
    return QStringLiteral("%1/%2/%3x%4")
        .arg(QLatin1String(kind))
        .arg(static_cast<int>(glyph))
        .arg(size.width())
        .arg(size.height());
}

QHash<QString, QImage>& cache()
{
    static QHash<QString, QImage> images;
    return images;
}

void drawGlyph(QPainter& p, Glyph glyph, const QRectF& box, QColor ink)
{
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const qreal l = box.left(), t = box.top(), w = box.width(), h = box.height();
    const auto tri = [&](qreal x0, qreal x1) {
        QPainterPath path;
        path.moveTo(x0, t);
        path.lineTo(x1, t + h / 2);
        path.lineTo(x0, t + h);
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (glyph) {
    case Glyph::Play: tri(l + w * 0.15, l + w * 0.9); break;
    case Glyph::Pause:
        p.drawRect(QRectF(l + w * 0.15, t, w * 0.25, h));
        p.drawRect(QRectF(l + w * 0.6, t, w * 0.25, h));
        break;
    case Glyph::Stop: p.drawRect(box.adjusted(w * 0.1, h * 0.1, -w * 0.1, -h * 0.1)); break;
    case Glyph::Previous:
        p.drawRect(QRectF(l, t, w * 0.15, h));
        tri(l + w, l + w * 0.15);
        break;
    case Glyph::Next:
        tri(l, l + w * 0.85);
        p.drawRect(QRectF(l + w * 0.85, t, w * 0.15, h));
        break;
    case Glyph::Mute: {
        QPainterPath path;
        path.moveTo(l, t + h * 0.35);
        path.lineTo(l + w * 0.3, t + h * 0.35);
        path.lineTo(l + w * 0.65, t);
        path.lineTo(l + w * 0.65, t + h);
        path.lineTo(l + w * 0.3, t + h * 0.65);
        path.lineTo(l, t + h * 0.65);
        path.closeSubpath();
        p.drawPath(path);
        p.setPen(QPen(ink, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(l + w * 0.45, t + h * 0.2, w * 0.5, h * 0.6), -60 * 16, 120 * 16);
        break;
    }
    case Glyph::Open:
        p.drawRect(QRectF(l, t + h * 0.3, w, h * 0.7));
        p.drawRect(QRectF(l, t + h * 0.1, w * 0.45, h * 0.3));
        break;
    case Glyph::Menu:
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(l, t + h * (0.1 + 0.33 * i), w, h * 0.18));
        break;
    case Glyph::Rewind:
        tri(l + w * 0.5, l);
        tri(l + w, l + w * 0.5);
        break;
    case Glyph::Forward:
        tri(l, l + w * 0.5);
        tri(l + w * 0.5, l + w);
        break;
    }
}

// A rounded button face in the skin's blues; the look shifts the shades.
void drawFace(QPainter& p, const QRect& r, Look look, bool round)
{
    const QColor skin = skin::skinColor();
    QColor top = skin::lighter(skin, 70), bottom = skin::darker(skin, 10);
    if (look == Hover) {
        top = skin::lighter(skin, 100);
        bottom = skin::lighter(skin, 20);
    } else if (look == Pressed) {
        top = skin::darker(skin, 30);
        bottom = skin::lighter(skin, 40);
    } else if (look == Disabled) {
        top = bottom = skin::colorRef(skin::kDisabledColour);
    }
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(skin::lighter(skin, 120), 1));
    p.setBrush(g);
    const QRectF face = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    if (round)
        p.drawEllipse(face);
    else
        p.drawRoundedRect(face, 3, 3);
}

QImage paintStrip(Glyph glyph, QSize size)
{
    QImage img(size.width(), size.height() * 4, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const bool round = size.width() == size.height();
    for (int look = Normal; look <= Disabled; ++look) {
        const QRect r(0, size.height() * look, size.width(), size.height());
        drawFace(p, r, static_cast<Look>(look), round);
        const qreal inset = size.width() * 0.3;
        const QRectF box = QRectF(r).adjusted(inset, size.height() * 0.3, -inset, -size.height() * 0.3);
        drawGlyph(p, glyph, box.translated(look == Pressed ? 1 : 0, look == Pressed ? 1 : 0),
                  look == Disabled    ? QColor(120, 120, 120)
                      : look == Hover ? QColor(255, 255, 200)
                                      : QColor(Qt::white));
    }
    return img;
}

QImage paintGrid(Glyph glyph, QSize cell)
{
    QImage img(cell.width() * 2, cell.height(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int column = 0; column < 2; ++column) {
        const QRectF r(cell.width() * column, 0, cell.width(), cell.height());
        const qreal inset = std::min(cell.width(), cell.height()) * 0.15;
        drawGlyph(p, glyph, r.adjusted(inset, inset, -inset, -inset),
                  column == 0 ? QColor(Qt::white) : skin::colorRef(skin::kHoverTextColour));
    }
    return img;
}

QImage paintBackground(QSize size)
{
    QImage img(size, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, skin::darker(skin::skinColor(), 8));
    g.setColorAt(0.8, skin::skinColor());
    g.setColorAt(1, skin::lighter(skin::skinColor(), 24));
    p.fillRect(img.rect(), g);
    return img;
}

const QImage& cached(const QString& k, const std::function<QImage()>& make)
{
    auto it = cache().find(k);
    if (it == cache().end())
        it = cache().insert(k, make());
    return *it;
}

} // namespace

const QImage& buttonStrip(Glyph glyph, QSize size)
{
    return cached(key("strip", glyph, size), [&] { return paintStrip(glyph, size); });
}

const QImage& smallButtonGrid(Glyph glyph, QSize cell)
{
    return cached(key("grid", glyph, cell), [&] { return paintGrid(glyph, cell); });
}

const QImage& background(QSize size)
{
    return cached(key("back", Glyph::Play, size), [&] { return paintBackground(size); });
}

} // namespace qf::ui::player_images
