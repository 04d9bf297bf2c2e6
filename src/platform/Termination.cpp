#include "Termination.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qb {

namespace {
int g_fds[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    char b = 1;
    if (g_fds[0] >= 0) {
        ssize_t r = ::write(g_fds[0], &b, 1);
        (void)r;
    }
}
} // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (g_fds[0] >= 0) return; // one handler per process
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0) return;
    notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_fds[1], buf, sizeof buf) > 0) {
        }
        if (onSignal_) onSignal_();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
    if (!notifier_) return;
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

} // namespace qb
