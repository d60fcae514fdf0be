#!/usr/bin/env bash
# Installs the Debian packages Tavelin needs. Idempotent: runs apt-get only
# when a package is missing.
#   scripts/install-deps.sh run        what building and running the program needs (run.sh)
#   scripts/install-deps.sh run package   that and what the Debian package needs
#   scripts/install-deps.sh run test   that and what the tests need: GoogleTest, the
#                                      Windows cross build and Wine, Xvfb, the
#                                      package's tools and checks, ... (test.sh)
# Without root and without sudo it names the missing packages and stops.
set -eu

run_packages=(
  build-essential cmake ninja-build pkg-config
  libevdev-dev libudev-dev
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev fonts-dejavu-core
  cyclonedds-dev cyclonedds-tools # the network link: the library (with the DDS Security plugins) and idlc
  libssl-dev # simblock net-keys makes and checks the link's keys with OpenSSL
)
# Making the Debian package (scripts/package-deb.sh): the manual pages'
# scdoc, dpkg-shlibdeps for the package's dependencies.
package_packages=(scdoc dpkg-dev)
test_packages=(
  "${package_packages[@]}"
  lintian appstream desktop-file-utils # the package's checks
  mmdebstrap                           # a throwaway Debian root to install the package into
  ccache git python3
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  mingw-w64 g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xauth imagemagick
  nsis zip x11-utils
  twm xdotool # the CPU comparison's minimised window: a window manager and a way to minimise
  locales # localedef: the tests build a decimal-comma locale when the system has none
  iproute2 # ip netns: the network link's tests make their own namespaces
)

sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(run test)
packages=()
for set in "${sets[@]}"; do
  case "$set" in
    run) packages+=("${run_packages[@]}") ;;
    package) packages+=("${package_packages[@]}") ;;
    test) packages+=("${test_packages[@]}") ;;
    *)
      echo "install-deps.sh: unknown set \"$set\" (run, package, test)" >&2
      exit 2
      ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them as root (this account has no sudo), then run this again:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
echo "Installing missing packages: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
