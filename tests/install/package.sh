#!/bin/bash
# The Debian package as a user gets it: cpack makes the .deb from the build, apt-get installs it
# (its dependencies from what the system has), the installed program runs as nobody under Xvfb
# (an entry added, found again after a restart), and apt-get purge takes away every file it
# brought. It changes the system's packages, so it runs only as root, only where no quillbridge
# package and no /usr/lib/quillbridge is there already (a developer's own install is left
# alone), and it always purges what it installed. About a minute, most of it cpack's packing.
# Usage: package.sh BUILD_DIR (exit 77: skipped)
set -u
BUILD=$1
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root (installs the package into the system)"
for t in apt-get dpkg-deb cpack xdotool setpriv; do command -v $t >/dev/null || skip "needs $t"; done
[ -n "${DISPLAY:-}" ] || skip "needs an X server (run under xvfb-run)"
[ -f "$BUILD/bin/BasicDict.qbs" ] || skip "no data in $BUILD/bin (./dev.sh setup)"
[ -f "$BUILD/CPackConfig.cmake" ] || skip "no CPackConfig.cmake in $BUILD"
if dpkg-query -W -f='${Status}' quillbridge 2>/dev/null | grep -q installed ||
   [ -e /usr/lib/quillbridge ] || [ -e /usr/bin/quillbridge ]; then
    skip "quillbridge is installed on this system already: left alone"
fi

T=$(mktemp -d)
PID=
INSTALLED=
apt() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -q "$@"; }
cleanup() {
    [ -n "$PID" ] && kill -9 "$PID" 2>/dev/null
    [ -n "$INSTALLED" ] && apt purge quillbridge >/dev/null 2>&1
    rm -rf "$T"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -n "$PID" ] && import -window root "${QB_FAIL_SHOT:-$T/fail.png}" 2>/dev/null; exit 1; }
chmod 755 "$T"

# The package.
cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$T/pkg" >"$T/cpack.log" 2>&1 ||
    { cat "$T/cpack.log"; fail "cpack"; }
DEB=$(ls "$T"/pkg/quillbridge_*_amd64.deb 2>/dev/null)
[ "$(echo "$DEB" | wc -w)" = 1 ] || fail "not one quillbridge_VERSION_amd64.deb: $(ls "$T/pkg")"
VERSION=$(dpkg-deb -f "$DEB" Version)
[ "$(basename "$DEB")" = "quillbridge_${VERSION}_amd64.deb" ] || fail "the file is named $(basename "$DEB")"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for d in libqt6widgets6 libsqlite3-0 libimepinyin qt6-qpa-plugins libime-data \
         libime-data-language-model fonts-noto-cjk fonts-arphic-uming; do
    grep -qE "(^|[ ,])$d" <<<"$DEPENDS" || fail "$d is not among the dependencies: $DEPENDS"
done
dpkg-deb -c "$DEB" >"$T/contents"
for f in usr/bin/quillbridge usr/bin/qblex usr/lib/quillbridge/quillbridge \
         usr/lib/quillbridge/BasicDict.qbs usr/share/applications/quillbridge.desktop \
         usr/share/icons/hicolor/scalable/apps/quillbridge.svg \
         usr/share/metainfo/org.quillbridge.quillbridge.metainfo.xml \
         usr/share/man/man1/quillbridge.1.gz usr/share/man/man1/qblex.1.gz; do
    grep -q " \./$f\$" "$T/contents" || fail "$f is not in the package"
done
grep -q " 0 [0-9-]* [0-9:]* \./usr/lib/quillbridge/mydict.txt$" "$T/contents" ||
    fail "the package's mydict.txt is not empty (the builder's own entries would ship)"

# Installed.
apt install --no-install-recommends "$DEB" >"$T/apt.log" 2>&1 || { cat "$T/apt.log"; fail "apt-get install"; }
INSTALLED=1
grep -qx "Exec=/usr/bin/quillbridge" /usr/share/applications/quillbridge.desktop ||
    fail "the desktop entry does not start /usr/bin/quillbridge"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net /usr/share/metainfo/org.quillbridge.quillbridge.metainfo.xml \
        >"$T/as.log" 2>&1 || { cat "$T/as.log"; fail "the installed metainfo is not valid"; }
fi
[ "$(/usr/bin/qblex normalize Went)" = went ] || fail "the installed qblex does not run"

# Run by a normal user: an entry added, found after a restart.
LAUNCHER=/usr/bin/quillbridge
. "$(dirname "$(readlink -f "$0")")/drive.sh"
start; wait_main
add_entry "quill packageword" "qbpackagesense"
stop
grep -q "quill packageword	qbpackagesense" "$DATA/mydict.txt" 2>/dev/null ||
    fail "the entry is not in $DATA/mydict.txt"
start; wait_main
find_entry "quill packageword" "qbpackagesense"
stop

# Removed: nothing of it is left.
apt purge quillbridge >"$T/apt.log" 2>&1 || { cat "$T/apt.log"; fail "apt-get purge"; }
INSTALLED=
! dpkg-query -W -f='${Status}' quillbridge 2>/dev/null | grep -q installed || fail "still installed"
while read -r _ _ _ _ _ f; do
    f=${f#.}
    [ -d "$f" ] || [ ! -e "$f" ] || fail "$f is left after the purge"
done <"$T/contents"
[ ! -e /usr/lib/quillbridge ] || fail "/usr/lib/quillbridge is left after the purge"
echo "Debian package: made, installed, used, found again, purged"
