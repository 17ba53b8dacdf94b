#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/FileHandle.h"
#include "classlib/FindFile.h"
#include "classlib/RegKey.h"
#include "tests/classlib/TempFolder.h"

namespace {

// A key every Windows and every Wine prefix has, opened read-only so the test writes nothing.
constexpr const char* kExistingKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kMissingKey = "SOFTWARE\\QX48 class layer test\\no such key";

// TRUE while someone holds path open without sharing it: an open asking for no sharing either
// fails with a sharing violation exactly then.
bool IsHeldOpen(const std::string& path) {
  HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  if (other != INVALID_HANDLE_VALUE) {
    CloseHandle(other);
    return false;
  }
  EXPECT_EQ(error, DWORD{ERROR_SHARING_VIOLATION}) << path;
  return true;
}

BOOL OpenUnshared(CFileHandle& file, const std::string& path) {
  return file.Create(path.c_str(), GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

std::vector<std::string> ListNames(CFindFile& listing, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  if (!listing.FindFirst(pattern.c_str(), &entry)) return names;
  do {
    names.push_back(entry.cFileName);
  } while (listing.FindNext(&entry));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_FILES});
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CFileHandle, HoldsTheFileExactlyAsLongAsItOwnsIt) {
  TempFolder folder;
  const std::string path = folder.Write("held.bin", "data");
  {
    CFileHandle file;
    EXPECT_FALSE(file.IsOpen());
    ASSERT_TRUE(OpenUnshared(file, path));
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(IsHeldOpen(path));
  }
  EXPECT_FALSE(IsHeldOpen(path)) << "the destructor did not close the file";
}

TEST(CFileHandle, CreateAndCloseRelease) {
  TempFolder folder;
  const std::string first = folder.Write("first.bin", "1");
  const std::string second = folder.Write("second.bin", "2");
  CFileHandle file;
  ASSERT_TRUE(OpenUnshared(file, first));
  ASSERT_TRUE(OpenUnshared(file, second));
  EXPECT_FALSE(IsHeldOpen(first)) << "opening again kept the first file";
  EXPECT_TRUE(IsHeldOpen(second));
  EXPECT_TRUE(file.Close());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(IsHeldOpen(second));
  EXPECT_FALSE(file.Close()) << "a second close reported success";

  ASSERT_TRUE(OpenUnshared(file, first));
  EXPECT_FALSE(OpenUnshared(file, folder.PathOf("missing.bin")));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(IsHeldOpen(first)) << "a failed open kept the file held before";
}

// A folder opened twice is the same folder; a file beside it is another one.
TEST(CFileHandle, InformationAndFinalPathOfAFolder) {
  TempFolder folder;
  const std::string file = folder.Write("beside.bin", "x");
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  CFileHandle first, second, other;
  ASSERT_TRUE(
      first.Create(folder.Path().c_str(), 0, share, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  ASSERT_TRUE(
      second.Create(folder.Path().c_str(), 0, share, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  ASSERT_TRUE(other.Create(file.c_str(), 0, share, OPEN_EXISTING, 0));
  BY_HANDLE_FILE_INFORMATION a = {}, b = {}, c = {};
  ASSERT_TRUE(first.GetInformation(&a));
  ASSERT_TRUE(second.GetInformation(&b));
  ASSERT_TRUE(other.GetInformation(&c));
  EXPECT_TRUE((a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  EXPECT_EQ(a.dwVolumeSerialNumber, b.dwVolumeSerialNumber);
  EXPECT_EQ(a.nFileIndexHigh, b.nFileIndexHigh);
  EXPECT_EQ(a.nFileIndexLow, b.nFileIndexLow);
  EXPECT_FALSE(a.nFileIndexHigh == c.nFileIndexHigh && a.nFileIndexLow == c.nFileIndexLow);

  char path[MAX_PATH] = "";
  const DWORD length =
      other.GetFinalPathName(path, MAX_PATH, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, DWORD{MAX_PATH});
  EXPECT_EQ(strlen(path), length);
  const std::string resolved = path;
  EXPECT_EQ(resolved.substr(resolved.size() - strlen("\\beside.bin")), "\\beside.bin") << resolved;

  char tooSmall[4] = "";
  EXPECT_GT(
      other.GetFinalPathName(tooSmall, sizeof tooSmall, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS),
      DWORD{sizeof tooSmall});
}

TEST(CFindFile, ListsWhatAPatternMatches) {
  TempFolder folder;
  folder.Write("a.txt", "a");
  folder.Write("b.txt", "b");
  folder.Write("c.dat", "c");
  CreateDirectoryA(folder.PathOf("empty").c_str(), nullptr);
  struct Case {
    std::string pattern;
    std::vector<std::string> names;
    DWORD firstError;  // GetLastError after a FindFirst that finds nothing
  };
  const Case cases[] = {
      {folder.PathOf("*"), {"a.txt", "b.txt", "c.dat", "empty"}, 0},
      {folder.PathOf("*.txt"), {"a.txt", "b.txt"}, 0},
      {folder.PathOf("*.none"), {}, ERROR_FILE_NOT_FOUND},
      {folder.PathOf("empty\\*"), {}, ERROR_FILE_NOT_FOUND},  // "." and ".." are never listed
      {folder.PathOf("missing\\*"), {}, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    CFindFile listing;
    EXPECT_EQ(ListNames(listing, c.pattern), c.names) << c.pattern;
    if (c.firstError != 0) {
      EXPECT_EQ(GetLastError(), c.firstError) << c.pattern;
      EXPECT_FALSE(listing.IsOpen()) << c.pattern;
    } else {
      EXPECT_TRUE(listing.IsOpen()) << c.pattern;
    }
  }
}

TEST(CFindFile, CloseEndsTheListingOnce) {
  TempFolder folder;
  folder.Write("one", "1");
  folder.Write("two", "2");
  WIN32_FIND_DATAA entry;

  CFindFile listing;
  EXPECT_FALSE(listing.FindNext(&entry)) << "a listing that was never opened went on";
  ASSERT_TRUE(listing.FindFirst(folder.PathOf("*").c_str(), &entry));
  EXPECT_TRUE(listing.Close());
  EXPECT_FALSE(listing.IsOpen());
  EXPECT_FALSE(listing.Close()) << "a second close reported success";
  EXPECT_FALSE(listing.FindNext(&entry)) << "a closed listing went on";
}

TEST(CRegKey, OpensReadsAndCloses) {
  CRegKey key;
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS) << "closing no key is not an error";

  EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kMissingKey, KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);

  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kExistingKey, KEY_READ), ERROR_SUCCESS);
  ASSERT_NE(static_cast<HKEY>(key), nullptr);
  DWORD subkeys = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_GT(subkeys, 0u);

  // A failed open gives up the key held before.
  EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kMissingKey, KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);

  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kExistingKey, KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(static_cast<HKEY>(key), nullptr);
}

// What the destructor closed is no key any more; what was detached still is.
TEST(CRegKey, DestructorClosesUnlessDetached) {
  HKEY closed = nullptr;
  HKEY detached = nullptr;
  {
    CRegKey first;
    CRegKey second;
    ASSERT_EQ(first.Open(HKEY_LOCAL_MACHINE, kExistingKey, KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(second.Open(HKEY_LOCAL_MACHINE, kExistingKey, KEY_READ), ERROR_SUCCESS);
    closed = first;
    detached = second.Detach();
    EXPECT_EQ(static_cast<HKEY>(second), nullptr);
  }
  DWORD subkeys = 0;
  EXPECT_EQ(RegQueryInfoKeyA(detached, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegQueryInfoKeyA(closed, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  CRegKey owner;
  owner.Attach(detached);
  EXPECT_EQ(static_cast<HKEY>(owner), detached);
  EXPECT_EQ(owner.Close(), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryInfoKeyA(detached, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
}

}  // namespace
