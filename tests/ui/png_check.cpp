// ui_png_check FILE WIDTH HEIGHT [X,Y,RRGGBB ...]: exits 0 when FILE is a PNG
// of that size that shows a real picture (many distinct colours) and has the
// given colour at each given pixel, else prints why and exits 1.
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <set>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_png_check FILE WIDTH HEIGHT [X,Y,RRGGBB ...]\n");
        return 1;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "ui_png_check: cannot read %s\n", argv[1]);
        return 1;
    }
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
    if (image.width() != w || image.height() != h) {
        std::fprintf(stderr, "ui_png_check: %s is %dx%d, expected %dx%d\n", argv[1], image.width(), image.height(), w,
                     h);
        return 1;
    }
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    if (colours.size() < 50) {
        std::fprintf(stderr, "ui_png_check: %s looks blank (%zu colours)\n", argv[1], colours.size());
        return 1;
    }
    for (int i = 4; i < argc; ++i) {
        int x = 0, y = 0;
        unsigned rgb = 0;
        if (std::sscanf(argv[i], "%d,%d,%x", &x, &y, &rgb) != 3 || !image.rect().contains(x, y)) {
            std::fprintf(stderr, "ui_png_check: bad pixel expectation %s\n", argv[i]);
            return 1;
        }
        const QRgb seen = image.pixel(x, y) & 0xFFFFFF;
        if (seen != rgb) {
            std::fprintf(stderr, "ui_png_check: %s has %06x at %d,%d, expected %06x\n", argv[1], seen, x, y, rgb);
            return 1;
        }
    }
    std::printf("%s: %dx%d, %zu colours\n", argv[1], w, h, colours.size());
    return 0;
}
