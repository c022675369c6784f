#!/usr/bin/env bash
# Checks what a Windows user downloads, under Wine on a virtual display, as a user meets it:
# - the portable zip unpacked into a folder of its own: corvane.exe started with a file whose name
#   is not ASCII, Tab then Space press "Encode File!", and the result beside the program decodes
#   back to the file (with the zip's own corvane-codec.exe);
# - the installer run silently: the program in Program Files with a Start menu entry, the same
#   encode landing in Documents\Corvane, and the silent uninstaller removing the program but not
#   the result.
# Usage: packaging/windows/check-packages.sh BUILD [SCREENSHOT.png]
#   SCREENSHOT: where to keep a picture of the main window under Wine, taken before the keys.
set -euo pipefail
say() { printf '\033[1m[corvane]\033[0m %s\n' "$*"; }
fail() { say "$*"; exit 1; }

build=$(cd "$1" && pwd)
screenshot=${2:-}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=corvane-$version-windows-x64
home=$(mktemp -d)
display_pid=
cleanup() {
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  WINEPREFIX="$home/wine" wineserver -k 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# A user's own Wine prefix and home, so nothing of this machine's is touched.
export HOME=$home WINEPREFIX=$home/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$home/display" 2>/dev/null &
display_pid=$!
for _ in $(seq 300); do [ -s "$home/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$home/display")"
openbox >/dev/null 2>&1 &
say "Wine: preparing a user's prefix"
wineboot -i >/dev/null 2>&1
drive=$WINEPREFIX/drive_c
user=$(ls "$drive/users" | grep -vx Public | head -n 1)

plain_name='dæmon-日本.txt'
mkdir -p "$drive/users/$user/Desktop"
plain=$drive/users/$user/Desktop/$plain_name
head -c 100000 /dev/urandom >"$plain"
plain_windows="C:\\users\\$user\\Desktop\\$plain_name"

# press_encode PROGRAM RESULT [SCREENSHOT]: starts PROGRAM (a Windows path) on the plain file,
# presses Tab and Space as a person would, and waits at most 30 s for RESULT (a Linux path). A key
# lost on its way through Wine is known by its missing effect: the program is then ended and
# started once more before the check fails.
press_encode() {
  local program=$1 result=$2 picture=${3:-} window app attempt
  for attempt in 1 2; do
    wine "$program" "$plain_windows" >/dev/null 2>&1 &
    app=$!
    window=$(timeout 60 xdotool search --sync --name '^Corvane - File Encoder/Decoder$' | head -n 1) ||
      fail "$program showed no main window"
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
    sleep 1
    if [ -n "$picture" ]; then
      import -window root "$picture"
    fi
    xdotool key --delay 200 Tab space
    for _ in $(seq 300); do [ -s "$result" ] && break; sleep 0.1; done
    # The result is complete once its name appears: the program writes it under a temporary name.
    # Leaving as a person would, Alt+F4; a program still there after 20 s is ended.
    [ -s "$result" ] && xdotool key --delay 200 alt+F4
    for _ in $(seq 200); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    kill "$app" 2>/dev/null && say "$program did not end on Alt+F4 (attempt $attempt); ended it"
    wait "$app" 2>/dev/null || true
    wineserver -w
    [ -s "$result" ] && return
    say "$program wrote no $result after Tab and Space (attempt $attempt)"
  done
  fail "$program wrote no $result"
}

# decodes_back CODEC RESULT: the result differs from the plain file and decodes back to it.
decodes_back() {
  local codec=$1 result=$2
  cmp -s "$plain" "$result" && fail "$result is the plain file unchanged"
  local result_windows back_windows="C:\\users\\$user\\back.txt"
  result_windows=$(winepath -w "$result" 2>/dev/null)
  wine "$codec" decode "$result_windows" "$back_windows" >/dev/null 2>&1 || fail "$codec could not decode $result"
  cmp "$plain" "$drive/users/$user/back.txt" || fail "$result does not decode back to the plain file"
  rm "$drive/users/$user/back.txt"
}

say "The portable zip: $name.zip"
portable=$drive/users/$user/Downloads
mkdir -p "$portable"
(cd "$portable" && cmake -E tar xf "$build/$name.zip")
press_encode "C:\\users\\$user\\Downloads\\$name\\corvane.exe" "$portable/$name/Encoded File(s)/$plain_name" "$screenshot"
decodes_back "C:\\users\\$user\\Downloads\\$name\\corvane-codec.exe" "$portable/$name/Encoded File(s)/$plain_name"

say "The installer: $name-setup.exe"
cp "$build/$name-setup.exe" "$drive/users/$user/Downloads/"
wine "C:\\users\\$user\\Downloads\\$name-setup.exe" /S >/dev/null 2>&1 || fail "the installer failed"
wineserver -w
installed=$drive/Program\ Files/Corvane
[ -f "$installed/corvane.exe" ] || fail "the installer put no corvane.exe in Program Files\\Corvane"
[ -f "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane.lnk" ] || fail "the installer made no Start menu entry"
result=$drive/users/$user/Documents/Corvane/Encoded\ File\(s\)/$plain_name
press_encode "C:\\Program Files\\Corvane\\corvane.exe" "$result"
[ -e "$installed/Encoded File(s)" ] && fail "the installed copy wrote into Program Files"
decodes_back "C:\\Program Files\\Corvane\\corvane-codec.exe" "$result"
wine "C:\\Program Files\\Corvane\\Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
wineserver -w
[ -e "$installed" ] && fail "the uninstaller left $(cd "$installed" && find . | head -n 5 | tr '\n' ' ')"
[ -e "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvane.lnk" ] && fail "the uninstaller left the Start menu entry"
[ -s "$result" ] || fail "the uninstaller removed the user's result"
say "The Windows packages passed their checks"
