// Writes the program icon as hicolor PNGs and a scalable SVG for the desktop
// menu, from the same drawing the running program shows in its window and tray.
//   qf-icon-generator OUT_DIR SIZE...
// writes OUT_DIR/<size>x<size>/apps/quillfer.png for each size and
// OUT_DIR/scalable/apps/quillfer.svg.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/skin/skin.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: qf-icon-generator OUT_DIR SIZE...\n");
        return 2;
    }
    // The build machine may have no display; the icon needs none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (!end || *end || size < 16 || size > 1024) {
            std::fprintf(stderr, "qf-icon-generator: bad size '%s'\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = folder + QStringLiteral("/quillfer.png");
        const QImage icon = qf::ui::skin::iconImage(static_cast<int>(size));
        if (!QDir().mkpath(folder) || icon.size() != QSize(int(size), int(size)) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "qf-icon-generator: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    const QString scalable = out + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable)) {
        std::fprintf(stderr, "qf-icon-generator: cannot make %s\n", qPrintable(scalable));
        return 1;
    }
    QSvgGenerator svg;
    svg.setFileName(scalable + QStringLiteral("/quillfer.svg"));
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("Quillfer"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        std::fprintf(stderr, "qf-icon-generator: cannot write the SVG icon\n");
        return 1;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    qf::ui::skin::paintIcon(painter);
    painter.end();
    return 0;
}
