#pragma once
#include "classlib/afx.h"

// The column-width record of the application profile: a count, then that many widths, each a
// 32-bit little-endian integer. Read here apart from the header window it is applied to, so that
// every build can test and fuzz it with the real memory file and archive.

// TRUE when a profile value is exactly a count and that many widths: anything else would have the
// archive run out of data halfway, after some widths were applied.
BOOL IsWholeWidthRecord(const BYTE* data, UINT bytes);

// Takes one width as soon as it is read; item counts the header's items from 0.
typedef void (*ColumnWidthSink)(void* context, int item, int width);

// Reads a record from a loading archive for a header of itemCount items: the count and, only when
// it equals itemCount, that many widths, each handed to sink right after it is read. Returns the
// number of widths handed over. A record shorter than its count raises the archive's end-of-data
// exception once the widths before the end have been handed over.
int ReadColumnWidths(CArchive& ar, int itemCount, ColumnWidthSink sink, void* context);
