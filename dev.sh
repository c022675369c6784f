#!/usr/bin/env bash
# Corvane's one entry point, for people and for CI. Every build it makes is a preset of
# CMakePresets.json (`cmake --list-presets=all`); this script installs what they need and starts
# the virtual display and Wine around them.
#
#   ./dev.sh run       build the desktop program alone and start it
#   ./dev.sh quick     build, and run the fast native tests (label fast): the everyday loop
#   ./dev.sh test      build, and run every test: the native ones (again as the user "nobody"
#                      when run as root), the codec's under AddressSanitizer and UBSan and under
#                      ThreadSanitizer, all of them for Windows under Wine with the Windows
#                      packages, and the Debian package's checks (what CI runs)
#   ./dev.sh windows   make Qt for Windows from Debian's source (once, 35 to 90 minutes; kept in
#                      ~/.cache/corvane), cross-build both programs and their tests with
#                      mingw-w64, run the tests under Wine, and make and check the portable zip
#                      and the installer
#   ./dev.sh package   build the two programs as Debian builds a package and make
#                      build-package/corvane_<version>_<arch>.deb, its debug symbols beside it
#   ./dev.sh bench     build, and run the benchmarks (`bench files`: the slow whole-file one;
#                      `bench batch`: 5,000 small files against cp and one sync;
#                      `bench responsiveness`: the windows during a 2 GiB encode;
#                      `bench hover`: processor time with the pointer resting on a button)
#   ./dev.sh tidy      clang-tidy's checks on the C++ files changed since main (or on FILES...)
#   ./dev.sh setup     install what the builds and tests need, and nothing more
#   ./dev.sh help      this text
#
# As root, missing Debian packages are installed with apt-get (waiting for another package
# manager to finish); otherwise the apt-get line to run is printed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
source cmake/say.sh
source packaging/debian-environment.sh
say() { corvane_say "$@"; }

# What the programs and their Debian package need; the rest is for the tests and benchmarks.
PACKAGE_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxkbcommon-dev dpkg-dev file git)
PACKAGES=(
  "${PACKAGE_PACKAGES[@]}" qt6-base-private-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-liberation fonts-wine
  lintian desktop-file-utils appstream xdotool dbus at-spi2-core strace locales libc-l10n
  openbox imagemagick x11-utils
)
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 qt6-base-dev dpkg-dev
                  nsis zip xvfb xauth openbox xdotool imagemagick x11-utils fonts-wine)
TIDY_PACKAGES=(clang-tidy)

usage() { echo "Usage: ./dev.sh COMMAND [ARGUMENTS]"; echo; sed -n '/^#   \.\/dev\.sh run/,/^# manager/p' "$0" | sed 's/^# \{0,1\}//'; }

# install_missing [PACKAGE...]: the given packages, or the native build's by default.
install_missing() {
  local wanted=("$@")
  [ $# -gt 0 ] || wanted=("${PACKAGES[@]}")
  if ! command -v dpkg-query >/dev/null 2>&1; then
    say "Not a Debian system: make sure these (or your system's equivalents) are installed: ${wanted[*]}"
    return
  fi
  local missing=()
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  if [ "$(id -u)" -ne 0 ]; then
    say "These packages are missing. Install them as root, then run this command again:"
    echo "  apt-get install -y ${missing[*]}"
    exit 1
  fi
  say "Installing ${missing[*]}"
  # Another package manager (unattended upgrades on a fresh machine) may hold apt's locks for
  # minutes: wait for it rather than fail.
  local wait=(-o DPkg::Lock::Timeout=900) attempt log
  log=$(mktemp)
  for attempt in $(seq 90); do
    apt-get "${wait[@]}" update -qq >"$log" 2>&1 && break
    if ! grep -q 'Could not get lock' "$log" || [ "$attempt" -eq 90 ]; then
      cat "$log" >&2
      rm -f "$log"
      exit 1
    fi
    [ "$attempt" -eq 1 ] && say "Another package manager holds apt's lists; waiting for it"
    sleep "${CORVANE_APT_RETRY_PAUSE:-10}"  # shorter in dev.sh's own test
  done
  rm -f "$log"
  DEBIAN_FRONTEND=noninteractive apt-get "${wait[@]}" install -y -qq "${missing[@]}" >/dev/null
}

# How CTest runs the tests, for every preset: as many at once as there are processors.
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}

# workflow PRESET: configure, build and test one of CMakePresets.json's builds.
workflow() { cmake --workflow --preset "$1"; }

# Run as root, the native tests once more as the unprivileged user "nobody", with a home of its
# own: what a file's permissions allow is what an ordinary user meets, not what root may do.
# Skipped, saying why, where nobody cannot reach the build (a clone inside a private folder).
run_tests_as_ordinary_user() {
  local dir=build home status=0
  [ "$(id -u)" -eq 0 ] || return 0
  local as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  if ! "${as_user[@]}" test -x "$dir/bin/codec_tests"; then
    say "Not run as the user \"nobody\": it cannot reach $PWD/$dir"
    return 0
  fi
  say "The tests again as the unprivileged user \"nobody\""
  home=$(mktemp -d)
  mkdir -p "$dir/Testing" "$home/tmp"
  chown -R 65534:65534 "$home" "$dir/Testing"
  "${as_user[@]}" env -i HOME="$home" TMPDIR="$home/tmp" XDG_RUNTIME_DIR="$home" PATH=/usr/bin:/bin \
    CTEST_PARALLEL_LEVEL="$CTEST_PARALLEL_LEVEL" ctest --preset native || status=$?
  chown -R 0:0 "$dir/Testing"
  rm -rf "$home"
  return "$status"
}

# Builds the two programs in build-package/ from scratch, as Debian builds a package: the flags
# are read at the first configure only, and a file built before under another
# SOURCE_DATE_EPOCH would keep that time. Then makes the Debian package and its debug symbols.
make_package() {
  corvane_debian_environment
  rm -rf build-package
  cmake --preset package >/dev/null
  cmake --build --preset package
  say "$(packaging/make-package.sh build-package)"
}

# Everything for Windows: Qt for Windows made from Debian's source once (cmake/windows-qt.sh,
# kept in ~/.cache/corvane), both programs and their tests cross-built with mingw-w64 and run
# under Wine, and the portable zip and the installer made and checked under Wine on a virtual
# display (the test WindowsPackages.made_and_checked).
windows() {
  install_missing "${WINDOWS_PACKAGES[@]}"
  CORVANE_WINDOWS_QT=$(cmake/windows-qt.sh)
  export CORVANE_WINDOWS_QT
  # Times inside what is built (Qt's resource compiler, the packages) are the last commit's.
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
  cmake --preset windows >/dev/null
  cmake --build --preset windows
  # The settings of the emulator in cmake/mingw-w64-x86_64.cmake: a prefix of the build's own,
  # no display, and no Mono or Gecko.
  local wine=(env WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
              WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= WAYLAND_DISPLAY=)
  # A fresh prefix takes a while to set up: once here, not inside the first test's time limit.
  say "Wine: preparing build-windows/wine-prefix"
  "${wine[@]}" wineboot -i >/dev/null 2>&1
  # Every test, the Windows packages' check among them (packaging/CMakeLists.txt).
  ctest --preset windows
  # Wine's server lingers after the last program; waiting for it lets the folder go at once.
  "${wine[@]}" wineserver -w
}

# tidy [FILE...]: clang-tidy (.clang-tidy's checks) on the given C++ files, or on those changed
# since main, with the native build's compile_commands.json.
tidy() {
  install_missing "${TIDY_PACKAGES[@]}"
  [ -f build/compile_commands.json ] || cmake --preset native >/dev/null
  local files=("$@")
  if [ ${#files[@]} -eq 0 ]; then
    local base
    base=$(git merge-base HEAD main 2>/dev/null || git rev-parse HEAD)
    mapfile -t files < <({ git diff --name-only "$base" -- '*.cpp'; git ls-files --others --exclude-standard -- '*.cpp'; } | sort -u |
                         while read -r file; do [ -f "$file" ] && echo "$file"; done)
  fi
  if [ ${#files[@]} -eq 0 ]; then
    say "No C++ file changed since main: name the files to check (./dev.sh tidy FILE...)"
    return 0
  fi
  say "clang-tidy on ${#files[@]} files"
  clang-tidy -p build --quiet "${files[@]}"
}

case "${1:-}" in
  run)
    install_missing
    cmake --preset native >/dev/null
    cmake --build --preset program
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      say "No display found: starting Corvane on a virtual display (Xvfb), where it is not visible."
      say "To see it, run this from a desktop session (or set DISPLAY). Stop it with Ctrl+C."
      exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/corvane
    fi
    exec build/bin/corvane
    ;;
  quick)
    install_missing
    workflow fast
    ;;
  test)
    install_missing
    workflow native
    run_tests_as_ordinary_user
    say "The codec and the companion again, under AddressSanitizer and UndefinedBehaviorSanitizer"
    workflow asan
    say "The codec and the companion again, under ThreadSanitizer"
    workflow tsan
    say "Both programs and their tests for Windows, run under Wine, and the Windows packages"
    windows
    say "The Debian package, built as Debian builds it, and its checks"
    corvane_debian_environment
    rm -rf build-package  # from scratch, as make_package says why
    cmake --workflow --preset package
    ;;
  windows)
    windows
    ;;
  package)
    install_missing "${PACKAGE_PACKAGES[@]}"
    make_package
    ;;
  bench)
    install_missing
    cmake --preset native >/dev/null
    cmake --build --preset native
    shift
    # The whole-file benchmark writes several GiB and takes minutes: only as `./dev.sh bench files`.
    # It repeats each run 11 times on its own; the others get 5 repetitions here.
    case "${1:-}" in
      files) shift; say build/bin/codec_file_bench; build/bin/codec_file_bench "$@" ;;
      batch) shift; say build/bin/codec_batch_bench; build/bin/codec_batch_bench "$@" ;;
      hover) shift; say bench/hover_cpu.sh; bench/hover_cpu.sh "$@" ;;
      responsiveness) shift; say build/bin/responsiveness_bench; build/bin/responsiveness_bench "$@" ;;
      *)
        for bench in build/bin/*_bench; do
          case "$bench" in build/bin/codec_file_bench | build/bin/codec_batch_bench | build/bin/responsiveness_bench) continue ;; esac
          say "$bench"
          "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
        done
        ;;
    esac
    ;;
  tidy)
    shift
    tidy "$@"
    ;;
  setup)
    install_missing
    install_missing "${WINDOWS_PACKAGES[@]}"
    ;;
  help | -h | --help)
    usage
    ;;
  *)
    [ -z "${1:-}" ] || say "No command \"$1\": these are the commands" >&2
    usage >&2
    exit 2
    ;;
esac
