#!/usr/bin/env bash
# Runs a Windows test program under Wine with a private X server (Xvfb), so
# real windows open without touching the desktop of whoever runs the tests.
# The prefix gets the X11 driver's Managed=N once (otherwise every window
# hide waits for a window manager).
set -u
if [ -n "${WINEPREFIX:-}" ] && ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi
# TAVELIN_TEST_SCREEN gives the screen another size (a laptop's, for the
# window that must scroll).
exec xvfb-run -a -s "-screen 0 ${TAVELIN_TEST_SCREEN:-1600x1200x24} -nolisten tcp" "$@"
