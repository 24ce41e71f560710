#include "ui/skin/skin.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>

namespace qf::ui::skin {

namespace {

QColor rgb(int r, int g, int b) { return QColor(r, g, b); }

// A few tones of the blue skin used across the painted bitmaps.
const QColor kSkin = rgb(0x36, 0x6A, 0xB3);
const QColor kSkinLight = rgb(0x5C, 0x93, 0xDA);
const QColor kSkinPale = rgb(0x9C, 0xC4, 0xF2);
const QColor kSkinDark = rgb(0x1E, 0x3C, 0x64);
const QColor kSkinDeep = rgb(0x24, 0x4C, 0x86);

// The caption band behind the title: pale down to kCaptionPaleEnd, then a
// short blend into the skin before the tabs start at y 25.
const QColor kCaptionTop = rgb(0xE6, 0xF0, 0xFC);
const QColor kCaptionBottom = rgb(0xC4, 0xDC, 0xF8);
constexpr int kCaptionPaleEnd = 21;
constexpr int kCaptionBlendEnd = 25;

QColor mix(QColor a, QColor b, double t)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QColor captionColour(int y)
{
    if (y <= kCaptionPaleEnd)
        return mix(kCaptionTop, kCaptionBottom, y / static_cast<double>(kCaptionPaleEnd));
    if (y < kCaptionBlendEnd)
        return mix(kCaptionBottom, kSkin,
                   (y - kCaptionPaleEnd) / static_cast<double>(kCaptionBlendEnd - kCaptionPaleEnd));
    return kSkin;
}

QImage blank(int w, int h, QColor fill = Qt::transparent)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void verticalGradient(QPainter& p, const QRectF& r, QColor top, QColor bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

// 130: the frame's corners and edges (top band 63 high, sides, bottom band 56
// high) and the decorated bottom strip.
QImage paintFrameParts()
{
    QImage img = blank(65, 122, kSkin);
    QPainter p(&img);
    // Top band: a pale title area, light enough for the dark green title,
    // that melts into the skin above the tabs, with a bright rim.
    for (int x = 0; x < 15; ++x) {
        for (int y = 0; y < 63; ++y)
            p.fillRect(QRect(x, y, 1, 1), captionColour(y));
        p.fillRect(QRect(x, 1, 1, 1), kCaptionTop);
    }
    p.fillRect(QRect(0, 0, 15, 1), kSkinDark);
    // Left corner piece: outer dark line, inner light line.
    p.fillRect(QRect(0, 0, 1, 63), kSkinDark);
    p.fillRect(QRect(1, 1, 1, 62), kSkinPale);
    // Right corner piece (x 7..13): the mirror image.
    p.fillRect(QRect(13, 0, 1, 63), kSkinDark);
    p.fillRect(QRect(12, 1, 1, 62), kSkinLight);
    // Side edges at y 64.
    p.fillRect(QRect(0, 64, 14, 1), kSkin);
    p.fillRect(QRect(0, 64, 1, 1), kSkinDark);
    p.fillRect(QRect(1, 64, 1, 1), kSkinPale);
    p.fillRect(QRect(13, 64, 1, 1), kSkinDark);
    p.fillRect(QRect(12, 64, 1, 1), kSkinLight);
    // Bottom band (y 66..121): skin with a deeper foot and the outline.
    for (int x = 0; x < 15; ++x)
        verticalGradient(p, QRectF(x, 66, 1, 56), kSkin, kSkinDeep);
    p.fillRect(QRect(0, 121, 15, 1), kSkinDark);
    p.fillRect(QRect(0, 66, 1, 56), kSkinDark);
    p.fillRect(QRect(1, 66, 1, 55), kSkinPale);
    p.fillRect(QRect(13, 66, 1, 56), kSkinDark);
    p.fillRect(QRect(12, 66, 1, 55), kSkinLight);
    // Bottom strip (x 15..64, y 0..33): a rounded groove with a slanted start.
    QImage strip = blank(50, 34);
    {
        QPainter s(&strip);
        s.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.moveTo(40, 4);
        path.lineTo(50, 4);
        path.lineTo(50, 30);
        path.lineTo(18, 30);
        path.cubicTo(28, 30, 30, 4, 40, 4);
        verticalGradient(s, QRectF(0, 0, 50, 34), kSkin, kSkin);
        QLinearGradient g(0, 4, 0, 30);
        g.setColorAt(0, kSkinDark);
        g.setColorAt(0.5, kSkinDeep);
        g.setColorAt(1, kSkin);
        s.fillPath(path, g);
        s.setPen(kSkinLight);
        s.drawLine(QPointF(18, 30.5), QPointF(50, 30.5));
    }
    p.drawImage(15, 0, strip);
    // The strip's end (x 56..64) rounds off.
    p.fillRect(QRect(56, 0, 9, 34), kSkin);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath end;
    end.moveTo(56, 4);
    end.lineTo(58, 4);
    end.quadTo(64, 4, 64, 17);
    end.quadTo(64, 30, 58, 30);
    end.lineTo(56, 30);
    end.closeSubpath();
    QLinearGradient g(0, 4, 0, 30);
    g.setColorAt(0, kSkinDark);
    g.setColorAt(0.5, kSkinDeep);
    g.setColorAt(1, kSkin);
    p.fillPath(end, g);
    return img;
}

void drawGlyphPen(QPainter& p, QColor c, double width)
{
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
}

// 132: title buttons, 30 x 30 each; rows normal, hover, pressed.
constexpr int kTitleButtonTop = 8; // where the window puts them
QImage paintTitleButtons()
{
    QImage img = blank(120, 90, kSkin);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 3; ++row) {
            const QRectF cell(col * 30, row * 30, 30, 30);
            // The caption band as the frame paints it where the buttons stand.
            for (int y = 0; y < 30; ++y)
                p.fillRect(QRectF(cell.left(), cell.top() + y, 30, 1), captionColour(kTitleButtonTop + y));
            const QRectF face = cell.adjusted(4.5, 4.5, -4.5, -4.5);
            const QColor top = row == 0 ? kSkinLight : row == 1 ? kSkinPale : kSkinDeep;
            const QColor bottom = row == 2 ? kSkinLight : kSkinDeep;
            QLinearGradient fg(face.topLeft(), face.bottomLeft());
            fg.setColorAt(0, top);
            fg.setColorAt(1, bottom);
            p.setPen(QPen(row == 1 ? colorRef(kFrameColour) : kSkinDark, 1));
            p.setBrush(fg);
            p.drawRoundedRect(face, 4, 4);
            const QPointF c = face.center() + (row == 2 ? QPointF(1, 1) : QPointF(0, 0));
            const QColor ink = row == 1 ? colorRef(kFrameColour) : QColor(Qt::white);
            drawGlyphPen(p, ink, 2);
            switch (col) {
            case 0: // close
                p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
                p.drawLine(c + QPointF(5, -5), c + QPointF(-5, 5));
                break;
            case 1: // minimize
                p.drawLine(c + QPointF(-5, 4), c + QPointF(5, 4));
                break;
            case 2: // hide to tray: an arrow down into a tray
                p.drawLine(c + QPointF(0, -6), c + QPointF(0, 2));
                p.drawLine(c + QPointF(-3, -1), c + QPointF(0, 2));
                p.drawLine(c + QPointF(3, -1), c + QPointF(0, 2));
                p.drawPolyline(
                    QPolygonF({c + QPointF(-6, 1), c + QPointF(-6, 5), c + QPointF(6, 5), c + QPointF(6, 1)}));
                break;
            default: { // help
                QFont f(QStringLiteral("DejaVu Sans"));
                f.setPixelSize(14);
                f.setBold(true);
                p.setFont(f);
                p.setPen(ink);
                p.drawText(QRectF(c.x() - 8, c.y() - 9, 16, 18), Qt::AlignCenter, QStringLiteral("?"));
                break;
            }
            }
        }
    }
    return img;
}

// 133: tab button, 64 x 38 per state; rows normal, hover, pressed (selected).
QImage paintTabStrip()
{
    QImage img = blank(64, 114, kSkin);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 3; ++row) {
        const QRectF cell(0, row * 38, 64, 38);
        p.fillRect(cell, kSkin);
        QPainterPath tab;
        tab.addRoundedRect(QRectF(2.5, row * 38 + 6.5, 59, 40), 6, 6);
        QPainterPath clipped = tab.intersected([&] {
            QPainterPath r;
            r.addRect(cell);
            return r;
        }());
        // The captions are dark blue on the normal and hover looks and
        // yellow on the pressed one: light faces for the first two, a deep
        // face for the selected tab, which melts into the panel below.
        QLinearGradient g(0, row * 38 + 6, 0, row * 38 + 38);
        if (row == 2) {
            g.setColorAt(0, kSkinDeep);
            g.setColorAt(1, kSkin);
        } else if (row == 1) {
            g.setColorAt(0, rgb(0xF4, 0xF9, 0xFF));
            g.setColorAt(1, rgb(0xC4, 0xDC, 0xF8));
        } else {
            g.setColorAt(0, rgb(0xDC, 0xEA, 0xFA));
            g.setColorAt(1, kSkinPale);
        }
        p.setPen(QPen(row == 2 ? colorRef(kFrameColour) : kSkinDark, 1));
        p.setBrush(g);
        p.drawPath(clipped);
    }
    return img;
}

// 138: 16 x 16 images. Columns 0/1 at x 0: panel toggle (row 0 open, row 1
// shut); x 0 y 32: save; x 32 y 32: output folder; x 32 y 0: refresh;
// x 32 y 16: home. The second image of each pair is the hover look.
QImage paintSmallButtons()
{
    QImage img = blank(64, 48);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    auto cell = [&](int x, int y, bool hover, auto&& glyph) {
        const QRectF r(x + 0.5, y + 0.5, 15, 15);
        p.setPen(QPen(hover ? colorRef(kFrameColour) : kSkinDark, 1));
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, hover ? kSkinPale : kSkinLight);
        g.setColorAt(1, hover ? kSkinLight : kSkinDeep);
        p.setBrush(g);
        p.drawRoundedRect(r, 3, 3);
        glyph(QPointF(x + 8, y + 8), hover ? QColor(Qt::white) : colorRef(kFrameColour));
    };
    auto chevron = [&](bool up) {
        return [&p, up](QPointF c, QColor ink) {
            drawGlyphPen(p, ink, 1.6);
            const double d = up ? -1 : 1;
            p.drawPolyline(QPolygonF({c + QPointF(-4, -2 * d), c + QPointF(0, 2 * d), c + QPointF(4, -2 * d)}));
        };
    };
    auto save = [&p](QPointF c, QColor ink) {
        drawGlyphPen(p, ink, 1.2);
        p.drawRect(QRectF(c.x() - 4.5, c.y() - 4.5, 9, 9));
        p.fillRect(QRectF(c.x() - 2.5, c.y() - 4.5, 5, 3), ink);
    };
    auto folder = [&p](QPointF c, QColor ink) {
        drawGlyphPen(p, ink, 1.2);
        p.drawPolygon(QPolygonF({c + QPointF(-5, -3), c + QPointF(-1, -3), c + QPointF(0, -2), c + QPointF(5, -2),
                                 c + QPointF(5, 4), c + QPointF(-5, 4)}));
    };
    auto refresh = [&p](QPointF c, QColor ink) {
        drawGlyphPen(p, ink, 1.4);
        p.drawArc(QRectF(c.x() - 4.5, c.y() - 4.5, 9, 9), 30 * 16, 280 * 16);
        p.drawLine(c + QPointF(4, -4), c + QPointF(4, -1));
        p.drawLine(c + QPointF(4, -1), c + QPointF(1, -1));
    };
    auto home = [&p](QPointF c, QColor ink) {
        drawGlyphPen(p, ink, 1.3);
        p.drawPolyline(QPolygonF({c + QPointF(-5, 0), c + QPointF(0, -5), c + QPointF(5, 0)}));
        p.drawPolyline(QPolygonF({c + QPointF(-3, -1), c + QPointF(-3, 4), c + QPointF(3, 4), c + QPointF(3, -1)}));
    };
    for (int h = 0; h < 2; ++h) {
        cell(h * 16, 0, h, chevron(true));
        cell(h * 16, 16, h, chevron(false));
        cell(h * 16, 32, h, save);
        cell(32 + h * 16, 32, h, folder);
        cell(32 + h * 16, 0, h, refresh);
        cell(32 + h * 16, 16, h, home);
    }
    return img;
}

// 140: the four circular command buttons: (0, 0) delete, (37, 0) start,
// (0, 37) add files, (37, 37) stop.
QImage paintBottomButtons()
{
    QImage img = blank(74, 74);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 4; ++i) {
        const int x = (i % 2) * 37, y = (i / 2) * 37;
        p.fillRect(QRect(x, y, 37, 37), kSkin);
        const QRectF disc(x + 1, y + 1, 35, 35);
        QRadialGradient g(disc.center() - QPointF(6, 8), 26);
        g.setColorAt(0, kSkinPale);
        g.setColorAt(0.6, kSkinLight);
        g.setColorAt(1, kSkinDeep);
        p.setPen(QPen(kSkinDark, 1));
        p.setBrush(g);
        p.drawEllipse(disc);
        const QPointF c = disc.center();
        const QColor ink = Qt::white;
        drawGlyphPen(p, ink, 3);
        if (i == 0) { // delete
            p.drawLine(c + QPointF(-6, -6), c + QPointF(6, 6));
            p.drawLine(c + QPointF(6, -6), c + QPointF(-6, 6));
        } else if (i == 1) { // start
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPolygon(QPolygonF({c + QPointF(-5, -8), c + QPointF(9, 0), c + QPointF(-5, 8)}));
        } else if (i == 2) { // add files
            p.drawLine(c + QPointF(0, -8), c + QPointF(0, 8));
            p.drawLine(c + QPointF(-8, 0), c + QPointF(8, 0));
        } else { // stop
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawRoundedRect(QRectF(c.x() - 7, c.y() - 7, 14, 14), 2, 2);
        }
    }
    return img;
}

// 144: 15 frames of a ring of dots, the bright dot moving one place a frame.
QImage paintActivity()
{
    QImage img = blank(240, 16, kSkin);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < 15; ++f) {
        const QPointF c(f * 16 + 8, 8);
        for (int d = 0; d < 8; ++d) {
            const double a = (d * 45 + f * 24) * M_PI / 180.0;
            const int age = d;
            QColor dot = skin::lighter(kSkin, 40 + age * 24);
            p.setPen(Qt::NoPen);
            p.setBrush(dot);
            p.drawEllipse(c + QPointF(5.5 * std::cos(a), 5.5 * std::sin(a)), 1.6, 1.6);
        }
    }
    return img;
}

// The shared check images: a 2-pixel border of 77,142,214 round a white
// square, and for the checked one a black tick of 1-pixel lines.
QImage paintCheck(bool checked)
{
    constexpr int kSize = 13;
    QImage img = blank(kSize, kSize, Qt::white);
    QPainter p(&img);
    const QColor border(77, 142, 214);
    p.fillRect(QRect(0, 0, kSize, 2), border);
    p.fillRect(QRect(0, kSize - 2, kSize, 2), border);
    p.fillRect(QRect(0, 0, 2, kSize), border);
    p.fillRect(QRect(kSize - 2, 0, 2, kSize), border);
    if (checked) {
        p.setPen(QPen(Qt::black, 1));
        for (int dy = 0; dy < 2; ++dy) {
            p.drawLine(QPoint(3, 5 + dy), QPoint(5, 7 + dy));
            p.drawLine(QPoint(5, 7 + dy), QPoint(9, 3 + dy));
        }
    }
    return img;
}

QImage paintSliderParts()
{
    QImage img = blank(22, 30, colorRef(kTransparentKey));
    QPainter p(&img);
    // Track columns, 10 high: the filled part, then the empty groove.
    verticalGradient(p, QRectF(0, 0, 1, 10), colorRef(kFrameColour), kSkinLight);
    p.fillRect(QRect(0, 0, 1, 3), kSkin);
    p.fillRect(QRect(0, 7, 1, 3), kSkin);
    p.fillRect(QRect(1, 0, 1, 10), kSkin);
    p.fillRect(QRect(1, 3, 1, 4), kSkinDark);
    p.fillRect(QRect(1, 6, 1, 1), kSkinLight);
    p.fillRect(QRect(0, 10, 2, 20), kSkin);
    // Thumbs: a rounded pill on magenta, which the slider treats as see-through.
    for (int row = 0; row < 3; ++row) {
        QImage thumb = blank(20, 10);
        QPainter t(&thumb);
        t.setRenderHint(QPainter::Antialiasing);
        const QColor face = row == 0 ? colorRef(kWhite)
            : row == 1               ? colorRef(kFrameColour)
                                     : colorRef(kButtonPressedTextColour);
        QLinearGradient g(0, 0, 0, 10);
        g.setColorAt(0, face);
        g.setColorAt(1, skin::darker(face, 60));
        t.setPen(QPen(kSkinDark, 1));
        t.setBrush(g);
        t.drawRoundedRect(QRectF(0.5, 0.5, 19, 9), 4, 4);
        t.end();
        // Antialiased edges over magenta would leave pink fringes: threshold them.
        QImage opaque = blank(20, 10, colorRef(kTransparentKey));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const QRgb px = thumb.pixel(x, y);
                if (qAlpha(px) >= 128)
                    opaque.setPixel(
                        x, y,
                        qRgb(qRed(px) * 255 / qAlpha(px), qGreen(px) * 255 / qAlpha(px), qBlue(px) * 255 / qAlpha(px)));
            }
        p.drawImage(2, row * 10, opaque);
    }
    return img;
}

QImage paintTrayMenuItem()
{
    QImage img = blank(13, 13);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    drawGlyphPen(p, kSkinDark, 1.5);
    p.drawLine(QPointF(6.5, 1), QPointF(6.5, 8));
    p.drawPolyline(QPolygonF({QPointF(3.5, 5), QPointF(6.5, 8), QPointF(9.5, 5)}));
    p.drawPolyline(QPolygonF({QPointF(1, 8), QPointF(1, 11.5), QPointF(12, 11.5), QPointF(12, 8)}));
    return img;
}

} // namespace

QColor lighter(QColor c, int amount)
{
    return QColor(std::clamp(c.red() + amount, 0, 255), std::clamp(c.green() + amount, 0, 255),
                  std::clamp(c.blue() + amount, 0, 255));
}

QColor darker(QColor c, int amount) { return lighter(c, -amount); }

const QImage& bitmap(int id)
{
    static std::map<int, QImage> cache;
    auto it = cache.find(id);
    if (it != cache.end())
        return it->second;
    QImage img;
    switch (id) {
    case kFrameParts: img = paintFrameParts(); break;
    case kTrayMenuItem: img = paintTrayMenuItem(); break;
    case kTitleButtons: img = paintTitleButtons(); break;
    case kTabStrip: img = paintTabStrip(); break;
    case kSmallButtons: img = paintSmallButtons(); break;
    case kBottomButtons: img = paintBottomButtons(); break;
    case kActivity: img = paintActivity(); break;
    case kCheckOff: img = paintCheck(false); break;
    case kCheckOn: img = paintCheck(true); break;
    case kSliderParts: img = paintSliderParts(); break;
    default: break;
    }
    return cache.emplace(id, std::move(img)).first->second;
}

QImage iconImage(int size)
{
    QImage img = blank(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paintIcon(p);
    return img;
}

void paintIcon(QPainter& p)
{
    // A blue rounded tile with a film strip and a yellow arrow: media in, media out.
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, kSkinPale);
    g.setColorAt(1, kSkinDeep);
    p.setPen(QPen(kSkinDark, 1.5));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(kSkinDark);
    p.drawRect(QRectF(5, 6, 12, 20));
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(6, 7.5 + i * 5, 2, 2));
        p.drawRect(QRectF(14, 7.5 + i * 5, 2, 2));
    }
    p.setBrush(colorRef(kButtonPressedTextColour));
    p.drawPolygon(QPolygonF({QPointF(17, 11), QPointF(23, 11), QPointF(23, 7), QPointF(29, 16), QPointF(23, 25),
                             QPointF(23, 21), QPointF(17, 21)}));
}

QIcon programIcon()
{
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(iconImage(16)));
    icon.addPixmap(QPixmap::fromImage(iconImage(32)));
    icon.addPixmap(QPixmap::fromImage(iconImage(48)));
    return icon;
}

void installFontSubstitutes()
{
    // Song-style faces first, a Hei face as the fallback that is always there.
    const QStringList song{QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Zen Hei"),
                           QStringLiteral("Noto Serif CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("新宋体"), song);
    QFont::insertSubstitutions(QStringLiteral("System"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("MS Serif"),
                               {QStringLiteral("DejaVu Serif"), QStringLiteral("AR PL UMing CN")});
}

namespace {

// The Ming face carries hand-made one-bit glyphs for 11 to 16 pixels. Drawn
// without anti-aliasing they are what the text shows: every stroke in full
// colour, where the smoothed outlines of this thin face fade to a pale grey
// that does not stand out from the skin. Other faces, sizes and scaled
// screens keep smoothed outlines. The answer per family is kept, as fonts
// are made in paint code.
bool drawsFromBitmaps(const QFont& f, int pixels)
{
    if (pixels < 11 || pixels > 16 || !qGuiApp || qGuiApp->devicePixelRatio() != 1.0)
        return false;
    static QHash<QString, bool> mingFamily;
    auto it = mingFamily.constFind(f.family());
    if (it == mingFamily.constEnd())
        it = mingFamily.insert(f.family(), QFontInfo(f).family().startsWith(QLatin1String("AR PL UMing")));
    return *it;
}

} // namespace

QFont font(const QString& family, double points)
{
    static bool substituted = false;
    if (!substituted) {
        installFontSubstitutes();
        substituted = true;
    }
    QFont f(family);
    // Points at 96 dots per inch, as the fonts were always created.
    const int pixels = static_cast<int>(std::lround(points * 96.0 / 72.0));
    f.setPixelSize(pixels);
    f.setStyleStrategy(drawsFromBitmaps(f, pixels) ? QFont::NoAntialias : QFont::PreferAntialias);
    return f;
}

QFont smallFont() { return font(QStringLiteral("宋体"), 9.6); }
QFont mediumFont() { return font(QStringLiteral("宋体"), 11); }
QFont largeFont() { return font(QStringLiteral("宋体"), 12); }
QFont dialogFont() { return font(QStringLiteral("新宋体"), 12); }

QCursor handCursor() { return QCursor(Qt::PointingHandCursor); }
QCursor helpCursor() { return QCursor(Qt::WhatsThisCursor); }

QImage gradientImage(QSize size, QColor from, QColor to, int flag)
{
    const int w = size.width(), h = size.height();
    QImage img(std::max(w, 0), std::max(h, 0), QImage::Format_RGB32);
    if (img.isNull())
        return img;
    const int n = w + h; // line i of n + 1 colours; the last line lies outside
    auto lerp = [n](int a, int b, int i) { return a + (b - a) * i / n; };
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int i = flag == kGradientUp ? (w - 1 - x) + y : x + y;
            line[x] = qRgb(lerp(from.red(), to.red(), i), lerp(from.green(), to.green(), i),
                           lerp(from.blue(), to.blue(), i));
        }
    }
    return img;
}

void fillGradient(QPainter& painter, const QRect& rect, QColor from, QColor to, int flag)
{
    painter.drawImage(rect.topLeft(), gradientImage(rect.size(), from, to, flag));
}

} // namespace qf::ui::skin
