#!/usr/bin/env bash
# What libquolk-heap.so costs the program it watches: the cost workload run unwatched and with the
# library at the default sampling mean (512 KiB), alternating, ROUNDS times each, medians side by
# side; then once under heaptrack, which records every allocation, for comparison; and the memory
# the library adds to a growing heap. Needs a build (make build); installs heaptrack when missing.
#   bench/heap_cost.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
load=$(realpath "$build/heap-cost/quolk_malloc_load")
run=$(realpath "$build/heap-cost/quolk_heap_run")
library=$(realpath "$build"/lib*/quolk/libquolk-heap.so)
for file in "$load" "$run" "$library"; do
  [ -x "$file" ] || [ -f "$file" ] || { echo "heap_cost: $file is missing: make build first" >&2; exit 1; }
done
if ! command -v heaptrack >/dev/null; then
  sudo=$([ "$(id -u)" = 0 ] || echo sudo)
  $sudo apt-get install -y -qq --no-install-recommends heaptrack >/dev/null
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# medians WORKLOAD COMMAND...: "CPU WALL RSS HEAP", the medians of ROUNDS runs of the workload.
medians() {
  local workload=$1 r column
  shift
  for ((r = 0; r < rounds; ++r)); do (cd "$scratch" && "$@" "$load" $workload 2>/dev/null | grep '^cpu '); done \
    >"$scratch/runs"
  for column in 2 4 8 6; do
    cut -d' ' -f$column "$scratch/runs" | sort -g |
      awk '{ v[NR] = $1 } END { printf "%s ", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
  done
  echo
}
row() {  # row LABEL "CPU WALL ..." ["BASE CPU, BASE WALL ..."]
  awk -v label="$1" -v m="$2" -v b="${3:-}" 'BEGIN {
    split(m, x, " "); split(b, y, " ")
    if (b == "") printf "%-36s %9.3f %9.3f\n", label, x[1], x[2]
    else printf "%-36s %9.3f %9.3f %8.2fx %8.2fx\n", label, x[1], x[2], x[1] / y[1], x[2] / y[2] }'
}

printf '%-36s %9s %9s %9s %9s\n' workload "cpu s" "wall s" cpu wall
for workload in "pairs 4 20000000" "grow 4 4000000"; do
  plain=$(medians "$workload" env)
  watched=$(medians "$workload" "$run" "$library" 524288 --)
  row "$workload" "$plain"
  row "  with libquolk-heap" "$watched" "$plain"
  if [[ $workload == grow* ]]; then
    read -r _ _ plainRss heap <<<"$plain"
    read -r _ _ watchedRss _ <<<"$watched"
    awk -v p="$plainRss" -v w="$watchedRss" -v h="$heap" 'BEGIN {
      printf "  memory added to a %.0f MB heap: %.1f MB (goal %.1f MB: 4 MB + 1 %% of the heap)\n",
             h / 1048576, (w - p) / 1024, 4 + h / 1048576 / 100 }'
  fi
done
# heaptrack writes a record of every call: a tenth of the work, against its own unwatched run.
rounds=1
for workload in "pairs 4 2000000" "grow 4 400000"; do
  plain=$(medians "$workload" env)
  row "$workload" "$plain"
  row "  under heaptrack (1 run)" "$(medians "$workload" heaptrack -o "$scratch/trace")" "$plain"
  rm -f "$scratch"/trace*
done
