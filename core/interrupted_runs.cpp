#include "core/interrupted_runs.h"

#include <string>

#include "core/distribution_kit.h"
#include "core/install_journal.h"
#include "core/progress_channel.h"
#include "core/template_installer.h"
#include "platform/fs_helpers.h"
#include "platform/locked_file.h"

namespace {

bool IsDigit(char16_t unit) {
  return unit >= u'0' && unit <= u'9';
}

bool IsLetterOrDigit(char16_t unit) {
  return IsDigit(unit) || (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

// "brstp" + digits + ".journal": only the names this program gives.
bool IsJournalName(const U16String& name) {
  const U16String suffix(kJournalSuffix);
  if (!name.StartsWith(u"brstp") || name.Length() <= 5 + suffix.Length()) return false;
  size_t digitsEnd = name.Length() - suffix.Length();
  if (!(name.Substring(digitsEnd) == suffix)) return false;
  for (size_t i = 5; i < digitsEnd; ++i) {
    if (!IsDigit(name[i])) return false;
  }
  return true;
}

// "bdk" + six letters or digits + ".work".
bool IsWorkFileName(const U16String& name) {
  const U16String prefix(kWorkFilePrefix), suffix(kWorkFileSuffix);
  if (name.Length() != prefix.Length() + 6 + suffix.Length() || !name.StartsWith(prefix.Data()) ||
      !(name.Substring(prefix.Length() + 6) == suffix))
    return false;
  for (size_t i = prefix.Length(); i < prefix.Length() + 6; ++i) {
    if (!IsLetterOrDigit(name[i])) return false;
  }
  return true;
}

void RecoverJournal(LockedFile& journal, RecoveryOutcome* outcome) {
  std::string bytes;
  InstallTransaction transaction;
  bool committed = false;
  if (journal.ReadAll(&bytes) != 0 || !ParseJournal(bytes, &transaction, &committed)) {
    // Not a journal this program can read: it stays, and so does any backup.
    return;
  }
  if (committed) {
    RemoveTree(transaction.backupDirectory);
  } else {
    ProgressChannel unused;
    TemplateInstaller installer(unused);
    installer.RollBackInterrupted(transaction);
    if (!transaction.targetDirectory.IsEmpty())
      outcome->restoredDirectories.push_back(transaction.targetDirectory);
  }
  if (!transaction.backupDirectory.IsEmpty() && PathExists(transaction.backupDirectory))
    outcome->keptBackups.push_back(transaction.backupDirectory);
  journal.Delete();
}

}  // namespace

RecoveryOutcome RecoverInterruptedRuns() {
  RecoveryOutcome outcome;
  U16String temp;
  if (GetTempDirectory(&temp) != 0) return outcome;
  EnsureTrailingSeparator(temp);
  // Names first, then the work: undoing changes nothing in this directory
  // that the search would have to see.
  std::vector<U16String> journals, workFiles;
  DirectorySearch search;
  for (bool found = search.FindFirst(temp + u"*"); found; found = search.FindNext()) {
    if (search.CurrentAttributes() & kAttributeDirectory) continue;
    U16String name = search.CurrentName();
    if (IsJournalName(name)) journals.push_back(temp + name);
    if (IsWorkFileName(name)) workFiles.push_back(temp + name);
  }
  search.EndSearch();
  for (const U16String& path : journals) {
    LockedFile journal;
    if (journal.TakeOver(path) == 0) RecoverJournal(journal, &outcome);
  }
  for (const U16String& path : workFiles) {
    LockedFile work;
    if (work.TakeOver(path) == 0) work.Delete();
  }
  return outcome;
}
