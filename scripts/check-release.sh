#!/usr/bin/env bash
# Checks a published Setup.exe or one-file installer against one rebuilt from the published
# sources (and, for a one-file installer, bundled again from the published archives): removes
# the signature from the release, then compares the bytes. The PE header's CheckSum field is left
# out of the comparison: signing tools fill it in, and it is computed from the other bytes. A
# sealed Setup.exe of a three-file distribution is checked against the rebuilt Setup.exe sealed
# with the published archives given after it (dtpack seal; dtpack is $DTPACK, else the host
# build's, else the one on the PATH).
#   check-release.sh RELEASE.exe REBUILT.exe [ProgramFiles.dt [SystemFiles.dt]]
set -euo pipefail
[ $# -ge 2 ] && [ $# -le 4 ] || { sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2; }
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
release=$1 rebuilt=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A copy of a program with its CheckSum field (PE header + 24 + 64) set to zero.
without_checksum() {  # without_checksum IN OUT
  cp "$1" "$2"
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$2" | tr -d ' ')
  printf '\0\0\0\0' | dd of="$2" bs=1 seek=$((pe + 88)) conv=notrunc status=none
}

if osslsigncode remove-signature -in "$release" -out "$work/unsigned.exe" >/dev/null 2>&1; then
  echo "check-release: signature removed from $release"
else
  cp "$release" "$work/unsigned.exe"  # not signed
fi
if [ $# -gt 0 ]; then
  dtpack=${DTPACK:-}
  [ -n "$dtpack" ] || { [ -x "$root/build/host/tools/dtpack/dtpack" ] && dtpack=$root/build/host/tools/dtpack/dtpack; } ||
    dtpack=dtpack
  archives=(--program-files "$1")
  [ $# -lt 2 ] || archives+=(--system-files "$2")
  "$dtpack" seal --setup "$rebuilt" "${archives[@]}" -o "$work/sealed.exe" >/dev/null ||
    { echo "check-release: cannot seal $rebuilt with the archives given" >&2; exit 1; }
  echo "check-release: $rebuilt sealed with the archives given"
  rebuilt=$work/sealed.exe
fi
without_checksum "$work/unsigned.exe" "$work/a.exe"
without_checksum "$rebuilt" "$work/b.exe"
if cmp -s "$work/a.exe" "$work/b.exe"; then
  echo "check-release: $release matches $rebuilt"
else
  echo "check-release: $release differs from $rebuilt" >&2
  exit 1
fi
