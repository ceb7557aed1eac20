#!/bin/sh
# CPU per sample of `quolk --record` of a sleeping process over SECONDS (default 60), at 100 ms and
# at 1000 ms, each beside a raw loop that keeps the same two /proc files open and re-reads them at
# the same interval (build/bench/programs/raw_sampler): all of them run at once, so they meet the
# same machine. The on-CPU time is the kernel's (schedstat, wake-ups included) over the steady state,
# from 1 s after the start for SECONDS - 2 s while every program runs on, so neither the start-up nor
# the end is in it; the recorder writes
# its CSV log as in CI. COPIES (default 5) of each program run at once and the median copy is
# shown: 58 samples at 1000 ms are few, and one copy's figure moves by a third from run to run on
# a loaded machine. With BEFORE=path/to/an/older/quolk, that binary runs beside them as well.
# Usage: [COPIES=N] [BEFORE=QUOLK] bench/record_idle_cpu.sh [BUILD_DIR] [SECONDS]
set -eu
build=${1:-build}
seconds=${2:-60}
copies=${COPIES:-5}
before=${BEFORE:-}
dir=$(mktemp -d)
# Every program runs 5 s longer than the span measured, so that none has ended when it is read.
runs=$((seconds + 5))
sleep $((runs + 30)) &
target=$!
trap 'kill $target 2>/dev/null; rm -rf "$dir"' EXIT
oncpu() { read -r ns _ <"/proc/$1/schedstat" && echo "$ns"; }
pids=""
for interval in 100 1000; do
  for copy in $(seq "$copies"); do
    "$build/quolk" --record "$target" --interval $interval --duration "$runs" --quiet \
      --csv "$dir/$interval.$copy.csv" >/dev/null &
    pids="$pids quolk:$interval:$copy:$!"
    if [ -n "$before" ]; then
      "$before" --record "$target" --interval $interval --duration "$runs" --quiet \
        --csv "$dir/before.$interval.$copy.csv" >/dev/null &
      pids="$pids before:$interval:$copy:$!"
    fi
    "$build/bench/programs/raw_sampler" "$target" $interval "$runs" &
    pids="$pids raw:$interval:$copy:$!"
  done
done
sleep 1
for p in $pids; do echo "$p $(oncpu "${p##*:}")"; done >"$dir/first"
sleep $((seconds - 2))
for p in $pids; do echo "$p $(oncpu "${p##*:}")"; done >"$dir/last"
wait $(for p in $pids; do echo "${p##*:}"; done)
# Each copy's on-CPU microseconds per sample, and their median.
per() {
  for copy in $(seq "$copies"); do
    a=$(grep "^$1:$2:$copy:" "$dir/first" | cut -d' ' -f2)
    b=$(grep "^$1:$2:$copy:" "$dir/last" | cut -d' ' -f2)
    echo $(( (b - a) / $3 / 1000 ))
  done | sort -n | tr '\n' ' '
}
median() { echo "$1" | tr ' ' '\n' | grep . | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
echo "on-CPU time per sample over $((seconds - 2)) s of a sleeping target (wake-ups included), median of $copies copies:"
for interval in 100 1000; do
  samples=$(( (seconds - 2) * 1000 / interval ))
  q=$(per quolk $interval $samples); r=$(per raw $interval $samples)
  line="  ${interval} ms: quolk --record $(median "$q") us, raw loop $(median "$r") us"
  line="$line ($(echo "$(median "$q") $(median "$r")" | awk '{printf "%.2f", $1 / $2}')x)"
  if [ -n "$before" ]; then
    o=$(per before $interval $samples)
    line="$line; before $(median "$o") us ($(echo "$(median "$o") $(median "$r")" | awk '{printf "%.2f", $1 / $2}')x)"
  fi
  echo "$line; rows logged over $runs s: $(($(wc -l <"$dir/$interval.1.csv") - 2))"
  echo "    copies: quolk $q/ raw $r${before:+/ before $o}"
done
