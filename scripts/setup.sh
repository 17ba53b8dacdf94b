#!/usr/bin/env bash
# Installs the Debian packages the builds and their tests need. Idempotent: a machine that already
# has every package does no network work at all.
#
# What it does when the outside world misbehaves:
# - apt-get update failing part-way (a mirror caught mid-sync fails one index while the others are
#   fresh): one line with apt's first error, then apt-get install decides with what was fetched.
# - A package every build needs that cannot be installed: a message naming it, exit status 1.
# - The 32-bit Wine is asked for only where this kernel runs 32-bit programs; where it is wanted but
#   cannot be installed (with the i386 security index missing, its C library is older than the
#   installed 64-bit one), one line says so and set-up succeeds: the 64-bit Wine runs everything
#   then, and test.sh counts the 32-bit build's tests as skipped.
set -uo pipefail

required=(
  cmake ninja-build python3
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xauth xdotool x11-utils imagemagick fonts-wine
  clang lld llvm libunicorn-dev
  python3-pyocd  # pyOCD's own programmer drives the flash image in the emulated chip (Debian's Python)
  googletest nlohmann-json3-dev
  osslsigncode openssl  # signing the packaged programs, and the throw-away certificate
  libclang-rt-14-dev  # libFuzzer and clang's sanitizer runtimes: the fuzz build
)
wine32=wine32:i386

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The first line apt marked as an error (E:), or its last line when it marked none.
first_error() {
  local line
  line=$(grep -m1 '^E:' "$1")
  [ -n "$line" ] || line=$(grep -v '^\s*$' "$1" | tail -n 1)
  echo "${line:-no message}"
}

if "$(dirname "$0")/kernel-runs-32bit.sh"; then
  echo "setup: this kernel runs 32-bit programs: 32-bit and 64-bit Wine"
  want_wine32=yes
else
  echo "setup: this kernel runs no 32-bit programs (a 32-bit test program did not start): 64-bit Wine only"
  want_wine32=no
fi

missing=()
for p in "${required[@]}"; do
  is_installed "$p" || missing+=("$p")
done
need_wine32=no
[ "$want_wine32" = yes ] && ! is_installed "$wine32" && need_wine32=yes
[ ${#missing[@]} -eq 0 ] && [ "$need_wine32" = no ] && exit 0

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT

if [ "$need_wine32" = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
if ! $SUDO apt-get update -qq >"$apt_log" 2>&1; then
  echo "setup: apt-get update failed part-way, going on with the indexes it fetched: $(first_error "$apt_log")"
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$apt_log" 2>&1; then
    echo "setup failed: could not install the packages the builds need (${missing[*]}): $(first_error "$apt_log")"
    exit 1
  fi
fi

# Apart, so that a 32-bit Wine that cannot be had never holds back the rest.
if [ "$need_wine32" = yes ]; then
  echo "setup: installing $wine32"
  if ! $SUDO apt-get install -y -qq --no-install-recommends "$wine32" >"$apt_log" 2>&1; then
    echo "setup: the 32-bit Wine ($wine32) could not be installed, so only 64-bit programs run here: $(first_error "$apt_log")"
  fi
fi
exit 0
