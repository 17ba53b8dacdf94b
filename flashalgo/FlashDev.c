/* The flash device descriptor of QX48Flash; the link script gives it a section of its own. */
#include <stddef.h>

#include "FlashOS.h"

const struct FlashDevice FlashDevice = {
    FLASH_DRV_VERS,            /* Driver Version, do not modify */
    "QX48H410xKx 512KB Flash", /* Device Name, NUL-filled to 128 bytes */
    ONCHIP,                    /* Device Type */
    0x08000000,                /* Device Start Address */
    0x00080000,                /* Device Size in Bytes (512kB) */
    0x400,                     /* Programming Page Size (1kB) */
    0,                         /* Reserved, must be 0 */
    0xFF,                      /* Initial Content of Erased Memory */
    100,                       /* Program Page Timeout 100 mSec */
    6000,                      /* Erase Sector Timeout 6000 mSec */
    {
        {0x400, 0x000000}, /* 512 sectors of 1kB from the start */
        {SECTOR_END},      /* the rest of the list stays zero */
    },
};

/* A tool reads the record by offset, so the layout is checked where it is made. */
_Static_assert(sizeof(struct FlashDevice) == 4256, "FlashDevice is 4256 bytes");
_Static_assert(offsetof(struct FlashDevice, DevType) == 130, "DevType follows DevName");
_Static_assert(offsetof(struct FlashDevice, valEmpty) == 148, "valEmpty at 148");
_Static_assert(offsetof(struct FlashDevice, toProg) == 152, "3 fill bytes after valEmpty");
_Static_assert(offsetof(struct FlashDevice, sectors) == 160, "sector list at 160");
