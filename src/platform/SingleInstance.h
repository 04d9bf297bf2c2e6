// One instance per user: the first start listens on a socket file in a folder that only the
// user can enter ($XDG_RUNTIME_DIR when it is the user's own mode-0700 folder, else
// /tmp/quillbridge-<uid>/, made 0700); a later start connects, says "activate" and leaves.
//
// Both ends check the other's user id (SO_PEERCRED): a start never hands over to a listener
// that runs as someone else, and the listener ignores connections from other users. A name in
// the abstract socket namespace would have no permissions at all: another user could listen on
// it first, and every start of the victim would "activate" the squatter and quietly end.
// A socket file left by a crash answers no connection; the next start removes it and listens.
// What arrives on the socket is untrusted: only the exact word "activate" does anything.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace qb {

// The socket file of the user's instance: <runtime folder>/qbridge10.sock. Empty when no
// folder of the user's own can be had (then every start runs on its own).
QString DefaultInstanceName();
// The folder for it: $XDG_RUNTIME_DIR when safe (see OwnPrivateFolder), else
// /tmp/quillbridge-<uid>, made when missing. Empty when neither is safe.
QString InstanceFolder();
// The same choice with the two places given: `runtimeDir` first, else <tmpBase>/quillbridge-<uid>.
QString InstanceFolderFrom(const QString& runtimeDir, const QString& tmpBase);
// True when `folder` is a real folder (no symbolic link) owned by this user that nobody else
// can enter or write (mode 0700 or narrower).
bool OwnPrivateFolder(const QString& folder);

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath`: the socket file; its folder must be the user's own private folder.
    explicit TSingleInstance(QString socketPath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is now the one instance, or runs without a channel because the
    // socket's folder is not safe. False when the user's own running instance holds the socket;
    // it has then been asked to come to the front (each wait at most timeoutMs).
    bool Claim(int timeoutMs = 1000);
    const QString& Name() const { return name_; }
    bool Listening() const { return server_ != nullptr; }

Q_SIGNALS:
    void activateRequested();

private:
    void OnNewConnection();
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace qb
