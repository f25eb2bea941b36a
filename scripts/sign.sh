#!/usr/bin/env bash
# Signs a built Setup.exe or a one-file installer with Authenticode (SHA-256) through osslsigncode.
# The certificate and its key come from a PKCS#12 file and its password from a file: the
# password never appears on any command line (osslsigncode reads it with -readpass).
#   sign.sh --pkcs12 CERT.p12 --password-file PASSWORD.txt [--timestamp URL] [--name TEXT] \
#           IN.exe OUT.exe
# --timestamp asks an RFC 3161 time-stamp server (for example http://timestamp.digicert.com) to
# countersign, so that the signature stays valid after the certificate expires; it needs the
# network. Sign a one-file installer after bundling: bundling refuses a signed program, and bytes
# appended after signing would lie outside the signature. An unsealed Setup.exe is refused.
set -euo pipefail
usage() { sed -n '2,11s/^# \{0,1\}//p' "$0" >&2; exit 2; }
pkcs12="" password="" timestamp="" name=""
while [ $# -gt 0 ]; do
  case $1 in
    --pkcs12) pkcs12=${2:?}; shift 2 ;;
    --password-file) password=${2:?}; shift 2 ;;
    --timestamp) timestamp=${2:?}; shift 2 ;;
    --name) name=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    --*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] && [ -n "$pkcs12" ] && [ -n "$password" ] || usage
in=$1 out=$2
for f in "$pkcs12" "$password" "$in"; do
  [ -r "$f" ] || { echo "sign.sh: cannot read $f" >&2; exit 1; }
done
if [ -e "$out" ] && [ "$(realpath "$in")" = "$(realpath "$out")" ]; then
  echo "sign.sh: the output is the input; write the signed program to a new file" >&2
  exit 1
fi
# The state of a program's seal (src/core/seal_format.h): "none" without a .dtseal section (not a
# Setup.exe: Uninstaller.exe, say), "unsealed" or "sealed" from the block at the section's start.
u32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
u16() { od -An -tu2 -j"$2" -N2 "$1" | tr -d ' '; }
seal_state() {
  local file=$1 pe sections table i at name raw
  pe=$(u32 "$file" 60)
  sections=$(u16 "$file" $((pe + 6)))
  table=$((pe + 24 + $(u16 "$file" $((pe + 20)))))
  for ((i = 0; i < sections; i++)); do
    at=$((table + 40 * i))
    name=$(dd if="$file" bs=1 skip="$at" count=8 status=none | tr -d '\0')
    [ "$name" = .dtseal ] || continue
    raw=$(u32 "$file" $((at + 20)))
    [ "$(dd if="$file" bs=1 skip="$raw" count=13 status=none)" = "Korvu seal v1" ] || { echo none; return; }
    case $(od -An -tu1 -j$((raw + 16)) -N1 "$file" | tr -d ' ') in
      1) echo sealed ;;
      *) echo unsealed ;;
    esac
    return
  done
  echo none
}
# An unsealed Setup.exe takes any archives put beside it: signed, it would lend its publisher's
# name at the elevation prompt to whatever they install. Seal it first (dtpack seal).
if [ "$(seal_state "$in")" = unsealed ]; then
  echo "sign.sh: $in is an unsealed Setup.exe, which takes any archives: seal it with its archives first (dtpack seal)" >&2
  exit 1
fi
args=(sign -pkcs12 "$pkcs12" -readpass "$password" -h sha256)
[ -z "$name" ] || args+=(-n "$name")
[ -z "$timestamp" ] || args+=(-ts "$timestamp")
# Signed under a new temporary name beside the output, renamed at the end.
partial=$(mktemp "$(dirname "$out")/.sign-XXXXXX") || { echo "sign.sh: cannot write beside $out" >&2; exit 1; }
rm -f "$partial"  # osslsigncode writes the file itself
if ! osslsigncode "${args[@]}" -in "$in" -out "$partial" >"$partial.log" 2>&1; then
  cat "$partial.log" >&2
  rm -f "$partial" "$partial.log"
  echo "sign.sh: signing $in failed" >&2
  exit 1
fi
rm -f "$partial.log"
mv "$partial" "$out"
echo "sign.sh: signed $out"
