#!/usr/bin/env bash
# vantrel-sound-check must pass a faithful recording of a loop played three
# times and fail each fault the heard tests look for: a lost start, a gap
# (a dropout or an untrimmed seam) and a click.
#
# Usage: sound_check_catches_faults.sh SOUND_CHECK
set -euo pipefail
check=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$check" tone loop.raw 2
cat loop.raw loop.raw loop.raw >three.raw
head -c $((4 * 22050)) /dev/zero >silence.raw
seam=$((4 * 88200)) # bytes up to the first seam

cat silence.raw three.raw silence.raw >faithful.raw
{ cat silence.raw; tail -c +$((4 * 8820 + 1)) three.raw; cat silence.raw; } >lost-start.raw
{ cat silence.raw; head -c $seam three.raw; head -c $((4 * 1940)) /dev/zero
  tail -c +$((seam + 1)) three.raw; cat silence.raw; } >gap.raw
{ cat silence.raw; head -c $seam three.raw; head -c 40 /dev/zero
  tail -c +$((seam + 41)) three.raw; cat silence.raw; } >click.raw

failures=0
expect() {
  local verdict=$1 recording=$2 line
  line=$("$check" compare "$recording" loop.raw 5.5 3 0.05 | tail -1) || true
  if [[ $line != "$verdict"* ]]; then
    echo "FAIL: $recording should be $verdict: $line" >&2
    failures=$((failures + 1))
  fi
}
expect PASS faithful.raw
expect FAIL lost-start.raw
expect FAIL gap.raw
expect FAIL click.raw
((failures == 0))
