#!/usr/bin/env bash
# Builds Setup.exe and Uninstaller.exe twice from copies of the source tree in two folders whose
# paths differ in length, one after the other (so at different clock times), and compares the
# bytes: the same sources and toolchain must give the same programs wherever and whenever they
# are built. Only the two products are built (32-bit), each build under the machine's build lock.
# With the packaging tool given, each build is also sealed and bundled with the same archive.
#   reproducible_build.sh SOURCE_DIR [DTPACK]
set -euo pipefail
source_dir=$(cd "$1" && pwd)
dtpack=${2:-}  # when given, a sealed Setup.exe and a one-file installer of each build too
lock="$source_dir/scripts/build-lock.sh"
work=$(mktemp -d /tmp/setup-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT

build_copy() {  # build_copy DIR: copies the sources to DIR, builds both there, prints their hashes
  local dir=$1
  mkdir -p "$dir"
  tar -C "$source_dir" --exclude=./build --exclude=./out --exclude=./.git -cf - . | tar -C "$dir" -xf -
  (cd "$dir" && bash "$lock" cmake --preset windows >/dev/null &&
    bash "$lock" cmake --build --preset windows --target Setup Uninstaller -j 2 >/dev/null) >&2
  local setup=$dir/build/windows/src/setup/Setup.exe outputs=()
  if [ -n "$dtpack" ]; then
    "$dtpack" seal --setup "$setup" --program-files "$work/ProgramFiles.dt" -o "$dir/sealed.exe" >/dev/null
    "$dtpack" bundle --setup "$setup" --program-files "$work/ProgramFiles.dt" -o "$dir/bundle.exe" >/dev/null
    outputs=("$dir/sealed.exe" "$dir/bundle.exe")
  fi
  sha256sum "$setup" "$dir/build/windows/src/uninstall/Uninstaller.exe" "${outputs[@]}" |
    cut -d' ' -f1 | tr '\n' ' '
}

[ -z "$dtpack" ] || "$dtpack" pack "$work/ProgramFiles.dt" "%InstallDir%=$source_dir/demo/ProgramFiles" >/dev/null

first=$(build_copy "$work/a")
sleep 1
second=$(build_copy "$work/a-folder-whose-path-is-a-good-deal-longer/src")
echo "Setup.exe, Uninstaller.exe${dtpack:+, sealed, one-file}: $first"
echo "Setup.exe, Uninstaller.exe${dtpack:+, sealed, one-file}: $second"
if [ "$first" != "$second" ]; then
  echo "FAIL: two builds of the same sources differ" >&2
  exit 1
fi
echo "reproducible: the two builds are identical"
