#!/usr/bin/env bash
# Takes the pictures of docs/ on a virtual X display: the main window with the
# shipped virtual joysticks moving, then each set-up dialog over it.
# Usage: docs/screenshots.sh [build folder, default build/native]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/native}
cmake --build "$build" --target qt_screenshots
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config/Orrelane/Shared"
cp examples/Joystick.ini "$work/home/.config/Orrelane/Shared/Joystick.ini"
XDG_CONFIG_HOME="$work/home/.config" TAVELIN_SHM_NAME="TavelinScreenshots$$" \
  TAVELIN_VIRTUAL_JOYSTICKS="$PWD/examples/virtual-joysticks.ini" \
  xvfb-run -a -s "-screen 0 1600x1000x24" "$build/tests/qt_screenshots" docs
