// The installer's Windows forms: directory creation with its level-by-level
// retry, putting backups back over the files written meanwhile, and the
// removal of a tree.
#include <windows.h>

#include "core/template_installer.h"
#include "platform/file_api.h"
#include "platform/fs_helpers.h"
#include "platform/paths.h"
#include "platform/win32/extended_path.h"

namespace {

// The outermost level of path that does not exist yet (path itself when only
// the last level is missing). MakeDirectoryPath makes the missing parents as
// well, and a rollback must remove every level the installation made.
U16String OutermostMissingLevel(const U16String& path) {
  U16String level = path;
  while (level.Length() > 1 && IsSeparator(level.Last()) && !IsRootPath(level))
    level.Truncate(level.Length() - 1);
  U16String outermost = level;
  for (;;) {
    size_t last = FindLastSeparator(level);
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

// One step that replaces the file the installation wrote, so that the place
// is never left without a file. Another program may hold that file for a
// moment (a virus scanner, an indexer): retried for about two seconds.
uint32_t MoveBackupIntoPlace(const U16String& backup, const U16String& place) {
  constexpr int kAttempts = 20;
  constexpr DWORD kPauseMs = 100;
  DWORD code = 0;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (MoveFileExW(ExtendedPath(backup).c_str(), ExtendedPath(place).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
      return 0;
    code = GetLastError();
    if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED) break;
    Sleep(kPauseMs);
  }
  return code ? code : kErrorAccessDenied;
}

// RemoveDirectoryW wants an empty directory: the tree is emptied first. A
// read-only file (an original that went into the backup) loses the
// attribute, which DeleteFileW would refuse.
uint32_t RemoveTree(const U16String& path) {
  if (path.IsEmpty()) return 0;
  U16String directory = path;
  if (!IsRootPath(directory) && !EndsWithAnySeparator(directory)) directory.Append(kSeparator);
  DirectorySearch search;
  for (bool found = search.FindFirst(directory + u"*"); found; found = search.FindNext()) {
    U16String name = search.CurrentName();
    if (name == u"." || name == u"..") continue;
    U16String entry = directory + name;
    DWORD attributes = GetFileAttributesW(ExtendedPath(entry).c_str());
    // A link or junction is removed itself, never followed.
    bool link =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if ((search.CurrentAttributes() & kAttributeDirectory) && !link) {
      RemoveTree(entry);
    } else if ((search.CurrentAttributes() & kAttributeDirectory)) {
      RemoveDirectoryPath(entry);
    } else {
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(ExtendedPath(entry).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      DeleteFilePath(entry);
    }
  }
  search.EndSearch();
  return RemoveDirectoryPath(path);
}
