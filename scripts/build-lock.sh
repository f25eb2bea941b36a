#!/usr/bin/env bash
# Runs a command while holding the machine's one build lock, so that no two builds or Wine test
# runs overlap (the machine has two cores, and GUI tests on one display steal focus).
#   build-lock.sh cmake --build --preset windows-x64 --target components_tests
# Re-entrant: a command that already runs under the lock (a test that builds) runs at once.
if [ -n "${SETUP_BUILD_LOCK_HELD:-}" ]; then exec "$@"; fi
export SETUP_BUILD_LOCK_HELD=1
# -o: the command runs without the lock's descriptor, so that a daemon it leaves behind (Wine's
# wineserver and winedevice outlive the programs they serve) cannot go on holding the lock.
exec flock -o /tmp/setup-build.lock "$@"
