#!/usr/bin/env bash
# 100 camera-like 12-megapixel JPEGs uploaded by the control (box 800x600, upload format jpg)
# against a shell pipeline doing the same work with public tools (vipsthumbnail to JPEG q80 on
# one thread, then one curl -F per file), both to the same local pictavo-receiver; alternating
# runs, medians of pictures per second and peak memory. Then one 200 MB file sent unchanged:
# the memory the run adds above the control's idle memory.
# Usage: bench/upload/compare.sh [BUILD_DIR] [CORPUS_DIR] [COUNT] [RUNS]
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
corpus=${2:-/tmp/lv-corpus}
count=${3:-100}
runs=${4:-3}
scripts/setup bench
tools=../shared/tools
[ -d "$tools" ] || tools=/work/shared/tools
"$tools/make-photo-corpus" "$corpus" "$count" >/dev/null
cmake --build "$build" -j2 --target bench-upload pictavo-receiver >/dev/null
out=$(mktemp -d)
receiver=
cleanup() { [ -n "$receiver" ] && kill "$receiver" 2>/dev/null; wait 2>/dev/null; rm -rf "$out"; }
trap cleanup EXIT
files=()
for n in $(seq 1 "$count"); do files+=("$(printf '%s/photo-%03d.jpg' "$corpus" "$n")"); done

mkdir -p "$out/store"
"$build/bin/pictavo-receiver" --port 0 --dir "$out/store" >"$out/receiver.log" &
receiver=$!
for _ in $(seq 100); do grep -q listening "$out/receiver.log" 2>/dev/null && break; sleep 0.05; done
url=$(head -1 "$out/receiver.log" | sed 's/^listening on //')upload

cat >"$out/pipeline.sh" <<'PIPE'
#!/usr/bin/env bash
set -eu
url=$1; work=$2; shift 2
VIPS_CONCURRENCY=1 vipsthumbnail "$@" --size 800x600 -o "$work/%s.jpg[Q=80]"
for f in "$@"; do
  b=$(basename "$f" .jpg)
  curl -sS -o /dev/null -F "img=@$work/$b.jpg" "$url"
done
PIPE
chmod +x "$out/pipeline.sh"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
for r in $(seq 1 "$runs"); do
  rm -rf "$out/store"/* "$out/work"; mkdir -p "$out/work"
  /usr/bin/time -f '%e %M' -o "$out/ours.$r" "$build/bin/bench-upload" --box 800x600 --format jpg "$url" \
    "${files[@]}" >"$out/ours.log.$r"
  rm -rf "$out/store"/*
  /usr/bin/time -f '%e %M' -o "$out/pipe.$r" "$out/pipeline.sh" "$url" "$out/work" "${files[@]}" >/dev/null
done
col() { for r in $(seq 1 "$runs"); do awk -v c="$2" '{print $c}' "$out/$1.$r"; done | median; }
ours_s=$(col ours.log 1); ours_m=$(col ours 2); pipe_s=$(col pipe 1); pipe_m=$(col pipe 2)
printf 'pictures %s, runs %s (medians)\n' "$count" "$runs"
printf 'control: %.2f s, %.1f pictures/s, peak %.0f MiB\n' "$ours_s" "$(echo "$count/$ours_s" | bc -l)" \
  "$(echo "$ours_m/1024" | bc -l)"
printf 'vipsthumbnail + curl: %.2f s, %.1f pictures/s, peak %.0f MiB\n' "$pipe_s" \
  "$(echo "$count/$pipe_s" | bc -l)" "$(echo "$pipe_m/1024" | bc -l)"
printf 'ratio control/pipeline (pictures per second): %.2f\n' "$(echo "$pipe_s/$ours_s" | bc -l)"

# A 200 MB picture file: a small JPEG with trailing data, sent byte for byte.
big="$out/big-200mb.jpg"
cp "$corpus/photo-001.jpg" "$big"
head -c $((200 * 1048576 - $(stat -c %s "$big"))) /dev/urandom >>"$big"
rm -rf "$out/store"/*
read -r s _ _ idle above state < <("$build/bin/bench-upload" "$url" "$big")
cmp -s "$big" "$out/store/big-200mb.jpg" && same=identical || same=DIFFERENT
printf '200 MB unchanged: %.2f s (%s, stored copy %s), idle %.0f MiB, peak above idle %.1f MiB\n' \
  "$s" "$state" "$same" "$(echo "$idle/1024" | bc -l)" "$(echo "$above/1024" | bc -l)"
