#!/usr/bin/env bash
# Makes what a Windows user downloads, from a Windows build with a shared Qt (./dev.sh windows):
#   BUILD/corvane-<version>-windows-x64.zip        a portable folder: unpack it anywhere, run
#                                                  corvane.exe
#   BUILD/corvane-<version>-windows-x64-setup.exe  an installer (for all users or for one, a
#                                                  Start menu entry, an uninstaller)
# Usage: packaging/windows/make-packages.sh BUILD
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=$(cd "$here/../.." && pwd)
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

(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")

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
