// quillfer: the desktop converter with its preview player. It takes no
// command-line arguments.
#include <QApplication>

#include "app/gui/gui_startup.h"
#include "core/program_directory.h"
#include "core/startup.h"
#include "ui/shell/qt_shell.h"

int main(int argc, char** argv)
{
    qf::ui::chooseGuiPlatform();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillfer"));
    qf::core::SystemProgramLocator locator(argc, argv);
    qf::core::Application app(locator, qf::app::guiStartupHooks());
    return app.run();
}
