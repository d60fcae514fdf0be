# Shared by run.sh and test.sh: build folders and the build steps.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_DIR="${CCACHE_DIR:-$top/build/ccache}"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Configures build/<folder> once; later builds reconfigure by themselves when needed.
configure() { # folder, cmake options...
  local folder=$1
  shift
  mkdir -p "$top/build"
  if [ ! -f "$top/build/$folder/build.ninja" ]; then
    cmake -S "$top" -B "$top/build/$folder" -G Ninja "$@" >"$top/build/$folder.configure.log" 2>&1 \
      || { cat "$top/build/$folder.configure.log"; return 1; }
  fi
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
