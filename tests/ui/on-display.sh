#!/usr/bin/env bash
# Runs a Windows test program under Wine on a virtual display, with Qt's Windows platform and
# the faces Windows has (Wine's own, from fonts-wine, in C:\windows\Fonts as on Windows), at the
# given resolution: 96 dots per inch is 100 %, 120 is 125 %, 144 is 150 %, 192 is 200 %.
# Usage: tests/ui/on-display.sh DPI PREFIX PROGRAM [ARGUMENTS...]
#   PREFIX: the Wine prefix to use, made on first use and kept.
set -euo pipefail
dpi=$1 prefix=$2 program=$3
shift 3
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WAYLAND_DISPLAY=
unset QT_QPA_FONTDIR
work=$(mktemp -d)
display_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
display_pid=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

if [ ! -d "$prefix/drive_c/windows/Fonts" ]; then
  wineboot -i >/dev/null 2>&1
fi
faces=/usr/share/wine/fonts
[ -d "$faces" ] || { echo "fonts-wine is not installed: no Windows faces for $prefix" >&2; exit 1; }
cp -u "$faces"/* "$prefix/drive_c/windows/Fonts/"
for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
  wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
done
wineserver -w

# Wine does not hand QT_QPA_PLATFORM over to the program: the platform goes as an argument, with
# the font engine the desktop program chooses on Windows (platform/Application.cpp).
wine "$program" -platform windows:fontengine=freetype "$@"
