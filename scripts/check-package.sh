#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (default build) and checks it the
# way a user meets it: unpacked into a scratch root, lintian finds no error, the installed
# `quorvan hash` fingerprints a movie like the build's own, and the installed program opens its
# window in a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."

# Second stage, inside the virtual X server: start the installed program and wait for its window.
if [ "${1:-}" = "--show" ]; then
  root=$2
  HOME=$3 XDG_CONFIG_HOME='' "$root/usr/bin/quorvan-player" 2>"$3/stderr.log" &
  program=$!
  for _ in $(seq 150); do
    if xdotool search --onlyvisible --pid "$program" --name "Quorvan Rar" >/dev/null 2>&1; then
      kill "$program"
      wait "$program" 2>/dev/null || true
      exit 0
    fi
    if ! kill -0 "$program" 2>/dev/null; then
      cat "$3/stderr.log" >&2
      exit 1
    fi
    sleep 0.1
  done
  kill "$program" 2>/dev/null || true
  cat "$3/stderr.log" >&2
  exit 1
fi

build=${1:-build}

if ! cmake --build "$build" --target package >"$build/package.log" 2>&1; then
  cat "$build/package.log" >&2
  exit 1
fi
deb=$(ls "$build"/quorvan-player_*_amd64.deb | head -n1)
echo "package: $deb"

scratch=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "package check: $*" >&2
  exit 1
}

# What the program starts or loads must be named, besides what dpkg-shlibdeps found.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in mplayer 7zip espeak-ng-data qt6-qpa-plugins libqt6widgets6; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

if ! report=$(lintian --fail-on warning "$deb" 2>&1); then
  echo "$report" >&2
  fail "lintian reports errors or warnings"
fi
echo "$report" | grep -v "root privileges" || true

dpkg -x "$deb" "$scratch/root"
root=$scratch/root
for entry in "$root"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" || fail "invalid desktop entry $entry"
done
[ -L "$root/usr/bin/quorvan-player" ] && [ -x "$root/usr/bin/quorvan-player" ] ||
  fail "/usr/bin/quorvan-player is no link to the program"

# Each program on the PATH has its page, and quorvan's page tells every subcommand it has.
for page in quorvan-player quorvan; do
  [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done
quorvan_page=$(zcat "$root/usr/share/man/man1/quorvan.1.gz")
subcommands=$("$root/usr/bin/quorvan" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$subcommands" ] || fail "quorvan --help lists no subcommand"
for sub in $subcommands; do
  grep -qF ".BR ${sub//-/\\-} " <<<"$quorvan_page" || fail "quorvan(1) does not tell '$sub'"
done
echo "manual pages: ok"

movie="$scratch/Film ż.avi"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v mpeg4 "$movie"
installed=$("$root/usr/bin/quorvan" hash "$movie") || fail "installed quorvan hash failed"
built=$("$build/QuorvanPlayer/quorvan" hash "$movie")
[ -n "$installed" ] && [ "$installed" = "$built" ] ||
  fail "installed quorvan hash differs: '$installed' against '$built'"
echo "installed quorvan hash: ok"

# The installed program, in a home of its own, until its main window is mapped.
mkdir -p "$scratch/home"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --show "$root" "$scratch/home" ||
  fail "the installed program showed no window"
echo "installed program window: ok"
