#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a set time, one after the other, each from its
# seed corpus plus what earlier runs found (kept in the build folder, never in the repository).
# Usage: fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET [TARGET...]
set -uo pipefail
build=$1
seconds=$2
shift 2
here="$(cd "$(dirname "$0")" && pwd)"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(log_analysis date numbers text_file proc)
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=0
for name in "${targets[@]}"; do
  work="$build/fuzz/work/$name"
  crashes="$build/fuzz/crashes"
  mkdir -p "$work" "$crashes"
  log="$build/fuzz/$name.log"
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -dict="$here/$name.dict" -artifact_prefix="$crashes/$name-" -print_final_stats=1 \
      "$work" "$here/corpus/$name" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  if [ $status -eq 0 ]; then
    echo "fuzz_$name: ${runs:-?} executions in ${seconds} s, no finding"
  else
    failed=1
    echo "fuzz_$name: FINDING (exit $status), log $log"
    grep -E 'ERROR|property broken|SUMMARY|runtime error' "$log" | head -5 | sed 's/^/  /'
    grep -o "Test unit written to .*" "$log" | sed 's/^Test unit written to /  crash input: /'
  fi
done
exit $failed
