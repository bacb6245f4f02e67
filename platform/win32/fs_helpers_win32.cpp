// Path-level operations on Windows: one or two wide-character system calls
// each; results are the system's error numbers.
#include <windows.h>

#include <winnetwk.h>

#include "platform/file_api.h"
#include "platform/fs_helpers.h"

namespace {

const wchar_t* Wide(const U16String& text) {
  return reinterpret_cast<const wchar_t*>(text.Data());
}

U16String FromWide(const wchar_t* text) {
  return U16String(reinterpret_cast<const char16_t*>(text));
}

bool Found(const U16String& path) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(Wide(path), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

uint32_t MakeTempFile(const U16String& directory, const U16String& prefix, U16String* name) {
  wchar_t made[MAX_PATH];
  if (GetTempFileNameW(Wide(directory), Wide(prefix), 0, made) == 0) {
    uint32_t code = GetLastError();
    name->Clear();
    return code ? code : kErrorCannotMakeScratchFile;
  }
  *name = FromWide(made);
  return 0;
}

bool IsSeparator(char16_t unit) {
  return unit == u'\\' || unit == u'/';
}

}  // namespace

uint32_t GetTempDirectory(U16String* path) {
  wchar_t buffer[MAX_PATH];
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0) return GetLastError();
  // A longer path does not fit the buffer the description allows for.
  if (length >= MAX_PATH) return kErrorInvalidParameter;
  *path = U16String(reinterpret_cast<const char16_t*>(buffer), length);
  return 0;
}

uint32_t GetTempFreeSpace(uint32_t* bytes) {
  if (bytes == nullptr) return kErrorInvalidParameter;
  *bytes = 0;
  U16String directory;
  if (uint32_t code = GetTempDirectory(&directory)) return code;
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(Wide(directory), &available, nullptr, nullptr)) return GetLastError();
  *bytes = available.HighPart ? 0xFFFFFFFFu : available.LowPart;
  return 0;
}

// GetTempFileNameW makes the file in the given directory or fails; it never
// goes elsewhere, so both forms are the same call.
uint32_t CreateTempFile(const U16String& directory, const U16String& prefix, U16String* name) {
  return MakeTempFile(directory, prefix, name);
}

uint32_t CreateTempFileIn(const U16String& directory, const U16String& prefix, U16String* name) {
  return MakeTempFile(directory, prefix, name);
}

uint32_t MakeDirectoryPath(const U16String& original) {
  U16String path = original;
  path.ReplaceAll(u'/', u'\\');
  if (path.EndsWith(u'\\')) path.Truncate(path.Length() - 1);
  if (Found(path)) return kErrorAlreadyExists;
  bool made = true;
  uint32_t code = 0;
  for (size_t i = 0; i <= path.Length(); ++i) {
    if (i < path.Length() && path[i] != u'\\') continue;
    U16String level = path.Substring(0, i);
    if (Found(level)) continue;
    made = CreateDirectoryW(Wide(level), nullptr) != 0;
    code = made ? 0 : GetLastError();
  }
  return made ? 0 : code;
}

uint32_t MovePath(const U16String& from, const U16String& to) {
  return MoveFileW(Wide(from), Wide(to)) ? 0 : GetLastError();
}

uint32_t RemoveDirectoryPath(const U16String& path) {
  return RemoveDirectoryW(Wide(path)) ? 0 : GetLastError();
}

uint32_t DeleteFilePath(const U16String& path) {
  return DeleteFileW(Wide(path)) ? 0 : GetLastError();
}

bool IsRootPath(const U16String& path) {
  size_t length = path.Length();
  if ((length == 2 || length == 3) && path[1] == u':') return true;
  if (length >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    int pieces = 0;
    bool inPiece = false;
    for (size_t i = 2; i < length; ++i) {
      if (IsSeparator(path[i])) {
        inPiece = false;
      } else if (!inPiece) {
        inPiece = true;
        ++pieces;
      }
    }
    return pieces <= 2;
  }
  return false;
}

bool IsNetworkPath(const U16String& path) {
  if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  // A path on a mapped drive has a universal name. ERROR_MORE_DATA also
  // means that the system found one: only the buffer was too small for it.
  alignas(UNIVERSAL_NAME_INFOW) unsigned char buffer[1024];
  DWORD size = sizeof buffer;
  DWORD result = WNetGetUniversalNameW(Wide(path), UNIVERSAL_NAME_INFO_LEVEL, buffer, &size);
  return result == NO_ERROR || result == ERROR_MORE_DATA;
}

bool PathExists(const U16String& path) {
  // The attributes of exactly this name: no wildcard matching.
  return !path.IsEmpty() && GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectoryPath(const U16String& path) {
  if (path.IsEmpty()) return false;
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

PathKind GetPathKind(const U16String& path) {
  DWORD attributes = path.IsEmpty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

// The temporary folder of a Windows user is the user's own, and a new
// directory inherits its access: that keeps it private.
uint32_t CreatePrivateDirectory(const U16String& path) {
  return CreateDirectoryW(Wide(path), nullptr) ? 0 : GetLastError();
}

bool DirectorySearch::FindFirst(const U16String& searchPath) {
  EndSearch();
  handle_ = FindFirstFileW(Wide(searchPath), &data_);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool DirectorySearch::FindNext() {
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (FindNextFileW(handle_, &data_)) return true;
  // As on Linux, an exhausted search is closed and has no current entry.
  EndSearch();
  return false;
}

U16String DirectorySearch::CurrentName() const {
  return handle_ != INVALID_HANDLE_VALUE ? FromWide(data_.cFileName) : U16String();
}

uint32_t DirectorySearch::CurrentAttributes() const {
  return handle_ != INVALID_HANDLE_VALUE ? (data_.dwFileAttributes & kAttributeDirectory) : 0;
}

void DirectorySearch::EndSearch() {
  if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}
