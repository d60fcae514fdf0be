#!/usr/bin/env bash
# CPU of the Windows program under Wine: tavelin.exe with four sweeping
# virtual joysticks beside a bare Win32 program that runs only the same 8 ms
# timer, both in one run, each with the Wine server's share added. Prints the
# figures and the ratio; not pass/fail (only a program that cannot be started
# fails it). TAVELIN_CPU_TICKS sets the ticks measured (default 1000, 8 s);
# TAVELIN_WIN_BUILD_DIR the Windows build folder (default build/win).
set -u
cd "$(dirname "$0")/../.."
. scripts/common.sh
build_dir=${TAVELIN_WIN_BUILD_DIR:-build/win}
program=$build_dir/platform/win32ui/tavelin.exe
bare=$build_dir/tests/bare_win32_timer.exe
if [ ! -f "$program" ] || [ ! -f "$bare" ] || ! command -v wine >/dev/null; then
  echo "cpu-wine: skipped (no Windows build of tavelin.exe and bare_win32_timer.exe in $build_dir, or no Wine)"
  exit 0
fi
# Real windows need an X server: a private one, whatever display there is.
if [ -z "${TAVELIN_CPU_WINE_XVFB:-}" ]; then
  TAVELIN_CPU_WINE_XVFB=1 exec xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" bash "$0" "$@"
fi

ticks=${TAVELIN_CPU_TICKS:-1000}
window_ms=$((ticks * 8))
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A desktop's X server carries resources (at least Xft.dpi); a bare Xvfb has
# none, and then Xlib reads its resource files again on every lookup Wine
# makes while painting. Both programs are measured as on a desktop.
printf 'Xft.dpi:\t96\n' >"$work/xresources"
export XENVIRONMENT="$work/xresources"
for n in 0 1 2 3; do
  printf '[JOYSTICK_%d]\nJOY_ID = %d\nNAME = Virtual Stick %d\nBUTTONS = 12\nMOTION = SWEEP\n\n' "$n" $((305419896 + n)) "$n"
done >"$work/sweep.ini"
wineserver -p30 >/dev/null 2>&1

cpu_ns() { # pids: nanoseconds on a CPU of every thread (schedstat: exact)
  local pid
  for pid in "$@"; do
    cat /proc/"$pid"/task/*/schedstat 2>/dev/null
  done | awk '{ sum += $1 } END { printf "%.0f", sum }'
}

now_ms() {
  date +%s%3N
}

# The Wine server of this prefix (its environment names the prefix).
server_pid() {
  local pid
  for pid in $(pgrep -x wineserver64) $(pgrep -x wineserver); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

window_shown() { # title
  xwininfo -root -tree 2>/dev/null | grep -q "\"$1\""
}

# measure label title command...: prints "<program %> <server %>" of one core
measure() {
  local label=$1 title=$2
  shift 2
  "$@" >"$work/$label.log" 2>&1 &
  local pid=$!
  local deadline=$(($(now_ms) + 30000))
  until window_shown "$title"; do
    if ! kill -0 "$pid" 2>/dev/null || [ "$(now_ms)" -gt "$deadline" ]; then
      echo "cpu-wine: $label did not start:" >&2
      cat "$work/$label.log" >&2
      kill "$pid" 2>/dev/null
      return 1
    fi
    sleep 0.1
  done
  sleep 1 # the first cycles' set-up work passes
  local server
  server=$(server_pid) || { echo "cpu-wine: no Wine server found" >&2; kill "$pid"; return 1; }
  local c0 s0 t0 c1 s1 t1
  c0=$(cpu_ns "$pid")
  s0=$(cpu_ns "$server")
  t0=$(now_ms)
  sleep "$(awk -v ms="$window_ms" 'BEGIN { printf "%.3f", ms / 1000 }')"
  c1=$(cpu_ns "$pid")
  s1=$(cpu_ns "$server")
  t1=$(now_ms)
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  awk -v c="$((c1 - c0))" -v s="$((s1 - s0))" -v ms="$((t1 - t0))" \
    'BEGIN { printf "%.2f %.2f", 100 * (c / 1e9) / (ms / 1000), 100 * (s / 1e9) / (ms / 1000) }'
}

status=0
bare_figures=$(measure bare "Bare timer" wine "$bare") || status=1
sweep_figures=$(measure sweep "Version 1.6" env TAVELIN_VIRTUAL_JOYSTICKS="Z:${work//\//\\}\\sweep.ini" \
  TAVELIN_SHM_NAME="TavelinCpuWine$$" wine "$program") || status=1
read -r bare_pct bare_server <<<"${bare_figures:-}"
read -r sweep_pct sweep_server <<<"${sweep_figures:-}"
if [ -z "${bare_pct:-}" ] || [ -z "${sweep_pct:-}" ]; then
  exit 1
fi

echo "CPU under Wine over $ticks ticks of 8 ms (percent of one core; program + Wine server):"
awk -v bp="$bare_pct" -v bs="$bare_server" -v tp="$sweep_pct" -v ts="$sweep_server" 'BEGIN {
  printf "  bare Win32 timer                  %6.2f %% + %6.2f %% = %6.2f %%\n", bp, bs, bp + bs
  printf "  tavelin.exe, 4 sweeping joysticks %6.2f %% + %6.2f %% = %6.2f %%\n", tp, ts, tp + ts
  if (bp + bs > 0) {
    printf "  tavelin / bare   %.2fx (goal: within 3x)\n", (tp + ts) / (bp + bs)
  } else {
    print "  the bare timer used no measurable CPU: no ratio"
  }
}'
exit $status
