#!/usr/bin/env bash
# Runs every benchmark of the native build and prints its figures (not pass/fail,
# except that a benchmark that crashes fails the run).
set -u
cd "$(dirname "$0")/../.."
status=0
for program in build/native/bench/bench_*; do
  [ -x "$program" ] || continue
  echo "--- $(basename "$program")"
  TAVELIN_SHM_NAME="TavelinBench$$" "$program" --benchmark_min_time=0.2 2>&1 | grep -v -E "^\*\*\*WARNING|^$" || status=1
done
exit $status
