#include "ui/shell/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <memory>
#include <string>
#include <sys/stat.h>

#include "core/readable_text.h"
#include "ui/notify/confirm_box.h"
#include "ui/shell/local_path.h"
#include "ui/shell/qt_shell.h"

namespace qf::ui {

namespace {

FileManagerAccess& access()
{
    static FileManagerAccess current = defaultFileManagerAccess();
    return current;
}

void tellUser(QWidget* parent, const char* text, const QString& path)
{
    ConfirmBox::ask(parent, toQ(text) + QStringLiteral("\r\n") + path, 1);
}

void callTheBus(const QString& method, const QStringList& urls, std::function<void(bool)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"), method);
    call << urls << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* w) {
                         done(!w->isError());
                         w->deleteLater();
                     });
}

// Starts the first opener that exists; reports a failure of all of them, or
// a non-zero exit of the one that ran, through the message box.
void runOpener(QPointer<QWidget> parent, const QString& folder, int from = 0)
{
    const QList<QStringList>& openers = access().openers;
    for (int i = from; i < openers.size(); ++i) {
        const QStringList& opener = openers.at(i);
        if (opener.isEmpty() || QStandardPaths::findExecutable(opener.front()).isEmpty())
            continue;
        auto* process = new QProcess;
        process->setProgram(opener.front());
        process->setArguments(opener.mid(1) << folder);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        QObject::connect(process, &QProcess::finished, process,
                         [process, parent, folder, i](int code, QProcess::ExitStatus status) {
                             process->deleteLater();
                             if (status != QProcess::NormalExit || code != 0)
                                 runOpener(parent, folder, i + 1);
                         });
        QObject::connect(process, &QProcess::errorOccurred, process,
                         [process, parent, folder, i](QProcess::ProcessError error) {
                             if (error != QProcess::FailedToStart)
                                 return;
                             process->deleteLater();
                             runOpener(parent, folder, i + 1);
                         });
        process->start();
        return;
    }
    tellUser(parent, kNoFileManagerText, folder);
}

// The address of a file: a name that is not UTF-8 goes percent-encoded
// byte by byte, which Qt's decoded URLs cannot carry.
QString fileUrl(const QString& file)
{
    const std::string bytes = localPathBytes(file);
    if (core::isValidUtf8(bytes))
        return QUrl::fromLocalFile(file).toString();
    return QString::fromLatin1("file://" + QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

bool show(QWidget* parent, const QString& folder, const QString& file)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        tellUser(parent, kFolderMissingText, folder);
        return false;
    }
    QPointer<QWidget> owner(parent);
    const QString target = file.isEmpty() ? folder : file;
    if (!access().showItems) {
        runOpener(owner, folder);
        return true;
    }
    const QString method = file.isEmpty() ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems");
    access().showItems(method, {fileUrl(target)}, [owner, folder](bool shown) {
        if (!shown)
            runOpener(owner, folder);
    });
    return true;
}

} // namespace

FileManagerAccess defaultFileManagerAccess()
{
    FileManagerAccess standard;
    standard.showItems = callTheBus;
    standard.openers = {{QStringLiteral("xdg-open")}, {QStringLiteral("gio"), QStringLiteral("open")}};
    return standard;
}

void setFileManagerAccess(FileManagerAccess replacement)
{
    access()
        = replacement.showItems || !replacement.openers.isEmpty() ? std::move(replacement) : defaultFileManagerAccess();
}

bool revealFile(QWidget* parent, const QString& file)
{
    const QFileInfo info(file);
    struct stat st;
    const bool there = ::lstat(localPathBytes(file).c_str(), &st) == 0;
    return show(parent, info.absolutePath(), there ? info.absoluteFilePath() : QString());
}

bool openFolder(QWidget* parent, const QString& folder) { return show(parent, QDir::cleanPath(folder), QString()); }

} // namespace qf::ui
