// One QApplication for every UI test, on the offscreen platform unless the
// environment chose another; sounds are recorded, never played; and a
// stand-in for the system's `shutdown` stands first on PATH, so that no test
// can power the machine off (tests that check the call install their own).
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "ui/skin/sounds.h"

namespace {

namespace stdfs = std::filesystem;

stdfs::path g_shieldDir;

void shieldShutdown()
{
    g_shieldDir = stdfs::temp_directory_path() / ("qf-ui-tests-bin-" + std::to_string(getpid()));
    const stdfs::path& dir = g_shieldDir;
    stdfs::create_directories(dir);
    std::ofstream(dir / "shutdown") << "#!/bin/sh\necho \"shutdown stand-in: $*\" >&2\nexit 1\n";
    stdfs::permissions(dir / "shutdown", stdfs::perms::owner_all);
    const char* path = std::getenv("PATH");
    setenv("PATH", (dir.string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
    std::atexit([] {
        std::error_code ec;
        stdfs::remove_all(g_shieldDir, ec);
    });
}

} // namespace

int main(int argc, char** argv)
{
    shieldShutdown();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    qf::ui::setSoundRecorder([](qf::ui::Sound) {});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
