#!/usr/bin/env bash
# Takes the pictures of docs/ on a virtual X display: the main window with the
# shipped virtual joysticks moving, a row waiting for its control to move, then
# each set-up dialog over it; on a 1920x1080 screen, on a 1366x768 laptop
# screen (names ending -1366x768) and with the desktop font twice as large
# (-large-font). The configuration lives in /home/pilot of a private mount
# namespace where one can be had, so that no temporary folder shows.
# Usage: docs/screenshots.sh [build folder, default build/native]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/native}
if [ -z "${TAVELIN_SCREENSHOT_HOME:-}" ]; then
  cmake --build "$build" --target qt_screenshots
  if unshare -m true 2>/dev/null; then
    exec unshare -m bash -c 'mount -t tmpfs tmpfs /home && mkdir -p /home/pilot &&
      TAVELIN_SCREENSHOT_HOME=/home/pilot exec bash "$0" "$@"' "$0" "$@"
  fi
  echo "screenshots: no private /home here; the pictures show a temporary folder" >&2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home=${TAVELIN_SCREENSHOT_HOME:-$work/home}
mkdir -p "$home/.config/Orrelane/Shared"
cp examples/Joystick.ini "$home/.config/Orrelane/Shared/Joystick.ini"
shoot() { # screen, suffix, font scale
  cp examples/virtual-joysticks.ini "$work/joysticks.ini" # moving again
  XDG_CONFIG_HOME="$home/.config" TAVELIN_SHM_NAME="TavelinScreenshots$$" TAVELIN_VIRTUAL_JOYSTICKS="$work/joysticks.ini" \
    xvfb-run -a -s "-screen 0 $1x24" "$build/tests/qt_screenshots" docs "$2" "$3"
}
shoot 1920x1080 "" 1
shoot 1366x768 -1366x768 1
shoot 1920x1080 -large-font 2
