#!/usr/bin/env bash
# The Debian package, as a user of Debian 12 meets it: made by
# scripts/package-deb.sh from build/native; its files and control fields;
# lintian (no error), appstreamcli validate --no-net, desktop-file-validate and
# man --warnings on what it holds; then installed with apt-get
# --no-install-recommends into a throwaway Debian 12 root (made once by
# mmdebstrap in build/deb-root and kept for later runs), where tavelin
# --version, simblock --version and a first start of tavelin offscreen with
# the shipped virtual joysticks run as a normal user, and purged again, after
# which the root must hold exactly what it held before. Without root, or
# without mmdebstrap, the install is replaced by dpkg --dry-run and says so.
set -u
cd "$(dirname "$0")/../.."
top=$PWD
failures=0
started=$SECONDS

fail() {
  echo "package: FAILED: $*"
  failures=$((failures + 1))
}

if ! package=$(scripts/package-deb.sh | tail -1) || [ ! -f "$package" ]; then
  echo "package: FAILED (the package was not made)"
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/native/CMakeCache.txt)
arch=$(dpkg --print-architecture)
[ "$(basename "$package")" = "tavelin_${version}_${arch}.deb" ] || fail "the package is called $(basename "$package")"
echo "package: $package ($(stat -c %s "$package") bytes)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- what it holds
dpkg-deb -c "$package" | awk '{ print $6 }' | sed 's|^\./|/|' | grep -v '/$' | LC_ALL=C sort >"$work/files"
echo "package: its files:"
sed 's/^/  /' "$work/files"
cat >"$work/expected" <<EOF
/usr/bin/simblock
/usr/bin/tavelin
/usr/lib/udev/rules.d/69-tavelin-joysticks.rules
/usr/share/applications/com.orrelane.Tavelin.desktop
/usr/share/doc/tavelin/changelog.gz
/usr/share/doc/tavelin/copyright
/usr/share/icons/hicolor/256x256/apps/com.orrelane.Tavelin.png
/usr/share/icons/hicolor/32x32/apps/com.orrelane.Tavelin.png
/usr/share/icons/hicolor/64x64/apps/com.orrelane.Tavelin.png
/usr/share/icons/hicolor/scalable/apps/com.orrelane.Tavelin.svg
/usr/share/man/man1/simblock.1.gz
/usr/share/man/man1/tavelin.1.gz
/usr/share/metainfo/com.orrelane.Tavelin.metainfo.xml
/usr/share/tavelin/Joystick-virtual.ini
/usr/share/tavelin/Joystick.ini
/usr/share/tavelin/virtual-joysticks.ini
EOF
if ! diff -u "$work/expected" "$work/files" >"$work/files.diff"; then
  fail "the package's files are not the expected ones:"
  sed 's/^/  /' "$work/files.diff"
fi
mkdir "$work/tree"
dpkg-deb -x "$package" "$work/tree"
for program in tavelin simblock; do
  file "$work/tree/usr/bin/$program" | grep -q "stripped" && ! file "$work/tree/usr/bin/$program" | grep -q "not stripped" \
    || fail "/usr/bin/$program is not stripped"
done

# --- its control fields: dependencies from dpkg-shlibdeps, not by hand
field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Package)" = tavelin ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), the project is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
for needed in "libqt6widgets6 (>=" "libevdev2 (>=" "libudev1 (>=" "libc6 (>=" qt6-qpa-plugins; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
for recommended in wine evemu-tools; do
  [[ ", $(field Recommends)," == *", $recommended,"* ]] || fail "Recommends lacks $recommended: $(field Recommends)"
done
echo "package: Depends: $depends"
echo "package: Recommends: $(field Recommends); Suggests: $(field Suggests)"

# --- the same version everywhere
metainfo="$work/tree/usr/share/metainfo/com.orrelane.Tavelin.metainfo.xml"
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the newest release of the metainfo is $release, the project is $version"
changelog=$(zcat "$work/tree/usr/share/doc/tavelin/changelog.gz" | head -1 | sed -n 's/^tavelin (\([^)]*\)).*/\1/p')
[ "$changelog" = "$version" ] || fail "the changelog's newest entry is $changelog, the project is $version"

# --- the validators
lintian_options=(--display-level '>=warning')
[ "$(id -u)" -eq 0 ] && lintian_options+=(--allow-root)
lintian "${lintian_options[@]}" "$package" >"$work/lintian" 2>&1
echo "package: lintian says (warnings and errors):"
if [ -s "$work/lintian" ]; then sed 's/^/  /' "$work/lintian"; else echo "  nothing"; fi
grep -q '^E: ' "$work/lintian" && fail "lintian reports errors"
if appstreamcli validate --no-net "$metainfo" >"$work/appstream" 2>&1; then
  echo "package: appstreamcli validate --no-net: $(tail -1 "$work/appstream")"
else
  sed 's/^/  /' "$work/appstream"
  fail "appstreamcli validate --no-net"
fi
desktop="$work/tree/usr/share/applications/com.orrelane.Tavelin.desktop"
if desktop-file-validate "$desktop" >"$work/desktop" 2>&1 && [ ! -s "$work/desktop" ]; then
  echo "package: desktop-file-validate: clean"
else
  sed 's/^/  /' "$work/desktop"
  fail "desktop-file-validate"
fi
grep -qx "Icon=com.orrelane.Tavelin" "$desktop" || fail "the desktop entry's icon is not the installed one"
for page in tavelin simblock; do
  if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/tree/usr/share/man/man1/$page.1.gz" 2>"$work/man" >/dev/null \
    || [ -s "$work/man" ]; then
    sed 's/^/  /' "$work/man"
    fail "man --warnings $page(1)"
  fi
done

# --- installed into a throwaway Debian 12 root, used, and removed
root=$top/build/deb-root
stamp=$top/build/deb-root.ready
mirror=http://deb.debian.org/debian
# The root holds what the package depends on, so that installing it needs no network.
includes=$(echo "$depends" | tr ',' '\n' | sed 's/(.*)//; s/|.*//; s/ //g' | grep . | sort -u | paste -sd, -)

install_test() {
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$includes" ]; then
    echo "package: making the Debian 12 root $root (once; it is kept for later runs)"
    local made=$SECONDS
    rm -rf "$root" "$root.new" "$stamp"
    if ! mmdebstrap --variant=apt --include="$includes" \
      --customize-hook='chroot "$1" useradd --create-home --shell /bin/bash pilot' \
      --customize-hook='mkdir -p "$1/dev/shm"' \
      bookworm "$root.new" "$mirror" >"$top/build/deb-root.log" 2>&1; then
      tail -20 "$top/build/deb-root.log"
      fail "mmdebstrap could not make the root (log: build/deb-root.log)"
      rm -rf "$root.new"
      return
    fi
    mv "$root.new" "$root"
    echo "$includes" >"$stamp"
    echo "package: the root took $((SECONDS - made)) s ($(du -sh "$root" | cut -f1))"
  fi
  local chroot_started=$SECONDS
  # What the root holds, leaving out what the package manager keeps about itself.
  snapshot() {
    (cd "$root" && find . -xdev \( -path ./proc -o -path ./dev -o -path ./sys -o -path ./run -o -path ./tmp \
      -o -path ./var/cache -o -path ./var/lib/apt -o -path ./var/lib/dpkg -o -path ./var/log -o -path ./home \) -prune \
      -o -printf '%p %M %u %s\n' | sort)
  }
  snapshot >"$work/before"
  cp "$package" "$root/tmp/"
  # A mount namespace of its own: /proc and /dev/shm inside the root vanish with it.
  unshare --mount --fork -- bash -s "$root" "$(basename "$package")" "$version" >"$work/chroot.log" 2>&1 <<'INSIDE'
set -u
root=$1 deb=$2 version=$3
mount --make-rprivate / && mount -t proc proc "$root/proc" && mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm" || exit 10
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
as_pilot() { chroot --userspec=pilot:pilot "$root" env -i PATH=/usr/bin:/bin HOME=/home/pilot LC_ALL=C.UTF-8 "$@"; }
echo "--- apt-get install --no-install-recommends ./$deb"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "/tmp/$deb" || exit 11
echo "--- versions"
[ "$(as_pilot tavelin --version)" = "tavelin $version" ] || { as_pilot tavelin --version; exit 12; }
[ "$(as_pilot simblock --version)" = "simblock $version" ] || { as_pilot simblock --version; exit 13; }
echo "--- a first start offscreen as pilot"
shared=$root/home/pilot/.config/Orrelane/Shared
rm -rf "$root/home/pilot/.config"
# Started directly (chroot and env exec into tavelin), so that $! is the program itself.
chroot --userspec=pilot:pilot "$root" env -i PATH=/usr/bin:/bin HOME=/home/pilot LC_ALL=C.UTF-8 \
  QT_QPA_PLATFORM=offscreen TAVELIN_VIRTUAL_JOYSTICKS=/usr/share/tavelin/virtual-joysticks.ini \
  tavelin >"$root/tmp/tavelin.log" 2>&1 &
program=$!
deadline=$((SECONDS + 20))
until [ -f "$shared/Joystick.ini" ] && [ -e "$root/dev/shm/GenericSimSharedMemory" ]; do
  kill -0 $program 2>/dev/null || { cat "$root/tmp/tavelin.log"; exit 14; }
  [ $SECONDS -ge $deadline ] && { cat "$root/tmp/tavelin.log"; kill -KILL $program; exit 15; }
  sleep 0.2
done
# Published: the sweeping sticks move the outputs from one sample to the next.
as_pilot simblock --open-only watch --hz 5 --count 6 >"$root/tmp/watch" 2>&1 || { cat "$root/tmp/watch"; exit 16; }
cat "$root/tmp/watch"
[ "$(tail -n +2 "$root/tmp/watch" | sort -u | wc -l)" -ge 2 ] || exit 17
grep -q "NAME = DEFAULT_JOYSTICK_SETUP" "$shared/Joystick.ini" || exit 18
kill -TERM $program
wait $program
status=$?
cat "$root/tmp/tavelin.log"
[ $status -eq 0 ] || { echo "tavelin ended with $status after SIGTERM"; exit 19; }
[ ! -e "$root/dev/shm/GenericSimSharedMemory" ] || { echo "the block outlived its last user"; exit 20; }
grep -q "No Joystick.ini was found" "$root/tmp/tavelin.log" || exit 21
echo "--- apt-get purge tavelin"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y tavelin || exit 22
in_root dpkg-query -W -f='${Status}\n' tavelin 2>/dev/null | grep -q installed && exit 23
rm -rf "$root/home/pilot/.config" "$root/tmp/$deb" "$root/tmp/tavelin.log" "$root/tmp/watch"
exit 0
INSIDE
  local status=$?
  local reasons=([10]="the root's /proc or /dev/shm could not be mounted" [11]="apt-get install failed"
    [12]="tavelin --version" [13]="simblock --version" [14]="tavelin ended at its first start"
    [15]="tavelin wrote no Joystick.ini or made no block within 20 s" [16]="simblock watch failed"
    [17]="the outputs did not move" [18]="the first start's Joystick.ini is not the default set-up"
    [19]="tavelin did not end cleanly on SIGTERM" [20]="the block outlived the program"
    [21]="the first start said nothing of the missing Joystick.ini" [22]="apt-get purge failed"
    [23]="the package is still installed after the purge")
  if [ $status -ne 0 ]; then
    sed 's/^/  /' "$work/chroot.log" | tail -40
    fail "in the Debian 12 root: ${reasons[$status]:-exit $status}"
    rm -f "$root/tmp/$(basename "$package")"
    return
  fi
  grep -E "^(Setting up|Removing|Purging) tavelin|^--- |^tavelin|^ *[-0-9.]+ " "$work/chroot.log" | head -20 | sed 's/^/  /'
  snapshot >"$work/after"
  if ! diff -u "$work/before" "$work/after" >"$work/root.diff"; then
    sed 's/^/  /' "$work/root.diff" | head -40
    fail "the purge left the root other than it was"
  else
    echo "package: installed, run and purged in the Debian 12 root in $((SECONDS - chroot_started)) s; nothing left behind"
  fi
}

skip_reason=
if [ "$(id -u)" -ne 0 ]; then
  skip_reason="this is not root (mmdebstrap's root mode and chroot need it)"
elif ! command -v mmdebstrap >/dev/null || ! command -v unshare >/dev/null; then
  skip_reason="mmdebstrap or unshare is missing (scripts/install-deps.sh run test installs them)"
elif ! unshare --mount --fork true 2>/dev/null; then
  skip_reason="no mount namespace can be made here"
fi
if [ -z "$skip_reason" ]; then
  install_test
else
  echo "package: SKIPPED the install into a Debian 12 root: $skip_reason; dpkg --dry-run instead"
  dpkg --dry-run -i "$package" >"$work/dry-run" 2>&1 || fail "dpkg --dry-run -i"
  sed 's/^/  /' "$work/dry-run" | tail -5
fi

if [ $failures -gt 0 ]; then
  echo "package: FAILED ($failures problems, $((SECONDS - started)) s)"
  exit 1
fi
echo "package: all checks passed in $((SECONDS - started)) s"
