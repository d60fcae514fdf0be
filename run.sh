#!/usr/bin/env bash
# Builds Tavelin and starts its window.
# - The configuration folder ($XDG_CONFIG_HOME/Orrelane/Shared, default
#   ~/.config/Orrelane/Shared) gets examples/Joystick.ini when it has no Joystick.ini.
# - Real joysticks are used when a readable one is attached; otherwise the
#   virtual joysticks of examples/virtual-joysticks.ini (TAVELIN_VIRTUAL_JOYSTICKS
#   set by the caller always wins).
# - Without a display the window runs offscreen and the terminal shows the
#   simulator's block (simblock watch). Ctrl-C ends both.
set -eu
cd "$(dirname "$0")"
here=$PWD
scripts/install-deps.sh
. scripts/common.sh
configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_targets native tavelin simblock
program=build/native/platform/qt/tavelin
simblock=build/native/tools/simblock/simblock
if [ ! -x "$program" ]; then
  echo "run.sh: the window was not built (Qt 6 missing?); see build/native.configure.log" >&2
  exit 1
fi

config_folder="${XDG_CONFIG_HOME:-$HOME/.config}/Orrelane/Shared"
if [ ! -f "$config_folder/Joystick.ini" ]; then
  mkdir -p "$config_folder"
  cp examples/Joystick.ini "$config_folder/Joystick.ini"
  echo "Configuration: put the example set-up in $config_folder/Joystick.ini"
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

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

# No display: the window offscreen, the block in the terminal.
shm_name="${TAVELIN_SHM_NAME:-GenericSimSharedMemory}"
echo "No display: the window runs offscreen; the shared block \"$shm_name\" below (Ctrl-C to stop)."
QT_QPA_PLATFORM=offscreen "$program" &
window_pid=$!
watch_pid=
stop() {
  trap - INT TERM
  [ -n "$watch_pid" ] && kill -INT "$watch_pid" 2>/dev/null
  kill -TERM "$window_pid" 2>/dev/null
  wait "$window_pid" 2>/dev/null
  [ -n "$watch_pid" ] && wait "$watch_pid" 2>/dev/null
  exit 0
}
trap stop INT TERM

# simblock opens the block; wait until the window has made it (at most 10 s).
for _ in $(seq 200); do
  [ -e "/dev/shm/$shm_name" ] && break
  kill -0 "$window_pid" 2>/dev/null || break
  sleep 0.05
done
if ! kill -0 "$window_pid" 2>/dev/null; then
  wait "$window_pid"
  exit $?
fi
"$simblock" --open-only watch &
watch_pid=$!
# Either ending ends the other.
while kill -0 "$window_pid" 2>/dev/null && kill -0 "$watch_pid" 2>/dev/null; do
  wait -n "$window_pid" "$watch_pid" 2>/dev/null || true
done
stop
