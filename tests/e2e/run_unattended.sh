#!/usr/bin/env bash
# Runs the unattended end-to-end tests with what they need from outside Windows: a folder of the
# Wine prefix that is a symbolic link to another folder (a log reached through it must be refused),
# named to the test by SETUP_LINKED_FOLDER, and the tiny drive T: of with_tiny_disk.sh.
#   run_unattended.sh PROGRAM.exe ARGS...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/env.sh"
real=$(mktemp -d)
name="setup-linked-$$"
ln -s "$real" "$WINEPREFIX/drive_c/$name"
trap 'rm -f "$WINEPREFIX/drive_c/$name"; rm -rf "$real"' EXIT
export SETUP_LINKED_FOLDER="C:\\$name"
"$here/../setup/run/with_tiny_disk.sh" "$@"
