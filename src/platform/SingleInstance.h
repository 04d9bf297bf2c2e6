// One instance per user: the first start listens on a socket file in a folder that only the
// user can enter ($XDG_RUNTIME_DIR when it is the user's own mode-0700 folder, else
// /tmp/quillbridge-<uid>/, made 0700, else the user's data folder); a later start connects,
// says "activate" and leaves.
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

// The socket file of the user's instance: <instance folder>/qbridge10.sock. Empty when no
// folder of the user's own can be had (then every start runs on its own).
QString DefaultInstanceName();

// Where the socket goes, and what was refused on the way there.
struct TInstancePlace {
    QString folder;  // empty: nowhere safe, the starts cannot meet
    QString refused; // a message for the user when a folder was refused; empty when none was
};
// The choice: `runtimeDir` when safe (see OwnPrivateFolder); else <tmpBase>/quillbridge-<uid>,
// made 0700 when missing; else `fallback` (the user's data folder, made private first).
// /tmp/quillbridge-1000 made beforehand by another user (or opened up to 0755) is refused and
// the message names it: with it taken, the user's starts would never meet and two windows would
// write the same lexicons, so the starts meet in the data folder instead.
TInstancePlace InstancePlaceFrom(const QString& runtimeDir, const QString& tmpBase,
                                 const QString& fallback);
// The user's own place: $XDG_RUNTIME_DIR, /tmp, the data folder.
TInstancePlace InstancePlace();
// Only the first two places: empty when neither is safe.
QString InstanceFolderFrom(const QString& runtimeDir, const QString& tmpBase);
// True when `folder` is a real folder (no symbolic link) owned by this user that nobody else
// can enter or write (mode 0700 or narrower).
bool OwnPrivateFolder(const QString& folder);

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath`: the socket file; its folder must be the user's own private folder. A bare
    // name ("qbridge10.sock") goes into InstancePlace().
    explicit TSingleInstance(QString socketPath, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is now the one instance, or runs without a channel because the
    // socket's folder is not safe. False when the user's own running instance holds the socket;
    // it has then been asked to come to the front (each wait at most timeoutMs).
    bool Claim(int timeoutMs = 1000);
    const QString& Name() const { return name_; }
    bool Listening() const { return server_ != nullptr; }
    // What the user must be told after Claim: a refused folder, or that this start runs without
    // the check (no safe folder, or the socket could not be listened on). Empty when all is well.
    const QString& Problem() const { return problem_; }

Q_SIGNALS:
    void activateRequested();

private:
    void OnNewConnection();
    QString name_;
    QString problem_;
    QLocalServer* server_ = nullptr;
};

} // namespace qb
