/* Entry points of QX48Flash: they drive the flash controller and the independent watchdog of the
 * target directly. The image keeps no state between calls.
 *
 * RAM a loader must give it: the 520 bytes of PrgCode and PrgData, a page buffer of szPage (1 KiB)
 * and a stack of 64 bytes. The deepest entry point, EraseChip, uses 40 bytes of stack (four calls
 * below it); ProgramPage 24, Init and EraseSector 16, UnInit and BlankCheck none. Loaders commonly
 * give 256 to 512 bytes; the host tests fail any entry point that needs more than 64. */
#include "FlashOS.h"

typedef struct {
  volatile unsigned long ACR;     /* access control */
  volatile unsigned long KEYR;    /* key sequence unlocks the controller */
  volatile unsigned long OPTKEYR; /* key sequence unlocks option-byte programming */
  volatile unsigned long SR;      /* status */
  volatile unsigned long CR;      /* control */
  volatile unsigned long AR;      /* address of the page to erase */
  volatile unsigned long RESERVED0;
  volatile unsigned long OBR;  /* option bytes as loaded at reset */
  volatile unsigned long WRPR; /* write protection */
} FLASH_TypeDef;

typedef struct {
  volatile unsigned long KR;  /* key */
  volatile unsigned long PR;  /* prescaler */
  volatile unsigned long RLR; /* reload value */
  volatile unsigned long SR;  /* status */
} IWDG_TypeDef;

#define FLASH_BASE 0x40022000UL
#define IWDG_BASE 0x40003000UL
#define FLASH ((FLASH_TypeDef*)FLASH_BASE)
#define IWDG ((IWDG_TypeDef*)IWDG_BASE)

/* CR */
#define FLASH_PG 0x01UL
#define FLASH_PER 0x02UL
#define FLASH_MER 0x04UL
#define FLASH_OPTPG 0x10UL
#define FLASH_OPTER 0x20UL
#define FLASH_STRT 0x40UL
#define FLASH_LOCK 0x80UL
#define FLASH_OPTWRE 0x100UL

/* SR; an error bit is cleared by writing 1 to it. */
#define FLASH_BSY 0x01UL
#define FLASH_PGERR 0x04UL
#define FLASH_WRPRTERR 0x10UL
#define FLASH_EOP 0x20UL
#define FLASH_ERR (FLASH_PGERR | FLASH_WRPRTERR)

#define FLASH_KEY1 0x3C5A9E17UL
#define FLASH_KEY2 0x7B21D4F0UL
#define FLASH_OPTKEY1 0x3C5A9E17UL
#define FLASH_OPTKEY2 0x7B21D4F0UL
#define RDPRT_KEY 0x6C93U

#define IWDG_ACCESS_KEY 0x9C3EUL /* allows writes to PR and RLR */
#define IWDG_RELOAD 0xAAAAUL
#define IWDG_PR_LONGEST 6UL
#define IWDG_RLR_LONGEST 0xFFFUL
#define OBR_WDG_SW 0x04UL /* set: the watchdog is started by software, not from reset */

#define MAIN_FLASH_BASE 0x08000000UL
#define OPTION_BLOCK_BASE 0x1FFFF800UL
/* Keeps the control bits up to bit 12 except FLASH_OPTPG. */
#define CR_OPTPG_CLEAR_MASK 0x1FEFUL

/* The caller guarantees halfword alignment of the data, so it is read a halfword at a time. */
typedef unsigned short __attribute__((may_alias)) HalfwordAlias;

/* The read-write data, where the tool points the static base: one zero word that no entry point
 * uses. It is kept in the file (not zero-filled at load) so that the first segment is loaded whole
 * as it stands. */
static unsigned long StaticBaseWord __attribute__((used, section(".data"))) = 0;

void FLASH_Unlock(void);
int FLASH_EraseAllPages(void);
int FLASH_EraseOptionBlock(unsigned int u32addressBase);
int EraseBlock1ffff800write6C93(void);

/* Waits for the controller; a mass erase can outlast the watchdog period, so every poll reloads
 * the watchdog. This and FinishOperation are inlined wherever they are used, so that ProgramPage's
 * loop keeps the register addresses and masks in registers for the whole page. */
static inline __attribute__((always_inline)) void WaitWhileBusy(void) {
  while (FLASH->SR & FLASH_BSY) {
    IWDG->KR = IWDG_RELOAD;
  }
}

/* 1 when the last operation left an error flag, cleared here so the next one starts clean. */
static inline __attribute__((always_inline)) int FinishOperation(void) {
  if (FLASH->SR & FLASH_ERR) {
    FLASH->SR |= FLASH_ERR;
    return 1;
  }
  return 0;
}

/* The common end of an erase or program: waits, leaves the mode given by crBits, finishes. */
static int CompleteOperation(unsigned long crBits) {
  WaitWhileBusy();
  FLASH->CR &= ~crBits;
  return FinishOperation();
}

/* Starts an erase in the mode given by crBits and completes it. */
static int StartErase(unsigned long crBits) {
  FLASH->CR |= crBits;
  FLASH->CR |= FLASH_STRT;
  return CompleteOperation(crBits);
}

/* Both key registers take the same two-word sequence; kept out of line so that the keys sit in
 * the constant pool once. */
_Static_assert(FLASH_OPTKEY1 == FLASH_KEY1 && FLASH_OPTKEY2 == FLASH_KEY2,
               "one key sequence serves KEYR and OPTKEYR");
static __attribute__((noinline)) void WriteKeySequence(volatile unsigned long* keyRegister) {
  *keyRegister = FLASH_KEY1;
  *keyRegister = FLASH_KEY2;
}

void FLASH_Unlock(void) {
  WriteKeySequence(&FLASH->KEYR);
}

/*
 * Initialize Flash Programming Functions
 *    Parameter:      adr:  Device Base Address (not used)
 *                    clk:  Clock Frequency (Hz) (not used)
 *                    fnc:  Function Code (1 - Erase, 2 - Program, 3 - Verify; all alike)
 *    Return Value:   0 - OK
 */
int Init(unsigned long adr, unsigned long clk, unsigned long fnc) {
  (void)adr;
  (void)clk;
  (void)fnc;
  FLASH_Unlock();
  WriteKeySequence(&FLASH->OPTKEYR);
  FLASH->ACR = 0;
  FLASH->SR |= FLASH_ERR;
  /* A watchdog started from reset cannot be stopped; give it its longest period instead. */
  if ((FLASH->OBR & OBR_WDG_SW) == 0) {
    IWDG->KR = IWDG_ACCESS_KEY;
    IWDG->PR = IWDG_PR_LONGEST;
    IWDG->RLR = IWDG_RLR_LONGEST;
  }
  return 0;
}

/*
 * De-Initialize Flash Programming Functions: locks the controller and the option bytes
 *    Parameter:      fnc:  Function Code (not used)
 *    Return Value:   0 - OK
 */
int UnInit(unsigned long fnc) {
  (void)fnc;
  FLASH->CR |= FLASH_LOCK;
  FLASH->CR &= ~FLASH_OPTWRE;
  return 0;
}

/*
 * Blank Check: this image never reads the flash, so every range counts as not blank and the tool
 * erases it.
 *    Parameter:      adr:  Block Start Address, sz: Block Size in bytes, pat: Pattern to compare
 *    Return Value:   1 - Not blank
 */
int BlankCheck(unsigned long adr, unsigned long sz, unsigned char pat) {
  (void)adr;
  (void)sz;
  (void)pat;
  return 1;
}

/* Mass erase of the main flash. 0 - OK, 1 - Failed */
int FLASH_EraseAllPages(void) {
  FLASH->AR = MAIN_FLASH_BASE;
  FLASH->SR |= FLASH_ERR;
  return StartErase(FLASH_MER);
}

/* Erases the option block at u32addressBase. 0 - OK, 1 - Failed */
int FLASH_EraseOptionBlock(unsigned int u32addressBase) {
  FLASH->AR = u32addressBase;
  FLASH->SR |= FLASH_ERR;
  WriteKeySequence(&FLASH->OPTKEYR);
  return StartErase(FLASH_OPTER);
}

/* Erases the option block and programs its read-protection halfword; only the programming is
 * checked. 0 - OK, 1 - Failed */
int EraseBlock1ffff800write6C93(void) {
  FLASH_Unlock();
  (void)FLASH_EraseOptionBlock(OPTION_BLOCK_BASE);
  FLASH->CR &= CR_OPTPG_CLEAR_MASK;
  FLASH->CR |= FLASH_OPTPG;
  *(volatile unsigned short*)OPTION_BLOCK_BASE = RDPRT_KEY;
  return CompleteOperation(FLASH_OPTPG);
}

/*
 * Erase complete Flash Memory: the option block first, then the main flash; both steps always run.
 *    Return Value:   0 - OK,  1 - Failed (either step ended with an error flag)
 */
int EraseChip(void) {
  int failed = EraseBlock1ffff800write6C93();
  failed |= FLASH_EraseAllPages();
  return failed;
}

/*
 * Erase Sector in Flash Memory
 *    Parameter:      adr:  Sector Address (any address within the sector)
 *    Return Value:   0 - OK,  1 - Failed
 */
int EraseSector(unsigned long adr) {
  FLASH->SR |= FLASH_ERR;
  FLASH->CR |= FLASH_PER;
  FLASH->AR = adr;
  FLASH->CR |= FLASH_STRT;
  return CompleteOperation(FLASH_PER);
}

/*
 * Program Page in Flash Memory, a halfword at a time; stops at the first halfword that fails.
 *    Parameter:      adr:  Page Start Address (halfword-aligned)
 *                    sz:   Page Size in bytes (at most szPage); an odd last byte is programmed
 *                          with 0xFF, the erased value, as its high byte
 *                    buf:  Page Data (halfword-aligned, sz bytes)
 *    Return Value:   0 - OK,  1 - Failed
 */
int ProgramPage(unsigned long adr, unsigned long sz, unsigned char* buf) {
  volatile unsigned short* dst = (volatile unsigned short*)adr;
  /* Only the programming error is named, but the read-modify-write writes back every flag that
   * reads as set, and writing 1 clears it: stale flags of either kind are gone before the first
   * halfword. */
  FLASH->SR |= FLASH_PGERR;
  while (sz != 0) {
    unsigned int halfword;
    if (sz >= 2) {
      halfword = *(const HalfwordAlias*)buf;
      sz -= 2;
    } else {
      halfword = buf[0] | 0xFF00U;
      sz = 0;
    }
    /* CompleteOperation's steps written out: a call per halfword would load the register
     * addresses and masks again each time (35 instructions a halfword instead of 26). */
    FLASH->CR |= FLASH_PG;
    *dst++ = (unsigned short)halfword;
    WaitWhileBusy();
    FLASH->CR &= ~FLASH_PG;
    if (FinishOperation()) {
      return 1;
    }
    buf += 2;
  }
  return 0;
}
