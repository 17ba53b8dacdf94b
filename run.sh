#!/usr/bin/env bash
# The main job: installs what is missing, builds, lays out the package, and starts QX48_EWARM_pack
# from the unzipped package on two demo EWARM installations in a fresh Wine prefix.
#   With $DISPLAY the dialog opens for you; close it and this tells what changed.
#   Without one it runs under Xvfb and makes one install run through the real window: the rows
#   are checked, "Driver &patch" is clicked, the final status text is awaited; it saves
#   build/demo/before.png and build/demo/after.png and tells what changed in each installation.
# It runs the 32-bit package where this machine can run 32-bit programs, the 64-bit one where it
# cannot (or with QX48_WINE64_ONLY=1), and says which.
# The exit status is non-zero when the install does not complete.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
start=$(date +%s)
scripts/setup.sh

# A fresh demo prefix each time, so every run starts from the same two installations.
export QX48_WINEPREFIX="$root/build/demo-prefix"
source scripts/wine-env.sh
if [ "$QX48_WIN32_RUNS" = yes ]; then
  preset=windows
  arch=win32
else
  preset=windows64
  arch=win64
fi
echo "Wine: $(qx48_wine_kind)"
echo "the demo runs the $arch package"

cmake --preset flash >/dev/null && cmake --build --preset flash
cmake --preset "$preset" -DQX48_FLASH_IMAGE="$root/build/flash/flashalgo/QX48Flash.FLM" >/dev/null
cmake --build --preset "$preset"
echo "built: $(ls "build/$preset/app/QX48_EWARM_pack.exe") $(ls build/flash/flashalgo/QX48Flash.FLM)"

# The ZIP a user gets (made by the build above, its programs signed), and the demo runs what is in
# it.
# The version is written once, in CMakeLists.txt's project(); the configured build knows it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$preset/CMakeCache.txt")
package_name="QX48_EWARM_pack-$version-$arch"
zip="$root/build/release/$package_name.zip"
echo "package: $zip"

if [ -d "$WINEPREFIX" ]; then
  qx48_wineserver -k </dev/null >/dev/null 2>&1 || true
fi
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
echo "demo prefix: $WINEPREFIX (creating it takes about 20 s)"
qx48_wine_prefix_ready
trap 'qx48_wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
qx48_wineserver -p </dev/null >/dev/null 2>&1

drive_c="$WINEPREFIX/drive_c"
# This Wine does not look in its own font folder, so without a copy the caption buttons show
# letters; C:\windows\Fonts it does read.
cp /usr/share/wine/fonts/*.ttf "$drive_c/windows/Fonts/" 2>/dev/null || true
(cd "$drive_c" && cmake -E tar xf "$zip")
program="C:\\$package_name\\QX48_EWARM_pack.exe"

# Two EWARM installations: 9.30.1 with the older V1.0 patch (and a device file that V2.0 no
# longer has), 9.50.2 never patched. Both have other files that the patch leaves alone.
ewarm="$drive_c/Program Files/IAR Systems"
older_win='C:\Program Files\IAR Systems\Embedded Workbench 9.30'
fresh_win='C:\Program Files\IAR Systems\Embedded Workbench 9.50'
crlf() { mkdir -p "$(dirname "$1")" && printf '%s\r\n' "${@:2}" >"$1"; }
for ew in "Embedded Workbench 9.30" "Embedded Workbench 9.50"; do
  crlf "$ewarm/$ew/arm/config/devices/Generic/Cortex-M0.i79" "[CHIP]" "name=Cortex-M0"
  crlf "$ewarm/$ew/arm/config/linker/generic_cortex.icf" "/* generic Cortex-M linker file */"
done
older="$ewarm/Embedded Workbench 9.30/arm/config"
crlf "$older/devices/QuorVantel/QX48H410xKx.i79" "[CHIP]" "name=QX48H410xKx" "; V1.0"
crlf "$older/devices/QuorVantel/QX48H4xx.i79" "[CHIP]" "name=QX48H4xx" "; V1.0"
crlf "$older/Qorvantel.Version" "[Information]" "Version=1.0" 'Execution="QX48_EWARM_pack"' \
  'Company="QuorVantel"' "" "[Install]" 'Version="V1.0"' 'Date="2025-03-14"'

# Registered as EWARM's installer does: in the 32-bit view (stored below Wow6432Node). The key is
# named without Wow6432Node and imported with /reg:32: a Wow6432Node path imported without a view
# option landed in Wow6432Node\Wow6432Node here.
locations='HKEY_LOCAL_MACHINE\SOFTWARE\IAR Systems\Embedded Workbench\5.0\Locations'
regfile="$root/build/demo-ewarm.reg"
{
  echo "REGEDIT4"
  for pair in "9.30.1|$older_win" "9.50.2|$fresh_win"; do
    version=${pair%%|*}
    folder=${pair#*|}
    echo ""
    echo "[$locations\\EWARM_$version]"
    echo "\"InstallPath\"=\"${folder//\\/\\\\}\""
    echo ""
    echo "[$locations\\EWARM_$version\\Product Families\\ARM\\10.EW]"
    echo "\"Version\"=\"$version\""
  done
} >"$regfile"
qx48_wine reg.exe import "$(sed 's|/|\\|g' <<<"Z:$regfile")" /reg:32 </dev/null >/dev/null 2>&1
echo "registered in the 32-bit view:"
qx48_wine reg.exe query 'HKLM\SOFTWARE\IAR Systems\Embedded Workbench\5.0\Locations' /s /reg:32 \
  </dev/null 2>/dev/null | tr -d '\r' | grep -E 'InstallPath|Version' | sed 's/^ */  /'

driver="Z:$(sed 's|/|\\|g' <<<"$root/build/$preset/tests/e2e/QX48_demo_driver.exe")"
installations=(9.30.1 "$older_win" 9.50.2 "$fresh_win")

if [ -n "${DISPLAY:-}" ]; then
  echo "== The dialog opens on $DISPLAY; close it when you are done."
  qx48_wine "$driver" watch "$program" "${installations[@]}" </dev/null
  echo "== run.sh took $(( $(date +%s) - start )) s"
  exit 0
fi

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
demo_win="Z:$(sed 's|/|\\|g' <<<"$demo")"
echo "== No display: one install run under Xvfb, inside Wine's virtual desktop"
# The virtual desktop draws the window's frame and caption (Xvfb has no window manager); the
# driver starts the program itself, so both are in that desktop and it finds the window.
# Bounded: a program that hangs must end the demo with a failure, never stall it (a crash ends by
# itself, the prefix has Wine's crash dialog off).
demo_limit=300
status=0
timeout --kill-after=10 "$demo_limit" xvfb-run -a -s "-screen 0 900x560x24" \
  "$QX48_WINE_LOADER" explorer.exe /desktop=QX48,900x560 "$driver" run "$program" "$demo_win" "${installations[@]}" \
  </dev/null || status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
  echo "demo failed: no result within $demo_limit s; the demo was stopped"
  exit 1
fi

result=$(head -n 1 "$demo/result.txt" 2>/dev/null || echo "the demo driver left no result")
final=$(sed -n 2p "$demo/result.txt" 2>/dev/null || true)
echo "== run.sh took $(( $(date +%s) - start )) s"
if [ "$result" != ok ]; then
  echo "demo failed: $result"
  exit 1
fi
echo "screenshots: $demo/before.png $demo/after.png"
echo "ran: $program ($arch package)"
echo "$final"
