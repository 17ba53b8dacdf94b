/* Layout of the QX48Flash image. The tool copies both segments to RAM at an address of its own
 * choosing and sets the static base (r9) to PrgData, so every address here is an offset from the
 * load address; the code refers to itself PC-relatively and to data through r9. */
ENTRY(0)

PHDRS {
  code PT_LOAD FLAGS(7); /* PrgCode and PrgData: read, write, execute */
  dscr PT_LOAD FLAGS(4); /* DevDscr: read only; the tool reads the descriptor from here */
}

SECTIONS {
  /* The code of all entry points with their constant pools; never any descriptor data. */
  PrgCode 0 : {
    *(.text .text.*)
    *(EXCLUDE_FILE(*FlashDev.c.o*) .rodata .rodata.*)
  } :code

  /* The read-write data; zero-initialized data is kept here too, in the file, so that the tool
   * needs no zero-fill. */
  PrgData : {
    *(.data .data.*)
    *(.bss .bss.* COMMON)
  } :code

  /* The descriptor alone, by file name (CMake names the object FlashDev.c.obj here), in the
   * second segment. */
  DevDscr : {
    *FlashDev.c.o*(.rodata .rodata.*)
  } :dscr

  /* Nothing in the image unwinds, and a tool loads only the two segments above. */
  /DISCARD/ : { *(.ARM.exidx* .ARM.extab* .init_array* .fini_array*) }
}

ASSERT(SIZEOF(PrgData) == 4, "PrgData must be the one zero word of read-write data")
ASSERT(SIZEOF(DevDscr) == 4256, "DevDscr must hold FlashDevice and nothing else")
ASSERT(FlashDevice == ADDR(DevDscr), "FlashDevice must start DevDscr")
