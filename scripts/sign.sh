#!/usr/bin/env bash
# Signs a built Setup.exe or a one-file installer with Authenticode (SHA-256) through osslsigncode.
# The certificate and its key come from a PKCS#12 file and its password from a file: the
# password never appears on any command line (osslsigncode reads it with -readpass).
#   sign.sh --pkcs12 CERT.p12 --password-file PASSWORD.txt [--timestamp URL] [--name TEXT] \
#           IN.exe OUT.exe
# --timestamp asks an RFC 3161 time-stamp server (for example http://timestamp.digicert.com) to
# countersign, so that the signature stays valid after the certificate expires; it needs the
# network. Sign a one-file installer after bundling: bundling refuses a signed program, and bytes
# appended after signing would lie outside the signature.
set -euo pipefail
usage() { sed -n '2,10s/^# \{0,1\}//p' "$0" >&2; exit 2; }
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
