#!/usr/bin/env bash
# Makes the Debian package of the normal native build with CPack:
# build/native/package/tavelin_<version>_amd64.deb (the version is the
# project's, as the Windows installer's). Builds build/native first when it
# is out of date, as ./test.sh builds it. The package's path is the last line.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh run package
. scripts/common.sh
mkdir -p build
if ! configure_and_build native -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/package-build.log 2>&1; then
  grep -E -A12 "error|FAILED" build/package-build.log | head -60
  echo "package-deb.sh: the build failed (log: build/package-build.log)" >&2
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
package=build/native/package/tavelin_${version}_$(dpkg --print-architecture).deb
rm -f "$package"
if ! (cd build/native && cpack -G DEB) >build/package-cpack.log 2>&1; then
  tail -30 build/package-cpack.log
  echo "package-deb.sh: cpack failed (log: build/package-cpack.log)" >&2
  exit 1
fi
[ -f "$package" ] || { echo "package-deb.sh: cpack made no $package" >&2; exit 1; }
echo "$PWD/$package"
