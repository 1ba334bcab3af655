#!/usr/bin/env bash
# Runs the measurements against a Release build (./test.sh or ./run.sh builds it first).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build -j"$(nproc)" --target bench_interpreter >/dev/null
echo "== output interpreter"
build/bench/bench_interpreter
cmake --build build -j"$(nproc)" --target bench_rar >/dev/null
echo "== RAR reader and fingerprints"
build/bench/bench_rar "${TMPDIR:-/tmp}"
