#!/usr/bin/env bash
# CPU of the running program over a fixed number of 8 ms ticks, offscreen,
# beside a bare Qt program that runs only the same timer: (a) four still
# virtual joysticks, (b) four sweeping ones. Prints the figures and the
# ratios; not pass/fail (only a program that cannot be started fails it).
# TAVELIN_CPU_TICKS sets the number of ticks measured (default 1000, 8 s);
# TAVELIN_BUILD_DIR the build folder (default build/native).
set -u
cd "$(dirname "$0")/../.."
build_dir=${TAVELIN_BUILD_DIR:-build/native}
program=$build_dir/platform/qt/tavelin
bare=$build_dir/bench/bare_qt_timer
if [ ! -x "$program" ] || [ ! -x "$bare" ]; then
  echo "cpu: skipped (no Qt build of tavelin and bare_qt_timer in $build_dir)"
  exit 0
fi

ticks=${TAVELIN_CPU_TICKS:-1000}
window_ms=$((ticks * 8))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Orrelane/Shared"
if [ -f examples/Joystick.ini ]; then
  cp examples/Joystick.ini "$work/config/Orrelane/Shared/Joystick.ini"
else
  printf '[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL\t= 0\nPITCH_CNTL\t\t= 1\nSIDE_STICK_R_CNTL\t= 0\nROLL_CNTL\t\t= 0\n' \
    >"$work/config/Orrelane/Shared/Joystick.ini"
fi

joysticks() { # motion line (empty for still sticks)
  for n in 0 1 2 3; do
    printf '[JOYSTICK_%d]\nJOY_ID = %d\nNAME = Virtual Stick %d\nBUTTONS = 12\n%s\n\n' "$n" $((305419896 + n)) "$n" "$1"
  done
}
joysticks "" >"$work/still.ini"
joysticks "MOTION = SWEEP" >"$work/sweep.ini"

cpu_ns() { # pid: nanoseconds on a CPU of every thread (schedstat: exact, not 10 ms clock ticks)
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%.0f", sum }'
}

now_ms() {
  date +%s%3N
}

# measure label shm-name command...: prints the percentage of one core
measure() {
  local label=$1 shm=$2
  shift 2
  env XDG_CONFIG_HOME="$work/config" TAVELIN_SHM_NAME="$shm" QT_QPA_PLATFORM=offscreen "$@" \
    >"$work/$label.log" 2>&1 &
  local pid=$!
  # Started: the program's block exists (the bare timer has none), then a
  # second for the first cycles' set-up work to pass.
  local deadline=$(( $(now_ms) + 10000 ))
  while [ "$shm" != "-" ] && [ ! -e "/dev/shm/$shm" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  sleep 1
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "cpu: $label did not start:" >&2
    cat "$work/$label.log" >&2
    return 1
  fi
  local c0 t0 c1 t1
  c0=$(cpu_ns "$pid")
  t0=$(now_ms)
  sleep "$(awk -v ms="$window_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  c1=$(cpu_ns "$pid")
  t1=$(now_ms)
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  awk -v c="$((c1 - c0))" -v ms="$((t1 - t0))" 'BEGIN { printf "%.2f", 100 * (c / 1e9) / (ms / 1000) }'
}

status=0
bare_pct=$(measure bare - "$bare") || status=1
still_pct=$(measure still "TavelinCpuStill$$" env TAVELIN_VIRTUAL_JOYSTICKS="$work/still.ini" "$program") || status=1
sweep_pct=$(measure sweep "TavelinCpuSweep$$" env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$program") || status=1
if [ $status -ne 0 ]; then
  exit 1
fi

echo "CPU over $ticks ticks of 8 ms (percent of one core, offscreen):"
printf '  bare Qt timer                 %6s %%\n' "$bare_pct"
printf '  tavelin, 4 still joysticks    %6s %%\n' "$still_pct"
printf '  tavelin, 4 sweeping joysticks %6s %%\n' "$sweep_pct"
awk -v b="$bare_pct" -v s="$still_pct" -v w="$sweep_pct" 'BEGIN {
  if (b > 0) {
    printf "  still / bare   %.2fx (goal: within 1.5x)\n", s / b
    printf "  sweep / bare   %.2fx\n", w / b
  } else {
    print "  the bare timer used no measurable CPU: ratios not shown"
  }
  printf "  sweep          %s %% (goal: under 5 %% of one core)\n", w
}'
