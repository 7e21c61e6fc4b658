#!/bin/sh
# Runs inside the terminal under test. Writes what the terminal tells its
# programs (TERM, COLORTERM, VTE_VERSION), leaves a line on the main screen,
# waits for WORK/go, runs the demo on the terminal as a user would (its pid
# in WORK/pid, its stderr in WORK/stderr), writes its exit status to
# WORK/status, then stays until WORK/release appears or the terminal closes.
# Every wait is bounded.
#
# Usage: show.sh WORK VANTREL [ARGUMENTS...]
work=$1
shift
cd "$work" || exit 1
printf 'TERM=%s COLORTERM=%s\n' "${TERM-}" "${COLORTERM-}" >"$work/terminal-type.part" &&
  printf '%s\n' "${VTE_VERSION-}" >"$work/vte-version" &&
  mv "$work/terminal-type.part" "$work/terminal-type"
tty >"$work/tty.part" && mv "$work/tty.part" "$work/tty"
echo "main screen line"
tries=0
while [ ! -e "$work/go" ] && [ $tries -lt 1200 ]; do
  sleep 0.05
  tries=$((tries + 1))
done
# The demo's stderr goes to WORK/stderr: what it says at the end must not
# change the main screen, which the test compares with the one before.
sh -c 'echo $$ >"$0/pid.part" && mv "$0/pid.part" "$0/pid" && exec "$@" 2>"$0/stderr"' \
  "$work" "$@"
echo $? >"$work/status.part" && mv "$work/status.part" "$work/status"
tries=0
while [ ! -e "$work/release" ] && [ $tries -lt 1200 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
