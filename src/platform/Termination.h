// Shutdown is reached on SIGTERM, SIGINT and SIGHUP: the signal handler only writes one byte
// to a socket pair; the event loop reads it and runs `onSignal` on the UI thread, which closes
// the main window, so the settings and the lexicons are saved as after a normal close.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace qb {

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TTerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TTerminationSignals() override;
    bool Installed() const { return notifier_ != nullptr; }
    // The handlers stay, and a signal from now on does nothing: the shutdown's saving is under
    // way, and a SIGTERM at logout in the middle of it must not end the process half way.
    void IgnoreFromNow() { onSignal_ = nullptr; }

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace qb
