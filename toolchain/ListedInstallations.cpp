#include "toolchain/ListedInstallations.h"

#include <string.h>

#include "toolchain/RegistryScan.h"

InstallRecordList SelectListedInstallations(const InstallRecordList& found) {
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
      const int order = _stricmp(record.versionText, listed[j].versionText);
      if (order == 0) {
        repeated = true;
        break;
      }
      if (order < 0) {
        position = j;
        break;
      }
    }
    if (!repeated) listed.insert(listed.begin() + static_cast<std::ptrdiff_t>(position), record);
  }
  return listed;
}

InstallRecordList FindListedInstallations() {
  InstallRecordList found;
  FindToolchainInstallations(found);
  return SelectListedInstallations(found);
}
