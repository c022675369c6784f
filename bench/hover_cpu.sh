#!/usr/bin/env bash
# The program's processor time while the pointer rests: on a button (its hover poll runs), in
# the window over no button, and off the window (the baseline of the same run), each measured
# from /proc over SECONDS, ROUNDS times in turn; prints the medians as % of one core and the
# context switches a second. Runs build/bin/corvane on its own virtual X display.
#
#   bench/hover_cpu.sh [SECONDS [ROUNDS]]     (defaults: 20 s, 3 rounds)
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

seconds=${1:-20}
rounds=${2:-3}
program=${CORVANE_PROGRAM:-build/bin/corvane}
work=$(mktemp -d)
trap 'kill "${app:-}" "${server:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
server=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "hover_cpu.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
mkdir -p "$work/home/Documents"
printf 'resting pointer\n' >"$work/home/Documents/report.txt"
HOME="$work/home" "$program" "$work/home/Documents/report.txt" >/dev/null 2>&1 &
app=$!
window=$(timeout 30 xdotool search --sync --name '^Corvane - File Encoder/Decoder$' | head -n 1)

ticks_and_switches() {
  local stat
  stat=$(cat "/proc/$app/stat")
  stat=${stat##*) }  # the fields after the program's name
  read -ra field <<<"$stat"
  # processor time of the whole process; switches of every thread (the X connection's reader too)
  awk -v cpu=$(( field[11] + field[12] )) \
    '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print cpu, n }' /proc/"$app"/task/*/status
}

# measure X Y: % of a core and switches a second with the pointer at X,Y of the window
measure() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 1
  local t1 c1 t2 c2
  read -r t1 c1 < <(ticks_and_switches)
  sleep "$seconds"
  read -r t2 c2 < <(ticks_and_switches)
  awk -v t=$(( t2 - t1 )) -v c=$(( c2 - c1 )) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "%.2f %.0f\n", t * 100 / hz / s, c / s }'
}

declare -A spot=([on-button]="148 448" [no-button]="5 470" [off-window]="1000 900")
order=(off-window no-button on-button)
for round in $(seq "$rounds"); do
  for name in "${order[@]}"; do
    read -r x y <<<"${spot[$name]}"
    echo "$name $(measure "$x" "$y")" >>"$work/results"
    echo "round $round, $name: $(tail -n 1 "$work/results" | cut -d' ' -f2-)"
  done
done

echo
echo "medians over $rounds rounds of $seconds s (% of a core, context switches/s):"
# median MEASURES...: the middle value (or the mean of the two middle ones)
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for name in "${order[@]}"; do
  mapfile -t cpu < <(awk -v n="$name" '$1 == n { print $2 }' "$work/results" | sort -g)
  mapfile -t switches < <(awk -v n="$name" '$1 == n { print $3 }' "$work/results")
  printf '  %-10s %5.2f %%  (%s to %s)   %4.0f switches/s\n' "$name" "$(median "${cpu[@]}")" \
    "${cpu[0]}" "${cpu[-1]}" "$(median "${switches[@]}")"
done
