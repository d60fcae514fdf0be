#!/usr/bin/env bash
# Takes docs/windows-main-window.png: the native Windows window (tavelin.exe
# under Wine) on a virtual X display, with the shipped virtual joysticks moving;
# at 1920x1080, and docs/windows-main-window-1366x768.png on a laptop's screen;
# at 1920x1080 also docs/windows-response-curves-dialog.png, the Response
# Curves dialog over it with a POINTS curve on the pitch,
# and docs/windows-calibrate-dialog.png, the calibration dialog after a few
# seconds of the moving stick.
# Usage: docs/windows-screenshot.sh [Windows build folder, default build/win]
set -eu
cd "$(dirname "$0")/.."
. scripts/common.sh
build=${1:-build/win}
cmake --build "$build" --target tavelin post_command
if [ -z "${DISPLAY:-}" ]; then
  TAVELIN_PICTURE=docs/windows-main-window.png xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bash "$0" "$@"
  TAVELIN_PICTURE=docs/windows-main-window-1366x768.png \
    exec xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" bash "$0" "$@"
fi
picture=${TAVELIN_PICTURE:-docs/windows-main-window.png}
shared="$WINEPREFIX/drive_c/Program Files/Orrelane/Shared"
mkdir -p "$shared"
[ -f "$shared/Joystick.ini" ] || cp examples/Joystick.ini "$shared/Joystick.ini"
# The pictures' set-up: the shipped one with a curve on the pitch; the prefix's own file comes back afterwards.
kept=$(mktemp)
cp "$shared/Joystick.ini" "$kept"
{ cat examples/Joystick.ini; printf '[RESPONSE_CURVES]\nPITCH_CURVE\t= POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1\n#\n'; } \
  >"$shared/Joystick.ini"
TAVELIN_SHM_NAME="TavelinScreenshot$$" TAVELIN_VIRTUAL_JOYSTICKS="Z:${PWD//\//\\}\\examples\\virtual-joysticks.ini" \
  wine "$build/platform/win32ui/tavelin.exe" >/dev/null 2>&1 &
program=$!
trap 'kill $program 2>/dev/null || true; cp "$kept" "$shared/Joystick.ini"; rm -f "$kept"' EXIT
deadline=$((SECONDS + 30))
until xwininfo -name "Version 1.6" >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || { echo "windows-screenshot: the window never appeared" >&2; exit 1; }
  sleep 0.2
done
xdotool mousemove 0 "$(xdpyinfo | awk '/dimensions:/ { split($2, size, "x"); print size[2] - 1 }')" # no tooltip
sleep 4 # the sticks move a little and every frame is drawn
# From the screen, not the window: the whole window with its frame, as drawn.
geometry=$(xwininfo -name "Version 1.6" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
  /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%dx%d+%d+%d", w, h, x, y }')
import -window root -crop "$geometry" +repage "$picture"
echo "$picture"
if [ "$picture" = docs/windows-main-window.png ]; then
  wine "$build/tests/post_command.exe" "Version 1.6" 1108 # the Response Curves button
  deadline=$((SECONDS + 30))
  until xwininfo -name "Response Curves" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "windows-screenshot: the curves dialog never appeared" >&2; exit 1; }
    sleep 0.2
  done
  sleep 2 # the dot moves with the sticks
  geometry=$(xwininfo -name "Response Curves" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%dx%d+%d+%d", w, h, x, y }')
  import -window root -crop "$geometry" +repage docs/windows-response-curves-dialog.png
  echo docs/windows-response-curves-dialog.png
  wine "$build/tests/post_command.exe" "Response Curves" 2 # Cancel
  wine "$build/tests/post_command.exe" "Version 1.6" 1109 >/dev/null 2>&1 # the Calibrate button
  deadline=$((SECONDS + 20))
  until xwininfo -name "Calibrate joystick axes" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "windows-screenshot: the calibration dialog never appeared" >&2; exit 1; }
    sleep 0.2
  done
  sleep 4 # the stick sweeps through part of its travel meanwhile
  geometry=$(xwininfo -name "Calibrate joystick axes" | awk '/Absolute upper-left X:/ { x = $4 }
    /Absolute upper-left Y:/ { y = $4 } /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%dx%d+%d+%d", w, h, x, y }')
  import -window root -crop "$geometry" +repage docs/windows-calibrate-dialog.png
  echo docs/windows-calibrate-dialog.png
fi
# The next picture's screen is another one: the prefix's server must not keep this one's.
kill "$program" 2>/dev/null
wait "$program" 2>/dev/null || true
wineserver -w || true
