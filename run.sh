#!/usr/bin/env bash
# Builds Tavelin (only what the program needs, in build/run) and starts its window.
# - The program itself writes the default set-up into the configuration folder
#   ($XDG_CONFIG_HOME/Orrelane/Shared, default ~/.config/Orrelane/Shared) when
#   it has no Joystick.ini, and says so in its warning list.
# - Real joysticks are used when a readable one is attached; otherwise the
#   virtual joysticks of examples/virtual-joysticks.ini (TAVELIN_VIRTUAL_JOYSTICKS
#   set by the caller always wins).
# - Without a display, or with one that cannot be opened, the window runs
#   offscreen and the terminal shows the simulator's block (simblock watch)
#   with the program's messages among the values. Ctrl-C ends both.
# - --wine-prefix DIR: a simulator under Wine in DIR shares the block. The
#   Windows simblock.exe is built too, and once the window has made the block
#   the bridge (simblock wine-bridge) starts beside it and ends with it.
set -eu
wine_prefix=
while [ $# -gt 0 ]; do
  case $1 in
    --wine-prefix)
      [ $# -ge 2 ] || { echo "run.sh: --wine-prefix needs the simulator's Wine prefix" >&2; exit 64; }
      wine_prefix=$2
      shift 2
      ;;
    --wine-prefix=*)
      wine_prefix=${1#*=}
      shift
      ;;
    -h | --help)
      echo "usage: ./run.sh [--wine-prefix DIR]"
      exit 0
      ;;
    *)
      echo "run.sh: unknown argument $1 (usage: ./run.sh [--wine-prefix DIR])" >&2
      exit 64
      ;;
  esac
done
if [ -n "$wine_prefix" ]; then
  [ -d "$wine_prefix" ] || { echo "run.sh: the Wine prefix $wine_prefix is not a folder" >&2; exit 1; }
  wine_prefix=$(cd "$wine_prefix" && pwd)
fi
cd "$(dirname "$0")"
here=$PWD
if [ -n "$wine_prefix" ]; then
  scripts/install-deps.sh run test # the Windows simblock.exe needs the cross compiler and Wine
else
  scripts/install-deps.sh run
fi
. scripts/common.sh
configure run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVELIN_BUILD_TESTS=OFF -DTAVELIN_BUILD_BENCH=OFF
build_targets run tavelin simblock
windows_simblock=$here/build/win/tools/simblock/simblock.exe
if [ -n "$wine_prefix" ]; then
  command -v wine >/dev/null || { echo "run.sh: --wine-prefix needs wine" >&2; exit 1; }
  configure win -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/mingw-w64-x86_64.cmake"
  build_targets win simblock
fi
program=build/run/platform/qt/tavelin
simblock=build/run/tools/simblock/simblock
if [ ! -x "$program" ]; then
  echo "run.sh: the window was not built (Qt 6 missing?); see build/run.configure.log" >&2
  exit 1
fi

# A joystick is an input device with a "js" handler; readable by us or not.
readable_joystick() {
  [ -r /proc/bus/input/devices ] || return 1
  local node
  for node in $(awk '/^H: Handlers=/ && / js[0-9]+/ { for (i = 2; i <= NF; i++) if ($i ~ /^event[0-9]+$/) print $i }' \
    /proc/bus/input/devices 2>/dev/null); do
    [ -r "/dev/input/$node" ] && return 0
  done
  return 1
}

if [ -n "${TAVELIN_VIRTUAL_JOYSTICKS:-}" ]; then
  echo "Joysticks: the virtual ones of $TAVELIN_VIRTUAL_JOYSTICKS"
elif readable_joystick; then
  echo "Joysticks: the attached ones"
else
  export TAVELIN_VIRTUAL_JOYSTICKS="$here/examples/virtual-joysticks.ini"
  echo "Joysticks: none readable attached; using the moving virtual joysticks of examples/virtual-joysticks.ini"
fi

shm_name="${TAVELIN_SHM_NAME:-GenericSimSharedMemory}"
bridge_pid=
# The bridge comes after the window has made the block (at most 10 s).
wait_for_block() { # pid of the window
  local _
  for _ in $(seq 200); do
    [ -e "/dev/shm/$shm_name" ] && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.05
  done
  [ -e "/dev/shm/$shm_name" ]
}
start_bridge() {
  [ -n "$wine_prefix" ] || return 0
  echo "Wine: bridging \"$shm_name\" into $wine_prefix; start the simulator there once the bridge says so."
  "$simblock" wine-bridge --prefix "$wine_prefix" --exe "$windows_simblock" &
  bridge_pid=$!
}
stop_bridge() {
  [ -n "$bridge_pid" ] || return 0
  kill -TERM "$bridge_pid" 2>/dev/null
  wait "$bridge_pid" 2>/dev/null
  bridge_pid=
}

# The program itself tries the display: Qt ends a program whose display
# cannot be opened, so a short trial run tells before the window is started.
display_opens() {
  (
    ulimit -c 0
    # Not the subshell's last command: its own shell reports the abort, into /dev/null.
    timeout 20 "$program" --check-display
    exit $?
  ) >/dev/null 2>&1
}
if [ "${QT_QPA_PLATFORM:-}" != offscreen ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } \
  && ! display_opens; then
  echo "The display \"${WAYLAND_DISPLAY:-${DISPLAY:-}}\" cannot be opened: the window runs offscreen instead."
  unset DISPLAY WAYLAND_DISPLAY
fi

if [ "${QT_QPA_PLATFORM:-}" != offscreen ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  [ -n "$wine_prefix" ] || exec "$program"
  "$program" &
  window_pid=$!
  trap 'kill -TERM "$window_pid" 2>/dev/null' INT TERM
  wait_for_block "$window_pid" && start_bridge
  status=0
  # A signal ends the wait early; the window's own end is what counts.
  while kill -0 "$window_pid" 2>/dev/null; do
    wait "$window_pid" 2>/dev/null && status=0 || status=$?
  done
  trap - INT TERM
  stop_bridge
  exit $status
fi

# No display: the window offscreen, the block in the terminal, messages among the values.
echo "No display: the window runs offscreen; the shared block \"$shm_name\" below, the program's messages among its lines (Ctrl-C to stop)."
QT_QPA_PLATFORM=offscreen "$program" &
window_pid=$!
watch_pid=
stop() {
  trap - INT TERM
  [ -n "$watch_pid" ] && kill -INT "$watch_pid" 2>/dev/null
  kill -TERM "$window_pid" 2>/dev/null
  wait "$window_pid" 2>/dev/null
  [ -n "$watch_pid" ] && wait "$watch_pid" 2>/dev/null
  stop_bridge
  exit 0
}
trap stop INT TERM

# simblock opens the block; wait until the window has made it.
if ! wait_for_block "$window_pid"; then
  stop_bridge
  wait "$window_pid"
  exit $?
fi
start_bridge
"$simblock" --open-only watch &
watch_pid=$!
# Either ending ends the other.
while kill -0 "$window_pid" 2>/dev/null && kill -0 "$watch_pid" 2>/dev/null; do
  wait -n "$window_pid" "$watch_pid" 2>/dev/null || true
done
stop
