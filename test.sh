#!/usr/bin/env bash
# Installs what is missing, builds (Release with assertions, plus tests) and runs every test
# through CTest; builds and checks the Debian package; then builds the unit tests again with the
# address and undefined-behaviour sanitizers and runs them (QUORVAN_SKIP_SANITIZERS=1 skips that
# second pass).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
JOBS=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVAN_TESTS=ON -DQUORVAN_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS" --timeout 300)
# The Debian package: built, unpacked, lintian-clean, and its programs run from where it puts them.
./scripts/check-package.sh build

if [ "${QUORVAN_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" \
    -DQUORVAN_SANITIZE=address,undefined -DQUORVAN_GUI=OFF -DQUORVAN_BENCH=OFF -DQUORVAN_TESTS=ON >/dev/null
  cmake --build build-asan -j"$JOBS"
  (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$JOBS" --timeout 300 -L unit)

  # The player reader, the workers and the window thread share state: no data races.
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g0" \
    -DQUORVAN_SANITIZE=thread -DQUORVAN_GUI=OFF -DQUORVAN_BENCH=OFF -DQUORVAN_TESTS=ON >/dev/null
  cmake --build build-tsan -j"$JOBS"
  (cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/../tests/tsan.supp" \
    ctest --output-on-failure -j"$JOBS" --timeout 300 -L unit)
fi
