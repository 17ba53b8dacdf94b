"""pyOCD's description of a flash algorithm, made from the built image by our own ELF reader.

pyOCD 0.13 reads no FLM file: a target definition hands its Flash class a dictionary (load address,
instructions, entry addresses, static base, stack, page buffers) and a memory map. Both are made
here from QX48Flash.FLM as a loader would lay them out in the chip's RAM:

    load address   the breakpoint header (8 words)
                   PrgCode and PrgData, as linked (r9 points at PrgData)
                   the stack, exactly the budget the image is held to, growing down to the image
    begin_stack    two page buffers of szPage bytes each (pyOCD double-buffers when offered two)
"""
import struct

# The first words of pyOCD's algorithm descriptions: a bkpt at the load address, where pyOCD
# points lr so that an entry point's return halts the core, then words of pyOCD's template that
# nothing here calls.
BREAKPOINT_HEADER = [0xE00ABE00, 0x062D780D, 0x24084068, 0xD3000040,
                     0x1E644058, 0x1C49D1FA, 0x2A001E52, 0x4770D1F2]

ENTRY_POINTS = {  # pyOCD's key: the image's symbol
    "pc_init": "Init",
    "pc_unInit": "UnInit",
    "pc_eraseAll": "EraseChip",
    "pc_erase_sector": "EraseSector",
    "pc_program_page": "ProgramPage",
}

SECTOR_END = 0xFFFFFFFF
PAGE_BUFFERS = 2


class FlashDevice:
    """The FlashDevice record the image carries in DevDscr."""
    HEAD = struct.Struct("<H128sHIIIIB3xII")

    def __init__(self, raw):
        (self.vers, name, self.dev_type, self.dev_adr, self.sz_dev, self.sz_page, _,
         self.val_empty, self.to_prog, self.to_erase) = self.HEAD.unpack_from(raw)
        self.name = name.split(b"\0")[0].decode()
        self.sectors = []  # (size, offset from dev_adr) of each run
        for size, offset in struct.iter_unpack("<II", raw[self.HEAD.size:]):
            if (size, offset) == (SECTOR_END, SECTOR_END):
                break
            self.sectors.append((size, offset))


def _align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


class AlgorithmDescription:
    """The flash_algo dictionary, the flash device and the layout in RAM."""

    def __init__(self, image, load_address, stack_size):
        self.device = FlashDevice(image.section_bytes("DevDscr"))
        code_address, code_size = image.section("PrgCode")
        data_address, data_size = image.section("PrgData")
        if code_address != 0 or data_address != code_size:
            raise ValueError("PrgData does not follow PrgCode at 0: the image cannot be loaded whole")
        blob = image.section_bytes("PrgCode") + image.section_bytes("PrgData")
        blob += bytes(_align(len(blob), 4) - len(blob))

        self.load_address = load_address
        self.image_base = load_address + 4 * len(BREAKPOINT_HEADER)
        self.image_end = self.image_base + len(blob)
        self.stack_limit = _align(self.image_end, 8)
        self.begin_stack = self.stack_limit + stack_size
        self.page_buffers = [self.begin_stack + i * self.device.sz_page
                             for i in range(PAGE_BUFFERS)]
        self.ram_end = self.page_buffers[-1] + self.device.sz_page
        self.entry_points = {key: self.image_base + image.symbol(symbol)
                             for key, symbol in ENTRY_POINTS.items()}

        self.flash_algo = dict(self.entry_points)
        self.flash_algo.update({
            "load_address": load_address,
            "instructions": BREAKPOINT_HEADER + list(struct.unpack("<%dI" % (len(blob) // 4), blob)),
            "static_base": self.image_base + data_address,
            "begin_stack": self.begin_stack,
            "begin_data": self.page_buffers[0],
            "page_buffers": self.page_buffers,
            "min_program_length": 2,  # ProgramPage programs halfwords
            "analyzer_supported": False,
        })

    def flash_region_blocksize(self):
        """pyOCD 0.13 plans erases and page writes with one block size for the whole region; it
        fits only a device of one sector run whose sector is its programming page."""
        if len(self.device.sectors) != 1 or self.device.sectors[0] != (self.device.sz_page, 0):
            raise ValueError("sectors %s and page 0x%X have no single block size"
                             % (self.device.sectors, self.device.sz_page))
        return self.device.sz_page
