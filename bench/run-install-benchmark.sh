#!/usr/bin/env bash
# The install benchmark. Builds what it needs (the flash build, the windows64 build, and the
# 32-bit windows build where this machine runs 32-bit Windows programs), then, under Xvfb in the
# Wine prefix, has the packaged QX48_EWARM_pack install a generated 3,000-file, 30 MB patch
# through its window (into a fresh installation, then over the installed one) and Wine's own
# xcopy copy the same tree the same two ways, and prints the figures of each build: every round,
# the medians and the ratios install/xcopy. A benchmark, not a test: test.sh does not run it.
#
#   bench/run-install-benchmark.sh [rounds]       (5 by default)
#
# Its figures are fair only while nothing else runs; where others build on the machine too, take
# the build lock around it: flock -o /tmp/qx48-build.lock bench/run-install-benchmark.sh
# It works in the prefix's C:\qx48-bench and replaces the EWARM records of the prefix's registry
# (QX48_WINEPREFIX chooses another prefix than the project's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rounds=${1:-5}

source scripts/wine-env.sh
echo "Wine: $(qx48_wine_kind)"
presets=(windows64)
if [ "$QX48_WIN32_RUNS" = yes ]; then
  presets+=(windows)
fi

flash_image="$root/build/flash/flashalgo/QX48Flash.FLM"
cmake --preset flash >/dev/null
cmake --build --preset flash
for preset in "${presets[@]}"; do
  cmake --preset "$preset" -DQX48_FLASH_IMAGE="$flash_image" >/dev/null
  cmake --build --preset "$preset" --target QX48_install_benchmark package_layout
done

qx48_wine_prefix_ready
trap 'qx48_wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
# A persistent wine server: without it every Wine process of the benchmark (each program start,
# each xcopy) would start one of its own.
qx48_wineserver -p </dev/null >/dev/null 2>&1

status=0
for preset in "${presets[@]}"; do
  echo
  echo "== $preset"
  package="Z:$(sed 's|/|\\|g' <<<"$root/build/$preset/package")"
  xvfb-run -a -s "-screen 0 1280x1024x24" scripts/with-wine-session.sh \
    "$QX48_WINE_LOADER" "build/$preset/bench/QX48_install_benchmark.exe" "$package" "$rounds" \
    </dev/null || status=1
done
exit "$status"
