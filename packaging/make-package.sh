#!/usr/bin/env bash
# Makes the Debian package from a package build (`cmake --preset package`, then
# `cmake --build --preset package`, in the environment of packaging/debian-environment.sh):
#   BUILD/corvane_<version>_<arch>.deb            the programs and their files
#   BUILD/corvane-dbgsym_<version>_<arch>.ddeb    their debug symbols (not with nostrip)
# and prints the .deb's path. Usage: packaging/make-package.sh BUILD
set -euo pipefail
build=$(cd "$1" && pwd)
# Files and folders made while packing get the permissions Debian's own builds give them,
# whatever the caller's umask.
umask 022
rm -f "$build"/corvane_*.deb "$build"/corvane-dbgsym_*.ddeb
cpack --config "$build/CPackConfig.cmake" -B "$build" >/dev/null

# CPack writes the debug-symbol package's md5sums with the absolute paths of its own staging
# folder, which dpkg cannot check and which differ from one build folder to the next: the
# package is made again from its own files with the paths dpkg expects. (dpkg-deb sorts the
# entries and takes SOURCE_DATE_EPOCH as their time.)
for ddeb in "$build"/corvane-dbgsym_*.ddeb; do
  [ -e "$ddeb" ] || continue
  tree=$(mktemp -d)
  dpkg-deb -R "$ddeb" "$tree/package"
  (cd "$tree/package" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
  dpkg-deb --root-owner-group -Zgzip --build "$tree/package" "$ddeb" >/dev/null
  rm -rf "$tree"
done
ls "$build"/corvane_*.deb
