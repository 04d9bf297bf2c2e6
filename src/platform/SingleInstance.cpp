#include "SingleInstance.h"

#include "UserFolders.h"

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

namespace {
// Why `folder` is not the user's own private folder, for the message: empty when it is.
QString WhyNotPrivate(const QString& folder) {
    struct stat st;
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0)
        return QString::fromUtf8("不能创建");
    if (S_ISLNK(st.st_mode)) return QString::fromUtf8("是一个符号链接");
    if (!S_ISDIR(st.st_mode)) return QString::fromUtf8("不是文件夹");
    if (st.st_uid != ::getuid()) return QString::fromUtf8("属于别的用户（uid %1）").arg(st.st_uid);
    if ((st.st_mode & 077) != 0)
        return QString::fromUtf8("别人也能进入（权限 %1，应为 0700）")
            .arg(QString::number(st.st_mode & 0777, 8).rightJustified(4, QLatin1Char('0')));
    return QString();
}
} // namespace

bool OwnPrivateFolder(const QString& folder) {
    return !folder.isEmpty() && WhyNotPrivate(folder).isEmpty();
}

QString InstanceFolderFrom(const QString& runtimeDir, const QString& tmpBase) {
    return InstancePlaceFrom(runtimeDir, tmpBase, QString()).folder;
}

TInstancePlace InstancePlaceFrom(const QString& runtimeDir, const QString& tmpBase,
                                 const QString& fallback) {
    if (OwnPrivateFolder(runtimeDir)) return {runtimeDir, QString()};
    const QString own = tmpBase + QStringLiteral("/quillbridge-%1").arg(::getuid());
    // mkdir fails on anything already there; what is there is then checked like the runtime
    // folder, so a folder made by another user (or a link to one) is never used.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    const QString why = WhyNotPrivate(own);
    if (why.isEmpty()) return {own, QString()};
    const QString refused =
        QString::fromUtf8("文件夹 %1 %2，不能用来防止同时打开两个文渡翻译环境窗口").arg(own, why);
    QString folder = fallback;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    if (!folder.isEmpty()) {
        MakeDataFolderPrivate(QFile::encodeName(folder).toStdString());
        if (OwnPrivateFolder(folder))
            return {folder, refused + QString::fromUtf8("；已改用 %1。要改回，请让系统管理员删除 %2，"
                                                        "或设置 XDG_RUNTIME_DIR。")
                                          .arg(folder, own)};
    }
    return {QString(), refused + QString::fromUtf8("，也没有别的私有文件夹可用：这次启动不检查是否"
                                                   "已有窗口在运行，请不要同时打开两个窗口。")};
}

TInstancePlace InstancePlace() {
    return InstancePlaceFrom(qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/tmp"),
                             QString::fromStdString(UserDataFolder()));
}

QString DefaultInstanceName() {
    const QString folder = InstancePlace().folder;
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/qbridge10.sock");
}

TSingleInstance::TSingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), name_(std::move(socketPath)) {
    // A bare name lives in the user's instance folder.
    if (!name_.isEmpty() && !name_.contains(QLatin1Char('/'))) {
        const TInstancePlace place = InstancePlace();
        name_ = place.folder.isEmpty() ? QString() : place.folder + QLatin1Char('/') + name_;
        problem_ = place.refused;
    }
}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim(int timeoutMs) {
    const QString folder = name_.isEmpty() ? QString() : QFileInfo(name_).absolutePath();
    if (folder.isEmpty() || !OwnPrivateFolder(folder)) {
        // Nowhere safe to meet: run on its own rather than talk through a folder that others
        // can reach, and say so.
        if (problem_.isEmpty() && !folder.isEmpty())
            problem_ = QString::fromUtf8("文件夹 %1 %2，不能用来防止同时打开两个窗口：这次启动不检查"
                                         "是否已有窗口在运行，请不要同时打开两个窗口。")
                           .arg(folder, WhyNotPrivate(folder));
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
        // A path too long for a socket (108 bytes), a file system without sockets: said, so two
        // windows running together are not a surprise.
        if (problem_.isEmpty())
            problem_ = QString::fromUtf8("不能在 %1 等待下一次启动（%2）：这次启动不检查是否已有"
                                         "窗口在运行，请不要同时打开两个窗口。")
                           .arg(name_, server->errorString());
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
