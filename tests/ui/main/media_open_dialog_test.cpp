// The open dialog takes folders as well as files on Open.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ui/main/media_open_dialog.h"

using qf::ui::MediaOpenDialog;

namespace {

struct Chosen {
    int result;
    QStringList paths;
};

// Types the names into the dialog's name field, as a user does, and presses Open.
Chosen openWith(const QString& folder, const QString& typed)
{
    MediaOpenDialog dialog(nullptr, QStringLiteral("选择影音文件"), {QStringLiteral("Media (*.avi)")});
    dialog.setDirectory(folder);
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit)
        return {-1, {}};
    edit->setText(typed);
    dialog.accept();
    return {dialog.result(), dialog.chosen()};
}

} // namespace

TEST(MediaOpenDialog, OpenTakesFoldersFilesAndBothTogether)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkpath(QStringLiteral("季度 clips/sub")));
    for (const char* name : {"b.avi", "季度 clips/a.avi"}) {
        QFile file(root + u'/' + QString::fromUtf8(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // A folder is taken, not opened.
    Chosen folder = openWith(root, QStringLiteral("季度 clips"));
    EXPECT_EQ(folder.result, QDialog::Accepted);
    EXPECT_EQ(folder.paths, QStringList{root + QStringLiteral("/季度 clips")});

    Chosen file = openWith(root, QStringLiteral("b.avi"));
    EXPECT_EQ(file.result, QDialog::Accepted);
    EXPECT_EQ(file.paths, QStringList{root + QStringLiteral("/b.avi")});

    Chosen both = openWith(root, QStringLiteral("\"季度 clips\" \"b.avi\""));
    EXPECT_EQ(both.result, QDialog::Accepted);
    EXPECT_EQ(both.paths.size(), 2);
    EXPECT_TRUE(both.paths.contains(root + QStringLiteral("/季度 clips")));
    EXPECT_TRUE(both.paths.contains(root + QStringLiteral("/b.avi")));

    // A misspelt name beside a folder takes nothing; the dialog stays open.
    Chosen wrong = openWith(root, QStringLiteral("\"季度 clips\" \"nope.avi\""));
    EXPECT_NE(wrong.result, QDialog::Accepted);
    EXPECT_TRUE(wrong.paths.isEmpty()) << wrong.paths.join(u'|').toStdString();

    // Enter after a typed folder, by name or by path, goes into it; Enter
    // after a file's name takes the file.
    MediaOpenDialog dialog(nullptr, QStringLiteral("选择影音文件"), {QStringLiteral("Media (*.avi)")});
    dialog.setDirectory(root);
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("季度 clips"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog.directory().absolutePath(), root + QStringLiteral("/季度 clips"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    edit->setText(root + QStringLiteral("/季度 clips/sub"));
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(dialog.directory().absolutePath(), root + QStringLiteral("/季度 clips/sub"));
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_TRUE(dialog.chosen().isEmpty());
}
