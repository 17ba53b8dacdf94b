#include "toolchain/ListedInstallations.h"

#include <string.h>

#include "toolchain/RegistryScan.h"

namespace {

// A folder as the registry may write it twice: without trailing backslashes, in any case.
bool SameFolder(const char* a, const char* b) {
  size_t lengthA = strlen(a);
  size_t lengthB = strlen(b);
  while (lengthA > 0 && a[lengthA - 1] == '\\') --lengthA;
  while (lengthB > 0 && b[lengthB - 1] == '\\') --lengthB;
  return lengthA == lengthB && _strnicmp(a, b, lengthA) == 0;
}

// The first kMaxListedInstallations records of found in ascending order of version text (a tie
// keeps registry order), without a record that repeats an earlier one.
InstallRecordList SelectInstallations(const InstallRecordList& found,
                                      bool (*repeats)(const InstallRecord&, const InstallRecord&)) {
  InstallRecordList listed;
  const size_t offered = found.size() < size_t(kMaxListedInstallations)
                             ? found.size()
                             : size_t(kMaxListedInstallations);
  for (size_t i = 0; i < offered; ++i) {
    const InstallRecord& record = found[i];
    // Insert before the first text that compares greater; an equal text refuses the record.
    size_t position = listed.size();
    bool repeated = false;
    for (size_t j = 0; j < listed.size(); ++j) {
      if (repeats(record, listed[j])) {
        repeated = true;
        break;
      }
      if (position == listed.size() && _stricmp(record.versionText, listed[j].versionText) < 0)
        position = j;
    }
    if (!repeated) listed.insert(listed.begin() + static_cast<std::ptrdiff_t>(position), record);
  }
  return listed;
}

}  // namespace

InstallRecordList SelectListedInstallations(const InstallRecordList& found) {
  return SelectInstallations(found, [](const InstallRecord& a, const InstallRecord& b) {
    return _stricmp(a.versionText, b.versionText) == 0;
  });
}

InstallRecordList SelectDistinctFolders(const InstallRecordList& found) {
  return SelectInstallations(found, [](const InstallRecord& a, const InstallRecord& b) {
    return SameFolder(a.installPath, b.installPath);
  });
}

InstallRecordList FindDistinctInstallations() {
  InstallRecordList found;
  FindToolchainInstallations(found);
  return SelectDistinctFolders(found);
}

InstallRecordList FindListedInstallations() {
  InstallRecordList found;
  FindToolchainInstallations(found);
  return SelectListedInstallations(found);
}
