#pragma once
#include "classlib/CString.h"
#include "classlib/Exceptions.h"
#include "classlib/Platform.h"

// A file opened for reading. This layer reads only: the program never writes a file through it,
// so write access is refused at Open rather than half supported.
class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000
  };

  CFile();
  virtual ~CFile();  // closes an open file, ignoring any error
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Flags 0 (modeRead with shareCompat) give read access and, as on Windows with the class
  // library, share the file with no other opener: a file another program holds open does not
  // open. On Linux nothing enforces sharing. On failure returns FALSE and, when error is
  // given, fills its cause, OS error and file name.
  virtual BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr);
  // Reads up to count bytes; returns how many, 0 at the end. A read error raises CFileException.
  virtual UINT Read(void* buffer, UINT count);
  ULONGLONG GetLength() const;
  // Closes the file; a failure raises CFileException (the file counts as closed all the same).
  virtual void Close();
  // Closes the file without raising anything.
  void Abort();

  BOOL IsOpen() const;
  const CString& GetFilePath() const { return m_strFileName; }

 protected:
  CString m_strFileName;

 private:
#ifdef _WIN32
  HANDLE m_hFile;
#else
  int m_hFile;
#endif
};

// A text file read line by line. Text mode (the default, or typeText) takes CR LF or LF alone
// as a line end; typeBinary takes only LF and keeps a CR before it. Read is CFile's: it neither
// sees the bytes ReadString has buffered nor heeds the read limit, so a file is read one way only.
class CStdioFile : public CFile {
 public:
  // Opens or raises CFileException.
  CStdioFile(LPCTSTR fileName, UINT openFlags);

  BOOL Open(LPCTSTR fileName, UINT openFlags, CFileException* error = nullptr) override;
  void Close() override;

  // The next line without its line end; a last line without a line end is read too. Returns
  // FALSE, with the string empty, when no character is left. A zero byte ends the line's text:
  // the rest of that line is read and dropped, so a string never holds one. A read error
  // raises CFileException.
  virtual BOOL ReadString(CString& line);

  // Not in the class library: reads no more than maxBytes bytes of the file from its opening on,
  // so that a file of any size, or one that grows while it is read, costs bounded memory. Past
  // the limit Read and ReadString find the end of the file (a line cut by it comes back as a last
  // line), and ReachedReadLimit tells that end from the real one. Opening lifts the limit.
  void SetReadLimit(ULONGLONG maxBytes) { m_readLimit = maxBytes; }
  BOOL ReachedReadLimit() const { return m_bytesRead >= m_readLimit; }

 private:
  BOOL FillBuffer();  // FALSE at the end of the file or of the read limit
  UINT ReadWithinLimit(void* buffer, UINT count);

  static constexpr UINT kBufferSize = 4096;
  char m_buffer[kBufferSize];
  UINT m_next = 0;
  UINT m_end = 0;
  BOOL m_binary = FALSE;
  ULONGLONG m_readLimit = ~ULONGLONG{0};
  ULONGLONG m_bytesRead = 0;  // from the file since it was opened, buffered bytes included
};

// A file over a caller's buffer for an archive to load from: it reads that buffer and never
// writes or frees it. Read is all an archive asks of a file, so the rest is CFile's, which sees
// no open file.
class CMemFile : public CFile {
 public:
  CMemFile(BYTE* buffer, UINT bufferSize);

  UINT Read(void* buffer, UINT count) override;

 private:
  BYTE* m_data = nullptr;
  UINT m_size = 0;
  UINT m_position = 0;
};
