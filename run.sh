#!/usr/bin/env bash
# Installs what is missing, builds, and plays a 20-second sample movie through the player
# engine, printing what it learns (length, picture size, position, end of the movie).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVAN_TESTS=ON >/dev/null
cmake --build build -j"$(nproc)" --target quorvan_demo quorvan_wrapper
sample=build/sample/sample20s.avi
if [ ! -s "$sample" ]; then
  mkdir -p build/sample
  ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=20 \
    -f lavfi -i sine=frequency=440:duration=20 -c:v mpeg4 -q:v 5 -c:a libmp3lame -b:a 64k \
    -shortest "$sample.tmp.avi"
  mv "$sample.tmp.avi" "$sample"
fi
exec build/tools/demo/quorvan_demo "$PWD/$sample"
