#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts QX48_EWARM_pack.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
scripts/setup.sh
cmake --preset flash >/dev/null && cmake --build --preset flash
cmake --preset windows -DQX48_FLASH_IMAGE="$root/build/flash/flashalgo/QX48Flash.FLM" >/dev/null
cmake --build --preset windows
echo "built: $(ls build/windows/app/QX48_EWARM_pack.exe) $(ls build/flash/flashalgo/QX48Flash.FLM)"
