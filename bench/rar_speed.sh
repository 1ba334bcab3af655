#!/bin/sh
# Two figures of the RAR tools, side by side in one run:
#  1. binary/unrar p of about 1 GB of compressed RAR 2.9 data (the corpus' PPMd/LZSS set of four
#     volumes, 241 MB unpacked, four times over) with the decoder binary/unrar chooses (our own
#     decompressors), with unar and with libarchive;
#  2. reading the same movie stored in a RAR5 set and in a RAR 2.9 set (binary/rar -v50M,
#     with and without -ma5) through the reader (quorvan cat) and through binary/unrar p.
# No real rar compressor is packaged in Debian's main archive, hence the corpus' set.
# Usage: bench/rar_speed.sh [build folder] [corpus folder] [movie MB]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
corpus=$(cd "${2:-$here/../../shared/testdata/rar-corpus}" && pwd)
mb=${3:-1024}
stage=$build/QuorvanPlayer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds taken by a command whose output goes to /dev/null.
seconds() {
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
rate() { awk "BEGIN { printf \"%8.1f MB/s\", $1 / 1000000 / $2 }"; }

set_first=$corpus/libarchive/test_read_format_rar_multivolume.part0001.rar
unpacked=$((241647978 + 20111 + 20 + 20111))
for decoder in auto unar libarchive; do
  total=0
  for run in 1 2 3 4; do
    t=$(QUORVAN_UNRAR_DECODER=$decoder seconds "$stage/binary/unrar" p -inul "$set_first")
    total=$(awk "BEGIN { print $total + $t }")
  done
  label=$decoder; [ "$decoder" = auto ] && label="chosen (our own)"
  echo "unrar p, compressed RAR 2.9 set, $((unpacked * 4 / 1000000)) MB, $label: $(rate $((unpacked * 4)) "$total")"
done

head -c "$((mb * 1024 * 1024))" /dev/urandom > "$work/movie.avi"
bytes=$(stat -c %s "$work/movie.avi")
"$stage/binary/rar" a -ep -m0 -o+ -v50M -vn "$work/r4" "$work/movie.avi" > /dev/null
"$stage/binary/rar" a -ep -m0 -o+ -ma5 -v50M "$work/r5" "$work/movie.avi" > /dev/null
r5first=$(ls "$work"/r5.part*1.rar | head -n 1)
for tool in cat unrar; do
  for set in "$work/r4.rar" "$r5first"; do
    if [ $tool = cat ]; then cmd="$stage/quorvan cat $set"; else cmd="$stage/binary/unrar p -inul $set"; fi
    seconds $cmd > /dev/null # warm the page cache
    best=
    for run in 1 2 3; do
      t=$(seconds $cmd)
      if [ -z "$best" ] || [ "$(awk "BEGIN { print ($t < $best) }")" = 1 ]; then best=$t; fi
    done
    name=RAR4; case $set in *r5*) name=RAR5 ;; esac
    echo "$tool, stored $name set of the same $mb MiB movie (50 MB volumes), best of 3: $(rate "$bytes" "$best")"
  done
done
