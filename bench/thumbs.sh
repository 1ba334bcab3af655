#!/usr/bin/env bash
# Thumbnail sheets, side by side in one run: a 7 x 7 sheet of 800 px through `quorvan thumbs`
# against ffmpeg seeking once per frame, ffmpeg in one pass over keyframes, and
# ffmpegthumbnailer once per frame, on 10-minute 1280x720 movies (MPEG-4 part 2 and H.264),
# plus the same sheet of a 45-minute movie. Movies are made once in $QUORVAN_BENCH_DIR.
#   bench/thumbs.sh            (after a build; installs ffmpegthumbnailer when missing)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dir=${QUORVAN_BENCH_DIR:-${TMPDIR:-/tmp}/quorvan-bench-thumbs}
mkdir -p "$dir"
quorvan=$root/build/QuorvanPlayer/quorvan
[ -x "$quorvan" ] || { echo "build first: cmake --build build" >&2; exit 1; }
if ! command -v ffmpegthumbnailer >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends ffmpegthumbnailer >/dev/null
fi

# A movie of $2 seconds: testsrc2 at 25 fps, a keyframe every 10 s as encoders commonly do
# (every $GOP frames when given).
make_movie() { # name seconds codec-options...
  local name=$1 seconds=$2; shift 2
  [ -f "$dir/$name" ] && return
  echo "making $name ..." >&2
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$seconds" \
    "$@" -g "${GOP:-250}" "$dir/$name.part.${name##*.}"
  mv "$dir/$name.part.${name##*.}" "$dir/$name"
}
make_movie mpeg4-10min.avi 600 -c:v mpeg4 -q:v 5
make_movie h264-10min.mkv 600 -c:v libx264 -preset ultrafast -crf 28
make_movie mpeg4-45min.avi 2700 -c:v mpeg4 -q:v 8
# Two minutes: the 49 tiles lie 1.2 s apart, closer than the keyframes of the first movie, whose
# tiles are decoded forward from the keyframe before them; the second has a keyframe a second.
make_movie h264-2min-keyint250.mkv 120 -c:v libx264 -preset ultrafast -crf 28
GOP=25 make_movie h264-2min-keyint25.mkv 120 -c:v libx264 -preset ultrafast -crf 28

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
elapsed() { calc "$(now) - $1"; }

# The 49 positions of the series: i * (length - 60) / 49 + 10.
positions() {
  local length=$1
  for i in $(seq 0 48); do awk "BEGIN { print int($i * ($length - 60) / 49 + 10) }"; done
}

length_of() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" | cut -d. -f1; }

bench_movie() {
  local movie=$dir/$1 work
  work=$(mktemp -d)
  local length; length=$(length_of "$movie")
  local t

  t=$(now)
  (cd "$work" && "$quorvan" thumbs --width 800 --across 7 --down 7 "$movie" >/dev/null 2>&1)
  local ours; ours=$(elapsed "$t")

  t=$(now)
  local k=0
  for p in $(positions "$length"); do
    ffmpeg -loglevel error -y -ss "$p" -i "$movie" -frames:v 1 -vf scale=114:-1 \
      "$work/a$(printf %02d $k).png"
    k=$((k + 1))
  done
  ffmpeg -loglevel error -y -i "$work/a%02d.png" -vf tile=7x7 -frames:v 1 "$work/a.jpg"
  local perframe; perframe=$(elapsed "$t")

  t=$(now)
  local step; step=$(calc "($length - 60) / 49")
  ffmpeg -loglevel error -y -skip_frame nokey -i "$movie" -an \
    -vf "select='gte(t\,10)*(isnan(prev_selected_t)+gte(t-prev_selected_t\,$step))',scale=114:-1,tile=7x7" \
    -frames:v 1 -fps_mode vfr "$work/b.jpg"
  local onepass; onepass=$(elapsed "$t")

  t=$(now)
  k=0
  for p in $(positions "$length"); do
    local h m s
    h=$((p / 3600)); m=$((p % 3600 / 60)); s=$((p % 60))
    ffmpegthumbnailer -i "$movie" -o "$work/c$(printf %02d $k).png" -s 114 \
      -t "$(printf %02d:%02d:%02d $h $m $s)" >/dev/null 2>&1
    k=$((k + 1))
  done
  ffmpeg -loglevel error -y -i "$work/c%02d.png" -vf tile=7x7 -frames:v 1 "$work/c.jpg"
  local thumbnailer; thumbnailer=$(elapsed "$t")

  local fastest; fastest=$(printf '%s\n' "$perframe" "$onepass" "$thumbnailer" | sort -g | head -1)
  printf '%-16s quorvan %6.2f s | ffmpeg per frame %6.2f s | ffmpeg keyframes %6.2f s | ffmpegthumbnailer %6.2f s | ratio %.2f\n' \
    "$1" "$ours" "$perframe" "$onepass" "$thumbnailer" "$(calc "$ours / $fastest")"
  echo "$ours" >"$dir/$1.ours"
  rm -rf "$work"
}

echo "== thumbnail sheet 7 x 7, 800 px (wall time)"
bench_movie mpeg4-10min.avi
bench_movie h264-10min.mkv
bench_movie mpeg4-45min.avi
printf '45 min against 10 min (MPEG-4): %.2f x\n' \
  "$(calc "$(cat "$dir/mpeg4-45min.avi.ours") / $(cat "$dir/mpeg4-10min.avi.ours")")"

sheet_time() { # movie
  local work t
  work=$(mktemp -d)
  t=$(now)
  (cd "$work" && "$quorvan" thumbs --width 800 --across 7 --down 7 "$dir/$1" >/dev/null 2>&1)
  elapsed "$t"
  rm -rf "$work"
}
echo "== forward decoding: 7 x 7 sheet of a 2-minute 1280x720 H.264 movie, tiles 1.2 s apart"
long=$(sheet_time h264-2min-keyint250.mkv)
ordinary=$(sheet_time h264-2min-keyint25.mkv)
printf 'keyframes every 10 s %6.2f s | every 1 s %6.2f s | %.2f x\n' "$long" "$ordinary" \
  "$(calc "$long / $ordinary")"
