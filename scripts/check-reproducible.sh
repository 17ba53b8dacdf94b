#!/usr/bin/env bash
# Builds the committed HEAD twice, from two clones in folders of different names and depths, and
# compares what a release is made of before signing: the flash image, both programs and the
# unsigned package ZIP. Any difference is printed and fails the check.
#   scripts/check-reproducible.sh [PRESET]     (default windows64; windows is the 32-bit build)
# Only the committed state is built: commit first.
set -euo pipefail
preset=${1:-windows64}
root=$(cd "$(dirname "$0")/.." && pwd)
work=${QX48_REPRO_DIR:-/tmp/qx48-reproducible}
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

build() {
  local src=$1
  mkdir -p "$(dirname "$src")"
  git clone -q "$root" "$src"
  (cd "$src" &&
    cmake --preset flash >/dev/null && cmake --build --preset flash >/dev/null &&
    cmake --preset "$preset" >/dev/null &&
    cmake --build "build/$preset" --target package_release >/dev/null) ||
    { echo "reproducible: the build in $src failed"; return 1; }
}

a=$work/a/src
b=$work/elsewhere/deeper/qx48-second
build "$a"
build "$b"
name=$(cd "$a/build/$preset" && ls QX48_EWARM_pack-*-unsigned.zip)
failed=0
for file in build/flash/flashalgo/QX48Flash.FLM "build/$preset/app/QX48_EWARM_pack.exe" \
            "build/$preset/cli/qx48patch.exe" "build/$preset/$name"; do
  if cmp -s "$a/$file" "$b/$file"; then
    echo "reproducible: $file identical ($(wc -c <"$a/$file") bytes, sha256 $(sha256sum "$a/$file" | cut -c1-16)...)"
  else
    echo "reproducible: $file DIFFERS: $(cmp "$a/$file" "$b/$file" 2>&1 | head -n 1)"
    failed=1
  fi
done
exit $failed
