#!/usr/bin/env bash
# Runs the dtpack program itself: exit codes, help, and a pack-list-verify-unpack round.
set -u
dtpack=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect CODE DESCRIPTION -- COMMAND...
  local want=$1 what=$2; shift 3
  "$@" >"$work/out" 2>&1
  local got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAIL: $what: exit $got, expected $want"; sed 's/^/  /' "$work/out"; failures=$((failures + 1))
  fi
}
mkdir -p "$work/product/Maps"
printf 'dictionary' >"$work/product/Maps/GeoDict.DCT"
printf 'x' >"$work/product/a.txt"
: >"$work/empty.txt"

expect 0 "help" -- "$dtpack" --help
expect 2 "no command" -- "$dtpack"
expect 2 "unknown command" -- "$dtpack" frobnicate
expect 2 "missing argument" -- "$dtpack" list
expect 0 "pack" -- "$dtpack" pack "$work/p.dt" "%InstallDir%=$work/product"
expect 0 "list" -- "$dtpack" list "$work/p.dt"
grep -q 'Maps\\GeoDict.DCT' "$work/out" || { echo "FAIL: list output"; failures=$((failures + 1)); }
expect 0 "verify" -- "$dtpack" verify "$work/p.dt"
expect 0 "unpack" -- "$dtpack" unpack "$work/p.dt" "$work/unpacked"
cmp -s "$work/unpacked/InstallDir/Maps/GeoDict.DCT" "$work/product/Maps/GeoDict.DCT" ||
  { echo "FAIL: unpacked content"; failures=$((failures + 1)); }
expect 1 "empty file refused" -- "$dtpack" pack "$work/q.dt" "%InstallDir%\\e.txt=$work/empty.txt"
[ ! -e "$work/q.dt" ] || { echo "FAIL: a refused pack left a file"; failures=$((failures + 1)); }
expect 1 "missing archive" -- "$dtpack" list "$work/none.dt"
printf '\x01' >"$work/bad.dt"
expect 1 "verify a broken archive" -- "$dtpack" verify "$work/bad.dt"

expect 2 "bundle without --setup" -- "$dtpack" bundle -o "$work/one.exe"
expect 1 "bundle of a stub that is no program" -- "$dtpack" bundle --setup "$work/p.dt" -o "$work/one.exe"
[ ! -e "$work/one.exe" ] || { echo "FAIL: a refused bundle left a file"; failures=$((failures + 1)); }

echo "dtpack cli: $failures failed"
[ "$failures" -eq 0 ]
