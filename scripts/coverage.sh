#!/usr/bin/env bash
# Measures how much of a real English text the basic lexicon finds:
#   scripts/coverage.sh BUILD_DIR [TEXTFILE | gnu-standards]
# Without TEXTFILE it uses "Pride and Prejudice" (Jane Austen, public domain) from the Debian
# package r-cran-janeaustenr, fetched with apt-get download (not installed) and taken out of its
# R data file with python3. "gnu-standards" measures technical text instead: the GNU Coding
# Standards as plain text, from the Debian package gnu-standards (fetched the same way). The
# texts are kept in BUILD_DIR/_sources.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [TEXTFILE | gnu-standards]" >&2; exit 2; }
BUILD=$(readlink -f "$1")
TEXT=${2:-$BUILD/_sources/pride-and-prejudice.txt}
if [ "$TEXT" = gnu-standards ]; then
  TEXT=$BUILD/_sources/gnu-coding-standards.txt
  if [ ! -s "$TEXT" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    (cd "$work" && apt-get download -qq gnu-standards >/dev/null 2>&1 && dpkg-deb -x ./*.deb x)
    mkdir -p "$(dirname "$TEXT")"
    gzip -dc "$work/x/usr/share/doc/gnu-standards/standards.text.gz" > "$TEXT"
  fi
fi
if [ ! -s "$TEXT" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download -qq r-cran-janeaustenr >/dev/null 2>&1 && dpkg-deb -x ./*.deb x)
  python3 - "$work/x/usr/lib/R/site-library/janeaustenr/data" "$TEXT" <<'PY'
import gzip, struct, sys, zlib
folder, out = sys.argv[1], sys.argv[2]
# Rdata.rdx (gzip, R serialization) lists each object's offset and length in Rdata.rdb; each
# object there is a 4-byte length and a zlib stream of a serialized character vector.
index = gzip.decompress(open(folder + "/Rdata.rdx", "rb").read())
rdb = open(folder + "/Rdata.rdb", "rb").read()
names = ["emma", "mansfieldpark", "northangerabbey", "persuasion", "prideprejudice", "sensesensibility"]
# The index holds one (offset, length) integer pair per object, in the order of the names.
pairs, i = [], 0
while len(pairs) < len(names):
    i = index.find(b"\x00\x00\x00\x0d\x00\x00\x00\x02", i) + 8
    pairs.append(struct.unpack(">ii", index[i:i + 8])); i += 8
off, length = pairs[names.index("prideprejudice")]
raw = zlib.decompress(rdb[off + 4:off + length])
p = raw.find(b"\x00\x00\x00\x10")            # STRSXP
n = struct.unpack(">i", raw[p + 4:p + 8])[0]; p += 8
lines = []
for _ in range(n):                            # CHARSXP: flags, length, bytes
    size = struct.unpack(">i", raw[p + 4:p + 8])[0]; p += 8
    lines.append("" if size < 0 else raw[p:p + size].decode("utf-8")); p += max(size, 0)
open(out, "w", encoding="utf-8").write("\n".join(lines) + "\n")
PY
fi
"$BUILD/bin/qbgen" coverage "$BUILD/bin" "$TEXT"
