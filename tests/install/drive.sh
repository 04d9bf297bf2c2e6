# Sourced by the install tests: the installed program run as nobody (setpriv) under Xvfb with a
# home of its own, driven with real X events. The caller sets T (its temporary folder, mode 755,
# removed at the end), LAUNCHER (the program to start) and PID= , and defines fail.

# The user: nobody, with a home of its own.
H=$T/home
mkdir -p "$H/rt"
chown -R 65534:65534 "$H"
chmod 700 "$H/rt"
cp "${XAUTHORITY:-/dev/null}" "$T/xauth" 2>/dev/null; chmod 644 "$T/xauth"
DATA=$H/.local/share/quillbridge
INI=$H/.config/qbridge10.ini

RUNS=0
start() {
    RUNS=$((RUNS + 1))
    LOG=$T/out.$RUNS.log
    setpriv --reuid=65534 --regid=65534 --clear-groups env -i HOME="$H" DISPLAY="$DISPLAY" \
        XAUTHORITY="$T/xauth" XDG_RUNTIME_DIR="$H/rt" QT_QPA_PLATFORM=xcb PATH=/usr/bin:/bin \
        "$LAUNCHER" >"$LOG" 2>&1 &
    PID=$!
}
# Fails at once when the program ended by itself (a crash at start-up would otherwise be seen
# only as a window that never came), with its exit status (134: SIGABRT) and its output.
check_alive() {
    kill -0 "$PID" 2>/dev/null && return 0
    local rc=0
    wait "$PID" 2>/dev/null || rc=$?
    PID=
    echo "--- output of start $RUNS:"; cat "$LOG"
    fail "the program ended by itself at start $RUNS (exit status $rc) $1"
}
# Windows of the program: "id width height name" lines.
windows() {
    for w in $(xdotool search --onlyvisible --pid "$PID" 2>/dev/null); do
        g=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
        echo "$w $g $(xdotool getwindowname "$w" 2>/dev/null)"
    done
}
MAIN=
wait_main() {
    MAIN=
    for _ in $(seq 1 120); do
        MAIN=$(windows | awk '$2 > 400 { print $1 }' | tail -1)
        [ -n "$MAIN" ] && { sleep 0.5; return 0; }
        check_alive "before its main window showed"
        sleep 0.25
    done
    fail "no main window"
}
# The first window that is neither the main window nor the splash (298x153): a message box or
# a dialog. Keys go where the pointer is (no window manager), so the pointer goes there first.
other_window() {
    for _ in $(seq 1 80); do
        local w
        w=$(windows | awk -v m="$MAIN" '$1 != m && !($2 == 298 && $3 == 153) { print $1 }' | head -1)
        [ -n "$w" ] && { echo "$w"; return 0; }
        kill -0 "$PID" 2>/dev/null || return 1
        sleep 0.25
    done
    return 1
}
press_ok() {
    local box
    box=$(other_window) || { check_alive "waiting for a message box ($1)"; fail "no message box ($1)"; }
    xdotool mousemove --window "$box" 20 20 sleep 0.2 key Return
    sleep 0.5
}
add_entry() { # source rendering, through F9 and its dialog
    xdotool mousemove --window "$MAIN" 150 360 click 1 sleep 0.2 key F9
    local dlg
    dlg=$(other_window) || fail "no add-entry dialog"
    xdotool mousemove --window "$dlg" 5 5 sleep 0.2
    xdotool type --delay 15 "$1"; xdotool key Tab; xdotool type --delay 15 "$2"; xdotool key Return
    sleep 0.5
}
stop() { # SIGTERM: the shutdown runs; a message box on the way is answered when $1 says so
    kill -TERM "$PID"
    [ "${1:-}" = box ] && press_ok "at shutdown"
    for _ in $(seq 1 80); do
        if ! kill -0 "$PID" 2>/dev/null; then
            # Ended: through its shutdown (0), not by a crash on the way (134: SIGABRT).
            local rc=0
            wait "$PID" 2>/dev/null || rc=$?
            PID=
            [ "$rc" = 0 ] || { cat "$LOG"; fail "the program ended with exit status $rc at start $RUNS"; }
            return 0
        fi
        sleep 0.25
    done
    fail "the program did not end"
}
# A restart finds an entry added before: a sentence with its phrase, Ctrl+J, a click on the
# first line of the phrase list puts the rendering into the target pane, and the kept panes
# file holds it (written within 2 s). find_entry PHRASE RENDERING
find_entry() {
    xdotool mousemove --window "$MAIN" 150 100 click 1 sleep 0.2
    xdotool type --delay 15 "we $1 now."
    xdotool key ctrl+Home ctrl+j # the first sentence
    sleep 1
    xdotool mousemove --window "$MAIN" 540 68 click 1
    sleep 2.5
    grep -q "$2" "$DATA/panes.state" || fail "the entry was not found after the restart"
}
