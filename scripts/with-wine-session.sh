#!/usr/bin/env bash
# Runs a command (CTest, for example) after starting the prefix's background programs
# (services.exe, explorer.exe and the rest) with no terminal or pipe of ours. Otherwise the first
# test program under Wine starts them, they inherit its output pipe, and CTest waits for that
# pipe to close until the test times out, although the program itself ended long before. They are
# started with no descriptor of ours at all, so a lock the caller holds (flock) ends with it.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
qx48_wine_prefix_ready
qx48_without_inherited_fds qx48_wine cmd.exe /c exit </dev/null >/dev/null 2>&1
exec "$@"
