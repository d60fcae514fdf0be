#!/usr/bin/env bash
# Builds Tavelin and starts it. Until the window is in place this shows the
# simulator's block as another program sees it (simblock watch; Ctrl-C ends
# it and detaches). Extra arguments go to simblock, e.g. ./run.sh show.
set -eu
cd "$(dirname "$0")"
scripts/install-deps.sh
. scripts/common.sh
configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_targets native simblock
if [ $# -eq 0 ]; then
  set -- watch
fi
echo "Shared block \"${TAVELIN_SHM_NAME:-GenericSimSharedMemory}\" (Ctrl-C to stop):"
exec build/native/tools/simblock/simblock "$@"
