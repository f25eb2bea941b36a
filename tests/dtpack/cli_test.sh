#!/usr/bin/env bash
# Runs the dtpack program itself: exit codes, help, a pack-list-verify-unpack round, and unpack
# refusing archives that would write outside its folder.
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
fail() { echo "FAIL: $*"; sed 's/^/  /' "$work/out"; failures=$((failures + 1)); }
le32() {  # le32 N: four bytes, little-endian
  local n=$1 byte i
  for i in 0 8 16 24; do printf -v byte '%02x' $(((n >> i) & 255)); printf "\\x$byte"; done
}
archive() {  # archive OUT NAME CONTENT [NAME CONTENT]...: the bytes of an archive, no rule checked
  local out=$1 at=4 i; shift
  local -a names=() contents=()
  while [ $# -gt 0 ]; do
    names+=("$1"); contents+=("$2"); at=$((at + 4 + ${#1} + 1 + 4)); shift 2
  done
  {
    le32 ${#names[@]}
    for i in "${!names[@]}"; do
      le32 0; printf '%s\0' "${names[$i]}"; le32 $at; at=$((at + 4 + ${#contents[$i]}))
    done
    for i in "${!contents[@]}"; do le32 ${#contents[$i]}; printf '%s' "${contents[$i]}"; done
  } >"$out"
}
export LC_ALL=C  # ${#name} counts bytes
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

# unpack writes only below its folder: every entry is checked before anything is written.
archive "$work/absolute.dt" '%InstallDir%\fine.txt' fine "%InstallDir%\\$work/escaped" escaped
expect 0 "list an archive with an absolute name" -- "$dtpack" list "$work/absolute.dt"
expect 1 "unpack an absolute name" -- "$dtpack" unpack "$work/absolute.dt" "$work/abs"
[ ! -e "$work/escaped" ] || fail "unpack wrote outside its folder"
[ ! -e "$work/abs" ] || fail "a refused unpack made its folder"
grep -qF "entry 2 (%InstallDir%\\$work/escaped): holds a slash" "$work/out" ||
  fail "the refused entry is not named"

mkdir -p "$work/climb"
archive "$work/climb.dt" '%InstallDir%\a/../../../climbed' climbed
expect 1 "unpack a name that climbs" -- "$dtpack" unpack "$work/climb.dt" "$work/climb/dir"
[ ! -e "$work/climb/climbed" ] && [ ! -e "$work/climb/dir" ] || fail "unpack climbed out"
grep -qF 'entry 1 (%InstallDir%\a/../../../climbed): holds a slash' "$work/out" ||
  fail "the climbing entry is not named"

archive "$work/drive.dt" 'C:\x' drive 'C:\Korvu\x.dll' library
expect 0 "unpack a drive" -- "$dtpack" unpack "$work/drive.dt" "$work/drive"
[ "$(cat "$work/drive/C/x" 2>&1)" = drive ] && [ "$(cat "$work/drive/C/Korvu/x.dll" 2>&1)" = library ] ||
  fail "a drive is not unpacked as a folder of its letter"

mkdir -p "$work/linked/InstallDir" "$work/elsewhere"
ln -s "$work/elsewhere" "$work/linked/InstallDir/Maps"
expect 1 "unpack through a link in the folder" -- "$dtpack" unpack "$work/p.dt" "$work/linked"
[ -z "$(ls -A "$work/elsewhere")" ] || fail "unpack wrote through a link"
[ ! -e "$work/linked/InstallDir/a.txt" ] || fail "a refused unpack wrote a file"
grep -qF "linked/InstallDir/Maps\" is a symbolic link" "$work/out" || fail "the link is not named"

echo "dtpack cli: $failures failed"
[ "$failures" -eq 0 ]
