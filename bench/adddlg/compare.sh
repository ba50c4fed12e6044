#!/usr/bin/env bash
# The add dialog on 300 camera-like 12-megapixel JPEGs against vipsthumbnail making the same
# 135x104 thumbnails on one thread: alternating runs, medians.
# Usage: bench/adddlg/compare.sh [BUILD_DIR] [CORPUS_DIR] [COUNT] [RUNS]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/lv-corpus}
count=${3:-300}
runs=${4:-3}
tools=../shared/tools
[ -d "$tools" ] || tools=/work/shared/tools
"$tools/make-photo-corpus" "$corpus" "$count" >/dev/null
cmake --build "$build" -j2 --target bench-adddlg >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A drive holding the photos folder alone (hard links) and an empty folder to open in.
mkdir -p "$work/drive/top/photos" "$work/drive/top/start" "$work/vips"
files=()
for n in $(seq 1 "$count"); do
  f=$(printf 'photo-%03d.jpg' "$n")
  ln "$corpus/$f" "$work/drive/top/photos/$f" 2>/dev/null || cp "$corpus/$f" "$work/drive/top/photos/$f"
  files+=("$work/drive/top/photos/$f")
done

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
for r in $(seq 1 "$runs"); do
  "$build/bin/bench-adddlg" "$work/drive/top/photos" >"$work/ours.$r"
  VIPS_CONCURRENCY=1 /usr/bin/time -f '%e' -o "$work/vips.$r" \
    vipsthumbnail "${files[@]}" --size 135x104 -o "$work/vips/%s.jpg" >/dev/null 2>&1
done
col() { for r in $(seq 1 "$runs"); do awk -v c="$2" '{print $c}' "$work/$1.$r"; done | median; }
first=$(col ours 1); all=$(col ours 2); confirm=$(col ours 3); tiles=$(col ours 4); moved=$(col ours 5)
vips=$(col vips 1)
printf 'files %s, runs %s (medians)\n' "$count" "$runs"
printf 'folder click to first painted tiles: %.1f ms (goal < 100)\n' "$first"
printf 'folder click to all thumbnails: %.2f s; vipsthumbnail (1 thread): %.2f s; ratio %.2f (goal <= 0.80)\n' \
  "$all" "$vips" "$(echo "$all/$vips" | bc -l)"
printf 'confirm of %s checked tiles: %.1f ms (goal < 50), %s arrived with their thumbnails\n' "$tiles" "$confirm" "$moved"
