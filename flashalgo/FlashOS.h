/* Record types and entry points of the flash programming algorithm interface: what a debugger or
 * flash tool reads from the image (FlashDevice) and what it calls (the entry points). */
#ifndef QX48_FLASHOS_H
#define QX48_FLASHOS_H

#define VERS 1                         /* version of this algorithm */
#define FLASH_DRV_VERS (0x0100 + VERS) /* interface version 1, as the tool checks it */

/* Device type codes of FlashDevice.DevType. */
#define UNKNOWN 0
#define ONCHIP 1   /* on-chip flash memory */
#define EXT8BIT 2  /* external flash, 8-bit bus */
#define EXT16BIT 3 /* external flash, 16-bit bus */
#define EXT32BIT 4 /* external flash, 32-bit bus */
#define EXTSPI 5   /* external flash on SPI */

#define SECTOR_NUM 512 /* most sector runs in the list, the end marker included */
#define PAGE_MAX 65536 /* largest szPage */

/* One run of equal-sized sectors; the run lasts up to the next run or the end of the device. */
struct FlashSectors {
  unsigned long szSector;   /* size of each sector of the run in bytes */
  unsigned long AddrSector; /* offset of the run's first sector from DevAdr */
};

/* Ends the sector list; a tool stops reading there. */
#define SECTOR_END 0xFFFFFFFF, 0xFFFFFFFF

/* The descriptor, little-endian: the field offsets are part of the interface (unsigned long is
 * 32-bit on the target, and the compiler puts 3 fill bytes after valEmpty). */
struct FlashDevice {
  unsigned short Vers;    /* interface version: FLASH_DRV_VERS */
  char DevName[128];      /* device name and description, NUL-filled */
  unsigned short DevType; /* device type code (ONCHIP, ...) */
  unsigned long DevAdr;   /* default start address of the flash */
  unsigned long szDev;    /* size of the flash in bytes */
  unsigned long szPage;   /* most bytes one ProgramPage call receives */
  unsigned long Res;      /* reserved */
  unsigned char valEmpty; /* content of an erased byte */
  unsigned long toProg;   /* time-out of one ProgramPage call in milliseconds */
  unsigned long toErase;  /* time-out of one EraseSector call in milliseconds */
  struct FlashSectors sectors[SECTOR_NUM];
};

/* Entry points. Those that can fail return 0 for success and 1 for failure. */
extern int Init(unsigned long adr, unsigned long clk, unsigned long fnc);
extern int UnInit(unsigned long fnc);
extern int BlankCheck(unsigned long adr, unsigned long sz, unsigned char pat);
extern int EraseChip(void);
extern int EraseSector(unsigned long adr);
extern int ProgramPage(unsigned long adr, unsigned long sz, unsigned char* buf);

#endif
