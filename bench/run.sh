#!/usr/bin/env bash
# The benchmarks: how fast Setup.exe puts files on disk, how much memory it takes, and how fast
# Uninstaller.exe removes them, against baselines run side by side on the same machine and disk.
# Every figure is the median of three rounds (or ROUNDS) in which the contenders take turns (so
# that a slow moment of the machine hits them alike), with the spread (largest less smallest)
# beside it. Prints figures and ratios and appends them, with the machine and the date, to
# bench/results.md.
#   bash bench/run.sh [--only SECTIONS] [--baseline BUILD-DIR] [--disk] [PAYLOAD-MIB [ROUNDS]]
#                     (default 1024: one payload of 1 GiB; 3 rounds; all sections; a RAM disk)
# SECTIONS is a comma-separated list of: big (one large payload), one-file (the same from a
# one-file installer), small (1024 files of 4 KiB), memory (peak memory; runs big too, whose
# peaks it compares), gauge (the gauge and the wizard's view per entry), uninstall (removing
# 1023 files of 4 KiB and Uninstaller.exe with Uninstaller.exe against an NSIS uninstaller),
# repair (1024 files of 4 KiB installed a second time into the same folder, each file replacing
# one already there), sealed (the same distributions, 1024 files of 4 KiB and the large payload,
# unsealed and sealed by turns: what the check of the archives costs, and SHA-256's throughput).
# repair and sealed run only when --only names them.
#   bash bench/run.sh --only uninstall 1 7
#   bash bench/run.sh --only sealed 256 5
#
# --baseline BUILD-DIR: the programs of another build folder of the same preset (a build of an
# older commit, say) run in the same rounds as this build's, one right after the other, the
# baseline first in every other round: its Setup.exe in big and small (wizard and unattended)
# and in repair, and its Setup.exe and Uninstaller.exe in uninstall. Each such figure is printed
# for both, with the ratio this build / baseline. The baseline needs only its src/setup/Setup.exe and
# src/uninstall/Uninstaller.exe; the driver, the archives (dtpack) and the other helpers are this
# build's, so that both are measured the same way.
#   bash bench/run.sh --baseline ../old/build/windows-x64 --disk --only small,uninstall 1 7
#
# The work folder is build/bench. As root it is a RAM disk (a tmpfs mounted there) unless --disk
# asks for the build folder's own disk (where flushes and renames cost what they cost on a real
# disk); without root it is always the build folder's disk. The report names the disk used.
#
# Timing: the wizard from the click on "Начать" to the Finish page (by the outside driver); the
# unattended run (/VERYSILENT with its log), the uninstallers and the NSIS installer by their run
# time less a Wine start measured in the same round; the plain Win32 copy inside its own process.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sections=all base="" on_disk=""
while [ $# -gt 0 ]; do
  case "$1" in
    --only) sections=${2:?"--only needs a list of sections"}; shift 2 ;;
    --baseline) base=$(realpath -e "${2:?"--baseline needs a build folder"}"); shift 2 ;;
    --disk) on_disk=1; shift ;;
    --*) echo "bench: unknown option \"$1\" (--only, --baseline, --disk)" >&2; exit 2 ;;
    *) break ;;
  esac
done
cd "$root"
if [ -n "$base" ]; then
  for program in src/setup/Setup.exe src/uninstall/Uninstaller.exe; do
    [ -f "$base/$program" ] ||
      { echo "bench: the baseline $base has no $program (build its Setup and Uninstaller targets)" >&2; exit 2; }
  done
fi
for section in ${sections//,/ }; do
  case "$section" in
    all|big|one-file|small|memory|gauge|uninstall|repair|sealed) ;;
    *) echo "bench: unknown section \"$section\" (big, one-file, small, memory, gauge, uninstall, repair, sealed)" >&2; exit 2 ;;
  esac
done
want() { [ "$sections" = all ] || [[ ",$sections," == *",$1,"* ]]; }
asked() { [[ ",$sections," == *",$1,"* ]]; }  # the sections that run only when named
if want memory && ! want big; then sections+=,big; fi
mib=${1:-1024}
rounds=${2:-3}
bash scripts/bootstrap.sh >/dev/null
source scripts/env.sh
command -v makensis >/dev/null || apt-get install -y -qq --no-install-recommends nsis >/dev/null

preset=$(wine_test_preset)
cmake --preset host >/dev/null
cmake --build --preset host --target dtpack >/dev/null
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Setup Uninstaller setup_walk copy_baseline gauge_bench unpack_bench \
  remove_bench wine_idle sha256_bench >/dev/null
bin="$root/build/$preset"
dtpack="$root/build/host/tools/dtpack/dtpack"
nsis_target=$([ "$preset" = windows ] && echo x86-unicode || echo amd64-unicode)
# The commit a build folder was made from, as far as its source folder tells (the results file
# that this script appends to does not count as a change).
commit_of() {  # commit_of BUILD-DIR
  local source
  source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$1/CMakeCache.txt" 2>/dev/null)
  if [ -n "$source" ] && git -C "$source" rev-parse --short HEAD 2>/dev/null; then
    [ -z "$(git -C "$source" status --porcelain --untracked-files=no -- . ':!bench/results.md' 2>/dev/null)" ] ||
      echo "with uncommitted changes"
  else
    echo "unknown"
  fi
}
builds="build $preset at $(commit_of "$bin" | paste -sd ' ')"
if [ -n "$base" ]; then
  pe_kind() { file -b "$1" | cut -d ' ' -f 1; }  # PE32 or PE32+
  [ "$(pe_kind "$base/src/setup/Setup.exe")" = "$(pe_kind "$bin/src/setup/Setup.exe")" ] ||
    { echo "bench: the baseline $base is not a build of the preset $preset" >&2; exit 2; }
  builds+=" against the baseline $base at $(commit_of "$base" | paste -sd ' ')"
fi

work="$root/build/bench"
disk=""
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
ms() { date +%s%3N; }
report=()
say() { echo "$*"; report+=("$*"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
# The median and the spread of the numbers given.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
spread() { printf '%s\n' "$@" | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print hi - lo }'; }
per() { awk -v t="$1" -v n="$2" 'BEGIN { printf "%.2f", t / n }'; }  # per MS COUNT
figure() { echo "$(median "$@") ms (spread $(spread "$@"); runs $(IFS=/; echo "$*"))"; }  # figure MS...

# One distribution folder: Setup.exe and ProgramFiles.dt made from a folder of files.
make_dist() {  # make_dist NAME FOLDER: the distribution folder $work/NAME-dist
  mkdir -p "$work/$1-dist"
  cp "$bin/src/setup/Setup.exe" "$work/$1-dist/"
  "$dtpack" pack "$work/$1-dist/ProgramFiles.dt" "%InstallDir%=$2" >/dev/null
  [ -z "$base" ] || make_base_dist "$1"
}
# The baseline's distribution folder $work/NAME-base-dist: its Setup.exe with the very same
# archive (a second name of the file, not a copy).
make_base_dist() {  # make_base_dist NAME
  mkdir -p "$work/$1-base-dist"
  cp "$base/src/setup/Setup.exe" "$work/$1-base-dist/"
  ln "$work/$1-dist/ProgramFiles.dt" "$work/$1-base-dist/ProgramFiles.dt"
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
wizard_run() {  # wizard_run NAME TARGET [OPTION...]: "<ms> <peak bytes>"
  local out
  out=$(bash scripts/wine-run.sh "$bin/tools/driver/setup_walk.exe" "$(winpath "$work/$1-dist/Setup.exe")" \
    --folder "$(winpath "$2")" "${@:3}")
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
# A contender "A+B" is a pair, this build's A and the baseline's B: they run one right after the
# other, the baseline first in every other round.
take_turns() {  # take_turns CONTENDER...
  local contenders=("$@") round i contender
  for round in $(seq 1 "$rounds"); do
    start=$(wine_start)
    for i in $(seq 0 $(($# - 1))); do
      rm -rf "$work/out"; sync
      contender=${contenders[$(( (i + round - 1) % $# ))]}
      case "$contender" in
        *+*) if (( round % 2 )); then "${contender%+*}"; else "${contender#*+}"; fi
             rm -rf "$work/out"; sync
             if (( round % 2 )); then "${contender#*+}"; else "${contender%+*}"; fi ;;
        *) "$contender" ;;
      esac
    done
    rm -rf "$work/out"
  done
}
# The contender of this build's runs by FUNCTION, paired with the baseline's (FUNCTION_base)
# when there is a baseline.
paired() { if [ -n "$base" ]; then echo "$1+$1_base"; else echo "$1"; fi; }  # paired FUNCTION
# This build's figure against the baseline's, with their ratio and the ratios of the rounds
# (the two ran one right after the other in each round).
against() {  # against WHAT CURRENT-ARRAY BASELINE-ARRAY
  local -n a_now=$2 a_then=$3
  say "  $1: this build $(figure "${a_now[@]}"); baseline $(figure "${a_then[@]}"); this build / baseline = $(ratio "$(median "${a_now[@]}")" "$(median "${a_then[@]}")") (the rounds' own ratios $(round_ratios a_now a_then))"
}
round_ratios() {  # round_ratios ARRAY ARRAY: "LOW to HIGH" of the ratios round by round
  local -n r_a=$1 r_b=$2
  paste -d ' ' <(printf '%s\n' "${r_a[@]}") <(printf '%s\n' "${r_b[@]}") |
    awk '$2 > 0 { r = $1 / $2; if (n++ == 0 || r < lo) lo = r; if (n == 1 || r > hi) hi = r }
      END { if (n) printf "%.2f to %.2f", lo, hi; else print "n/a" }'
}
same_file() {  # same_file EXPECTED WRITTEN WHO
  cmp -s "$1" "$2" || { echo "bench: $3 wrote a different file" >&2; exit 1; }
}

# The uninstallation: Setup.exe installs 1023 files of 4 KiB and Uninstaller.exe (an archive
# holds at most 1024 entries) unattended, then "<folder>\Uninstaller.exe" /VERYSILENT removes
# them; against an NSIS installer of the same files whose uninstaller deletes each file by name,
# then each folder (RMDir, not /r), then its uninstall key, run in place (_?=) and waited for.
# Only the uninstallers are timed; each round installs anew.
make_nsis_uninstall() {  # make_nsis_uninstall NAME FOLDER
  local key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvu bench NSIS' path
  {
    cat <<NSI
Unicode true
Target $nsis_target
SetCompress off
RequestExecutionLevel admin
OutFile "$work/$1-nsis.exe"
InstallDir "C:\\nsis-unused"
Section
  SetOutPath "\$INSTDIR"
  File /r "$2/*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
  WriteRegStr HKLM "$key" DisplayName "Korvu bench NSIS"
  WriteRegStr HKLM "$key" UninstallString '"\$INSTDIR\\uninst.exe"'
  WriteRegStr HKLM "$key" QuietUninstallString '"\$INSTDIR\\uninst.exe" /S'
  WriteRegStr HKLM "$key" InstallLocation "\$INSTDIR"
SectionEnd
Section Uninstall
NSI
    while IFS= read -r path; do echo "  Delete \"\$INSTDIR\\${path//\//\\}\""; done < <(cd "$2" && find . -type f | sed 's|^\./||' | sort)
    echo "  Delete \"\$INSTDIR\\uninst.exe\""
    while IFS= read -r path; do echo "  RMDir \"\$INSTDIR\\${path//\//\\}\""; done < <(cd "$2" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r)
    cat <<NSI
  RMDir "\$INSTDIR"
  DeleteRegKey HKLM "$key"
SectionEnd
NSI
  } >"$work/$1.nsi"
  makensis -V1 "$work/$1.nsi" >/dev/null
}
# The helper that an uninstaller starts to remove it after its end (it holds the single-instance
# guard until its process ends: an installation started meanwhile would end with exit code 6).
helper_running() { grep -qsa -- '/REMOVE-AFTER-EXI[T]' /proc/[0-9]*/cmdline; }
uninstall_section() {
  local files=1023 folder="$work/out" regview=()
  if [ "$preset" = windows ]; then regview=(/reg:32); fi  # the 32-bit programs' view
  mkdir -p "$work/unfiles"
  for i in $(seq 1 "$files"); do cp "$work/small/f$i.bin" "$work/unfiles/"; done
  # The distribution $work/NAME-dist of the files and the Uninstaller.exe of BUILD-DIR.
  make_uninstall_dist() {  # make_uninstall_dist NAME BUILD-DIR
    mkdir -p "$work/$1-dist"
    cp "$2/src/setup/Setup.exe" "$work/$1-dist/"
    "$dtpack" pack "$work/$1-dist/ProgramFiles.dt" "%InstallDir%=$work/unfiles" \
      "%InstallDir%\\Uninstaller.exe=$2/src/uninstall/Uninstaller.exe" >/dev/null
  }
  make_uninstall_dist un "$bin"
  [ -z "$base" ] || make_uninstall_dist un-base "$base"
  make_nsis_uninstall un "$work/unfiles"
  local ours=() inside=() theirs=() helper=() logged=() gone=() t0 t1 t2 code nsis_left=""
  local ours_base=() inside_base=() helper_base=() logged_base=() gone_base=()
  uninstall_ours() { uninstall_run un ours inside helper logged gone; }
  uninstall_ours_base() { uninstall_run un-base ours_base inside_base helper_base logged_base gone_base; }
  # Installs from $work/NAME-dist, untimed, then times its Uninstaller.exe and its helper.
  uninstall_run() {  # uninstall_run NAME TOTAL INSIDE HELPER LOGGED GONE: the names of the arrays that take the figures
    local log="$work/$1-uninstall.log"
    local -n u_total=$2 u_inside=$3 u_helper=$4 u_logged=$5 u_gone=$6
    code=0
    bash scripts/wine-run.sh "$work/$1-dist/Setup.exe" /VERYSILENT "/DIR=$(winpath "$folder")" \
      "/LOG=$(winpath "$work/$1-setup.log")" || code=$?
    [ "$code" = 0 ] && [ -f "$folder/Uninstaller.exe" ] ||
      { echo "bench: the installation before the uninstallation failed (exit code $code)" >&2; exit 1; }
    rm -f "$log"
    t0=$(ms)
    bash scripts/wine-run.sh "$folder/Uninstaller.exe" /VERYSILENT "/LOG=$(winpath "$log")" || code=$?
    t1=$(ms)
    [ "$code" = 0 ] || { echo "bench: the uninstallation ended with exit code $code" >&2; exit 1; }
    u_total+=($(( t1 - t0 - start )))
    u_inside+=("$(awk '/ result: / { for (i = 1; i < NF; i++) if ($i == "duration") printf "%.0f", $(i + 1) * 1000 }' "$log")")
    until grep -qs 'helper: done' "$log"; do
      (( $(ms) - t1 < 60000 )) || { echo "bench: the helper did not finish" >&2; exit 1; }
      sleep 0.005
    done
    t2=$(ms)
    u_helper+=($(( t2 - t1 )))
    # The same by the log's own clock: from the uninstaller's result line to the helper's last.
    u_logged+=("$(awk '{ split($2, t, ":"); at = (t[1] * 60 + t[2]) * 60000 + t[3] * 1000 }
      / result: / { from = at } / helper: done/ { printf "%.0f", at - from }' "$log")")
    while helper_running; do sleep 0.005; done
    u_gone+=($(( $(ms) - t1 )))
    [ ! -e "$folder" ] || { echo "bench: the uninstallation left $folder:" >&2; ls -A "$folder" | head >&2; exit 1; }
    # The helper's copy in the temporary folder is otherwise left to the next restart.
    local helper_copy
    helper_copy=$(sed -n 's/.*the helper "[Cc]:\\\(.*\)" removes the uninstaller.*/\1/p' "$log")
    [ -z "$helper_copy" ] || rm -f "$WINEPREFIX/drive_c/${helper_copy//\\//}"
  }
  uninstall_nsis() {
    code=0
    bash scripts/wine-run.sh "$work/un-nsis.exe" /S "/D=$(winpath "$folder")"
    [ -f "$folder/uninst.exe" ] || { echo "bench: the NSIS installation failed" >&2; exit 1; }
    t0=$(ms)
    bash scripts/wine-run.sh "$folder/uninst.exe" /S "_?=$(winpath "$folder")" || code=$?
    t1=$(ms)
    [ "$code" = 0 ] || { echo "bench: the NSIS uninstallation ended with exit code $code" >&2; exit 1; }
    theirs+=($(( t1 - t0 - start )))
    [ -z "$(find "$folder" -name '*.bin' 2>/dev/null)" ] || { echo "bench: the NSIS uninstaller left files" >&2; exit 1; }
    nsis_left=$( [ -e "$folder/uninst.exe" ] && echo "uninst.exe and its folder stay, for the caller" ||
      echo "it deleted uninst.exe and the folder itself")
  }
  take_turns "$(paired uninstall_ours)" uninstall_nsis
  local key
  for key in 'Korvu v5.02 build Ostelan' 'Korvu bench NSIS'; do
    if bash scripts/wine-run.sh reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$key" "${regview[@]}" >/dev/null 2>&1; then
      echo "bench: the uninstall entry \"$key\" is still there" >&2; exit 1
    fi
  done
  local o h
  o=$(median "${ours[@]}") h=$(median "${theirs[@]}")
  say "uninstalling $files x 4 KiB and the uninstaller, unattended, waited for: Uninstaller.exe /VERYSILENT (with its log, $(grep -c 'removed: file ".*\.bin"' "$work/un-uninstall.log") files logged removed) $(figure "${ours[@]}"), of which inside its process (the log's duration) $(figure "${inside[@]}"); NSIS uninst.exe /S _?= $(figure "${theirs[@]}")"
  say "  per file: Uninstaller.exe $(per "$o" "$files") ms, NSIS $(per "$h" "$files") ms; Uninstaller / NSIS = $(ratio "$o" "$h") (goal 1.0 at most; the rounds' own ratios $(paste -d ' ' <(printf '%s\n' "${ours[@]}") <(printf '%s\n' "${theirs[@]}") | awk '{ r = $1 / $2; if (NR == 1 || r < lo) lo = r; if (NR == 1 || r > hi) hi = r } END { printf "%.2f to %.2f", lo, hi }'))"
  say "  after the uninstaller's end: its helper done (Uninstaller.exe and the folder gone) $(figure "${helper[@]}") (by the log's clock, from the uninstaller's result line $(figure "${logged[@]}")), the helper's process ended $(figure "${gone[@]}"); NSIS run in place: $nsis_left"
  if [ -n "$base" ]; then
    against "Uninstaller.exe /VERYSILENT, waited for (the baseline's log: $(grep -c 'removed: file ".*\.bin"' "$work/un-base-uninstall.log") files removed)" ours ours_base
    against "  of which inside its process (the log's duration)" inside inside_base
    against "its helper done after the uninstaller's end" helper helper_base
    against "  the helper's process ended" gone gone_base
  fi
  say "  the removal's work per file, step by step: $(bash scripts/wine-run.sh "$bin/bench/remove_bench.exe" \
    "$(winpath "$work/remove-steps")" "$files" | tr -d '\r' | sed -n 's/^remove_bench: //p' | paste -sd ';' | sed 's/;/; /g')"
}

# The repair: the 1024 files of 4 KiB installed unattended (untimed), then the same distribution
# unattended into the same folder once more, timed: every file replaces one already there (its
# data flushed before the rename over the old one).
repair_section() {
  local again=() again_base=() first=() first_base=()
  repair_ours() { repair_run small again first; }
  repair_ours_base() { repair_run small-base again_base first_base; }
  repair_run() {  # repair_run NAME ARRAY FIRST-ARRAY
    local -n r_times=$2 r_first=$3
    r_first+=("$(unattended_run "$1" "$work/out" "$start")")
    r_times+=("$(unattended_run "$1" "$work/out" "$start")")
    local i
    for i in 1 512 1024; do same_file "$work/small/f$i.bin" "$work/out/f$i.bin" "the second run"; done
  }
  take_turns "$(paired repair_ours)"
  say "1024 x 4 KiB installed again into the same folder, unattended (every file replaces one already there; the log: $(grep -c ' bytes: written' "$work/small-unattended.log") entries): $(figure "${again[@]}"), per entry $(per "$(median "${again[@]}")" 1024) ms; the first installation into a new folder, untimed before it, $(figure "${first[@]}")"
  if [ -n "$base" ]; then
    against "1024 x 4 KiB installed again into the same folder, unattended" again again_base
    against "  the first installation into a new folder before it" first first_base
  fi
}

# A sealed distribution $work/NAME-sealed-dist: this build's Setup.exe of $work/NAME-dist sealed
# with its archive, beside the very same archive (a second name of the file).
make_sealed_dist() {  # make_sealed_dist NAME
  mkdir -p "$work/$1-sealed-dist"
  "$dtpack" seal --setup "$work/$1-dist/Setup.exe" --program-files "$work/$1-dist/ProgramFiles.dt" \
    -o "$work/$1-sealed-dist/Setup.exe" >/dev/null
  ln "$work/$1-dist/ProgramFiles.dt" "$work/$1-sealed-dist/ProgramFiles.dt"
}
# Unsealed against sealed by turns, unattended, for the small and the large payload; the wizard
# too, 3 s on the Settings page before "Начать" (a sealed one checks meanwhile, then "Начать" waits
# for what is left of the check). Then SHA-256's own throughput.
sealed_section() {
  local read_ms=3000 bytes=$(( mib * 1024 * 1024 ))
  local su=() ss=() bu=() bs=() sw=() sws=() bw=() bws=() t out
  sealed_small_plain() { su+=("$(unattended_run small "$work/out" "$start")"); }
  sealed_small_sealed() { ss+=("$(unattended_run small-sealed "$work/out" "$start")"); }
  sealed_big_plain() {
    bu+=("$(unattended_run big "$work/out" "$start")")
    same_file "$work/big/payload.bin" "$work/out/payload.bin" "the unsealed run"
  }
  sealed_big_sealed() {
    bs+=("$(unattended_run big-sealed "$work/out" "$start")")
    same_file "$work/big/payload.bin" "$work/out/payload.bin" "the sealed run"
  }
  sealed_small_wizard() { read -r t out < <(wizard_run small "$work/out" --read "$read_ms"); sw+=("$t"); }
  sealed_small_wizard_sealed() { read -r t out < <(wizard_run small-sealed "$work/out" --read "$read_ms"); sws+=("$t"); }
  sealed_big_wizard() { read -r t out < <(wizard_run big "$work/out" --read "$read_ms"); bw+=("$t"); }
  sealed_big_wizard_sealed() { read -r t out < <(wizard_run big-sealed "$work/out" --read "$read_ms"); bws+=("$t"); }
  take_turns sealed_small_plain sealed_small_sealed
  take_turns sealed_big_plain sealed_big_sealed
  for t in small big; do
    grep -q 'matches the seal' "$work/$t-sealed-unattended.log" ||
      { echo "bench: the sealed run's log ($t) does not say that its archive matches the seal" >&2; exit 1; }
  done
  local a b d line sha=() fastest
  a=$(median "${su[@]}") b=$(median "${ss[@]}")
  say "1024 x 4 KiB, unattended: unsealed $(figure "${su[@]}"); sealed $(figure "${ss[@]}"); sealed / unsealed = $(ratio "$b" "$a") (goal 1.1 at most; the rounds' own ratios $(round_ratios ss su))"
  a=$(median "${bu[@]}") b=$(median "${bs[@]}") d=$(( $(median "${bs[@]}") - $(median "${bu[@]}") ))
  say "$mib MiB, unattended: unsealed $(figure "${bu[@]}"); sealed $(figure "${bs[@]}"); sealed / unsealed = $(ratio "$b" "$a") (the rounds' own ratios $(round_ratios bs bu)); the check's throughput, bytes / (sealed - unsealed): $(awk -v n="$bytes" -v d="$d" 'BEGIN { if (d > 0) printf "%.0f MB/s (%d ms more)", n / d / 1000, d; else printf "n/a (%d ms more)", d }')"
  while IFS= read -r line; do sha+=("$line"); done < <(bash scripts/wine-run.sh "$bin/bench/sha256_bench.exe" \
    "$(( mib < 256 ? mib : 256 ))" 3 | tr -d '\r' | sed -n 's/^  *\(.*[^ ]\)  *\([0-9][0-9]*\) MB\/s.*/\1: \2 MB\/s/p')
  say "  SHA-256 in memory (sha256_bench, best of 3): $(IFS=';'; echo "${sha[*]}" | sed 's/;/; /g')"
  # The check's engine: the SHA instructions where the processor has them, else the portable code.
  fastest=$(printf '%s\n' "${sha[@]}" | awk -F': ' '/^SHA instructions/ { f = $2 + 0 } /^portable/ { p = $2 + 0 }
    END { print (f ? f : p) }')
  say "  goal for $mib MiB: sealed at most unsealed + bytes / throughput + 5 % = $(awk -v u="$a" -v n="$bytes" -v f="$fastest" \
    'BEGIN { if (f > 0) printf "%.0f ms (%d + %.0f at %d MB/s, + 5 %%)", (u + n / f / 1000) * 1.05, u, n / f / 1000, f; else print "n/a" }'); sealed $b ms"
  take_turns sealed_small_wizard sealed_small_wizard_sealed
  take_turns sealed_big_wizard sealed_big_wizard_sealed
  say "  the wizard, $(( read_ms / 1000 )) s on the Settings page, then from \"Начать\" to the Finish page: 1024 x 4 KiB unsealed $(figure "${sw[@]}"), sealed $(figure "${sws[@]}") (sealed / unsealed = $(ratio "$(median "${sws[@]}")" "$(median "${sw[@]}")")); $mib MiB unsealed $(figure "${bw[@]}"), sealed $(figure "${bws[@]}") (sealed / unsealed = $(ratio "$(median "${bws[@]}")" "$(median "${bw[@]}")"), sealed - unsealed = $(( $(median "${bws[@]}") - $(median "${bw[@]}") )) ms)"
}

bench() {
  echo "== payloads"
  rm -rf "$work"
  mkdir -p "$work"
  # As root, the work folder is a RAM disk unless --disk asks for the real one: on a virtual
  # machine's disk the writes of 1 GiB swing by seconds from round to round, which would drown
  # the programs' own differences; but only the real disk shows what flushes and renames cost.
  if [ -n "$on_disk" ]; then
    disk="the build folder's disk (--disk)"
  elif [ "$(id -u)" -ne 0 ]; then
    disk="the build folder's disk (no RAM disk without root)"
  elif mount -t tmpfs -o size=$(( mib * 5 + 512 ))m tmpfs "$work"; then
    trap 'umount "$work"' EXIT
    disk="a RAM disk"
  else
    disk="the build folder's disk (the RAM disk could not be mounted)"
  fi
  disk+=": $work on $(df --output=source,fstype "$work" | awk 'NR == 2 { print ($1 == $2 ? $2 : $1 " (" $2 ")") }')"
  echo "== work folder: $disk"
  if want big || want one-file; then
    mkdir -p "$work/big"
    head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/big/payload.bin"
    make_dist big "$work/big"; make_nsis big "$work/big"
  fi
  if want memory; then
    mkdir -p "$work/tiny"
    head -c $((1024 * 1024)) /dev/urandom >"$work/tiny/payload.bin"
    make_dist tiny "$work/tiny"
  fi
  if asked sealed && ! want big; then
    mkdir -p "$work/big"
    head -c "$((mib * 1024 * 1024))" /dev/urandom >"$work/big/payload.bin"
    make_dist big "$work/big"
  fi
  if want small || want uninstall || asked repair || asked sealed; then
    mkdir -p "$work/small"
    for i in $(seq 1 1024); do head -c 4096 /dev/urandom >"$work/small/f$i.bin"; done
    if want small; then make_dist small "$work/small"; make_nsis small "$work/small"; fi
    if ! want small && { asked repair || asked sealed; }; then make_dist small "$work/small"; fi
  fi
  if asked sealed; then
    make_sealed_dist big; make_sealed_dist small
  fi
  sleep 3  # the Wine session's own start-up settles first

  local copy=() wizard=() unattended=() nsis=() peak=() wizard_base=() unattended_base=() start out t c w u n
  if want big; then
    echo "== 1. one payload of $mib MiB, $rounds rounds"
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
    big_wizard_base() {
      read -r t out < <(wizard_run big-base "$work/out"); wizard_base+=("$t")
      same_file "$work/big/payload.bin" "$work/out/payload.bin" "the baseline's wizard"
    }
    big_unattended_base() {
      unattended_base+=("$(unattended_run big-base "$work/out" "$start")")
      same_file "$work/big/payload.bin" "$work/out/payload.bin" "the baseline's unattended run"
    }
    take_turns big_copy "$(paired big_wizard)" "$(paired big_unattended)" big_nsis
    c=$(median "${copy[@]}") w=$(median "${wizard[@]}") u=$(median "${unattended[@]}") n=$(median "${nsis[@]}")
    say "$mib MiB: plain Win32 copy $(figure "${copy[@]}"); wizard $(figure "${wizard[@]}"); unattended $(figure "${unattended[@]}"); NSIS $(figure "${nsis[@]}")"
    say "  wizard / plain copy = $(ratio "$w" "$c") (goal 1.05 at most); unattended / plain copy = $(ratio "$u" "$c"); NSIS / wizard = $(ratio "$n" "$w")"
    if [ -n "$base" ]; then
      against "$mib MiB, wizard" wizard wizard_base
      against "$mib MiB, unattended" unattended unattended_base
    fi
  fi

  if want one-file; then
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
  fi

  if want small; then
    echo "== 2. 1024 files of 4 KiB, $rounds rounds"
    tar -C "$work/small" -cf "$work/small.tar" .
    local tar=() swizard=() sunattended=() snsis=() swizard_base=() sunattended_base=()
    small_tar() {
      mkdir -p "$work/out"; t=$(ms); tar -C "$work/out" -xf "$work/small.tar"; tar+=($(( $(ms) - t )))
    }
    small_wizard() { read -r t out < <(wizard_run small "$work/out"); swizard+=("$t"); }
    small_unattended() { sunattended+=("$(unattended_run small "$work/out" "$start")"); }
    small_nsis() { snsis+=("$(nsis_run small "$work/out" "$start")"); }
    small_wizard_base() { read -r t out < <(wizard_run small-base "$work/out"); swizard_base+=("$t"); }
    small_unattended_base() { sunattended_base+=("$(unattended_run small-base "$work/out" "$start")"); }
    take_turns small_tar "$(paired small_wizard)" "$(paired small_unattended)" small_nsis
    w=$(median "${swizard[@]}") u=$(median "${sunattended[@]}") n=$(median "${snsis[@]}")
    say "1024 x 4 KiB: tar -x $(figure "${tar[@]}"); wizard $(figure "${swizard[@]}"); unattended (with its log, $(grep -c ' bytes: written' "$work/small-unattended.log") entries logged) $(figure "${sunattended[@]}"); NSIS $(figure "${snsis[@]}")"
    say "  per entry: wizard $(per "$w" 1024) ms, unattended $(per "$u" 1024) ms, NSIS $(per "$n" 1024) ms"
    say "  wizard / NSIS = $(ratio "$w" "$n") (goal 0.7 at most); unattended / NSIS = $(ratio "$u" "$n") (goal 0.5 at most)"
    if [ -n "$base" ]; then
      against "1024 x 4 KiB, wizard" swizard swizard_base
      against "1024 x 4 KiB, unattended (the baseline's log: $(grep -c ' bytes: written' "$work/small-base-unattended.log") entries)" sunattended sunattended_base
    fi
    say "  the extraction alone, step by step: $(bash scripts/wine-run.sh "$bin/bench/unpack_bench.exe" \
      "$(winpath "$work/small-dist/ProgramFiles.dt")" "$(winpath "$work/unpack-small")" | tr -d '\r' |
      sed -n 's/^unpack_bench: //p' | paste -sd ';' | sed 's/;/; /g')"
    say "  the installation record's cost to the extraction: $(bash scripts/wine-run.sh "$bin/bench/unpack_bench.exe" \
      --record "$(winpath "$work/small-dist/ProgramFiles.dt")" "$(winpath "$work/unpack-record")" | tr -d '\r' |
      sed -n 's/^unpack_bench: //p' | paste -sd ';' | sed 's/;/; /g')"
  fi

  if want memory; then
    echo "== 3. peak memory"
    local tiny_peak big_peak
    read -r t tiny_peak < <(wizard_run tiny "$work/out"); rm -rf "$work/out"
    big_peak=$(median "${peak[@]}")
    say "peak working set: $((big_peak / 1024)) KiB with a $mib MiB payload, $((tiny_peak / 1024)) KiB with a 1 MiB payload (difference $(( (big_peak - tiny_peak) / 1024 )) KiB; goal within 1024)"
  fi

  if want gauge; then
    echo "== 4. the gauge and the wizard's view per entry"
    local line
    while IFS= read -r line; do say "$line"; done < <(bash scripts/wine-run.sh "$bin/bench/gauge_bench.exe" 1024 | tr -d '\r' |
      sed -n 's/^gauge_bench: //p')
  fi

  if want uninstall; then
    echo "== 5. uninstalling 1023 files of 4 KiB, $rounds rounds"
    uninstall_section
  fi

  if asked repair; then
    echo "== 6. installing 1024 files of 4 KiB again into the same folder, $rounds rounds"
    repair_section
  fi

  if asked sealed; then
    echo "== 7. unsealed against sealed: 1024 files of 4 KiB and one payload of $mib MiB, $rounds rounds"
    sealed_section
  fi

  say "(all on $disk; a Wine process start costs about ${start:-?} ms, subtracted from the figures timed from outside: the unattended runs, the uninstallers and the NSIS installer)"
}

if [ "${SETUP_BENCH_INSIDE:-}" != 1 ]; then
  # Everything below runs once more inside one Wine session (display and waiting process).
  again=(--only "$sections")
  [ -z "$base" ] || again+=(--baseline "$base")
  [ -z "$on_disk" ] || again+=(--disk)
  SETUP_BENCH_INSIDE=1 exec bash scripts/wine-session.sh --idle "$bin/tests/wine_idle.exe" \
    bash bench/run.sh "${again[@]}" "$mib" "$rounds"
fi
[ -z "$base" ] || say "this build ($(commit_of "$bin" | paste -sd ' ')) against the baseline $base ($(commit_of "$base" | paste -sd ' ')): its Setup.exe and Uninstaller.exe, run with this build's driver and archives, one right after this build's in each round, the baseline first in every other round"
bench

{
  echo
  echo "## $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -r), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo 'Wine ?'), $builds"
  for line in "${report[@]}"; do echo "- $line"; done
} >>"$root/bench/results.md"
echo "results appended to bench/results.md"
