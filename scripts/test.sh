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
# Each runner's ctest entries go to a JUnit file, and every GoogleTest program writes a report of
# its cases into test-results/ of its build tree: the summary counts the cases from those.
runners=()
run_ctest() {  # LABEL PRESET [ctest args...]: runs ctest, as the rest of the command line says
  local label=$1 preset=$2; shift 2
  local junit="$logs/junit-${#runners[@]}.xml"
  rm -rf "build/$preset/test-results"
  runners+=("$label=$junit:$root/build/$preset/test-results")
  "${wrap[@]}" ctest --preset "$preset" --output-junit "$junit" "$@" 2>&1 | tee -a "$logs/ctest" || status=1
}
wrap=()
run_ctest "host (Linux, sanitizers)" host

source scripts/env.sh
step "windows: configure and build (32-bit, the product)"
cmake --preset windows >"$logs/win-configure" 2>&1 || { cat "$logs/win-configure"; exit 1; }
cmake --build --preset windows || exit 1
preset=$(wine_test_preset)
if [ "$preset" = windows ]; then
  tested="windows (32-bit, the product, under WOW64 in a 64-bit Wine prefix)"
else
  tested="windows-x64 (the 64-bit stand-in: Wine here runs 64-bit programs only)"
  # The shipped 32-bit Setup.exe is still checked where no Wine is needed: its import table.
  step "windows: native checks of the 32-bit product"
  run_ctest "windows (32-bit) native checks" windows -R "setup_exe_imports|uninstaller_exe_imports"
  # This kernel runs no 32-bit Linux programs, so Wine runs no 32-bit Windows programs: the
  # same sources are built for 64-bit Windows to run the Windows tests.
  step "windows-x64: configure and build (Wine here runs 64-bit programs only)"
  cmake --preset "$preset" >"$logs/x64-configure" 2>&1 || { cat "$logs/x64-configure"; exit 1; }
  cmake --build --preset "$preset" || exit 1
fi
step "$preset: tests under Wine"
wrap=(bash scripts/wine-session.sh --idle "build/$preset/tests/wine_idle.exe")
# Now and then a Wine program ends at its very start, before its first line of output (seen twice
# in some thirty runs of the whole command: once a test program, once a tool a test started). An
# entry that fails is run once more; every entry that needed it is named below, so that a test
# that fails by itself now and then is still seen.
before=$(wc -l <"$logs/ctest")
run_ctest "$preset under Wine" "$preset" --repeat until-pass:2
retried=$(tail -n +"$((before + 1))" "$logs/ctest" |
  sed -n 's/.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*Failed.*/\1/p' | sort -u | paste -sd ' ')
[ -z "$retried" ] || echo "run a second time after a failed first run: $retried"

# The closing lines: what was tested, the counts per runner, and one line for all of them.
step "summary"
echo "Windows build tested: $tested"
python3 scripts/test_summary.py "${runners[@]}" || status=1
exit $status
