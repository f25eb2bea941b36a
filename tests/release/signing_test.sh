#!/usr/bin/env bash
# Signing a release: a throw-away certificate signs Setup.exe and a one-file installer of the
# demo (scripts/sign.sh); osslsigncode accepts both, rejects them after a byte of the image or of
# an appended archive changed, the signed installer still matches its unsigned bytes once the
# signature is removed (scripts/check-release.sh), and it installs the demo end to end in the
# wizard under Wine.
#   signing_test.sh SOURCE_DIR Setup.exe dtpack.exe e2e_tests.exe record_command_line.exe
set -uo pipefail
root=$1 setup=$2 dtpack=$3 e2e=$4 standin=$5
wine_run="$root/scripts/wine-run.sh"
work=$(mktemp -d /tmp/setup-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
win() { echo "Z:$(realpath "$1" | tr / '\\')"; }

echo "== a throw-away code-signing certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Throw-away Setup test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
printf 'not-on-any-command-line\n' >"$work/password.txt"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout "file:$work/password.txt" || { echo "FAIL: no certificate"; exit 1; }
sign() { bash "$root/scripts/sign.sh" --pkcs12 "$work/cert.p12" --password-file "$work/password.txt" "$@"; }
verifies() { osslsigncode verify -in "$1" -CAfile "$work/cert.pem" >"$work/verify.log" 2>&1; }

echo "== the demo as a one-file installer (dtpack.exe under Wine)"
cp "$setup" "$work/Setup.exe"
cp "$standin" "$work/standin.exe"
bash "$wine_run" "$dtpack" pack "$(win "$work")\\ProgramFiles.dt" \
  "%InstallDir%=$(win "$root/demo/ProgramFiles")" \
  "%InstallDir%\\REGSVR32.EXE=$(win "$work/standin.exe")" \
  "%InstallDir%\\RegTypLib.exe=$(win "$work/standin.exe")" >/dev/null || fail "pack"
bash "$wine_run" "$dtpack" pack "$(win "$work")\\SystemFiles.dt" \
  "%System32%\\korvu50.hlp=$(win "$root/demo/SystemFiles/korvu50.hlp")" >/dev/null || fail "pack"
bash "$wine_run" "$dtpack" bundle --setup "$(win "$work/Setup.exe")" \
  --program-files "$(win "$work")\\ProgramFiles.dt" --system-files "$(win "$work")\\SystemFiles.dt" \
  -o "$(win "$work")\\one.exe" | tee "$work/bundle.log" || fail "bundle"
archive_at=$(sed -n 's/.*ProgramFiles.dt at \([0-9]*\).*/\1/p' "$work/bundle.log")

echo "== signing"
sign "$work/Setup.exe" "$work/Setup-signed.exe" 2>/dev/null && fail "an unsealed Setup.exe was signed"
bash "$wine_run" "$dtpack" seal --setup "$(win "$work/Setup.exe")" \
  --program-files "$(win "$work")\\ProgramFiles.dt" --system-files "$(win "$work")\\SystemFiles.dt" \
  -o "$(win "$work")\\Setup-sealed.exe" >/dev/null || fail "sealing Setup.exe"
sign "$work/Setup-sealed.exe" "$work/Setup-signed.exe" || fail "signing the sealed Setup.exe"
sign "$work/one.exe" "$work/one-signed.exe" || fail "signing the one-file installer"
verifies "$work/Setup-signed.exe" || { fail "Setup.exe does not verify"; cat "$work/verify.log"; }
verifies "$work/one-signed.exe" || { fail "the one-file installer does not verify"; cat "$work/verify.log"; }
sign "$work/one.exe" "$work/one.exe" 2>/dev/null && fail "sign.sh wrote over its input"
bash "$wine_run" "$dtpack" bundle --setup "$(win "$work/Setup-signed.exe")" \
  -o "$(win "$work")\\two.exe" >/dev/null 2>&1 && fail "a signed stub was bundled"

echo "== a changed byte breaks the signature"
flip() {  # flip FILE OFFSET OUT
  cp "$1" "$3"
  local byte
  byte=$(od -An -tu1 -j"$2" -N1 "$1" | tr -d ' ')
  printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$3" bs=1 seek="$2" conv=notrunc status=none
}
flip "$work/one-signed.exe" 4096 "$work/image-changed.exe"
verifies "$work/image-changed.exe" && fail "a changed byte of the image still verifies"
flip "$work/one-signed.exe" $((archive_at + 10)) "$work/archive-changed.exe"
verifies "$work/archive-changed.exe" && fail "a changed byte of an appended archive still verifies"

echo "== the signed installer's seal still names its archives"
bash "$wine_run" "$dtpack" verify "$(win "$work/one-signed.exe")" >"$work/seal.log" 2>&1 &&
  [ "$(grep -c '^seal: .*: ok: as sealed' "$work/seal.log")" -eq 2 ] ||
  { fail "the signed installer's seal"; cat "$work/seal.log"; }
bash "$wine_run" "$dtpack" verify "$(win "$work/archive-changed.exe")" >"$work/seal.log" 2>&1 &&
  fail "verify missed a changed byte of an archive inside the signed installer"

echo "== the signed release against its unsigned build"
bash "$root/scripts/check-release.sh" "$work/one-signed.exe" "$work/one.exe" || fail "check-release"
bash "$root/scripts/check-release.sh" "$work/archive-changed.exe" "$work/one.exe" 2>/dev/null &&
  fail "check-release missed a changed byte"
# A sealed Setup.exe against the rebuilt one, sealed with the published archives.
if [ -x "$root/build/host/tools/dtpack/dtpack" ]; then
  bash "$root/scripts/check-release.sh" "$work/Setup-signed.exe" "$work/Setup.exe" \
    "$work/ProgramFiles.dt" "$work/SystemFiles.dt" || fail "check-release of the sealed Setup.exe"
  bash "$root/scripts/check-release.sh" "$work/Setup-signed.exe" "$work/Setup.exe" \
    "$work/ProgramFiles.dt" 2>/dev/null && fail "check-release took a seal of other archives"
fi

echo "== the signed one-file installer installs the demo"
SETUP_E2E_INSTALLER=$(win "$work/one-signed.exe") bash "$wine_run" "$e2e" \
  --gtest_filter=EndToEnd.AGivenOneFileInstallerInstallsTheDemo >"$work/e2e.log" 2>&1
grep -q '^\[  PASSED  \] 1 test' "$work/e2e.log" && ! grep -q SKIPPED "$work/e2e.log" ||
  { fail "the signed installer did not install the demo"; cat "$work/e2e.log"; }

echo "signing: $failures failed"
[ "$failures" -eq 0 ]
