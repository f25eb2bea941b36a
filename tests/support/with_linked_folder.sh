#!/usr/bin/env bash
# Runs a command (a Windows test program through scripts/wine-run.sh, or a script that starts one)
# with a folder of the Wine prefix that is a symbolic link
# to another folder (Windows programs see a reparse point there, as at a junction), named to the
# test by SETUP_LINKED_FOLDER ("C:\setup-linked-<pid>"), and a file that is a symbolic link to a
# file holding "original", named by SETUP_LINKED_FILE (the file it leads to:
# SETUP_LINKED_FILE_TARGET).
#   with_linked_folder.sh COMMAND ARGS...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/env.sh"
real=$(mktemp -d)
name="setup-linked-$$"
ln -s "$real" "$WINEPREFIX/drive_c/$name"
printf original >"$real.file"
ln -s "$real.file" "$WINEPREFIX/drive_c/$name.file"
trap 'rm -f "$WINEPREFIX/drive_c/$name" "$WINEPREFIX/drive_c/$name.file"; rm -rf "$real" "$real.file"' EXIT
export SETUP_LINKED_FOLDER="C:\\$name" SETUP_LINKED_FILE="C:\\$name.file"
# The file the link leads to, as Wine shows the Linux root: drive Z:.
export SETUP_LINKED_FILE_TARGET="Z:$(echo "$real.file" | tr / '\\')"
"$@"
