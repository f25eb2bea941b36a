#!/usr/bin/env bash
# Runs a Windows test program with a tiny file system (64 KiB of tmpfs) as drive T: of the Wine
# prefix, so that writes run out of room. Needs root for the mount; without it the program runs
# without the drive, and its tests skip themselves.
#   with_tiny_disk.sh PROGRAM.exe ARGS...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../../scripts/env.sh"
disk=$(mktemp -d)
link="$WINEPREFIX/dosdevices/t:"
mounted=0
cleanup() {
  rm -f "$link"
  [ "$mounted" -eq 1 ] && umount "$disk"
  rmdir "$disk"
}
trap cleanup EXIT
if [ "$(id -u)" -eq 0 ] && [ ! -e "$link" ] && mount -t tmpfs -o size=64k tmpfs "$disk"; then
  mounted=1
  ln -s "$disk" "$link"
  export SETUP_TINY_DRIVE=T:
fi
"$here/../../../scripts/wine-run.sh" "$@"
