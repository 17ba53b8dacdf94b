#!/bin/sh
# A standard user's race against an elevated install: while it runs, the installation's devices
# folder is swapped on the Unix side, again and again, for a link to a folder outside and back
# (on Windows a junction, which such a user may make where EWARM lies below C:\). Whatever the
# timing, nothing may be made, changed or removed in the folder outside.
#   race-link-swap.sh EMULATOR TEST_PROGRAM WORK_FOLDER RUNS
# Each run installs a patch of 300 files into a fresh installation, through the copy test's
# "--install-and-kill" role (never killed). Exits 1 when any run changed the folder outside.
set -u
emulator=$1 program=$2 work=$3 runs=$4
patch="$(dirname "$program")/QX48_EWARM_patch"
rm -rf "$work" "$patch"
mkdir -p "$work" "$patch/devices/QuorVantel"
i=0
while [ $i -lt 300 ]; do
  printf 'file %d\r\n' $i >"$patch/devices/QuorVantel/f$i.i79"
  i=$((i + 1))
done
printf '[Install]\r\nVersion="V2.0"\r\n' >"$patch/Qorvantel.Version"
windows_folder="Z:$(printf '%s' "$work/EW" | tr / '\\')"
config="$work/EW/arm/config"

# Swaps devices for a link to the folder outside and back until told to stop.
racer() {
  while [ ! -e "$work/stop" ]; do
    mv "$config/devices" "$config/devices.real" 2>/dev/null || continue
    ln -s "$work/outside" "$config/devices"
    sleep 0.001
    rm -f "$config/devices"
    mv "$config/devices.real" "$config/devices"
  done
}

broken=0
run=1
while [ $run -le "$runs" ]; do
  rm -rf "$work/EW" "$work/outside" "$work/stop"
  mkdir -p "$config/devices" "$work/outside/QuorVantel"
  printf keep >"$work/outside/QuorVantel/keep.txt"
  before=$(cd "$work/outside" && find . | sort)
  racer &
  racer_pid=$!
  "$emulator" "$program" --install-and-kill "$windows_folder" 1000000 >/dev/null 2>&1
  touch "$work/stop"
  wait "$racer_pid"
  after=$(cd "$work/outside" && find . | sort)
  if [ "$before" != "$after" ]; then
    echo "run $run: the folder outside changed:"
    printf '%s\n' "$after" | head -n 5
    broken=$((broken + 1))
  fi
  run=$((run + 1))
done
rm -rf "$patch"
echo "$broken of $runs runs changed the folder outside"
[ "$broken" -eq 0 ]
