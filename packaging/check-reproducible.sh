#!/usr/bin/env bash
# Checks that the Debian package is the same, byte for byte, when made again from the same
# source in another folder, later, by a builder whose umask is 0002: the package and its debug
# symbols of BUILD (made there if missing) against those of a second package build.
# Usage: packaging/check-reproducible.sh BUILD [SOURCE_DATE_EPOCH]
#   SOURCE_DATE_EPOCH: the time BUILD was built with (packaging/debian-environment.sh).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source=$(cd "$here/.." && pwd)
source "$source/cmake/say.sh"
source "$here/debian-environment.sh"
say() { corvane_say "$@"; }

build=$(cd "$1" && pwd)
[ -z "${2:-}" ] || export SOURCE_DATE_EPOCH=$2
ls "$build"/corvane_*.deb >/dev/null 2>&1 || "$here/make-package.sh" "$build" >/dev/null
first=$(ls "$build"/corvane_*.deb "$build"/corvane-dbgsym_*.ddeb)

# The same files the first build read (tracked and new, not ignored), with the times of a
# fresh checkout, in a folder of another name and length.
copy=$(mktemp -d "${TMPDIR:-/tmp}/corvane-made-again.XXXXXXXX")
trap 'rm -rf "$copy"' EXIT
mkdir "$copy/source-tree"
(cd "$source" && git ls-files -z --cached --others --exclude-standard |
   while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
   tar --null -T - -cf -) | tar -C "$copy/source-tree" -xf -
find "$copy/source-tree" -exec touch {} +

say "Making the package again in $copy/source-tree, under umask 0002"
(
  cd "$copy/source-tree"
  umask 0002
  corvane_debian_environment
  cmake --preset package >/dev/null
  cmake --build --preset package >/dev/null
  packaging/make-package.sh build-package >/dev/null
)
status=0
for file in $first; do
  again=$copy/source-tree/build-package/$(basename "$file")
  if cmp "$file" "$again"; then
    say "Identical: $(basename "$file")"
  else
    status=1
    # Kept beside the first for a closer look.
    mkdir -p "$build/made-again"
    cp "$again" "$build/made-again/"
    say "Different: $(basename "$file"); the second is kept in $build/made-again"
    if command -v diffoscope >/dev/null; then
      diffoscope "$file" "$again" || true
    else
      diff <(dpkg-deb -c "$file") <(dpkg-deb -c "$again") || true
    fi
  fi
done
exit "$status"
