#!/usr/bin/env bash
# Builds the native, sanitizer and Windows builds and runs every test:
# native ctest, sanitizer ctest and the Windows tests under Wine; then the
# benchmarks and the bounded fuzz run. Exits non-zero on any failure.
set -u
cd "$(dirname "$0")"
scripts/install-deps.sh || exit 1
mkdir -p build
. scripts/common.sh

failed_suites=()
total_passed=0
total_failed=0

run_suite() { # label, build folder
  local label=$1 folder=$2 log="build/$2.ctest.log"
  echo "=== $label: running tests"
  ctest --test-dir "build/$folder" --output-on-failure -j "$(nproc)" --timeout 600 >"$log" 2>&1
  local status=$?
  grep -E "tests passed|The following tests FAILED|\(Failed\)|\(Timeout\)|\(SEGFAULT\)|\(Subprocess aborted\)" "$log" | sed "s/^/[$label] /"
  local line passed failed
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -1)
  if [ -n "$line" ]; then
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    passed=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - failed ))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
  fi
  if [ $status -ne 0 ] || [ -z "$line" ]; then
    failed_suites+=("$label")
    grep -B5 -A40 -E "\*\*\*Failed|\[  FAILED  \]|ERROR: AddressSanitizer|runtime error" "$log" | head -200
  fi
}

build_or_fail() { # label, folder, options...
  local label=$1
  shift
  echo "=== $label: building"
  if ! configure_and_build "$@"; then
    failed_suites+=("$label (build)")
    return 1
  fi
}

build_or_fail "native" native -DCMAKE_BUILD_TYPE=RelWithDebInfo && run_suite "native" native
build_or_fail "sanitizer" asan -DCMAKE_BUILD_TYPE=Debug -DTAVELIN_SANITIZE=ON -DTAVELIN_BUILD_BENCH=OFF -DTAVELIN_WITH_QT=OFF \
  && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite "sanitizer" asan
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "=== windows: preparing the Wine prefix"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
build_or_fail "windows" win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-w64-x86_64.cmake" \
  && run_suite "windows (Wine)" win

for extra in scripts/test-extras/*.sh; do
  [ -f "$extra" ] || continue
  echo "=== $(basename "$extra" .sh)"
  if ! bash "$extra"; then
    failed_suites+=("$(basename "$extra" .sh)")
  fi
done

echo
echo "=== summary"
if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "FAILED: ${failed_suites[*]}"
  echo "$total_passed passed, $((total_failed > 0 ? total_failed : 1)) failed"
  exit 1
fi
echo "$total_passed passed, 0 failed"
