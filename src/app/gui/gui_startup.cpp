#include "app/gui/gui_startup.h"

#include <QApplication>

#include <memory>

#include "convert/command_line_builder.h"
#include "convert/configuration.h"
#include "core/window_fade.h"
#include "probe/media_info_library.h"
#include "ui/main/main_window.h"
#include "ui/notify/confirm_box.h"
#include "ui/shell/qt_shell.h"
#include "ui/shell/shared_menu.h"
#include "ui/skin/skin.h"

namespace qf::app {

void reportStartupFailure(const char* text) { ui::ConfirmBox::ask(nullptr, ui::toQ(text), ui::kConfirmOk); }

void createSharedResources()
{
    // The fonts and cursors are made on first use from the skin; make the
    // font substitutes now so that the first window already measures right.
    ui::skin::installFontSubstitutes();
    ui::skin::smallFont();
    ui::skin::mediumFont();
    ui::skin::largeFont();
}

void destroySharedResources() {}

void loadGuiConfiguration()
{
    convert::loadConfiguration(convert::LoadMode::ReadWrite);
}

void saveGuiConfiguration()
{
    convert::saveConfiguration();
}

core::StartupHooks guiStartupHooks()
{
    core::StartupHooks hooks;
    hooks.loadMediaLibrary = [] { return probe::loadMediaInfoLibrary(core::programDirectory()); };
    hooks.bindLayered = [] { return ui::bindQtLayered(); };
    hooks.setEncoderPath = [](const char* path) { convert::CommandLineBuilder::setEncoderPath(path); };
    // The help view is a plain text browser: no embedded controls to enable.
    hooks.enableEmbeddedControls = {};
    hooks.createSharedResources = createSharedResources;
    hooks.loadConfiguration = loadGuiConfiguration;
    hooks.loadSharedMenu = [] { ui::loadSharedMenu(); };
    hooks.runMainWindow = [] {
        // The application lives exactly as long as the main window: a message
        // box that closes while the window sits in the tray must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        auto window = std::make_unique<ui::MainWindow>();
        QObject::connect(window.get(), &ui::MainWindow::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        window->show();
        const int status = QApplication::exec();
        window.reset();
        return status;
    };
    hooks.reportFailure = reportStartupFailure;
    hooks.destroySharedResources = destroySharedResources;
    hooks.unloadMediaLibrary = [] { probe::unloadMediaInfoLibrary(); };
    hooks.unbindLayered = [] { core::unbindLayered(); };
    hooks.saveConfiguration = saveGuiConfiguration;
    hooks.destroySharedMenu = [] { ui::destroySharedMenu(); };
    return hooks;
}

} // namespace qf::app
