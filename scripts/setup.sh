#!/usr/bin/env bash
# Installs the Debian packages the three builds and their tests need. Idempotent: a machine that
# already has every package does no network work at all.
set -euo pipefail

packages=(
  cmake ninja-build python3
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb xauth xdotool x11-utils imagemagick fonts-wine
  clang lld llvm libunicorn-dev
  googletest nlohmann-json3-dev
  libclang-rt-14-dev  # libFuzzer and clang's sanitizer runtimes: the fuzz build
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
