#!/usr/bin/env bash
# Runs the picture job (6000x4000 JPEG -> fit 800x600 -> JPEG quality 80) with our image code,
# vipsthumbnail and ImageMagick, and prints time and peak memory of each.
# Usage: bench/image/compare.sh [BUILD_DIR] [CORPUS_DIR]
# scripts/setup bench installs the peer tools when they are missing.
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/pictavo-photo-corpus}
runs=${RUNS:-3}

scripts/setup bench
[ -s "$corpus/big-24mp.jpg" ] || ../shared/tools/make-photo-corpus "$corpus" 1 >/dev/null
cmake --build "$build" -j2 --target bench-image-fit >/dev/null
in="$corpus/big-24mp.jpg"
im=/usr/bin/convert
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Best of $runs: prints "seconds peak_kib".
measure() {
  local best="" mem=""
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%e %M' -o "$out/time" "$@" >"$out/log" 2>&1
    read -r s m <"$out/time"
    if [ -z "$best" ] || awk "BEGIN{exit !($s < $best)}"; then best=$s; mem=$m; fi
  done
  echo "$best $mem"
}

echo "== steps (ours, one run)"
"$build/bin/bench-image-fit" "$in" "$out/ours.jpg"
read -r ours_s ours_m < <(measure env BENCH_WHOLE_PEAK=1 "$build/bin/bench-image-fit" "$in" "$out/ours.jpg")
read -r vips_s vips_m < <(measure vipsthumbnail "$in" --size 800x600 -o "$out/vips.jpg[Q=80]")
read -r im_s im_m < <(measure "$im" "$in" -resize 800x600 -quality 80 "$out/im.jpg")
echo "== whole job, best of $runs (seconds, peak KiB)"
printf '%-15s %6s s %8s KiB\n' pictavo "$ours_s" "$ours_m" vipsthumbnail "$vips_s" "$vips_m" imagemagick "$im_s" "$im_m"
awk -v o="$ours_s" -v v="$vips_s" -v i="$im_s" 'BEGIN{printf "ratio ours/vips %.2f, ours/imagemagick %.2f\n", o/v, o/i}'
