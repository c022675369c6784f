#!/usr/bin/env bash
# A walk of the real program as a person meets it: the built corvane, started as a user starts it
# on a virtual display (Xvfb) with a real window manager (openbox), driven from outside by its
# pointer and keys (xdotool) at a person's pace. After every step the walk waits for the windows
# the step should leave on the screen, then reads them for a while, as a person reads a box
# before answering it, and takes the list of visible top-level windows with their titles again:
# a window that appears where none is expected, or one that stays, fails the walk. Each step's
# screen is kept as a picture.
#
# Files are dropped onto the program as a person drops them from a file manager: dragged out of
# a small window of the walk's own (DRAG_SOURCE) by the pointer, they cross to the program through
# the window system. Under Wine no drop is walked.
#
# Usage: tests/walk/walk.sh PROGRAM DRAG_SOURCE
#        tests/walk/walk.sh --wine DPI PROGRAM.exe
# CORVANE_WALK_SHOTS=FOLDER keeps the pictures (NN-step.png) there; otherwise they go with the
# walk's scratch folder. CORVANE_WALK_PAUSE sets the reading time in seconds (default 1.5).
# CORVANE_WALK_SCALE=2 walks the program at QT_SCALE_FACTOR=2, as on a high-density screen (its
# pictures then go into the folder's scale2/).
# With --wine, the Windows build's program walks under Wine, in a prefix of the walk's own with
# the faces Windows has (Wine's own, from fonts-wine, in C:\windows\Fonts) at DPI dots per inch:
# 96 is 100 %, 144 is 150 % (its pictures then go into the folder's wine96/ or wine144/).
# Needs Xvfb, openbox, xdotool, xprop, xwininfo and ImageMagick's import; --wine needs Wine too.
set -euo pipefail

dpi=
if [ "$1" = --wine ]; then
  dpi=$2
  shift 2
fi
program=$(realpath "$1")
drag_source=
[ -n "$dpi" ] || drag_source=$(realpath "$2")
pause=${CORVANE_WALK_PAUSE:-1.5}
scale=${CORVANE_WALK_SCALE:-1}
work=$(mktemp -d /tmp/corvane-walk.XXXXXX)
shots=${CORVANE_WALK_SHOTS:-$work/shots}
[ "$scale" = 1 ] || shots=$shots/scale$scale
[ -z "$dpi" ] || shots=$shots/wine$dpi
# Device pixels are the layout's pixels times $grow / 96: twice as many at a scale of 2, one and a
# half as many at 144 dots per inch.
grow=$((96 * scale))
[ -z "$dpi" ] || grow=$dpi
mkdir -p "$shots" "$work/app" "$work/data" "$work/drops" "$work/home/Documents" "$work/runtime"
chmod 700 "$work/runtime"
app_pid= x_pid= wm_pid= source_pid=
cleanup() {
  for pid in $source_pid $app_pid $wm_pid; do kill "$pid" 2>/dev/null || true; done
  [ -z "$dpi" ] || wineserver -k 2>/dev/null || true
  kill "$x_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

say() { printf '[walk] %s\n' "$*"; }
fail() { say "FAILED: $*"; exit 1; }

# A home of the walk's own, so that no setting of the machine's user is read or written.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR SESSION_MANAGER
[ "$scale" = 1 ] || export QT_SCALE_FACTOR=$scale

Xvfb -displayfd 3 -screen 0 "$((1280 * grow / 96))x$((1024 * grow / 96))x24" -nolisten tcp 3>"$work/display" 2>/dev/null &
x_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done

# A machine without a program for folders: xdg-open says so by its status, 3, as it does there.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s/xdg-open.log"\nexit 3\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

# The program is copied into a folder of its own, so that its results land beside it; under
# Wine with the libraries and plugins found beside it, as the Windows package has them.
if [ -z "$dpi" ]; then
  cp "$program" "$work/app/corvane"
else
  # A user's own Wine prefix, so that nothing of this machine's is touched.
  export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  [ -d /usr/share/wine/fonts ] || fail "fonts-wine is not installed: no Windows faces"
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  done
  wineserver -w
  from=$(dirname "$program")
  cp "$program" "$work/app/corvane.exe"
  cp "$from"/*.dll "$work/app/"
  for plugins in platforms styles; do [ ! -d "$from/$plugins" ] || cp -r "$from/$plugins" "$work/app/"; done
fi
encoded_folder="$work/app/Encoded File(s)"
decoded_folder="$work/app/Decoded File(s)"
printf 'a plain letter\n' >"$work/data/a.txt"
printf 'a second one\n' >"$work/data/b.txt"
# Large and sparse: it takes long enough to code, on any disk, that a person can watch the progress
# window; it is cancelled after a few seconds, and a failed walk ends the program at once.
truncate -s 64G "$work/data/zz-big.img"

# What is dropped lies apart from the folder the main window browses. The link leads nowhere, so
# that coding it fails for every user, root too.
for name in d1 d3 e1 e3 f1 f2 g1 shown; do printf '%s\n' "$name" >"$work/drops/$name.txt"; done
ln -s nowhere "$work/drops/broken"
mkdir "$work/drops/folder"

MAIN="Corvane - File Encoder/Decoder"
SOURCE="Drag Source"
ENCODED="Encoded File(s)"
DECODED="Decoded File(s)"

# The titles of the visible top-level windows the window manager manages, one a line, sorted.
windows() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*# //p' | tr ',' ' '); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    xprop -id "$id" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
  done | LC_ALL=C sort
}

# The ids of the visible windows the window manager manages whose program is named $1.
windows_of() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*# //p' | tr ',' ' '); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    if xprop -id "$id" WM_CLASS 2>/dev/null | grep -qF "\"$1\""; then echo "$id"; fi
  done
}

# The id of the visible window titled exactly $1.
window_id() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | sed -n 's/.*# //p' | tr ',' ' '); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')" = "$1" ]; then
      echo "$id"
      return
    fi
  done
  fail "no window titled '$1'"
}

step_number=0
# check NAME TITLE...: the step's windows are exactly TITLE... within 20 s, and still exactly
# those after a person's reading time; the screen is then kept as NN-NAME.png.
check() {
  local name=$1 expected actual
  shift
  expected=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort)
  step_number=$((step_number + 1))
  for _ in $(seq 200); do
    actual=$(windows)
    [ "$actual" = "$expected" ] && break
    sleep 0.1
  done
  sleep "$pause"
  actual=$(windows)
  import -window root "$shots/$(printf '%02d' "$step_number")-$name.png" 2>/dev/null || true
  if [ "$actual" != "$expected" ]; then
    say "after '$name' the windows on the screen are:"
    sed 's/^/    /' <<<"${actual:-(none)}"
    say "where the step expects:"
    sed 's/^/    /' <<<"${expected:-(none)}"
    fail "$name"
  fi
  say "$name: $(tr '\n' '|' <<<"$expected")"
}

# click TITLE X Y: a click at (X, Y) of the client area of the window titled TITLE, in the
# layout's pixels (device pixels at a scale of 2 are twice as many).
click() {
  local id left=0 top=0
  id=$(window_id "$1")
  [ -z "$dpi" ] || read -r left top < <(client_origin "$id" ${client_size[$1]})
  xdotool mousemove --window "$id" "$((left + $2 * grow / 96))" "$((top + $3 * grow / 96))" sleep 0.2 click 1
}
# client_origin ID WIDTH HEIGHT: where the client area of WIDTH x HEIGHT layout pixels begins in
# the X window ID. Under Wine a window the window manager frames is its client area alone, while
# a tool window (the viewers) carries the frame and title bar Wine draws itself: as wide on the
# left as on the right and below, the title bar above.
client_origin() {
  local geometry width height
  geometry=$(xwininfo -id "$1")
  width=$(sed -n 's/^ *Width: //p' <<<"$geometry")
  height=$(sed -n 's/^ *Height: //p' <<<"$geometry")
  local border=$(((width - $2 * grow / 96) / 2))
  echo "$border" "$((height - $3 * grow / 96 - border))"
}
# key KEY...: keys as typed, into the active window.
key() { xdotool key --delay 150 "$@"; }
# The title of the active window.
active() { xprop -id "$(xdotool getactivewindow)" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }

# Where the controls are, in pixels of a client area (the layouts' twips divided by 15).
main_list_first=(300 104)  # the first entry of FileListBox
main_view_encoded=(48 408) main_view_decoded=(148 408) main_about=(236 408)
main_encode=(48 448) main_decode=(148 448) main_exit=(236 448)
main_details=(420 430)  # the File Details frame: a click there presses nothing
viewer_first=(100 8) viewer_open=(252 260) viewer_action=(360 260)
viewer_drop=(150 120)  # the viewer's list, below its entries
about_ok=(312 140)
# The client areas' sizes in the same pixels.
declare -A client_size=(["$MAIN"]="536 475" ["$ENCODED"]="419 284" ["$DECODED"]="422 285" [About]="363 206")

# drag TITLE X Y PATH...: the paths dragged onto (X, Y) of the client area of the window titled
# TITLE, as a person drags files out of a file manager: pressed on the drag source, moved across
# in a few steps, held still over the window for a moment, released there. The drop must have
# been taken. The drag source lives on until the next drag, or the walk's end.
drag() {
  local title=$1 x=$2 y=$3 source target from to i
  shift 3
  end_drag_source
  "$drag_source" "$@" >"$work/drag.log" 2>>"$work/drag-source.log" &
  source_pid=$!
  for _ in $(seq 100); do windows | grep -qxF "$SOURCE" && break; sleep 0.1; done
  source=$(window_id "$SOURCE")
  # Out of the way of the program's windows, at the screen's top right, where none is.
  xdotool windowmove --sync "$source" $((1040 * scale)) $((100 * scale))
  sleep 0.2
  target=$(window_id "$title")
  read -r -a from <<<"$(origin "$source")"
  read -r -a to <<<"$(origin "$target")"
  from=($((from[0] + 100 * scale)) $((from[1] + 60 * scale)))
  to=($((to[0] + x * scale)) $((to[1] + y * scale)))
  # The drag starts while the pointer, held down, is still on the source, as a person's does.
  xdotool mousemove "${from[@]}" sleep 0.2 mousedown 1 sleep 0.2 \
    mousemove $((from[0] - 8)) $((from[1] - 8)) sleep 0.2 mousemove $((from[0] - 16)) $((from[1] - 16)) sleep 0.2
  for i in 1 2 3 4; do
    xdotool mousemove $((from[0] + (to[0] - from[0]) * i / 4)) $((from[1] + (to[1] - from[1]) * i / 4)) sleep 0.15
  done
  xdotool mousemove $((to[0] + 3)) $((to[1] + 3)) sleep 0.2 mousemove "${to[@]}" sleep 0.5 mouseup 1
  for _ in $(seq 100); do [ -s "$work/drag.log" ] && break; sleep 0.1; done
  [ "$(cat "$work/drag.log")" = copy ] || fail "the drop onto $title was not taken: $(cat "$work/drag.log")"
}
end_drag_source() {
  [ -n "$source_pid" ] || return 0
  kill "$source_pid" 2>/dev/null || true
  wait "$source_pid" 2>/dev/null || true
  source_pid=
}
# The screen position of the client area of window $1: X Y.
origin() {
  xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left [XY]: *//p' | tr '\n' ' '
}

start() {
  if [ -z "$dpi" ]; then
    (cd "$work/data" && exec "$work/app/corvane" >"$work/program.log" 2>&1) &
  else
    (cd "$work/data" && exec wine "$work/app/corvane.exe" >"$work/program.log" 2>&1) &
  fi
  app_pid=$!
}
# The program has ended by itself within 10 s.
ended() {
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  ! kill -0 "$app_pid" 2>/dev/null || fail "the program did not end"
  wait "$app_pid" || true
  app_pid=
}

say "screenshots in $shots"
start
check start "$MAIN"

# Errors answered OK: the program goes on.
click "$MAIN" "${main_decode[@]}"
check decode-nothing-selected "$MAIN" "No Data"
key Return
check decode-nothing-selected-ok "$MAIN"

# Browsing: the first file of the folder, then encoded.
click "$MAIN" "${main_list_first[@]}"
check select-a "$MAIN"
click "$MAIN" "${main_encode[@]}"
check encode-a "$MAIN"
[ -f "$encoded_folder/a.txt" ] || fail "Encode File! wrote no $encoded_folder/a.txt"

# The encoded viewer: its action with nothing selected, then with a file.
click "$MAIN" "${main_view_encoded[@]}"
check view-encoded "$MAIN" "$ENCODED"
click "$ENCODED" "${viewer_action[@]}"
check viewer-nothing-selected "$MAIN" "$ENCODED" "No Data"
key Return
check viewer-asks-for-a-selection "$MAIN" "$ENCODED" "RaveVivazidezEraduzura"
key Return
check viewer-after-asking "$MAIN" "$ENCODED"
click "$ENCODED" "${viewer_first[@]}"
click "$ENCODED" "${viewer_action[@]}"
check decode-selected-done "$MAIN" "$ENCODED" "Done!"
key Return
check decode-selected-answered "$MAIN" "$ENCODED"
cmp -s "$work/data/a.txt" "$decoded_folder/a.txt" || fail "Decode Selected did not give a.txt back"

# The decoded viewer, on a folder not made yet: Open Folder makes it, and the failing xdg-open
# is reported. Under Wine the folder opens in Wine's file manager, in a window of the folder's
# name, closed again as a person closes it. There the folder goes before the viewer opens: Wine
# tells a Windows program nothing of a watched folder removed behind its back by Linux, which
# Windows itself would not allow while the folder is watched.
[ -z "$dpi" ] || rm -rf "$decoded_folder"
click "$MAIN" "${main_view_decoded[@]}"
check view-decoded "$MAIN" "$ENCODED" "$DECODED"
rm -rf "$decoded_folder"
click "$DECODED" "${viewer_open[@]}"
if [ -z "$dpi" ]; then
  check open-folder-fails "$MAIN" "$ENCODED" "$DECODED" "No Data"
  [ -d "$decoded_folder" ] || fail "Open Folder did not make $decoded_folder"
  grep -qxF "$decoded_folder" "$work/xdg-open.log" || fail "xdg-open did not get $decoded_folder"
  printf 'back again\n' >"$decoded_folder/c.txt"  # listed once OK has the viewer read its folder again
  key Return
  check open-folder-answered "$MAIN" "$ENCODED" "$DECODED"
else
  check open-folder-opens "$MAIN" "$ENCODED" "$DECODED" "$DECODED"
  [ -d "$decoded_folder" ] || fail "Open Folder did not make $decoded_folder"
  printf 'back again\n' >"$decoded_folder/c.txt"  # listed as the viewer follows its folder
  explorer=$(windows_of explorer.exe | head -n 1)
  [ -n "$explorer" ] || fail "Open Folder showed no window of Wine's file manager"
  xdotool windowactivate --sync "$explorer" sleep 0.2 key alt+F4
  check file-manager-closed "$MAIN" "$ENCODED" "$DECODED"
fi
click "$DECODED" "${viewer_first[@]}"
click "$DECODED" "${viewer_action[@]}"
check encode-selected-done "$MAIN" "$ENCODED" "$DECODED" "Done!"
key Return
check encode-selected-answered "$MAIN" "$ENCODED" "$DECODED"

# About, and its OK.
click "$MAIN" "${main_about[@]}"
check about "$MAIN" "$ENCODED" "$DECODED" "About"
click "About" "${about_ok[@]}"
check about-closed "$MAIN" "$ENCODED" "$DECODED"

# Long work: the last file of the folder, the large one.
click "$MAIN" "${main_list_first[@]}"
key End
click "$MAIN" "${main_encode[@]}"
check long-work "$MAIN" "$ENCODED" "$DECODED" "Encoding zz-big.img"
# A click on the main window leaves the progress window in front, active, so that Escape reaches it.
# Under Wine the window manager marks the main window active all the same, while Wine keeps the
# keys with the progress window: Escape alone tells.
click "$MAIN" "${main_details[@]}"
check click-on-main-during-work "$MAIN" "$ENCODED" "$DECODED" "Encoding zz-big.img"
[ -n "$dpi" ] || [ "$(active)" = "Encoding zz-big.img" ] || fail "the active window during the work is '$(active)'"
key Escape
check escape-cancels "$MAIN" "$ENCODED" "$DECODED"
[ ! -e "$encoded_folder/zz-big.img" ] || fail "a cancelled encode left $encoded_folder/zz-big.img"
# Again, cancelled by the progress window's close box (the window manager's close).
click "$MAIN" "${main_encode[@]}"
check long-work-again "$MAIN" "$ENCODED" "$DECODED" "Encoding zz-big.img"
[ "$(active)" = "Encoding zz-big.img" ] || fail "the active window during the work is '$(active)'"
key alt+F4
check close-box-cancels "$MAIN" "$ENCODED" "$DECODED"
leftovers=$(find "$encoded_folder" -name '.cv*')
[ -z "$leftovers" ] && [ ! -e "$encoded_folder/zz-big.img" ] || fail "a cancelled encode left files behind: $leftovers"

# Files dropped from the walk's drag source, a program of this system's; under Wine none is walked.
if [ -z "$dpi" ]; then
  # Files dropped onto Encoded File(s), a link that leads nowhere among them: its failure is
  # reported, OK codes the rest, which the viewer lists; Cancel stops there, keeping what was coded.
  drops=$work/drops
  drag "$ENCODED" "${viewer_drop[@]}" "$drops/d1.txt" "$drops/broken" "$drops/d3.txt"
  check drop-with-a-failure "$MAIN" "$ENCODED" "$DECODED" "No Data"
  key Return
  check drop-failure-ok "$MAIN" "$ENCODED" "$DECODED"
  [ -f "$encoded_folder/d1.txt" ] && [ -f "$encoded_folder/d3.txt" ] || fail "OK did not code the rest of the drop"
  drag "$ENCODED" "${viewer_drop[@]}" "$drops/e1.txt" "$drops/broken" "$drops/e3.txt"
  check drop-with-a-failure-again "$MAIN" "$ENCODED" "$DECODED" "No Data"
  key Escape
  check drop-failure-cancelled "$MAIN" "$ENCODED" "$DECODED"
  [ -f "$encoded_folder/e1.txt" ] && [ ! -e "$encoded_folder/e3.txt" ] || fail "Cancel did not stop the drop at its failure"

  # A folder among the dropped files is refused before any is coded: OK codes the files, Cancel none.
  drag "$ENCODED" "${viewer_drop[@]}" "$drops/f1.txt" "$drops/folder" "$drops/f2.txt"
  check drop-folder "$MAIN" "$ENCODED" "$DECODED" "No Data"
  key Return
  check drop-folder-ok "$MAIN" "$ENCODED" "$DECODED"
  [ -f "$encoded_folder/f1.txt" ] && [ -f "$encoded_folder/f2.txt" ] || fail "OK on a dropped folder did not code the files"
  drag "$ENCODED" "${viewer_drop[@]}" "$drops/folder" "$drops/g1.txt"
  check drop-folder-again "$MAIN" "$ENCODED" "$DECODED" "No Data"
  key Escape
  check drop-folder-cancelled "$MAIN" "$ENCODED" "$DECODED"
  [ ! -e "$encoded_folder/g1.txt" ] || fail "Cancel on a dropped folder still coded a file"

  # One file dropped onto the main window is shown there, selected: Encode File! then codes it.
  drag "$MAIN" "${main_list_first[@]}" "$drops/shown.txt"
  check drop-onto-main "$MAIN" "$ENCODED" "$DECODED"
  click "$MAIN" "${main_encode[@]}"
  check encode-dropped "$MAIN" "$ENCODED" "$DECODED"
  [ -f "$encoded_folder/shown.txt" ] || fail "the file dropped onto the main window was not the one selected"
fi

# Exit closes every window and ends the program.
click "$MAIN" "${main_exit[@]}"
check exit
ended

# An error answered Cancel ends the program at once.
start
check start-again "$MAIN"
click "$MAIN" "${main_decode[@]}"
check decode-nothing-selected-again "$MAIN" "No Data"
key Escape
check error-cancelled
ended

say "passed"
