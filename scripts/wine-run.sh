#!/usr/bin/env bash
# CMake's emulator for the windows build: runs one Windows program in the project's Wine prefix.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qx48_wine_prefix_ready
exec wine "$@" </dev/null
