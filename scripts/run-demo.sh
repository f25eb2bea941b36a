#!/usr/bin/env bash
# The run command: builds the packaging tool and packs the demo distribution into out/demo, then
# lists and verifies the archives.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
cmake --preset host >/dev/null
cmake --build --preset host --target dtpack
dtpack=build/host/tools/dtpack/dtpack
mkdir -p out/demo
"$dtpack" pack out/demo/ProgramFiles.dt "%InstallDir%=demo/ProgramFiles"
"$dtpack" pack out/demo/SystemFiles.dt "%Fonts%\\korvu-demo.fon=demo/SystemFiles/korvu-demo.fon"
for archive in out/demo/ProgramFiles.dt out/demo/SystemFiles.dt; do
  echo "== $archive"
  "$dtpack" list "$archive"
  "$dtpack" verify "$archive"
done
