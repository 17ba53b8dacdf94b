#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "install/FolderWalk.h"
#include "install/InstallEvents.h"
#include "install/InstallJournal.h"
#include "install/InstallOptions.h"
#include "install/InstallationChain.h"
#include "install/JournalRollback.h"
#include "install/PatchCheck.h"
#include "install/PatchManifest.h"

// Why the install into one installation did not arrive: the first thing that failed.
struct InstallFailure {
  InstallOutcome kind = kInstallDone;
  std::string path;  // the file or folder it is about; empty when it is about no one file
  std::string why;   // one line for the user
};

// The install of the patch into one installation, as a transaction (InstallJournal.h): first a
// run that was killed there is finished, then the installation is left untouched when a file the
// install would replace or move is in use; otherwise every file arrives, each checked against the
// patch's manifest as it is copied, or the installation is put back as it was.
//
// It holds everything the install acts through: the installation's folders opened once and
// checked (InstallationChain.h: the installation folder, its arm and arm\config must be plain
// folders where their names say, or it is kInstallRefused and nothing is touched), the journal
// every step goes through, the options, where its events go, and the one failure it reports. The
// folder walk reaches it through the walk's hook and steps, with the unit as their context.
class CInstallIntoInstallation {
 public:
  // patch: the patch the run inspected (its folder, its listing for the look for files in use,
  // its manifest beside it); installFolder as the user gave it, which events name.
  CInstallIntoInstallation(const PatchInfo& patch, const char* installFolder,
                           InstallOptions options, InstallEventSink events,
                           InstallPhaseTimes* times);
  CInstallIntoInstallation(const CInstallIntoInstallation&) = delete;
  CInstallIntoInstallation& operator=(const CInstallIntoInstallation&) = delete;

  // Installs, posting kFileStarted for each file. Returns the number of items that failed (0:
  // everything arrived); Failure() says why. installed, when given, holds the configuration
  // folders a run installed into before: one of them again is kInstallSameFolder and not
  // touched; a new one is added.
  int Install(std::vector<FileIdentityInfo>* installed);

  // Takes the patch out as one transaction through the same journal: the vendor folders the patch
  // carries and the version file are moved into the undo area, then discarded; a run killed
  // meanwhile is put back by the next one. A file of them in use, or one that is a link or leads
  // elsewhere, leaves the installation exactly as it was. Returns the number of items that failed
  // (0: the installation holds none of the patch, or had none to take out); Failure() says why.
  int RemovePatch();
  // Undoes the last install: the kept generation is put back (its journal undone where it lies,
  // as a failed install's would be) through the same checked folders, or, where nothing is kept,
  // the patch is taken out (RemovePatch). Either leaves the installation as it was when a file of
  // the vendor folders the patch carries is in use. Returns the number of items that failed;
  // PutBackKeptGeneration() says which of the two it did.
  int Restore();
  bool PutBackKeptGeneration() const { return m_putBackKept; }

  const InstallFailure& Failure() const { return m_failure; }
  int FilesStarted() const { return m_filesStarted; }

  // The merge of the patch folder into configFolder as the install makes it, but without a
  // journal (files copied in place, vendor folders not cleared but counted) and with hook in
  // place of BeforeItem: for the walk's tests.
  const FolderWalk& WalkWithoutJournal(const char* configFolder, CopyItemHook hook);
  // The unit's hook: what the install does before the walk takes an entry (walk->context is the
  // unit).
  static void BeforeItem(FolderWalk* walk, const char* source, const char* destination,
                         BOOL folder);
  const InstallEventSink& Events() const { return m_events; }

 private:
  // OpenChain's answer when the unit may go on (any other is what the unit returns).
  static constexpr int kChainChecked = -1;
  int OpenChain(BOOL makeConfig, std::vector<FileIdentityInfo>* done);
  int InstallChecked();
  int RemovePatchChecked();
  int TakenOut(int errors);
  UndoResult FinishUndo(UndoResult undone, const MadeFolders& made);
  BOOL Prepare(BOOL lookForUse, DWORD* waitedMs);
  int InstallWithJournal(DWORD waitedMs);
  int RollBack(int errors, const std::string& failed, const std::string& what);
  void CopyWalkTimed();
  void WalkPatch(const char* config, CopyItemHook hook);
  BOOL ClearVendorFolder(const char* folder);
  BOOL MoveReplacedFolderAside(const char* source, const char* destination);
  const char* FileBelowPatch(const char* source) const;
  static BOOL PlaceThroughJournal(FolderWalk* walk, const char* source, const char* destination,
                                  DWORD existing);
  static BOOL MakeThroughJournal(FolderWalk* walk, const char* path);
  void Fail(InstallOutcome kind, const std::string& path, const std::string& why);
  void FailInUse(const char* file);
  void NoteFault(const std::string& why);

  const PatchInfo& m_patch;
  const char* m_installFolder;
  InstallOptions m_options;
  InstallEventSink m_events;
  InstallPhaseTimes* m_times;  // where the install's time is added; may be null
  CInstallationChain m_chain;
  InstallJournal m_journal;
  bool m_journalOpen = false;  // every step goes through m_journal, so that it can be undone
  ManifestIndex m_manifest;    // each file is compared with its line as it is copied
  FolderWalk m_walk{};
  std::vector<char> m_copyBuffer;
  int m_filesStarted = 0;
  std::string m_fault;  // the first file that was not what the manifest says, and why
  bool m_putBackKept = false;
  // Folders (arm\config, arm) that a killed install had made, found when its undo area was
  // finished: this run made them, as far as its own rollback is concerned.
  int m_recoveredLevels = 0;
  InstallFailure m_failure;
};

// One installation's install as the run makes it: the unit above, its end written into result
// (when given). Returns the number of items that failed.
int InstallPatch(const PatchInfo& patch, const char* installFolder, InstallOptions options,
                 InstallEventSink events, InstallResult* result = nullptr,
                 std::vector<FileIdentityInfo>* installed = nullptr);
