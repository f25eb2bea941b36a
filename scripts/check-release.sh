#!/usr/bin/env bash
# Checks a published Setup.exe or one-file installer against one rebuilt from the published
# sources (and, for a one-file installer, bundled again from the published archives): removes
# the signature from the release, then compares the bytes. The PE header's CheckSum field is left
# out of the comparison: signing tools fill it in, and it is computed from the other bytes.
#   check-release.sh RELEASE.exe REBUILT.exe
set -euo pipefail
[ $# -eq 2 ] || { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }
release=$1 rebuilt=$2
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
without_checksum "$work/unsigned.exe" "$work/a.exe"
without_checksum "$rebuilt" "$work/b.exe"
if cmp -s "$work/a.exe" "$work/b.exe"; then
  echo "check-release: $release matches $rebuilt"
else
  echo "check-release: $release differs from $rebuilt" >&2
  exit 1
fi
