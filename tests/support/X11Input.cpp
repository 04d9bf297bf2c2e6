#include "X11Input.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace qbtest {

namespace {

QString XdotoolPath() {
    static const QString path = QStandardPaths::findExecutable("xdotool");
    return path;
}

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// Sees the markers Sync sends this program (and keeps them from Qt, which has no use for them).
class MarkerFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
        const auto* m = static_cast<const xcb_client_message_event_t*>(message);
        if (m->type != atom || m->format != 32) return false;
        if (m->data.data32[0] > seen) seen = m->data.data32[0];
        return true;
    }
    xcb_atom_t atom = XCB_NONE;
    quint32 seen = 0;
    quint32 sent = 0;
};

// Made at the first Sync and kept to the end of the process (reachable from here, so the
// sanitizer build sees no leak; never destroyed after the application, which it would need).
MarkerFilter* Filter(xcb_connection_t* c) {
    static MarkerFilter* filter = nullptr;
    if (filter) return filter;
    const char name[] = "QB_TEST_SYNC";
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    if (!reply) return nullptr;
    filter = new MarkerFilter;
    filter->atom = reply->atom;
    std::free(reply);
    qApp->installNativeEventFilter(filter);
    return filter;
}

// Runs xdotool while the event loop turns; `output` gets what it printed.
bool Run(const QStringList& args, QString* output) {
    const QString exe = XdotoolPath();
    if (exe.isEmpty()) return false;
    QProcess p;
    p.start(exe, args);
    if (!p.waitForStarted(10000)) return false;
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 60000)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Counts the button presses and releases a top-level window receives.
class ClickWatch : public QObject {
public:
    explicit ClickWatch(QWindow* window) : window_(window) { window_->installEventFilter(this); }
    ~ClickWatch() override { window_->removeEventFilter(this); }
    int presses = 0, releases = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) ++presses;
        if (e->type() == QEvent::MouseButtonRelease) ++releases;
        return false;
    }

private:
    QWindow* window_;
};

} // namespace

bool HaveXdotool() { return Connection() && !XdotoolPath().isEmpty(); }

bool Sync(int timeoutMs) {
    xcb_connection_t* c = Connection();
    if (!c) return false;
    // A ClientMessage sent with no event mask goes to the client that made the window: any
    // window of ours will do.
    xcb_window_t to = XCB_NONE;
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (w->handle()) {
            to = xcb_window_t(w->winId());
            break;
        }
    MarkerFilter* filter = to == XCB_NONE ? nullptr : Filter(c);
    if (!filter) return false;
    xcb_client_message_event_t m;
    std::memset(&m, 0, sizeof m);
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = to;
    m.type = filter->atom;
    const quint32 marker = ++filter->sent;
    m.data.data32[0] = marker;
    xcb_send_event(c, 0, to, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&m));
    xcb_flush(c);
    if (!QTest::qWaitFor([&] { return filter->seen >= marker; }, timeoutMs)) return false;
    // The events read before the marker are queued for the widgets; these turns deliver them
    // and what they posted in turn (a queued connection, a deferred show).
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    QTest::qWait(20);
    return true;
}

bool Xdo(const QStringList& args, QString* output) {
    const bool ok = Run(args, output);
    // Without a window of ours (a test that drives another program) there is nothing to sync
    // with: the old fixed wait.
    if (!Sync()) QTest::qWait(100);
    return ok;
}

bool TypeInto(QPlainTextEdit* pane, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        // One character, both halves of a surrogate pair together.
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, n);
        i += n - 1;
        const QString before = pane->toPlainText();
        const int at = pane->textCursor().position();
        const QString expected = QString(before).insert(at, piece);
        bool arrived = false;
        for (int attempt = 0; attempt < 4 && !arrived; ++attempt) {
            if (!Xdo({"type", "--delay", "150", piece})) return false;
            arrived = QTest::qWaitFor([&] { return pane->toPlainText() == expected; }, 3000);
            if (arrived) break;
            // Something else arrived at the caret (the key under its old mapping): taken back.
            const QString now = pane->toPlainText();
            if (now.size() <= before.size() || !now.startsWith(before.left(at)) ||
                !now.endsWith(before.mid(at)))
                continue;
            for (qsizetype extra = now.size() - before.size(); extra > 0; --extra)
                if (!Xdo({"key", "BackSpace"})) return false;
        }
        if (!arrived) return false;
    }
    return true;
}

bool ClickAndSettle(QWidget* target, QPoint global) {
    QWindow* window = target->window()->windowHandle();
    if (!window) return false;
    ClickWatch watch(window);
    if (!Run({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"},
             nullptr))
        return false;
    if (!QTest::qWaitFor([&] { return watch.releases > 0; }, 10000)) return false;
    if (!Sync()) QTest::qWait(50); // the turns of the event loop that deliver an activation
    return watch.presses > 0;
}

} // namespace qbtest
