#!/usr/bin/env bash
# The installer under Wine, silently, as a user of "Apps and features" meets it:
#   setup-test.sh install SETUP.exe OLDER.exe VERSION
#       installs OLDER.exe (an older version of the same programs with a file
#       of its own, ReadMe-0.9.txt, that the current one no longer has), changes the
#       configuration it placed, installs SETUP.exe over it (which must keep
#       the configurations, replace the programs and leave one registration
#       of VERSION with its name, publisher, size, icon and uninstallers), and
#       installs SETUP.exe once more
#   setup-test.sh uninstall
#       removes it silently with the registered quiet uninstaller: every file
#       it installed, its Start-menu entries and its registration go, and
#       nothing else (the configurations, a file of the user's in the program
#       folder); the prefix's program and menu folders are then as they were
#       before the first install
# Exits non-zero with a reason on the first thing that is not as it should be.
set -u
: "${WINEPREFIX:?the Wine prefix to install into}"
drive_c="$WINEPREFIX/drive_c"
program="$drive_c/Program Files/Orrelane/Tavelin"
shared="$drive_c/Program Files/Orrelane/Shared"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavelin"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin'
before="$WINEPREFIX/tavelin-setup-test.before"
source_dir=$(cd "$(dirname "$0")/../../.." && pwd)
installed_files=(tavelin.exe simblock.exe Uninstall.exe virtual-joysticks.ini Joystick-virtual.ini Joystick.ini.default)

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

# One value of the registration, as Windows programs read it ("" when there is none).
value() { # name
  wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' \
    | awk -v name="$1" '$1 == name { sub("^[ \t]*" name "[ \t]+REG_[A-Z_]+[ \t]+", ""); print; exit }'
}

# What the programs and menu folders of the prefix hold, leaving out the
# shared configuration folder, which the install makes and then leaves to its
# users (the Windows tests use it too), and the maker's folder that holds it.
listing() {
  (cd "$drive_c" && find "Program Files" "ProgramData/Microsoft/Windows/Start Menu" \
    -path "Program Files/Orrelane/Shared" -prune -o ! -path "Program Files/Orrelane" -print 2>/dev/null | sort)
}

# The registration a well-behaved entry of "Apps and features" has.
check_registration() { # version
  [ "$(value DisplayName)" = Tavelin ] || fail "DisplayName is \"$(value DisplayName)\""
  [ "$(value DisplayVersion)" = "$1" ] || fail "DisplayVersion is \"$(value DisplayVersion)\", not $1"
  [ "$(value Publisher)" = Orrelane ] || fail "Publisher is \"$(value Publisher)\""
  local windows_program='C:\Program Files\Orrelane\Tavelin'
  [ "$(value DisplayIcon)" = "$windows_program\\tavelin.exe" ] || fail "DisplayIcon is \"$(value DisplayIcon)\""
  [ "$(value InstallLocation)" = "$windows_program" ] || fail "InstallLocation is \"$(value InstallLocation)\""
  [ "$(value UninstallString)" = "\"$windows_program\\Uninstall.exe\"" ] \
    || fail "UninstallString is \"$(value UninstallString)\""
  [ "$(value QuietUninstallString)" = "\"$windows_program\\Uninstall.exe\" /S" ] \
    || fail "QuietUninstallString is \"$(value QuietUninstallString)\""
  local size kib
  size=$(value EstimatedSize)
  kib=$(find "$program" -type f -printf '%s\n' | awk '{ bytes += $1 } END { print int(bytes / 1024) }')
  [[ "$size" == 0x* ]] || fail "EstimatedSize is \"$size\""
  # In KiB, what the program folder holds (give or take each file's rounding).
  [ $((size)) -ge $((kib - 8)) ] && [ $((size)) -le $((kib + 8)) ] \
    || fail "EstimatedSize is $((size)) KiB, the program folder holds $kib KiB"
  local others
  others=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' \
    | grep -ci 'Uninstall\\Tavelin')
  [ "$others" -eq 1 ] || fail "$others registrations of Tavelin instead of one"
}

case "${1:-}" in
install)
  setup=${2:?the setup program}
  older=${3:?the setup program of an older version}
  version=${4:?the version of the setup program}
  # A registration a failed run left behind is removed by the setup itself;
  # a prefix without one is the state the uninstall must restore.
  if [ -z "$(value DisplayName)" ]; then
    listing >"$before"
  fi
  saved=""
  if [ -f "$shared/Joystick.ini" ]; then
    saved=$(mktemp)
    cp "$shared/Joystick.ini" "$saved"
    rm -f "$shared/Joystick.ini"
  fi
  wine "$older" /S || fail "the silent install of the older version failed"
  check_registration 0.9
  [ -f "$program/ReadMe-0.9.txt" ] || fail "the older version did not install its own ReadMe-0.9.txt"
  cmp -s "$shared/Joystick.ini" "$source_dir/examples/Joystick.ini" \
    || fail "the default Joystick.ini was not put in place"
  echo "# changed by its user" >>"$shared/Joystick.ini"
  echo "# an alternate of the user's" >"$shared/Joystick2.ini"

  # Over the older version: the new programs, one registration, the same configurations.
  wine "$setup" /S || fail "the silent install over the older version failed"
  check_registration "$version"
  for file in "${installed_files[@]}"; do
    [ -f "$program/$file" ] || fail "$file was not installed"
  done
  [ ! -e "$program/ReadMe-0.9.txt" ] || fail "the older version's ReadMe-0.9.txt outlived the upgrade"
  [ -f "$menu/Tavelin.lnk" ] && [ -f "$menu/Uninstall Tavelin.lnk" ] || fail "the Start-menu entries are missing"
  grep -q "changed by its user" "$shared/Joystick.ini" || fail "the upgrade replaced the user's Joystick.ini"
  [ -f "$shared/Joystick2.ini" ] || fail "the upgrade took the user's Joystick2.ini"
  answer=$(wine "$program/tavelin.exe" --version 2>/dev/null | tr -d '\r')
  [ "$answer" = "tavelin $version" ] || fail "the installed tavelin.exe --version says \"$answer\""
  answer=$(wine "$program/simblock.exe" --version 2>/dev/null | tr -d '\r')
  [ "$answer" = "simblock $version" ] || fail "the installed simblock.exe --version says \"$answer\""

  # Installing the same version again keeps the configurations too.
  wine "$setup" /S || fail "the second silent install failed"
  check_registration "$version"
  grep -q "changed by its user" "$shared/Joystick.ini" || fail "a second install replaced the user's Joystick.ini"
  rm -f "$shared/Joystick2.ini"
  if [ -n "$saved" ]; then
    cp "$saved" "$shared/Joystick.ini"
    rm -f "$saved"
  fi
  echo "setup-test: $version installed over 0.9 in $program"
  ;;
uninstall)
  [ -f "$program/Uninstall.exe" ] || fail "nothing installed to uninstall"
  quiet=$(value QuietUninstallString)
  [ -n "$quiet" ] || fail "no QuietUninstallString to uninstall with"
  echo "notes of the user's" >"$program/notes.txt"
  # As "Apps and features" runs it: the registered command line, split as Windows splits it.
  [[ "$quiet" =~ ^\"([^\"]+)\"\ (.*)$ ]] || fail "QuietUninstallString is no quoted program and its arguments"
  wine "${BASH_REMATCH[1]}" ${BASH_REMATCH[2]} || fail "the silent uninstall failed"
  for file in "${installed_files[@]}"; do
    wait_until 60 test ! -e "$program/$file" || fail "$file is still there"
  done
  wait_until 10 test ! -e "$menu" || fail "the Start-menu folder is still there"
  [ -z "$(value DisplayName)" ] || fail "the registration is still there"
  [ -f "$program/notes.txt" ] || fail "the uninstall took a file it did not install"
  [ -f "$shared/Joystick.ini" ] || fail "the uninstall took the user's configuration"
  rm -f "$program/notes.txt"
  rmdir "$program" || fail "the program folder holds more than the file of the user's"
  if [ -f "$before" ]; then
    if ! listing | diff -u "$before" - >&2; then
      fail "the prefix's program and menu folders are not as they were before the install"
    fi
    rm -f "$before"
  fi
  echo "setup-test: uninstalled"
  ;;
*)
  echo "usage: setup-test.sh install SETUP.exe OLDER.exe VERSION | uninstall" >&2
  exit 64
  ;;
esac
