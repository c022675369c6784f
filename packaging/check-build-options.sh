#!/usr/bin/env bash
# Checks that the package build takes its optimisation from Debian's flags alone, as Debian builds
# CMake projects: -O2 as dpkg-buildflags gives it, -O0 with DEB_BUILD_OPTIONS=noopt, and never a
# build type's -O3 or NDEBUG on top. Only configures, into a folder of its own.
# Usage: packaging/check-build-options.sh SOURCE
set -euo pipefail
source=$(cd "$1" && pwd)
source "$source/cmake/say.sh"
source "$source/packaging/debian-environment.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for options in "" noopt; do
  (
    cd "$source"
    export DEB_BUILD_OPTIONS=$options
    corvane_debian_environment
    cmake --preset package -B "$work/$options-build" >/dev/null
  )
  expected=-O2
  [ "$options" = noopt ] && expected=-O0
  # The lines that compile the programs' own files, from the build's compile_commands.json.
  lines=$(grep '"command"' "$work/$options-build/compile_commands.json")
  flags=$(grep -oE -- ' -O[0-9s]| -DNDEBUG' <<<"$lines" | sort | uniq -c)
  if [ "$(grep -oE -- ' -O[0-9s]| -DNDEBUG' <<<"$lines" | sort -u)" != " $expected" ]; then
    corvane_say "DEB_BUILD_OPTIONS='$options': the compile lines should carry $expected alone, not:"
    echo "$flags"
    status=1
  else
    corvane_say "DEB_BUILD_OPTIONS='$options': $expected alone"
  fi
done
exit "$status"
