#!/usr/bin/env bash
# MPEG-TS recordings: which way of reading them keeps the first picture after a seek. An H.264
# recording (a keyframe every 2 s) and an MPEG-2 one (every 0.5 s), 720x576 and 3 minutes, get
# 20 seeks each to times between keyframes, each followed by a screenshot, through
#   lavf    mplayer's libavformat demuxer (-demuxer lavf), which seeks by timestamps itself;
#   native  binary/QUORVAN on mplayer's own TS demuxer: the wrapper turns each seek into the byte
#           where the keyframe at or after the asked time begins.
# A screenshot counts as a picture when it matches ffmpeg's frame at the time the player
# answered (PSNR of 25 dB or more); the grey of a decoder without its reference frames does not.
# Also the mean distance of the landing from the asked time.
#   bench/tsseek.sh            (after a build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${QUORVAN_BENCH_DIR:-${TMPDIR:-/tmp}/quorvan-bench-tsseek}
mkdir -p "$dir"
wrapper=$root/build/QuorvanPlayer/binary/QUORVAN
[ -x "$wrapper" ] || { echo "build first: cmake --build build" >&2; exit 1; }

make_movie() { # name codec-options...
  local name=$1; shift
  [ -f "$dir/$name" ] && return
  echo "making $name ..." >&2
  ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=720x576:rate=25:duration=180" \
    -f lavfi -i "sine=frequency=440:duration=180" "$@" -c:a mp2 -b:a 128k -f mpegts \
    "$dir/$name.part"
  mv "$dir/$name.part" "$dir/$name"
}
make_movie h264.ts -c:v libx264 -preset veryfast -g 50
make_movie mpeg2.ts -c:v mpeg2video -b:v 4M -g 12

calc() { awk "BEGIN { printf \"%.3f\", $* }"; }
# 20 times between keyframes: 7.3 s, 15.3 s, ... (never a whole or half second).
positions() { for i in $(seq 0 19); do calc "7.3 + $i * 8"; echo; done; }

# Seeks and screenshots with one player; prints "asked answered" per screenshot.
run_player() { # work-dir player args...
  local work=$1; shift
  (cd "$work" && {
    for p in $(positions); do
      echo "pausing seek $p 2"
      echo "pausing screenshot"
      echo "pausing_keep_force get_time_pos"
      sleep 0.3
    done
    echo quit
  } | "$@" 2>&1) >"$work/out.txt"
  local start
  start=$(sed -n 's/^ID_START_TIME=//p' "$work/out.txt" | head -1)
  paste <(positions) <(sed -n 's/^ANS_TIME_POSITION=//p' "$work/out.txt") |
    awk -v s="${start:-0}" -v lavf="$LAVF" '{ t = $2; if (lavf) t -= s; printf "%s %.2f\n", $1, t }'
}

measure() { # movie way
  local movie=$dir/$1 way=$2 work
  work=$(mktemp -d)
  local common=(-slave -quiet -identify -vo null -nosound -benchmark
    -vf scale=360:288,format=bgr24,screenshot)
  if [ "$way" = lavf ]; then
    LAVF=1 run_player "$work" mplayer -demuxer lavf "${common[@]}" "$movie" >"$work/times"
  else
    LAVF= run_player "$work" "$wrapper" "${common[@]}" "$movie" >"$work/times"
  fi
  local k=0 pictures=0 off=0 shots=0
  while read -r asked answered; do
    k=$((k + 1))
    local shot
    shot=$work/$(printf 'shot%04d.png' "$k")
    [ -f "$shot" ] || continue
    shots=$((shots + 1))
    local n
    n=$(awk "BEGIN { printf \"%d\", $answered * 25 + 0.5 }")
    ffmpeg -loglevel error -y -i "$movie" -vf "select='eq(n\,$n)',scale=360:288" -vsync 0 \
      -frames:v 1 "$work/ref.png"
    local psnr
    psnr=$(ffmpeg -i "$shot" -i "$work/ref.png" -lavfi psnr -f null - 2>&1 |
      sed -n 's/.*average:\([0-9.inf]*\).*/\1/p' | tail -1)
    if [ "$psnr" = inf ] || awk "BEGIN { exit !($psnr >= 25) }"; then
      pictures=$((pictures + 1))
    fi
    off=$(calc "$off + ($answered - $asked < 0 ? $asked - $answered : $answered - $asked)")
  done <"$work/times"
  printf '%-9s %-6s pictures %2d of %2d screenshots | mean distance from the asked time %5.2f s\n' \
    "$1" "$way" "$pictures" "$shots" "$(calc "$off / ($shots > 0 ? $shots : 1)")"
  rm -rf "$work"
}

echo "== 20 seeks between keyframes, a screenshot after each"
for movie in h264.ts mpeg2.ts; do
  measure "$movie" lavf
  measure "$movie" native
done
