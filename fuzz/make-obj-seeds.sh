#!/bin/sh
# Writes the seed corpus of fuzz_obj into BUILD/corpus/obj/: frames of the
# real models (and of the sample model) as the program's OBJ exporter writes
# them. Everything is made from the data folder, so it stays in the build
# folder.
#   fuzz/make-obj-seeds.sh [BUILD [DATA]]     (defaults: build-fuzz, ../shared/data)
# then, for example:
#   BUILD/fuzz/fuzz_obj BUILD/corpus/obj -max_total_time=300
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-fuzz}
data=${2:-$here/../../shared/data}
if [ ! -x "$build/fuzz/seed_obj" ]; then
  echo "make-obj-seeds: $build/fuzz/seed_obj is not built (cmake --build $build --target seed_obj)" >&2
  exit 2
fi
models=$(ls "$data"/quake/models/*.mdl 2>/dev/null || true)
[ -n "$models" ] || echo "make-obj-seeds: no models in $data/quake/models; seeds from the sample model only" >&2
mkdir -p "$build/corpus/obj"
# shellcheck disable=SC2086  # one word per model file
"$build/fuzz/seed_obj" "$build/corpus/obj" $models
