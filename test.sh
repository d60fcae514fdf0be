#!/usr/bin/env bash
# Checks the include layers and the formatting, builds the native, sanitizer
# and Windows builds and runs every test: native ctest, sanitizer ctest and the
# Windows tests under Wine; then the extra steps of scripts/test-extras
# (benchmarks, the bounded fuzz run, ...). Each suite's summary comes from
# ctest's JUnit report (scripts/test-summary.py). Exits non-zero on any failure.
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

# A check that is clean or not: its output is shown only when it fails.
run_check() { # label, command...
  local label=$1
  shift
  echo "=== $label"
  if "$@" >"build/$label.log" 2>&1; then
    summaries+=("[$label] clean")
    echo "[$label] clean"
  else
    head -60 "build/$label.log"
    failed_suites+=("$label")
    summaries+=("[$label] failed (log: build/$label.log)")
  fi
}

# The include layers (scripts/check-layers: which folder may include which).
check_layers() {
  scripts/check-layers
}

# Every tracked C++ file as clang-format 14 writes it with .clang-format.
check_format() {
  local formatter version files differing=()
  formatter=$(command -v clang-format-14 || command -v clang-format) || {
    echo "clang-format is not installed"
    return 1
  }
  version=$("$formatter" --version)
  if [[ "$version" != *" version 14."* ]]; then
    echo "the format is clang-format 14's; $formatter is: $version"
    return 1
  fi
  files=$(git ls-files -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.c') || return 1
  for file in $files; do
    "$formatter" --dry-run --Werror "$file" >/dev/null 2>&1 || differing+=("$file")
  done
  if [ ${#differing[@]} -gt 0 ]; then
    echo "${#differing[@]} files differ from .clang-format (scripts/format.sh formats every tracked file):"
    printf '  %s\n' "${differing[@]}"
    return 1
  fi
  echo "$(echo "$files" | wc -w) files formatted"
}

# Runs one build's tests, or a label selection of them, and sums them up from
# ctest's own reports. mode: per-case (ctest runs each GoogleTest case) or
# per-executable (one ctest entry per executable, under Wine).
run_suite() { # label, build folder, mode, ctest selection (a "-L LABEL" selection gets files of its own)
  local label=$1 folder=$2 mode=$3
  shift 3
  local name=$folder
  [ "${1:-}" = -L ] && name="$folder.$2"
  local build="$PWD/build/$folder" log="build/$name.ctest.log" counts="build/$name.counts"
  local junit="$PWD/build/$name.junit.xml" listing="$PWD/build/$name.tests.json"
  echo "=== $label: running tests"
  [ "$mode" = per-executable ] && rm -rf "$build/gtest-results"
  rm -f "$junit" "$listing" "$counts"
  local started=$SECONDS
  # The Windows tests share one Wine prefix, so one wineserver and one desktop:
  # a program started without a display there leaves the window tests' programs
  # none. They run one at a time.
  local jobs
  jobs=$(nproc)
  [ "$folder" = win ] && jobs=1
  ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 600 "$@" \
    --output-junit "$junit" >"$log" 2>&1
  local status=$?
  ctest --test-dir "$build" --show-only=json-v1 "$@" >"$listing" 2>>"$log"
  local per_executable=()
  if [ "$mode" = per-executable ]; then
    # One ctest entry per executable there; the cases inside are what counts.
    per_executable=(--gtest-results "$build/gtest-results")
  fi
  local output summarised=0
  output=$(python3 scripts/test-summary.py --label "$label" --junit "$junit" \
    --tests "$listing" "${per_executable[@]}" --seconds $((SECONDS - started)) \
    --counts "$counts") || summarised=1
  echo "$output"
  summaries+=("$(echo "$output" | head -1)")
  local passed=0 failed=1 skipped=0
  [ -f "$counts" ] && read -r passed failed skipped <"$counts"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  total_skipped=$((total_skipped + skipped))
  if [ $status -ne 0 ] || [ $summarised -ne 0 ]; then
    failed_suites+=("$label")
    if [ $summarised -eq 0 ]; then
      # ctest failed although every reported test passed: its own words say why.
      tail -20 "$log"
    fi
    echo "[$label] ctest's full output: $log"
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

run_check layers check_layers
run_check format check_format

# The Wine bridge's tests (label wine) need the Windows build too: they run after it.
native_built=
build_or_fail "native" native -DCMAKE_BUILD_TYPE=RelWithDebInfo && native_built=1 && run_suite "native" native per-case -LE wine
build_or_fail "sanitizer" asan -DCMAKE_BUILD_TYPE=Debug -DTAVELIN_SANITIZE=ON -DTAVELIN_BUILD_BENCH=OFF -DTAVELIN_WITH_QT=OFF \
  && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_suite "sanitizer" asan per-case
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
  run_suite "windows (Wine)" win per-executable
  # Native tavelin and simblock with this build's simblock.exe (only built with Qt).
  if [ -n "$native_built" ] && [ -x build/native/tests/wine_bridge_test ]; then
    TAVELIN_WIN_SIMBLOCK="$PWD/build/win/tools/simblock/simblock.exe" run_suite "Wine bridge" native per-case -L wine
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
