#!/usr/bin/env bash
# The installer under Wine, silently, as the end-to-end test needs it:
#   setup-test.sh install SETUP.exe   installs (twice: the second run must keep
#                                     the configuration the first one placed
#                                     and the user then changed)
#   setup-test.sh uninstall           removes it silently; the configurations stay
# Exits non-zero with a reason on the first thing that is not as it should be.
set -u
: "${WINEPREFIX:?the Wine prefix to install into}"
drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Orrelane/Tavelin"
shared="$drive_c/Program Files/Orrelane/Shared"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavelin"
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)

fail() {
  echo "setup-test: $*" >&2
  exit 1
}

# Polls (the uninstaller runs on from a copy of itself after `wine` returns).
wait_until() { # seconds, test...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

case "${1:-}" in
install)
  setup=${2:?the setup program}
  saved=""
  if [ -f "$shared/Joystick.ini" ]; then
    saved=$(mktemp)
    cp "$shared/Joystick.ini" "$saved"
    rm -f "$shared/Joystick.ini"
  fi
  wine "$setup" /S || fail "the silent install failed"
  for file in tavelin.exe simblock.exe Uninstall.exe virtual-joysticks.ini; do
    [ -f "$program/$file" ] || fail "$file was not installed"
  done
  [ -f "$menu/Tavelin.lnk" ] || fail "no Start-menu entry"
  cmp -s "$shared/Joystick.ini" "$source_dir/examples/Joystick.ini" \
    || fail "the default Joystick.ini was not put in place"
  # Installing again keeps the configuration that is there.
  echo "# changed by its user" >>"$shared/Joystick.ini"
  wine "$setup" /S || fail "the second silent install failed"
  grep -q "changed by its user" "$shared/Joystick.ini" || fail "a second install replaced the user's Joystick.ini"
  if [ -n "$saved" ]; then
    cp "$saved" "$shared/Joystick.ini"
    rm -f "$saved"
  fi
  echo "setup-test: installed in $program"
  ;;
uninstall)
  [ -f "$program/Uninstall.exe" ] || fail "nothing installed to uninstall"
  wine "$program/Uninstall.exe" /S || fail "the silent uninstall failed"
  wait_until 60 test ! -e "$program/tavelin.exe" || fail "tavelin.exe is still there"
  wait_until 30 test ! -e "$program/Uninstall.exe" || fail "the uninstaller is still there"
  wait_until 10 test ! -e "$menu/Tavelin.lnk" || fail "the Start-menu entry is still there"
  [ -f "$shared/Joystick.ini" ] || fail "the uninstall took the user's configuration"
  echo "setup-test: uninstalled"
  ;;
*)
  echo "usage: setup-test.sh install SETUP.exe | uninstall" >&2
  exit 64
  ;;
esac
