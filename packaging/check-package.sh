#!/usr/bin/env bash
# Makes the Debian package from a package build and checks it the way a user meets it: its
# version, desktop entry, AppStream data and lintian's verdict, the files it holds, its debug
# symbols, and the programs unpacked from it, the desktop program used by an ordinary user whose
# results must land in that user's documents folder.
# Usage: packaging/check-package.sh BUILD UNPACKED_PROGRAM_TEST
#   UNPACKED_PROGRAM_TEST: the native build's unpacked_program_test, run from the unpacked package.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../cmake/say.sh"
say() { corvane_say "$@"; }
fail() { say "$*"; exit 1; }

build=$(cd "$1" && pwd)
unpacked_test=$2
[ -x "$unpacked_test" ] || fail "No $unpacked_test: build the native tests first (cmake --workflow --preset native)"
deb=$("$here/make-package.sh" "$build")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
say "Checking $deb"
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
dpkg-deb -x "$deb" "$root"
chmod 755 "$root"

# One version everywhere: the package sorts as its changelog and the programs say.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "The package's version is $(dpkg-deb -f "$deb" Version), not $version"
changelog=$(zcat "$root/usr/share/doc/corvane/changelog.gz" | head -n 1)
[[ "$changelog" == "corvane ($version) "* ]] || fail "The changelog's first entry is not $version: $changelog"
# Open Folder alone needs xdg-utils: recommended, not required.
! dpkg-deb -f "$deb" Depends | grep -q xdg-utils || fail "The package depends on xdg-utils"
dpkg-deb -f "$deb" Recommends | grep -q xdg-utils || fail "The package does not recommend xdg-utils"

entry=$root/usr/share/applications/org.corvane.Corvane.desktop
desktop-file-validate "$entry"
metainfo=$root/usr/share/metainfo/org.corvane.Corvane.metainfo.xml
appstreamcli validate --no-net --no-color "$metainfo" >/dev/null
# Every tag at every level, the experimental ones too: none is left that a change of ours removes.
lintian --allow-root --display-info --display-experimental --pedantic \
  --fail-on error,warning,info,pedantic,experimental "$deb"

# A MIME type in the menu entry would make Corvane the opener of such files (xdg-mime,
# /etc/mailcap); "Open With" offers it for any file without one.
if grep -q '^MimeType=' "$entry" || grep -qi '<mimetype' "$metainfo"; then
  fail "The package claims MIME types: $(grep '^MimeType=' "$entry")"
fi

# Built as Debian builds: position-independent, bound at start (bind-now), fortified, stripped
# down to what runs, with the debug symbols in corvane-dbgsym under each program's build ID.
ddeb=${deb/corvane_/corvane-dbgsym_}
ddeb=${ddeb%.deb}.ddeb
[ -f "$ddeb" ] || fail "No debug-symbol package $ddeb"
debug_files=$(dpkg-deb -c "$ddeb" | awk '{ print $6 }')
for program in corvane corvane-codec; do
  elf=$root/usr/bin/$program
  dynamic=$(readelf -d "$elf")
  sections=$(readelf -S "$elf")
  symbols=$(nm -D "$elf")
  grep -q 'FLAGS.*BIND_NOW' <<<"$dynamic" || fail "$program is not bound at start (bind-now)"
  grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$program is not position-independent"
  grep -q ' U __[a-z]*_chk@' <<<"$symbols" || fail "$program calls no fortified functions"
  ! grep -qE ' \.(comment|note|symtab|debug_info) ' <<<"$sections" || fail "$program is not stripped"
  id=$(readelf -n "$elf" | sed -n 's/^ *Build ID: //p')
  grep -qxF "./usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" <<<"$debug_files" ||
    fail "corvane-dbgsym lacks the symbols of $program (build ID $id)"
done
[ "$(dpkg-deb -f "$ddeb" Version)" = "$version" ] || fail "corvane-dbgsym's version is not $version"
# Its md5sums name its own files, as dpkg checks them once installed.
ddeb_sums=$(dpkg-deb -I "$ddeb" md5sums)
[ "$(awk '{ print "./" $2 }' <<<"$ddeb_sums" | sort)" = "$(grep '\.debug$' <<<"$debug_files" | sort)" ] ||
  fail "corvane-dbgsym's md5sums do not name its files: $ddeb_sums"

# The manual pages say what changes the programs' behaviour, and the companion's page what
# happens to a replaced file's permissions and when its reader goes away.
for page in corvane corvane-codec; do
  text=$(zcat "$root/usr/share/man/man1/$page.1.gz")
  for word in '.SH ENVIRONMENT' CORVANE_CODEC_KERNEL CORVANE_TEMPORARY_FILE CORVANE_READ_AHEAD; do
    grep -qF -- "$word" <<<"$text" || fail "$page(1) lacks $word"
  done
done
for word in SIGPIPE 'permission bits' umask; do  # in $text, the loop's last page
  grep -qF -- "$word" <<<"$text" || fail "corvane-codec(1) lacks $word"
done

listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for path in bin/corvane bin/corvane-codec share/applications/org.corvane.Corvane.desktop \
    share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/org.corvane.Corvane.png \
    share/metainfo/org.corvane.Corvane.metainfo.xml share/man/man1/corvane.1.gz \
    share/man/man1/corvane-codec.1.gz share/bash-completion/completions/corvane-codec \
    share/doc/corvane/copyright share/doc/corvane/changelog.gz; do
  grep -qxF "./usr/$path" <<<"$listing" || fail "The package lacks /usr/$path"
done

bin=$root/usr/bin
head -c 300000 /dev/urandom >"$home/plain"
"$bin/corvane-codec" encode "$home/plain" "$home/coded"
if cmp -s "$home/plain" "$home/coded"; then fail "corvane-codec encode changed nothing"; fi
"$bin/corvane-codec" decode "$home/coded" "$home/back"
cmp "$home/plain" "$home/back"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
[ "$("${no_display[@]}" "$bin/corvane" --version | head -n 1)" = "corvane $version" ]
"${no_display[@]}" "$bin/corvane" --help | grep -q '^Usage: corvane'

# Starts the unpacked corvane on FILE on a virtual display, checks that its window's class
# (WM_CLASS) is CLASS, the menu entry's StartupWMClass, and, as a person would, presses Tab
# to reach "Encode File!" and Space to press it; waits at most 30 s for the encoded file.
press_encode() {
  local bin=$1 file=$2 class=$3 result pid status=0
  result="$HOME/Documents/Corvane/Encoded File(s)/$(basename "$file")"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$HOME/display" 2>/dev/null &
  pid=$!
  for _ in $(seq 300); do [ -s "$HOME/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$HOME/display")"
  "$bin/corvane" "$file" 2>/dev/null &
  local app=$! window
  window=$(timeout 30 xdotool search --sync --name '^Corvane - File Encoder/Decoder$' | head -n 1) || status=1
  if [ "$status" -eq 0 ] && ! xdotool search --class "^$class\$" | grep -qx "$window"; then
    echo "corvane's window is not of the class '$class' its menu entry names"
    status=1
  fi
  if [ "$status" -eq 0 ]; then
    xdotool windowfocus --sync "$window" key --delay 100 Tab space
    for _ in $(seq 300); do [ -f "$result" ] && break; sleep 0.1; done
    [ -f "$result" ] || { echo "corvane wrote no $result"; status=1; }
  else
    echo "corvane showed no window"
  fi
  kill "$app" "$pid" 2>/dev/null
  wait "$app" "$pid" 2>/dev/null
  return "$status"
}

# As root, the desktop program runs as the unprivileged user "nobody".
cp "$unpacked_test" "$bin/"
mkdir -m 700 "$home/runtime"
printf 'plain words\n' >"$home/note.txt"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R 65534:65534 "$home"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
user_env=(env -i HOME="$home" XDG_RUNTIME_DIR="$home/runtime" PATH=/usr/bin:/bin)
"${as_user[@]}" "${user_env[@]}" QT_QPA_PLATFORM=offscreen "$bin/unpacked_program_test" --gtest_brief=1
"${as_user[@]}" "${user_env[@]}" bash -c "$(declare -f press_encode); press_encode '$bin' '$home/note.txt' \
  '$(sed -n 's/^StartupWMClass=//p' "$entry")'"
[ "$("$bin/corvane-codec" decode "$home/Documents/Corvane/Encoded File(s)/note.txt" -)" = "plain words" ]
[ "$(ls "$bin")" = "$(printf '%s\n' corvane corvane-codec unpacked_program_test)" ]
say "The package passed its checks"
