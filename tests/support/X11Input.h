// Real X input for the tests under Xvfb (QT_QPA_PLATFORM=xcb): keys, text and clicks sent with
// xdotool through the X server, each call returning only once what it sent has been handled by
// this program's widgets, however loaded the machine is.
//
// Why a fixed wait after xdotool was not enough: its events reach us through the X server, Qt's
// reader thread and the event loop; with two cores busy building, 100 ms passed now and then
// before a Ctrl+Y had switched the input method off, and the test's next check saw it still on.
// Sync() sends this program a marker through the X server after xdotool has ended; the server
// queues xdotool's events for us before the marker, so once the marker is seen they have been
// read too, and one more turn of the event loop delivers them.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QWidget;

namespace qbtest {

// xdotool is installed and this program talks to an X server.
bool HaveXdotool();

// Waits until every event the X server sent this program before the call has been delivered to
// the widgets; false when no marker came back within `timeoutMs` (or there is no X connection).
bool Sync(int timeoutMs = 30000);

// Runs xdotool with `args` while the event loop turns (a character xdotool types by remapping a
// spare key must be read before xdotool maps that key to the next one), then Sync(). True when
// xdotool ended with 0; `output` receives what it printed (a window id), trimmed.
bool Xdo(const QStringList& args, QString* output = nullptr);

// Types `text` at the caret of the focused `pane` with real X keys, one character at a time,
// each seen in the pane before the next. On a loaded machine xdotool now and then loses a
// character it types through a remapped key, or the key arrives under the old mapping as another
// character: such a character is taken back with BackSpace and typed again (at most 4 times).
// False when a character never arrived; the pane then holds what did.
bool TypeInto(QPlainTextEdit* pane, const QString& text);

// Clicks button 1 at `global` (a point of `target`'s window) and returns once the window has
// received both halves of the click and the event loop has delivered any activation that
// follows; false when xdotool failed or the click never arrived.
//
// Why waiting for the click's delivery is enough for "the focus did not move": the xcb platform
// asks for the activation of a window that accepts the focus while it handles the button press,
// and syncs with the X server there, so the FocusIn that would follow is already on its way to
// us before the press reaches the window. ClickMovesTheFocusToAWindowThatAcceptsIt checks the
// other way: the same wait does see a move.
bool ClickAndSettle(QWidget* target, QPoint global);

} // namespace qbtest
