#!/usr/bin/env bash
# Takes docs/axis-buttons.png (the Qt window on a virtual X display) and
# docs/windows-axis-buttons.png (tavelin.exe under Wine): the demo's set-up
# with BRAKE L and BRAKE R on the virtual pedals' toe brakes, the left one
# pressed, so that the rows show their axes and the BRAKE L lamp is lit.
# Usage: docs/axis-buttons-screenshot.sh [native build, default build/native] [Windows build, default build/win]
set -eu
cd "$(dirname "$0")/.."
. scripts/common.sh
if [ "${1:-}" != "--inside" ]; then
  native=${1:-build/native}
  windows=${2:-build/win}
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
else
  work=$AXIS_WORK
fi

# The demo's joysticks, the pedals still: the left toe brake (X) pressed, the right one (Y) at rest.
sed -e '/^\[JOYSTICK_2\]/,$ s/^MOTION  = PEDALS/X = 10000\nY = -10000/' examples/virtual-joysticks.ini >"$work/joysticks.ini"
pedals=$(awk '/^\[JOYSTICK_2\]/ { p = 1 } p && /^JOY_ID/ { print $3; exit }' examples/virtual-joysticks.ini)
setup() { # folder: the demo's set-up with the brakes on the pedals' toe brakes
  mkdir -p "$1"
  sed -e "s/^BRK_L_BTN_CNTL\t= .*/BRK_L_BTN_CNTL\t= $pedals/" -e "s/^BRK_R_BTN_CNTL\t= .*/BRK_R_BTN_CNTL\t= $pedals/" \
    examples/Joystick-virtual.ini >"$1/Joystick.ini"
  printf '[AXIS_BUTTONS]\nBRK_L_BTN_AXIS\t= 0 5000\nBRK_R_BTN_AXIS\t= 1 5000\n#\n' >>"$1/Joystick.ini"
}
capture() { # picture: the window titled "Version 1.6", frame and all, from the screen
  local deadline=$((SECONDS + 30))
  until xwininfo -name "Version 1.6" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "axis-buttons-screenshot: the window never appeared" >&2; return 1; }
    sleep 0.2
  done
  xdotool mousemove 0 "$(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[2] - 1 }')"
  sleep 4 # every frame is drawn
  local geometry
  geometry=$(xwininfo -name "Version 1.6" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%dx%d+%d+%d", w, h, x, y }')
  import -window root -crop "$geometry" +repage "$1"
  echo "$1"
}

if [ "${1:-}" != "--inside" ]; then
  AXIS_WORK=$work AXIS_NATIVE=$native AXIS_WINDOWS=$windows \
    xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bash "$0" --inside
  exit
fi
setup "$work/config/Orrelane/Shared"
runner=()
if unshare -m true 2>/dev/null; then
  # A private /home, so that the picture names no temporary folder.
  runner=(unshare -m bash -c 'mount -t tmpfs tmpfs /home && mkdir -p /home/pilot/.config &&
    cp -r "$0/Orrelane" /home/pilot/.config/ && XDG_CONFIG_HOME=/home/pilot/.config exec "$@"' "$work/config")
fi
XDG_CONFIG_HOME="$work/config" TAVELIN_SHM_NAME="TavelinAxisShot$$" TAVELIN_VIRTUAL_JOYSTICKS="$work/joysticks.ini" \
  QT_QPA_PLATFORM=xcb "${runner[@]}" "$AXIS_NATIVE/platform/qt/tavelin" >/dev/null 2>&1 &
program=$!
capture docs/axis-buttons.png || true
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true

if [ -x "$AXIS_WINDOWS/platform/win32ui/tavelin.exe" ]; then
  shared="$WINEPREFIX/drive_c/Program Files/Orrelane/Shared"
  mkdir -p "$shared"
  [ ! -f "$shared/Joystick.ini" ] || cp "$shared/Joystick.ini" "$work/kept.ini"
  setup "$shared"
  TAVELIN_SHM_NAME="TavelinAxisShot$$" TAVELIN_VIRTUAL_JOYSTICKS="Z:${work//\//\\}\\joysticks.ini" \
    wine "$AXIS_WINDOWS/platform/win32ui/tavelin.exe" >/dev/null 2>&1 &
  program=$!
  capture docs/windows-axis-buttons.png || true
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  wineserver -w || true
  if [ -f "$work/kept.ini" ]; then cp "$work/kept.ini" "$shared/Joystick.ini"; else rm -f "$shared/Joystick.ini"; fi
fi
