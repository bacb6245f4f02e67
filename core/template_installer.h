// Copies the kit's files into the template directory so that the directory
// can be put back as it was: a replaced file is first moved into a backup
// directory in the temporary directory, new files and directories are
// recorded, and a failure or cancellation undoes all of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/distribution_kit.h"
#include "core/progress_channel.h"
#include "core/worker_pause.h"
#include "platform/strings.h"

class InstallJournal;

struct InstallTransaction {
  U16String targetDirectory;  // ends in a separator
  U16String backupDirectory;  // TEMP + "brstp" + K + separator; empty until begun
  std::vector<U16String> createdDirectories;
  std::vector<U16String> writtenFiles;  // files that did not exist before
};

struct PathHash {
  size_t operator()(const U16String& path) const {
    return std::hash<std::u16string_view>()(std::u16string_view(path.Data(), path.Length()));
  }
};

class TemplateInstaller {
 public:
  // pause, when given, is where the worker pauses at its safe points and
  // after its failure.
  explicit TemplateInstaller(ProgressChannel& channel, WorkerPause* pause = nullptr);
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
  // After a rollback: the backup directory when some files could not be put
  // back (it then holds exactly those), else empty.
  const U16String& keptBackupDirectory() const { return keptBackup_; }
  // The pause after the last publication (1000 ms), so the front end sees it.
  void SetFinishPause(unsigned milliseconds) { finishPauseMs_ = milliseconds; }

 private:
  // Records a change in the journal before it is made. A file about to be
  // written where none was goes into the transaction as well, for the
  // rollback.
  uint32_t JournalCreatedDirectory(const U16String& path);
  uint32_t RecordWrittenFile(const U16String& path);

  std::vector<InstallTransaction> transactions_;
  // The last transaction's writtenFiles, for lookups in constant time.
  std::unordered_set<U16String, PathHash> written_;
  U16String keptBackup_;
  std::unique_ptr<InstallJournal> journal_;
  ProgressChannel& channel_;
  WorkerPause* pause_;
  unsigned finishPauseMs_ = 1000;
};

// True when no regular file exists at path, it cannot be read, or it is
// older than the entry at the precision the file system keeps. A FIFO or
// device is never opened.
bool NeedsCopy(const U16String& path, FileTime entryTime);
// Writes entry index of the kit's work file to path with the entry's time.
// Between two blocks it passes pause's safe point, when given.
uint32_t ExtractEntry(DistributionKit& kit, size_t index, const U16String& path,
                      WorkerPause* pause = nullptr);
// Removes path with everything in it; a link is removed, never followed.
uint32_t RemoveTree(const U16String& path);
// Moves every file under backup back to the same place under target and
// removes the directories of backup that it emptied. A file that cannot be
// put back stays in backup. True when every file went back.
bool RestoreTree(const U16String& target, const U16String& backup);
// The rollback's rule for a backup directory: every file back under target,
// then backup removed; but a file that could not be put back is never
// deleted: backup then stays, holding exactly those files. True when backup
// is gone.
bool RestoreAndRemoveBackup(const U16String& target, const U16String& backup);

// Puts a backed-up file back at its place, replacing the file written there:
// 0, or a code when the backup is still where it was.
uint32_t MoveBackupIntoPlace(const U16String& backup, const U16String& place);

// The file-system path of an entry: target followed by the entry's name with
// every foreign separator turned into the build's own.
U16String EntryPath(const U16String& target, const U16String& entryName);
