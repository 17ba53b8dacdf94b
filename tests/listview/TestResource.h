// Resource ids of the list and window-layer test programs.
#pragma once

#define IDD_LIST_TEST 200
#define IDD_LAYER_TEST 201
#define IDB_TEST_RED 300
#define IDB_TEST_BLUE 301

// The list test dialog: the main dialog's layout, with a second, unbound list beside it.
#define IDC_TEST_LIST 1019
#define IDC_TEST_SELECT_ALL 1020
#define IDC_TEST_CLEAR 1004
#define IDC_TEST_BUTTON 1006
#define IDC_TEST_PLAIN_LIST 1021

// The window-layer test dialog.
#define IDC_LAYER_CHECK 1101
#define IDC_LAYER_CHECK3 1102
#define IDC_LAYER_LIST 1103
#define IDC_LAYER_BUTTON 1104
#define IDC_LAYER_PLAIN_LIST 1105
