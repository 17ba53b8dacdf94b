#!/usr/bin/env python3
"""Fails when a 32-bit Windows program of ours has a function that reads or writes a 16-byte value
on its stack with an instruction that needs 16-byte alignment, without realigning its stack first.

32-bit Windows starts threads, window procedures and callbacks on stacks aligned to 4 bytes only.
An aligned move (movaps, movdqa) or legacy SSE arithmetic on memory (paddd (%esp),%xmm1) at a
misaligned address faults; that crashed the 32-bit install worker on processors with SHA
extensions. The build tells GCC to expect 4-byte alignment, so a function that needs more begins
with "and $0xfffffff0,%esp"; this reads the disassembly and proves it. It needs no 32-bit kernel,
so it runs on every machine.

  check-stack-alignment.py OBJDUMP PROGRAM.exe...

Prints each offending function with its first offending instruction; exits 1 if there is one.
"""
import re
import subprocess
import sys

# Legacy SSE instructions whose memory operand may be misaligned, or is narrower than 16 bytes.
UNALIGNED_OK = {
    "movups", "movupd", "movdqu", "lddqu", "movq", "movd", "movss", "movsd", "movlps", "movhps",
    "movlpd", "movhpd", "movddup", "pinsrb", "pinsrw", "pinsrd", "pextrb", "pextrw", "pextrd",
    "extractps", "insertps", "cvtsi2ss", "cvtsi2sd", "cvtsi2ssl", "cvtsi2sdl", "cvtss2sd",
    "cvtsd2ss", "cvttss2si", "cvttsd2si", "cvtss2si", "cvtsd2si", "cvtpi2ps", "cvtps2pd",
    "cvtdq2pd", "comiss", "comisd", "ucomiss", "ucomisd", "pcmpestri", "pcmpestrm", "pcmpistri",
    "pcmpistrm", "maskmovdqu",
}
SCALAR_SUFFIXES = ("ss", "sd")  # addss, mulsd, sqrtss, ...: 4- or 8-byte operands
NARROW_PREFIXES = ("pmovzx", "pmovsx")  # read 2 to 8 bytes

FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s+([0-9a-f]+):\s+(\S+)\s*(.*)$")
STACK_OPERAND = re.compile(r"\(%e[sb]p[,)]")
REALIGNS = re.compile(r"^and\s+\$0xf+[0-9a-f]0,%esp$")


def needs_alignment(mnemonic, operands):
    """True for a legacy (non-VEX) SSE instruction with a 16-byte memory operand on the stack."""
    if "%xmm" not in operands or not STACK_OPERAND.search(operands):
        return False
    if mnemonic.startswith("v") or mnemonic in UNALIGNED_OK:
        return False
    if mnemonic.startswith(NARROW_PREFIXES):
        return False
    # Scalar floating point (addss, sqrtsd, cmpltss); packed integers (pabsd) begin with p.
    if mnemonic.endswith(SCALAR_SUFFIXES) and not mnemonic.startswith("p"):
        return False
    return True


def offending_functions(objdump, program):
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", program], check=True,
                             capture_output=True, text=True).stdout
    found = []
    name, realigned, first = None, False, None

    def close():
        if name is not None and first is not None and not realigned:
            found.append((name, first))

    for line in listing.splitlines():
        header = FUNCTION.match(line)
        if header:
            close()
            name, realigned, first = header.group(1), False, None
            continue
        instruction = INSTRUCTION.match(line)
        if not instruction or name is None:
            continue
        address, mnemonic, operands = instruction.groups()
        if REALIGNS.match(f"{mnemonic} {operands}"):
            realigned = True
        if first is None and needs_alignment(mnemonic, operands):
            first = f"{address}: {mnemonic} {operands}"
    close()
    return found


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[0])
        print("usage: check-stack-alignment.py OBJDUMP PROGRAM.exe...")
        return 2
    objdump, programs = argv[1], argv[2:]
    bad = 0
    for program in programs:
        for name, instruction in offending_functions(objdump, program):
            print(f"{program}: {name} uses an aligned stack operand without realigning: "
                  f"{instruction}")
            bad += 1
    print(f"{len(programs)} programs read, {bad} functions that assume an aligned stack")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
