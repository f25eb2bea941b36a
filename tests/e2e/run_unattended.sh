#!/usr/bin/env bash
# Runs the unattended end-to-end tests with what they need from outside Windows: a folder of the
# Wine prefix that is a symbolic link to another folder (a log reached through it must be refused;
# tests/support/with_linked_folder.sh), and the tiny drive T: of with_tiny_disk.sh.
#   run_unattended.sh PROGRAM.exe ARGS...
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
exec "$here/../support/with_linked_folder.sh" "$here/../setup/run/with_tiny_disk.sh" "$@"
