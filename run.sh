#!/usr/bin/env bash
# Installs what is missing, builds the program folder and opens QuorvanPlayer on a 20-second
# sample movie: on the screen when there is a display, else inside a virtual X server. After a
# few seconds it saves a screenshot of the window to out/run.png and prints the window title.
# QUORVAN_BUILD_DIR chooses the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")"

# Second stage: runs on the display (the real one or Xvfb's).
if [ "${1:-}" = "--show" ]; then
  stage=$2 sample=$3 keep=$4
  mkdir -p out
  "$stage/QuorvanPlayer" "$sample" &
  pid=$!
  win=""
  for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --pid "$pid" --name "Quorvan Rar" 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  if [ -z "$win" ]; then
    echo "The window did not appear." >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  sleep 4 # the player starts and draws its first pictures
  title=$(xdotool getwindowname "$win")
  eval "$(xdotool getwindowgeometry --shell "$win")"
  ffmpeg -v error -y -f x11grab -video_size "${WIDTH}x${HEIGHT}" -i "${DISPLAY}+${X},${Y}" \
    -frames:v 1 out/run.png
  echo "Window title: $title"
  echo "Screenshot: out/run.png"
  if [ "$keep" = "keep" ]; then
    wait "$pid"
  else
    # Escape takes the program's normal way out (settings and lists are written).
    xdotool key --window "$win" Escape 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null || true
  fi
  exit 0
fi

./scripts/install-deps.sh
build=${QUORVAN_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVAN_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target QuorvanPlayer quorvan_wrapper quorvan_resources
sample=$build/sample/sample20s.avi
if [ ! -s "$sample" ]; then
  mkdir -p "$build/sample"
  ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=20 \
    -f lavfi -i sine=frequency=440:duration=20 -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k \
    -shortest "$sample.tmp.avi"
  mv "$sample.tmp.avi" "$sample"
fi
stage=$PWD/$build/QuorvanPlayer
if [ -n "${DISPLAY:-}" ]; then
  exec "$0" --show "$stage" "$PWD/$sample" keep
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --show "$stage" "$PWD/$sample" close
