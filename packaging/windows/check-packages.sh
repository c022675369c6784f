#!/usr/bin/env bash
# Checks what a Windows user downloads, under Wine on a virtual display, as a user meets it:
# - the portable zip unpacked into a folder of its own: corvane.exe started with a file whose name
#   is not ASCII, Tab then Space press "Encode File!", and the result beside the program decodes
#   back to the file (with the zip's own corvane-codec.exe);
# - the installer through its pages (licence, all users or one, folder, and Finish, which runs
#   Corvane): the program in Program Files with a Start menu entry and a whole uninstall entry, the
#   same encode landing in Documents\Corvane;
# - the installer again, silently, into C:\Tools\Corvane: the first installation replaced, the
#   encode still landing in Documents\Corvane; the installer refusing to touch a running copy;
#   the silent uninstall (the entry's QuietUninstallString) done when it returns, the result kept;
# - the installer for the current user alone, and its uninstall;
# - the version resources (one publisher, a copyright) and the installer's DPI awareness.
# Usage: packaging/windows/check-packages.sh BUILD [SCREENSHOT.png]
#   SCREENSHOT: where to keep a picture of the main window under Wine, taken before the keys.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../cmake/say.sh"
say() { corvane_say "$@"; }
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
# The faces a Windows system has (Wine's own, from fonts-wine), where Windows keeps them.
cp /usr/share/wine/fonts/* "$drive/windows/Fonts/" || fail "fonts-wine is not installed"

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

# reg_value ROOT VALUE: a value of Corvane's uninstall entry in ROOT (HKLM or HKCU), or nothing.
reg_value() {
  wine reg query "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Corvane" /v "$2" 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

# run_line LINE: runs a Windows command line as Windows' installed programs list runs it, through
# a batch file, which waits for every program it starts.
run_line() {
  printf '@%s\r\n' "$1" >"$drive/run.bat"
  wine cmd /c 'C:\run.bat' >/dev/null 2>&1
}

# entry_is_whole ROOT FOLDER: the uninstall entry in ROOT names FOLDER and has everything Windows'
# list of programs shows.
entry_is_whole() {
  local root=$1 folder=$2 value
  [ "$(reg_value "$root" InstallLocation)" = "$folder" ] || fail "$root's uninstall entry names $(reg_value "$root" InstallLocation), not $folder"
  for value in DisplayName DisplayVersion Publisher DisplayIcon URLInfoAbout HelpLink UninstallString QuietUninstallString EstimatedSize; do
    [ -n "$(reg_value "$root" "$value")" ] || fail "$root's uninstall entry lacks $value"
  done
  [ "$(reg_value "$root" Publisher)" = "The Corvane developers" ] || fail "the uninstall entry's Publisher is $(reg_value "$root" Publisher)"
  [ "$(reg_value "$root" DisplayVersion)" = "$version" ] || fail "the uninstall entry's version is $(reg_value "$root" DisplayVersion)"
}

# uninstall ROOT FOLDER: runs the entry's QuietUninstallString; once it returns, the folder, the
# Start menu entry and the uninstall entry must be gone.
uninstall() {
  local root=$1 folder=$2 menu=$3
  local line
  line=$(reg_value "$root" QuietUninstallString)
  run_line "$line" || fail "the silent uninstall ($line) failed"
  [ -e "$folder" ] && fail "the silent uninstall returned before it was done: left $(cd "$folder" && find . | head -n 5 | tr '\n' ' ')"
  [ -e "$menu" ] && fail "the uninstaller left the Start menu entry $menu"
  [ -z "$(reg_value "$root" InstallLocation)" ] || fail "the uninstaller left its uninstall entry in $root"
}

# The versions and copyright as Windows shows them in a file's properties, with one publisher.
for file in "$build/$name/corvane.exe" "$build/$name/corvane-codec.exe" "$build/$name-setup.exe"; do
  texts=$(strings -el "$file")
  for text in 'The Corvane developers' LegalCopyright CompanyName; do
    grep -qxF "$text" <<<"$texts" || fail "$(basename "$file")'s version resource lacks '$text'"
  done
  # "© 2026 The Corvane developers" in UTF-16, as the version resource holds it.
  LC_ALL=C grep -qaP '\xa9\x00 \x002\x000\x002\x006\x00 \x00T\x00h\x00e\x00 \x00C\x00o\x00r\x00v' "$file" ||
    fail "$(basename "$file")'s version resource lacks its copyright"
done
# One C++ runtime in the desktop program's process: the DLL that Qt's own DLLs load.
imports=$(x86_64-w64-mingw32-objdump -p "$build/$name/corvane.exe" | sed -n 's/^\tDLL Name: //p')
grep -qx 'libstdc++-6.dll' <<<"$imports" || fail "corvane.exe carries a C++ runtime of its own beside Qt's libstdc++-6.dll"
imports=$(x86_64-w64-mingw32-objdump -p "$build/$name/corvane-codec.exe" | sed -n 's/^\tDLL Name: //p')
grep -qix -e 'libstdc++-6.dll' -e 'libgcc_s_seh-1.dll' -e 'libwinpthread-1.dll' <<<"$imports" &&
  fail "corvane-codec.exe needs the compiler's runtime DLLs"

grep -q 'dpiAware' "$build/$name-setup.exe" || fail "the installer is not DPI-aware"

say "The installer: $name-setup.exe, with its pages, for all users"
cp "$build/$name-setup.exe" "$drive/users/$user/Downloads/"
setup="C:\\users\\$user\\Downloads\\$name-setup.exe"
installed=$drive/Program\ Files/Corvane
all_menu=$drive/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Corvane.lnk
wine "$setup" >/dev/null 2>&1 &
setup_pid=$!
window=$(timeout 60 xdotool search --sync --name "^Corvane $version Setup" | head -n 1) || fail "the installer showed no window"
# The licence, the choice of all users or one, the folder: Enter takes each page's default
# button (I Agree, Next, Install); the last page's Finish runs Corvane, as its box is ticked.
# A key lost on its way through Wine is known by the page that stays: Enter is pressed again
# every few seconds until the files are there, then until Corvane's window is.
for tick in $(seq 300); do
  [ -f "$installed/Uninstall.exe" ] && [ -f "$all_menu" ] && break
  (( tick % 15 == 1 )) && { xdotool windowactivate --sync "$window" key Return >/dev/null 2>&1 || true; }
  sleep 0.2
done
[ -f "$installed/corvane.exe" ] || fail "the installer put no corvane.exe in Program Files\\Corvane"
app=
for tick in $(seq 300); do
  app=$(xdotool search --name '^Corvane - File Encoder/Decoder$' 2>/dev/null | head -n 1) || true
  [ -n "$app" ] && break
  if (( tick % 25 == 10 )) && kill -0 "$setup_pid" 2>/dev/null; then
    xdotool windowactivate --sync "$window" key Return >/dev/null 2>&1 || true
  fi
  sleep 0.2
done
[ -n "$app" ] || fail "the installer's last page did not run Corvane"
wait "$setup_pid" || fail "the installer failed"
xdotool windowactivate --sync "$app" key --delay 200 alt+F4 >/dev/null 2>&1 || true
wineserver -w
[ -f "$all_menu" ] || fail "the installer made no Start menu entry for all users"
entry_is_whole HKLM 'C:\Program Files\Corvane'
result=$drive/users/$user/Documents/Corvane/Encoded\ File\(s\)/$plain_name
press_encode "C:\\Program Files\\Corvane\\corvane.exe" "$result"
[ -e "$installed/Encoded File(s)" ] && fail "the installed copy wrote into Program Files"
decodes_back "C:\\Program Files\\Corvane\\corvane-codec.exe" "$result"
rm "$result"

say "The installer again, silently, into a folder of the user's choice: the first copy is replaced"
tools=$drive/Tools/Corvane
wine "$setup" /S '/D=C:\Tools\Corvane' >/dev/null 2>&1 || fail "the silent installer failed"
[ -e "$installed" ] && fail "the earlier installation in Program Files was left: $(cd "$installed" && find . | head -n 5 | tr '\n' ' ')"
[ -f "$tools/corvane.exe" ] || fail "the installer put no corvane.exe in C:\\Tools\\Corvane"
entry_is_whole HKLM 'C:\Tools\Corvane'
[ -f "$all_menu" ] || fail "the Start menu entry went with the earlier installation"
press_encode 'C:\Tools\Corvane\corvane.exe' "$result"
[ -e "$tools/Encoded File(s)" ] && fail "the copy installed into C:\\Tools\\Corvane wrote beside itself"
decodes_back 'C:\Tools\Corvane\corvane-codec.exe' "$result"

say "The installer while Corvane runs: it leaves the running copy alone"
wine 'C:\Tools\Corvane\corvane.exe' >/dev/null 2>&1 &
app_pid=$!
app=$(timeout 60 xdotool search --sync --name '^Corvane - File Encoder/Decoder$' | head -n 1) || fail "corvane.exe showed no window"
status=0
wine "$setup" /S >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "the installer over a running Corvane ended with status $status, not 2"
[ -f "$tools/corvane.exe" ] && [ -f "$tools/Uninstall.exe" ] || fail "the installer over a running Corvane removed its files"
xdotool windowactivate --sync "$app" key --delay 200 alt+F4 >/dev/null 2>&1 || true
for _ in $(seq 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
wineserver -w

say "The silent uninstaller, as Windows' list of programs names it"
uninstall HKLM "$tools" "$all_menu"
[ -s "$result" ] || fail "the uninstaller removed the user's result"

say "The installer for the current user alone"
wine "$setup" /S /CurrentUser >/dev/null 2>&1 || fail "the installer for the current user failed"
mine=$drive/users/$user/AppData/Local/Programs/Corvane
user_menu=$drive/users/$user/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Corvane.lnk
[ -f "$mine/corvane.exe" ] || fail "the installer for the current user put no corvane.exe in AppData\\Local\\Programs\\Corvane"
[ -f "$user_menu" ] || fail "the installer for the current user made no Start menu entry of that user's"
[ -z "$(reg_value HKLM InstallLocation)" ] || fail "the installer for the current user wrote an entry for all users"
entry_is_whole HKCU "C:\\users\\$user\\AppData\\Local\\Programs\\Corvane"
uninstall HKCU "$mine" "$user_menu"
say "The Windows packages passed their checks"
