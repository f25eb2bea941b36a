#!/usr/bin/env bash
# Runs a command while holding the machine's one build lock, so that no two builds or Wine test
# runs overlap (the machine has two cores, and GUI tests on one display steal focus).
#   build-lock.sh cmake --build --preset windows-x64 --target components_tests
exec flock /tmp/setup-build.lock "$@"
