#!/usr/bin/env bash
# Builds the native, sanitizer and Windows builds and runs every test:
# native ctest, sanitizer ctest and the Windows tests under Wine; then the
# extra steps of scripts/test-extras (benchmarks, the bounded fuzz run, ...).
# Prints each suite's summary and exits non-zero on any failure.
set -u
cd "$(dirname "$0")"
scripts/install-deps.sh run test || exit 1
mkdir -p build
. scripts/common.sh

failed_suites=()
summaries=()
total_passed=0
total_failed=0
total_skipped=0

# Adds up the gtest XML reports of one build: "<cases> <failures> <skipped>".
gtest_case_counts() { # folder of *.xml
  local cases=0 failures=0 skipped=0 file n
  for file in "$1"/*.xml; do
    [ -f "$file" ] || continue
    n=$(grep -o '<testsuites [^>]*' "$file" | head -1)
    cases=$((cases + $(echo "$n" | sed -E 's/.* tests="([0-9]+)".*/\1/')))
    failures=$((failures + $(echo "$n" | sed -E 's/.* failures="([0-9]+)".*/\1/')))
    failures=$((failures + $(echo "$n" | sed -E 's/.* errors="([0-9]+)".*/\1/')))
    skipped=$((skipped + $(grep -c 'result="skipped"' "$file")))
  done
  echo "$cases $failures $skipped"
}

run_suite() { # label, build folder, ctest options (a "-L LABEL" selection gets a log of its own)
  local label=$1 folder=$2 log="build/$2.ctest.log"
  shift 2
  [ "${1:-}" = -L ] && log="build/$folder.$2.ctest.log"
  echo "=== $label: running tests"
  rm -rf "build/$folder/gtest-results"
  local started=$SECONDS
  ctest --test-dir "build/$folder" --output-on-failure -j "$(nproc)" --timeout 600 "$@" >"$log" 2>&1
  local status=$?
  local line passed=0 failed=0 skipped
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
  skipped=$(grep -c -E "\(Skipped\)$" "$log")
  if [ -n "$line" ]; then
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    passed=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - failed - skipped ))
  fi
  local summary="[$label] $passed passed, $failed failed, $skipped skipped ($((SECONDS - started)) s)"
  if [ -d "build/$folder/gtest-results" ]; then
    # One CTest entry per executable here; the cases inside are what counts.
    local cases case_failures case_skipped
    read -r cases case_failures case_skipped < <(gtest_case_counts "build/$folder/gtest-results")
    summary="$summary; $cases gtest cases in $((passed + failed + skipped)) executables: $((cases - case_failures - case_skipped)) passed, $case_failures failed, $case_skipped skipped"
    passed=$((cases - case_failures - case_skipped))
    skipped=$case_skipped
    [ "$case_failures" -gt "$failed" ] && failed=$case_failures
  fi
  echo "$summary"
  summaries+=("$summary")
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  if [ $status -ne 0 ] || [ -z "$line" ]; then
    failed_suites+=("$label")
    grep -E "The following tests FAILED|\(Failed\)|\(Timeout\)|\(SEGFAULT\)|\(Subprocess aborted\)|\(Not Run\)" "$log" | sed "s/^/[$label] /"
    grep -B5 -A40 -E "\*\*\*Failed|\[  FAILED  \]|ERROR: AddressSanitizer|runtime error" "$log" | head -200
    [ -z "$line" ] && tail -20 "$log"
  fi
}

build_or_fail() { # label, folder, options...
  local label=$1
  shift
  echo "=== $label: building"
  local started=$SECONDS
  if ! configure_and_build "$@" >"build/$1.build.log" 2>&1; then
    grep -E -A12 "error|FAILED" "build/$1.build.log" | head -80
    echo "[$label] build failed (log: build/$1.build.log)"
    failed_suites+=("$label (build)")
    summaries+=("[$label] build failed")
    return 1
  fi
  echo "[$label] built in $((SECONDS - started)) s"
}

# The Wine bridge's tests (label wine) need the Windows build too: they run after it.
native_built=
build_or_fail "native" native -DCMAKE_BUILD_TYPE=RelWithDebInfo && native_built=1 && run_suite "native" native -LE wine
build_or_fail "sanitizer" asan -DCMAKE_BUILD_TYPE=Debug -DTAVELIN_SANITIZE=ON -DTAVELIN_BUILD_BENCH=OFF -DTAVELIN_WITH_QT=OFF \
  && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite "sanitizer" asan
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "=== windows: preparing the Wine prefix (the first time takes a while)"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# Windows are hidden at once without a window manager (Managed=N).
if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi
if build_or_fail "windows" win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchains/mingw-w64-x86_64.cmake"; then
  # One lingering Wine server for the tests, its output kept out of theirs.
  wineserver -p30 >/dev/null 2>&1
  run_suite "windows (Wine)" win
  # Native tavelin and simblock with this build's simblock.exe (only built with Qt).
  if [ -n "$native_built" ] && [ -x build/native/tests/wine_bridge_test ]; then
    TAVELIN_WIN_SIMBLOCK="$PWD/build/win/tools/simblock/simblock.exe" run_suite "Wine bridge" native -L wine
  fi
fi

for extra in scripts/test-extras/*.sh; do
  [ -f "$extra" ] || continue
  echo "=== $(basename "$extra" .sh)"
  if ! bash "$extra"; then
    failed_suites+=("$(basename "$extra" .sh)")
    summaries+=("[$(basename "$extra" .sh)] failed")
  fi
done

echo
echo "=== summary"
printf '%s\n' "${summaries[@]}"
if [ ${#failed_suites[@]} -gt 0 ]; then
  echo "FAILED: ${failed_suites[*]}"
  echo "$total_passed passed, $((total_failed > 0 ? total_failed : 1)) failed, $total_skipped skipped"
  exit 1
fi
echo "$total_passed passed, 0 failed, $total_skipped skipped"
