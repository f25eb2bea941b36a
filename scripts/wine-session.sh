#!/usr/bin/env bash
# Runs a command (a test run, a demo) inside one Wine session: a virtual display when none is set,
# and one waiting Wine process started first. Stops everything it started afterwards.
#   wine-session.sh [--idle PATH/wine_idle.exe] COMMAND...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/env.sh"
source "$here/xvfb.sh"

idle_exe=""
if [ "${1:-}" = "--idle" ]; then idle_exe=$2; shift 2; fi

xvfb_pid="" idle_pid=""
stop() {
  [ -n "$idle_pid" ] && kill "$idle_pid" 2>/dev/null
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap stop EXIT

if [ -z "${DISPLAY:-}" ]; then start_xvfb || exit 1; fi

if [ -n "$idle_exe" ]; then
  ready=$(mktemp -u)
  "$here/wine-run.sh" "$idle_exe" "Z:${ready//\//\\}" >/dev/null 2>&1 &
  idle_pid=$!
  for _ in $(seq 1 600); do [ -e "$ready" ] && break; sleep 0.1; done
  [ -e "$ready" ] || echo "wine-session: the waiting Wine process did not come up; going on" >&2
  rm -f "$ready"
fi

"$@"
