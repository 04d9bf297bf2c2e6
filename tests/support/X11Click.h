// A real X click (xdotool) whose consequences for the focus are all in when it returns, for the
// Xvfb tests that assert a click moved nothing.
//
// Why waiting for the click's delivery is enough: the xcb platform asks for the activation of a
// window that accepts the focus while it handles the button press, and syncs with the X server
// there, so the FocusIn that would follow is already on its way to us before the press reaches
// the window. Once the window has seen the press and the release, a few turns of the event loop
// deliver any activation; a fixed wait after the xdotool process ends (the old way) could end
// before the press itself arrived on a loaded machine, and then "nothing moved" passed falsely.
// ClickMovesTheFocusToAWindowThatAcceptsIt checks the other way: the same wait does see a move.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace qbtest {

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

// Clicks button 1 at `global` (a point of `target`'s window) and returns once the window has
// received both halves of the click and the event loop has run on; false when xdotool failed
// or the click never arrived.
inline bool ClickAndSettle(QWidget* target, QPoint global) {
    const QString exe = QStandardPaths::findExecutable("xdotool");
    QWindow* window = target->window()->windowHandle();
    if (exe.isEmpty() || !window) return false;
    ClickWatch watch(window);
    QProcess p;
    p.start(exe, {"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "1"});
    if (!p.waitForStarted(5000)) return false;
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 5000)) return false;
    if (p.exitCode() != 0) return false;
    if (!QTest::qWaitFor([&] { return watch.releases > 0; }, 5000)) return false;
    QTest::qWait(50); // the turns of the event loop that deliver an activation
    return watch.presses > 0;
}

} // namespace qbtest
