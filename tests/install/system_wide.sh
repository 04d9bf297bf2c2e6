#!/bin/bash
# A system-wide install used by a normal user: `cmake --install` into a prefix owned by root,
# then the real program run as nobody (setpriv) under Xvfb, driven with real X events:
#   1. F9 adds an entry; SIGTERM ends the program (its shutdown saves)
#   2. a restart finds the entry: its phrase shows in the list, a click puts it into the target
#      pane, and the kept panes file holds it
#   3. an unreadable user lexicon (mode 000): one more entry, close: the file is untouched and
#      the entries are rescued, the settings not rewritten
#   4. readable again: the rescued entry is merged back once and its file moved to merged/
# Usage: system_wide.sh BUILD_DIR (exit 77: skipped)
set -u
BUILD=$1
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root (installs, then runs the program as nobody)"
for t in xdotool setpriv; do command -v $t >/dev/null || skip "needs $t"; done
[ -n "${DISPLAY:-}" ] || skip "needs an X server (run under xvfb-run)"
[ -f "$BUILD/bin/BasicDict.qbs" ] || skip "no data in $BUILD/bin (./dev.sh setup)"

T=$(mktemp -d)
PID=
cleanup() { [ -n "$PID" ] && kill -9 "$PID" 2>/dev/null; rm -rf "$T"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -n "$PID" ] && import -window root "${QB_FAIL_SHOT:-$T/fail.png}" 2>/dev/null; exit 1; }
chmod 755 "$T"
PREFIX=$T/prefix
cmake --install "$BUILD" --prefix "$PREFIX" >"$T/install.log" 2>&1 || { cat "$T/install.log"; fail "cmake --install"; }

# The layout.
for f in bin/quillbridge bin/qblex lib/quillbridge/quillbridge lib/quillbridge/qblex; do
    [ -x "$PREFIX/$f" ] || fail "$f is not installed as a program"
done
for f in lib/quillbridge/BasicDict.qbs lib/quillbridge/verb.spe lib/quillbridge/mydict.txt \
         lib/quillbridge/quanpinIme.py lib/quillbridge/help/index.htm \
         share/icons/hicolor/scalable/apps/quillbridge.svg; do
    [ -f "$PREFIX/$f" ] || fail "$f is not installed"
done
grep -qx "Exec=$PREFIX/bin/quillbridge" "$PREFIX/share/applications/quillbridge.desktop" ||
    fail "the desktop entry does not start the launcher"
[ "$(stat -c %U "$PREFIX/lib/quillbridge")" = root ] || fail "the program folder is not root's"

LAUNCHER=$PREFIX/bin/quillbridge
. "$(dirname "$(readlink -f "$0")")/drive.sh"

# 1. Add an entry, end.
start; wait_main
add_entry "quill bridgeword" "qbsenseone"
stop
grep -q "quill bridgeword	qbsenseone" "$DATA/mydict.txt" 2>/dev/null || fail "the entry is not in $DATA/mydict.txt"
[ ! -e "$DATA/rescued" ] || fail "something had to be rescued: $(ls "$DATA/rescued")"
[ -f "$INI" ] || fail "no settings written"

# 2. Restart and find it.
start; wait_main
find_entry "quill bridgeword" "qbsenseone"
stop

# 3. An unreadable user lexicon: the new entry is rescued, the file untouched.
cp -p "$DATA/mydict.txt" "$T/mydict.before"
cp -p "$INI" "$T/ini.before"
chmod 000 "$DATA/mydict.txt"
start
press_ok "Cannot open file at start-up"
wait_main
add_entry "second word" "qbsensetwo"
stop box
chmod 600 "$DATA/mydict.txt"
cmp -s "$DATA/mydict.txt" "$T/mydict.before" || fail "the unreadable lexicon was written over"
grep -q "second word	qbsensetwo" "$DATA/rescued/mydict.txt" 2>/dev/null || fail "the new entry was not rescued"
cmp -s "$INI" "$T/ini.before" || fail "the settings were written after a start that stopped early"

# 4. Merged back at the next start, once.
start
press_ok "rescued entries merged"
wait_main
stop
grep -q "second word	qbsensetwo" "$DATA/mydict.txt" || fail "the rescued entry was not merged back"
[ -f "$DATA/rescued/merged/mydict.txt" ] && [ ! -e "$DATA/rescued/mydict.txt" ] ||
    fail "the rescued file was not moved to merged/"
echo "system-wide install: 4 passed, 0 failed"
