#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + address and undefined sanitizers) and runs
# one of them. Usage: fuzz/run.sh [seconds=60] [target=rar_fuzz]
# The corpus lives in $QUORVAN_FUZZ_DIR (default /tmp/quorvan-fuzz), seeded with the first
# volumes of the shared RAR test data. Not part of ./test.sh: run by hand or in CI.
set -euo pipefail
seconds=${1:-60}
target=${2:-rar_fuzz}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${QUORVAN_FUZZ_DIR:-/tmp/quorvan-fuzz}
mkdir -p "$out/corpus-$target"

flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -Wall -Wextra -Werror -I"$root")
case "$target" in
  rar_fuzz)
    sources=("$here/rar_fuzz.cpp" "$root/rar/rarheader.cpp" "$root/rar/rarnames.cpp"
             "$root/rar/rarvolumeset.cpp" "$root/platform/textutil.cpp"
             "$root/platform/windowport.cpp" "$root/platform/process_posix.cpp"
             "$root/platform/cmdline.cpp" "$root/platform/paths.cpp")
    for f in "$root"/../shared/testdata/rar/*.rar "$root"/../shared/testdata/rar/*.part1.rar; do
      [ -f "$f" ] && cp -f "$f" "$out/corpus-$target/" 2>/dev/null || true
    done
    ;;
  persist_fuzz)
    sources=("$here/persist_fuzz.cpp" "$root/platform/profile.cpp" "$root/persist/history.cpp"
             "$root/persist/optins.cpp" "$root/platform/statefolder.cpp"
             "$root/platform/paths.cpp")
    cp -f "$root"/resources/locale/*.ini "$out/corpus-$target/"
    ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
clang++ "${flags[@]}" "${sources[@]}" -o "$out/$target"
exec "$out/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$out/corpus-$target"
