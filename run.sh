#!/usr/bin/env bash
# Builds Tavelin and starts it. Until the window is in place this shows the
# simulator's block as another program sees it (simblock watch).
set -eu
cd "$(dirname "$0")"
scripts/install-deps.sh
mkdir -p build
. scripts/common.sh
configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/native/tools/simblock/simblock watch
