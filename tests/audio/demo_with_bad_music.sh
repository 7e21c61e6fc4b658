#!/usr/bin/env bash
# The whole demo, in a pseudo-terminal, with a bad music file in place of
# BlueNoise.mp3 each time (and once with the good one): it must run, end with
# status 0 on Esc, and put no text of any library on the screen.
# SDL_AUDIODRIVER names no driver, so no sound device opens, as on a machine
# without a sound card, and nothing plays on a developer's speakers. Two runs
# open a device: SDL's silent dummy device with the good track (through the
# device's callback), and the machine's own with no music at all (where a
# machine without a sound card has ALSA complain, out of sight). Files with
# audio in them must make the bars move; the others must leave them empty.
# Usage: demo_with_bad_music.sh VANTREL SHIPPED_TRACK DATA_DIR
set -euo pipefail
vantrel=$1
track=$2
installed=$3/BlueNoise.mp3  # an installed vantrel finds its music there
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
has_audio() { [[ $1 =~ ^(truncated|corrupt-middle|mono-22050|good|good-dummy-device)$ ]]; }

for name in missing empty random-bytes renamed-wav truncated corrupt-middle mono-22050 folder \
            good good-dummy-device missing-default-device; do
  dir=$(make_case "$name")
  status=0
  case $name in
    good-dummy-device) export SDL_AUDIODRIVER=dummy ;;
    missing-default-device) unset SDL_AUDIODRIVER ;;
    *) export SDL_AUDIODRIVER=none ;;
  esac
  # Esc after 1.5 s; the demo ends on it after presenting that frame.
  (sleep 1.5; printf '\033') |
    script -qec "cd '$dir' && exec '$vantrel'" "$work/$name.log" \
      >/dev/null 2>&1 || status=$?
  if [[ $status -ne 0 ]]; then
    echo "FAIL $name: exit status $status"
    failures=$((failures + 1))
  elif grep -a -i -q -E 'alsa|mpg123|sdl|error|warning|cannot' "$work/$name.log"; then
    echo "FAIL $name: library text on the screen:"
    grep -a -i -E 'alsa|mpg123|sdl|error|warning|cannot' "$work/$name.log" | head -5
    failures=$((failures + 1))
  elif has_audio "$name" && ! grep -a -q '│' "$work/$name.log"; then
    echo "FAIL $name: the bars never moved"
    failures=$((failures + 1))
  elif ! has_audio "$name" && [[ ! -f $installed ]] && grep -a -q '│' "$work/$name.log"; then
    echo "FAIL $name: bars without music"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done
exit $((failures > 0))
