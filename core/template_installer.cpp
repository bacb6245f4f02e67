#include "core/template_installer.h"

#include <chrono>
#include <string>
#include <thread>

#include "core/install_journal.h"
#include "localization/message_catalogue.h"
#include "platform/file_api.h"
#include "platform/fs_helpers.h"
#include "platform/result_codes.h"

namespace {

U16String DecimalText(unsigned value) {
  std::string digits = std::to_string(value);
  U16String out;
  for (char c : digits) out.Append(static_cast<char16_t>(c));
  return out;
}

// True when path is directory or lies inside it.
bool IsWithin(const U16String& path, const U16String& directory) {
  U16String prefix = directory;
  EnsureTrailingSeparator(prefix);
  return path == directory || path.StartsWith(prefix.Data());
}

}  // namespace

TemplateInstaller::TemplateInstaller(ProgressChannel& channel, WorkerPause* pause)
    : journal_(new InstallJournal), channel_(channel), pause_(pause) {}

TemplateInstaller::~TemplateInstaller() = default;

U16String EntryPath(const U16String& target, const U16String& entryName) {
  U16String name = entryName;
  name.ReplaceAll(kForeignSeparator, kSeparator);
  return target + name;
}

uint32_t TemplateInstaller::InstallAll(ProgressChannel& channel) {
  DistributionKit* kit = nullptr;
  U16String target;
  channel.TakeJob(&kit, &target);

  uint32_t result = BeginTransaction(target);
  if (result != 0) {
    channel.PublishError(static_cast<int32_t>(result), GetMessageText("IDS_INSTALL_ERROR"), 0);
    if (pause_) pause_->AfterErrorPublication();
    return Rollback(result);
  }

  const size_t count = kit ? kit->entries.size() : 0;
  for (size_t j = 0; j < count; ++j) {
    if (pause_) pause_->SafePoint();
    const KitEntry& entry = kit->entries[j];
    U16String path = EntryPath(target, entry.name);
    int32_t percentage = static_cast<int32_t>(static_cast<uint64_t>(j) * 100 / count);
    channel.Publish(0, path, percentage);

    if (!NeedsCopy(path, entry.lastWriteTime)) continue;

    result = BackupFile(path);
    if (result == kErrorFileNotFound || result == kErrorPathNotFound) {
      result = RecordWrittenFile(path);
    }
    if (result == 0) {
      size_t last = path.FindLast(kSeparator);
      U16String directory = last == U16String::npos ? path : path.Substring(0, last);
      result = EnsureDirectory(directory, true);
    }
    if (result == 0) result = ExtractEntry(*kit, j, path, pause_);
    if (result != 0) {
      channel.PublishError(static_cast<int32_t>(result), GetMessageText("IDS_INSTALL_ERROR"),
                           percentage);
      if (pause_) pause_->AfterErrorPublication();
      return Rollback(result);
    }
    if (channel.IsCancelRequested()) return Rollback(kErrorCancelled);
  }

  FinishTransaction();
  channel.Publish(0, GetMessageText("IDS_INSTALL_FINISH"), 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(finishPauseMs_));
  return 0;
}

uint32_t TemplateInstaller::BeginTransaction(const U16String& target) {
  transactions_.emplace_back();
  written_.clear();
  keptBackup_.Clear();
  transactions_.back().targetDirectory = target;
  if (target.IsEmpty()) return 0;

  U16String temp;
  uint32_t result = GetTempDirectory(&temp);
  if (result != 0) return result;
  result = EnsureDirectory(temp, true);
  if (result != 0) return result;
  EnsureTrailingSeparator(temp);

  // The backup directory is created exclusively: a name that exists, or
  // that somebody takes between the search and the creation, is passed over.
  // Its journal is made first and names both directories before the backup
  // directory exists, so that no moment of the run escapes it.
  for (unsigned k = 0;; ++k) {
    U16String candidate = temp + u"brstp" + DecimalText(k);
    if (PathExists(candidate)) continue;
    result = journal_->Create(candidate + kJournalSuffix);
    if (result == kErrorAlreadyExists) continue;
    if (result == 0) result = journal_->Record(JournalRecord::kTarget, target);
    if (result == 0) result = journal_->Record(JournalRecord::kBackup, candidate + kSeparator);
    if (result != 0) return result;
    result = CreatePrivateDirectory(candidate);
    if (result == kErrorAlreadyExists) {
      journal_->Remove();
      continue;
    }
    if (result != 0) return result;
    InstallTransaction& transaction = transactions_.back();
    transaction.backupDirectory = candidate + kSeparator;
    transaction.createdDirectories.push_back(transaction.backupDirectory);
    return 0;
  }
}

bool NeedsCopy(const U16String& path, FileTime entryTime) {
  // Only a regular file is opened; anything else is for BackupFile to judge.
  if (GetPathKind(path) != PathKind::File) return true;
  FileHandle handle;
  if (FileApi::Open(path, kAccessRead, kOpenExisting, &handle) != 0) return true;
  FileTime existing = 0;
  uint32_t result = FileApi::GetTimes(handle, nullptr, nullptr, &existing);
  FileApi::Close(handle);
  if (result != 0) return true;
  // The file system keeps the time only to its own precision (Linux: whole
  // seconds), so the entry's time is compared at that precision.
  return existing < entryTime - entryTime % kStoredWriteTimePrecision;
}

uint32_t TemplateInstaller::BackupFile(const U16String& path) {
  const InstallTransaction& transaction = transactions_.back();
  U16String relative = path.Substring(transaction.targetDirectory.Length());
  U16String destination = transaction.backupDirectory + relative;
  switch (GetPathKind(path)) {
    // Nothing to keep: spare the move (the result is the one it would give).
    case PathKind::Missing:
      return kErrorFileNotFound;
    // A directory where the kit has a file is never moved away: with the
    // backup directory removed at the end, its contents would be lost.
    case PathKind::Directory:
      return kErrorDirectory;
    case PathKind::Special:
      return kErrorSpecialFile;
    case PathKind::File:
      break;
  }
  // A file that this run wrote itself has nothing to keep; and for a kit
  // that names the same file twice the backup already holds the original,
  // which the file written meanwhile must not replace.
  if (written_.count(path) != 0 || PathExists(destination)) return 0;
  size_t last = destination.FindLast(kSeparator);
  if (last != U16String::npos) {
    uint32_t result = EnsureDirectory(destination.Substring(0, last), false);
    if (result != 0) return result;
  }
  uint32_t result = MovePath(path, destination);
  if (result == 0) return 0;
  // A move between volumes that failed half way leaves a partial copy, which
  // the rollback would put in place of the intact original.
  DeleteFilePath(destination);
  // The file exists, so a failed move (mv reports 2) has kept nothing: taken
  // for a missing file, it would be overwritten without a backup.
  if (result == kErrorFileNotFound || result == kErrorPathNotFound) return kErrorWriteFault;
  return result;
}

uint32_t ExtractEntry(DistributionKit& kit, size_t index, const U16String& path,
                      WorkerPause* pause) {
  FileHandle target;
  uint32_t result = FileApi::Open(path, kAccessWrite, kCreateAlways, &target);
  if (result != 0) return result;
  const KitEntry& entry = kit.entries[index];
  auto fail = [&](uint32_t code) {
    FileApi::Close(target);
    return code;
  };
  if (FileApi::Seek(kit.handle, entry.offset, nullptr, kSeekBegin) != entry.offset) {
    uint32_t code = FileApi::LastError();
    return fail(code ? code : kErrorHandleEof);
  }
  uint32_t remain = entry.size;
  while (remain > 0) {
    if (pause && remain < entry.size) pause->SafePoint();
    uint32_t got = 0;
    uint32_t want = remain < kit.copyBufferSize ? remain : kit.copyBufferSize;
    if (FileApi::Read(kit.handle, kit.copyBuffer.get(), want, &got) != 0) {
      return fail(FileApi::LastError());
    }
    // The work file ended before the entry did.
    if (got == 0) return fail(kErrorHandleEof);
    uint32_t written = 0;
    if (FileApi::Write(target, kit.copyBuffer.get(), got, &written) != 0 || written != got) {
      uint32_t code = FileApi::LastError();
      return fail(code ? code : kErrorInvalidParameter);
    }
    remain -= written;
  }
  FileApi::Truncate(target);
  FileApi::SetWriteTime(target, entry.lastWriteTime);
  FileApi::Close(target);
  return 0;
}

uint32_t TemplateInstaller::FinishTransaction() {
  // Once committed, a run that dies while the backup goes is not undone:
  // the next start only removes what is left of the backup.
  journal_->Record(JournalRecord::kCommitted, U16String());
  uint32_t result = RemoveTree(transactions_.back().backupDirectory);
  journal_->Remove();
  return result;
}

uint32_t TemplateInstaller::JournalCreatedDirectory(const U16String& path) {
  return journal_->Record(JournalRecord::kDirectory, path);
}

uint32_t TemplateInstaller::RecordWrittenFile(const U16String& path) {
  if (written_.count(path) != 0) return 0;
  uint32_t result = journal_->Record(JournalRecord::kFile, path);
  if (result != 0) return result;
  written_.insert(path);
  transactions_.back().writtenFiles.push_back(path);
  return 0;
}

void TemplateInstaller::RollBackInterrupted(const InstallTransaction& transaction) {
  transactions_.push_back(transaction);
  Rollback(0);
}

bool RestoreTree(const U16String& target, const U16String& backup) {
  bool restored = true;
  DirectorySearch search;
  for (bool found = search.FindFirst(backup + u"*"); found; found = search.FindNext()) {
    U16String name = search.CurrentName();
    if (name == u"." || name == u"..") continue;
    if (search.CurrentAttributes() & kAttributeDirectory) {
      U16String directory = backup + name + kSeparator;
      // Emptied, it goes; a directory that still holds a file stays.
      if (RestoreTree(target + name + kSeparator, directory)) {
        RemoveDirectoryPath(directory);
      } else {
        restored = false;
      }
    } else if (MoveBackupIntoPlace(backup + name, target + name) != 0) {
      restored = false;
    }
  }
  return restored;
}

bool RestoreAndRemoveBackup(const U16String& target, const U16String& backup) {
  if (!RestoreTree(target, backup)) return false;
  RemoveTree(backup);
  return !PathExists(backup);
}

uint32_t TemplateInstaller::Rollback(uint32_t code) {
  if (transactions_.empty()) return code;
  const InstallTransaction& transaction = transactions_.back();
  // New files go first: on a volume that ran full, the replaced files can
  // only be put back once the room they took is free again. (None of them
  // is in the backup: a file the run wrote itself is never backed up.)
  for (const U16String& file : transaction.writtenFiles) DeleteFilePath(file);
  const U16String& backup = transaction.backupDirectory;
  if (!backup.IsEmpty() && !RestoreAndRemoveBackup(transaction.targetDirectory, backup))
    keptBackup_ = backup;
  for (const U16String& directory : transaction.createdDirectories) {
    // A directory that holds the kept backup stays with it.
    if (!keptBackup_.IsEmpty() && IsWithin(keptBackup_, directory)) continue;
    RemoveTree(directory);
  }
  // Undone: nothing is left for a later start to do.
  journal_->Remove();
  return code;
}
