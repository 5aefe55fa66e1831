#!/bin/sh
# Writes the seed corpora of the fuzzers whose inputs come from real files
# into BUILD/corpus/<fuzzer>/: the sample geometry files as they are, and
# CAD, DXF, frame-list, duration and skin files that the program's own
# exporters write from the real models. Everything here is made from the
# data folder, so it stays in the build folder.
#   fuzz/make-seeds.sh [BUILD [DATA]]     (defaults: build-fuzz, ../shared/data)
# then, for example:
#   BUILD/fuzz/fuzz_cad BUILD/corpus/cad -max_total_time=300
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-fuzz}
data=${2:-$here/../../shared/data}
out=$build/corpus

for tool in seed_exchange seed_skin_transfer; do
  if [ ! -x "$build/fuzz/$tool" ]; then
    echo "make-seeds: $build/fuzz/$tool is not built (cmake --build $build --target $tool)" >&2
    exit 2
  fi
done
models=$(ls "$data"/quake/models/*.mdl 2>/dev/null || true)

mkdir -p "$out/cad" "$out/dxf" "$out/3ds" "$out/lwo" "$out/mdl" "$out/scene_list"
# shellcheck disable=SC2086  # one word per model file
if [ -n "$models" ]; then
  "$build/fuzz/seed_exchange" "$out" $models
else
  echo "make-seeds: no models in $data/quake/models: no CAD, DXF or frame-list seeds from models" >&2
fi
# shellcheck disable=SC2086
"$build/fuzz/seed_skin_transfer" "$out/skin_transfer" $models
for kind in dxf 3ds lwo; do
  for f in "$data/exchange/$kind"/*; do
    if [ -f "$f" ]; then cp -f "$f" "$out/$kind/"; fi
  done
done
for f in $models; do cp -f "$f" "$out/mdl/"; done
for d in "$out"/*/; do
  echo "$(ls "$d" | wc -l) seeds in $d"
done
