"""A pyOCD target backed by the emulated chip: the seam a debug probe fills on a real board.

pyOCD's programmer (Flash, FlashBuilder) uses only what a Target offers: memory and core registers
while the core is halted, resume, and the halt state it polls until the core stops on the bkpt that
lr points at. A resume does not run the core at once; the run happens when pyOCD next looks at the
core, so that whatever pyOCD writes meanwhile (the next page into the other page buffer, while a
real core would be programming) lands before the image runs: the harshest order for a buffer that
is still in use.
"""
from pyocd.core.memory_map import MemoryMap
from pyocd.core.target import Target

import emulated_chip

# pyOCD's register names and numbers, as the emulated chip numbers them (the debug selectors).
_SELECTORS = dict({"r%d" % i: i for i in range(13)}, sp=13, r13=13, lr=14, r14=14, pc=15, r15=15,
                  xpsr=16, msp=13)
_MSP, _PSP, _CFBP = 17, 18, 20  # read as sp, 0 (no process stack) and 0 (no masks set)


class _NoSession:
    """What Target's constructor reads of a session: its options, none of which we set."""
    options = {}


class Call:
    """One entry-point call as pyOCD made it, and how it ended."""

    def __init__(self, entry_point, args, sp):
        self.entry_point = entry_point
        self.args = args          # r0 to r2 as pyOCD left them
        self.sp = sp              # sp at the call
        self.lowest_sp = None
        self.result = None        # r0 on return
        self.fault = None         # what stopped the core, when it was not the bkpt


class EmulatedPyocdTarget(Target):
    def __init__(self, chip, memory_map, entry_points):
        """entry_points: address (with the Thumb bit) to entry point name, to name the calls."""
        super().__init__(_NoSession(), MemoryMap(memory_map))
        self.chip = chip
        self.calls = []
        self._entry_points = entry_points
        self._pending = False
        self._vector_catch = Target.CATCH_NONE
        self._state = Target.TARGET_HALTED

    # The core.
    def halt(self):
        self._finish_run()

    def resume(self):
        self._finish_run()
        pc = self.chip.register(_SELECTORS["pc"])
        name = self._entry_points.get(pc | 1, "0x%08X" % pc)
        self.calls.append(Call(name, [self.chip.register(i) for i in range(3)],
                               self.chip.register(_SELECTORS["sp"])))
        self._pending = True
        self._state = Target.TARGET_RUNNING

    def get_state(self):
        self._finish_run()
        return self._state

    def _finish_run(self):
        if not self._pending:
            return
        self._pending = False
        call = self.calls[-1]
        end = self.chip.run()
        call.lowest_sp = self.chip.lowest_sp()
        call.result = self.chip.register(0)
        if end == emulated_chip.RUN_BREAKPOINT:
            self._state = Target.TARGET_HALTED
        else:
            # A real core would spin in its fault handler or lock up; pyOCD would then wait.
            call.fault = self.chip.error()
            self._state = Target.TARGET_LOCKUP

    def set_target_state(self, state):
        pass  # "PROGRAM": the emulated chip is ready from the start

    def reset_stop_on_reset(self, software_reset=None):
        pass  # the emulated chip is not reset, so the test sees what programming left in it

    def set_vector_catch(self, mask):
        self._vector_catch = mask

    def get_vector_catch(self):
        return self._vector_catch

    def get_memory_map(self):
        return self.memory_map

    # Core registers.
    def _selector(self, reg):
        return reg if isinstance(reg, int) else _SELECTORS[reg.lower()]

    def _read_register(self, reg):
        self._finish_run()
        if reg == "ipsr":
            return self.chip.register(_SELECTORS["xpsr"]) & 0x1FF
        if reg in (_PSP, _CFBP):
            return 0
        return self.chip.register(_SELECTORS["sp"] if reg == _MSP else self._selector(reg))

    def read_core_register(self, reg):
        return self._read_register(reg)

    def read_core_register_raw(self, reg):
        return self._read_register(reg)

    def read_core_registers_raw(self, reg_list):
        return [self._read_register(r) for r in reg_list]

    def write_core_register(self, reg, data):
        self.write_core_registers_raw([reg], [data])

    def write_core_register_raw(self, reg, data):
        self.write_core_registers_raw([reg], [data])

    def write_core_registers_raw(self, reg_list, data_list):
        self._finish_run()
        for reg, value in zip(reg_list, data_list):
            self.chip.set_register(self._selector(reg), value)

    # Memory. Reads see what the core left; writes go in even while a run is pending (see above).
    def write_memory(self, addr, value, transfer_size=32):
        self.chip.write(addr, int(value).to_bytes(transfer_size // 8, "little"))

    def read_memory(self, addr, transfer_size=32, now=True):
        self._finish_run()
        return int.from_bytes(self.chip.read(addr, transfer_size // 8), "little")

    def write_memory_block32(self, addr, data):
        self.chip.write(addr, b"".join(int(w).to_bytes(4, "little") for w in data))

    def read_memory_block32(self, addr, size):
        self._finish_run()
        raw = self.chip.read(addr, 4 * size)
        return [int.from_bytes(raw[i:i + 4], "little") for i in range(0, len(raw), 4)]

    def write_memory_block8(self, addr, data):
        self.chip.write(addr, bytes(data))

    def read_memory_block8(self, addr, size):
        self._finish_run()
        return list(self.chip.read(addr, size))
