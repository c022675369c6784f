#!/usr/bin/env bash
# Takes the README's pictures of the windows from the real program on a virtual display with a
# window manager: docs/main-window.png (a name too long for its labels), docs/all-windows.png
# (the viewers and the About window), docs/main-window-2x.png (at QT_SCALE_FACTOR=2) and
# docs/progress-window.png (a 3 GiB encode, its reads
# slowed down with strace so that the picture can be taken in the middle of it).
# Usage: docs/screenshots.sh [PROGRAM]   (default: build/bin/corvane; needs xvfb-run, openbox,
# xdotool, xprop, ImageMagick and strace)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
if [ -z "${CORVANE_SCREENSHOTS_INSIDE:-}" ]; then
  CORVANE_SCREENSHOTS_INSIDE=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
program=$(realpath "${1:-build/bin/corvane}")
docs=$PWD/docs
work=$(mktemp -d /tmp/corvane-demo.XXXXXX)
trap 'kill "${pid:-}" "${wm:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
# A copy of the program of its own, so that its results folders are made in the scratch folder.
cp "$program" "$work/corvane"
mkdir -p "$work/Documents"
long=a_report_on_the_yearly_accounts_of_the_northern_branch_with_every_table_and_figure_and_all_of_the_notes_that_go_with_them_as_sent_to_the_board_and_to_the_auditors_in_the_spring.txt
printf 'Quarterly figures, all branches.\n' > "$work/Documents/report.txt"
printf 'The long one.\n' > "$work/Documents/$long"
truncate -s 3G "$work/Documents/backup.img"

openbox >/dev/null 2>&1 &
wm=$!
sleep 1

# The window whose title matches the expression $1 whole, once it is shown.
window() { local id; for _ in $(seq 50); do id=$(xdotool search --onlyvisible --name "^$1\$" | head -1); [ -n "$id" ] && { echo "$id"; return; }; sleep 0.2; done; echo "no window $1" >&2; exit 1; }
# Saves the screen within the frame of the window $1 (with whatever lies over it) as $2.
shoot() {
  local info x y w h left right top bottom
  info=$(xwininfo -id "$1")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info"); y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/.*Width: *//p' <<<"$info"); h=$(sed -n 's/.*Height: *//p' <<<"$info")
  read -r left right top bottom <<<"$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,/ /g')"
  import -window root -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" +repage "$2"
}
# Clicks the point ($2, $3) of the window $1's client area.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.5; }

main_title="Corvane - File Encoder/Decoder"
start() { (cd "$work" && exec "$@" >/dev/null 2>&1) & pid=$!; }
start ./corvane "$work/Documents/$long"
main=$(window "$main_title")
xdotool windowmove "$main" 4 24
sleep 1
shoot "$main" "$docs/main-window.png"

# The viewers, which open beside it, and the About window over it.
kill "$pid"; wait "$pid" || true
start ./corvane "$work/Documents/report.txt"
main=$(window "$main_title")
xdotool windowmove "$main" 4 24
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
click "$main" 40 $((HEIGHT - 30))   # Encode File!
click "$main" 40 $((HEIGHT - 68))   # View Encoded File(s)
window "Encoded File\\(s\\)" >/dev/null
click "$main" 140 $((HEIGHT - 68))  # View Decoded File(s)
window "Decoded File\\(s\\)" >/dev/null
xdotool windowactivate --sync "$main"
xdotool key --window "$main" alt+a
about=$(window About)
xdotool windowmove "$about" 144 134
sleep 1
import -window root "$work/root.png"
convert "$work/root.png" -crop 1010x700+0+0 +repage "$docs/all-windows.png"
kill "$pid"; wait "$pid" || true

start env QT_SCALE_FACTOR=2 ./corvane "$work/Documents/report.txt"
main=$(window "$main_title")
xdotool windowmove "$main" 4 24
sleep 1
shoot "$main" "$docs/main-window-2x.png"
kill "$pid"; wait "$pid" || true

# A long encode: every read of the source waits 20 ms, so 3 GiB take minutes.
start strace -f -qq -o /dev/null -P "$work/Documents/backup.img" -e trace=read \
  -e inject=read:delay_enter=20000 ./corvane "$work/Documents/backup.img"
main=$(window "$main_title")
xdotool windowmove "$main" 4 24
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
click "$main" 40 $((HEIGHT - 30))   # Encode File!
sleep 4
shoot "$main" "$docs/progress-window.png"
