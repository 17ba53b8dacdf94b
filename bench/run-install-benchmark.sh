#!/usr/bin/env bash
# The install benchmark. Builds what it needs (the flash build, the windows64 build, and the
# 32-bit windows build where this machine runs 32-bit Windows programs), then, under Xvfb in the
# Wine prefix, has the packaged QX48_EWARM_pack install a generated 3,000-file, 30 MB patch
# through its window (into a fresh installation, then over the installed one) and Wine's own
# xcopy copy the same tree the same two ways, and prints the figures of each build: every round,
# the medians, the ratios install/xcopy, the time per file, the peak working set and the time of
# each phase of an install. Then the same with ten times the files and bytes (30,000 files,
# 300 MB), in fewer rounds, for the growth with the patch's size. A benchmark, not a test:
# test.sh does not run it.
#
#   bench/run-install-benchmark.sh [--ram] [rounds [big rounds]]
#
# 5 rounds at 3,000 files and 3 at 30,000 by default (a round of the large patch takes minutes);
# 0 big rounds leaves the large patch out.
#
# --ram works on a drive of the prefix that is a folder of /dev/shm instead of C:. Creating files
# on this machine's disk was slow and uneven (Linux's own cp -r of the tree: 2.2 s on the disk,
# 0.08 s in memory), and much slower for a while after a tree was deleted; in memory what is
# left is what Wine and the two programs do, and that varies far less from round to round.
#
# Its figures are fair only while nothing else runs; where others build on the machine too, take
# the build lock around it: flock -o /tmp/qx48-build.lock bench/run-install-benchmark.sh
# It works in the prefix's C:\qx48-bench (or Q:\qx48-bench) and replaces the EWARM records of the
# prefix's registry (QX48_WINEPREFIX chooses another prefix than the project's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
ram=no
if [ "${1:-}" = --ram ]; then
  ram=yes
  shift
fi
rounds=${1:-5}
big_rounds=${2:-3}

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
  cmake --build --preset "$preset" --target QX48_install_benchmark QX48_install_phases package_layout
done

qx48_wine_prefix_ready
work='C:\qx48-bench'
ram_drive="$WINEPREFIX/dosdevices/q:"
ram_folder=/dev/shm/qx48-bench-$$
made_ram_drive=no
finish() {
  qx48_wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ "$made_ram_drive" = yes ]; then
    rm -f "$ram_drive"
    rm -rf "$ram_folder"
  fi
}
trap finish EXIT
if [ "$ram" = yes ]; then
  if [ -e "$ram_drive" ] || [ -L "$ram_drive" ]; then
    echo "drive Q: of $WINEPREFIX is taken already; --ram needs it" >&2
    exit 1
  fi
  mkdir -p "$ram_folder"
  ln -s "$ram_folder" "$ram_drive"
  made_ram_drive=yes
  work='Q:\qx48-bench'
  echo "work folder: Q:, which is $ram_folder (in memory)"
fi
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
    "$work" 1 </dev/null || status=1
  if [ "$big_rounds" -gt 0 ]; then
    echo
    echo "== $preset, ten times the patch"
    xvfb-run -a -s "-screen 0 1280x1024x24" scripts/with-wine-session.sh \
      "$QX48_WINE_LOADER" "build/$preset/bench/QX48_install_benchmark.exe" "$package" \
      "$big_rounds" "$work" 10 </dev/null || status=1
  fi
done
exit "$status"
