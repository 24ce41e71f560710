#include "ui/player/support/player_view_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/program_directory.h"
#include "player/slave_protocol.h"
#include "probe/media_info_library.h"

namespace qf::ui::test {

namespace {

// Makes the file by a temporary name and renames it, so that test processes
// running side by side never see half a file.
bool publish(const QString& path, const std::function<std::string(const std::string&)>& command)
{
    if (QFileInfo(path).isFile())
        return true;
    const std::string temp
        = path.toStdString() + ".tmp" + std::to_string(::getpid()) + "." + QFileInfo(path).suffix().toStdString();
    if (std::system(command(temp).c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return std::rename(temp.c_str(), path.toStdString().c_str()) == 0;
}

} // namespace

QString playerDataDir()
{
    const QString dir = QStringLiteral(QF_TEST_DATA_DIR "/player_view");
    QDir().mkpath(dir);
    return dir;
}

QString videoClip(int seconds, const QString& tag, int width, int height)
{
    const QString path
        = QStringLiteral("%1/%2_%3s_%4x%5.avi").arg(playerDataDir(), tag).arg(seconds).arg(width).arg(height);
    const bool made = publish(path, [&](const std::string& temp) {
        const std::string d = std::to_string(seconds);
        return "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=" + std::to_string(width) + "x"
            + std::to_string(height) + ":rate=25:duration=" + d + " -f lavfi -i sine=frequency=440:duration=" + d
            + " -c:v mpeg4 -c:a mp2 -shortest -f avi '" + temp + "'";
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path.toStdString();
    return path;
}

QString framedClip(int seconds, const QString& tag, int width, int height)
{
    const QString path
        = QStringLiteral("%1/%2_framed_%3s_%4x%5.avi").arg(playerDataDir(), tag).arg(seconds).arg(width).arg(height);
    const bool made = publish(path, [&](const std::string& temp) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        return "ffmpeg -nostdin -v error -y -f lavfi -i color=c=blue:size=" + size
            + ":rate=25:duration=" + std::to_string(seconds)
            + ",drawbox=x=0:y=0:w=iw:h=ih:color=red:t=24 -c:v mpeg4 -q:v 3 -f avi '" + temp + "'";
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path.toStdString();
    return path;
}

QString shapedClip(const char* tag, int width, int height, const char* filters)
{
    const QString path
        = QStringLiteral("%1/%2_shaped_%3x%4.avi").arg(playerDataDir(), QString::fromUtf8(tag)).arg(width).arg(height);
    const bool made = publish(path, [&](const std::string& temp) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        return "ffmpeg -nostdin -v error -y -f lavfi -i color=c=blue:size=" + size
            + ":rate=25:duration=10,drawbox=x=0:y=0:w=iw:h=ih:color=red:t=4" + filters + " -c:v mpeg4 -q:v 3 -f avi '"
            + temp + "'";
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path.toStdString();
    return path;
}

QString keyframeClip(const QString& tag)
{
    const QString path = QStringLiteral("%1/%2_keyframes10s_30s.mp4").arg(playerDataDir(), tag);
    const bool made = publish(path, [&](const std::string& temp) {
        return "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=25:duration=30 -f lavfi -i "
               "sine=frequency=440:duration=30 -c:v libx264 -preset ultrafast -g 250 -keyint_min 250 -sc_threshold 0 "
               "-c:a aac -shortest -f mp4 '"
            + temp + "'";
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path.toStdString();
    return path;
}

QString audioClip(int seconds, const QString& tag)
{
    const QString path = QStringLiteral("%1/%2_%3s.wav").arg(playerDataDir(), tag).arg(seconds);
    const bool made = publish(path, [&](const std::string& temp) {
        return "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=660:duration=" + std::to_string(seconds)
            + " -f wav '" + temp + "'";
    });
    EXPECT_TRUE(made) << "ffmpeg could not make " << path.toStdString();
    return path;
}

QString brokenClip()
{
    const QString path = playerDataDir() + QStringLiteral("/not_media.avi");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write("this is plain text, not a movie\n");
    return path;
}

void useRealPlayer(const char* drivers)
{
    ::setenv(player::kPlayerDriversVariable, drivers, 0);
    core::toolPaths().build(QF_PROGRAM_DIR);
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral(QF_PROGRAM_DIR "/MPlayer.exe")))
        << "the program directory has no player link: build program_dir_links";
    ASSERT_TRUE(probe::loadMediaInfoLibrary(QF_PROGRAM_DIR)) << "OLIVE.dll cannot be loaded from " QF_PROGRAM_DIR;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

namespace {

// The parent's pid from /proc/<pid>/stat: the field after the state, which
// follows the command name in parentheses (itself free to hold blanks).
pid_t parentOf(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t parent = -1;
    fields >> state >> parent;
    return parent;
}

} // namespace

int processesWith(const std::string& text)
{
    int found = 0;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* d = ::readdir(proc)) {
        const std::string name = d->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in("/proc/" + name + "/cmdline", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        std::string cmdline = s.str();
        for (char& c : cmdline)
            if (c == '\0')
                c = ' ';
        // Zombies have an empty command line and hold nothing. Only this
        // test's own players count: other test processes may play the same
        // clips at the same time.
        if (cmdline.find(text) != std::string::npos && parentOf(name) == ::getpid())
            ++found;
    }
    ::closedir(proc);
    return found;
}

} // namespace qf::ui::test
