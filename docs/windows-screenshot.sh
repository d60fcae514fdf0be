#!/usr/bin/env bash
# Takes docs/windows-main-window.png: the native Windows window (tavelin.exe
# under Wine) on a virtual X display, with the shipped virtual joysticks moving;
# and docs/windows-main-window-1366x768.png on a laptop's screen, where it scrolls.
# Usage: docs/windows-screenshot.sh [Windows build folder, default build/win]
set -eu
cd "$(dirname "$0")/.."
. scripts/common.sh
build=${1:-build/win}
cmake --build "$build" --target tavelin
if [ -z "${DISPLAY:-}" ]; then
  TAVELIN_PICTURE=docs/windows-main-window.png xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" bash "$0" "$@"
  TAVELIN_PICTURE=docs/windows-main-window-1366x768.png \
    exec xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" bash "$0" "$@"
fi
picture=${TAVELIN_PICTURE:-docs/windows-main-window.png}
shared="$WINEPREFIX/drive_c/Program Files/Orrelane/Shared"
mkdir -p "$shared"
[ -f "$shared/Joystick.ini" ] || cp examples/Joystick.ini "$shared/Joystick.ini"
TAVELIN_SHM_NAME="TavelinScreenshot$$" TAVELIN_VIRTUAL_JOYSTICKS="Z:${PWD//\//\\}\\examples\\virtual-joysticks.ini" \
  wine "$build/platform/win32ui/tavelin.exe" >/dev/null 2>&1 &
program=$!
trap 'kill $program 2>/dev/null' EXIT
deadline=$((SECONDS + 30))
until xwininfo -name "Version 1.6" >/dev/null 2>&1; do
  [ $SECONDS -lt $deadline ] || { echo "windows-screenshot: the window never appeared" >&2; exit 1; }
  sleep 0.2
done
sleep 2 # the sticks move a little and the first frames are drawn
import -window "$(xwininfo -name "Version 1.6" | awk '/Window id:/ { print $4 }')" "$picture"
echo "$picture"
