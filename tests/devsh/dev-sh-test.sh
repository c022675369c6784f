#!/usr/bin/env bash
# dev.sh as a newcomer and a CI log meet it: `--help` lists every command and exits 0; its
# messages are bold only on a terminal and never with NO_COLOR; as root it waits for another
# package manager's lock instead of failing. apt-get, dpkg-query and id are stand-ins here: no
# package is installed. Usage: tests/devsh/dev-sh-test.sh SOURCE
set -uo pipefail
dev=$1/dev.sh
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
escape=$'\e'

help=$("$dev" --help)
status=$?
[ "$status" -eq 0 ] || fail "--help exited with $status"
for command in run quick test windows package bench tidy setup help; do
  grep -q "^  ./dev.sh $command " <<<"$help" || fail "--help does not list $command"
done
"$dev" >/dev/null 2>&1
[ $? -eq 2 ] || fail "no command should be a usage mistake (exit status 2)"

# A message of dev.sh's own: bold on a terminal (script(1) gives it one), plain in a pipe or log,
# plain on a terminal when NO_COLOR is set.
piped=$("$dev" no-such-command 2>&1)
[[ "$piped" == *"[corvane] No command"* && "$piped" != *"$escape"* ]] || fail "escape codes in a pipe: $(cat -v <<<"$piped" | head -n 1)"
terminal=$(script -qec "'$dev' no-such-command" /dev/null)
[[ "$terminal" == *"$escape[1m[corvane]"* ]] || fail "no bold tag on a terminal: $(cat -v <<<"$terminal" | head -n 1)"
no_color=$(NO_COLOR=1 script -qec "'$dev' no-such-command" /dev/null)
[[ "$no_color" == *"[corvane] No command"* && "$no_color" != *"$escape"* ]] ||
  fail "escape codes with NO_COLOR: $(cat -v <<<"$no_color" | head -n 1)"

# As root with packages missing: apt-get's lists held by another package manager at first.
shims=$(mktemp -d)
trap 'rm -rf "$shims"' EXIT
cat >"$shims/id" <<'SHIM'
#!/bin/sh
echo 0
SHIM
cat >"$shims/dpkg-query" <<'SHIM'
#!/bin/sh
exit 1
SHIM
cat >"$shims/apt-get" <<SHIM
#!/bin/sh
echo "\$*" >>"$shims/calls"
case "\$*" in
  *update*) if [ ! -e "$shims/held-once" ]; then
              touch "$shims/held-once"
              echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)" >&2
              exit 100
            fi ;;
esac
exit 0
SHIM
chmod +x "$shims"/*
PATH="$shims:$PATH" CORVANE_APT_RETRY_PAUSE=0 "$dev" setup >"$shims/out" 2>&1 || fail "setup failed: $(cat "$shims/out")"
updates=$(grep -c update "$shims/calls" 2>/dev/null)
[ "${updates:-0}" -ge 2 ] || fail "apt-get update was not tried again after the lock: $(cat "$shims/calls" 2>/dev/null)"
grep -q "waiting for it" "$shims/out" || fail "no word about waiting for the lock: $(cat "$shims/out")"
grep install "$shims/calls" | grep -q -- "-o DPkg::Lock::Timeout=" ||
  fail "apt-get install does not wait for dpkg's lock: $(grep install "$shims/calls")"

[ "$failures" -eq 0 ] && echo "dev.sh: help, messages and apt's locks as expected"
exit "$failures"
