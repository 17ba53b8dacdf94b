#include "install/InstallIntoInstallation.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "install/DeliveryRecord.h"
#include "install/EntryNames.h"
#include "install/FilesInUse.h"
#include "install/FolderListing.h"
#include "install/JournalRollback.h"
#include "install/JournalStep.h"
#include "install/PatchPaths.h"
#include "install/ReplacedFolder.h"

CInstallIntoInstallation::CInstallIntoInstallation(const PatchInfo& patch,
                                                   const char* installFolder,
                                                   InstallOptions options, InstallEventSink events,
                                                   InstallPhaseTimes* times)
    : m_patch(patch),
      m_installFolder(installFolder != nullptr ? installFolder : ""),
      m_options(options),
      m_events(events),
      m_times(times) {}

void CInstallIntoInstallation::Fail(InstallOutcome kind, const std::string& path,
                                    const std::string& why) {
  m_failure = InstallFailure{kind, path, why};
}

// The installation was left as it was (or put back) because file is in use.
void CInstallIntoInstallation::FailInUse(const char* file) {
  std::string program;
  const std::string by = FindProgramHolding(file, &program) ? " by " + program : "";
  Fail(kInstallFileInUse, file, std::string(file) + " is in use" + by);
}

void CInstallIntoInstallation::NoteFault(const std::string& why) {
  if (m_fault.empty()) m_fault = why;
}

int CInstallIntoInstallation::Install(std::vector<FileIdentityInfo>* installed) {
  const std::string& patch = m_patch.folder;
  if (patch.empty() || !IsFolder(GetFileAttributesA(patch.c_str()))) {
    Fail(kInstallSkipped, patch, "the patch folder " + patch + " is missing");
    return 1;
  }
  // The manifest as it is now: every file is compared with it as it is copied.
  ManifestCheck check;
  BOOL loaded;
  {
    PhaseTimer timer(m_times, kPhaseManifest);
    loaded = LoadManifestIndex(ManifestOf(patch).c_str(), &m_manifest, &check);
  }
  if (!loaded) {
    Fail(kInstallSkipped, "", "the patch is damaged: " + DescribeManifestCheck(check));
    return 1;
  }
  // A missing arm\config is made in the chain (once the patch is known to be whole), the folders
  // made recorded for the rollback.
  const int opened = OpenChain(TRUE, installed);
  if (opened != kChainChecked) return opened;
  const int errors = InstallChecked();
  // What this version is believed to be by a later, older package rests on this record.
  FileIdentityInfo identity;
  if (errors == 0 && m_chain.GetIdentity(&identity)) RecordDelivery(identity, m_patch.stamp.label);
  return errors;
}

// The installation's folders, opened once and checked: everything the unit does acts inside them.
// kChainChecked when it may go on; otherwise what the unit returns, its failure noted. One folder
// in done already (two records, or two names, of it) is kInstallSameFolder and not touched again;
// a new one is added.
int CInstallIntoInstallation::OpenChain(BOOL makeConfig, std::vector<FileIdentityInfo>* done) {
  const CInstallationChain::Result opened = m_chain.Open(m_installFolder, makeConfig);
  if (opened == CInstallationChain::kChainRedirected) {
    Fail(kInstallRefused, m_installFolder, m_chain.Why());
    return 1;
  }
  if (opened != CInstallationChain::kChainHeld) {
    // Nothing to take out of an installation that is gone or has no configuration folder; an
    // install into one that is gone is skipped.
    if (!makeConfig) return 0;
    Fail(kInstallSkipped, m_installFolder, m_chain.Why());
    return 1;
  }
  FileIdentityInfo identity;
  if (done != nullptr && m_chain.GetIdentity(&identity)) {
    for (const FileIdentityInfo& one : *done) {
      if (SameFolder(one, identity)) {
        Fail(kInstallSameFolder, m_chain.Config(), "");
        return 0;
      }
    }
    done->push_back(identity);
  }
  return kChainChecked;
}

// The install, once its folders are held and checked.
int CInstallIntoInstallation::InstallChecked() {
  DWORD waitedMs = 0;  // the installation's budget for waiting is spent from here
  // Clearing the old patch moves each installed vendor folder aside whole: the open of that move
  // would not see a file in use inside it. A file the install replaces one by one is looked at by
  // the very open that moves it into the undo area (JournalPlaceFile).
  if (!Prepare(m_options.clearOldPatch, &waitedMs)) return 1;
  return InstallWithJournal(waitedMs);
}

// Before a transaction: what a killed run left is undone, and with lookForUse the installation
// is left untouched when a file of the vendor folders the patch carries, or the version file, is
// in use. FALSE, with the failure noted, when the transaction must not begin.
BOOL CInstallIntoInstallation::Prepare(BOOL lookForUse, DWORD* waitedMs) {
  const char* config = m_chain.Config().c_str();
  UndoResult recovered;
  MadeFolders made;
  {
    PhaseTimer timer(m_times, kPhaseRecovery);
    recovered = RecoverUndoArea(config, &made);
  }
  m_recoveredLevels = made.levels;
  if (recovered.refused) {
    Fail(kInstallRefused, config, recovered.why);
    return FALSE;
  }
  if (!Undone(recovered)) {
    Fail(kInstallNotRestored, config,
         std::string("an interrupted install in ") + config +
             " could not be undone: " + recovered.why);
    return FALSE;
  }
  std::string inUse;
  BOOL found = FALSE;
  if (lookForUse) {
    PhaseTimer timer(m_times, kPhaseFilesInUse);
    found = FindFileInUseInVendorFolders(config, m_patch.listing, waitedMs, &inUse);
  }
  if (found) {
    FailInUse(inUse.c_str());
    return FALSE;
  }
  return TRUE;
}

// The transaction proper; the installation's waiting for files in use has taken waitedMs so far.
int CInstallIntoInstallation::InstallWithJournal(DWORD waitedMs) {
  const std::string config = m_chain.Config();
  const int madeCount =
      m_chain.LevelsMade() > m_recoveredLevels ? m_chain.LevelsMade() : m_recoveredLevels;
  if (!BeginJournal(&m_journal, config.c_str())) {
    // What the chain made is empty; it goes again once the chain lets go of it.
    m_chain.Release();
    if (madeCount != 0) RemoveDirectoryA(config.c_str());
    if (madeCount == 2) RemoveDirectoryA(config.substr(0, config.rfind('\\')).c_str());
    Fail(kInstallSkipped, config, config + "\\" + kUndoAreaName + " could not be made");
    return 1;
  }
  m_journalOpen = true;
  int errors = 0;
  if (madeCount != 0 && !JournalConfigMade(&m_journal, madeCount)) ++errors;
  m_journal.times = m_times;
  m_journal.waitedMs = waitedMs;
  if (errors == 0) CopyWalkTimed();
  errors += m_walk.errorCount;
  if (errors == 0) {
    // Keeping the previous generation is a convenience: the install has arrived either way.
    CommitJournal(&m_journal);
    return 0;
  }
  // A file that was not what the manifest says is named as such; any other failure by its path.
  const std::string held = m_journal.held;
  const std::string failed = !m_walk.firstError.empty() ? m_walk.firstError : config;
  return RollBack(errors, failed,
                  !held.empty()      ? held + " is in use"
                  : !m_fault.empty() ? m_fault
                                     : failed + " could not be installed");
}

// Undoes the journal after errors, what failed first and why: the installation as it was, or
// kInstallNotRestored when not even that could be done.
int CInstallIntoInstallation::RollBack(int errors, const std::string& failed,
                                       const std::string& what) {
  UndoResult undone;
  MadeFolders made;
  {
    PhaseTimer timer(m_times, kPhaseRollBack);
    // Undone while the installation's folders are held, so that none of them can be swapped for
    // a link meanwhile; the folders the install made go once they are let go of.
    undone = FinishUndo(RollBackJournal(&m_journal, &made), made);
  }
  const std::string held = m_journal.held;
  if (!Undone(undone)) {
    Fail(kInstallNotRestored, failed, what + ", and " + undone.why + " could not be restored");
  } else if (!held.empty()) {
    // Everything done before it is undone: the installation is as it was.
    FailInUse(held.c_str());
  } else {
    Fail(kInstallRolledBack, failed, what);
  }
  return errors;
}

// After an undo that left the folders the install made to the unit: lets go of the installation's
// folders and removes those. The undo's result, a folder that could not go counted as not undone.
UndoResult CInstallIntoInstallation::FinishUndo(UndoResult undone, const MadeFolders& made) {
  m_chain.Release();
  if (Undone(undone) && !RemoveMadeFolders(made)) {
    undone.notUndone = 1;
    undone.why = made.config + " could not be removed";
  }
  return undone;
}

// The copy walk, its own time (what the steps inside it took aside) added to kPhaseWalk.
void CInstallIntoInstallation::CopyWalkTimed() {
  if (m_times == nullptr) {
    WalkPatch(m_chain.Config().c_str(), BeforeItem);
    return;
  }
  const InstallPhase inside[] = {kPhaseClear, kPhaseJournal, kPhaseCopies, kPhaseBackups};
  double inner = 0;
  for (InstallPhase phase : inside) inner -= m_times->seconds[phase];
  {
    PhaseTimer timer(m_times, kPhaseWalk);
    WalkPatch(m_chain.Config().c_str(), BeforeItem);
  }
  for (InstallPhase phase : inside) inner += m_times->seconds[phase];
  m_times->seconds[kPhaseWalk] -= inner;
}

// Merges the patch folder into config with hook (BeforeItem but in the walk's tests), each file
// and folder through the journal when one is open.
void CInstallIntoInstallation::WalkPatch(const char* config, CopyItemHook hook) {
  m_walk.hook = hook;
  m_walk.context = this;
  if (m_journalOpen) {
    m_walk.copyFile = PlaceThroughJournal;
    m_walk.makeFolder = MakeThroughJournal;
  }
  if (m_patch.folder.empty() || config == nullptr || config[0] == '\0') {
    ++m_walk.errorCount;
    return;
  }
  CopyFolderTree(m_patch.folder.c_str(), config, &m_walk);
}

const FolderWalk& CInstallIntoInstallation::WalkWithoutJournal(const char* configFolder,
                                                               CopyItemHook hook) {
  WalkPatch(configFolder, hook);
  return m_walk;
}

// Moves an installed vendor folder with everything in it into the undo area. TRUE when nothing of
// that name is left as a folder; a file of the vendor's name is never moved (the copy then fails
// to make the folder).
BOOL CInstallIntoInstallation::ClearVendorFolder(const char* folder) {
  PhaseTimer timer(m_times, kPhaseClear);
  const DWORD attributes = GetFileAttributesA(folder);
  if (!IsFolder(attributes)) {
    return TRUE;
  }
  // A folder that leads elsewhere, or holds a link that does, is left alone: what lies behind a
  // link is not the installation's to take away (and Wine moves a Unix link as its target).
  if (!m_journalOpen || IsReparsePoint(attributes) ||
      !ResolvesBelowRoot(m_walk.destinationRoot, folder) || HoldsReparsePoint(folder)) {
    return FALSE;
  }
  return JournalMoveAside(&m_journal, folder) && !PathFileExistsA(folder);
}

// Moves an installed folder that the patch replaces whole (ReplacedFolder.h) into the undo area,
// once none of its files is in use (a held one is named in the journal's held, and the
// installation is then rolled back). TRUE when it was moved, or is not such a folder and stays
// for the walk to merge into, file by file.
BOOL CInstallIntoInstallation::MoveReplacedFolderAside(const char* source,
                                                       const char* destination) {
  const DWORD attributes = GetFileAttributesA(destination);
  std::vector<std::string> files;
  if (!m_journalOpen || !IsFolder(attributes) || IsReparsePoint(attributes) ||
      !IsReplacedWhole(source, destination, &files)) {
    return TRUE;
  }
  PhaseTimer timer(m_times, kPhaseBackups);
  for (const std::string& file : files) {
    if (IsFileInUse(file.c_str(), &m_journal.waitedMs)) {
      m_journal.held = file;
      return FALSE;
    }
  }
  return JournalMoveAside(&m_journal, destination) && !PathFileExistsA(destination);
}

// A patch file's path below the patch folder ("devices\QuorVantel\a.i79"), as events and the
// manifest name it; null when source is not below it.
const char* CInstallIntoInstallation::FileBelowPatch(const char* source) const {
  return !m_patch.folder.empty() ? PathBelow(source, m_patch.folder.c_str()) : nullptr;
}

void CInstallIntoInstallation::BeforeItem(FolderWalk* walk, const char* source,
                                          const char* destination, BOOL folder) {
  CInstallIntoInstallation* unit = static_cast<CInstallIntoInstallation*>(walk->context);
  if (folder) {
    const BOOL cleared = IsVendorFolder(source) && unit->m_options.clearOldPatch;
    if (cleared ? PathFileExistsA(destination) && !unit->ClearVendorFolder(destination)
                : !unit->MoveReplacedFolderAside(source, destination)) {
      ++walk->errorCount;
      if (walk->errorCount == 1) walk->firstError = destination;
    }
    return;
  }
  const char* below = unit->FileBelowPatch(source);
  ++unit->m_filesStarted;
  PostEvent(unit->m_events,
            InstallEvent{kFileStarted, unit->m_installFolder, below != nullptr ? below : source,
                         unit->m_filesStarted, nullptr, nullptr});
}

// The file goes through the journal, read once: hashed as it is copied and compared with its
// manifest line, so a patch file changed or added after the run's check is never installed.
BOOL CInstallIntoInstallation::PlaceThroughJournal(FolderWalk* walk, const char* source,
                                                   const char* destination, DWORD existing) {
  CInstallIntoInstallation* unit = static_cast<CInstallIntoInstallation*>(walk->context);
  const ManifestEntry* expected = nullptr;
  if (unit->m_manifest.present) {
    const char* relative = unit->FileBelowPatch(source);
    expected = relative != nullptr ? FindManifestEntry(unit->m_manifest, relative) : nullptr;
    if (expected == nullptr) {
      unit->NoteFault(std::string(relative != nullptr ? relative : source) +
                      " is not in the patch's manifest");
      return FALSE;
    }
  }
  CopyVerdict verdict = kCopyFailed;
  if (JournalPlaceFile(&unit->m_journal, source, destination, existing, expected,
                       unit->m_copyBuffer, &verdict)) {
    return TRUE;
  }
  if (verdict == kCopyDiffers) {
    unit->NoteFault(expected->path + std::string(" changed after the patch was checked"));
  }
  return FALSE;
}

BOOL CInstallIntoInstallation::MakeThroughJournal(FolderWalk* walk, const char* path) {
  CInstallIntoInstallation* unit = static_cast<CInstallIntoInstallation*>(walk->context);
  return JournalMakeFolder(&unit->m_journal, path);
}

int InstallPatch(const PatchInfo& patch, const char* installFolder, InstallOptions options,
                 InstallEventSink events, InstallResult* result,
                 std::vector<FileIdentityInfo>* installed) {
  InstallResult ignored;
  if (result == nullptr) result = &ignored;
  *result = InstallResult{};
  CInstallIntoInstallation unit(patch, installFolder, options, events, &result->phases);
  const int errors = unit.Install(installed);
  result->outcome = unit.Failure().kind;
  result->reason = unit.Failure().why;
  result->files = unit.FilesStarted();
  return errors;
}
