#!/usr/bin/env bash
# CPU of the running program over a fixed number of 8 ms ticks, side by side
# with its yardsticks, in one run:
#   offscreen: the bare Qt timer, publishing alone (joysticks, processing and
#     block, no window), the program with four still and four sweeping
#     virtual joysticks;
#   under Xvfb with a window manager (twm), counting the X server's CPU:
#     publishing alone, still, sweeping, and minimised (or, with no window
#     manager, unmapped: hidden);
#   the real window's allocations per tick, offscreen with sweeping sticks
#     (every malloc of the process, through a preloaded counter).
# Prints the figures and the ratios against their goals; not pass/fail (only
# a program that cannot be started fails it).
# TAVELIN_CPU_TICKS sets the number of ticks measured per case (default 1000,
# 8 s); TAVELIN_BUILD_DIR the build folder (default build/native);
# TAVELIN_CPU_PROGRAM another tavelin to measure (e.g. an older build).
set -u
cd "$(dirname "$0")/../.."
build_dir=${TAVELIN_BUILD_DIR:-build/native}
program=${TAVELIN_CPU_PROGRAM:-$build_dir/platform/qt/tavelin}
bare=$build_dir/bench/bare_qt_timer
publish=$build_dir/bench/publish_only
counter=$build_dir/bench/libtavelin_malloc_count.so
if [ ! -x "$program" ] || [ ! -x "$bare" ] || [ ! -x "$publish" ]; then
  echo "cpu: skipped (no Qt build of tavelin, bare_qt_timer and publish_only in $build_dir)"
  exit 0
fi
program=$(realpath "$program")

ticks=${TAVELIN_CPU_TICKS:-1000}
window_ms=$((ticks * 8))
alloc_ticks=$((ticks < 400 ? ticks : 400))
work=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
  # Every case lets its block go when stopped; one that did not is named, and
  # what it left is removed.
  local left
  for left in /dev/shm/TavelinCpu*"$$" /dev/shm/TavelinCpu*"$$".lock; do
    [ -e "$left" ] || continue
    echo "cpu: $left was left behind" >&2
    rm -f "$left"
  done
}
trap cleanup EXIT
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

case_pid=
# start label shm display command...: starts a case in the background
# (offscreen when display is empty) and waits until it runs: its block exists
# ("-": none), then a second for the first cycles' set-up work to pass.
start() {
  local label=$1 shm=$2 display=$3
  shift 3
  if [ -n "$display" ]; then
    env XDG_CONFIG_HOME="$work/config" TAVELIN_SHM_NAME="$shm" QT_QPA_PLATFORM=xcb DISPLAY="$display" "$@" \
      >"$work/$label.log" 2>&1 &
  else
    env XDG_CONFIG_HOME="$work/config" TAVELIN_SHM_NAME="$shm" QT_QPA_PLATFORM=offscreen "$@" \
      >"$work/$label.log" 2>&1 &
  fi
  case_pid=$!
  local deadline=$(($(now_ms) + 10000))
  while [ "$shm" != "-" ] && [ ! -e "/dev/shm/$shm" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    kill -0 "$case_pid" 2>/dev/null || break
    sleep 0.05
  done
  sleep 1
  if ! kill -0 "$case_pid" 2>/dev/null; then
    echo "cpu: $label did not start:" >&2
    cat "$work/$label.log" >&2
    return 1
  fi
}

stop() {
  kill -TERM "$case_pid" 2>/dev/null
  wait "$case_pid" 2>/dev/null
}

# measure pid...: percent of one core of each pid over the same window, one line
measure() {
  local pid c0=() c1=() t0 t1
  for pid in "$@"; do c0+=("$(cpu_ns "$pid")"); done
  t0=$(now_ms)
  sleep "$(awk -v ms="$window_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  for pid in "$@"; do c1+=("$(cpu_ns "$pid")"); done
  t1=$(now_ms)
  local i out=""
  for i in "${!c0[@]}"; do
    out+=$(awk -v c="$((c1[i] - c0[i]))" -v ms="$((t1 - t0))" 'BEGIN { printf "%.2f ", 100 * (c / 1e9) / (ms / 1000) }')
  done
  echo "$out"
}

# offscreen label shm command...: percent of one core
offscreen() {
  local label=$1 shm=$2
  shift 2
  start "$label" "$shm" "" "$@" || return 1
  local result
  result=$(measure "$case_pid")
  stop
  echo $result
}

status=0
bare_pct=$(offscreen bare - "$bare") || status=1
publish_pct=$(offscreen publish "TavelinCpuPublish$$" env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$publish") \
  || status=1
still_pct=$(offscreen still "TavelinCpuStill$$" env TAVELIN_VIRTUAL_JOYSTICKS="$work/still.ini" "$program") || status=1
sweep_pct=$(offscreen sweep "TavelinCpuSweep$$" env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$program") || status=1
if [ $status -ne 0 ]; then
  exit 1
fi

# The same under a real X server: its CPU (and the window manager's) counts too.
x_line() { # label shm hide command...: "program display" percentages
  local label=$1 shm=$2 hide=$3
  shift 3
  start "$label" "$shm" "$display" "$@" || return 1
  if [ "$hide" = yes ]; then
    local window
    window=$(DISPLAY=$display timeout 10 xdotool search --sync --onlyvisible --pid "$case_pid" 2>/dev/null | head -n 1)
    if [ -z "$window" ]; then
      echo "cpu: $label: no window found" >&2
    elif [ -n "$wm_pid" ]; then
      DISPLAY=$display timeout 10 xdotool windowminimize --sync "$window" 2>/dev/null
    else
      DISPLAY=$display timeout 10 xdotool windowunmap --sync "$window" 2>/dev/null
    fi
    sleep 0.5
  fi
  local pids=("$case_pid" "$xvfb_pid")
  [ -n "$wm_pid" ] && pids+=("$wm_pid")
  local result
  result=$(measure "${pids[@]}")
  stop
  echo "$result" | awk '{ printf "%.2f %.2f", $1, $2 + $3 }'
}

x_note=""
display=""
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  deadline=$(($(now_ms) + 10000))
  while [ ! -s "$work/display" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    sleep 0.05
  done
  if [ -s "$work/display" ]; then
    display=:$(head -n 1 "$work/display")
  fi
fi
if [ -n "$display" ]; then
  hidden_label="minimised"
  if command -v twm >/dev/null; then
    # Windows placed at once, without asking for a click.
    printf 'RandomPlacement\nUsePPosition "on"\nNoGrabServer\n' >"$work/twmrc"
    DISPLAY=$display twm -f "$work/twmrc" >"$work/twm.log" 2>&1 &
    wm_pid=$!
    x_note="Xvfb + twm"
  else
    hidden_label="hidden"
    x_note="Xvfb, no window manager: hidden means unmapped"
  fi
  sleep 0.5
  x_publish=$(x_line xpublish "TavelinCpuXPublish$$" no env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$publish") \
    || status=1
  x_still=$(x_line xstill "TavelinCpuXStill$$" no env TAVELIN_VIRTUAL_JOYSTICKS="$work/still.ini" "$program") \
    || status=1
  x_sweep=$(x_line xsweep "TavelinCpuXSweep$$" no env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$program") \
    || status=1
  x_hidden=$(x_line xhidden "TavelinCpuXHidden$$" yes env TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$program") \
    || status=1
  if [ $status -ne 0 ]; then
    exit 1
  fi
fi

# Allocations of the real window per tick: the count between two snapshots
# over a few hundred ticks, offscreen, sweeping sticks.
alloc_per_tick=""
if [ -f "$counter" ]; then
  counts=$work/malloc-counts
  if start alloc "TavelinCpuAlloc$$" "" env LD_PRELOAD="$(realpath "$counter")" TAVELIN_MALLOC_COUNT_FILE="$counts" \
    TAVELIN_VIRTUAL_JOYSTICKS="$work/sweep.ini" "$program"; then
    kill -USR1 "$case_pid"
    a0=$(now_ms)
    sleep "$(awk -v t="$alloc_ticks" 'BEGIN { printf "%.3f", t * 8 / 1000 }')"
    kill -USR1 "$case_pid"
    a1=$(now_ms)
    deadline=$(($(now_ms) + 2000))
    while [ "$(wc -l <"$counts" 2>/dev/null || echo 0)" -lt 2 ] && [ "$(now_ms)" -lt "$deadline" ]; do
      sleep 0.05
    done
    stop
    if [ "$(wc -l <"$counts")" -ge 2 ]; then
      alloc_per_tick=$(awk -v ms="$((a1 - a0))" 'NR == 1 { first = $1 } NR == 2 { printf "%.1f", ($1 - first) / (ms / 8) }' \
        "$counts")
    fi
  fi
fi

echo "CPU over $ticks ticks of 8 ms (percent of one core):"
echo "  offscreen"
printf '    bare Qt timer                   %6s %%\n' "$bare_pct"
printf '    publishing alone (no window)    %6s %%\n' "$publish_pct"
printf '    tavelin, 4 still joysticks      %6s %%\n' "$still_pct"
printf '    tavelin, 4 sweeping joysticks   %6s %%\n' "$sweep_pct"
if [ -n "$display" ]; then
  echo "  under $x_note (program + X server and window manager = total)"
  for entry in "publishing alone (no window)|$x_publish" "tavelin, 4 still joysticks|$x_still" \
    "tavelin, 4 sweeping joysticks|$x_sweep" "tavelin, $hidden_label, sweeping|$x_hidden"; do
    name=${entry%%|*}
    set -- ${entry#*|}
    awk -v n="$name" -v p="$1" -v x="$2" 'BEGIN { printf "    %-31s %6.2f %% + %5.2f %% = %6.2f %%\n", n, p, x, p + x }'
  done
else
  echo "  under X: skipped (no Xvfb or no xdotool)"
fi
if [ -n "$alloc_per_tick" ]; then
  printf '  allocations per tick, real window, offscreen, sweeping: %s (over %s ticks; goal: under 10)\n' \
    "$alloc_per_tick" "$alloc_ticks"
fi
echo "  ratios"
awk -v b="$bare_pct" -v p="$publish_pct" -v s="$still_pct" -v w="$sweep_pct" 'BEGIN {
  if (b > 0) {
    printf "    still / bare                    %.2fx (goal: within 1.3x)\n", s / b
    printf "    sweep / bare                    %.2fx\n", w / b
    printf "    publishing alone / bare         %.2fx\n", p / b
  } else {
    print "    the bare timer used no measurable CPU: ratios not shown"
  }
}'
if [ -n "$display" ]; then
  set -- $x_sweep
  sweep_total=$(awk -v p="$1" -v x="$2" 'BEGIN { printf "%.2f", p + x }')
  set -- $x_publish
  publish_total=$(awk -v p="$1" -v x="$2" 'BEGIN { printf "%.2f", p + x }')
  set -- $x_hidden
  hidden_total=$(awk -v p="$1" -v x="$2" 'BEGIN { printf "%.2f", p + x }')
  awk -v w="$sweep_total" -v p="$publish_total" -v h="$hidden_total" -v l="$hidden_label" 'BEGIN {
    printf "    sweep under X, with the server  %.2f %% (goal: at or under 2.5 %%)\n", w
    if (p > 0) {
      printf "    %s / publishing alone, X %.2fx (goal: within 1.2x)\n", l, h / p
    }
  }'
fi
