"""pyOCD's own programmer (Flash, FlashBuilder) erases and programs an image through the built
QX48Flash.FLM in the emulated chip, with the call sequence, stack and page buffers it chooses.

    /usr/bin/python3 pyocd_programming_test.py LIBRARY IMAGE [unittest options]

LIBRARY is the emulated chip's C interface (libqx48_emulated_chip.so), IMAGE the built image.
Debian's pyOCD (python3-pyocd, 0.13) is a package of Debian's own Python.
"""
import logging
import os
import random
import sys
import unittest

from pyocd.core.memory_map import FlashRegion, RamRegion
from pyocd.flash.flash import Flash
from pyocd.flash.flash_builder import FlashBuilder

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import emulated_chip  # noqa: E402
from algorithm_description import ENTRY_POINTS, AlgorithmDescription  # noqa: E402
from pyocd_target import EmulatedPyocdTarget  # noqa: E402

LIBRARY = IMAGE = None  # set from the command line
RAM_START, RAM_SIZE = 0x20000000, 0x10000
PGERR = 0x04
OLDER_PROGRAM = 0x00  # what the flash holds before a session that is not on a fresh chip
ERASED = 0xFF

# 64 KiB and an odd part of one more page: 65 pages over 65 sectors, the last page partial.
IMAGE_SIZE = 0x10000 + 0x2A5


def image_data():
    generator = random.Random(48)
    return [generator.randrange(256) for _ in range(IMAGE_SIZE)]


class Session:
    """The emulated chip behind pyOCD's target, with pyOCD's Flash over the built image."""

    def __init__(self, flash_before=ERASED, busy_polls=0, obr=0x04):
        self.chip = emulated_chip.EmulatedChip(LIBRARY)
        image = emulated_chip.ImageFile(LIBRARY, IMAGE)
        try:
            self.description = AlgorithmDescription(image, RAM_START, LIBRARY.stack_budget())
        finally:
            image.close()
        device = self.description.device
        memory_map = [FlashRegion(start=device.dev_adr, length=device.sz_dev,
                                  blocksize=self.description.flash_region_blocksize(),
                                  is_boot_memory=True),
                      RamRegion(start=RAM_START, length=RAM_SIZE)]
        names = {address: ENTRY_POINTS[key]
                 for key, address in self.description.entry_points.items()}
        self.target = EmulatedPyocdTarget(self.chip, memory_map, names)
        self.flash = Flash(self.target, self.description.flash_algo)
        # pyOCD's own check after every call: r9, sp and pc as they were, no exception active.
        self.flash.set_flash_algo_debug(True)
        self.chip.fill_flash(flash_before)
        self.chip.set_busy_polls(busy_polls)
        self.chip.set_option_byte_register(obr)

    def close(self):
        self.chip.close()

    def program(self, address, data, chip_erase=None, double_buffer=True):
        builder = FlashBuilder(self.flash, self.flash.get_flash_info().rom_start)
        builder.enable_double_buffer(double_buffer)
        builder.add_data(address, data)
        return builder.program(chip_erase=chip_erase)

    def flash_bytes(self, address, size):
        return list(self.chip.read(address, size))

    def calls_to(self, entry_point):
        return [c for c in self.target.calls if c.entry_point == entry_point]


class ProgrammingTest(unittest.TestCase):
    # name, where the image goes, chip_erase as given to pyOCD (None: pyOCD decides), double
    # buffering, what the flash held before, busy polls per wait, OBR, the erase pyOCD must choose.
    SESSIONS = [
        ("at the flash start, fresh chip, pyOCD's choice, double-buffered",
         0x08000000, None, True, ERASED, 0, 0x04, "EraseChip"),
        ("at the flash start, fresh chip, pyOCD's choice, one buffer, busy controller",
         0x08000000, None, False, ERASED, 3, 0x00, "EraseChip"),
        ("64 KiB in, over an older program, double-buffered, busy controller",
         0x08010000, None, True, OLDER_PROGRAM, 2, 0x00, "EraseSector"),
        ("64 KiB in, over an older program, one buffer",
         0x08010000, None, False, OLDER_PROGRAM, 0, 0x04, "EraseSector"),
        ("at the flash start, over an older program, sector erases asked for",
         0x08000000, False, True, OLDER_PROGRAM, 0, 0x04, "EraseSector"),
    ]

    def test_pyocd_programs_the_image_and_reads_it_back_the_same(self):
        data = image_data()
        for (name, address, chip_erase, double_buffer, flash_before, polls, obr,
             erase) in self.SESSIONS:
            with self.subTest(name):
                session = Session(flash_before, polls, obr)
                try:
                    self.run_session(session, data, address, chip_erase, double_buffer,
                                     flash_before, erase)
                finally:
                    session.close()

    def run_session(self, session, data, address, chip_erase, double_buffer, flash_before,
                    erase):
        with self.assertNoLogs(level="ERROR"):
            session.program(address, data, chip_erase, double_buffer)
        calls = session.target.calls
        self.assertEqual([c for c in calls if c.fault or c.result != 0], [],
                         "every call returned 0 at the bkpt")
        self.assertEqual(calls[0].entry_point, "Init")
        other_erase = "EraseSector" if erase == "EraseChip" else "EraseChip"
        self.assertGreater(len(session.calls_to(erase)), 0, "pyOCD chose " + erase)
        self.assertEqual(session.calls_to(other_erase), [])
        pages = -(-IMAGE_SIZE // session.description.device.sz_page)
        self.assertEqual(len(session.calls_to("ProgramPage")), pages)
        self.assert_within_stack(session)

        page = session.description.device.sz_page
        self.assert_same_bytes(session, address, data)
        self.assert_same_bytes(session, 0x08000000, [flash_before] * (address - 0x08000000))
        tail_start = address + IMAGE_SIZE
        tail_size = page - IMAGE_SIZE % page
        if double_buffer:
            # pyOCD 0.13 programs a page from a page buffer with the page's full size, and loads
            # only the image's part of the last page: the rest comes from the buffer's previous
            # page, two pages earlier.
            self.assertEqual([c.args[1] for c in session.calls_to("ProgramPage")],
                             [page] * pages)
            stale = tail_start - 2 * page - address
            self.assert_same_bytes(session, tail_start, data[stale:stale + tail_size])
        else:
            self.assert_same_bytes(session, tail_start, [ERASED] * tail_size)
        # The sector after the image's last is not touched.
        self.assert_same_bytes(session, tail_start + tail_size, [flash_before] * page)

        # pyOCD's read-back: a second run over the same data reads every page, finds it the
        # same, and erases and programs nothing.
        session.target.calls.clear()
        with self.assertNoLogs(level="ERROR"):
            session.program(address, data, double_buffer=double_buffer)
        self.assertEqual([c.entry_point for c in session.target.calls], ["Init"])

    def assert_same_bytes(self, session, address, expected):
        actual = session.flash_bytes(address, len(expected))
        first = next((i for i, (a, e) in enumerate(zip(actual, expected)) if a != e), None)
        if first is not None:
            self.fail("flash at 0x%08X is 0x%02X, not 0x%02X"
                      % (address + first, actual[first], expected[first]))

    def assert_within_stack(self, session):
        budget = LIBRARY.stack_budget()
        for call in session.target.calls:
            self.assertEqual(call.sp, session.description.begin_stack, call.entry_point)
            self.assertLessEqual(call.sp - call.lowest_sp, budget, call.entry_point)

    # name, where the image goes, what the flash held before, the chip model's operation kind and
    # which one of that kind fails, what pyOCD must log.
    FAILURES = [
        ("one halfword of the third page fails", 0x08010000, OLDER_PROGRAM,
         emulated_chip.PROGRAM, 2 * 512 + 100, "program_page(0x8010800) error: 1"),
        ("the third sector erase fails", 0x08010000, OLDER_PROGRAM,
         emulated_chip.PAGE_ERASE, 3, "erase_page(0x8010800) error: 1"),
        ("the chip erase fails", 0x08000000, OLDER_PROGRAM,
         emulated_chip.MASS_ERASE, 1, "erase_all error: 1"),
    ]

    def test_pyocd_reports_a_failed_erase_or_program(self):
        data = image_data()
        for name, address, flash_before, kind, ordinal, message in self.FAILURES:
            with self.subTest(name):
                session = Session(flash_before)
                try:
                    session.chip.fail_operation_of_kind(kind, ordinal, PGERR)
                    with self.assertLogs(level="ERROR") as logs:
                        session.program(address, data)
                    self.assertIn("ERROR:root:" + message, logs.output)
                    self.assertNotEqual(session.flash_bytes(address, IMAGE_SIZE), data,
                                        "the flash is not clean")
                    self.assert_within_stack(session)
                finally:
                    session.close()


def main():
    global LIBRARY, IMAGE
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    LIBRARY = emulated_chip.Library(sys.argv[1])
    IMAGE = sys.argv[2]
    logging.basicConfig(level=logging.WARNING)
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
