#!/usr/bin/env bash
# Runs every benchmark of the native build and prints its figures (not pass/fail,
# except that a benchmark that crashes fails the run), the processing
# cycle against the least such a cycle can cost, and the cycle with six
# response curves and every axis calibrated against the plain one, each with
# its goal.
set -u
cd "$(dirname "$0")/../.."
status=0
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
for program in build/native/bench/bench_*; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "--- $name"
  TAVELIN_SHM_NAME="TavelinBench$$" "$program" --benchmark_min_time=0.2 \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json 2>&1 | grep -v -E "^\*\*\*WARNING|^$" || status=1
done
if [ -f "$results/bench_process_cycle.json" ]; then
  python3 - "$results/bench_process_cycle.json" <<'PY' || status=1
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type", "iteration") == "iteration"}
cycle, floor = runs.get("BM_ProcessCycle"), runs.get("BM_CycleFloor")
if not cycle or not floor or floor["cpu_time"] <= 0:
    sys.exit("processing cycle against its floor: a figure is missing")
ratio = cycle["cpu_time"] / floor["cpu_time"]
print("processing cycle against its floor: %.1f ns against %.1f ns of CPU: %.2fx (goal within 1.5x: %s)"
      % (cycle["cpu_time"], floor["cpu_time"], ratio, "met" if ratio <= 1.5 else "NOT MET"))
feel = runs.get("BM_FeelAgainstPlainCycle")
if not feel or "ratio" not in feel:
    sys.exit("six response curves and calibration against the plain cycle: a figure is missing")
print("six response curves and every axis calibrated against the plain cycle, side by side: %.1f ns against "
      "%.1f ns: %.2fx (goal within 1.3x: %s)" % (feel["curves_and_calibration_ns"], feel["plain_ns"], feel["ratio"],
                                                 "met" if feel["ratio"] <= 1.3 else "NOT MET"))
PY
fi
exit $status
