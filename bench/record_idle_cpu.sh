#!/bin/sh
# CPU time of `quolk --record` over a recording of SECONDS (default 60) at 1000 ms of a sleeping
# command: the recorder must idle between ticks. Prints the on-CPU time of the recording's steady
# state (from the kernel's schedstat, 1 s after the start to 1 s before the end) and of the whole
# process up to then, start-up included.
# Usage: bench/record_idle_cpu.sh [BUILD_DIR] [SECONDS]
set -eu
build=${1:-build}
seconds=${2:-60}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
oncpu() { cut -d' ' -f1 "/proc/$1/schedstat"; }
"$build/quolk" --record --interval 1000 --duration "$seconds" --quiet --csv "$log" -- sleep $((seconds + 30)) >/dev/null &
pid=$!
sleep 1
first=$(oncpu "$pid")
sleep $((seconds - 2))
last=$(oncpu "$pid")
wait "$pid"
echo "steady state: $(( (last - first) / 1000000 )) ms on CPU over $((seconds - 2)) s ($(( (last - first) / 1000 / (seconds - 2) )) us a tick)"
echo "whole process up to 1 s before the end: $(( last / 1000000 )) ms, of which start-up: $(( first / 1000000 )) ms"
echo "rows written: $(($(wc -l <"$log") - 2))"
