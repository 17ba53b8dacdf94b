# Sourced: the project's own Wine prefix, the settings every Wine process here gets, and the one
# place that chooses the Wine loader. Start every Wine program through qx48_wine (or
# "$QX48_WINE_LOADER") and wineserver through qx48_wineserver, never through /usr/bin/wine.
#
# Why: /usr/lib/wine/wine, the 32-bit loader, is a 32-bit Linux program. On a kernel without
# 32-bit user mode it fails with "Exec format error", and /usr/bin/wine (with wineboot, reg and
# cmd behind it) picks it whenever the file exists, so Wine would not start at all, not even for a
# 64-bit program. There the 64-bit loader is used directly and only 64-bit programs run.
#
# QX48_WINE64_ONLY=1 takes that path on a machine that could run 32-bit programs too, so that
# both paths can be tried anywhere. QX48_WINEPREFIX chooses another prefix.
qx48_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${QX48_WINEPREFIX:-$qx48_root/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko: their installers would ask on first start and nothing here needs them.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

qx48_wine32_loader=/usr/lib/wine/wine
qx48_wine64_loader=/usr/lib/wine/wine64

# Decided once per shell (and inherited): "yes" when this machine runs 32-bit Windows programs,
# and QX48_WIN32_WHY says why not where it does not.
if [ -z "${QX48_WIN32_RUNS:-}" ]; then
  QX48_WIN32_RUNS=no
  if [ "${QX48_WINE64_ONLY:-0}" != 0 ]; then
    QX48_WIN32_WHY="QX48_WINE64_ONLY is set"
  elif "$qx48_wine32_loader" --version </dev/null >/dev/null 2>&1; then
    QX48_WIN32_RUNS=yes
  elif ! "$qx48_root/scripts/kernel-runs-32bit.sh"; then
    QX48_WIN32_WHY="this kernel runs no 32-bit programs"
  elif [ ! -e "$qx48_wine32_loader" ]; then
    QX48_WIN32_WHY="the 32-bit Wine is not installed: set-up could not install it"
  else
    QX48_WIN32_WHY="the 32-bit Wine does not start"
  fi
fi
export QX48_WIN32_WHY
export QX48_WIN32_RUNS

if [ "$QX48_WIN32_RUNS" = yes ]; then
  # Debian's wine script: the 32-bit loader, which hands 64-bit programs to wine64 itself.
  export QX48_WINE_LOADER=/usr/bin/wine
  unset WINELOADER
else
  # Wine starts helper processes through WINELOADER; unset, it would reach for the 32-bit one.
  export QX48_WINE_LOADER="$qx48_wine64_loader"
  export WINELOADER="$qx48_wine64_loader"
fi

# The machine's kind in one line, for logs.
qx48_wine_kind() {
  if [ "$QX48_WIN32_RUNS" = yes ]; then
    echo "32-bit and 64-bit Windows programs run here ($QX48_WINE_LOADER)"
  else
    echo "64-bit Windows programs only: $QX48_WIN32_WHY ($QX48_WINE_LOADER)"
  fi
}

# Runs a Windows program (or one of Wine's own: wineboot.exe, reg.exe, cmd.exe, explorer.exe).
qx48_wine() {
  "$QX48_WINE_LOADER" "$@"
}

# Debian's wineserver script picks the 64-bit server, which serves both kinds of process. A
# persistent one (-p) must not keep a caller's descriptors either.
qx48_wineserver() {
  qx48_without_inherited_fds /usr/bin/wineserver "$@"
}

# Runs a command with every descriptor above 2 closed. The first Wine program of a session
# starts wineserver, services.exe and the rest, which outlive it and keep whatever they inherited:
# a caller's lock file (flock) would stay locked, a caller's pipe would never reach its end.
qx48_without_inherited_fds() {
  (
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] 2>/dev/null && eval "exec $fd>&-"
    done
    "$@"
  )
}

# Creates the prefix once (about 15 s); concurrent callers wait for the first one. The marker's
# name changes when what is set up here changes, so an older prefix gets the new settings.
qx48_prefix_marker=.qx48-ready-2
qx48_wine_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/$qx48_prefix_marker" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/$qx48_prefix_marker" ]; then
      qx48_without_inherited_fds qx48_wine wineboot.exe -i </dev/null >/dev/null 2>&1
      # A program that crashes must end, not wait: Wine's crash debugger, on a display (Xvfb
      # included), shows a dialog and waits for a click that never comes, and everything that
      # waits for the program waits with it. Without its dialog the debugger writes the fault
      # line and a backtrace to the program's error output and the program ends (seen: a crash
      # in a thread ends in 2 s). Deleting AeDebug's Debugger value does not do it: Wine then
      # starts the same debugger anyway.
      qx48_without_inherited_fds qx48_wine reg.exe add 'HKCU\Software\Wine\WineDbg' \
        /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
      qx48_without_inherited_fds qx48_wineserver -w </dev/null >/dev/null 2>&1
      touch "$WINEPREFIX/$qx48_prefix_marker"
    fi
  ) 9>"$WINEPREFIX.lock"
}
