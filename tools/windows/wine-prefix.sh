#!/usr/bin/env bash
# Prepares the Wine prefix named by WINEPREFIX for the Windows build's tests, once:
# a new prefix (about 12 s), then Wine's virtual desktop at 1920 x 1080, in which
# the display lists many modes and a full-screen switch to one of them works
# (plain Xvfb offers only its own size). Run it on the display the tests use.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the prefix folder}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No offers to install Mono or Gecko: the show needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/.zur-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1920x1080 /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.zur-ready"
fi
