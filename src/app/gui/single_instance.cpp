#include "app/gui/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

namespace qf::app {

namespace {

constexpr char kGreeting[] = "quillfer-open-1";
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 20000;   // the running window may be busy painting or probing
constexpr int kElectionMs = 10000;
// sockaddr_un holds 108 bytes with the terminating zero.
constexpr int kSocketPathMax = 100;

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime;
    return QDir::tempPath();
}

QString nameFor(const QString& configurationFile)
{
    const QByteArray key = QFileInfo(configurationFile).absoluteFilePath().toUtf8();
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    const QString file = QStringLiteral("quillfer-%1-%2.socket").arg(::getuid()).arg(hash);
    QString path = runtimeFolder() + QLatin1Char('/') + file;
    if (path.size() > kSocketPathMax)
        path = QStringLiteral("/tmp/") + file;
    return path;
}

} // namespace

SingleInstance::SingleInstance(const QString& configurationFile)
    : name_(nameFor(configurationFile)), lock_(name_ + QStringLiteral(".lock"))
{
    lock_.setStaleLockTime(0);  // a lock is stale only when its holder is gone
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();
}

SingleInstance::Role SingleInstance::claim(const QStringList& files, QString* report)
{
    // The lock makes the look-up and the listen one step: of two programs
    // started together, one listens and the other finds it.
    const bool locked = lock_.tryLock(kElectionMs);
    if (handOver(files, report)) {
        if (locked)
            lock_.unlock();
        return Role::HandedOver;
    }
    listen();
    if (locked)
        lock_.unlock();
    return Role::First;
}

bool SingleInstance::handOver(const QStringList& files, QString* report)
{
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMs))
        return false;
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << QString::fromLatin1(kGreeting) << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(kConnectMs))
        return false;

    // The files are delivered; the answer only says what became of them.
    QDataStream in(&socket);
    qint32 rows = -1;
    while (socket.state() == QLocalSocket::ConnectedState || socket.bytesAvailable() > 0) {
        in.startTransaction();
        in >> rows;
        if (in.commitTransaction())
            break;
        rows = -1;
        if (!socket.waitForReadyRead(kAnswerMs))
            break;
    }
    if (report) {
        *report = QStringLiteral("quillfer: %1 file(s) handed to the running window").arg(files.size());
        if (rows >= 0)
            *report += QStringLiteral(", which now lists %1 task(s)").arg(rows);
    }
    return true;
}

void SingleInstance::listen()
{
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // No program answered, so a socket file left here is a crashed one's.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) {
        qWarning("quillfer: cannot listen on %s (%s): later starts open windows of their own",
                 qPrintable(name_), qPrintable(server_->errorString()));
        return;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { serve(socket); });
            // A client that never says anything is dropped.
            QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); });
            if (socket->bytesAvailable() > 0)
                serve(socket);
        }
    });
}

void SingleInstance::serve(QLocalSocket* socket)
{
    QDataStream in(socket);
    in.startTransaction();
    QString greeting;
    QStringList files;
    in >> greeting >> files;
    if (!in.commitTransaction())
        return;  // the rest is still on its way
    if (greeting != QLatin1String(kGreeting)) {
        socket->abort();
        return;
    }
    QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
    // Adding may show the refusal box, with an event loop of its own: run it
    // outside this signal, and answer only if the client still waits.
    QPointer<QLocalSocket> guard(socket);
    QTimer::singleShot(0, server_.get(), [this, guard, files] {
        const qint32 rows = handler_ ? handler_(files) : -1;
        if (!guard || guard->state() != QLocalSocket::ConnectedState)
            return;
        QByteArray answer;
        QDataStream out(&answer, QIODevice::WriteOnly);
        out << rows;
        guard->write(answer);
        guard->flush();
        guard->disconnectFromServer();
    });
}

} // namespace qf::app
