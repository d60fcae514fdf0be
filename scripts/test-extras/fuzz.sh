#!/usr/bin/env bash
# Bounded libFuzzer run of the configuration files: arbitrary bytes through
# the keyed lookup, CIniRead and LoadConfiguration (with a save, a second load
# and a second save that must repeat the first), under AddressSanitizer,
# UndefinedBehaviorSanitizer and leak checking. Starts from fuzz/corpus.
# Fails on any crash, leak or sanitizer report; the input that caused it is
# kept in build/fuzz-artifacts. TAVELIN_FUZZ_SECONDS sets the time (default 60).
set -u
cd "$(dirname "$0")/../.."
top=$PWD
. "$top/scripts/common.sh"
build=$top/build/fuzz
seconds=${TAVELIN_FUZZ_SECONDS:-60}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: FAILED (clang++ is not installed)"
  exit 1
fi

if ! configure fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVELIN_FUZZ=ON -DTAVELIN_SANITIZE=ON -DTAVELIN_WERROR=OFF -DTAVELIN_BUILD_TESTS=OFF \
  -DTAVELIN_BUILD_BENCH=OFF -DTAVELIN_WITH_QT=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link; then
  echo "fuzz: FAILED (configure)"
  exit 1
fi
if ! cmake --build "$build" --target fuzz_configuration -j "$(nproc)" >"$top/build/fuzz.build.log" 2>&1; then
  grep -E -A8 "error|FAILED" "$top/build/fuzz.build.log" | head -60
  echo "fuzz: FAILED (build)"
  exit 1
fi

work=$(mktemp -d)
shm_name="TavelinFuzz$$"
trap 'rm -rf "$work"; rm -f "/dev/shm/$shm_name" "/dev/shm/$shm_name"*' EXIT
mkdir -p "$work/corpus" "$top/build/fuzz-artifacts"
cp "$top"/fuzz/corpus/* "$work/corpus/"
seeds=$(ls "$work/corpus" | wc -l)

echo "fuzz: ${seconds} s from $seeds seed files"
TAVELIN_SHM_NAME=$shm_name TAVELIN_FUZZ_DIR=$work \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/fuzz_configuration" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
  -print_final_stats=1 -artifact_prefix="$top/build/fuzz-artifacts/" "$work/corpus" >"$work/log" 2>&1
status=$?

grep -E "^stat::(number_of_executed_units|peak_rss_mb|new_units_added)" "$work/log"
grep -E "^#[0-9]+ +DONE" "$work/log" | tail -1
echo "fuzz: corpus grew from $seeds to $(ls "$work/corpus" | wc -l) inputs"
if [ $status -ne 0 ] || grep -q -E "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|fuzz_configuration:" "$work/log"; then
  grep -E -B2 -A30 "ERROR: |runtime error|fuzz_configuration:|SUMMARY" "$work/log" | head -80
  echo "fuzz: FAILED (exit status $status; the input is in build/fuzz-artifacts)"
  exit 1
fi
echo "fuzz: nothing found"
