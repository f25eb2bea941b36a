#!/usr/bin/env bash
# Runs one Windows program in the project's Wine prefix, with the Russian ANSI code page, Wine's
# diagnostics off and an X display (a virtual one, started and stopped here, when none is set).
# Every Wine command of the project goes through here, the CMake test emulator included.
#   wine-run.sh PROGRAM.exe ARGS...        wine-run.sh wineboot -i
# SETUP_WINE_LANG overrides the locale (C gives the ANSI code page 1252).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"
export LANG="${SETUP_WINE_LANG:-ru_RU.UTF-8}" LC_ALL="${SETUP_WINE_LANG:-ru_RU.UTF-8}"
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if wine_runs_32bit; then
  wine=(wine)
else
  export WINELOADER=/usr/lib/wine/wine64
  wine=(/usr/lib/wine/wine64)
fi

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
if [ -z "${DISPLAY:-}" ]; then
  source "$here/xvfb.sh"
  start_xvfb
  trap cleanup EXIT
fi

case "$1" in
  wineboot|winecfg|regedit|notepad) cmd=("${wine[@]}" "$@") ;;
  wineserver) cmd=("$@") ;;
  *) cmd=("${wine[@]}" "$@") ;;
esac
if [ -n "$xvfb_pid" ]; then
  "${cmd[@]}"   # not exec: the trap must stop the display afterwards
else
  exec "${cmd[@]}"
fi
