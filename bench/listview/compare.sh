#!/usr/bin/env bash
# 300 camera-like 12-megapixel JPEGs dropped on the upload list against vipsthumbnail making
# the same 135x104 thumbnails on one thread: alternating runs, medians of time and peak memory.
# Usage: bench/listview/compare.sh [BUILD_DIR] [CORPUS_DIR] [COUNT] [RUNS]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/lv-corpus}
count=${3:-300}
runs=${4:-3}
scripts/setup bench
tools=../shared/tools
[ -d "$tools" ] || tools=/work/shared/tools
"$tools/make-photo-corpus" "$corpus" "$count" >/dev/null
cmake --build "$build" -j2 --target bench-listview >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
files=()
for n in $(seq 1 "$count"); do files+=("$(printf '%s/photo-%03d.jpg' "$corpus" "$n")"); done

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
for r in $(seq 1 "$runs"); do
  /usr/bin/time -f '%e %M' -o "$out/ours.$r" "$build/bin/bench-listview" "${files[@]}" >"$out/ours.log.$r"
  VIPS_CONCURRENCY=1 /usr/bin/time -f '%e %M' -o "$out/vips.$r" \
    vipsthumbnail "${files[@]}" --size 135x104 -o "$out/%s.jpg" >/dev/null 2>&1
done
col() { for r in $(seq 1 "$runs"); do awk -v c="$2" '{print $c}' "$out/$1.$r"; done | median; }
ours_load=$(col ours.log 1); gap=$(col ours.log 2); paint=$(col ours.log 3); scroll=$(col ours.log 4); busy=$(col ours.log 6)
ours_m=$(col ours 2); vips_s=$(col vips 1); vips_m=$(col vips 2)
printf 'files %s, runs %s (medians)\n' "$count" "$runs"
printf 'list: all thumbnails loaded %.2f s, peak %.0f MiB\n' "$ours_load" "$(echo "$ours_m/1024" | bc -l)"
printf 'vipsthumbnail (1 thread): %.2f s, peak %.0f MiB\n' "$vips_s" "$(echo "$vips_m/1024" | bc -l)"
printf 'ratio list/vips: %.2f\n' "$(echo "$ours_load/$vips_s" | bc -l)"
printf 'paint full list %.2f ms, scroll one page %.2f ms, longest window-thread gap while loading %.2f ms (longest message handled %.2f ms)\n' \
  "$paint" "$scroll" "$gap" "$busy"
