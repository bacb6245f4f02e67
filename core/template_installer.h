// Copies the kit's files into the template directory so that the directory
// can be put back as it was: a replaced file is first moved into a backup
// directory in the temporary directory, new files and directories are
// recorded, and a failure or cancellation undoes all of it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"
#include "platform/strings.h"

class InstallJournal;

struct InstallTransaction {
  U16String targetDirectory;  // ends in a separator
  U16String backupDirectory;  // TEMP + "brstp" + K + separator; empty until begun
  std::vector<U16String> createdDirectories;
  std::vector<U16String> writtenFiles;  // files that did not exist before
};

class TemplateInstaller {
 public:
  explicit TemplateInstaller(ProgressChannel& channel);
  ~TemplateInstaller();

  // The whole installation of the channel's job: 0, 1223 when cancelled, or
  // the code of the first failure (after the directory has been restored).
  uint32_t InstallAll(ProgressChannel& channel);

  uint32_t BeginTransaction(const U16String& target);
  uint32_t EnsureDirectory(const U16String& path, bool record);
  uint32_t BackupFile(const U16String& path);
  uint32_t FinishTransaction();
  uint32_t Rollback(uint32_t code);

  // Undoes the transaction of a run that died, as its own Rollback would
  // have (the journal's file is the caller's).
  void RollBackInterrupted(const InstallTransaction& transaction);

  const std::vector<InstallTransaction>& transactions() const { return transactions_; }
  // The pause after the last publication (1000 ms), so the front end sees it.
  void SetFinishPause(unsigned milliseconds) { finishPauseMs_ = milliseconds; }

 private:
  // Records a change in the journal before it is made, and a file about to
  // be written where none was in the transaction as well.
  uint32_t JournalCreatedDirectory(const U16String& path);
  uint32_t RecordWrittenFile(const U16String& path);

  std::vector<InstallTransaction> transactions_;
  std::unique_ptr<InstallJournal> journal_;
  ProgressChannel& channel_;
  unsigned finishPauseMs_ = 1000;
};

// True when no file exists at path, it cannot be read, or it is older than
// the entry.
bool NeedsCopy(const U16String& path, FileTime entryTime);
// Writes entry index of the kit's work file to path with the entry's time.
uint32_t ExtractEntry(DistributionKit& kit, size_t index, const U16String& path);
uint32_t RemoveTree(const U16String& path);
// Moves every file under backup back to the same place under target.
void RestoreTree(const U16String& target, const U16String& backup);

// Puts a backed-up file back at its place, replacing the file written there.
void MoveBackupIntoPlace(const U16String& backup, const U16String& place);

// The file-system path of an entry: target followed by the entry's name with
// every foreign separator turned into the build's own.
U16String EntryPath(const U16String& target, const U16String& entryName);
