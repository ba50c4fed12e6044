#!/usr/bin/env bash
# Thumbnails (135 x 104 box) of the 100 camera-like 12-megapixel JPEGs of the photo corpus:
# ours against vipsthumbnail on one thread, time and peak memory of each.
# Usage: bench/gfx/compare.sh [BUILD_DIR] [CORPUS_DIR]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/gfx-corpus}
[ -s "$corpus/photo-100.jpg" ] || ../shared/tools/make-photo-corpus "$corpus" 100 >/dev/null
scripts/setup bench
cmake --build "$build" -j2 --target bench-gfx-thumbnails >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
files=("$corpus"/photo-*.jpg)

/usr/bin/time -f '%e %M' -o "$out/ours" "$build/bin/bench-gfx-thumbnails" "${files[@]}" >"$out/ours.log"
VIPS_CONCURRENCY=1 /usr/bin/time -f '%e %M' -o "$out/vips" \
  vipsthumbnail "${files[@]}" --size 135x104 -o "$out/%s.jpg" >/dev/null 2>&1
read -r ours_s ours_m <"$out/ours"
read -r vips_s vips_m <"$out/vips"
read -r inner_s inner_m made <"$out/ours.log"
printf '%-14s %8s %12s\n' "" seconds "peak MiB"
printf '%-14s %8s %12.1f   (%s thumbnails, %ss inside the loop)\n' ours "$ours_s" "$(echo "$ours_m/1024" | bc -l)" "$made" "$inner_s"
printf '%-14s %8s %12.1f\n' vipsthumbnail "$vips_s" "$(echo "$vips_m/1024" | bc -l)"
