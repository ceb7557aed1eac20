#!/bin/sh
# CPU per sample of `quolk --record` of a sleeping process over SECONDS (default 60), at 100 ms and
# at 1000 ms, each beside a raw loop that keeps the same two /proc files open and re-reads them at
# the same interval (build/bench/programs/raw_sampler): all four run at once, so they meet the same
# machine. The on-CPU time is the kernel's (schedstat, wake-ups included) over the steady state,
# from 1 s after the start to 1 s before the end; the recorder writes its CSV log as in CI.
# Usage: bench/record_idle_cpu.sh [BUILD_DIR] [SECONDS]
set -eu
build=${1:-build}
seconds=${2:-60}
dir=$(mktemp -d)
sleep $((seconds + 30)) &
target=$!
trap 'kill $target 2>/dev/null; rm -rf "$dir"' EXIT
oncpu() { cut -d' ' -f1 "/proc/$1/schedstat"; }
pids=""
for interval in 100 1000; do
  "$build/quolk" --record "$target" --interval $interval --duration "$seconds" --quiet --csv "$dir/$interval.csv" >/dev/null &
  pids="$pids quolk:$interval:$!"
  "$build/bench/programs/raw_sampler" "$target" $interval "$seconds" &
  pids="$pids raw:$interval:$!"
done
sleep 1
for p in $pids; do echo "$p $(oncpu "${p##*:}")"; done >"$dir/first"
sleep $((seconds - 2))
for p in $pids; do echo "$p $(oncpu "${p##*:}")"; done >"$dir/last"
wait $(for p in $pids; do echo "${p##*:}"; done)
echo "on-CPU time per sample over $((seconds - 2)) s of a sleeping target (wake-ups included):"
for interval in 100 1000; do
  samples=$(( (seconds - 2) * 1000 / interval ))
  per() { echo $(( ($(grep "^$1:$interval:" "$dir/last" | cut -d' ' -f2) - $(grep "^$1:$interval:" "$dir/first" | cut -d' ' -f2)) / samples / 1000 )); }
  q=$(per quolk); r=$(per raw)
  echo "  ${interval} ms: quolk --record ${q} us, raw loop ${r} us ($(echo "$q $r" | awk '{printf "%.2f", $1 / $2}')x); rows logged: $(($(wc -l <"$dir/$interval.csv") - 2))"
done
