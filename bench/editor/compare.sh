#!/usr/bin/env bash
# The edit window on the corpus's 24-megapixel photo (bench-editor), beside vips doing the same
# brightness step and crop on the same pixels held in its own uncompressed format (so neither
# side decodes a JPEG in the step; vips still starts a process and writes its 72 MB result).
# Usage: bench/editor/compare.sh [BUILD_DIR] [CORPUS_DIR] [RUNS]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/pictavo-photo-corpus}
runs=${3:-5}
scripts/setup bench
tools=../shared/tools
[ -d "$tools" ] || tools=/work/shared/tools
[ -s "$corpus/big-24mp.jpg" ] || "$tools/make-photo-corpus" "$corpus" 1 >/dev/null
cmake --build "$build" -j2 --target bench-editor >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$build/bin/bench-editor" "$corpus/big-24mp.jpg" "$runs"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
vips copy "$corpus/big-24mp.jpg" "$out/in.v"
timed() {
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e' -o "$out/t" "$@" >/dev/null 2>&1
    awk '{print $1 * 1000}' "$out/t"
  done | median
}
printf 'vips linear 1 47 (brightness step), whole picture   %8.1f\n' "$(timed vips linear "$out/in.v" "$out/light.v" 1 47 --uchar)"
printf 'vips crop 2000 x 1500                                %8.1f\n' "$(timed vips crop "$out/in.v" "$out/crop.v" 1000 1000 2000 1500)"
