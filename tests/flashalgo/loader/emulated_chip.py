"""The emulated chip and our ELF reader, loaded from the C interface (EmulatedChipApi.h)."""
import ctypes

ERROR_SIZE = 512

# Operation kinds of the chip model, as the C interface numbers them.
PAGE_ERASE, MASS_ERASE, OPTION_ERASE, PROGRAM, OPTION_PROGRAM = range(5)

# How a run ended (qx48_chip_run).
RUN_BREAKPOINT, RUN_FAULT, RUN_LIMIT = 0, 1, 2


def _declare(lib):
    c = ctypes
    chip, image = c.c_void_p, c.c_void_p
    signatures = {
        "qx48_stack_budget": (c.c_uint32, []),
        "qx48_chip_new": (chip, [c.c_char_p, c.c_size_t]),
        "qx48_chip_free": (None, [chip]),
        "qx48_chip_error": (c.c_char_p, [chip]),
        "qx48_chip_read": (c.c_int, [chip, c.c_uint32, c.c_void_p, c.c_uint32]),
        "qx48_chip_write": (c.c_int, [chip, c.c_uint32, c.c_char_p, c.c_uint32]),
        "qx48_chip_register": (c.c_int, [chip, c.c_uint, c.POINTER(c.c_uint32)]),
        "qx48_chip_set_register": (c.c_int, [chip, c.c_uint, c.c_uint32]),
        "qx48_chip_run": (c.c_int, [chip]),
        "qx48_chip_lowest_sp": (c.c_uint32, [chip]),
        "qx48_chip_set_busy_polls": (None, [chip, c.c_uint]),
        "qx48_chip_set_option_byte_register": (None, [chip, c.c_uint32]),
        "qx48_chip_fail_operation_of_kind": (None, [chip, c.c_uint, c.c_uint, c.c_uint32]),
        "qx48_chip_operations_of_kind": (c.c_uint, [chip, c.c_uint]),
        "qx48_chip_control": (c.c_uint32, [chip]),
        "qx48_chip_fill_flash": (None, [chip, c.c_uint8]),
        "qx48_image_open": (image, [c.c_char_p, c.c_char_p, c.c_size_t]),
        "qx48_image_free": (None, [image]),
        "qx48_image_section": (c.c_int, [image, c.c_char_p, c.POINTER(c.c_uint32),
                                         c.POINTER(c.c_uint32)]),
        "qx48_image_section_bytes": (c.c_int, [image, c.c_char_p, c.c_void_p, c.c_uint32]),
        "qx48_image_symbol": (c.c_int, [image, c.c_char_p, c.POINTER(c.c_uint32)]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib


class Library:
    """The shared library; one per process."""

    def __init__(self, path):
        self.lib = _declare(ctypes.CDLL(path))

    def stack_budget(self):
        return self.lib.qx48_stack_budget()


class EmulatedChip:
    """A chip fresh from reset. Every failed call raises RuntimeError with the library's reason."""

    def __init__(self, library):
        self._lib = library.lib
        error = ctypes.create_string_buffer(ERROR_SIZE)
        self._chip = self._lib.qx48_chip_new(error, ERROR_SIZE)
        if not self._chip:
            raise RuntimeError("the emulated chip did not start: " + error.value.decode())

    def close(self):
        if self._chip:
            self._lib.qx48_chip_free(self._chip)
            self._chip = None

    def _check(self, status):
        if status < 0:
            raise RuntimeError(self.error())
        return status

    def error(self):
        return self._lib.qx48_chip_error(self._chip).decode()

    def read(self, address, size):
        out = ctypes.create_string_buffer(size)
        self._check(self._lib.qx48_chip_read(self._chip, address, out, size))
        return out.raw

    def write(self, address, data):
        data = bytes(data)
        self._check(self._lib.qx48_chip_write(self._chip, address, data, len(data)))

    def register(self, selector):
        value = ctypes.c_uint32()
        self._check(self._lib.qx48_chip_register(self._chip, selector, ctypes.byref(value)))
        return value.value

    def set_register(self, selector, value):
        self._check(self._lib.qx48_chip_set_register(self._chip, selector, value & 0xFFFFFFFF))

    def run(self):
        """RUN_BREAKPOINT, RUN_FAULT or RUN_LIMIT; error() says what the fault was."""
        return self._check(self._lib.qx48_chip_run(self._chip))

    def lowest_sp(self):
        return self._lib.qx48_chip_lowest_sp(self._chip)

    def set_busy_polls(self, polls):
        self._lib.qx48_chip_set_busy_polls(self._chip, polls)

    def set_option_byte_register(self, obr):
        self._lib.qx48_chip_set_option_byte_register(self._chip, obr)

    def fail_operation_of_kind(self, kind, ordinal, sr_bits):
        self._lib.qx48_chip_fail_operation_of_kind(self._chip, kind, ordinal, sr_bits)

    def operations_of_kind(self, kind):
        return self._lib.qx48_chip_operations_of_kind(self._chip, kind)

    def control(self):
        return self._lib.qx48_chip_control(self._chip)

    def fill_flash(self, value):
        self._lib.qx48_chip_fill_flash(self._chip, value)


class ImageFile:
    """The flash image as our ELF reader sees it."""

    def __init__(self, library, path):
        self._lib = library.lib
        error = ctypes.create_string_buffer(ERROR_SIZE)
        self._image = self._lib.qx48_image_open(path.encode(), error, ERROR_SIZE)
        if not self._image:
            raise RuntimeError(error.value.decode())

    def close(self):
        if self._image:
            self._lib.qx48_image_free(self._image)
            self._image = None

    def section(self, name):
        """(address, size) of the section."""
        address, size = ctypes.c_uint32(), ctypes.c_uint32()
        if self._lib.qx48_image_section(self._image, name.encode(), ctypes.byref(address),
                                        ctypes.byref(size)) != 0:
            raise RuntimeError("the image has no section " + name)
        return address.value, size.value

    def section_bytes(self, name):
        _, size = self.section(name)
        out = ctypes.create_string_buffer(size)
        if self._lib.qx48_image_section_bytes(self._image, name.encode(), out, size) != 0:
            raise RuntimeError("the section %s could not be read" % name)
        return out.raw

    def symbol(self, name):
        value = ctypes.c_uint32()
        if self._lib.qx48_image_symbol(self._image, name.encode(), ctypes.byref(value)) != 0:
            raise RuntimeError("the image has no symbol " + name)
        return value.value
