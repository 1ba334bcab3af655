#!/usr/bin/env bash
# Runs the measurements against a Release build (./test.sh or ./run.sh builds it first).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j"$(nproc)" --target bench_interpreter >/dev/null
echo "== output interpreter"
build/bench/bench_interpreter
cmake --build build -j"$(nproc)" --target bench_slavecommand >/dev/null
echo "== slave-command builder"
build/bench/bench_slavecommand
cmake --build build -j"$(nproc)" --target bench_rar >/dev/null
echo "== RAR reader and fingerprints"
build/bench/bench_rar "${TMPDIR:-/tmp}"
cmake --build build -j"$(nproc)" --target bench_bridge quorvan_rar >/dev/null
echo "== RAR bridge of the player wrapper"
build/bench/bench_bridge build/QuorvanPlayer "${TMPDIR:-/tmp}/quorvan-bench-bridge"
cmake --build build -j"$(nproc)" --target bench_napiprojekt >/dev/null
echo "== Napiprojekt subtitle: fingerprint, request, 7zz, placement"
build/bench/bench_napiprojekt "${TMPDIR:-/tmp}"
cmake --build build -j"$(nproc)" --target bench_subtitles quorvan_wrapper >/dev/null
echo "== subtitle lines of the player wrapper (60 s of real time)"
build/bench/bench_subtitles build/QuorvanPlayer "${TMPDIR:-/tmp}/quorvan-bench-subtitles"
cmake --build build -j"$(nproc)" --target bench_upload >/dev/null
echo "== OpenSubtitles upload: preparation of a 100 KB subtitle"
build/bench/bench_upload "${TMPDIR:-/tmp}"
echo "== thumbnail sheets"
bench/thumbs.sh
cmake --build build -j"$(nproc)" --target bench_relaunch quorvan_wrapper fakeplayer >/dev/null
echo "== 200 relaunches through the player wrapper (fake player)"
build/bench/bench_relaunch build/QuorvanPlayer build/tests/bin/fakeplayer 200
cmake --build build -j"$(nproc)" --target bench_voiceover >/dev/null
echo "== voice-over latency"
build/bench/bench_voiceover build/QuorvanPlayer "${TMPDIR:-/tmp}/quorvan-bench-voiceover"
cmake --build build -j"$(nproc)" --target bench_speechsync >/dev/null
echo "== subtitles synchronised to speech (generated spoken movies; the first run makes them)"
build/bench/bench_speechsync "${TMPDIR:-/tmp}/quorvan-bench-speechsync" 30 20 90
build/bench/bench_speechsync --two-hours "${TMPDIR:-/tmp}/quorvan-bench-speechsync"
