#include "install/PatchManifest.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "install/EntryNames.h"
#include "install/FilesInUse.h"
#include "install/ManifestLine.h"
#include "install/PathSafety.h"
#include "install/Sha256.h"
#include "install/TreeListing.h"
#include "install/VerifiedCopy.h"
#include "install/WholeFile.h"

namespace {

constexpr DWORD kHashBufferSize = 256 * 1024;

bool LessNoCase(const std::string& a, const std::string& b) {
  return _stricmp(a.c_str(), b.c_str()) < 0;
}

std::string& BoundDigest() {
  static std::string digest;
  return digest;
}

BOOL Fail(ManifestCheck* check, ManifestVerdict verdict, const char* path) {
  check->verdict = verdict;
  check->path = path;
  return FALSE;
}

// The manifest's entries; FALSE (check filled) when it is not a manifest this program wrote.
BOOL ReadManifest(const char* manifest, std::vector<ManifestEntry>* entries, ManifestCheck* check) {
  std::vector<char> text;
  if (!ReadWholeFile(manifest, kMaxManifestSize, &text)) {
    return Fail(check, kManifestUnreadable, "");
  }
  if (!BoundDigest().empty()) {
    char hex[kSha256HexSize];
    Sha256HexOf(text.data(), text.size(), hex);
    if (BoundDigest() != hex) return Fail(check, kManifestNotBound, "");
  }
  size_t line = 1;
  for (size_t at = 0; at < text.size(); ++line) {
    const char* end = static_cast<const char*>(memchr(text.data() + at, '\n', text.size() - at));
    const size_t length =
        (end != nullptr ? static_cast<size_t>(end - text.data()) : text.size()) - at;
    ManifestEntry entry;
    if (entries->size() >= kMaxManifestEntries ||
        !ParseManifestLine(text.data() + at, length, &entry)) {
      return Fail(check, kManifestUnreadable, std::to_string(line).c_str());
    }
    entries->push_back(entry);
    at += length + 1;
  }
  // A path named twice (in any letter case) is a damaged manifest too: the later line is named.
  std::vector<size_t> order(entries->size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int byName = _stricmp((*entries)[a].path, (*entries)[b].path);
    return byName != 0 ? byName < 0 : a < b;
  });
  for (size_t i = 1; i < order.size(); ++i) {
    if (_stricmp((*entries)[order[i - 1]].path, (*entries)[order[i]].path) == 0) {
      return Fail(check, kManifestUnreadable, std::to_string(order[i] + 1).c_str());
    }
  }
  return TRUE;
}

// One listed file against its entry. Most files are there: only a file that does not match is
// looked at again, to tell a missing one from one that differs.
ManifestVerdict CheckEntry(const char* patchFolder, const ManifestEntry& entry,
                           std::vector<char>& buffer) {
  char path[MAX_PATH];
  if (!JoinItemPath(path, patchFolder, entry.path, MAX_PATH - 1)) return kPatchFileMissing;
  if (CopyAndVerify(path, nullptr, nullptr, &entry, buffer) == kCopyMatches)
    return kManifestMatches;
  // Another program may hold the file for a moment (a second console tool reads the patch's
  // version file alone for its log's first line): once it lets go, within the budget for files in
  // use, the file is read again rather than called damaged.
  DWORD waitedMs = 0;
  IsFileInUse(path, &waitedMs);
  if (CopyAndVerify(path, nullptr, nullptr, &entry, buffer) == kCopyMatches)
    return kManifestMatches;
  const DWORD attributes = GetFileAttributesA(path);
  return attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes) ? kPatchFileMissing
                                                                       : kPatchFileDiffers;
}

// The index of the first entry that does not match (entries.size() when all do), its verdict in
// *verdict. Under Wine the time goes mostly into opening the files, each a round trip to the Wine
// server, so a few threads, each taking every n-th entry, overlap them; a thread stops once it is
// past a bad entry another has found.
size_t FirstBadEntry(const char* patchFolder, const std::vector<ManifestEntry>& entries,
                     ManifestVerdict* verdict) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const size_t threads = std::min<size_t>(std::max<DWORD>(system.dwNumberOfProcessors, 1), 4);
  std::vector<ManifestVerdict> verdicts(entries.size(), kManifestMatches);
  std::atomic<size_t> firstBad{entries.size()};
  // Everything is allocated before a thread starts: nothing may throw while one runs.
  std::vector<std::vector<char>> buffers(threads, std::vector<char>(kHashBufferSize));
  std::vector<std::thread> helpers;
  helpers.reserve(threads);
  auto check = [&](size_t first) {
    std::vector<char>& buffer = buffers[first];
    for (size_t i = first; i < entries.size() && i < firstBad.load(); i += threads) {
      verdicts[i] = CheckEntry(patchFolder, entries[i], buffer);
      if (verdicts[i] == kManifestMatches) continue;
      size_t known = firstBad.load();
      while (i < known && !firstBad.compare_exchange_weak(known, i)) {
      }
      return;
    }
  };
  for (size_t t = 1; t < threads; ++t) {
    try {
      helpers.emplace_back(check, t);
    } catch (const std::system_error&) {
      check(t);  // no thread to be had: this share is checked here instead
    }
  }
  check(0);
  for (std::thread& helper : helpers) helper.join();
  const size_t bad = firstBad.load();
  if (bad < entries.size()) *verdict = verdicts[bad];
  return bad;
}

}  // namespace

void BindManifestDigest(const char* sha256Hex) {
  BoundDigest() = sha256Hex != nullptr ? sha256Hex : "";
}

BOOL LoadManifestIndex(const char* manifest, ManifestIndex* index, ManifestCheck* check) {
  *check = ManifestCheck{};
  index->entries.clear();
  index->present = manifest != nullptr && manifest[0] != '\0' &&
                   GetFileAttributesA(manifest) != INVALID_FILE_ATTRIBUTES;
  if (!index->present) {
    check->verdict = kManifestAbsent;
    return TRUE;
  }
  if (!ReadManifest(manifest, &index->entries, check)) return FALSE;
  std::sort(
      index->entries.begin(), index->entries.end(),
      [](const ManifestEntry& a, const ManifestEntry& b) { return _stricmp(a.path, b.path) < 0; });
  check->verdict = kManifestMatches;
  return TRUE;
}

const ManifestEntry* FindManifestEntry(const ManifestIndex& index, const char* path) {
  const auto found = std::lower_bound(
      index.entries.begin(), index.entries.end(), path,
      [](const ManifestEntry& entry, const char* name) { return _stricmp(entry.path, name) < 0; });
  return found != index.entries.end() && _stricmp(found->path, path) == 0 ? &*found : nullptr;
}

ManifestVerdict CheckPatchAgainstManifest(const char* patchFolder, const char* manifest,
                                          ManifestCheck* check, const TreeListing* listing) {
  *check = ManifestCheck{};
  check->verdict = kManifestMatches;
  if (manifest == nullptr || manifest[0] == '\0' ||
      GetFileAttributesA(manifest) == INVALID_FILE_ATTRIBUTES) {
    check->verdict = kManifestAbsent;
    return check->verdict;
  }
  std::vector<ManifestEntry> entries;
  if (!ReadManifest(manifest, &entries, check)) return check->verdict;
  ManifestVerdict verdict = kManifestMatches;
  const size_t bad = FirstBadEntry(patchFolder, entries, &verdict);
  if (bad < entries.size()) {
    Fail(check, verdict, entries[bad].path);
    return check->verdict;
  }
  std::vector<std::string> listed;
  for (const ManifestEntry& entry : entries) listed.push_back(entry.path);
  std::sort(listed.begin(), listed.end(), LessNoCase);
  TreeListing own;
  if (listing == nullptr) {
    ListTree(patchFolder, &own);
    listing = &own;
  }
  // A manifest names files only: a link or an odd name the listing left out is never in it.
  for (const std::vector<std::string>* entries : {&listing->files, &listing->others}) {
    for (const std::string& file : *entries) {
      if (!std::binary_search(listed.begin(), listed.end(), file, LessNoCase)) {
        Fail(check, kPatchFileExtra, file.c_str());
        return check->verdict;
      }
    }
  }
  return check->verdict;
}

std::string DescribeManifestCheck(const ManifestCheck& check) {
  switch (check.verdict) {
    case kManifestUnreadable:
      return check.path.empty() ? "its manifest is unreadable"
                                : "its manifest is unreadable at line " + check.path;
    case kPatchFileMissing:
      return check.path + " is missing";
    case kPatchFileDiffers:
      return check.path + " differs from its manifest";
    case kPatchFileExtra:
      return check.path + " is not in the manifest";
    case kManifestNotBound:
      return "its manifest is not the one this program was built with" + check.path;
    default:
      return std::string();
  }
}
