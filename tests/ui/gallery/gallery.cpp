#include <QApplication>

#include "ui/qt_shell.h"

int main(int argc, char** argv)
{
    qf::ui::chooseGuiPlatform();
    QApplication app(argc, argv);
    return 0;
}
