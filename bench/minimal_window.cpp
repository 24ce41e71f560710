// The start-up baseline: the smallest Qt Widgets program that maps an
// 860 x 601 window, titled so that the bench can find it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("QuillferBenchBaseline"));
    window.resize(860, 601);
    window.show();
    return QApplication::exec();
}
