#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + address and undefined sanitizers, through the
# CMake option QUORVAN_FUZZ) and runs one of them.
#   fuzz/run.sh [seconds=60] [target=rar_fuzz]     targets: rar_fuzz persist_fuzz fuzz_player_output subtitle_fuzz
#                                                  thumbs_fuzz online_fuzz wrapper_fuzz rar29_fuzz
# The corpus lives in $QUORVAN_FUZZ_DIR (default /tmp/quorvan-fuzz), seeded from the shared RAR
# test data and the shipped language files. Not part of ./test.sh: run by hand.
set -euo pipefail
seconds=${1:-60}
target=${2:-rar_fuzz}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${QUORVAN_FUZZ_DIR:-/tmp/quorvan-fuzz}
corpus=$out/corpus-$target
mkdir -p "$corpus"

"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVAN_FUZZ=ON -DQUORVAN_GUI=OFF -DQUORVAN_TESTS=OFF >/dev/null
cmake --build "$root/build-fuzz" -j"$(nproc)" --target "$target"

case "$target" in
  rar_fuzz)
    for f in "$root"/../shared/testdata/rar/*.rar; do
      [ -f "$f" ] && cp -f "$f" "$corpus/" 2>/dev/null || true
    done ;;
  persist_fuzz) cp -f "$root"/resources/locale/*.ini "$corpus/" ;;
  fuzz_player_output) ;;
  rar29_fuzz) printf '\x2f\x00\x00' >"$corpus/seed" ;;
  subtitle_fuzz) printf '1\n00:00:01,000 --> 00:00:02,000\n<i>x</i>\n' >"$corpus/seed.srt"
    printf '{1}{1}23.976\n{10}{20}a|b\n' >"$corpus/seed.sub" ;;
  online_fuzz) cp -f "$root"/resources/locale/opensubtitles*.txt "$corpus/"
    printf '%s' '{"total_count":1,"data":[{"id":"1","attributes":{"language":"pl","download_count":5,"hearing_impaired":true,"ai_translated":false,"machine_translated":false,"moviehash_match":true,"release":"r","files":[{"file_id":7,"file_name":"a.srt"}],"feature_details":{"title":"t"}}}]}' >"$corpus/search.json"
    printf '%s' '{"link":"https://x/y","file_name":"a.srt","requests":3,"remaining":17,"reset_time":"23 hours","reset_time_utc":"2024-01-01T00:00:00Z","token":"t","base_url":"vip.example:443","user":{"allowed_downloads":20}}' >"$corpus/download.json" ;;
  thumbs_fuzz) cp -f "$root"/resources/logo.bmp "$root"/resources/imagehosts/*.ini "$corpus/" ;;
  wrapper_fuzz) printf 'A: 612.3 V: 612.4 A-V: -0.046 ct:  0.000\r' >"$corpus/status"
    printf 'pausing seek 30.5 2' >"$corpus/seek" ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
exec "$root/build-fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$corpus"
