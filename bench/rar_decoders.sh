#!/bin/sh
# Measures the RAR decoders over the public test archives: libarchive alone, unar alone, our own
# decompressors alone, and binary/unrar's own choice per format; prints the sets extracted exactly, by format.
# Usage: bench/rar_decoders.sh [build folder] [corpus folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
corpus=$(cd "${2:-$here/../../shared/testdata/rar-corpus}" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for decoder in libarchive unar own auto; do
  QUORVAN_UNRAR_DECODER=$decoder python3 "$here/rar_corpus.py" "$corpus" \
    "$build/QuorvanPlayer/binary/unrar" > "$out/$decoder.txt"
  echo "$decoder: $(tail -n 1 "$out/$decoder.txt")"
done
(cd "$out" && python3 "$here/rar_classify.py" "$corpus")
