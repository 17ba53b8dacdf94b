#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/FileHandle.h"
#include "install/InstallPhases.h"
#include "install/JournalStep.h"
#include "install/PathSafety.h"
#include "install/VerifiedCopy.h"

// One installation's install as a transaction. Before each step a line goes into the journal in
// the undo area <config>\QX48_EWARM_patch.undo; what the step replaces or removes is moved into
// that area, never deleted. A failed install is undone step by step in reverse order
// (JournalRollback.h); a finished one keeps the area as <config>\QX48_EWARM_patch.previous (one
// generation). Neither lies below devices, debugger or flashloader, where EWARM reads the patch's
// files. Both are made for SYSTEM and Administrators alone (ProtectedArea.h).

struct InstallJournal {
  std::string config;    // the configuration folder; every step lies below it
  std::string undoArea;  // <config>\QX48_EWARM_patch.undo
  char resolvedConfig[kResolvedPathSize] = "";  // where config really is (ResolvePath)
  CFileHandle file;                             // the journal, appended to write-through
  int32_t steps = 0;                            // lines written so far; names each backup uniquely
  int32_t bucketMade = -1;  // the last folder of backups made in the undo area (-1: none)
  InstallPhaseTimes* times = nullptr;  // where the steps' time is added; may be null
  // A file to replace that another program holds is tried again (FilesInUse.h) within the
  // installation's budget for waiting, of which this much is spent; one still held is named in
  // held.
  DWORD waitedMs = 0;
  std::string held;
  // The folders files and folders were last made in, each opened once and found to be where its
  // name says (OpenFolderWhereNamed), or made by the install itself in such a folder: everything
  // made in one is made relative to its handle, so a folder on the way swapped for a link since
  // the check changes nothing of where it lands. A few are kept, the least recently used given
  // up first, since the walk goes back and forth between a folder and the folders it makes in it.
  struct HeldFolder {
    std::string path;
    CFileHandle handle;
    uint32_t lastUse = 0;
  };
  HeldFolder heldFolders[4];
  uint32_t folderUses = 0;
};

// Lets go of every held folder (a rollback that removes folders the install made needs that).
void ReleaseHeldFolders(InstallJournal* journal);

// Makes a fresh protected undo area below config with a journal that holds only its header. FALSE,
// touching nothing else, when an undo area is already there (RecoverUndoArea first) or cannot be
// made.
BOOL BeginJournal(InstallJournal* journal, const char* config);

// Records that the install made the configuration folder (levels 1), or it and its parent (2),
// before the journal existed; a rollback removes them after the undo area is gone.
BOOL JournalConfigMade(InstallJournal* journal, int levels);

// The steps: each writes its line, then does its work; each path lies below the configuration
// folder (FALSE, nothing done, for any other). FALSE when either failed; a later rollback puts back
// what the step did, all of it or any part.
// folder is made (its parent exists).
BOOL JournalMakeFolder(InstallJournal* journal, const char* folder);
// source is copied to destination, made new there: a file it replaces (existing: its attributes,
// or INVALID_FILE_ATTRIBUTES when there is none) is first moved into the undo area as the backup,
// through a handle found to lead below the configuration folder (a link leading elsewhere is
// refused), so a hard link to it keeps its old bytes and nothing is written through a link (its
// open is the look for use: a file held by another program to the end is named in held); a
// name found taken when the file is made (a dangling link) is refused. The copy is
// CopyAndVerify's against expected (may be null), in buffer; a copy that is not kCopyMatches
// (*verdict) is removed and never stays.
BOOL JournalPlaceFile(InstallJournal* journal, const char* source, const char* destination,
                      DWORD existing, const ManifestEntry* expected, std::vector<char>& buffer,
                      CopyVerdict* verdict);
// folder, with everything in it, is moved into the undo area, through a handle found to lead below
// the configuration folder.
BOOL JournalMoveAside(InstallJournal* journal, const char* folder);

// The install arrived: the journal is closed and the undo area becomes the kept generation,
// replacing the older one. FALSE when the area could not be kept (the install stands).
BOOL CommitJournal(InstallJournal* journal);
// The patch was taken out: the journal is marked done and closed, and the undo area, with what
// was moved into it, removed; nothing is kept for a restore to bring the patch back. A run killed
// after the mark leaves the area for the next run to keep as a generation, never to undo. FALSE
// when the area could not be removed (the removal stands).
BOOL DiscardJournal(InstallJournal* journal);
