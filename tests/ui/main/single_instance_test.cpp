// One program per configuration, seen from both ends in one process: the
// running program's side serves on this thread's event loop while a later
// start claims from another thread, as a second process would.
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/gui/single_instance.h"

namespace qf::app {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime_.isValid());
        saved_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
        cfg_ = runtime_.filePath(QStringLiteral("conf/cfg"));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved_); }

    // A later start on a thread of its own; this thread serves meanwhile.
    SingleInstance::Role claimFromAnotherStart(const QStringList& files, QString* report)
    {
        SingleInstance::Role role = SingleInstance::Role::First;
        std::atomic<bool> done{false};
        std::thread later([&] {
            SingleInstance instance(cfg_);
            role = instance.claim(files, report);
            done = true;
        });
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done && std::chrono::steady_clock::now() < limit)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        later.join();
        return role;
    }

    // A client that is not a later start of ours.
    static int connectRaw(const QString& path)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    QTemporaryDir runtime_;
    QByteArray saved_;
    QString cfg_;
};

TEST_F(SingleInstanceTest, ALaterStartHandsItsFilesToTheRunningOne)
{
    SingleInstance first(cfg_);
    QString report;
    ASSERT_EQ(first.claim({}, &report), SingleInstance::Role::First);
    ASSERT_TRUE(first.listening());
    const QString socketPath = first.serverName();
    EXPECT_TRUE(socketPath.startsWith(runtime_.path()));
    // Only its user may connect.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(socketPath).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    QStringList received;
    int calls = 0;
    first.setHandler([&](const QStringList& files) {
        received = files;
        ++calls;
        return 7;
    });
    const QStringList files{QStringLiteral("/media/第二 clip.mp4"), QStringLiteral("/media/a'b\"c.avi")};
    ASSERT_EQ(claimFromAnotherStart(files, &report), SingleInstance::Role::HandedOver);
    EXPECT_EQ(received, files);
    EXPECT_EQ(report, QStringLiteral("quillfer: 2 file(s) handed to the running window, which now lists 7 task(s)"));

    // A start without files still brings the window forward (the handler runs).
    ASSERT_EQ(claimFromAnotherStart({}, &report), SingleInstance::Role::HandedOver);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(SingleInstanceTest, StrangersAndSilentClientsDoNotStopTheService)
{
    SingleInstance first(cfg_);
    ASSERT_EQ(first.claim({}, nullptr), SingleInstance::Role::First);
    int calls = 0;
    first.setHandler([&](const QStringList&) { return ++calls; });

    // A client that says something else, one that says nothing, and one that
    // sends half a message and goes.
    const int stranger = connectRaw(first.serverName());
    ASSERT_GE(stranger, 0);
    QByteArray wrong;
    {
        QDataStream out(&wrong, QIODevice::WriteOnly);
        out << QStringLiteral("hello") << QStringList{QStringLiteral("/x")};
    }
    ASSERT_EQ(::write(stranger, wrong.constData(), static_cast<size_t>(wrong.size())), wrong.size());
    const int silent = connectRaw(first.serverName());
    ASSERT_GE(silent, 0);
    const int partial = connectRaw(first.serverName());
    QByteArray half;
    {
        QDataStream out(&half, QIODevice::WriteOnly);
        out << QStringLiteral("quillfer-open-1") << QStringList{QStringLiteral("/y")};
    }
    ASSERT_EQ(::write(partial, half.constData(), 10), 10);
    ::close(partial);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    QString report;
    ASSERT_EQ(claimFromAnotherStart({QStringLiteral("/z.avi")}, &report), SingleInstance::Role::HandedOver);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(report.endsWith(QStringLiteral("which now lists 1 task(s)"))) << qPrintable(report);
    // The stranger was sent away without an answer.
    char byte = 0;
    EXPECT_EQ(::read(stranger, &byte, 1), 0);
    ::close(stranger);
    ::close(silent);
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedProgramIsTakenOver)
{
    QString socketPath;
    {
        // A socket file nobody listens on any more.
        SingleInstance probe(cfg_);
        socketPath = probe.serverName();
    }
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(socketPath);
    std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
    ASSERT_EQ(::bind(dead, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(dead);
    ASSERT_TRUE(QFileInfo::exists(socketPath));

    {
        SingleInstance first(cfg_);
        ASSERT_EQ(first.claim({QStringLiteral("/a.avi")}, nullptr), SingleInstance::Role::First);
        EXPECT_TRUE(first.listening());
        QString report;
        first.setHandler([](const QStringList& files) { return static_cast<int>(files.size()); });
        EXPECT_EQ(claimFromAnotherStart({QStringLiteral("/b.avi")}, &report), SingleInstance::Role::HandedOver);
    }
    // The program that ends takes its socket file with it.
    EXPECT_FALSE(QFileInfo::exists(socketPath));
    // No temporary folder is left beside it.
    EXPECT_EQ(QDir(runtime_.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .filter(QStringLiteral(".quillfer-")),
              QStringList());
}

} // namespace
} // namespace qf::app
