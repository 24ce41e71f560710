#include "app/gui/gui_startup.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <memory>

#include "app/gui/single_instance.h"
#include "app/gui/stop_signals.h"
#include "convert/command_line_builder.h"
#include "core/text_string.h"
#include "core/window_fade.h"
#include "probe/media_info_library.h"
#include "settings/configuration_file.h"
#include "tasks/task_list_model.h"
#include "ui/convert/task_list_view.h"
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

void loadGuiConfiguration() { settings::loadConfiguration(settings::LoadMode::ReadWrite); }

void saveGuiConfiguration() { settings::saveConfiguration(); }

namespace {

// The media library and the dozen libraries it needs cost more than the rest
// of the start together, and nothing on the first picture needs them: start-up
// only makes sure the file is there, and its load is finished once the window
// has been painted (or earlier, by the first file that is probed). A library
// that is there but will not load then ends the program with the start-up
// failure box.
bool checkMediaLibraryAndDeferLoad()
{
    const core::TextString path
        = core::TextString::formatted("%s/%s", core::programDirectory(), probe::kMediaInfoLibraryName);
    if (::access(path.c_str(), R_OK) != 0)
        return false;
    probe::deferMediaInfoLibraryLoad([] { return probe::loadMediaInfoLibrary(core::programDirectory()); });
    return true;
}

class LoadLibraryAfterFirstPaint : public QObject {
public:
    explicit LoadLibraryAfterFirstPaint(QWidget* window) : QObject(window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // After this paint has reached the screen.
            QTimer::singleShot(0, this, [] {
                if (!probe::mediaInfoLibrary().loaded()) {
                    reportStartupFailure(core::kInitFailedText);
                    QCoreApplication::exit(1);
                }
            });
        }
        return false;
    }
};

// A later start (the menu, "Open with", the desktop shortcut): the window
// comes forward and takes its files as the open dialog would.
int takeFiles(ui::MainWindow& window, const QStringList& files)
{
    window.restoreFromTray();
    if (!files.isEmpty()) {
        if (window.currentView() != ui::MainWindow::View::Convert)
            window.showView(ui::MainWindow::View::Convert);
        window.taskList()->addFiles(files);
    }
    // The answer counts the rows of every file given so far (these, and
    // those of the first start): they are probed off the UI thread, and the
    // window goes on answering while the answer waits (at most a little
    // less than the other start waits for it).
    ui::TaskListView* list = window.taskList();
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&wait, list] {
        if (!list->addingFiles())
            wait.quit();
    });
    QTimer::singleShot(15000, &wait, &QEventLoop::quit);
    poll.start(10);
    if (list->addingFiles())
        wait.exec();
    return window.taskList()->model().rowCount();
}

} // namespace

core::StartupHooks guiStartupHooks(GuiLaunch launch)
{
    core::StartupHooks hooks;
    hooks.loadMediaLibrary = checkMediaLibraryAndDeferLoad;
    hooks.bindLayered = [] { return ui::bindQtLayered(); };
    hooks.setEncoderPath = [](const char* path) { convert::CommandLineBuilder::setEncoderPath(path); };
    // The help view is a plain text browser: no embedded controls to enable.
    hooks.enableEmbeddedControls = {};
    hooks.createSharedResources = createSharedResources;
    hooks.loadConfiguration = loadGuiConfiguration;
    hooks.loadSharedMenu = [] { ui::loadSharedMenu(); };
    hooks.runMainWindow = [launch] {
        // The application lives exactly as long as the main window: a message
        // box that closes while the window sits in the tray must not end it.
        QApplication::setQuitOnLastWindowClosed(false);
        auto window = std::make_unique<ui::MainWindow>();
        QObject::connect(window.get(), &ui::MainWindow::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        new LoadLibraryAfterFirstPaint(window.get());
        window->show();
        if (!launch.files.isEmpty()) {
            // Once the window stands, so that a refusal box has its parent.
            ui::MainWindow* w = window.get();
            QTimer::singleShot(0, w, [w, files = launch.files] { w->taskList()->addFiles(files); });
        }
        if (launch.instance)
            launch.instance->setHandler([w = window.get()](const QStringList& files) { return takeFiles(*w, files); });
        // A logout or `kill` ends the program as its close command does,
        // without the question: the window goes below, which stops the run
        // and removes what it made; main() then removes the socket.
        const StopSignals stopSignals([](int) { QCoreApplication::exit(0); });
        const int status = QApplication::exec();
        if (launch.instance)
            launch.instance->setHandler({});
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
