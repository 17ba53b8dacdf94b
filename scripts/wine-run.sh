#!/usr/bin/env bash
# CMake's emulator for the windows builds: runs one Windows program in the project's Wine prefix,
# with the loader that this machine can run.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qx48_wine_prefix_ready
exec "$QX48_WINE_LOADER" "$@" </dev/null
