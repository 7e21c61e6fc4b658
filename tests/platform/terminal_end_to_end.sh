#!/usr/bin/env bash
# The demo on a real terminal, a tmux pane of 80 x 50: it takes the terminal
# over (alternate screen, hidden cursor, title) and draws its picture; then,
# whichever way it ends (Esc, SIGTERM, SIGHUP, SIGQUIT, SIGSEGV), it exits
# with the expected status and leaves the terminal's modes (`stty -g`), the
# file status flags of the open terminal it shares with the shell (O_NONBLOCK
# among them, read from /proc), main screen and cursor exactly as it found them. Without a terminal it refuses
# to start: status 2, one line on stderr, nothing on stdout.
#
# Usage: terminal_end_to_end.sh VANTREL_BINARY SOURCE_DIR
set -euo pipefail
vantrel=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(mktemp -d)
socket="$work/tmux.sock"
title='Vantrel                                                                                    Copy me!  I want to travel.'
failures=0

on_tmux() { tmux -S "$socket" -f /dev/null "$@"; }
cleanup() {
  on_tmux kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  failures=$((failures + 1))
}

# shellcheck source=../support/wait-for.sh
source "$(cd "$(dirname "$0")" && pwd)/../support/wait-for.sh"

pane_shows() { [[ $(on_tmux display-message -p -t "$case_name" "$1") == "$2" ]]; }
# The first frame is in the pane: colours are drawn (in every view and
# character set). A slow build (ThreadSanitizer on a busy machine) may take
# more than a second from the take-over to it.
picture_drawn() { on_tmux capture-pane -p -e -t "$case_name" | grep -aq $'\e\\['; }

# The pane's script: note the terminal's modes, leave a line on the main
# screen, run the demo (its pid is the one `sh` has before exec), note the
# status and the modes again, then stay until released (at most 30 s).
cat >"$work/pane.sh" <<'PANE'
work=$1 vantrel=$2 music_dir=$3
shift 3
ulimit -c 0
cd "$music_dir"
stty -g >"$work/stty.before"
# Read on fd 0, the pane's terminal: fd 1 is the redirection while it runs.
status_flags() { sed -n 's/^flags:[[:space:]]*//p' "/proc/$$/fdinfo/0"; }
status_flags >"$work/flags.before"
echo "main screen line"
sh -c 'echo $$ >"$0/pid"; exec "$@"' "$work" "$@" "$vantrel"
status=$?
status_flags >"$work/flags.after"
echo $status >"$work/status.part" && mv "$work/status.part" "$work/status"
stty -g >"$work/stty.after"
for _ in $(seq 300); do [ -e "$work/release" ] && break; sleep 0.1; done
PANE

# A session that outlives the cases, so the server does not exit between them.
on_tmux new-session -d -s keeper -x 80 -y 50 "sleep 600"

music_dir="$source_dir/assets"
[[ -d $music_dir ]] || music_dir=$work

# run_case NAME ENDING EXPECTED_STATUS: ENDING is "Escape" or a signal name.
run_case() {
  case_name=$1
  local ending=$2 expected=$3
  rm -f "$work"/{pid,status,stty.before,stty.after,flags.before,flags.after,release}
  on_tmux new-session -d -s "$case_name" -x 80 -y 50 \
    "bash '$work/pane.sh' '$work' '$vantrel' '$music_dir'"
  if ! wait_for 20 test -s "$work/pid" || ! wait_for 20 pane_shows '#{alternate_on}' 1; then
    fail "the demo did not take the terminal over"
    on_tmux kill-session -t "$case_name" 2>/dev/null || true
    return
  fi
  wait_for 20 picture_drawn || fail "no picture within 20 s of the take-over"
  sleep 1
  check_picture
  local pid
  pid=$(cat "$work/pid")
  if [[ $ending == Escape ]]; then
    on_tmux send-keys -t "$case_name" Escape
  else
    kill -s "$ending" "$pid"
  fi
  if ! wait_for 20 test -e "$work/status"; then
    fail "the demo did not end"
    kill -s KILL "$pid" 2>/dev/null || true
    on_tmux kill-session -t "$case_name" 2>/dev/null || true
    return
  fi
  wait_for 5 test -s "$work/stty.after" || true
  [[ $(cat "$work/status") == "$expected" ]] || fail "exit status $(cat "$work/status"), wanted $expected"
  cmp -s "$work/stty.before" "$work/stty.after" || fail "terminal modes not restored"
  if [[ ! -s $work/flags.before ]] || ! cmp -s "$work/flags.before" "$work/flags.after"; then
    fail "file status flags of the shell's terminal $(cat "$work/flags.before") before, $(cat "$work/flags.after") after"
  fi
  pane_shows '#{alternate_on}' 0 || fail "still on the alternate screen"
  pane_shows '#{cursor_flag}' 1 || fail "cursor still hidden"
  on_tmux capture-pane -p -t "$case_name" | grep -aq "main screen line" ||
    fail "main screen contents not back"
  touch "$work/release"
  on_tmux kill-session -t "$case_name" 2>/dev/null || true
}

check_picture() {
  pane_shows '#{pane_title}' "$title" || fail "title not set"
  pane_shows '#{cursor_flag}' 0 || fail "cursor not hidden"
  local picture
  picture=$(on_tmux capture-pane -p -e -t "$case_name")
  [[ $(wc -l <<<"$picture") -eq 50 ]] || fail "the pane is not 50 rows"
  grep -aq "main screen line" <<<"$picture" && fail "the main screen shows through"
  # The ripple field's dark grey blocks on black are everywhere, in the
  # colours the pane's TERM (and COLORTERM, if the test has one) allows.
  grep -aqE $'\e\\[(90|38;5;244|38;2;128;128;128)m' <<<"$picture" || fail "no dark grey in the picture"
  grep -aq "█" <<<"$picture" || fail "no block characters in the picture"
}

run_case escape Escape 0
run_case sigterm TERM 143
run_case sighup HUP 129
run_case sigquit QUIT 131
run_case sigsegv SEGV 139

# start_small NAME COLUMNS ROWS [COMMAND PREFIX...]: the demo in a pane of
# that size, ended with Esc after a second; $picture holds what it showed.
start_small() {
  case_name=$1
  local columns=$2 rows=$3
  shift 3
  rm -f "$work"/{pid,status,stty.before,stty.after,release}
  on_tmux new-session -d -s "$case_name" -x "$columns" -y "$rows" \
    "bash '$work/pane.sh' '$work' '$vantrel' '$music_dir' $*"
  picture=
  if wait_for 20 pane_shows '#{alternate_on}' 1; then
    wait_for 20 picture_drawn || fail "no picture within 20 s of the take-over"
    sleep 1
    picture=$(on_tmux capture-pane -p -e -t "$case_name")
    on_tmux send-keys -t "$case_name" Escape
    wait_for 20 test -e "$work/status" || fail "the demo did not end"
  else
    fail "the demo did not take the terminal over"
  fi
}
end_small() {
  touch "$work/release"
  on_tmux kill-session -t "$case_name" 2>/dev/null || true
}

# In a terminal narrower than the picture the demo says so when it ends, on
# its stderr, which is the terminal here.
start_small small-terminal 70 30
on_tmux capture-pane -p -J -t "$case_name" | grep -q "the terminal was 70x30" ||
  fail "no note about the small terminal"
end_small

# At 80 x 24 the fitted view shows the whole picture: the bars' feet on the
# bottom row, half blocks and quadrants, and no note at the end.
start_small fitted-view 80 24
[[ $(tail -n 1 <<<"$picture") == *$'\e[38;5;196m'* || $(tail -n 1 <<<"$picture") == *"│"* ]] ||
  fail "no bars on the bottom row"
grep -aqE "▀|▄|▖|▗|▘|▝|▚|▞" <<<"$picture" || fail "no half blocks or quadrants in the fitted view"
on_tmux capture-pane -p -J -t "$case_name" | grep -q "the terminal was" &&
  fail "a note about a small terminal, though the fitted view showed it all"
end_small

# Without UTF-8 the picture is spaces and colours only.
start_small no-utf8 80 50 env LANG=C LC_ALL= LC_CTYPE=
LC_ALL=C grep -aq $'[\x80-\xff]' <<<"$picture" && fail "bytes of multi-byte characters without UTF-8"
grep -aqE $'\e\\[[0-9;]*48;5;244m|\e\\[[0-9;]*48;5;88m' <<<"$picture" ||
  fail "no coloured spaces without UTF-8"
end_small

case_name=no-terminal
status=0
"$vantrel" </dev/null >"$work/stdout" 2>"$work/stderr" || status=$?
[[ $status -eq 2 ]] || fail "exit status $status, wanted 2"
[[ ! -s $work/stdout ]] || fail "wrote to stdout"
[[ $(wc -l <"$work/stderr") -eq 1 ]] || fail "stderr is not one line: $(cat "$work/stderr")"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all end-to-end checks passed"
