#include "ui/support/window_test_support.h"

#include "integration/support/integration_support.h"

#include <QDropEvent>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "convert/command_line_builder.h"
#include "core/program_directory.h"
#include "probe/media_info_library.h"
#include "settings/settings.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_check_box.h"
#include "ui/convert/task_list_view.h"
#include "ui/notify/confirm_box.h"

namespace qf::ui::test {

namespace stdfs = std::filesystem;

namespace {

std::string g_outputFolder;
std::string g_standInDir;

void installShutdownStandIn(const std::string& testName)
{
    g_standInDir = kDataDir + "/bin-" + testName + "-" + std::to_string(getpid());
    stdfs::create_directories(g_standInDir);
    const std::string script = g_standInDir + "/shutdown";
    std::ofstream(script) << "#!/bin/sh\n"
                             "printf '%s\\n' \"$*\" >> \""
                          << g_standInDir
                          << "/calls.log\"\n"
                             "exit $(cat \""
                          << g_standInDir << "/status\" 2>/dev/null || echo 0)\n";
    stdfs::permissions(script, stdfs::perms::owner_all);
    std::error_code ec;
    stdfs::remove(g_standInDir + "/calls.log", ec);
    stdfs::remove(g_standInDir + "/status", ec);
    static std::string originalPath = qEnvironmentVariable("PATH").toStdString();
    qputenv("PATH", QByteArray::fromStdString(g_standInDir + ":" + originalPath));
}

std::string quoted(const std::string& text) { return integration::quote(text); }

// Made under a private name, then renamed, so parallel test processes never
// read a half-written clip.
std::string makeClip(const std::string& name, int seconds)
{
    const std::string target = kDataDir + "/" + name;
    if (stdfs::exists(target))
        return target;
    stdfs::create_directories(kDataDir);
    const std::string partial = target + "." + std::to_string(getpid()) + ".tmp.avi";
    const std::string duration = std::to_string(seconds);
    int status = -1;
    const std::string out
        = shell("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=" + duration
                    + " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + duration
                    + " -ac 2 -c:v mpeg4 -q:v 5 -c:a mp3 -b:a 96k -shortest " + quoted(partial),
                &status);
    if (status != 0)
        ADD_FAILURE() << "ffmpeg could not make the clip: " << out;
    std::error_code ec;
    stdfs::rename(partial, target, ec);
    return target;
}

} // namespace

QString q(const std::string& text) { return QString::fromStdString(text); }

void setUpProgramEnvironment(const std::string& testName)
{
    ASSERT_TRUE(probe::loadMediaInfoLibrary(kProgramDir.c_str())) << "libmediainfo missing from " << kProgramDir;
    core::toolPaths().build(kProgramDir.c_str());
    convert::CommandLineBuilder::setEncoderPath(core::toolPaths().encoderPath.c_str());
    // The tools run from the build, but what the program writes beside
    // itself (a saved preset goes to cfg at once) lands in a folder of this
    // process, never in the build's, which every other test reads.
    const std::string home = kDataDir + "/prog-" + std::to_string(getpid());
    std::error_code linked;
    stdfs::create_directories(home);
    stdfs::create_directory_symlink(kProgramDir + "/help", home + "/help", linked);
    stdfs::remove(home + "/cfg", linked);
    core::programLocation().programDirectory = home.c_str();

    installShutdownStandIn(testName);
    g_outputFolder = kDataDir + "/out-" + testName + "-" + std::to_string(getpid());
    std::error_code ec;
    stdfs::remove_all(g_outputFolder, ec);
    stdfs::create_directories(g_outputFolder);
    settings::Configuration& config = settings::current().record();
    config.presets.clear();
    config.outputFolder = g_outputFolder.c_str();
    config.options = settings::ApplicationOptions{};
}

std::string outputFolder() { return g_outputFolder; }

std::string shutdownLog()
{
    std::ifstream in(g_standInDir + "/calls.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void setShutdownStatus(int status) { std::ofstream(g_standInDir + "/status") << status << "\n"; }

const std::string& shortClip()
{
    static const std::string path = makeClip("short 320x240.avi", 2);
    return path;
}

const std::string& longClip()
{
    static const std::string path = makeClip("long 320x240.avi", 30);
    return path;
}

std::string writeFile(const std::string& name, const std::string& bytes)
{
    stdfs::create_directories(kDataDir);
    const std::string path = kDataDir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string shell(const std::string& command, int* status) { return integration::run(command, status); }

int countProcesses(const std::string& pattern)
{
    if (pattern.empty())
        return 0;
    // "[x]yz" matches "xyz" but not itself, so the shell that runs pgrep
    // (whose command line holds the pattern) is not counted.
    const std::string regex = "[" + pattern.substr(0, 1) + "]" + pattern.substr(1);
    const std::string out = shell("pgrep -f -c -- " + quoted(regex));
    return std::atoi(out.c_str());
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
    }
    return true;
}

void pumpFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

BoxAnswerer::BoxAnswerer(std::vector<Answer> answers) : answers_(std::move(answers))
{
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
}

BoxAnswerer::~BoxAnswerer() = default;

void BoxAnswerer::poll()
{
    auto* box = qobject_cast<ConfirmBox*>(QApplication::activeModalWidget());
    if (!box || box == answering_)
        return;
    answering_ = box;
    Seen seen;
    seen.lines = box->lines();
    seen.checkText = box->checkBox()->isVisible() ? box->checkBox()->text() : QString();
    seen_.push_back(seen);
    Answer answer;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.erase(answers_.begin());
    }
    if (answer.tick && box->checkBox()->isVisible())
        box->checkBox()->click();
    // Leave the nested event loop of exec() before the click ends it.
    QPointer<ConfirmBox> target = box;
    const int button = answer.button;
    QTimer::singleShot(0, this, [target, button] {
        if (target)
            target->button(button)->click();
    });
}

void dropOn(QWidget* target, const QStringList& paths, QPoint at)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.push_back(QUrl::fromLocalFile(path));
    mime.setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    waitForAddedFiles();
}

bool waitForAddedFiles(int timeoutMs)
{
    return pumpUntil(
        [] {
            for (QWidget* widget : QApplication::allWidgets())
                if (auto* list = qobject_cast<TaskListView*>(widget); list && list->addingFiles())
                    return false;
            return true;
        },
        timeoutMs);
}

} // namespace qf::ui::test
