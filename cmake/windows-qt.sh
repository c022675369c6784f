#!/usr/bin/env bash
# Makes Qt for Windows (shared libraries, mingw-w64) from Debian's own source package of the Qt
# that is installed for the Linux build, and prints the folder it is installed in.
#
#   cmake/windows-qt.sh            build it if it is not there yet; print its folder
#   cmake/windows-qt.sh --where    print the folder only (empty output when it is not built)
#
# The folder is kept between runs, outside any build tree:
#   ${CORVANE_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane}/qt-<version>-windows-<options>
# where <options> is a digest of the configure options below and of this script's toolchain, so
# that changing one makes a new folder instead of reusing a Qt built differently. The source comes
# through a private apt sources list and state folder; the system's apt settings are not touched.
# Messages go to standard error; the build's own log to <folder>.log.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/say.sh"
say() { corvane_say "$@" >&2; }
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)   # 6.4.2+dfsg-10, say
upstream=${version%%+*}
upstream=${upstream%%-*}

# Everything Corvane does not use is left out: each of these saves part of the ~1,000 steps.
# tabletevent: Debian's repack removed the tablet sources. dynamicgl goes with opengl. Without
# Direct2D, Qt 6.4 leaves out the DirectWrite 3 font database that the Windows platform plugin
# would then ask for, so that goes too (the plugin uses its GDI one). FreeType stays (Qt's own
# copy): the offscreen platform, which the tests use, draws text with it on Windows.
OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_direct2d=OFF
  -DFEATURE_directwrite3=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_openssl=OFF
  -DFEATURE_vulkan=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF
)
digest=$( (printf '%s\n' "${OPTIONS[@]}"; cat "$here/mingw-w64-x86_64.cmake") | sha256sum | cut -c1-12)
cache=${CORVANE_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/corvane}
prefix=$cache/qt-$upstream-windows-$digest

# fetch_source FOLDER LOG: Debian's source of the installed Qt, unpacked into FOLDER/qtbase,
# through apt settings of our own.
fetch_source() {
  local folder=$1 log=$2
  mkdir -p "$folder/lists/partial"
  cat >"$folder/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
EOF
  local apt=(apt-get -q -o Dir::Etc::SourceList="$folder/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$folder/lists" -o APT::Sandbox::User=root)
  say "Fetching the source of qt6-base $version"
  "${apt[@]}" update >>"$log" 2>&1
  (cd "$folder" && { "${apt[@]}" source --download-only "qt6-base=$version" >>"$log" 2>&1 ||
                     "${apt[@]}" source --download-only qt6-base >>"$log" 2>&1; })
  local dsc
  dsc=$(ls "$folder"/qt6-base_*.dsc | head -n 1)
  dpkg-source --no-check -x "$dsc" "$folder/qtbase" >>"$log" 2>&1
}

# keep_notices SOURCE PREFIX: what the licence asks to ship beside the libraries: Qt's licences,
# Debian's copyright file (every third-party part and its licence) and where the source is.
keep_notices() {
  local source=$1 notices=$2/licenses package
  mkdir -p "$notices"
  cp "$source"/LICENSES/* "$notices/"
  cp "$source/debian/copyright" "$notices/debian-copyright"
  package=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
  cat >"$notices/SOURCE.txt" <<EOF
These Qt libraries are Qt $upstream (qtbase), built for Windows with mingw-w64 from Debian's
source package qt6-base $package, unchanged but for the build options. That source is available
from Debian (https://sources.debian.org/src/qt6-base/$package/, or "apt-get source
qt6-base=$package" on Debian 12). Qt is licensed under the LGPL 3.0 (LGPL-3.0-only.txt); the
other licences here cover Qt's bundled third-party parts, which debian-copyright lists.
EOF
}

if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  if [ ! -f "$prefix/licenses/SOURCE.txt" ] && [ "${1:-}" != --where ]; then
    # A Qt kept from before its notices were kept with it.
    notes=$(mktemp -d)
    fetch_source "$notes" "$notes/log"
    keep_notices "$notes/qtbase" "$prefix"
    rm -rf "$notes"
  fi
  echo "$prefix"
  exit 0
fi
[ "${1:-}" = --where ] && exit 0

say "Qt $upstream for Windows is not built yet: making it from Debian's source package into"
say "  $prefix"
say "This is done once and kept. It takes 35 to 90 minutes on two cores (about 1,000 steps);"
say "the log is $prefix.log."

work=$cache/work-$upstream-$digest
rm -rf "$work"
mkdir -p "$work/lists/partial" "$cache"
log=$prefix.log
: >"$log"

fetch_source "$work" "$log"

say "Configuring (about a minute)"
cmake -G Ninja -S "$work/qtbase" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_EXE_LINKER_FLAGS_INIT= \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix.partial" "${OPTIONS[@]}" >>"$log" 2>&1

say "Building with $(nproc) jobs"
start=$(date +%s)
cmake --build "$work/build" --parallel "$(nproc)" >>"$log" 2>&1 || {
  say "The build of Qt for Windows failed; the end of $log:"
  tail -n 30 "$log" >&2
  exit 1
}
rm -rf "$prefix.partial"
cmake --install "$work/build" >>"$log" 2>&1
keep_notices "$work/qtbase" "$prefix.partial"
# Installed under a temporary name and renamed at the end: a build that stops half way is never
# taken for a finished one.
mv "$prefix.partial" "$prefix"
# The install's toolchain file names the prefix it was installed in.
grep -rl --null "$prefix.partial" "$prefix/lib/cmake" 2>/dev/null | xargs -0 -r sed -i "s|$prefix.partial|$prefix|g"
rm -rf "$work"
say "Qt for Windows built in $(( ($(date +%s) - start) / 60 )) minutes"
echo "$prefix"
