#!/usr/bin/env bash
# Exit status 0 when this kernel starts a 32-bit x86 program, 1 when it does not. It needs no
# package, unlike Wine's own 32-bit loader: the program is a 96-byte static i386 ELF written here,
# whose only instructions are exit(42). A kernel without 32-bit user mode refuses it with
# "Exec format error" (126). QX48_SETUP_KERNEL_32BIT=yes|no answers instead (the set-up test).
case "${QX48_SETUP_KERNEL_32BIT:-}" in
  yes) exit 0 ;;
  no) exit 1 ;;
esac
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00' \
  '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
  '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
  '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$dir/probe32"
chmod +x "$dir/probe32"
"$dir/probe32" >/dev/null 2>&1
[ $? = 42 ]
