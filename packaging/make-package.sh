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
ls "$build"/corvane_*.deb
