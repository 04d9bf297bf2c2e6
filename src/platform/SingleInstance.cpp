#include "SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QVariant>

#include <unistd.h>
#include <pwd.h>

namespace qb {

namespace {
constexpr QByteArrayView kActivate = "activate";

bool AskRunningToActivate(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kActivate.data(), kActivate.size());
    socket.flush();
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}
} // namespace

QString DefaultInstanceName() {
    QString user;
    if (const passwd* pw = getpwuid(getuid())) user = QString::fromLocal8Bit(pw->pw_name);
    if (user.isEmpty()) user = QString::number(getuid());
    return QStringLiteral("qbridge10-") + user;
}

TSingleInstance::TSingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::Claim(int timeoutMs) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto* server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        if (server->listen(name_)) {
            server_ = server;
            connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
            return true;
        }
        delete server;
        if (AskRunningToActivate(name_, timeoutMs)) return false;
        // The holder went away between our listen and our connect: try once more.
    }
    return false;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
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
