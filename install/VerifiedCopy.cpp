#include "install/VerifiedCopy.h"

#include <algorithm>
#include <cstring>

#include "classlib/FileHandle.h"
#include "install/OpenBelow.h"
#include "install/PathSafety.h"
#include "install/Sha256.h"

namespace {

constexpr DWORD kCopyBufferSize = 256 * 1024;
// What CopyFileA carries over besides the bytes: a read-only patch file stays read-only.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

BOOL WriteAll(const CFileHandle& file, const char* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file.GetSafeHandle(), data, size, &written, nullptr) && written == size;
}

}  // namespace

CopyVerdict CopyAndVerify(const char* source, HANDLE folder, const char* name,
                          const ManifestEntry* expected, std::vector<char>& buffer) {
  // The size, times and attributes from the handle: GetFileInformationByHandle would also ask
  // for the volume, which under Wine is a round trip to another process for every file.
  CFileHandle in;
  FILE_BASIC_INFO basic;
  LARGE_INTEGER size;
  if (!in.Create(source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN) ||
      !GetFileInformationByHandleEx(in.GetSafeHandle(), FileBasicInfo, &basic, sizeof basic) ||
      IsFolder(basic.FileAttributes) || !GetFileSizeEx(in.GetSafeHandle(), &size)) {
    return kCopyFailed;
  }
  // A size that is not the manifest's is known before a byte is read.
  if (expected != nullptr && static_cast<uint64_t>(size.QuadPart) != expected->size) {
    return kCopyDiffers;
  }
  // Made plain, and given the source's attributes (a read-only patch file stays read-only) only
  // once it is whole: a read-only file could not be deleted through its handle again.
  CFileHandle out;
  if (folder != nullptr) {
    out.Attach(OpenBelow(folder, name, GENERIC_WRITE | DELETE, 0, CREATE_NEW, FALSE));
    if (!out.IsOpen()) return kCopyNotMade;
  }
  const auto discard = [&out](CopyVerdict verdict) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    if (out.IsOpen())
      SetFileInformationByHandle(out.GetSafeHandle(), FileDispositionInfo, &disposition,
                                 sizeof disposition);
    return verdict;
  };
  if (buffer.size() < kCopyBufferSize) buffer.resize(kCopyBufferSize);
  Sha256 hash;
  Sha256Init(&hash);
  // The bytes the file had when it was opened, and no read past them: a read that finds the end
  // is one more call, and most patch files take a single read.
  const uint64_t length = static_cast<uint64_t>(size.QuadPart);
  uint64_t total = 0;
  while (total < length) {
    const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kCopyBufferSize, length - total));
    DWORD read = 0;
    if (!ReadFile(in.GetSafeHandle(), buffer.data(), want, &read, nullptr) || read == 0) {
      return discard(kCopyFailed);  // the file shrank while it was read
    }
    Sha256Update(&hash, buffer.data(), read);
    total += read;
    if (out.IsOpen() && !WriteAll(out, buffer.data(), read)) return discard(kCopyFailed);
  }
  if (expected != nullptr) {
    uint8_t digest[kSha256Size];
    char hex[kSha256HexSize];
    Sha256Final(&hash, digest);
    Sha256ToHex(digest, hex);
    if (total != expected->size || strcmp(hex, expected->sha256) != 0) return discard(kCopyDiffers);
  }
  if (out.IsOpen()) {
    FILE_BASIC_INFO finished = {};  // times of 0 stay as they are
    finished.LastWriteTime = basic.LastWriteTime;
    const DWORD attributes = basic.FileAttributes & kCopiedAttributes;
    finished.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(out.GetSafeHandle(), FileBasicInfo, &finished,
                                    sizeof finished)) {
      return discard(kCopyFailed);
    }
    if (!out.Close()) return kCopyFailed;
  }
  return kCopyMatches;
}
