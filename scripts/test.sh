#!/usr/bin/env bash
# The one test command: installs what is missing, builds both presets (Linux with sanitizers and
# the fuzz target; 32-bit Windows), runs every test (the Windows ones under Wine) and prints a
# summary. Exit status 0 only when every test passed.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh || exit 1

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0
step() { echo "== $*"; }

step "host: configure and build"
cmake --preset host >"$logs/host-configure" 2>&1 || { cat "$logs/host-configure"; exit 1; }
cmake --build --preset host || exit 1
step "host: tests"
ctest --preset host 2>&1 | tee "$logs/host-tests" || status=1

source scripts/env.sh
step "windows: configure and build (32-bit, the product)"
cmake --preset windows >"$logs/win-configure" 2>&1 || { cat "$logs/win-configure"; exit 1; }
cmake --build --preset windows || exit 1
preset=$(wine_test_preset)
if [ "$preset" != windows ]; then
  # The shipped 32-bit Setup.exe is still checked where no Wine is needed: its import table.
  step "windows: native checks of the 32-bit product"
  ctest --preset windows -R setup_exe_imports 2>&1 | tee "$logs/win32-native" || status=1
  # This kernel runs no 32-bit Linux programs, so Wine runs no 32-bit Windows programs: the
  # same sources are built for 64-bit Windows to run the Windows tests.
  step "windows-x64: configure and build (Wine here runs 64-bit programs only)"
  cmake --preset "$preset" >"$logs/x64-configure" 2>&1 || { cat "$logs/x64-configure"; exit 1; }
  cmake --build --preset "$preset" || exit 1
fi
step "$preset: tests under Wine"
bash scripts/wine-session.sh --idle "build/$preset/tests/wine_idle.exe" \
  ctest --preset "$preset" 2>&1 | tee "$logs/win-tests" || status=1

# One closing line for all the runs.
passed=0 failed=0
for log in "$logs"/host-tests "$logs"/win32-native "$logs"/win-tests; do
  [ -f "$log" ] || continue
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then status=1; continue; fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f)) failed=$((failed + f))
done
[ "$failed" -eq 0 ] || status=1
echo "== summary"
echo "tests: $passed passed, $failed failed"
exit $status
