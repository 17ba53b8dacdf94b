// Resource ids of QX48_EWARM_pack.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QX48_EWARM_PACK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_CHECK_ON 135
#define IDB_CHECK_OFF 136

#define IDC_CLEAR_OLD_PATCH 1004
#define IDC_DRIVER_PATCH 1006
#define IDC_LIST 1019
#define IDC_SELECT_ALL 1020

// The status bar is created at run time, not in the template.
#define IDC_STATUS_BAR 3

// The system-menu entry that opens the about box; system commands keep their low 4 bits free.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
