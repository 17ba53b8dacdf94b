#!/bin/sh
# Checks a build's release as README tells a user to, and that it catches a changed byte:
#   check-release.sh PACKAGE_DIR RELEASE_DIR VERIFY_CA README
# - both packaged programs and both PowerShell scripts carry an Authenticode signature that
#   verifies against the certificate they were signed with, and a copy with one byte changed
#   does not;
# - SHA256SUMS beside the ZIPs checks, and fails for a ZIP with one byte changed;
# - README states the flash image's size and SHA-256 as they are.
set -eu
package=$1 release=$2 ca=$3 readme=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# One byte turned over, at offset $3 (default: past the first 4 KiB of a program: code, not the
# signature at the end).
flip() {
  python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[int(sys.argv[3])] ^= 1; open(sys.argv[2], "wb").write(d)' "$1" "$2" "${3:-4096}"
}

for program in QX48_EWARM_pack.exe qx48patch.exe deploy/detect.ps1 deploy/detect-verified.ps1 \
               deploy/requirement.ps1; do
  if osslsigncode verify -CAfile "$ca" -in "$package/$program" >"$work/verify.txt" 2>&1; then
    echo "ok: $program verifies"
  else
    fail "$program does not verify:"; tail -n 5 "$work/verify.txt"
  fi
  mkdir -p "$work/deploy"
  case $program in
    *.ps1) flip "$package/$program" "$work/$program" 40 ;;  # a letter of its first line
    *) flip "$package/$program" "$work/$program" ;;
  esac
  if osslsigncode verify -CAfile "$ca" -in "$work/$program" >"$work/verify.txt" 2>&1; then
    fail "$program with one byte changed still verifies"
  else
    echo "ok: $program with one byte changed fails: $(grep -m1 -o 'MISMATCH' "$work/verify.txt" || echo failed)"
  fi
done

(cd "$release" && sha256sum --strict -c SHA256SUMS) || fail "SHA256SUMS does not check"
cp "$release"/SHA256SUMS "$work/"
zip=$(sed -n 's/^[0-9a-f]*  \(.*\.zip\)$/\1/p' "$release/SHA256SUMS" | head -n 1)
flip "$release/$zip" "$work/$zip"
if (cd "$work" && sha256sum --strict -c SHA256SUMS --ignore-missing >/dev/null 2>&1); then
  fail "a ZIP with one byte changed still checks"
else
  echo "ok: $zip with one byte changed fails SHA256SUMS"
fi

image=$release/QX48Flash.FLM
digest=$(sha256sum "$image" | cut -c1-64)
size=$(wc -c <"$image" | tr -d ' ')
grep -q "$digest" "$readme" || fail "README does not give the flash image's SHA-256 $digest"
grep -q "$size bytes" "$readme" || fail "README does not give the flash image's size, $size bytes"
[ "$failures" -eq 0 ]
