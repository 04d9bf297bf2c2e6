#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QVariant>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb {

namespace {
constexpr QByteArrayView kActivate = "activate";

// The user id of the process at the other end of a connected local socket, or -1.
long long PeerUid(qintptr fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (fd < 0 || ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return -1;
    return static_cast<long long>(cred.uid);
}

bool PeerIsThisUser(qintptr fd) { return PeerUid(fd) == static_cast<long long>(::getuid()); }

enum class Answer { HandedOver, NoListener, Foreign };

Answer AskRunningToActivate(const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) return Answer::NoListener;
    // The file may be ours while the listener is not (a socket bound by us and passed on, or
    // one listened on after a change of user): such a listener is told nothing.
    if (!PeerIsThisUser(socket.socketDescriptor())) {
        socket.abort();
        return Answer::Foreign;
    }
    socket.write(kActivate.data(), kActivate.size());
    socket.flush();
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return Answer::HandedOver;
}

// Two starts at the same moment must not both take a dead socket for stale and remove each
// other's fresh one: the check-remove-listen runs under a lock file beside the socket.
class TClaimLock {
public:
    TClaimLock(const QString& path, int timeoutMs) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                     0600);
        if (fd_ < 0) return;
        QDeadlineTimer deadline(timeoutMs);
        while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            if (deadline.hasExpired()) break; // go on unlocked rather than never start
            QThread::msleep(20);
        }
    }
    ~TClaimLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    TClaimLock(const TClaimLock&) = delete;
    TClaimLock& operator=(const TClaimLock&) = delete;

private:
    int fd_ = -1;
};
} // namespace

bool OwnPrivateFolder(const QString& folder) {
    if (folder.isEmpty()) return false;
    struct stat st;
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

QString InstanceFolderFrom(const QString& runtimeDir, const QString& tmpBase) {
    if (OwnPrivateFolder(runtimeDir)) return runtimeDir;
    const QString own = tmpBase + QStringLiteral("/quillbridge-%1").arg(::getuid());
    // mkdir fails on anything already there; what is there is then checked like the runtime
    // folder, so a folder made by another user (or a link to one) is never used.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return OwnPrivateFolder(own) ? own : QString();
}

QString InstanceFolder() {
    return InstanceFolderFrom(qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/tmp"));
}

QString DefaultInstanceName() {
    const QString folder = InstanceFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/qbridge10.sock");
}

TSingleInstance::TSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), name_(std::move(socketPath)) {
    // A bare name lives in the user's instance folder.
    if (!name_.isEmpty() && !name_.contains(QLatin1Char('/'))) {
        const QString folder = InstanceFolder();
        name_ = folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name_;
    }
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim(int timeoutMs) {
    if (name_.isEmpty() || !OwnPrivateFolder(QFileInfo(name_).absolutePath())) {
        // Nowhere safe to meet: run on its own rather than talk through a folder that others
        // can reach.
        return true;
    }
    TClaimLock lock(name_ + QStringLiteral(".lock"), timeoutMs);
    const QByteArray file = QFile::encodeName(name_);
    struct stat st;
    if (::lstat(file.constData(), &st) == 0) {
        if (S_ISSOCK(st.st_mode) && st.st_uid == ::getuid() &&
            AskRunningToActivate(name_, timeoutMs) == Answer::HandedOver)
            return false;
        // A socket left by a crash, someone else's listener, or not a socket at all: the
        // folder is ours, so is the name.
        ::unlink(file.constData());
    }
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name_)) {
        delete server;
        return true;
    }
    server_ = server;
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
    return true;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Collect at most a few bytes; anything but the exact word is ignored.
        auto handle = [this, guard = QPointer<QLocalSocket>(socket)] {
            if (!guard) return;
            QByteArray got = guard->property("qbReceived").toByteArray();
            got += guard->read(64 - got.size());
            guard->setProperty("qbReceived", got);
            if (got == kActivate) {
                guard->setProperty("qbReceived", QByteArray("done"));
                Q_EMIT activateRequested();
                guard->disconnectFromServer();
            } else if (got.size() >= kActivate.size()) {
                guard->disconnectFromServer();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        if (socket->bytesAvailable() > 0) handle();
    }
}

} // namespace qb
