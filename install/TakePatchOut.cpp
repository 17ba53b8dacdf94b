// The unit's taking out: the patch removed, or the last install undone from its kept generation,
// through the same checked folders and journal as the install (InstallIntoInstallation.h).
#include <string>
#include <utility>
#include <vector>

#include "install/DeliveryRecord.h"
#include "install/EntryNames.h"
#include "install/FolderListing.h"
#include "install/InstallIntoInstallation.h"
#include "install/JournalRollback.h"
#include "install/JournalStep.h"
#include "install/PatchPaths.h"
#include "install/PathSafety.h"

// After a restore or the patch taken out, the folder no longer holds one delivery; folders that a
// killed install had made, found when its undo area was finished, go too.
int CInstallIntoInstallation::TakenOut(int errors) {
  FileIdentityInfo identity;
  if (errors != 0) return errors;
  if (m_chain.GetIdentity(&identity)) ForgetDelivery(identity);
  if (m_recoveredLevels != 0) {
    const MadeFolders made{m_chain.Config(), m_recoveredLevels};
    m_chain.Release();
    RemoveMadeFolders(made);  // what stays is an empty folder, not a failure
  }
  return 0;
}

int CInstallIntoInstallation::Restore() {
  const int opened = OpenChain(FALSE, nullptr);
  if (opened != kChainChecked) return opened;
  const std::string kept = m_chain.Config() + "\\" + kPreviousAreaName;
  if (!IsFolder(GetFileAttributesA(kept.c_str()))) return TakenOut(RemovePatchChecked());
  DWORD waitedMs = 0;
  if (!Prepare(TRUE, &waitedMs)) return 1;
  m_putBackKept = true;
  UndoResult undone;
  MadeFolders made;
  {
    PhaseTimer timer(m_times, kPhaseRollBack);
    // Undone while the installation's folders are held; the folders the restored install had
    // made go once they are let go of.
    undone = FinishUndo(RestorePreviousGeneration(m_chain.Config().c_str(), UndoProgress{}, &made),
                        made);
  }
  if (undone.refused) {
    Fail(kInstallRefused, kept, undone.why);
    return 1;
  }
  if (!Undone(undone)) {
    Fail(kInstallNotRestored, kept,
         std::to_string(undone.notUndone) +
             " step(s) of the last install could not be put back: " + undone.why);
    return undone.notUndone;
  }
  return TakenOut(0);
}

int CInstallIntoInstallation::RemovePatch() {
  const int opened = OpenChain(FALSE, nullptr);
  return opened != kChainChecked ? opened : TakenOut(RemovePatchChecked());
}

// Takes the patch out, once the folders are held and checked.
int CInstallIntoInstallation::RemovePatchChecked() {
  DWORD waitedMs = 0;
  if (!Prepare(TRUE, &waitedMs)) return 1;
  const std::string config = m_chain.Config();
  if (!BeginJournal(&m_journal, config.c_str())) {
    Fail(kInstallSkipped, config, config + "\\" + kUndoAreaName + " could not be made");
    return 1;
  }
  m_journalOpen = true;
  m_journal.times = m_times;
  m_journal.waitedMs = waitedMs;
  // The vendor folders the patch carries, then the version file, each moved into the undo area
  // whole: the first that cannot be (it holds a link, or leads elsewhere) puts every one before it
  // back, so the installation never holds half a patch.
  std::vector<std::pair<std::string, bool>> items;  // path, and whether it is a folder
  for (const std::string& folder : m_patch.listing.folders) {
    if (IsVendorFolder(folder.c_str())) items.emplace_back(config + "\\" + folder, true);
  }
  items.emplace_back(config + "\\" + kVersionFileName, false);
  for (const auto& [item, asFolder] : items) {
    const DWORD attributes = GetFileAttributesA(item.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    // A folder that leads elsewhere, or holds a link that does, is left alone: what lies behind a
    // link is not the installation's to take away. So is a version "file" that is a folder.
    if (IsReparsePoint(attributes) || (IsFolder(attributes) != FALSE) != asFolder ||
        !ResolvesBelowRoot(m_journal.resolvedConfig, item.c_str()) ||
        (asFolder && HoldsReparsePoint(item.c_str())))
      return RollBack(1, item,
                      item + " is not the patch's to take out: a link, or not what its name says");
    if (!JournalMoveAside(&m_journal, item.c_str()) || PathFileExistsA(item.c_str()))
      return RollBack(1, item, item + " could not be taken out");
  }
  m_journalOpen = false;
  // Taken out: what the undo area holds goes; an area that stays is litter, not a failure.
  DiscardJournal(&m_journal);
  return 0;
}
