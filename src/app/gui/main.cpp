// quillfer: the desktop converter with its preview player. The files on its
// command line are added to the task list; a second start for the same user
// and configuration hands them to the running window instead.
#include <QApplication>
#include <QFileInfo>
#include <QUrl>

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/gui/command_line.h"
#include "app/gui/gui_startup.h"
#include "app/gui/single_instance.h"
#include "convert/configuration.h"
#include "core/platform/descriptors.h"
#include "core/program_directory.h"
#include "core/startup.h"
#include "probe/media_info_library.h"
#include "ui/shell/qt_shell.h"

namespace {

QStringList absolutePaths(const std::vector<std::string>& files)
{
    QStringList paths;
    for (const std::string& f : files) {
        const QString text = QString::fromLocal8Bit(f.c_str());
        // A desktop may hand over file: addresses instead of paths.
        const QUrl url(text);
        const QString path = url.isLocalFile() ? url.toLocalFile() : text;
        paths.push_back(QFileInfo(path).absoluteFilePath());
    }
    return paths;
}

// Loading the media library (and the dozen libraries it needs) takes a few
// milliseconds that need not hold up the window: a thread maps it while the
// display connection is made, and the start-up step that loads it for real
// (and reports a failure as before) then finds it in memory.
class MediaLibraryPreload {
public:
    MediaLibraryPreload(int argc, char** argv)
    {
        qf::core::SystemProgramLocator locator(argc, argv);
        qf::core::ProgramLocation where;
        if (!qf::core::findProgramDirectory(locator, where))
            return;
        std::string path = std::string(where.programDirectory.c_str()) + "/" + qf::probe::kMediaInfoLibraryName;
        thread_ = std::thread([this, path] { handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); });
    }
    ~MediaLibraryPreload()
    {
        wait();
        if (handle_)
            ::dlclose(handle_);
    }
    MediaLibraryPreload(const MediaLibraryPreload&) = delete;
    MediaLibraryPreload& operator=(const MediaLibraryPreload&) = delete;

    void wait()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
    void* handle_ = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    using qf::app::GuiArguments;
    qf::platform::adoptInheritedDescriptors();
    // Before QApplication, which needs a display that --help must not.
    const GuiArguments early = qf::app::earlyArguments(argc, argv);
    switch (early.action) {
    case GuiArguments::Action::Help: std::fputs(qf::app::helpText().c_str(), stdout); return 0;
    case GuiArguments::Action::Version: std::fputs(qf::app::versionText().c_str(), stdout); return 0;
    case GuiArguments::Action::Error: std::fprintf(stderr, "quillfer: %s\n", early.error.c_str()); return 2;
    case GuiArguments::Action::Run: break;
    }
    MediaLibraryPreload preload(argc, argv);
    qf::ui::chooseGuiPlatform();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillfer"));
    // QApplication has taken its own options out of argv.
    const GuiArguments args = qf::app::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (args.action == GuiArguments::Action::Error) {
        std::fprintf(stderr, "quillfer: %s\n", args.error.c_str());
        return 2;
    }
    const QStringList files = absolutePaths(args.files);

    qf::core::SystemProgramLocator locator(argc, argv);
    std::unique_ptr<qf::app::SingleInstance> instance;
    qf::core::ProgramLocation where;
    // Without a program directory start-up fails with its own message below.
    if (qf::core::findProgramDirectory(locator, where)) {
        const auto paths = qf::convert::configurationPaths(where.programDirectory.c_str());
        instance = std::make_unique<qf::app::SingleInstance>(QString::fromLocal8Bit(paths.writePath.c_str()));
        QString report;
        if (instance->claim(files, &report) == qf::app::SingleInstance::Role::HandedOver) {
            std::printf("%s\n", qPrintable(report));
            return 0;
        }
    }
    qf::core::StartupHooks hooks = qf::app::guiStartupHooks({files, instance.get()});
    if (hooks.loadMediaLibrary)
        hooks.loadMediaLibrary = [load = hooks.loadMediaLibrary, &preload] {
            preload.wait();
            return load();
        };
    qf::core::Application app(locator, std::move(hooks));
    return app.run();
}
