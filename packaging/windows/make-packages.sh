#!/usr/bin/env bash
# Makes what a Windows user downloads, from a Windows build with a shared Qt (./dev.sh windows):
#   BUILD/corvane-<version>-windows-x64.zip        a portable folder: unpack it anywhere, run
#                                                  corvane.exe
#   BUILD/corvane-<version>-windows-x64-setup.exe  an installer (for all users or for one, a
#                                                  Start menu entry, an uninstaller)
# Usage: packaging/windows/make-packages.sh BUILD
# The same programs give the same zip and installer, byte for byte, in any folder at any time:
# every time inside them is SOURCE_DATE_EPOCH (by default the time of the source's last commit),
# and the zip's entries are sorted.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=$(cd "$here/../.." && pwd)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
build=$(cd "$1" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
IFS=. read -r major minor patch tweak <<<"$version"
version4=$major.$minor.$patch.${tweak:-0}
name=corvane-$version-windows-x64
stage=$build/$name
qt=$(cat "$build/windows-qt-prefix.txt")

rm -rf "$stage" "$build/$name.zip" "$build/$name-setup.exe"
mkdir -p "$stage/licenses/Qt"
cp "$build/bin/corvane.exe" "$build/bin/corvane-codec.exe" "$stage/"
while read -r file; do
  [ -n "$file" ] || continue
  mkdir -p "$stage/$(dirname "$file")"
  cp "$build/bin/$file" "$stage/$file"
done <"$build/windows-runtime.txt"
# strip writes SOURCE_DATE_EPOCH into the headers' time stamp, where it would write the time.
find "$stage" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# The licences: Corvane's, Qt's with where its source is, and the compiler runtime's (GCC's
# runtime library exception, mingw-w64's own notices).
sed 's/$/\r/' "$source/LICENSE" >"$stage/LICENSE.txt"
cp "$qt"/licenses/* "$stage/licenses/Qt/"
mkdir -p "$stage/licenses/runtime"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/runtime/gcc-mingw-w64.txt" 2>/dev/null ||
  cp /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright "$stage/licenses/runtime/gcc-mingw-w64.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/runtime/mingw-w64.txt"
sed "s/@VERSION@/$version/g" "$here/README.txt" | sed 's/$/\r/' >"$stage/README.txt"

# Every file's time is SOURCE_DATE_EPOCH; zip -X leaves out the extra fields that would carry
# each file's change time, which nothing can set.
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$build" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q "$name.zip" -@)

# The installer takes the same files, and removes exactly those again.
files=$build/installer-files.nsh
unfiles=$build/installer-unfiles.nsh
: >"$files"
: >"$unfiles"
(cd "$stage" && find . -type d | sort) | while read -r folder; do
  folder=${folder#./}
  [ "$folder" = . ] && folder=
  win=${folder//\//\\}
  printf 'SetOutPath "$INSTDIR%s"\n' "${win:+\\$win}" >>"$files"
  (cd "$stage/${folder:-.}" && find . -maxdepth 1 -type f | sort) | while read -r file; do
    file=${file#./}
    printf 'File "%s"\n' "$stage/${folder:+$folder/}$file" >>"$files"
    printf 'Delete "$INSTDIR%s\\%s"\n' "${win:+\\$win}" "$file" >>"$unfiles"
  done
done
(cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r folder; do
  folder=${folder#./}
  printf 'RMDir "$INSTDIR\\%s"\n' "${folder//\//\\}" >>"$unfiles"
done
printf 'SetOutPath "$INSTDIR"\n' >>"$files"
makensis -V2 -DVERSION="$version" -DVERSION4="$version4" -DSTAGE="$stage" -DICON="$source/ui/resources/corvane.ico" \
  -DLICENSE="$stage/LICENSE.txt" -DFILES="$files" -DUNFILES="$unfiles" -DOUTFILE="$build/$name-setup.exe" "$here/corvane.nsi" >/dev/null
echo "$build/$name.zip"
echo "$build/$name-setup.exe"
