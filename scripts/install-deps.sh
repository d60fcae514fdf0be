#!/usr/bin/env bash
# Installs the Debian packages Tavelin needs to build, test and run.
# Idempotent: runs apt-get only when a package is missing.
set -eu

packages=(
  build-essential cmake ninja-build ccache pkg-config git python3
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  libevdev-dev libudev-dev
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  mingw-w64 g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xauth imagemagick fonts-dejavu-core
  nsis zip x11-utils
  twm xdotool # the CPU comparison's minimised window: a window manager and a way to minimise
  locales # localedef: the tests build a decimal-comma locale when the system has none
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
