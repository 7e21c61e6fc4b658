#!/usr/bin/env bash
# The Windows build's zip as a user meets it: made by the build's package
# target, it holds the two programs, the short text and the licence; unpacked,
# its vantrel.exe started under wine in an empty folder plays the track built
# into it (the bars move) and ends on Esc with status 0.
# Usage: windows_zip.sh BUILD_DIR WINE
set -euo pipefail
build=$1
wine=$2
work=$(mktemp -d)
socket="vantrel-zip-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
source "$(cd "$(dirname "$0")" && pwd)/../support/wait-for.sh"
fail() {
  echo "FAIL: $*" >&2
  tmux -L "$socket" capture-pane -p -t demo 2>/dev/null >&2 || true
  exit 1
}

cmake --build "$build" --target package >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "the package target failed"; }
zip=$(find "$build" -maxdepth 1 -name 'vantrel-*-windows-x86_64.zip' | head -1)
[[ -f $zip ]] || fail "no vantrel-<version>-windows-x86_64.zip in $build"
mkdir "$work/unpacked" "$work/empty"
cmake -E chdir "$work/unpacked" cmake -E tar xf "$zip"
folder=$(dirname "$(find "$work/unpacked" -name vantrel.exe)")
listing=$(cd "$folder" && ls | sort | tr '\n' ' ')
[[ $listing == "LICENSE.txt README.txt vantrel-frames.exe vantrel.exe " ]] ||
  fail "the zip holds: $listing"
echo "ok   the zip holds $listing"

bar_cells() { tmux -L "$socket" capture-pane -p -t demo | tail -1 | { grep -o "│" || true; } | wc -l; }
shows_bars() { (($(bar_cells) > 0)); }
printf -v run 'cd %q && %q %q; echo $? > %q; sleep 300' \
  "$work/empty" "$wine" "$folder/vantrel.exe" "$work/status"
tmux -L "$socket" -f /dev/null new-session -d -s demo -x 80 -y 50 \
  env WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
  LANG=C.UTF-8 bash -c "$run"
wait_for 60 shows_bars || fail "no bars within 60 s of starting the unpacked vantrel.exe"
tmux -L "$socket" send-keys -t demo Escape
wait_for 20 test -s "$work/status" || fail "Esc did not end the demo within 20 s"
[[ $(cat "$work/status") == 0 ]] || fail "exit status $(cat "$work/status")"
echo "ok   the unpacked vantrel.exe played its built-in track from an empty folder and ended on Esc"
