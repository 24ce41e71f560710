#include "app/gui/single_instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace qf::app {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kGreeting[] = "quillfer-open-1";
constexpr int kConnectMs = 2000;
constexpr int kAnswerMs = 20000; // the running window may be busy painting or probing
constexpr int kElectionMs = 10000;
// sockaddr_un holds 108 bytes with the terminating zero.
constexpr int kSocketPathMax = 100;
// No start has that many files; a longer message is not one of ours.
constexpr qsizetype kMessageMax = 64 * 1024 * 1024;

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

bool addressOf(const QByteArray& path, sockaddr_un* address)
{
    if (path.isEmpty() || path.size() >= static_cast<qsizetype>(sizeof(address->sun_path)))
        return false;
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, path.constData(), static_cast<size_t>(path.size()));
    return true;
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Waits until fd is ready for events; false when the deadline passed first.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool sendAll(int fd, const QByteArray& bytes, Clock::time_point deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline))
                return false;
        } else
            return false;
    }
    return true;
}

} // namespace

// One later start, on the running program's side: its message is gathered
// until whole, handed to the handler outside the notifier's signal, and
// answered with the number of rows.
class SingleInstance::Client final : public QObject {
public:
    Client(int fd, SingleInstance& owner, QObject* parent)
        : QObject(parent), fd_(fd), owner_(owner), notifier_(fd, QSocketNotifier::Read, this)
    {
        QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { readSome(); });
        // A client that never says all it has to say is dropped.
        QTimer::singleShot(kAnswerMs, this, [this] {
            if (!complete_)
                drop();
        });
    }
    ~Client() override { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

private:
    void drop()
    {
        notifier_.setEnabled(false);
        deleteLater();
    }

    void readSome()
    {
        char chunk[16384];
        for (;;) {
            const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), 0);
            if (n > 0) {
                buffer_.append(chunk, n);
                if (buffer_.size() > kMessageMax)
                    return drop();
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            // The other side has ended (or failed): what came is all there is.
            if (!serve())
                drop();
            return;
        }
        serve();
    }

    // True once the message is whole (and served).
    bool serve()
    {
        QDataStream in(buffer_);
        QString greeting;
        QStringList files;
        in.startTransaction();
        in >> greeting >> files;
        if (!in.commitTransaction())
            return false; // the rest is still on its way
        complete_ = true;
        notifier_.setEnabled(false);
        if (greeting != QLatin1String(kGreeting)) {
            deleteLater();
            return true;
        }
        // Adding may show the refusal box, with an event loop of its own: run
        // it outside this signal; the answer goes out only if the client still
        // waits for it (a send to a client that has gone fails quietly).
        QPointer<Client> guard(this);
        SingleInstance* owner = &owner_;
        QTimer::singleShot(0, parent(), [guard, files, owner] {
            const qint32 rows = owner->handler_ ? owner->handler_(files) : -1;
            if (!guard)
                return;
            QByteArray answer;
            QDataStream out(&answer, QIODevice::WriteOnly);
            out << rows;
            sendAll(guard->fd_, answer, Clock::now() + std::chrono::milliseconds(kConnectMs));
            guard->deleteLater();
        });
        return true;
    }

    int fd_;
    SingleInstance& owner_;
    QSocketNotifier notifier_;
    QByteArray buffer_;
    bool complete_ = false;
};

// The listening socket of the first start; its file goes away with it.
class SingleInstance::Server final : public QObject {
public:
    Server(int fd, QByteArray path, SingleInstance& owner)
        : fd_(fd), path_(std::move(path)), owner_(owner), notifier_(fd, QSocketNotifier::Read, this)
    {
        struct stat st {};
        if (::stat(path_.constData(), &st) == 0) {
            inode_ = st.st_ino;
            device_ = st.st_dev;
        }
        QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { acceptAll(); });
    }
    ~Server() override
    {
        notifier_.setEnabled(false);
        ::close(fd_);
        // Only our own file: a program started after us may have taken the name.
        struct stat st {};
        if (::stat(path_.constData(), &st) == 0 && st.st_ino == inode_ && st.st_dev == device_)
            ::unlink(path_.constData());
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

private:
    void acceptAll()
    {
        for (;;) {
            const int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client >= 0) {
                new Client(client, owner_, this);
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN, or out of descriptors: the rest wait in the queue
        }
    }

    int fd_;
    QByteArray path_;
    SingleInstance& owner_;
    QSocketNotifier notifier_;
    ino_t inode_ = 0;
    dev_t device_ = 0;
};

SingleInstance::SingleInstance(const QString& configurationFile)
    : name_(nameFor(configurationFile)), lock_(name_ + QStringLiteral(".lock"))
{
    lock_.setStaleLockTime(0); // a lock is stale only when its holder is gone
}

SingleInstance::~SingleInstance() = default;

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
    sockaddr_un address{};
    if (!addressOf(QFile::encodeName(name_), &address))
        return false;
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return false;
    const Clock::time_point connectBy = Clock::now() + std::chrono::milliseconds(kConnectMs);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        // A full queue of a running program is worth waiting for; no file or
        // a refused connection means no program listens.
        if (errno != EAGAIN && errno != EINPROGRESS && errno != EINTR)
            return false;
        int error = 0;
        socklen_t size = sizeof(error);
        if (!waitFor(socket.get(), POLLOUT, connectBy)
            || ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return false;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << QString::fromLatin1(kGreeting) << files;
    if (!sendAll(socket.get(), message, connectBy))
        return false;

    // The files are delivered; the answer only says what became of them.
    QByteArray answer;
    qint32 rows = -1;
    const Clock::time_point answerBy = Clock::now() + std::chrono::milliseconds(kAnswerMs);
    while (answer.size() < 4 && waitFor(socket.get(), POLLIN, answerBy)) {
        char bytes[4];
        const ssize_t n = ::recv(socket.get(), bytes, static_cast<size_t>(4 - answer.size()), 0);
        if (n > 0)
            answer.append(bytes, n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            break;
    }
    if (answer.size() == 4) {
        QDataStream in(answer);
        in >> rows;
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
    const QByteArray path = QFile::encodeName(name_);
    const auto fail = [this](const char* why) {
        qWarning("quillfer: cannot listen on %s (%s): later starts open windows of their own", qPrintable(name_), why);
    };
    sockaddr_un address{};
    if (!addressOf(path, &address))
        return fail("the name is too long");
    // No program answered, so a socket file left here is a crashed one's.
    ::unlink(path.constData());
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return fail(std::strerror(errno));
    // The socket is made in a folder only we can enter and given its name
    // there only once no one but us can connect to it.
    QByteArray folder = path.left(path.lastIndexOf('/') + 1) + ".quillfer-XXXXXX";
    if (!::mkdtemp(folder.data()))
        return fail(std::strerror(errno));
    sockaddr_un temporary{};
    const QByteArray temporaryPath = folder + "/s";
    bool ok = addressOf(temporaryPath, &temporary)
        && ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&temporary), sizeof(temporary)) == 0
        && ::chmod(temporaryPath.constData(), S_IRUSR | S_IWUSR) == 0 && ::listen(socket.get(), 64) == 0
        && ::rename(temporaryPath.constData(), path.constData()) == 0;
    const int error = errno;
    ::unlink(temporaryPath.constData());
    ::rmdir(folder.constData());
    if (!ok)
        return fail(std::strerror(error));
    server_ = std::make_unique<Server>(socket.release(), path, *this);
}

} // namespace qf::app
