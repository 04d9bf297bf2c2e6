// The single-instance channel: a socket file in a folder of the user's own, the peer's user id
// checked at both ends. The cases with another user run a real process as nobody (setpriv) and
// need root; elsewhere they skip.
#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace qb {
namespace {

// A private folder (QTemporaryDir makes it 0700) with the socket's path in it.
struct Folder {
    QTemporaryDir dir;
    QString Socket() const { return dir.path() + QStringLiteral("/qbridge10.sock"); }
    QByteArray Path() const { return QFile::encodeName(dir.path()); }
};

// The helper process, copied where nobody may run it (the build tree may not be reachable).
QString PeerBinary() {
    static QTemporaryDir place;
    static QString copy;
    if (copy.isEmpty()) {
        copy = place.path() + QStringLiteral("/qb_socket_peer");
        QFile::copy(QStringLiteral(QB_SOCKET_PEER), copy);
        ::chmod(QFile::encodeName(place.path()).constData(), 0755);
        ::chmod(QFile::encodeName(copy).constData(), 0755);
    }
    return copy;
}

const char* WhyNoOtherUser() {
    if (::getuid() != 0) return "needs root, to run the other user's process as nobody";
    if (!QFile::exists(QStringLiteral("/usr/bin/setpriv"))) return "needs setpriv";
    return nullptr;
}

// Starts the helper, as nobody unless `asCaller`, and waits for its "ready" (listen) or its end.
void StartPeer(QProcess& p, const QStringList& args, bool asCaller = false) {
    if (asCaller) {
        p.start(PeerBinary(), args);
    } else {
        p.start(QStringLiteral("/usr/bin/setpriv"),
                QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), PeerBinary()} +
                    args);
    }
    ASSERT_TRUE(p.waitForStarted(5000));
}

void WaitReady(QProcess& p) {
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            p.waitForReadyRead(50);
            return p.peek(4096).contains("ready");
        },
        15000))
        << p.readAllStandardError().toStdString();
}

void StopPeer(QProcess& p) {
    p.closeWriteChannel(); // the helper ends when its input ends
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

TEST(SingleInstance, SecondClaimFailsAndActivatesTheFirst) {
    Folder f;
    TSingleInstance first(f.Socket());
    ASSERT_TRUE(first.Claim());
    ASSERT_TRUE(first.Listening());
    QSignalSpy spy(&first, &TSingleInstance::activateRequested);
    TSingleInstance second(f.Socket());
    EXPECT_FALSE(second.Claim(2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 15000));
}

TEST(SingleInstance, SocketIsFreeAgainWhenTheFirstEnds) {
    Folder f;
    {
        TSingleInstance first(f.Socket());
        ASSERT_TRUE(first.Claim());
    }
    TSingleInstance next(f.Socket());
    EXPECT_TRUE(next.Claim());
    EXPECT_TRUE(next.Listening());
}

TEST(SingleInstance, AnythingButActivateIsIgnored) {
    Folder f;
    TSingleInstance first(f.Socket());
    ASSERT_TRUE(first.Claim());
    QSignalSpy spy(&first, &TSingleInstance::activateRequested);
    QLocalSocket s;
    s.connectToServer(f.Socket());
    ASSERT_TRUE(s.waitForConnected(2000));
    s.write("activate-and-more-bytes");
    s.flush();
    // The listener hangs up once it has read enough to decide: by then it has decided.
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.state() == QLocalSocket::UnconnectedState; }, 15000));
    EXPECT_EQ(spy.count(), 0);
}

// A crash leaves the socket file behind; nothing listens on it any more.
TEST(SingleInstance, SocketLeftByACrashIsCleanedUp) {
    Folder f;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(f.Socket());
    std::memcpy(addr.sun_path, path.constData(), std::size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(f.Socket()));

    TSingleInstance first(f.Socket());
    EXPECT_TRUE(first.Claim(500));
    EXPECT_TRUE(first.Listening());
    TSingleInstance second(f.Socket()); // and the new socket works
    EXPECT_FALSE(second.Claim());
}

TEST(SingleInstance, AFolderOthersCanReachIsNeverUsed) {
    Folder f;
    ASSERT_EQ(::chmod(f.Path().constData(), 0755), 0);
    TSingleInstance first(f.Socket());
    EXPECT_TRUE(first.Claim());
    EXPECT_FALSE(first.Listening());
    EXPECT_FALSE(QFile::exists(f.Socket()));
    EXPECT_TRUE(first.Problem().contains(f.dir.path())) << first.Problem().toStdString();
}

TEST(SingleInstance, RuntimeFolderOrAPrivateOneUnderTmp) {
    Folder runtime, tmp;
    const QString own = tmp.dir.path() + QStringLiteral("/quillbridge-%1").arg(::getuid());
    EXPECT_EQ(InstanceFolderFrom(runtime.dir.path(), tmp.dir.path()), runtime.dir.path());

    // A runtime folder others may enter, none at all, or a link to a private folder: the
    // user's own folder under tmp, made 0700.
    ASSERT_EQ(::chmod(runtime.Path().constData(), 0711), 0);
    EXPECT_EQ(InstanceFolderFrom(runtime.dir.path(), tmp.dir.path()), own);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(InstanceFolderFrom(QString(), tmp.dir.path()), own);
    const QString link = tmp.dir.path() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(own, link));
    EXPECT_EQ(InstanceFolderFrom(link, tmp.dir.path()), own);

    // The folder under tmp made beforehand by someone else, or opened up: no channel at all.
    ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0777), 0);
    EXPECT_EQ(InstanceFolderFrom(QString(), tmp.dir.path()), QString());
    if (::getuid() == 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(own).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        EXPECT_EQ(InstanceFolderFrom(QString(), tmp.dir.path()), QString());
    }
}

// With XDG_RUNTIME_DIR unset, another local user made /tmp/quillbridge-<uid> first and every
// start of the user ran on its own (two windows of one user together). The folder is refused by
// name, and the starts meet in the user's data folder: a second start still hands over.
TEST(SingleInstance, AFolderUnderTmpTakenByOthersIsRefusedAndSaidSo) {
    Folder tmp, data;
    const QString own = tmp.dir.path() + QStringLiteral("/quillbridge-%1").arg(::getuid());
    const QByteArray ownPath = QFile::encodeName(own);
    ASSERT_EQ(::mkdir(ownPath.constData(), 0700), 0);
    const bool root = ::getuid() == 0;
    // As root the folder is the other user's (nobody's); else it is opened up to all.
    ASSERT_EQ(root ? ::chown(ownPath.constData(), 65534, 65534) : ::chmod(ownPath.constData(), 0777),
              0);
    const QString fallback = data.dir.path() + QStringLiteral("/quillbridge");

    const TInstancePlace place = InstancePlaceFrom(QString(), tmp.dir.path(), fallback);
    EXPECT_EQ(place.folder, fallback);
    EXPECT_TRUE(place.refused.contains(own)) << place.refused.toStdString();
    EXPECT_TRUE(place.refused.contains(root ? QStringLiteral("uid 65534") : QStringLiteral("0777")))
        << place.refused.toStdString();
    TSingleInstance first(place.folder + QStringLiteral("/qbridge10.sock"));
    ASSERT_TRUE(first.Claim());
    ASSERT_TRUE(first.Listening());
    TSingleInstance second(place.folder + QStringLiteral("/qbridge10.sock"));
    EXPECT_FALSE(second.Claim(2000));

    // Without a folder to fall back on, the start runs alone and says that too.
    const TInstancePlace none = InstancePlaceFrom(QString(), tmp.dir.path(), QString());
    EXPECT_EQ(none.folder, QString());
    EXPECT_TRUE(none.refused.contains(own) &&
                none.refused.contains(QString::fromUtf8("请不要同时打开两个窗口")))
        << none.refused.toStdString();
}

// Regression: the channel was an abstract socket name, "qbridge10-<login>". Another user who
// listened on it first received every "activate", and the user's own start quietly ended.
TEST(SingleInstance, AnotherUsersListenerOnTheOldAbstractNameIsIgnored) {
    if (const char* why = WhyNoOtherUser()) GTEST_SKIP() << why;
    Folder runtime;
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.Path());
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_TRUE(pw);
    QProcess squatter;
    StartPeer(squatter, {QStringLiteral("listen"),
                         QStringLiteral("@qbridge10-") + QString::fromLocal8Bit(pw->pw_name)});
    WaitReady(squatter);

    TSingleInstance mine(DefaultInstanceName());
    EXPECT_EQ(mine.Name(), runtime.Socket());
    EXPECT_TRUE(mine.Claim(1000));
    EXPECT_TRUE(mine.Listening());
    QTest::qWait(200);
    StopPeer(squatter);
    EXPECT_FALSE(squatter.readAllStandardOutput().contains("got:activate"));
    qputenv("XDG_RUNTIME_DIR", oldRuntime);
}

// A socket file of the user's own whose listener runs as someone else (bound by the user, then
// the process became nobody before listening): it is told nothing, and this start listens.
TEST(SingleInstance, AListenerOfAnotherUserIsNeverHandedOver) {
    if (const char* why = WhyNoOtherUser()) GTEST_SKIP() << why;
    Folder f;
    QProcess other;
    StartPeer(other, {QStringLiteral("listen"), f.Socket(), QStringLiteral("drop")}, true);
    WaitReady(other);
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(f.Socket()).constData(), &st), 0);
    ASSERT_EQ(st.st_uid, ::getuid());

    TSingleInstance mine(f.Socket());
    EXPECT_TRUE(mine.Claim(1000));
    EXPECT_TRUE(mine.Listening());
    QTest::qWait(200);
    StopPeer(other);
    EXPECT_FALSE(other.readAllStandardOutput().contains("got:activate"));
}

// The listener takes "activate" from its own user only, even when the folder and the socket
// were opened up to everyone.
TEST(SingleInstance, AnotherUserCannotActivate) {
    if (const char* why = WhyNoOtherUser()) GTEST_SKIP() << why;
    Folder f;
    TSingleInstance mine(f.Socket());
    ASSERT_TRUE(mine.Claim());
    QSignalSpy spy(&mine, &TSingleInstance::activateRequested);
    ASSERT_EQ(::chmod(f.Path().constData(), 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(f.Socket()).constData(), 0777), 0);

    QProcess other;
    StartPeer(other, {QStringLiteral("send"), f.Socket(), QStringLiteral("activate")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.state() == QProcess::NotRunning; }, 15000));
    EXPECT_TRUE(other.readAllStandardOutput().contains("sent")); // it did reach the socket
    QTest::qWait(200);
    EXPECT_EQ(spy.count(), 0);

    QProcess own; // the same word from the user's own process does it
    StartPeer(own, {QStringLiteral("send"), f.Socket(), QStringLiteral("activate")}, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 15000));
    StopPeer(own);
}

} // namespace
} // namespace qb
