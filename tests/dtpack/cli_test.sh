#!/usr/bin/env bash
# Runs the dtpack program itself: exit codes, help, a pack-list-verify-unpack round, unpack
# refusing archives that would write outside its folder, and sealing a stand-in Setup.exe (made by
# fake_setup) with its archives.
#   cli_test.sh DTPACK FAKE_SETUP
set -u
dtpack=$1
fake_setup=$2
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

# Sealing: a stand-in Setup.exe with its seal block, two archives beside it.
no_output() {  # no_output WHAT FILE: a refusal left neither the file nor its temporary
  [ ! -e "$2" ] && [ ! -e "$2.partial" ] || fail "$1 left a file"
}
set_last_byte() {  # set_last_byte FILE CHAR
  printf '%s' "$2" | dd of="$1" bs=1 seek=$(($(stat -c %s "$1") - 1)) conv=notrunc status=none
}
"$fake_setup" "$work/Setup.exe" && "$fake_setup" --plain "$work/foreign.exe" &&
  "$fake_setup" --signed "$work/signed.exe" || fail "fake_setup"
mkdir -p "$work/dist" "$work/other"
printf 'system' >"$work/b.dll"
expect 0 "pack ProgramFiles.dt" -- "$dtpack" pack "$work/dist/ProgramFiles.dt" "%InstallDir%=$work/product"
expect 0 "pack SystemFiles.dt" -- "$dtpack" pack "$work/dist/SystemFiles.dt" "%System32%\\b.dll=$work/b.dll"
cp "$work/dist/ProgramFiles.dt" "$work/program.dt"
dist="--program-files $work/dist/ProgramFiles.dt --system-files $work/dist/SystemFiles.dt"

expect 2 "seal without --setup" -- "$dtpack" seal $dist -o "$work/x.exe"
expect 2 "seal without -o" -- "$dtpack" seal --setup "$work/Setup.exe" $dist
expect 0 "seal" -- "$dtpack" seal --setup "$work/Setup.exe" $dist -o "$work/dist/Setup.exe"
grep -q 'sealed with ProgramFiles.dt (' "$work/out" || fail "seal output"
expect 0 "seal again" -- "$dtpack" seal --setup "$work/Setup.exe" $dist -o "$work/again.exe"
cmp -s "$work/dist/Setup.exe" "$work/again.exe" || fail "the same inputs gave other bytes"
cmp -s "$work/dist/Setup.exe" "$work/Setup.exe" && fail "the sealed copy is the program as built"

expect 2 "verify without an archive" -- "$dtpack" verify
expect 2 "verify of two archives without --setup" -- "$dtpack" verify "$work/p.dt" "$work/p.dt"
expect 0 "verify beside the sealed program" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
[ "$(grep -c ': ok: as sealed$' "$work/out")" -eq 2 ] || fail "verify output"
expect 0 "verify of archives given" -- "$dtpack" verify --setup "$work/dist/Setup.exe" "$work/dist/SystemFiles.dt"

set_last_byte "$work/dist/ProgramFiles.dt" Z
expect 1 "verify catches a changed byte" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
grep -q 'ProgramFiles.dt: its SHA-256 ' "$work/out" || fail "changed byte"
expect 0 "a changed byte still passes the archive's rules" -- "$dtpack" verify "$work/dist/ProgramFiles.dt"
printf 'Dictionary' >"$work/other/GeoDict.DCT"
expect 0 "pack another archive" -- "$dtpack" pack "$work/dist/ProgramFiles.dt" \
  "%InstallDir%\\Maps\\GeoDict.DCT=$work/other/GeoDict.DCT" "%InstallDir%\\a.txt=$work/product/a.txt"
expect 1 "verify catches another archive" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
cp "$work/program.dt" "$work/dist/ProgramFiles.dt" && truncate -s -1 "$work/dist/ProgramFiles.dt"
expect 1 "verify catches a cut archive" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
grep -q 'bytes, where the seal says' "$work/out" || fail "cut archive"
rm "$work/dist/ProgramFiles.dt"
expect 1 "verify catches a missing archive" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
grep -q 'ProgramFiles.dt: missing, but the seal names it' "$work/out" || fail "missing"
cp "$work/program.dt" "$work/dist/ProgramFiles.dt"
expect 0 "verify after the archive is back" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
expect 0 "seal without SystemFiles.dt" -- "$dtpack" seal --setup "$work/Setup.exe" \
  --program-files "$work/program.dt" -o "$work/dist/Setup.exe.new"
mv "$work/dist/Setup.exe.new" "$work/dist/Setup.exe"
expect 1 "verify catches an archive the seal does not name" -- "$dtpack" verify --setup "$work/dist/Setup.exe"
grep -q 'SystemFiles.dt: not named by the seal' "$work/out" || fail "not named"
expect 1 "verify of a program that is not sealed" -- "$dtpack" verify --setup "$work/Setup.exe"

# Refusals: exit status 1 and nothing written.
printf '\x01' >"$work/other/ProgramFiles.dt"
expect 1 "seal of nothing" -- "$dtpack" seal --setup "$work/Setup.exe" -o "$work/x.exe"
no_output "seal of nothing" "$work/x.exe"
for stub in foreign.exe dist/Setup.exe signed.exe p.dt; do
  expect 1 "seal of $stub" -- "$dtpack" seal --setup "$work/$stub" --program-files "$work/program.dt" -o "$work/x.exe"
  no_output "seal of $stub" "$work/x.exe"
done
expect 1 "seal with an archive that fails verify" -- "$dtpack" seal --setup "$work/Setup.exe" \
  --program-files "$work/other/ProgramFiles.dt" -o "$work/x.exe"
grep -q 'does not pass dtpack verify' "$work/out" || fail "broken archive"
no_output "seal with a broken archive" "$work/x.exe"
expect 1 "seal onto its input" -- "$dtpack" seal --setup "$work/Setup.exe" --program-files "$work/program.dt" -o "$work/program.dt"
cmp -s "$work/program.dt" "$work/dist/ProgramFiles.dt" || fail "seal onto its input changed it"

# A one-file installer is sealed with the archives inside it.
cp "$work/dist/SystemFiles.dt" "$work/system.dt"
expect 0 "bundle" -- "$dtpack" bundle --setup "$work/Setup.exe" --program-files "$work/program.dt" \
  --system-files "$work/system.dt" -o "$work/one.exe"
grep -q ', sealed$' "$work/out" || fail "bundle output"
expect 0 "verify of the one-file installer" -- "$dtpack" verify "$work/one.exe"
[ "$(grep -c '^seal: .*: ok: as sealed$' "$work/out")" -eq 2 ] || fail "bundle seal"
expect 0 "verify --setup of the one-file installer" -- "$dtpack" verify --setup "$work/one.exe"
expect 1 "seal of a one-file installer" -- "$dtpack" seal --setup "$work/one.exe" --program-files "$work/program.dt" -o "$work/x.exe"
no_output "seal of a one-file installer" "$work/x.exe"
expect 1 "bundle of a sealed program" -- "$dtpack" bundle --setup "$work/again.exe" --program-files "$work/program.dt" -o "$work/x.exe"
grep -q 'is already sealed' "$work/out" || fail "bundle of a sealed program"
no_output "bundle of a sealed program" "$work/x.exe"

echo "dtpack cli: $failures failed"
[ "$failures" -eq 0 ]
