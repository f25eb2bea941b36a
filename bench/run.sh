#!/usr/bin/env bash
# The benchmarks: how fast Setup.exe puts files on disk and how much memory it takes, against
# baselines run side by side on the same machine and disk. Every figure is the median of three
# rounds (or ROUNDS) in which the contenders take turns (so that a slow moment of the machine hits
# them alike), with the spread (largest less smallest) beside it. Prints figures and ratios and
# appends them, with the machine and the date, to bench/results.md.
#   bash bench/run.sh [PAYLOAD-MIB [ROUNDS]]   (default 1024: one payload of 1 GiB; 3 rounds)
#
# Timing: the wizard from the click on "Начать" to the Finish page (by the outside driver); the
# unattended run (/VERYSILENT with its log) and NSIS by their run time less a Wine start measured
# in the same round; the plain Win32 copy inside its own process.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mib=${1:-1024}
bash scripts/bootstrap.sh >/dev/null
source scripts/env.sh
command -v makensis >/dev/null || apt-get install -y -qq --no-install-recommends nsis >/dev/null

preset=$(wine_test_preset)
cmake --preset host >/dev/null
cmake --build --preset host --target dtpack >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Setup setup_walk copy_baseline gauge_bench unpack_bench wine_idle >/dev/null
bin="$root/build/$preset"
dtpack="$root/build/host/tools/dtpack/dtpack"
nsis_target=$([ "$preset" = windows ] && echo x86-unicode || echo amd64-unicode)

work="$root/build/bench"
disk="the build folder's disk"
rounds=${2:-3}
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
ms() { date +%s%3N; }
report=()
say() { echo "$*"; report+=("$*"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# The median and the spread of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print hi - lo }'; }
figure() { echo "$(median "$@") ms (spread $(spread "$@"); runs $(IFS=/; echo "$*"))"; }  # figure MS...

# One distribution folder: Setup.exe and ProgramFiles.dt made from a folder of files.
make_dist() {  # make_dist NAME FOLDER: the distribution folder $work/NAME-dist
  mkdir -p "$work/$1-dist"
  cp "$bin/src/setup/Setup.exe" "$work/$1-dist/"
  "$dtpack" pack "$work/$1-dist/ProgramFiles.dt" "%InstallDir%=$2" >/dev/null
}
# An NSIS installer of the same files, no compression, silent.
make_nsis() {  # make_nsis NAME FOLDER
  cat >"$work/$1.nsi" <<NSI
Unicode true
Target $nsis_target
SetCompress off
RequestExecutionLevel user
OutFile "$work/$1-nsis.exe"
InstallDir "C:\\nsis-unused"
Section
  SetOutPath "\$INSTDIR"
  File /r "$2/*"
SectionEnd
NSI
  makensis -V1 "$work/$1.nsi" >/dev/null
}

# Each contender writes into a new folder and prints its milliseconds; the folder goes afterwards.
wine_start() {
  local t0; t0=$(ms); bash scripts/wine-run.sh "$bin/bench/copy_baseline.exe" --noop; echo $(( $(ms) - t0 ))
}
wizard_run() {  # wizard_run NAME TARGET: "<ms> <peak bytes>"
  local out
  out=$(bash scripts/wine-run.sh "$bin/tools/driver/setup_walk.exe" "$(winpath "$work/$1-dist/Setup.exe")" \
    --folder "$(winpath "$2")")
  echo "$(sed -n 's/.*run took \([0-9]*\) ms.*/\1/p' <<<"$out") $(sed -n 's/.*peak working set \([0-9]*\) bytes.*/\1/p' <<<"$out")"
}
unattended_run() {  # unattended_run NAME TARGET START
  local t0; t0=$(ms)
  bash scripts/wine-run.sh "$work/$1-dist/Setup.exe" /VERYSILENT "/DIR=$(winpath "$2")" \
    "/LOG=$(winpath "$work/$1-unattended.log")" || { echo "bench: the unattended run failed" >&2; exit 1; }
  echo $(( $(ms) - t0 - $3 ))
}
nsis_run() {  # nsis_run NAME TARGET START
  local t0; t0=$(ms)
  bash scripts/wine-run.sh "$work/$1-nsis.exe" /S "/D=$(winpath "$2")"
  echo $(( $(ms) - t0 - $3 ))
}
copy_run() {  # copy_run SOURCE TARGET
  mkdir -p "$(dirname "$2")"
  bash scripts/wine-run.sh "$bin/bench/copy_baseline.exe" "$(winpath "$1")" "$(winpath "$2")" |
    sed -n 's/.*copy took \([0-9]*\) ms.*/\1/p'
}
# Runs each contender once a round, into a new folder, in an order that turns from round to
# round, so that none always meets the disk right after the same other one. Each round measures
# the Wine start anew into `start`.
take_turns() {  # take_turns CONTENDER...
  local contenders=("$@") round i
  for round in $(seq 1 "$rounds"); do
    start=$(wine_start)
    for i in $(seq 0 $(($# - 1))); do
      rm -rf "$work/out"; sync
      "${contenders[$(( (i + round - 1) % $# ))]}"
    done
    rm -rf "$work/out"
  done
}
same_file() {  # same_file EXPECTED WRITTEN WHO
  cmp -s "$1" "$2" || { echo "bench: $3 wrote a different file" >&2; exit 1; }
}

bench() {
  echo "== payloads"
  rm -rf "$work"
  mkdir -p "$work"
  # As root, the work folder is a RAM disk: on a virtual machine's disk the writes of 1 GiB swing
  # by seconds from round to round, which would drown the programs' own differences.
  if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=$(( mib * 5 + 512 ))m tmpfs "$work"; then
    trap 'umount "$work"' EXIT
    disk="a RAM disk (tmpfs)"
  fi
  mkdir -p "$work/big" "$work/small" "$work/tiny"
  head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/big/payload.bin"
  head -c $((1024 * 1024)) /dev/urandom >"$work/tiny/payload.bin"
  for i in $(seq 1 1024); do head -c 4096 /dev/urandom >"$work/small/f$i.bin"; done
  make_dist big "$work/big"; make_dist small "$work/small"; make_dist tiny "$work/tiny"
  make_nsis big "$work/big"; make_nsis small "$work/small"
  sleep 3  # the Wine session's own start-up settles first

  echo "== 1. one payload of $mib MiB, $rounds rounds"
  local copy=() wizard=() unattended=() nsis=() peak=() start out t
  big_copy() {
    copy+=("$(copy_run "$work/big/payload.bin" "$work/out/copy.bin")")
    same_file "$work/big/payload.bin" "$work/out/copy.bin" "the plain copy"
  }
  big_wizard() {
    read -r t out < <(wizard_run big "$work/out"); wizard+=("$t"); peak+=("$out")
    same_file "$work/big/payload.bin" "$work/out/payload.bin" "the wizard"
  }
  big_unattended() {
    unattended+=("$(unattended_run big "$work/out" "$start")")
    same_file "$work/big/payload.bin" "$work/out/payload.bin" "the unattended run"
  }
  big_nsis() { nsis+=("$(nsis_run big "$work/out" "$start")"); }
  take_turns big_copy big_wizard big_unattended big_nsis
  local c w u n
  c=$(median "${copy[@]}") w=$(median "${wizard[@]}") u=$(median "${unattended[@]}") n=$(median "${nsis[@]}")
  say "$mib MiB: plain Win32 copy $(figure "${copy[@]}"); wizard $(figure "${wizard[@]}"); unattended $(figure "${unattended[@]}"); NSIS $(figure "${nsis[@]}")"
  say "  wizard / plain copy = $(ratio "$w" "$c") (goal 1.05 at most); unattended / plain copy = $(ratio "$u" "$c"); NSIS / wizard = $(ratio "$n" "$w")"

  echo "== 1b. one file against three: the same payload from inside Setup.exe, $rounds rounds"
  mkdir -p "$work/bigone-dist"
  "$dtpack" bundle --setup "$work/big-dist/Setup.exe" --program-files "$work/big-dist/ProgramFiles.dt" \
    -o "$work/bigone-dist/Setup.exe" >/dev/null
  local three=() one=() one_peak=()
  for round in $(seq 1 "$rounds"); do
    sync; read -r t out < <(wizard_run big "$work/out"); three+=("$t"); rm -rf "$work/out"
    sync; read -r t out < <(wizard_run bigone "$work/out"); one+=("$t"); one_peak+=("$out")
    same_file "$work/big/payload.bin" "$work/out/payload.bin" "the one-file installer"; rm -rf "$work/out"
  done
  say "one file against three ($mib MiB, wizard): one-file installer $(figure "${one[@]}"); three files $(figure "${three[@]}")"
  say "  one file / three files = $(ratio "$(median "${one[@]}")" "$(median "${three[@]}")") (goal 1.05 at most); peak working set of the one-file installer $(( $(median "${one_peak[@]}") / 1024 )) KiB"

  echo "== 2. 1024 files of 4 KiB, $rounds rounds"
  tar -C "$work/small" -cf "$work/small.tar" .
  local tar=() swizard=() sunattended=() snsis=()
  small_tar() {
    mkdir -p "$work/out"; t=$(ms); tar -C "$work/out" -xf "$work/small.tar"; tar+=($(( $(ms) - t )))
  }
  small_wizard() { read -r t out < <(wizard_run small "$work/out"); swizard+=("$t"); }
  small_unattended() { sunattended+=("$(unattended_run small "$work/out" "$start")"); }
  small_nsis() { snsis+=("$(nsis_run small "$work/out" "$start")"); }
  take_turns small_tar small_wizard small_unattended small_nsis
  w=$(median "${swizard[@]}") u=$(median "${sunattended[@]}") n=$(median "${snsis[@]}")
  say "1024 x 4 KiB: tar -x $(figure "${tar[@]}"); wizard $(figure "${swizard[@]}"); unattended (with its log, $(grep -c ' bytes: written' "$work/small-unattended.log") entries logged) $(figure "${sunattended[@]}"); NSIS $(figure "${snsis[@]}")"
  say "  per entry: wizard $(awk -v t="$w" 'BEGIN { printf "%.2f", t / 1024 }') ms, unattended $(awk -v t="$u" 'BEGIN { printf "%.2f", t / 1024 }') ms, NSIS $(awk -v t="$n" 'BEGIN { printf "%.2f", t / 1024 }') ms"
  say "  wizard / NSIS = $(ratio "$w" "$n") (goal 0.7 at most); unattended / NSIS = $(ratio "$u" "$n") (goal 0.5 at most)"
  say "  the extraction alone, step by step: $(bash scripts/wine-run.sh "$bin/bench/unpack_bench.exe" \
    "$(winpath "$work/small-dist/ProgramFiles.dt")" "$(winpath "$work/unpack-small")" |
    sed -n 's/^unpack_bench: //p' | paste -sd ';' | sed 's/;/; /g')"
  say "  the installation record's cost to the extraction: $(bash scripts/wine-run.sh "$bin/bench/unpack_bench.exe" \
    --record "$(winpath "$work/small-dist/ProgramFiles.dt")" "$(winpath "$work/unpack-record")" |
    sed -n 's/^unpack_bench: //p' | paste -sd ';' | sed 's/;/; /g')"

  echo "== 3. peak memory"
  local tiny_peak
  read -r t tiny_peak < <(wizard_run tiny "$work/out"); rm -rf "$work/out"
  local big_peak; big_peak=$(median "${peak[@]}")
  say "peak working set: $((big_peak / 1024)) KiB with a $mib MiB payload, $((tiny_peak / 1024)) KiB with a 1 MiB payload (difference $(( (big_peak - tiny_peak) / 1024 )) KiB; goal within 1024)"
  say "(all on $disk; a Wine process start costs about $start ms, subtracted from the unattended and NSIS figures, which are timed from outside)"

  echo "== 4. the gauge and the wizard's view per entry"
  local line
  while IFS= read -r line; do say "$line"; done < <(bash scripts/wine-run.sh "$bin/bench/gauge_bench.exe" 1024 |
    sed -n 's/^gauge_bench: //p')
}

if [ "${SETUP_BENCH_INSIDE:-}" != 1 ]; then
  # Everything below runs once more inside one Wine session (display and waiting process).
  SETUP_BENCH_INSIDE=1 exec bash scripts/wine-session.sh --idle "$bin/tests/wine_idle.exe" \
    bash bench/run.sh "$mib" "$rounds"
fi
bench

{
  echo
  echo "## $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo 'Wine ?'), build $preset"
  for line in "${report[@]}"; do echo "- $line"; done
} >>"$root/bench/results.md"
echo "results appended to bench/results.md"
