#!/usr/bin/env bash
# The Wine bridge's latency: how long a native write takes to reach a Windows
# program under Wine (half a round trip through simblock.exe echo). Prints the
# figure; not pass/fail (only a run that cannot measure fails). Needs the
# native build's wine_bridge_test and the Windows build's simblock.exe
# (TAVELIN_WIN_BUILD_DIR, default build/win).
set -u
cd "$(dirname "$0")/../.."
. scripts/common.sh
program=build/native/tests/wine_bridge_test
exe=${TAVELIN_WIN_BUILD_DIR:-build/win}/tools/simblock/simblock.exe
if [ ! -x "$program" ] || [ ! -f "$exe" ] || ! command -v wine >/dev/null; then
  echo "wine-bridge-latency: skipped (no $program, no $exe or no Wine)"
  exit 0
fi
wineserver -p30 >/dev/null 2>&1
output=$(TAVELIN_WIN_SIMBLOCK="$PWD/$exe" "$program" --gtest_filter='*LatencyFromANativeWriteToAWindowsRead' 2>&1)
figure=$(grep '^wine-bridge latency' <<<"$output")
if [ -z "$figure" ]; then
  echo "wine-bridge-latency: no figure:"
  tail -20 <<<"$output"
  exit 1
fi
echo "$figure"
