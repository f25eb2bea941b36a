#!/usr/bin/env bash
# Runs a command (a Windows test program through scripts/wine-run.sh, or a script that starts one)
# with a folder of the Wine prefix that is a symbolic link
# to another folder (Windows programs see a reparse point there, as at a junction), named to the
# test by SETUP_LINKED_FOLDER ("C:\setup-linked-<pid>"), and a file that is a symbolic link to a
# file holding "original", named by SETUP_LINKED_FILE (the file it leads to:
# SETUP_LINKED_FILE_TARGET).
# A Windows program under Wine cannot make a link itself; this script makes them on request, for
# as long as the command runs: the program puts a file "<n>.req" holding the link's Windows path, a
# tab and the folder's Windows path (or "-" to remove the link) into the folder SETUP_LINK_REQUESTS,
# and waits for "<n>.done" (support/make_link.h).
#   with_linked_folder.sh COMMAND ARGS...
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/env.sh"
real=$(mktemp -d)
requests=$(mktemp -d)
name="setup-linked-$$"
ln -s "$real" "$WINEPREFIX/drive_c/$name"
printf original >"$real.file"
ln -s "$real.file" "$WINEPREFIX/drive_c/$name.file"
# A Windows path of the prefix's drive C: or of drive Z: as the Linux path it stands for.
unix_path() {
  local path=${1//\\//}
  case "$path" in
    [cC]:/*) echo "$WINEPREFIX/drive_c/${path:3}" ;;
    [zZ]:/*) echo "/${path:3}" ;;
    *) return 1 ;;
  esac
}
serve_links() {
  while [ -d "$requests" ]; do
    for request in "$requests"/*.req; do
      [ -e "$request" ] || continue
      IFS=$'\t' read -r link target <"$request" || true
      target=${target%$'\r'}
      if [ "$target" = - ] && l=$(unix_path "$link") && [ -L "$l" ] && rm "$l"; then
        mv "$request" "${request%.req}.done"
      elif l=$(unix_path "$link") && t=$(unix_path "$target") && ln -s "$t" "$l"; then
        mv "$request" "${request%.req}.done"
      else
        mv "$request" "${request%.req}.failed"
      fi
    done
    sleep 0.02
  done
}
serve_links &
server=$!
trap 'rm -rf "$requests"; wait "$server" 2>/dev/null; rm -f "$WINEPREFIX/drive_c/$name" "$WINEPREFIX/drive_c/$name.file"; rm -rf "$real" "$real.file"' EXIT
export SETUP_LINKED_FOLDER="C:\\$name" SETUP_LINKED_FILE="C:\\$name.file"
# The file the link leads to, as Wine shows the Linux root: drive Z:.
export SETUP_LINKED_FILE_TARGET="Z:$(echo "$real.file" | tr / '\\')"
export SETUP_LINK_REQUESTS="Z:$(echo "$requests" | tr / '\\')"
"$@"
