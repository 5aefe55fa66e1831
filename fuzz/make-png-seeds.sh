#!/bin/sh
# Writes the seed corpus of fuzz_png into BUILD/corpus/png/: the real
# models' skins as the skin exporter writes them, small palette and
# true-colour pictures from the program's PNG writers, and, when tessel is
# built there, a thumbnail and a contact sheet; and that of fuzz_bmp_format
# into BUILD/corpus/bmp_format/: the small pictures as 24- and 32-bit BMP and
# the real skins as 8-bit BMP. Made from the data folder, so it stays in the
# build folder.
#   fuzz/make-png-seeds.sh [BUILD [DATA]]     (defaults: build-fuzz, ../shared/data)
# then, for example:
#   BUILD/fuzz/fuzz_png BUILD/corpus/png -max_total_time=300
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-fuzz}
data=${2:-$here/../../shared/data}
if [ ! -x "$build/fuzz/seed_png" ]; then
  echo "make-png-seeds: $build/fuzz/seed_png is not built (cmake --build $build --target seed_png)" >&2
  exit 2
fi
models=$(ls "$data"/quake/models/*.mdl 2>/dev/null || true)
[ -n "$models" ] || echo "make-png-seeds: no models in $data/quake/models; made pictures only" >&2
corpus="$build/corpus/png"
mkdir -p "$corpus"
# shellcheck disable=SC2086  # one word per model file
"$build/fuzz/seed_png" "$corpus" $models
tessel="$build/tessel/tessel"
if [ -x "$tessel" ] && [ -n "$models" ]; then
  first=$(echo "$models" | head -n 1)
  "$tessel" thumbnail "$first" "$corpus/thumbnail.png" 48 >/dev/null
  "$tessel" render "$first" --sheet 4 --size 40x30 -o "$corpus/sheet.png" >/dev/null
fi
mkdir -p "$build/corpus/bmp_format"
"$build/fuzz/seed_png" --bmp "$build/corpus/bmp_format"
if [ -x "$tessel" ]; then
  for model in $models; do
    "$tessel" export-skin "$model" 0 "$build/corpus/bmp_format/$(basename "$model" .mdl).bmp" >/dev/null
  done
fi
