// Showing files and folders in the user's file manager: the file-manager
// interface first, the opener programs after it, and a message box (never
// silence) for a missing folder or when nothing can show it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include <gtest/gtest.h>

#include "ui/notify/confirm_box.h"
#include "ui/shell/file_manager.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"
#include "ui/support/window_test_support.h"

using namespace qf::ui;
using qf::ui::test::BoxAnswerer;
using qf::ui::test::pumpUntil;

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QStringLiteral("/输出 folder");
        ASSERT_TRUE(QDir().mkpath(folder));
        file = folder + QStringLiteral("/clip.avi-mp3.mp3");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    void TearDown() override { setFileManagerAccess({}); }

    // An opener program that writes its last argument to `log` and exits
    // with `status`.
    QString opener(const QString& name, int status)
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nfor a; do last=\"$a\"; done\nprintf '%s' \"$last\" > '%1'\nexit %2\n")
                         .arg(dir.path() + QLatin1Char('/') + name + QStringLiteral(".log"))
                         .arg(status)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString logOf(const QString& name) const
    {
        QFile log(dir.path() + QLatin1Char('/') + name + QStringLiteral(".log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QTemporaryDir dir;
    QString folder;
    QString file;
};

} // namespace

TEST_F(FileManagerTest, TheInterfaceShowsTheFileSelected)
{
    QString method;
    QStringList urls;
    FileManagerAccess access;
    access.showItems = [&](const QString& m, const QStringList& u, std::function<void(bool)> done) {
        method = m;
        urls = u;
        done(true);
    };
    access.openers = {{opener(QStringLiteral("never"), 0)}};
    setFileManagerAccess(access);

    EXPECT_TRUE(revealFile(nullptr, file));
    EXPECT_EQ(method, QStringLiteral("ShowItems"));
    EXPECT_EQ(urls, QStringList{QUrl::fromLocalFile(file).toString()});
    // A name that is not UTF-8 goes byte for byte, percent-encoded.
    const std::string gbk = folder.toStdString() + "/\xc4\xe3.avi";
    std::ofstream(gbk) << "x";
    EXPECT_TRUE(revealFile(nullptr, pathToQ(gbk)));
    EXPECT_EQ(urls,
              QStringList{QString::fromLatin1("file://" + QByteArray::fromStdString(gbk).toPercentEncoding("/"))});
    EXPECT_TRUE(urls.front().endsWith(QStringLiteral("/%C4%E3.avi"))) << urls.front().toStdString();
    EXPECT_TRUE(openFolder(nullptr, folder + QStringLiteral("/")));
    EXPECT_EQ(method, QStringLiteral("ShowFolders"));
    EXPECT_EQ(urls, QStringList{QUrl::fromLocalFile(folder).toString()});
    QApplication::processEvents();
    EXPECT_TRUE(logOf(QStringLiteral("never")).isEmpty()) << "no opener when the interface answered";
}

TEST_F(FileManagerTest, WithoutTheInterfaceTheNextWorkingOpenerGetsTheFolder)
{
    FileManagerAccess access;
    access.showItems = [](const QString&, const QStringList&, std::function<void(bool)> done) { done(false); };
    access.openers = {{QStringLiteral("/no/such/opener")},
                      {opener(QStringLiteral("failing"), 3)},
                      {opener(QStringLiteral("working"), 0), QStringLiteral("--flag")}};
    setFileManagerAccess(access);

    BoxAnswerer answers;
    EXPECT_TRUE(revealFile(nullptr, file));
    ASSERT_TRUE(pumpUntil([&] { return !logOf(QStringLiteral("working")).isEmpty(); }, 10000));
    EXPECT_EQ(logOf(QStringLiteral("failing")), folder) << "tried, and its failure moved on";
    EXPECT_EQ(logOf(QStringLiteral("working")), folder);
    QTest::qWait(100);
    EXPECT_TRUE(answers.seen().empty());
}

TEST_F(FileManagerTest, NothingToShowItOrNoFolderGetsAMessage)
{
    FileManagerAccess access;
    access.openers = {{opener(QStringLiteral("failing"), 4)}};
    setFileManagerAccess(access);
    {
        BoxAnswerer answers({{0, false}});
        EXPECT_TRUE(openFolder(nullptr, folder));
        ASSERT_TRUE(pumpUntil([&] { return !answers.seen().empty(); }, 10000)) << "silence after a failing opener";
        EXPECT_EQ(answers.seen()[0].lines, (QStringList{toQ(kNoFileManagerText), folder}));
    }
    {
        // A finished file whose folder has gone since.
        BoxAnswerer answers({{0, false}});
        const QString gone = dir.path() + QStringLiteral("/gone/clip.avi-flv.flv");
        EXPECT_FALSE(revealFile(nullptr, gone));
        ASSERT_EQ(answers.seen().size(), 1u);
        EXPECT_EQ(answers.seen()[0].lines,
                  (QStringList{toQ(kFolderMissingText), dir.path() + QStringLiteral("/gone")}));
    }
}

TEST_F(FileManagerTest, TheRealBusWithoutAFileManagerFallsBackToTheOpeners)
{
    // The default interface on whatever session bus there is (none, or one
    // without a file manager): it must answer "not shown", never hang.
    bool answered = false, shown = true;
    defaultFileManagerAccess().showItems(QStringLiteral("ShowItems"), {QUrl::fromLocalFile(file).toString()},
                                         [&](bool ok) {
                                             answered = true;
                                             shown = ok;
                                         });
    ASSERT_TRUE(pumpUntil([&] { return answered; }, 15000));
    EXPECT_FALSE(shown);
}
