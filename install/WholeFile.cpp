#include "install/WholeFile.h"

#include "classlib/FileHandle.h"

BOOL ReadWholeFile(const char* path, DWORD limit, std::vector<char>* text) {
  text->clear();
  CFileHandle file;
  if (!file.Create(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                   FILE_ATTRIBUTE_NORMAL)) {
    return FALSE;
  }
  const DWORD size = GetFileSize(file.GetSafeHandle(), nullptr);
  if (size == INVALID_FILE_SIZE || size > limit) return FALSE;
  text->assign(size + 1, '\0');
  text->resize(size);
  DWORD read = 0;
  return size == 0 ||
         (ReadFile(file.GetSafeHandle(), text->data(), size, &read, nullptr) && read == size);
}
