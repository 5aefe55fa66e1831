#!/bin/sh
# Writes the seed corpora of the fuzzers whose inputs come from real files
# into BUILD/corpus/<fuzzer>/: the sample geometry files and the real models
# as they are, and what the program's own exporters write from the real
# models: CAD, DXF, frame-list and duration files (seed_exchange), skins on
# the clipboard (seed_skin_transfer), OBJ frames (seed_obj), PNG and BMP
# pictures (seed_png, and tessel's thumbnail and contact sheet when tessel
# is built there). Everything is made from the data folder, so it stays in
# the build folder.
#   fuzz/make-seeds.sh [BUILD [DATA]]     (defaults: build-fuzz, ../shared/data)
# then, for example:
#   BUILD/fuzz/fuzz_cad BUILD/corpus/cad -max_total_time=300
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-fuzz}
data=${2:-$here/../../shared/data}
out=$build/corpus

for tool in seed_exchange seed_skin_transfer seed_obj seed_png; do
  if [ ! -x "$build/fuzz/$tool" ]; then
    echo "make-seeds: $build/fuzz/$tool is not built (cmake --build $build --target $tool)" >&2
    exit 2
  fi
done
models=$(ls "$data"/quake/models/*.mdl 2>/dev/null || true)
[ -n "$models" ] || echo "make-seeds: no models in $data/quake/models: seeds from the sample model and made pictures only" >&2

mkdir -p "$out/cad" "$out/dxf" "$out/3ds" "$out/lwo" "$out/mdl" "$out/scene_list" "$out/obj" "$out/png" "$out/bmp_format"
# shellcheck disable=SC2086  # one word per model file
if [ -n "$models" ]; then "$build/fuzz/seed_exchange" "$out" $models; fi
# shellcheck disable=SC2086
"$build/fuzz/seed_skin_transfer" "$out/skin_transfer" $models
# shellcheck disable=SC2086
"$build/fuzz/seed_obj" "$out/obj" $models
# shellcheck disable=SC2086
"$build/fuzz/seed_png" "$out/png" $models
"$build/fuzz/seed_png" --bmp "$out/bmp_format"
for kind in dxf 3ds lwo; do
  for f in "$data/exchange/$kind"/*; do
    if [ -f "$f" ]; then cp -f "$f" "$out/$kind/"; fi
  done
done
for f in $models; do cp -f "$f" "$out/mdl/"; done
tessel="$build/tessel/tessel"
if [ -x "$tessel" ] && [ -n "$models" ]; then
  first=$(echo "$models" | head -n 1)
  "$tessel" thumbnail "$first" "$out/png/thumbnail.png" 48 >/dev/null
  "$tessel" render "$first" --sheet 4 --size 40x30 -o "$out/png/sheet.png" >/dev/null
  for model in $models; do
    "$tessel" export-skin "$model" 0 "$out/bmp_format/$(basename "$model" .mdl).bmp" >/dev/null
  done
fi
for d in "$out"/*/; do
  echo "$(ls "$d" | wc -l) seeds in $d"
done
