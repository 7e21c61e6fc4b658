#!/bin/sh
# Runs inside the terminal under test. Leaves a line on the main screen,
# waits for WORK/go, runs the demo on the terminal as a user would (its pid
# in WORK/pid), writes its exit status to WORK/status, then stays until
# WORK/release appears or the terminal closes. Every wait is bounded.
#
# Usage: show.sh WORK VANTREL [ARGUMENTS...]
work=$1
shift
cd "$work" || exit 1
printf 'TERM=%s COLORTERM=%s\n' "${TERM-}" "${COLORTERM-}" >"$work/terminal-type"
tty >"$work/tty.part" && mv "$work/tty.part" "$work/tty"
echo "main screen line"
tries=0
while [ ! -e "$work/go" ] && [ $tries -lt 1200 ]; do
  sleep 0.05
  tries=$((tries + 1))
done
sh -c 'echo $$ >"$0/pid.part" && mv "$0/pid.part" "$0/pid" && exec "$@"' "$work" "$@"
echo $? >"$work/status.part" && mv "$work/status.part" "$work/status"
tries=0
while [ ! -e "$work/release" ] && [ $tries -lt 1200 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
