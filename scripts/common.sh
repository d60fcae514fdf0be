# Shared by run.sh and test.sh: build folders and the build steps.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_DIR="${CCACHE_DIR:-$top/build/ccache}"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Configures build/<folder> with the given CMake options. The options a folder
# was configured with are kept in it; when they differ (an option added,
# removed or changed, another toolchain) the folder is configured afresh, so
# no stale cache entry survives. Otherwise CMake reconfigures by itself when a
# CMakeLists.txt changes.
configure() { # folder, cmake options...
  local folder=$1
  shift
  local build="$top/build/$folder"
  local stamp="$build/tavelin-configure-options" options
  options=$(printf '%s\n' "$@")
  mkdir -p "$top/build"
  if [ -f "$build/build.ninja" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$options" ]; then
    return 0
  fi
  local fresh=()
  if [ -f "$build/CMakeCache.txt" ]; then
    fresh=(--fresh)
  fi
  rm -f "$stamp"
  cmake "${fresh[@]}" -S "$top" -B "$build" -G Ninja "$@" >"$top/build/$folder.configure.log" 2>&1 \
    || { cat "$top/build/$folder.configure.log"; return 1; }
  printf '%s\n' "$options" >"$stamp"
}

configure_and_build() { # folder, cmake options...
  configure "$@" || return 1
  cmake --build "$top/build/$1" -j "$(nproc)"
}

# Builds only the named targets of an already configured folder.
build_targets() { # folder, targets...
  local folder=$1
  shift
  cmake --build "$top/build/$folder" -j "$(nproc)" --target "$@"
}
