#!/usr/bin/env bash
# CMake's emulator for the windows builds: runs one Windows program in the project's Wine prefix,
# with the loader that this machine can run.
#
# The program writes into files of ours, copied to our output once it has ended, never into the
# pipe CTest reads: a Wine background program that the test program happens to start (the
# desktop's explorer.exe, a service) inherits the program's output and outlives it, and CTest
# would wait for that pipe to close until the test's time ran out (seen: classlib_tests done in
# 0.03 s, then held 600 s). The program's own end is what we wait for.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qx48_wine_prefix_ready
output=$(mktemp) errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT
"$QX48_WINE_LOADER" "$@" </dev/null >"$output" 2>"$errors"
status=$?
cat "$output"
cat "$errors" >&2
exit "$status"
