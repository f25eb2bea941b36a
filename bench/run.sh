#!/usr/bin/env bash
# The benchmarks: how fast Setup.exe puts files on disk and how much memory it takes, against
# baselines run side by side on the same machine and disk. Prints figures and ratios and appends
# them, with the machine and the date, to bench/results.md.
#   bash bench/run.sh [PAYLOAD-MIB]      (default 1024: one payload of 1 GiB)
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
rm -rf "$work"
mkdir -p "$work"
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
ms() { date +%s%3N; }
report=()
say() { echo "$*"; report+=("$*"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

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
setup_run() {  # setup_run NAME TARGET: prints "<ms> <peak bytes>"
  local out
  out=$(bash scripts/wine-run.sh "$bin/tools/driver/setup_walk.exe" "$(winpath "$work/$1-dist/Setup.exe")" \
    --folder "$(winpath "$2")")
  echo "$(sed -n 's/.*run took \([0-9]*\) ms.*/\1/p' <<<"$out") $(sed -n 's/.*peak working set \([0-9]*\) bytes.*/\1/p' <<<"$out")"
}
wine_start_ms() {
  local t0; t0=$(ms); bash scripts/wine-run.sh "$bin/bench/copy_baseline.exe" --noop; echo $(( $(ms) - t0 ))
}

bench() {
  echo "== payloads"
  mkdir -p "$work/big" "$work/small" "$work/tiny"
  head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/big/payload.bin"
  head -c $((1024 * 1024)) /dev/urandom >"$work/tiny/payload.bin"
  for i in $(seq 1 1024); do head -c 4096 /dev/urandom >"$work/small/f$i.bin"; done
  make_dist big "$work/big"; make_dist small "$work/small"; make_dist tiny "$work/tiny"
  make_nsis big "$work/big"; make_nsis small "$work/small"
  local start; start=$(wine_start_ms)

  echo "== 1. throughput: one payload of $mib MiB"
  sync; local t0; t0=$(ms); cp "$work/big/payload.bin" "$work/cp.bin"; local cp_ms=$(( $(ms) - t0 ))
  sync; local floor
  floor=$(bash scripts/wine-run.sh "$bin/bench/copy_baseline.exe" "$(winpath "$work/big/payload.bin")" \
    "$(winpath "$work/floor.bin")" | sed -n 's/.*copy took \([0-9]*\) ms.*/\1/p')
  sync; read -r setup_ms setup_peak < <(setup_run big "$work/setup-big")
  cmp -s "$work/big/payload.bin" "$work/setup-big/payload.bin" || { echo "bench: Setup wrote a different file" >&2; exit 1; }
  sync; t0=$(ms); bash scripts/wine-run.sh "$work/big-nsis.exe" /S "/D=$(winpath "$work/nsis-big")"
  local nsis_ms=$(( $(ms) - t0 - start ))
  local mibps; mibps=$(awk -v m="$mib" -v t="$setup_ms" 'BEGIN { printf "%.0f", m * 1000 / t }')
  say "throughput ($mib MiB): Setup $setup_ms ms ($mibps MiB/s); cp $cp_ms ms; Win32 copy under Wine $floor ms; NSIS $nsis_ms ms"
  say "  Setup / Wine floor = $(ratio "$setup_ms" "$floor"); Setup / cp = $(ratio "$setup_ms" "$cp_ms"); NSIS / Setup = $(ratio "$nsis_ms" "$setup_ms")"

  echo "== 1b. one file against three: the same payload from inside Setup.exe, medians of three"
  mkdir -p "$work/bigone-dist"
  "$dtpack" bundle --setup "$work/big-dist/Setup.exe" --program-files "$work/big-dist/ProgramFiles.dt" \
    -o "$work/bigone-dist/Setup.exe" >/dev/null
  local three=() one=() one_peak=0 ms_ peak_
  for round in 1 2 3; do
    rm -rf "$work/round"; sync; read -r ms_ peak_ < <(setup_run big "$work/round"); three+=("$ms_")
    rm -rf "$work/round"; sync; read -r ms_ one_peak < <(setup_run bigone "$work/round"); one+=("$ms_")
    cmp -s "$work/big/payload.bin" "$work/round/payload.bin" || { echo "bench: the one-file installer wrote a different file" >&2; exit 1; }
  done
  rm -rf "$work/round"
  local three_med one_med
  three_med=$(printf '%s\n' "${three[@]}" | sort -n | sed -n 2p)
  one_med=$(printf '%s\n' "${one[@]}" | sort -n | sed -n 2p)
  say "one file against three ($mib MiB, medians of three): one-file installer $one_med ms (${one[*]}), three files $three_med ms (${three[*]})"
  say "  one file / three files = $(ratio "$one_med" "$three_med"); peak working set of the one-file installer $((one_peak / 1024)) KiB"

  echo "== 2. many small files: 1024 x 4 KiB"
  tar -C "$work/small" -cf "$work/small.tar" .
  sync; read -r small_ms small_peak < <(setup_run small "$work/setup-small")
  mkdir -p "$work/tar-small"; sync; t0=$(ms); tar -C "$work/tar-small" -xf "$work/small.tar"; local tar_ms=$(( $(ms) - t0 ))
  sync; t0=$(ms); bash scripts/wine-run.sh "$work/small-nsis.exe" /S "/D=$(winpath "$work/nsis-small")"
  local nsis_small=$(( $(ms) - t0 - start ))
  say "small files (1024 x 4 KiB): Setup $small_ms ms ($(awk -v t="$small_ms" 'BEGIN { printf "%.2f", t / 1024 }') ms per entry); tar -x $tar_ms ms; NSIS $nsis_small ms"
  say "  Setup / tar = $(ratio "$small_ms" "$tar_ms"); NSIS / Setup = $(ratio "$nsis_small" "$small_ms")"
  say "  the same extraction without the window: $(bash scripts/wine-run.sh "$bin/bench/unpack_bench.exe" \
    "$(winpath "$work/small-dist/ProgramFiles.dt")" "$(winpath "$work/unpack-small")" |
    sed -n 's/^unpack_bench: //p' | paste -sd ';' | sed 's/;/; /g')"

  echo "== 3. peak memory"
  read -r tiny_ms tiny_peak < <(setup_run tiny "$work/setup-tiny")
  say "peak working set: $((setup_peak / 1024)) KiB with a $mib MiB payload, $((tiny_peak / 1024)) KiB with a 1 MiB payload (ratio $(ratio "$setup_peak" "$tiny_peak"))"
  say "(a Wine process start costs about $start ms; subtracted from the NSIS figures, which are timed from outside)"

  echo "== 4. the gauge"
  say "$(bash scripts/wine-run.sh "$bin/bench/gauge_bench.exe" 1024 | sed -n 's/^gauge_bench: //p')"
}

if [ "${SETUP_BENCH_INSIDE:-}" != 1 ]; then
  # Everything below runs once more inside one Wine session (display and waiting process).
  SETUP_BENCH_INSIDE=1 exec bash scripts/wine-session.sh --idle "$bin/tests/wine_idle.exe" \
    bash bench/run.sh "$mib"
fi
bench

{
  echo
  echo "## $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo 'Wine ?'), build $preset"
  for line in "${report[@]}"; do echo "- $line"; done
} >>"$root/bench/results.md"
echo "results appended to bench/results.md"
