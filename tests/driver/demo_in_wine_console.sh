#!/usr/bin/env bash
# Usage: demo_in_wine_console.sh WINE VANTREL_EXE MUSIC_FOLDER esc|end
# The Windows demo in a terminal, through wine's console.
#   esc: without a console it says why and exits with status 2, and so it
#        does for --view pixels, which the console cannot draw. Started
#        alone, it draws its block picture, Ctrl+C and other keys do not end
#        it, Esc ends it with exit status 0 and nothing of the picture stays.
#        Started from cmd after cmd has put lines of its own on the console,
#        Esc ends it and the console shows cmd's lines again.
#   end: started from cmd the same way, the whole show runs, ends by itself
#        with exit status 0 and the console shows cmd's lines again.
#   views: playing a track that stands every bar at a height of its own, in
#        a pane of 80 x 24 the demo shows the whole picture at half height
#        (every bar on the bottom row, the letters), and in one of 80 x 50
#        the exact view; Esc ends both with status 0. (Wine's console reads
#        the terminal's size once, at its start, and reports no resize to
#        its programs, so a resize during the show is tested in the console
#        tests, by the console's own size change events.)
# (Ctrl+C is not tried under cmd: wine's terminal console sends it to every
# process in the terminal's foreground group, and it ends cmd.)
set -euo pipefail
wine=$1
demo=$2
folder=$3
mode=$4
socket="vantrel-wine-$mode-$$"
servers=0
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

source "$(cd "$(dirname "$0")" && pwd)/../support/wait-for.sh"

screen() { tmux -L "$socket" capture-pane -p -t demo; }
shows_blocks() { screen | grep -q '[█▀▄▌▐│]'; }
has_ended() { [[ -s "$status" ]]; }

check_no_console() {
  set +e
  (cd "$folder" && "$wine" "$demo" </dev/null >"$work/no-console.txt" 2>&1)
  local no_console_status=$?
  set -e
  [[ $no_console_status == 2 ]] || fail "exit status $no_console_status without a console"
  grep -q "must be a console" "$work/no-console.txt" || fail "no reason given without a console"
  # The console draws no images: the pixel view is refused, not swapped silently for text.
  set +e
  (cd "$folder" && "$wine" "$demo" --view pixels </dev/null >"$work/no-pixels.txt" 2>&1)
  local no_pixels_status=$?
  set -e
  [[ $no_pixels_status == 2 ]] || fail "exit status $no_pixels_status for --view pixels"
  grep -q "the Windows console draws none" "$work/no-pixels.txt" ||
    fail "no reason given for refusing --view pixels"
}

# Lines on the console, written by cmd through the console itself, then the
# demo from the same cmd; or the demo alone.
first_line="vantrel-test: a line the user had before the show"
second_line="vantrel-test: and a second one"
pane_rows=50
demo_arguments=()
start_demo() {
  local how=$1 run
  rm -f "$status"
  if [[ $how == alone ]]; then
    printf -v run 'cd %q && %q %q' "$folder" "$wine" "$demo"
    ((${#demo_arguments[@]} == 0)) || run+=$(printf ' %q' "${demo_arguments[@]}")
    printf -v run '%s; echo $? > %q; sleep 300' "$run" "$status"
  else
    # cmd takes no quotes inside its one argument as wine passes it on.
    local commands="echo $first_line& echo $second_line& Z:${demo//\//\\}"
    printf -v run 'cd %q && %q cmd /c %q; echo $? > %q; sleep 300' \
      "$folder" "$wine" "$commands" "$status"
  fi
  # A tmux server of its own for each start: a client can reach a server
  # that is still shutting down and fail ("server exited unexpectedly").
  tmux -L "$socket" kill-server 2>/dev/null || true
  servers=$((servers + 1))
  socket="vantrel-wine-$mode-$$-$servers"
  tmux -L "$socket" -f /dev/null new-session -d -s demo -x 80 -y "$pane_rows" \
    env WINEPREFIX="$WINEPREFIX" WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" \
    LANG=C.UTF-8 bash -c "$run"
  wait_for 60 shows_blocks || fail "no picture within 60 s"
}

ended_with_status_0() {
  [[ $(cat "$status") == 0 ]] || fail "exit status $(cat "$status") after $1"
  # The console is redrawn from the user's buffer; give the terminal a moment.
  sleep 0.5
  shows_blocks && fail "the picture is still on the console after $1"
  return 0
}

check_console_given_back() {
  ended_with_status_0 "$1"
  screen | grep -qF "$first_line" || fail "the user's first line is gone after $1"
  screen | grep -qF "$second_line" || fail "the user's second line is gone after $1"
  return 0
}

# The pane shows VIEW (exact or fitted) of the whole picture, within 30 s
# (the music must start and the letters scroll in).
shows_view() {
  tmux -L "$socket" capture-pane -p -e -t demo >"$work/pane.txt"
  python3 "$(dirname "$0")/wine_pane_view.py" "$work/pane.txt" "$1" >"$work/view.txt"
}
check_view() {
  local rows=$1 view=$2
  pane_rows=$rows
  start_demo alone
  wait_for 30 shows_view "$view" || fail "$(cat "$work/view.txt") in a pane of 80 x $rows"
  tmux -L "$socket" send-keys -t demo Escape
  wait_for 20 has_ended || fail "Esc did not end the demo within 20 s"
  ended_with_status_0 "Esc in a pane of 80 x $rows"
}

case $mode in
  views)
    python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import test_music
test_music.write_track(sys.argv[2], sys.argv[3], seconds=40)' \
      "$(dirname "$0")/../platform/real_terminals" "$work/tones.mp3" "$work/tones.wav"
    # Wine's drive Z: is the root folder. (No winepath: a wine program started
    # here, outside a pane, can leave wine's services holding ctest's output.)
    demo_arguments=(--music "Z:${work//\//\\}\\tones.mp3")
    check_view 24 fitted
    check_view 50 exact
    echo "the whole picture at 80 x 24 (fitted) and at 80 x 50 (exact)"
    ;;
  esc)
    check_no_console
    start_demo alone
    tmux -L "$socket" send-keys -t demo C-c
    sleep 1
    has_ended && fail "Ctrl+C ended the demo (status $(cat "$status"))"
    tmux -L "$socket" send-keys -t demo a Up F1
    sleep 0.5
    has_ended && fail "a key other than Esc ended the demo"
    tmux -L "$socket" send-keys -t demo Escape
    wait_for 20 has_ended || fail "Esc did not end the demo within 20 s"
    ended_with_status_0 Esc
    start_demo from-cmd
    tmux -L "$socket" send-keys -t demo Escape
    wait_for 20 has_ended || fail "Esc did not end the demo under cmd within 20 s"
    check_console_given_back "Esc under cmd"
    echo "the demo drew, ignored Ctrl+C and other keys, ended with status 0 on Esc" \
      "and gave the console back"
    ;;
  end)
    start_demo from-cmd
    # 5296 frames of at least 11 ms each: about a minute, more on a busy machine.
    wait_for 240 has_ended || fail "the show did not end by itself within 4 minutes"
    check_console_given_back "the end of the show"
    echo "the whole show ran, ended by itself with status 0 and gave the console back"
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac
