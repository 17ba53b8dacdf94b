#!/usr/bin/env bash
# The 32-bit build's programs never assume a 16-byte-aligned stack: read from their code, so that
# it holds on machines that cannot run them.
#   check-32bit-stack.sh BUILD_DIR     (build/windows)
# First it shows that the check finds the fault it guards against: SHA-256 compiled without the
# build's realigning flag has the paddd (%esp),%xmm1 that crashed the install worker. Then every
# .exe of the build, the shipped programs and the test programs, must pass.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
objdump=i686-w64-mingw32-objdump
check="$root/scripts/check-stack-alignment.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

i686-w64-mingw32-g++-posix -std=c++17 -O2 -I"$root" -c "$root/install/Sha256.cpp" \
  -o "$work/sha256-unaligned.o"
if "$check" "$objdump" "$work/sha256-unaligned.o" >"$work/found.txt"; then
  echo "FAILED: the check passed SHA-256 compiled without -mincoming-stack-boundary=2"
  failed=1
else
  echo "ok: the check finds the unaligned build: $(head -n 1 "$work/found.txt")"
fi

mapfile -t programs < <(find "$build" -name '*.exe' -not -path '*/CMakeFiles/*' | sort)
if [ "${#programs[@]}" -eq 0 ]; then
  echo "FAILED: no programs in $build"
  exit 1
fi
"$check" "$objdump" "${programs[@]}" || failed=1
exit "$failed"
