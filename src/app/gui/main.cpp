// quillfer: the desktop converter with its preview player. The files on its
// command line are added to the task list; a second start for the same user
// and configuration hands them to the running window instead.
#include <QApplication>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/command_line.h"
#include "app/gui/display_check.h"
#include "app/gui/gui_startup.h"
#include "app/gui/single_instance.h"
#include "core/platform/descriptors.h"
#include "core/program_directory.h"
#include "core/startup.h"
#include "probe/media_info_library.h"
#include "settings/configuration_file.h"
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
    const QString platform = qf::ui::chooseGuiPlatform();
    if (std::string why;
        !qf::app::displayReachable(platform.toStdString(), std::vector<std::string>(argv + 1, argv + argc), why)) {
        std::fprintf(stderr, "quillfer: %s\n", why.c_str());
        return 1;
    }
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
        const auto paths = qf::settings::configurationPaths(where.programDirectory.c_str());
        instance = std::make_unique<qf::app::SingleInstance>(QString::fromLocal8Bit(paths.writePath.c_str()));
        QString report;
        if (instance->claim(files, &report) == qf::app::SingleInstance::Role::HandedOver) {
            std::printf("%s\n", qPrintable(report));
            return 0;
        }
    }
    qf::core::Application app(locator, qf::app::guiStartupHooks({files, instance.get()}));
    return app.run();
}
