#pragma once
#include <windows.h>

#include <string>

#include "install/TreeListing.h"

// Whether another program holds a file that the install would replace or move, so that a file in
// use leaves the installation as it was instead of breaking it half way: asked of a vendor folder's
// files before the folder is moved aside whole, and of a replaced file by the open that moves it
// into the undo area (a rollback then puts back what was done before it).

// A file locked only for a moment is tried again: at most this many times in all, this far apart,
// and never past the installation's budget (at most 2 s of waiting for one installation, however
// long the install itself takes before it meets the file).
constexpr int kInUseTries = 10;
constexpr DWORD kInUseRetryMs = 100;
constexpr DWORD kInUseBudgetMs = 2000;

constexpr int kProgramNameSize = 256;

// Called after try number tries found a file held: TRUE, once kInUseRetryMs more are waited (and
// added to *waitedMs, the installation's waiting so far), while another try fits the tries and
// the budget; FALSE at once when it does not.
BOOL WaitToTryAgain(int tries, DWORD* waitedMs);

// TRUE when an open for deletion failed because another handle holds the file (a sharing or lock
// violation), as GetLastError says right after it.
BOOL FailedAsHeld();

// TRUE when path exists and another handle keeps this process from opening it for deletion
// (a sharing or lock violation) on every try until the budget runs out (WaitToTryAgain).
BOOL IsFileInUse(const char* path, DWORD* waitedMs);

// TRUE when a file at any depth below folder is in use, as IsFileInUse says; its path goes into
// file. Linked folders are not entered.
BOOL FindFileInUse(const char* folder, DWORD* waitedMs, std::string* file);

// Looks at every file of each installed vendor folder below config that the patch carries (as the
// patch's own listing names them), and at config's version file: the ones that clearing the old
// patch moves aside whole, and that taking the patch out moves or removes. TRUE, the file's path
// in file, when one is in use.
BOOL FindFileInUseInVendorFolders(const char* config, const TreeListing& patch, DWORD* waitedMs,
                                  std::string* file);

// The name of a program that holds path, as the Restart Manager (rstrtmgr.dll, loaded when
// asked) tells it, into program. FALSE when it cannot tell: no Restart Manager, no holder found,
// or (under Wine) nothing implemented.
BOOL FindProgramHolding(const char* path, std::string* program);
