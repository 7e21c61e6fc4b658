#!/usr/bin/env bash
# The whole demo on a pseudo-terminal with a bad music file in place of
# BlueNoise.mp3 each time (and once with the good one, once with none): it
# must run, end on the Esc sent after its 100th frame (not by itself, not on a
# timeout), with status 0, and put no text of any library on the screen. A
# file that is there is what plays, however damaged; only where there is none
# does the built-in track play. Then --music with a good, a missing and a bad
# file, --help and a wrong option, the demo run from the repository root and
# installed.
# SDL_AUDIODRIVER names no driver, so no sound device opens, as on a machine
# without a sound card, and nothing plays on a developer's speakers. Two runs
# open a device: SDL's silent dummy device with the good track (through the
# device's callback), and the machine's own with no music at all (where a
# machine without a sound card has ALSA complain, out of sight). Files with
# audio in them must make the bars move; the others must leave them empty.
# Usage: demo_with_bad_music.sh VANTREL PTY_RUN SHIPPED_TRACK SOURCE_DIR
set -euo pipefail
built=$1
pty_run=$2
track=$3
source_dir=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The demo copied alone: the track it plays is the one built into it.
mkdir "$work/bin"
cp "$built" "$work/bin/vantrel"
vantrel=$work/bin/vantrel

# A piece of the real track to damage.
head -c 300000 "$track" >"$work/piece.mp3"

make_case() {
  local name=$1 dir="$work/$1"
  mkdir -p "$dir"
  local music="$dir/BlueNoise.mp3"
  case $name in
    missing) ;;
    empty) : >"$music" ;;
    random-bytes) head -c 200000 /dev/urandom >"$music" ;;
    renamed-wav) lame --quiet --decode "$work/piece.mp3" "$music" ;;
    truncated) head -c "$(($(stat -c %s "$track") / 2))" "$track" >"$music" ;;
    corrupt-middle)
      cp "$track" "$music"
      dd if=/dev/urandom of="$music" bs=4096 count=4 seek=300 conv=notrunc status=none ;;
    mono-22050) lame --quiet --mp3input -m m --resample 22.05 -b 64 "$work/piece.mp3" "$music" ;;
    folder) mkdir "$music" ;;
    missing-default-device) ;;
    good|good-dummy-device) cp "$track" "$music" ;;
  esac
  echo "$dir"
}

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
# Empty, random bytes and a WAV under the MP3's name are played as they are: silence.
has_audio() { [[ ! $1 =~ ^(empty|random-bytes|renamed-wav)$ ]]; }

# run_show NAME DIR [ARG...]: the demo in DIR on a pseudo-terminal, Esc after
# its 100th frame; checks how it ended and what it drew.
run_show() {
  local name=$1 dir=$2
  shift 2
  local report
  report=$(cd "$dir" && "$pty_run" --esc-after-frames 100 --timeout 20 --log "$work/$name.log" \
    -- "$@")
  if [[ $report != *" exit=0 ending=esc" ]]; then
    fail "$name: did not end on Esc with status 0: $report"
  elif grep -a -i -q -E 'alsa|mpg123|sdl|error|warning|cannot' "$work/$name.log"; then
    fail "$name: library text on the screen:"
    grep -a -i -E 'alsa|mpg123|sdl|error|warning|cannot' "$work/$name.log" | head -5
  elif has_audio "$name" && ! grep -a -q '│' "$work/$name.log"; then
    fail "$name: the bars never moved"
  elif ! has_audio "$name" && grep -a -q '│' "$work/$name.log"; then
    fail "$name: bars without music"
  else
    echo "ok   $name"
  fi
}

for name in missing empty random-bytes renamed-wav truncated corrupt-middle mono-22050 folder \
            good good-dummy-device missing-default-device; do
  dir=$(make_case "$name")
  case $name in
    good-dummy-device) export SDL_AUDIODRIVER=dummy ;;
    missing-default-device) unset SDL_AUDIODRIVER ;;
    *) export SDL_AUDIODRIVER=none ;;
  esac
  run_show "$name" "$dir" "$vantrel"
done
export SDL_AUDIODRIVER=none

# One's own music, in a folder without the track, at its own rate and channels.
run_show music-option "$work/missing" "$vantrel" --music ../mono-22050/BlueNoise.mp3

# expect_refusal NAME STATUS STREAM PATTERN ARG...: the demo answers without
# taking the terminal: STATUS, one line or the usage on STREAM, the other empty.
expect_refusal() {
  local name=$1 expected=$2 stream=$3 pattern=$4
  shift 4
  local status=0
  "$vantrel" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err" || status=$?
  local other=err
  [[ $stream == err ]] && other=out
  if [[ $status -ne $expected ]]; then
    fail "$name: exit status $status, wanted $expected"
  elif ! grep -q -E "$pattern" "$work/$name.$stream"; then
    fail "$name: no '$pattern' on std$stream: $(cat "$work/$name.$stream")"
  elif [[ -s $work/$name.$other ]]; then
    fail "$name: wrote to std$other: $(cat "$work/$name.$other")"
  elif [[ $expected -eq 2 && $pattern != *usage* && $(wc -l <"$work/$name.err") -ne 1 ]]; then
    fail "$name: not one line: $(cat "$work/$name.err")"
  else
    echo "ok   $name"
  fi
}
expect_refusal music-missing 2 err "cannot play .*: no such file" --music "$work/nowhere.mp3"
expect_refusal music-bad 2 err "cannot play .*: not an audio file" \
  --music "$work/random-bytes/BlueNoise.mp3"
expect_refusal help 0 out "^usage: vantrel" --help
expect_refusal version 0 out "^vantrel [0-9]" --version
expect_refusal unknown-option 2 err "^usage: vantrel" --no-such-option

# From the repository root (the track is in assets/, not here) it plays.
run_show from-root "$source_dir" "$built"

# Installed (here staged under a scratch folder), it plays from any folder.
# Nothing but the programs and their documents is installed.
if DESTDIR="$work/staged" cmake --install "$(dirname "$built")" >/dev/null; then
  run_show installed "$work/missing" "$(find "$work/staged" -path '*/bin/vantrel' -type f)"
  if find "$work/staged" -name '*.mp3' | grep -q .; then
    fail "installed: a music file was installed beside the program"
  fi
else
  fail "installed: cmake --install failed"
fi

exit $((failures > 0))
