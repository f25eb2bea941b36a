#!/usr/bin/env bash
# The run command: builds Setup.exe, the packaging tool and the demo distribution in out/demo
# (Setup.exe, ProgramFiles.dt, SystemFiles.dt), then starts the wizard under Wine: on your display
# when DISPLAY is set; otherwise on a virtual display, walking through the wizard with the default
# folder and saving a screenshot of each page in out/demo/screenshots, then walking through the
# uninstallation the same way (the question, the progress window, the final box). Besides the files of demo/,
# the product gets a thousand generated map tiles (32 MiB), so that its run takes a few seconds
# and the progress page can be seen at work.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
source scripts/env.sh

echo "== building"
cmake --preset host >/dev/null
cmake --build --preset host --target dtpack
cmake --preset windows >/dev/null
cmake --build --preset windows --target Setup Uninstaller  # the product, 32-bit
preset=$(wine_test_preset)  # the Windows build that this machine's Wine can run
if [ "$preset" != windows ]; then
  echo "(this kernel runs no 32-bit programs: the demo runs the 64-bit build of the same sources)"
  cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset" --target Setup Uninstaller record_command_line setup_walk uninstall_walk \
  wine_idle
bin="build/$preset"

echo "== packing the demo distribution"
dtpack=build/host/tools/dtpack/dtpack
out=out/demo
rm -rf "$out"
mkdir -p "$out"
cp "$bin/src/setup/Setup.exe" "$out/"
standin="$bin/demo/record_command_line.exe"
tiles=build/demo-tiles
if [ ! -f "$tiles/tile-1000.dat" ]; then
  python3 - "$tiles" <<'PY'
import os, random, sys
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
rng = random.Random(502)  # the same tiles on every machine
for i in range(1, 1001):
    with open(os.path.join(folder, f"tile-{i:04d}.dat"), "wb") as tile:
        tile.write(rng.randbytes(32768))
PY
fi
"$dtpack" pack "$out/ProgramFiles.dt" "%InstallDir%=demo/ProgramFiles" \
  "%InstallDir%\\Maps\\Tiles=$tiles" \
  "%InstallDir%\\REGSVR32.EXE=$standin" "%InstallDir%\\RegTypLib.exe=$standin" \
  "%InstallDir%\\Uninstaller.exe=$bin/src/uninstall/Uninstaller.exe"
"$dtpack" pack "$out/SystemFiles.dt" "%Fonts%\\korvu-demo.fon=demo/SystemFiles/korvu-demo.fon" \
  "%System32%\\korvu50.hlp=demo/SystemFiles/korvu50.hlp" "%WinDir%\\korvu.ini=demo/SystemFiles/korvu.ini"
"$dtpack" verify "$out/ProgramFiles.dt"
"$dtpack" verify "$out/SystemFiles.dt"

windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
if [ -n "${DISPLAY:-}" ]; then
  echo "== starting the wizard on $DISPLAY"
  bash scripts/wine-run.sh "$(windows_path "$out/Setup.exe")"
else
  echo "== no display: walking through the wizard on a virtual display"
  mkdir -p "$out/screenshots"
  bash scripts/wine-session.sh --idle "$bin/tests/wine_idle.exe" \
    bash scripts/wine-run.sh "$bin/tools/driver/setup_walk.exe" \
    "$(windows_path "$out/Setup.exe")" --shots "$(windows_path "$out/screenshots")"
  echo "== walking through the uninstallation"
  bash scripts/wine-session.sh --idle "$bin/tests/wine_idle.exe" \
    bash scripts/wine-run.sh "$bin/tools/driver/uninstall_walk.exe" \
    'C:\Program Files\Ostelan\Korvu\Uninstaller.exe' --shots "$(windows_path "$out/screenshots")"
  if command -v convert >/dev/null; then
    for bmp in "$out"/screenshots/*.bmp; do convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"; done
  fi
  echo "screenshots: $out/screenshots"
fi
