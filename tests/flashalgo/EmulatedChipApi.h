/* A C interface to the emulated chip (EmulatedCore over the chip model) and to our ELF reader, for
 * programs outside C++: the pyOCD test drives the chip through it with ctypes, as a probe would.
 * Calls that can fail return 0 on success and -1 on failure; the handle's error text then says
 * why. */
#ifndef QX48_EMULATED_CHIP_API_H
#define QX48_EMULATED_CHIP_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Qx48Chip Qx48Chip;
typedef struct Qx48Image Qx48Image;

/* The most stack an entry point may use, in bytes. */
uint32_t qx48_stack_budget(void);

/* A chip straight from reset: RAM unset, flash erased, controller locked. NULL when the emulator
 * cannot start; error (size bytes) then says why. */
Qx48Chip* qx48_chip_new(char* error, size_t size);
void qx48_chip_free(Qx48Chip* chip);
const char* qx48_chip_error(const Qx48Chip* chip);

/* Debugger accesses while the core is halted: RAM, and reads of the flash and option block. */
int qx48_chip_read(Qx48Chip* chip, uint32_t address, uint8_t* out, uint32_t size);
int qx48_chip_write(Qx48Chip* chip, uint32_t address, const uint8_t* data, uint32_t size);
/* Core registers by debug selector: r0 to r12 are 0 to 12, sp 13, lr 14, pc 15, xPSR 16. */
int qx48_chip_register(Qx48Chip* chip, unsigned selector, uint32_t* value);
int qx48_chip_set_register(Qx48Chip* chip, unsigned selector, uint32_t value);

/* Runs from pc until a bkpt: 0 halted on a bkpt (pc at it), 1 a fault, 2 still running after the
 * instruction limit; -1 when the emulator itself failed. The fault is the error text. */
int qx48_chip_run(Qx48Chip* chip);
/* The lowest sp of the last run. */
uint32_t qx48_chip_lowest_sp(const Qx48Chip* chip);

/* The chip model's controls and state. Operation kinds: 0 page erase, 1 mass erase, 2 option
 * erase, 3 program, 4 option program. */
void qx48_chip_set_busy_polls(Qx48Chip* chip, unsigned polls);
void qx48_chip_set_option_byte_register(Qx48Chip* chip, uint32_t obr);
void qx48_chip_fail_operation_of_kind(Qx48Chip* chip, unsigned kind, unsigned ordinal,
                                      uint32_t sr_bits);
unsigned qx48_chip_operations_of_kind(const Qx48Chip* chip, unsigned kind);
uint32_t qx48_chip_control(const Qx48Chip* chip);
/* Fills the main flash with one byte value, as a chip with an older program on it. */
void qx48_chip_fill_flash(Qx48Chip* chip, uint8_t value);

/* The image, read by our ELF reader. NULL when it cannot be read; error then says why. */
Qx48Image* qx48_image_open(const char* path, char* error, size_t size);
void qx48_image_free(Qx48Image* image);
/* A section's address and size; -1 when there is none of that name. */
int qx48_image_section(const Qx48Image* image, const char* name, uint32_t* address,
                       uint32_t* size);
/* A section's bytes into out, which holds its size; -1 when there is none or it does not fit. */
int qx48_image_section_bytes(const Qx48Image* image, const char* name, uint8_t* out,
                             uint32_t size);
/* The value of a symbol (a function's has the Thumb bit); -1 when there is none. */
int qx48_image_symbol(const Qx48Image* image, const char* name, uint32_t* value);

#ifdef __cplusplus
}
#endif

#endif
