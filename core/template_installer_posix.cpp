// The installer's Linux forms: directory creation and putting backups back.
#include "core/template_installer.h"
#include "platform/fs_helpers.h"

namespace {

// The outermost level of path that does not exist yet (path itself when only
// the last level is missing), so that a rollback removes every level the
// installation made, not just the last.
U16String OutermostMissingLevel(const U16String& path) {
  U16String level = path;
  while (level.Length() > 1 && level.EndsWith(u'/')) level.Truncate(level.Length() - 1);
  U16String outermost = level;
  for (;;) {
    size_t slash = level.FindLast(u'/');
    if (slash == U16String::npos || slash == 0) break;
    level.Truncate(slash);
    if (IsDirectoryPath(level) || PathExists(level)) break;
    outermost = level;
  }
  return outermost;
}

}  // namespace

uint32_t TemplateInstaller::EnsureDirectory(const U16String& path, bool record) {
  if (IsRootPath(path)) return 0;
  // MakeDirectoryPath does not tell whether it created anything, so look first.
  if (IsDirectoryPath(path)) return 0;
  U16String outermost = record ? OutermostMissingLevel(path) : U16String();
  // Only a missing level goes into the journal: whatever stands there is
  // not the run's, and a later start must never remove it.
  if (record && !PathExists(outermost)) {
    if (uint32_t result = JournalCreatedDirectory(outermost)) return result;
  }
  if (MakeDirectoryPath(path) != 0) {
    // MakeDirectoryPath may have made the upper levels before a lower one failed
    // (a name too long, say); they are the run's to remove.
    if (record && IsDirectoryPath(outermost)) {
      transactions_.back().createdDirectories.push_back(outermost);
    }
    return kErrorPathNotFound;
  }
  if (record) transactions_.back().createdDirectories.push_back(outermost);
  return 0;
}

// The move replaces the file at the place by itself.
uint32_t MoveBackupIntoPlace(const U16String& backup, const U16String& place) {
  return MovePath(backup, place);
}

// The system removes the whole tree, links removed and never followed.
uint32_t RemoveTree(const U16String& path) {
  if (path.IsEmpty()) return 0;
  return RemoveDirectoryPath(path);
}
