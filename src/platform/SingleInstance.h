// One instance per user: the first start listens on an abstract local socket named
// "qbridge10-<user>"; a later start connects, says "activate" and leaves. Nothing is left behind
// by a crash (abstract names vanish with their process), and a second listen() on a live name
// fails, so two starts cannot both win. What arrives on the socket is untrusted: only the exact
// word "activate" does anything.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace qb {

// "qbridge10-" + the user's login name.
QString DefaultInstanceName();

class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(QString name, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this process is now the one instance. False when another instance holds the
    // name; that instance has then been asked to come to the front (waits at most timeoutMs).
    bool Claim(int timeoutMs = 1000);
    const QString& Name() const { return name_; }

Q_SIGNALS:
    void activateRequested();

private:
    void OnNewConnection();
    QString name_;
    QLocalServer* server_ = nullptr;
};

} // namespace qb
