#!/usr/bin/env bash
# Usage: demo_in_wine_console.sh WINE VANTREL_EXE MUSIC_FOLDER
# The Windows demo in a terminal, through wine's console: it draws its block
# picture, Ctrl+C does not end it, Esc ends it with exit status 0. Without a
# console it says why and exits with status 2.
set -euo pipefail
wine=$1
demo=$2
folder=$3
socket="vantrel-wine-$$"
work=$(mktemp -d)
status="$work/status"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- screen:" >&2
  tmux -L "$socket" capture-pane -p -t demo 2>/dev/null >&2 || true
  exit 1
}

# Waits up to $1 seconds for the command $2... to succeed.
wait_for() {
  local seconds=$1
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

shows_blocks() { tmux -L "$socket" capture-pane -p -t demo | grep -q '[█▀▄▌▐]'; }
has_ended() { [[ -s "$status" ]]; }

set +e
(cd "$folder" && "$wine" "$demo" </dev/null >"$work/no-console.txt" 2>&1)
no_console_status=$?
set -e
[[ $no_console_status == 2 ]] || fail "exit status $no_console_status without a console"
grep -q "must be a console" "$work/no-console.txt" || fail "no reason given without a console"

printf -v run 'cd %q && %q %q; echo $? > %q; sleep 30' "$folder" "$wine" "$demo" "$status"
tmux -L "$socket" -f /dev/null new-session -d -s demo -x 80 -y 50 \
  env WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
  LANG=C.UTF-8 bash -c "$run"

wait_for 60 shows_blocks || fail "no picture within 60 s"
tmux -L "$socket" send-keys -t demo C-c
sleep 1
has_ended && fail "Ctrl+C ended the demo (status $(cat "$status"))"
tmux -L "$socket" send-keys -t demo a Up F1
sleep 0.5
has_ended && fail "a key other than Esc ended the demo"
tmux -L "$socket" send-keys -t demo Escape
wait_for 20 has_ended || fail "Esc did not end the demo within 20 s"
[[ $(cat "$status") == 0 ]] || fail "exit status $(cat "$status") after Esc"
echo "the demo drew, ignored Ctrl+C and other keys, and ended with status 0 on Esc"
