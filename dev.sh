#!/usr/bin/env bash
# Corvane's one entry point, for people and for CI.
#   ./dev.sh run     install what is missing, build, and start Corvane
#   ./dev.sh test    install what is missing, build, and run every test
#                    (the codec's tests also under AddressSanitizer and UBSan, and on Windows)
#   ./dev.sh windows install what is missing, cross-build the codec, the companion and their
#                    tests for Windows with mingw-w64, and run the tests under Wine
#   ./dev.sh bench   install what is missing, build, and run the benchmarks
#                    (`./dev.sh bench files`: the slow whole-file benchmark)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-liberation
)
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64)

say() { printf '\033[1m[corvane]\033[0m %s\n' "$*"; }

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
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --parallel
}

run_tests() {
  local dir=$1
  ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" --timeout 300
}

# The codec, the companion and their tests for Windows, run under Wine.
windows() {
  install_missing "${WINDOWS_PACKAGES[@]}"
  build build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_GUI=OFF -DCORVANE_BENCH=OFF
  # The settings of the emulator in cmake/mingw-w64-x86_64.cmake: a prefix of the build's own,
  # no display, and no Mono or Gecko.
  local wine=(env WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
              WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= WAYLAND_DISPLAY=)
  # A fresh prefix takes a while to set up: once here, not inside the first test's time limit.
  say "Wine: preparing build-windows/wine-prefix"
  "${wine[@]}" wineboot -i >/dev/null 2>&1
  run_tests build-windows
  # Wine's server lingers after the last program; waiting for it lets the folder go at once.
  "${wine[@]}" wineserver -w
}

case "${1:-}" in
  run)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      say "No display found: starting Corvane on a virtual display (Xvfb), where it is not visible."
      say "To see it, run this from a desktop session (or set DISPLAY). Stop it with Ctrl+C."
      exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/corvane
    fi
    exec build/bin/corvane
    ;;
  test)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    run_tests build
    say "The codec and the companion again, under AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_GUI=OFF -DCORVANE_BENCH=OFF
    run_tests build-sanitize
    say "The codec and the companion again, cross-built for Windows and run under Wine"
    windows
    ;;
  windows)
    windows
    ;;
  bench)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    shift
    # The whole-file benchmark writes several GiB and takes minutes: only as `./dev.sh bench files`.
    # It repeats each run 11 times on its own; the others get 5 repetitions here.
    if [ "${1:-}" = files ]; then
      shift
      say build/bin/codec_file_bench
      build/bin/codec_file_bench "$@"
    else
      for bench in build/bin/*_bench; do
        [ "$bench" = build/bin/codec_file_bench ] && continue
        say "$bench"
        "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
      done
    fi
    ;;
  *)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
