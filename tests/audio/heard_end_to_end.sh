#!/usr/bin/env bash
# The demo heard through a real sound server: it plays into the test server's
# null sink (tests/support/sound-server) and the sink's monitor is recorded.
# The recording must be the music itself: from its very first sample, with a
# sample offset that never changes (no dropout, skip or repeat), at the
# track's level. Also checked: a short loop played three times has no seam,
# and the demo survives the server vanishing mid-show.
#
# Usage: heard_end_to_end.sh CASE DEMO SOUND_CHECK TRACK SERVER_FOLDER [RUNS]
#   CASE: track (RUNS times) | loops | server-killed
#   DEMO: the vantrel binary, or a .exe to run under wine (its waveOut
#   output plays through wine's PulseAudio driver).
set -euo pipefail
case_name=$1
demo=$(realpath "$2")
sound_check=$(realpath "$3")
track=$(realpath "$4")
server_folder=$5
runs=${6:-1}
here=$(cd "$(dirname "$0")" && pwd)
sound_server="$here/../support/sound-server"
sink=vantrel_test

work=$(mktemp -d)
socket="$work/tmux.sock"
on_tmux() { tmux -S "$socket" -f /dev/null "$@"; }
recorder=
cleanup() {
  [[ -n $recorder ]] && kill "$recorder" 2>/dev/null || true
  on_tmux kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$sound_server" start "$server_folder"
eval "$("$sound_server" env "$server_folder")"

# shellcheck source=../support/wait-for.sh
source "$(cd "$(dirname "$0")" && pwd)/../support/wait-for.sh"

runner=()
if [[ $demo == *.exe ]]; then
  runner=(wine)
  export WINEDEBUG=-all WINEDLLOVERRIDES="winepulse.drv=b"
fi

# The pane's script: runs the demo in MUSIC_DIR (where it finds its track
# first) and notes its exit status.
cat >"$work/pane.sh" <<'PANE'
work=$1 music_dir=$2
shift 2
cd "$music_dir"
"$@"
echo $? >"$work/status.part" && mv "$work/status.part" "$work/status"
sleep 600
PANE

# More than 0.2 s recorded.
holds_silence() { (($(stat -c %s "$1" 2>/dev/null || echo 0) > 35280)); }

# The recording holds a loud frame: the music has begun.
music_began() {
  local frame
  frame=$("$sound_check" onset "$1") && ((frame >= 0))
}

# play_and_record MUSIC_DIR SECONDS RECORDING: records the sink while the
# demo plays for SECONDS, then ends the demo with Esc.
play_and_record() {
  local music_dir=$1 seconds=$2 recording=$3
  rm -f "$work/status" "$recording"
  parec -d "$sink.monitor" --raw --format=s16le --rate=44100 --channels=2 \
    --latency-msec=20 "$recording" &
  recorder=$!
  # The recording must hold silence before the demo starts; the recorder
  # can take a second or two to deliver its first data.
  wait_for 20 holds_silence "$recording" ||
    echo "the recorder did not start" >&2
  on_tmux new-session -d -s demo -x 80 -y 50 \
    "bash '$work/pane.sh' '$work' '$music_dir' ${runner[*]} '$demo'"
  # SECONDS of music, counted from its first sound (wine takes a while to
  # start).
  wait_for 30 music_began "$recording" || echo "no music within 30 s" >&2
  sleep "$seconds"
  on_tmux send-keys -t demo Escape
  wait_for 20 test -s "$work/status" || echo "the demo did not end on Esc" >&2
  kill "$recorder"
  wait "$recorder" 2>/dev/null || true
  recorder=
  on_tmux kill-session -t demo 2>/dev/null || true
  [[ -s $work/status && $(cat "$work/status") == 0 ]]
}

failures=0
fail() {
  echo "FAIL ($case_name): $*" >&2
  failures=$((failures + 1))
}

case $case_name in
  track)
    # The fault this guards against shows in about one run of three.
    mkdir -p "$work/music"
    ln -s "$track" "$work/music/BlueNoise.mp3"
    for run in $(seq "$runs"); do
      play_and_record "$work/music" 20.5 "$work/track.raw" || fail "run $run: the demo did not exit 0"
      echo -n "run $run: "
      "$sound_check" compare "$work/track.raw" "$track" 20 1 0.001 || {
        fail "run $run: not the track"
        [[ -n ${KEEP_RECORDINGS:-} ]] && cp "$work/track.raw" "$KEEP_RECORDINGS/track-$run.raw"
      }
    done
    ;;
  loops)
    # Three passes of a two-second loop; the decoder must drop the encoder's
    # delay and padding, or each seam leaves a gap.
    mkdir -p "$work/music"
    "$sound_check" tone "$work/loop.raw" 2
    lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 192 \
      "$work/loop.raw" "$work/music/BlueNoise.mp3" 2>/dev/null
    play_and_record "$work/music" 6.5 "$work/loops.raw" || fail "the demo did not exit 0"
    "$sound_check" compare "$work/loops.raw" "$work/loop.raw" 5.9 3 0.05 || fail "the loops have a seam"
    ;;
  server-killed)
    # The server vanishes mid-show: the demo goes on drawing to its end (Esc
    # here) and leaves the terminal as it found it.
    mkdir -p "$work/music"
    ln -s "$track" "$work/music/BlueNoise.mp3"
    rm -f "$work/status"
    on_tmux new-session -d -s demo -x 80 -y 50 \
      "bash '$work/pane.sh' '$work' '$work/music' ${runner[*]} '$demo'"
    sleep 3
    kill -KILL "$(cat "$XDG_RUNTIME_DIR/pulse/pid")"
    before=$(on_tmux capture-pane -p -t demo)
    sleep 2
    [[ $(on_tmux capture-pane -p -t demo) != "$before" ]] || fail "the picture stopped moving"
    [[ ! -e $work/status ]] || fail "the demo ended when the server went"
    on_tmux send-keys -t demo Escape
    wait_for 20 test -s "$work/status" || fail "the demo did not end on Esc"
    [[ -s $work/status && $(cat "$work/status") == 0 ]] || fail "exit status $(cat "$work/status")"
    [[ $(on_tmux display-message -p -t demo '#{alternate_on}') == 0 ]] ||
      fail "the terminal was left on the alternate screen"
    # The next test finds a server again.
    "$sound_server" stop "$server_folder"
    "$sound_server" start "$server_folder"
    ;;
  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
((failures == 0))
