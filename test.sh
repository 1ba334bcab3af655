#!/usr/bin/env bash
# Installs what is missing, builds (Release with assertions, plus tests) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
JOBS=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVAN_TESTS=ON -DQUORVAN_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
cd build
ctest --output-on-failure -j"$JOBS" --timeout 300
