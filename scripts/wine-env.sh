# Sourced: the project's own Wine prefix and the settings every Wine process here gets.
# QX48_WINEPREFIX chooses another prefix (tests that need a fresh one, parallel work).
qx48_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${QX48_WINEPREFIX:-$qx48_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko: their installers would ask on first start and nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Creates the prefix once (about 15 s); concurrent callers wait for the first one.
qx48_wine_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.qx48-ready" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qx48-ready" ]; then
      wineboot -i </dev/null >/dev/null 2>&1
      wineserver -w </dev/null >/dev/null 2>&1
      touch "$WINEPREFIX/.qx48-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
