#pragma once
// The one place where the portable code meets the operating system. On Windows these are the
// real Win32 and CRT declarations; on Linux (the host build) the few of them the portable code
// calls are given here with the same names and meanings.

#ifdef _WIN32

#include <windows.h>
#include <shlwapi.h>
#include <mbstring.h>
#include <string.h>

// winbase.h still maps GetCurrentTime to GetTickCount for 16-bit code; it would rename
// COleDateTime::GetCurrentTime.
#undef GetCurrentTime

#else  // Linux

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <strings.h>
#include <sys/stat.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;  // 32 bits as on Windows, where long is 32 bits
typedef unsigned int UINT;
typedef char CHAR;
typedef char TCHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef const char* LPCTSTR;
typedef char* LPTSTR;
typedef void* LPVOID;
typedef intptr_t INT_PTR;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef void* HANDLE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

// True when the path names anything that exists: a file, a folder or a device.
inline BOOL PathFileExistsA(LPCSTR path) {
  struct stat info;
  return path != nullptr && stat(path, &info) == 0;
}

inline void Sleep(DWORD milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

// ASCII letters compared without regard to case, as the C locale of the Windows CRT does.
inline int _stricmp(const char* a, const char* b) {
  return strcasecmp(a, b);
}
inline int _strnicmp(const char* a, const char* b, size_t n) {
  return strncasecmp(a, b, n);
}

// Windows folds letters of the current multibyte code page; the host build has only the ASCII
// ones to fold, which is what the portable code's tests need.
inline int _mbsicmp(const unsigned char* a, const unsigned char* b) {
  return strcasecmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

// The host build has no double-byte code page: every byte is a character of its own.
inline BOOL IsDBCSLeadByte(BYTE) {
  return FALSE;
}

#endif
