#!/usr/bin/env bash
# The typing measure in both modes: isolated (every sentence in a fresh state) and session (the
# corpus typed in its order, both the program and the stock engine learning after each
# sentence). Run from the project's root after the build, after the shared measure has made its
# work folder (the stock engine's data, the corpus):
#   bench/typing/run.sh [WORK_DIR] [-- extra qblex candidates arguments]
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
WORK=${1:-${TMPDIR:-/tmp}/qb-typing}
BIN="$PWD/build/bin"; [ -x "$BIN/qblex" ] || { echo "build/bin/qblex is missing: build first" >&2; exit 1; }
[ -s "$WORK/messages.tsv" ] || { echo "$WORK/messages.tsv is missing: run the shared typing measure with $WORK first" >&2; exit 1; }
inc=$(dpkg -L libimecore-dev | grep -m1 '/LibIME$')
[ "$WORK/stock_session" -nt "$HERE/stock_session.cpp" ] || g++ -std=c++17 -O2 "$HERE/stock_session.cpp" -I"$inc" \
  $(pkg-config --cflags Fcitx5Utils) -o "$WORK/stock_session" -lIMEPinyin -lIMECore -lFcitx5Utils
dict=$(dpkg -L libime-data | grep '/sc\.dict$' | head -1)
lm=$(dpkg -L libime-data-language-model | grep '/zh_CN\.lm$' | head -1)
printf '#!/bin/sh\nexec "%s" "%s" "%s" "$@"\n' "$WORK/stock_session" "$dict" "$lm" > "$WORK/stock_s"; chmod +x "$WORK/stock_s"
PY=$(command -v python3); "$PY" -c 'import jieba' 2>/dev/null || PY=/usr/bin/python3
extra=""; [ "${2:-}" = "--" ] && shift 2 && extra=$(printf '|%s' "$@")
T="$HERE/session_typist.py"
for mode in 0 1; do
  echo "全拼 only: $(SESSION=$mode "$PY" "$T" "$BIN" "$WORK/messages.tsv" "$BIN/qblex|candidates|--schemes|1$extra" "$WORK/stock_s" 0.9 | tail -1)" || true
  echo "defaults:  $(SESSION=$mode "$PY" "$T" "$BIN" "$WORK/messages.tsv" "$BIN/qblex|candidates$extra" "$WORK/stock_s" 0.9 | tail -1)" || true
  echo "全拼 only, with prediction: $(SESSION=$mode PREDICT=1 "$PY" "$T" "$BIN" "$WORK/messages.tsv" "$BIN/qblex|candidates|--schemes|1$extra" "$WORK/stock_s" 0.7 | tail -1)" || true
done
