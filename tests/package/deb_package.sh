#!/usr/bin/env bash
# The Debian package as a user meets it: made by the build's package target,
# free of lintian errors, installed with dpkg -i; its manual pages found and
# shown by man, the demo's --version run from /, a short show on a
# pseudo-terminal from an empty folder with moving bars that ends on Esc with
# status 0; then dpkg -r removes every file it installed. Needs root (dpkg);
# skipped otherwise.
# Usage: deb_package.sh BUILD_DIR PTY_RUN
set -euo pipefail
build=$1
pty_run=$2
if [[ $(id -u) != 0 ]]; then
  echo "skipped: installing a package needs root"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg -r vantrel >/dev/null 2>&1 || true' EXIT

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
ok() { echo "ok   $*"; }

cmake --build "$build" --target package >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "the package target failed"; exit 1; }
deb=$(find "$build" -maxdepth 1 -name 'vantrel_*_amd64.deb' | head -1)
[[ -f $deb ]] || { fail "no vantrel_<version>_amd64.deb in $build"; exit 1; }

if lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1; then
  ok "lintian: no error"
else
  fail "lintian:"
  grep -v "root privileges" "$work/lintian.txt"
fi

dpkg -r vantrel >/dev/null 2>&1 || true
if ! dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
  cat "$work/dpkg.log"
  fail "dpkg -i"
  exit 1
fi
dpkg -L vantrel | while read -r path; do [[ -f $path ]] && echo "$path"; done >"$work/files"
ok "installed $(wc -l <"$work/files") files"

for page in vantrel vantrel-frames; do
  if man -w "$page" >/dev/null 2>&1 &&
     MANPAGER=cat MANWIDTH=80 man "$page" 2>/dev/null | grep -q "EXIT STATUS"; then
    ok "man $page"
  else
    fail "man $page: not found, or no EXIT STATUS section"
  fi
done

version=$(cd / && /usr/bin/vantrel --version) || fail "vantrel --version from / failed"
[[ $version == "vantrel "[0-9]* ]] && ok "$version" || fail "--version said '$version'"

mkdir "$work/empty"
report=$(cd "$work/empty" && SDL_AUDIODRIVER=none \
  "$pty_run" --esc-after-frames 100 --timeout 20 --log "$work/show.log" -- /usr/bin/vantrel)
if [[ $report != *" exit=0 ending=esc" ]]; then
  fail "the installed demo did not end on Esc with status 0: $report"
elif ! grep -a -q '│' "$work/show.log"; then
  fail "the installed demo's bars never moved"
else
  ok "a show from an empty folder: bars moved, Esc, status 0"
fi

dpkg -r vantrel >/dev/null
left=0
while read -r path; do
  [[ -e $path ]] && { fail "left after dpkg -r: $path"; left=1; }
done <"$work/files"
((left == 0)) && ok "dpkg -r removed every file"
exit $((failures > 0))
