#!/usr/bin/env bash
# Usage: bench/page/startup.sh [BUILD_DIR] [RUNS]
# Start-up of the headless demo page to its first painted panel: from starting pictavo-host to
# the moment a scenario finds the control's window built and idle (every paint done). Prints
# each run and the median in milliseconds. A benchmark, not a test.
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
runs=${2:-15}
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
export PICTAVO_REGISTRY_MACHINE=$demo/machine.reg PICTAVO_REGISTRY_USER=$demo/user.reg
"$build/bin/pictavo-regsvr" "$PWD/$build/lib/libpictavo.so" >/dev/null
times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%3N)
  out=$("$build/bin/pictavo-host" --headless --timeout 30 --drive bench/page/startup.js)
  painted=$(printf '%s\n' "$out" | sed -n 's/^painted-at //p')
  times+=($((painted - start)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "runs (ms): ${times[*]}"
echo "median: $(printf '%s\n' "$sorted" | sed -n "$(( (runs + 1) / 2 ))p") ms over $runs runs"
