#!/usr/bin/env bash
# Corvane's one entry point, for people and for CI.
#   ./dev.sh run     install what is missing, build, and start Corvane
#   ./dev.sh test    install what is missing, build, and run every test
#                    (the codec's tests also under AddressSanitizer and UBSan, then under
#                    ThreadSanitizer, and all on Windows)
#   ./dev.sh windows install what is missing, make Qt for Windows from Debian's source (once,
#                    35 to 90 minutes; kept in ~/.cache/corvane), cross-build both programs and
#                    their tests with mingw-w64, run the tests under Wine, and make and check
#                    the portable zip and the installer
#   ./dev.sh bench   install what is missing, build, and run the benchmarks
#                    (`./dev.sh bench files`: the slow whole-file benchmark;
#                    `./dev.sh bench batch`: 5,000 small files against cp and one sync;
#                    `./dev.sh bench responsiveness`: the windows during a 2 GiB encode;
#                    `./dev.sh bench hover`: processor time with the pointer resting on a button)
#   ./dev.sh package install what the package needs, build only the programs with Debian's
#                    flags (hardening, bind-now, fortify) in build-package/, and make the
#                    Debian package build-package/corvane_<version>_<arch>.deb
#                    (`./dev.sh test` also makes and checks it)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# What the programs and their Debian package need; the rest is for the tests and benchmarks.
PACKAGE_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxkbcommon-dev dpkg-dev file)
PACKAGES=(
  "${PACKAGE_PACKAGES[@]}" qt6-base-private-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core fonts-liberation fonts-wine
  lintian desktop-file-utils appstream xdotool dbus at-spi2-core strace
)
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 qt6-base-dev dpkg-dev
                  nsis zip xvfb xauth openbox xdotool imagemagick fonts-wine)

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

# How CTest runs the tests, for every user.
ctest_options=(--output-on-failure --parallel "$(nproc)" --timeout 300)

run_tests() {
  local dir=$1; shift
  ctest --test-dir "$dir" "${ctest_options[@]}" "$@"
}

# Run as root, the tests of DIR once more as the unprivileged user "nobody", with a home of its
# own: what a file's permissions allow is what an ordinary user meets, not what root may do.
# Skipped, saying why, where nobody cannot reach the build (a clone inside a private folder).
run_tests_as_ordinary_user() {
  local dir=$1 home status=0
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
    ctest --test-dir "$dir" "${ctest_options[@]}" || status=$?
  chown -R 0:0 "$dir/Testing"
  rm -rf "$home"
  return "$status"
}

# Builds the two programs alone in build-package/, with the flags Debian builds its packages
# with (every hardening feature, bind-now among them, and _FORTIFY_SOURCE), makes the Debian
# package from them (stripped as Debian strips) and prints its path.
make_package() {
  local flags=(env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get)
  build build-package -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$("${flags[@]}" CPPFLAGS) $("${flags[@]}" CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$("${flags[@]}" LDFLAGS)" >&2
  rm -f build-package/corvane_*.deb
  cpack --config build-package/CPackConfig.cmake -B build-package >/dev/null
  ls build-package/corvane_*.deb
}

# Builds the package and checks it the way a user meets it: its desktop entry, AppStream data
# and lintian's verdict, the files it holds, and the programs unpacked from it, the desktop
# program used by an ordinary user whose results must land in that user's documents folder.
check_package() (
  local deb root home version
  deb=$(make_package)
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
  say "Checking $deb"
  root=$(mktemp -d)
  home=$(mktemp -d)
  trap 'rm -rf "$root" "$home"' EXIT
  dpkg-deb -x "$deb" "$root"
  chmod 755 "$root"

  local entry=$root/usr/share/applications/org.corvane.Corvane.desktop
  desktop-file-validate "$entry"
  appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/org.corvane.Corvane.metainfo.xml" >/dev/null
  # Every tag at every level, the experimental ones too: none is left that a change of ours removes.
  lintian --allow-root --display-info --display-experimental --pedantic \
    --fail-on error,warning,info,pedantic,experimental "$deb"

  # A MIME type in the menu entry would make Corvane the opener of such files (xdg-mime,
  # /etc/mailcap); "Open With" offers it for any file without one.
  if grep -q '^MimeType=' "$entry" || grep -qi '<mimetype' "$root/usr/share/metainfo/org.corvane.Corvane.metainfo.xml"; then
    say "The package claims MIME types: $(grep '^MimeType=' "$entry")"
    exit 1
  fi
  # Built as Debian builds: position-independent, bound at start (bind-now), fortified, and
  # stripped down to what runs.
  local program
  for program in corvane corvane-codec; do
    local elf=$root/usr/bin/$program dynamic sections symbols
    dynamic=$(readelf -d "$elf")
    sections=$(readelf -S "$elf")
    symbols=$(nm -D "$elf")
    grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" || { say "$program is not bound at start (bind-now)"; exit 1; }
    grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || { say "$program is not position-independent"; exit 1; }
    grep -q ' U __[a-z]*_chk@' <<<"$symbols" || { say "$program calls no fortified functions"; exit 1; }
    ! grep -qE ' \.(comment|note|symtab|debug_info) ' <<<"$sections" || { say "$program is not stripped"; exit 1; }
  done
  # The manual pages say what changes the programs' behaviour, and the companion's page what
  # happens to a replaced file's permissions and when its reader goes away.
  local page
  for page in corvane corvane-codec; do
    local text
    text=$(zcat "$root/usr/share/man/man1/$page.1.gz")
    for word in '.SH ENVIRONMENT' CORVANE_CODEC_KERNEL CORVANE_TEMPORARY_FILE CORVANE_READ_AHEAD; do
      grep -qF -- "$word" <<<"$text" || { say "$page(1) lacks $word"; exit 1; }
    done
  done
  for word in SIGPIPE 'permission bits' umask; do  # in $text, the loop's last page
    grep -qF -- "$word" <<<"$text" || { say "corvane-codec(1) lacks $word"; exit 1; }
  done

  local listing path
  listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for path in bin/corvane bin/corvane-codec share/applications/org.corvane.Corvane.desktop \
      share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/org.corvane.Corvane.png \
      share/metainfo/org.corvane.Corvane.metainfo.xml share/man/man1/corvane.1.gz \
      share/man/man1/corvane-codec.1.gz share/bash-completion/completions/corvane-codec \
      share/doc/corvane/copyright share/doc/corvane/changelog.gz; do
    grep -qxF "./usr/$path" <<<"$listing" || { say "The package lacks /usr/$path"; exit 1; }
  done

  local bin=$root/usr/bin
  head -c 300000 /dev/urandom >"$home/plain"
  "$bin/corvane-codec" encode "$home/plain" "$home/coded"
  if cmp -s "$home/plain" "$home/coded"; then say "corvane-codec encode changed nothing"; exit 1; fi
  "$bin/corvane-codec" decode "$home/coded" "$home/back"
  cmp "$home/plain" "$home/back"
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/corvane" --version)" = "corvane $version" ]
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/corvane" --help | grep -q '^Usage: corvane'

  # As root, the desktop program runs as the unprivileged user "nobody".
  cp build/bin/unpacked_program_test "$bin/"
  mkdir -m 700 "$home/runtime"
  printf 'plain words\n' >"$home/note.txt"
  local as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  local user_env=(env -i HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin)
  "${as_user[@]}" "${user_env[@]}" QT_QPA_PLATFORM=offscreen "$bin/unpacked_program_test" --gtest_brief=1
  "${as_user[@]}" "${user_env[@]}" bash -c "$(declare -f say press_encode); press_encode '$bin' '$home/note.txt' \
    '$(sed -n 's/^StartupWMClass=//p' "$entry")'"
  [ "$("$bin/corvane-codec" decode "$home/Documents/Corvane/Encoded File(s)/note.txt" -)" = "plain words" ]
  [ "$(ls "$bin")" = "$(printf '%s\n' corvane corvane-codec unpacked_program_test)" ]
  say "The package passed its checks"
)

# Starts the unpacked corvane on FILE on a virtual display, checks that its window's class
# (WM_CLASS) is CLASS, the menu entry's StartupWMClass, and, as a person would, presses Tab
# to reach "Encode File!" and Space to press it; waits at most 30 s for the encoded file.
press_encode() {
  local bin=$1 file=$2 class=$3 result pid status=0
  result="$HOME/Documents/Corvane/Encoded File(s)/$(basename "$file")"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$HOME/display" 2>/dev/null &
  pid=$!
  for _ in $(seq 300); do [ -s "$HOME/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$HOME/display")"
  "$bin/corvane" "$file" 2>/dev/null &
  local app=$! window
  window=$(timeout 30 xdotool search --sync --name '^Corvane - File Encoder/Decoder$' | head -n 1) || status=1
  if [ "$status" -eq 0 ] && ! xdotool search --class "^$class\$" | grep -qx "$window"; then
    say "corvane's window is not of the class '$class' its menu entry names"
    status=1
  fi
  if [ "$status" -eq 0 ]; then
    xdotool windowfocus --sync "$window" key --delay 100 Tab space
    for _ in $(seq 300); do [ -f "$result" ] && break; sleep 0.1; done
    [ -f "$result" ] || { say "corvane wrote no $result"; status=1; }
  else
    say "corvane showed no window"
  fi
  kill "$app" "$pid" 2>/dev/null
  wait "$app" "$pid" 2>/dev/null
  return "$status"
}

# Everything for Windows: Qt for Windows made from Debian's source once (cmake/windows-qt.sh,
# kept in ~/.cache/corvane), both programs and their tests cross-built with mingw-w64 and run
# under Wine, then the portable zip and the installer, checked under Wine on a virtual display.
windows() {
  install_missing "${WINDOWS_PACKAGES[@]}"
  local qt
  qt=$(cmake/windows-qt.sh)
  # Times inside what is built (Qt's resource compiler, the packages) are the last commit's.
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
  build build-windows -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCORVANE_BENCH=OFF
  # The settings of the emulator in cmake/mingw-w64-x86_64.cmake: a prefix of the build's own,
  # no display, and no Mono or Gecko.
  local wine=(env WINEPREFIX="$PWD/build-windows/wine-prefix" WINEDEBUG=-all
              WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= WAYLAND_DISPLAY=)
  # A fresh prefix takes a while to set up: once here, not inside the first test's time limit.
  say "Wine: preparing build-windows/wine-prefix"
  "${wine[@]}" wineboot -i >/dev/null 2>&1
  # Under Wine a test now and then stalls while two of them start at once: such a test gets a
  # second run before it counts as failed.
  run_tests build-windows --repeat until-pass:2
  # Wine's server lingers after the last program; waiting for it lets the folder go at once.
  "${wine[@]}" wineserver -w
  say "Making the Windows packages"
  packaging/windows/make-packages.sh build-windows
  # The packages under Wine on a virtual display, driven by keys as a person would use them.
  packaging/windows/check-packages.sh build-windows
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
    run_tests_as_ordinary_user build
    say "The codec and the companion again, under AddressSanitizer and UndefinedBehaviorSanitizer"
    build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON -DCORVANE_GUI=OFF -DCORVANE_BENCH=OFF
    run_tests build-sanitize
    say "The codec and the companion again, under ThreadSanitizer"
    build build-tsan -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=thread -DCORVANE_GUI=OFF -DCORVANE_BENCH=OFF
    run_tests build-tsan
    say "Both programs and their tests for Windows, run under Wine, and the Windows packages"
    windows
    check_package
    ;;
  windows)
    windows
    ;;
  package)
    install_missing "${PACKAGE_PACKAGES[@]}"
    say "$(make_package)"
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
    elif [ "${1:-}" = batch ]; then
      shift
      say build/bin/codec_batch_bench
      build/bin/codec_batch_bench "$@"
    elif [ "${1:-}" = hover ]; then
      shift
      say bench/hover_cpu.sh
      bench/hover_cpu.sh "$@"
    elif [ "${1:-}" = responsiveness ]; then
      shift
      say build/bin/responsiveness_bench
      build/bin/responsiveness_bench "$@"
    else
      for bench in build/bin/*_bench; do
        case "$bench" in build/bin/codec_file_bench | build/bin/codec_batch_bench | build/bin/responsiveness_bench) continue ;; esac
        say "$bench"
        "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
      done
    fi
    ;;
  *)
    sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
