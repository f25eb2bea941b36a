#!/usr/bin/env bash
# Runs a command (a test run, a demo) inside one Wine session: a virtual display when none is set,
# a Wine virtual desktop on it, and one waiting Wine process started first. Stops everything it
# started afterwards.
#   wine-session.sh [--idle PATH/wine_idle.exe] COMMAND...
#
# Inside a virtual desktop Wine manages the windows itself: it draws their frames and title bars
# (as a person sees them), and hiding an active window costs no wait for a window manager that is
# not there (about 2 s each time on a bare X display).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"
source "$here/xvfb.sh"

idle_exe=""
if [ "${1:-}" = "--idle" ]; then idle_exe=$2; shift 2; fi

# Every Wine process of the prefix starts on the desktop that these values name, while they are set.
desktop_reg() {  # on|off
  local file
  file=$(mktemp --suffix=.reg)
  if [ "$1" = on ]; then
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Session"\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Session"="1024x768"\n' >"$file"
  else
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"=-\n' >"$file"
  fi
  "$here/wine-run.sh" regedit /s "Z:${file//\//\\}" >/dev/null 2>&1
  rm -f "$file"
}

xvfb_pid="" idle_pid="" desktop=0
stop() {
  [ -n "$idle_pid" ] && kill "$idle_pid" 2>/dev/null
  [ "$desktop" -eq 1 ] && desktop_reg off
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap stop EXIT

if [ -z "${DISPLAY:-}" ]; then start_xvfb || exit 1; fi
desktop_reg on && desktop=1

if [ -n "$idle_exe" ]; then
  ready=$(mktemp -u)
  "$here/wine-run.sh" "$idle_exe" "Z:${ready//\//\\}" >/dev/null 2>&1 &
  idle_pid=$!
  for _ in $(seq 1 600); do [ -e "$ready" ] && break; sleep 0.1; done
  [ -e "$ready" ] || echo "wine-session: the waiting Wine process did not come up; going on" >&2
  rm -f "$ready"
fi

"$@"
