// The installer's Windows forms: directory creation with its level-by-level
// retry, and putting backups back over the files written meanwhile.
#include "core/template_installer.h"
#include "platform/fs_helpers.h"

namespace {

bool IsSeparator(char16_t unit) {
  return unit == u'\\' || unit == u'/';
}

// The outermost level of path that does not exist yet (path itself when only
// the last level is missing). MakeDirectoryPath makes the missing parents as
// well, and a rollback must remove every level the installation made.
U16String OutermostMissingLevel(const U16String& path) {
  U16String level = path;
  while (level.Length() > 1 && IsSeparator(level.Last()) && !IsRootPath(level))
    level.Truncate(level.Length() - 1);
  U16String outermost = level;
  for (;;) {
    size_t last = level.FindLast(u'\\');
    size_t slash = level.FindLast(u'/');
    if (slash != U16String::npos && (last == U16String::npos || slash > last)) last = slash;
    if (last == U16String::npos || last == 0) break;
    level.Truncate(last);
    if (IsRootPath(level) || PathExists(level)) break;
    outermost = level;
  }
  return outermost;
}

}  // namespace

uint32_t TemplateInstaller::EnsureDirectory(const U16String& path, bool record) {
  if (IsRootPath(path)) return 0;
  U16String outermost = record ? OutermostMissingLevel(path) : U16String();
  // Only a missing level goes into the journal: whatever stands there is
  // not the run's, and a later start must never remove it.
  if (record && !PathExists(path)) {
    if (uint32_t result = JournalCreatedDirectory(outermost)) return result;
  }
  uint32_t result = MakeDirectoryPath(path);
  // 183: the directory is there already; it is not the installation's.
  if (result == kErrorAlreadyExists) return 0;
  if (result != 0) {
    // Make the parent first, then this level once more. A drive root or a
    // path without a separator has no parent to make.
    size_t last = path.FindLast(u'\\');
    if (last == U16String::npos || (last == 2 && path[1] == u':')) {
      result = kErrorPathNotFound;
    } else {
      result = EnsureDirectory(path.Substring(0, last), record);
      if (result == 0) result = MakeDirectoryPath(path);
      // Made meanwhile: there now, as wanted.
      if (result == kErrorAlreadyExists) result = 0;
    }
  }
  // Upper levels made before a lower one failed are the run's to remove too.
  if (record && (result == 0 || IsDirectoryPath(outermost))) {
    std::vector<U16String>& created = transactions_.back().createdDirectories;
    bool known = false;
    for (const U16String& directory : created) known = known || directory == outermost;
    if (!known) created.push_back(outermost);
  }
  return result;
}

// MoveFileW does not replace an existing file: the file that the
// installation wrote goes first.
void MoveBackupIntoPlace(const U16String& backup, const U16String& place) {
  DeleteFilePath(place);
  MovePath(backup, place);
}
