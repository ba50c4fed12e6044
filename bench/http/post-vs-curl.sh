#!/bin/sh
# Posts one file to pictavo-receiver on loopback with pictavo-post and with curl sending the
# same multipart body, alternating, and prints throughput and peak memory of each run, then
# the ratio of the mean and of the median throughputs.
# usage: bench/http/post-vs-curl.sh [BIN_DIR] [SIZE_MB] [RUNS]
# With two CPUs or more the receiver runs on the last one and both clients on the first, so
# that where the scheduler happens to put a thread does not decide the figures; PIN=0 lets
# every process run anywhere.
set -eu
"$(dirname "$0")/../../scripts/setup" bench
BIN=${1:-build/dev/bin}
SIZE_MB=${2:-100}
RUNS=${3:-3}
PIN=${PIN:-1}
CLIENT=
SERVER=
if [ "$PIN" = 1 ] && [ "$(nproc)" -ge 2 ] && command -v taskset > /dev/null; then
  CLIENT="taskset -c 0"
  SERVER="taskset -c $(($(nproc) - 1))"
fi
WORK=$(mktemp -d)
trap 'kill $RECEIVER 2>/dev/null || true; rm -rf "$WORK"' EXIT

FILE=$WORK/bench.bin
head -c $((SIZE_MB * 1048576)) /dev/urandom > "$FILE"

DASH=-----------------------------7da1d41060a1a
{
  printf '%s\r\nContent-Disposition: form-data; name="img"; filename="bench%%2Ebin"\r\n' $DASH
  printf 'Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: binary\r\n\r\n'
  cat "$FILE"
  printf '\r\n%s--\r\n' $DASH
} > "$WORK/body"

$SERVER "$BIN/pictavo-receiver" --port 0 > "$WORK/receiver.log" &
RECEIVER=$!
while ! grep -q listening "$WORK/receiver.log" 2>/dev/null; do sleep 0.05; done
URL=$(sed -n 's/^listening on //p' "$WORK/receiver.log")

run() { # name command...
  name=$1; shift
  # time(1) gives the peak memory; the wall clock comes from date, to the nanosecond.
  start=$(date +%s%N)
  /usr/bin/time -f "%M" -o "$WORK/time" $CLIENT "$@" > "$WORK/out" 2>&1 || { echo "$name failed:"; cat "$WORK/out"; exit 1; }
  seconds=$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.4f", (b - a) / 1e9 }')
  echo "$name $(awk -v s="$seconds" -v mb="$SIZE_MB" 'BEGIN { printf "%.1f", mb / s }') MB/s, $(cat "$WORK/time") KB peak"
  echo "$name $seconds" >> "$WORK/seconds"
}

for i in $(seq "$RUNS"); do
  run pictavo-post "$BIN/pictavo-post" --url "${URL}bench" "$FILE"
  run curl curl -sS -o /dev/null --fail -H 'Accept: application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5' \
    -H "Content-Type:multipart/form-data;boundary=${DASH#--}" -H 'Accept-Language: zh-cn' \
    -H 'User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)' -H 'Cache-Control: no-cache' \
    -H 'Connection: Keep-Alive' -H 'Expect:' --data-binary @"$WORK/body" "${URL}bench"
done
sort -k2 -n "$WORK/seconds" | awk -v mb="$SIZE_MB" '
  { t[$1] += $2; n[$1]++; s[$1, n[$1]] = $2 }
  function median(k) { return n[k] % 2 ? s[k, (n[k] + 1) / 2] : (s[k, n[k] / 2] + s[k, n[k] / 2 + 1]) / 2 }
  END {
    post = mb * n["pictavo-post"] / t["pictavo-post"]; curl = mb * n["curl"] / t["curl"]
    printf "overall: pictavo-post %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", post, curl, post / curl
    printf "median: pictavo-post %.1f MB/s, curl %.1f MB/s, ratio %.2f\n", mb / median("pictavo-post"), mb / median("curl"), median("curl") / median("pictavo-post")
  }'
grep -c "POST /bench 200 .* bytes=$((SIZE_MB * 1048576))" "$WORK/receiver.log" | sed "s/^/uploads received whole: /"
